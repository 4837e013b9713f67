// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
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
    void controlsAsLaidOut();
    void modeListAppends();
};

void TestTitleBarState::statesLoad_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<int>("brightness");
    QTest::addColumn<int>("contrast");
    QTest::addColumn<int>("afc");
    QTest::addColumn<int>("lock");
    QTest::addColumn<int>("sq");
    QTest::newRow("nothing stored") << QVariantMap() << 0 << 0 << 0 << 0 << 0;
    QTest::newRow("AFC and SQ ticked")
        << QVariantMap{{"AFC", 2}, {"Lock", 0}, {"SQ", 2}} << 0 << 0 << 2 << 0 << 2;
    QTest::newRow("everything set")
        << QVariantMap{{"Brightness", 35}, {"Contrast", 64}, {"AFC", 0}, {"Lock", 2}, {"SQ", 0}}
        << 35 << 64 << 0 << 2 << 0;
    QTest::newRow("out of range") << QVariantMap{{"Brightness", 150}, {"Contrast", -4}, {"AFC", 9}}
                                  << 99 << 0 << 2 << 0 << 0;
}

void TestTitleBarState::statesLoad()
{
    QFETCH(QVariantMap, stored);
    QFETCH(int, brightness);
    QFETCH(int, contrast);
    QFETCH(int, afc);
    QFETCH(int, lock);
    QFETCH(int, sq);
    ScopedSettings settings(stored);
    SpectrumTitleBar bar;
    QCOMPARE(bar.sliderBrightness->value(), brightness);
    QCOMPARE(bar.sliderContrast->value(), contrast);
    QCOMPARE(int(bar.checkBoxAFC->checkState()), afc);
    QCOMPARE(int(bar.checkBoxLock->checkState()), lock);
    QCOMPARE(int(bar.checkBoxSQ->checkState()), sq);
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
    {
        Settings stored;
        QCOMPARE(stored.value("Brightness").toInt(), 42);
        QCOMPARE(stored.value("Contrast").toInt(), 77);
        QCOMPARE(stored.value("AFC").toInt(), 2);
        QCOMPARE(stored.value("Lock").toInt(), 0);
        QCOMPARE(stored.value("SQ").toInt(), 2);
    }
    // And a new strip comes back the same.
    SpectrumTitleBar again;
    QCOMPARE(again.sliderBrightness->value(), 42);
    QCOMPARE(again.sliderContrast->value(), 77);
    QVERIFY(again.checkBoxAFC->isChecked());
    QVERIFY(!again.checkBoxLock->isChecked());
    QVERIFY(again.checkBoxSQ->isChecked());
}

void TestTitleBarState::measurementFieldsNeverShown()
{
    ScopedSettings settings;
    QWidget parent;
    auto* bar = new SpectrumTitleBar(&parent);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QVERIFY(bar->isVisible());
    QVERIFY(bar->comboBox->isVisible());
    QVERIFY(!bar->lineEditIMD->isVisible());
    QVERIFY(!bar->lineEditSN->isVisible());
    bar->show();
    QVERIFY(!bar->lineEditIMD->isVisible());
    QVERIFY(!bar->lineEditSN->isVisible());
}

void TestTitleBarState::controlsAsLaidOut()
{
    ScopedSettings settings;
    QWidget parent;
    auto* bar = new SpectrumTitleBar(&parent);
    QCOMPARE(bar->size(), QSize(829, 27));
    QCOMPARE(bar->font().pointSize(), 7);
    QCOMPARE(bar->locale(), QLocale(QLocale::English, QLocale::UnitedStates));
    QVERIFY(bar->windowTitle().isEmpty());

    for (QSlider* slider : {bar->sliderBrightness, bar->sliderContrast}) {
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 99);
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QCOMPARE(slider->tickPosition(), QSlider::TicksBelow);
        QCOMPARE(slider->tickInterval(), 10);
    }
    QCOMPARE(bar->label->text(), QStringLiteral("&Brightness"));
    QCOMPARE(bar->label->buddy(), bar->sliderBrightness);
    QCOMPARE(bar->label_2->text(), QStringLiteral("&Contrast"));
    QCOMPARE(bar->label_2->buddy(), bar->sliderContrast);
    QCOMPARE(bar->checkBoxAFC->text(), QStringLiteral("AFC"));
    QCOMPARE(bar->checkBoxLock->text(), QStringLiteral("LOCK"));
    QCOMPARE(bar->checkBoxSQ->text(), QStringLiteral("SQ"));
    QVERIFY(!bar->checkBoxSQ->isTristate());
    QCOMPARE(bar->lineEditIMD->text(), QStringLiteral("IMD:    "));
    QCOMPARE(bar->lineEditSN->text(), QStringLiteral("S/N:    "));

    // Left to right: brightness, contrast, the boxes, the modes.
    parent.resize(1200, 40);
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    const QList<QWidget*> order{bar->label,       bar->sliderBrightness, bar->label_2,
                                bar->sliderContrast, bar->checkBoxAFC,  bar->checkBoxLock,
                                bar->checkBoxSQ,     bar->comboBox};
    for (int i = 1; i < order.size(); ++i)
        QVERIFY2(order[i - 1]->geometry().right() < order[i]->x(),
                 qPrintable(order[i]->objectName()));
}

void TestTitleBarState::modeListAppends()
{
    ScopedSettings settings;
    SpectrumTitleBar bar;
    const QStringList modes{"BPSK31", "BPSK63", "BPSK125", "BPSK250"};
    bar.setModeList(modes);
    QCOMPARE(bar.comboBox->count(), 4);
    for (int i = 0; i < modes.size(); ++i)
        QCOMPARE(bar.comboBox->itemText(i), modes[i]);
    bar.setModeList({"QPSK"});
    QCOMPARE(bar.comboBox->count(), 5);
    QCOMPARE(bar.comboBox->itemText(4), QStringLiteral("QPSK"));
}

QTEST_MAIN(TestTitleBarState)
#include "tst_titlebarstate.moc"
