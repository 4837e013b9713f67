// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound card command on a whole main window: what the dialog's choices
// do to the settings, the streams, the transceiver and the waterfall. There
// is no sound card, so the device tables may be empty and the streams never
// run; the window counts the streams it reopens.

#include "app/apppaths.h"
#include "app/mainwindow.h"
#include "tests/app/windowfolder.h"
#include "app/settings.h"
#include "app/stationstate.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "audio/soundcarddlg.h"
#include "display/spectrumwidget.h"
#include "modem/pskrxalgorithms.h"
#include "modem/psktxrx.h"

#include <QApplication>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class TestMainWindowSoundCard : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void okWithoutChangesKeepsStreamsAndWritesPpm();
    void storedCorrectionsAreShownAndKept();
    void rateChangeRestartsInputAndOnlyReopensIdleOutput();
    void correctedClocksReachTransceiverAndWaterfall_data();
    void correctedClocksReachTransceiverAndWaterfall();
    void cancelChangesNothing();
    void unusableRateIsRefusedAndNeverStored();

private:
    using DialogAction = std::function<void(SoundCardDlg&)>;
    // Runs the command; act works the dialog while it is open and must
    // close it.
    static void runSoundCard(MainWindow& w, const DialogAction& act);
    static void typeRate(SoundCardDlg& d, const QString& text);
    static void click(SoundCardDlg& d, const char* button);
    static QVariant stored(const QString& key);
    std::unique_ptr<MainWindow> makeWindow();
    static void closeWindow(std::unique_ptr<MainWindow>& w);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMainWindowSoundCard::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const QString dataDir = prepareWindowFolder(*m_dir);
    QVERIFY(!dataDir.isEmpty());
    StationState::setTransmitting(false);
}

void TestMainWindowSoundCard::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<MainWindow> TestMainWindowSoundCard::makeWindow()
{
    auto w = std::make_unique<MainWindow>();
    w->show();
    return w;
}

void TestMainWindowSoundCard::closeWindow(std::unique_ptr<MainWindow>& w)
{
    w->close();
    w.reset();
}

void TestMainWindowSoundCard::runSoundCard(MainWindow& w, const DialogAction& act)
{
    bool seen = false;
    QTimer::singleShot(0, &w, [&] {
        auto* d = qobject_cast<SoundCardDlg*>(QApplication::activeModalWidget());
        if (!d)
            return;
        seen = true;
        act(*d);
        // A dialog the action left open would block the test for good.
        if (d->isVisible())
            d->reject();
    });
    w.slotSoundCard();
    QVERIFY2(seen, "the sound card dialog did not open");
}

