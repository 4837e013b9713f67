// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/controlbarex.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

// The macro bar on its own: button numbers, pages, clicks and labels.
class TestControlBar : public QObject
{
    Q_OBJECT

private slots:
    void buttonsAndPages();
    void leftClickSendsRightClickEdits();
    void labelsArePlacedByIndex();

private:
    static QPushButton* button(ControlBarEx& bar, int n)
    {
        return bar.findChild<QPushButton*>(QStringLiteral("pushButton_%1").arg(n));
    }
};

void TestControlBar::buttonsAndPages()
{
    ControlBarEx bar;
    bar.show();
    QCOMPARE(bar.findChildren<QPushButton*>().size(), 24);
    for (int n = 1; n <= 24; ++n) {
        QCOMPARE(ControlBarEx::buttonNumber(button(bar, n)), n - 1);
        // The window binds the function keys once for the whole program; a
        // second binding here would make every press ambiguous.
        QVERIFY(button(bar, n)->shortcut().isEmpty());
        QCOMPARE(button(bar, n)->isVisible(), n <= 12);
    }
    QCOMPARE(button(bar, 23)->toolTip(), QStringLiteral("User macro (Ctrl+F11). Right-click to edit.."));

    auto* tool1 = bar.findChild<QToolButton*>(QStringLiteral("toolButton_1"));
    QCOMPARE(tool1->text(), QStringLiteral("1"));
    QTest::mouseClick(tool1, Qt::LeftButton);
    QVERIFY(button(bar, 13)->isVisible() && !button(bar, 1)->isVisible());
    QTest::mouseClick(bar.findChild<QToolButton*>(QStringLiteral("toolButton_2")), Qt::LeftButton);
    QVERIFY(button(bar, 1)->isVisible() && !button(bar, 13)->isVisible());
}

void TestControlBar::leftClickSendsRightClickEdits()
{
    ControlBarEx bar;
    bar.show();
    QSignalSpy send(&bar, &ControlBarEx::signalButtonClicked);
    QSignalSpy edit(&bar, &ControlBarEx::signalRightMouseClicked);
    QTest::mouseClick(button(bar, 3), Qt::LeftButton);
    bar.setPage2();
    QTest::mouseClick(button(bar, 17), Qt::RightButton);
    QCOMPARE(send.count(), 1);
    QCOMPARE(send.at(0).at(0).toInt(), 2);
    QCOMPARE(edit.count(), 1);
    QCOMPARE(edit.at(0).at(0).toInt(), 16);
}

void TestControlBar::labelsArePlacedByIndex()
{
    ControlBarEx bar;
    button(bar, 20)->setText(QStringLiteral("kept"));
    QList<SMacro> list;
    for (int i = 0; i < 6; ++i)
        list.append(SMacro{i, QStringLiteral("M%1").arg(i), QString()});
    list[3].index = 7;
    list.append(SMacro{3, QStringLiteral("three"), QString()});
    bar.updateButtons(list);
    QCOMPARE(button(bar, 8)->text(), QStringLiteral("M3"));
    QCOMPARE(button(bar, 4)->text(), QStringLiteral("three"));
    QCOMPARE(button(bar, 6)->text(), QStringLiteral("M5"));
    QCOMPARE(button(bar, 20)->text(), QStringLiteral("kept"));

    bar.updateButton(SMacro{19, QStringLiteral("QRZ?"), QString()});
    QCOMPARE(button(bar, 20)->text(), QStringLiteral("QRZ?"));
    QCOMPARE(button(bar, 8)->text(), QStringLiteral("M3"));
}

QTEST_MAIN(TestControlBar)
#include "tst_controlbar.moc"
