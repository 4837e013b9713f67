// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/controlbarex.h"
#include "text/editmacrodlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

// The macro bar and the macro editor: numbers, pages, clicks, labels, editing.
class TestMacroBar : public QObject
{
    Q_OBJECT

    static QPushButton* button(ControlBarEx& bar, int n)
    {
        return bar.findChild<QPushButton*>(QStringLiteral("pushButton_%1").arg(n));
    }

private slots:
    void buttonNumbersAndPages()
    {
        ControlBarEx bar;
        bar.show();
        for (int n = 1; n <= 24; ++n) {
            QCOMPARE(ControlBarEx::buttonNumber(button(bar, n)), n - 1);
            QVERIFY(button(bar, n)->shortcut().isEmpty()); // the window binds the keys once
            QCOMPARE(button(bar, n)->isVisible(), n <= 12);
        }
        QTest::mouseClick(bar.findChild<QToolButton*>(QStringLiteral("toolButton_1")), Qt::LeftButton);
        QVERIFY(button(bar, 13)->isVisible() && !button(bar, 1)->isVisible());
        QTest::mouseClick(bar.findChild<QToolButton*>(QStringLiteral("toolButton_2")), Qt::LeftButton);
        QVERIFY(button(bar, 1)->isVisible() && !button(bar, 13)->isVisible());
    }

    void leftClickSendsRightClickOpensTheEditor()
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
        EditMacroDlg dlg(SMacro{edit.at(0).at(0).toInt(), QStringLiteral("CQ"), QStringLiteral("CQ de <MYCALL>")});
        QCOMPARE(dlg.macro().index, 16);
        QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("label"))->text(), QStringLiteral("Label for Ctrl-F5"));
        QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->text(), QStringLiteral("CQ"));
        QCOMPARE(dlg.findChild<QPlainTextEdit*>()->toPlainText(), QStringLiteral("CQ de <MYCALL>"));
    }

    void labelsArePlacedByIndex()
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
        QCOMPARE(button(bar, 20)->text(), QStringLiteral("kept"));
        bar.updateButton(SMacro{19, QStringLiteral("QRZ?"), QString()});
        QCOMPARE(button(bar, 20)->text(), QStringLiteral("QRZ?"));
    }

    void doubleClickInsertsTheTag()
    {
        EditMacroDlg dlg(SMacro{0, QString(), QStringLiteral("ur , ok")});
        dlg.show();
        auto* text = dlg.findChild<QPlainTextEdit*>();
        QTextCursor cursor = text->textCursor();
        cursor.setPosition(3);
        text->setTextCursor(cursor);
        auto* list = dlg.findChild<QListWidget*>();
        for (int row : {8, 9, 12}) { // "<NOTES> - QSO notes", the separator, "<CWID>"...
            const QPoint at = list->visualItemRect(list->item(row)).center();
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        }
        QCOMPARE(text->toPlainText(), QStringLiteral("ur <NOTES><CWID>, ok"));
    }

    void okTakesTheEditCancelDoesNot_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("taken");
        QTest::newRow("OK") << int(QDialogButtonBox::Ok) << true;
        QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << false;
    }
    void okTakesTheEditCancelDoesNot()
    {
        QFETCH(int, button);
        QFETCH(bool, taken);
        const SMacro original{16, QStringLiteral("old"), QStringLiteral("old text")};
        const SMacro edited{16, QStringLiteral("QRZ"), QStringLiteral("QRZ?\nde <MYCALL>")};
        EditMacroDlg dlg(original);
        dlg.show();
        dlg.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(edited.label);
        dlg.findChild<QPlainTextEdit*>()->setPlainText(edited.text);
        QTest::mouseClick(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::StandardButton(button)),
                          Qt::LeftButton);
        QCOMPARE(dlg.result(), taken ? int(QDialog::Accepted) : int(QDialog::Rejected));
        QCOMPARE(dlg.macro(), taken ? edited : original);
    }
};

QTEST_MAIN(TestMacroBar)
#include "tst_macrobar.moc"
