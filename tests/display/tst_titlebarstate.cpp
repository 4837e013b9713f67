// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The waterfall's title bar: control states load and save, hidden measurement fields, the mode list.
#include "display/spectrumtitlebar.h"
#include "displaytesthelpers.h"

#include <QtTest>

using namespace DisplayTest;

class TestTitleBarState : public QObject
{
    Q_OBJECT
private slots:
    void statesLoad_data();
    void statesLoad();
    void statesSave();
    void measurementFieldsNeverShown();
    void modeListAppends();
};

void TestTitleBarState::statesLoad_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QList<int>>("expected"); // brightness, contrast, AFC, lock, SQ
    QTest::newRow("nothing stored") << QVariantMap() << QList<int>{20, 50, 0, 0, 0};
    QTest::newRow("AFC and SQ ticked") << QVariantMap{{"AFC", 2}, {"Lock", 0}, {"SQ", 2}} << QList<int>{20, 50, 2, 0, 2};
    QTest::newRow("everything set") << QVariantMap{{"Brightness", 35}, {"Contrast", 64}, {"AFC", 0}, {"Lock", 2}, {"SQ", 0}}
                                    << QList<int>{35, 64, 0, 2, 0};
    QTest::newRow("out of range") << QVariantMap{{"Brightness", 150}, {"Contrast", -4}, {"AFC", 9}}
                                  << QList<int>{99, 0, 2, 0, 0};
}

void TestTitleBarState::statesLoad()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QList<int>, expected);
    ScopedSettings settings(stored);
    SpectrumTitleBar bar;
    QCOMPARE((QList<int>{bar.sliderBrightness->value(), bar.sliderContrast->value(), int(bar.checkBoxAFC->checkState()),
                         int(bar.checkBoxLock->checkState()), int(bar.checkBoxSQ->checkState())}),
             expected);
}

void TestTitleBarState::statesSave()
{
    ScopedSettings settings;
    {
        SpectrumTitleBar bar;
        bar.sliderBrightness->setValue(42);
        bar.sliderContrast->setValue(77);
        bar.checkBoxAFC->setChecked(true);
        bar.checkBoxLock->setChecked(false);
        bar.checkBoxSQ->setChecked(true);
    }
    Settings stored;
    QCOMPARE((QList<int>{stored.value("Brightness").toInt(), stored.value("Contrast").toInt(), stored.value("AFC").toInt(),
                         stored.value("Lock").toInt(), stored.value("SQ").toInt()}),
             (QList<int>{42, 77, 2, 0, 2}));
}

void TestTitleBarState::measurementFieldsNeverShown()
{
    ScopedSettings settings;
    QWidget parent;
    auto* bar = new SpectrumTitleBar(&parent);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    bar->show();
    QVERIFY(bar->comboBox->isVisible());
    QVERIFY(!bar->lineEditIMD->isVisible());
    QVERIFY(!bar->lineEditSN->isVisible());
}

void TestTitleBarState::modeListAppends()
{
    ScopedSettings settings;
    SpectrumTitleBar bar;
    bar.setModeList({"BPSK31", "BPSK63"});
    bar.setModeList({"QPSK"});
    QCOMPARE(bar.comboBox->count(), 3);
    QCOMPARE(bar.comboBox->itemText(0), QStringLiteral("BPSK31"));
    QCOMPARE(bar.comboBox->itemText(2), QStringLiteral("QPSK"));
}

QTEST_MAIN(TestTitleBarState)
#include "tst_titlebarstate.moc"