void TestMainWindowSoundCard::typeRate(SoundCardDlg& d, const QString& text)
{
    auto* field = d.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void TestMainWindowSoundCard::click(SoundCardDlg& d, const char* button)
{
    QTest::mouseClick(d.findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
}

QVariant TestMainWindowSoundCard::stored(const QString& key)
{
    Settings settings;
    return settings.value(key);
}

void TestMainWindowSoundCard::okWithoutChangesKeepsStreamsAndWritesPpm()
{
    auto w = makeWindow();
    QVERIFY(!stored(QStringLiteral("Audio/Input/ppm")).isValid());
    QString shownRate;
    runSoundCard(*w, [&](SoundCardDlg& d) {
        shownRate = d.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->text();
        click(d, "pushButtonOk");
    });
    QCOMPARE(shownRate, QStringLiteral("11025"));
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Accepted"));
    QCOMPARE(stored(QStringLiteral("Audio/Input/ppm")).toInt(), 0);
    QCOMPARE(stored(QStringLiteral("Audio/Output/ppm")).toInt(), 0);
    QVERIFY(stored(QStringLiteral("Audio/Input/ppm")).isValid());
    QVERIFY(stored(QStringLiteral("Audio/Output/ppm")).isValid());
    QCOMPARE(w->soundCardStreamChanges().inputRestarted, 0);
    QCOMPARE(w->soundCardStreamChanges().outputReopened, 0);
    QCOMPARE(w->audioIn()->sampleRate(), 11025);
    QCOMPARE(w->modem()->inputRate(), 11025.0);
    QCOMPARE(w->modem()->outputRate(), 11025.0);
    closeWindow(w);
}

void TestMainWindowSoundCard::storedCorrectionsAreShownAndKept()
{
    {
        Settings settings;
        settings.setValue(QStringLiteral("Audio/Input/ppm"), -3);
        settings.setValue(QStringLiteral("Audio/Output/ppm"), 5);
    }
    auto w = makeWindow();
    double shownTx = 0, shownRx = 0;
    runSoundCard(*w, [&](SoundCardDlg& d) {
        shownTx = d.findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxTX"))->value();
        shownRx = d.findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxRX"))->value();
        click(d, "pushButtonOk");
    });
    QCOMPARE(shownTx, 5.0);
    QCOMPARE(shownRx, -3.0);
    QCOMPARE(stored(QStringLiteral("Audio/Input/ppm")).toInt(), -3);
    QCOMPARE(stored(QStringLiteral("Audio/Output/ppm")).toInt(), 5);
    QCOMPARE(w->soundCardStreamChanges().inputRestarted, 0);
    QVERIFY(qAbs(w->modem()->inputRate() - 11024.966925) < 1e-6);
    QVERIFY(qAbs(w->modem()->outputRate() - 11025.055125) < 1e-6);
    closeWindow(w);
}

void TestMainWindowSoundCard::rateChangeRestartsInputAndOnlyReopensIdleOutput()
{
    auto w = makeWindow();
    QVERIFY(!w->isOutputActive());
    runSoundCard(*w, [&](SoundCardDlg& d) {
        typeRate(d, QStringLiteral("12000"));
        click(d, "pushButtonOk");
    });
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Accepted"));
    QCOMPARE(w->soundCardStreamChanges().inputRestarted, 1);
    QCOMPARE(w->soundCardStreamChanges().outputReopened, 1);
    QCOMPARE(w->soundCardStreamChanges().outputRestarted, 0);
    QVERIFY(!w->isOutputActive());
    QCOMPARE(w->audioIn()->sampleRate(), 12000);
    QCOMPARE(w->audioOut()->sampleRate(), 12000);

    // The same rate again: nothing to reopen.
    QString shownRate;
    runSoundCard(*w, [&](SoundCardDlg& d) {
        shownRate = d.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->text();
        click(d, "pushButtonOk");
    });
    QCOMPARE(shownRate, QStringLiteral("12000"));
    QCOMPARE(w->soundCardStreamChanges().inputRestarted, 1);
    QCOMPARE(w->soundCardStreamChanges().outputReopened, 1);
    closeWindow(w);

    // The streams keep the new rate for the next start.
    QCOMPARE(stored(QStringLiteral("Audio/Input/SampleRate")).toInt(), 12000);
    QCOMPARE(stored(QStringLiteral("Audio/Output/SampleRate")).toInt(), 12000);
}

void TestMainWindowSoundCard::correctedClocksReachTransceiverAndWaterfall_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("rxPpm");
    QTest::addColumn<int>("txPpm");
    QTest::addColumn<double>("rxClock");
    QTest::addColumn<double>("txClock");
    QTest::addColumn<int>("halfRate");
    QTest::newRow("20 ppm slow receive") << 11025 << -20 << 0 << 11024.7795 << 11025.0 << 5512;
    // 11999.7999 Hz: the waterfall gets 11999, not a rounded 12000.
    QTest::newRow("truncated for the waterfall") << 12001 << -100 << 0 << 11999.7999 << 12001.0 << 5999;
    QTest::newRow("each direction its own") << 8000 << 50 << -30 << 8000.4 << 7999.76 << 4000;
}

void TestMainWindowSoundCard::correctedClocksReachTransceiverAndWaterfall()
{
    QFETCH(int, rate);
    QFETCH(int, rxPpm);
    QFETCH(int, txPpm);
    QFETCH(double, rxClock);
    QFETCH(double, txClock);
    QFETCH(int, halfRate);
    auto w = makeWindow();
    runSoundCard(*w, [&](SoundCardDlg& d) {
        d.findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxRX"))->setValue(rxPpm);
        d.findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxTX"))->setValue(txPpm);
        typeRate(d, QString::number(rate));
        click(d, "pushButtonOk");
    });
    QVERIFY2(qAbs(w->modem()->inputRate() - rxClock) < 1e-6,
             qPrintable(QString::number(w->modem()->inputRate(), 'f', 6)));
    QVERIFY2(qAbs(w->modem()->outputRate() - txClock) < 1e-6,
             qPrintable(QString::number(w->modem()->outputRate(), 'f', 6)));
    QVERIFY(w->modem()->inputRateAccepted());
    QVERIFY(qAbs(w->modem()->rxDsp()->sampleRate() - rxClock) < 1e-6);
    QCOMPARE(w->spectrum()->halfRate(), halfRate);
    QCOMPARE(stored(QStringLiteral("Audio/Input/ppm")).toInt(), rxPpm);
    QCOMPARE(stored(QStringLiteral("Audio/Output/ppm")).toInt(), txPpm);
    closeWindow(w);
}

void TestMainWindowSoundCard::cancelChangesNothing()
{
    auto w = makeWindow();
    const double rxBefore = w->modem()->inputRate();
    const double txBefore = w->modem()->outputRate();
    const int halfBefore = w->spectrum()->halfRate();
    runSoundCard(*w, [&](SoundCardDlg& d) {
        d.findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxRX"))->setValue(-20);
        typeRate(d, QStringLiteral("48000"));
        click(d, "pushButtonCancel");
    });
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Rejected"));
    QVERIFY(!stored(QStringLiteral("Audio/Input/ppm")).isValid());
    QVERIFY(!stored(QStringLiteral("Audio/Output/ppm")).isValid());
    QVERIFY(!stored(QStringLiteral("Audio/type")).isValid());
    QCOMPARE(w->soundCardStreamChanges().inputRestarted, 0);
    QCOMPARE(w->soundCardStreamChanges().outputReopened, 0);
    QCOMPARE(w->audioIn()->sampleRate(), 11025);
    QCOMPARE(w->audioOut()->sampleRate(), 11025);
    QCOMPARE(w->modem()->inputRate(), rxBefore);
    QCOMPARE(w->modem()->outputRate(), txBefore);
    QCOMPARE(w->spectrum()->halfRate(), halfBefore);
    closeWindow(w);
}

void TestMainWindowSoundCard::unusableRateIsRefusedAndNeverStored()
{
    auto w = makeWindow();
    bool refused = false;
    runSoundCard(*w, [&](SoundCardDlg& d) {
        // Ok on a half-typed rate: a message, and the dialog stays open.
        typeRate(d, QStringLiteral("8"));
        click(d, "pushButtonOk");
        auto* box = d.findChild<QMessageBox*>();
        refused = box && box->isVisible() && d.isVisible();
        if (box)
            box->close();
        click(d, "pushButtonCancel");
    });
    QVERIFY(refused);
    QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Rejected"));
    QCOMPARE(w->soundCardStreamChanges().inputRestarted, 0);
    QCOMPARE(w->audioIn()->sampleRate(), 11025);
    QCOMPARE(w->modem()->inputRate(), 11025.0);
    closeWindow(w);
    QCOMPARE(stored(QStringLiteral("Audio/Input/SampleRate")).toInt(), 11025);
}

QTEST_MAIN(TestMainWindowSoundCard)
#include "tst_mainwindow_soundcard.moc"
