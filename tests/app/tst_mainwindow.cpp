// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/apppaths.h"
#include "app/mainwindow.h"
#include "tests/app/windowfolder.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "app/statuspanetime.h"
#include "audio/audioin.h"
#include "display/spectrumtitlebar.h"
#include "display/spectrumwidget.h"
#include "modem/psktxrx.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QDialog>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

// The main window built whole on the offscreen platform, each test with a
// settings file of its own and no sound card (PortAudio finds none, warns,
// and the program goes on).
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void firstStartUsesBuiltInLayout();
    void layoutAndSettingsSurviveRestart();
    void rightPressOnTxLabelPromptsForFrequency();
    void clockShowsUtcOrLocalTime();
    void audioInputPathFeedsModemAndDisplayBlock();
    void oddByteWaitsForTheNextNotification();
    void modeFromSettingsReachesModem();
    void restoredControlStatesReachModemAndWaterfall();
    void missingMorseTableStopsTheStart();

private:
    std::unique_ptr<MainWindow> makeWindow();
    void closeWindow(std::unique_ptr<MainWindow>& w);
    QString m_dataDir;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestMainWindow::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_dataDir = prepareWindowFolder(*m_dir);
    QVERIFY(!m_dataDir.isEmpty());
    StationState::setTransmitting(false);
}

void TestMainWindow::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<MainWindow> TestMainWindow::makeWindow()
{
    auto w = std::make_unique<MainWindow>();
    w->show();
    return w;
}

void TestMainWindow::closeWindow(std::unique_ptr<MainWindow>& w)
{
    w->close();
    w.reset();
}

void TestMainWindow::firstStartUsesBuiltInLayout()
{
    QVERIFY(!QFile::exists(Settings::path()));
    auto w = makeWindow();
    QVERIFY(w->startedOk());
    QCOMPARE(w->windowTitle(), QStringLiteral("Velkora32"));
    QCOMPARE(w->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(w->modeList(),
             QStringList({QStringLiteral("BPSK31"), QStringLiteral("BPSK63"), QStringLiteral("BPSK125"),
                          QStringLiteral("BPSK250"), QStringLiteral("QPSK31"), QStringLiteral("QPSK63"),
                          QStringLiteral("QPSK125"), QStringLiteral("QPSK250")}));

    auto* rx = w->findChild<QDockWidget*>(QStringLiteral("DockOutputWidget"));
    auto* tx = w->findChild<QDockWidget*>(QStringLiteral("DockInputWidget"));
    auto* spectrum = w->findChild<QDockWidget*>(QStringLiteral("Spectrum"));
    auto* phase = w->findChild<QDockWidget*>(QStringLiteral("PhaseScope"));
    QVERIFY(rx && tx && spectrum && phase);
    for (QDockWidget* d : {rx, tx, spectrum, phase}) {
        QVERIFY(d->isVisible());
        QVERIFY(!d->isFloating());
        QCOMPARE(w->dockWidgetArea(d), Qt::BottomDockWidgetArea);
    }
    // Receive pane above transmit pane above the waterfall row, the phase
    // scope to the right of the waterfall.
    QVERIFY(rx->geometry().bottom() <= tx->geometry().top());
    QVERIFY(tx->geometry().bottom() <= spectrum->geometry().top());
    QVERIFY(spectrum->geometry().right() <= phase->geometry().left());
    QVERIFY(qAbs(spectrum->geometry().top() - phase->geometry().top()) <= 1);
    QVERIFY(rx->height() > tx->height());

    QCOMPARE(w->txLabel()->width(), 80);
    QCOMPARE(w->rxLabel()->width(), 80);
    QVERIFY(w->txLabel()->text().startsWith(QStringLiteral("<font color='black' >Tx: 1000.00")));
    QCOMPARE(w->rxLabel()->text(), QStringLiteral("Rx: 1000.00"));
    QCOMPARE(w->rxView()->objectName(), QStringLiteral("rxView"));
    QCOMPARE(w->txView()->objectName(), QStringLiteral("InputWidget"));
    closeWindow(w);
}

void TestMainWindow::layoutAndSettingsSurviveRestart()
{
    auto w = makeWindow();
    auto* phase = w->findChild<QDockWidget*>(QStringLiteral("PhaseScope"));
    phase->setFloating(true);
    w->slotModeChanged(QStringLiteral("BPSK125"));
    StationState::setTxEchoEnabled(false);
    w->clock()->slotLocal(true);
    closeWindow(w);

    {
        Settings s;
        QCOMPARE(s.value(QStringLiteral("echo")).toBool(), false);
        QCOMPARE(s.value(QStringLiteral("RxTx/mode")).toString(), QStringLiteral("BPSK125"));
        QCOMPARE(s.value(QStringLiteral("LocalTime")).toBool(), true);
        QVERIFY(!s.value(QStringLiteral("Panels/state")).toByteArray().isEmpty());
    }

    StationState::setTxEchoEnabled(true);
    w = makeWindow();
    QCOMPARE(StationState::txEchoEnabled(), false);
    QCOMPARE(w->currentMode(), QStringLiteral("BPSK125"));
    QCOMPARE(w->titleBar()->comboBox->currentText(), QStringLiteral("BPSK125"));
    QCOMPARE(w->modem()->Command(24, 0, 0, 0) != 0, true);
    QCOMPARE(QString::fromLatin1(reinterpret_cast<const char*>(w->modem()->Command(24, 0, 0, 0))),
             QStringLiteral("BPSK 125"));
    QVERIFY(w->clock()->isLocal());
    QVERIFY(w->findChild<QDockWidget*>(QStringLiteral("PhaseScope"))->isFloating());
    closeWindow(w);
    StationState::setTxEchoEnabled(true);
}

void TestMainWindow::rightPressOnTxLabelPromptsForFrequency()
{
    auto w = makeWindow();
    double rx0 = 0, tx0 = 0;
    w->modem()->GetFrequencies(&rx0, &tx0);

    // Cancel: nothing changes.
    bool seen = false;
    QTimer::singleShot(0, this, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        QCOMPARE(d->windowTitle(), QStringLiteral("Enter TX frequency"));
        auto* spin = d->findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBox"));
        QCOMPARE(spin->value(), tx0);
        QCOMPARE(spin->maximum(), 5000.0);
        spin->setValue(1234.5);
        seen = true;
        d->reject();
    });
    QTest::mouseClick(w->txLabel(), Qt::RightButton);
    QVERIFY(seen);
    double rx = 0, tx = 0;
    w->modem()->GetFrequencies(&rx, &tx);
    QCOMPARE(rx, rx0);
    QCOMPARE(tx, tx0);
    QVERIFY(!StationState::isTransmitting());

    // OK: the transmit frequency moves, the receive frequency stays; values
    // above 5000 are not accepted.
    QTimer::singleShot(0, this, [&] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        auto* spin = d->findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBox"));
        spin->setValue(9000.0);
        QCOMPARE(spin->value(), 5000.0);
        spin->setValue(1500.0);
        d->accept();
    });
    QTest::mouseClick(w->txLabel(), Qt::RightButton);
    w->modem()->GetFrequencies(&rx, &tx);
    QCOMPARE(rx, rx0);
    QCOMPARE(tx, 1500.0);
    QVERIFY(w->txLabel()->text().contains(QStringLiteral("Tx: 1500.00")));
    closeWindow(w);
}

void TestMainWindow::clockShowsUtcOrLocalTime()
{
    qputenv("TZ", "Asia/Kolkata"); // +05:30, so UTC and local time differ
    auto w = makeWindow();
    w->clock()->slotUTC(true);
    w->updateClock();
    const QTime utc = QDateTime::currentDateTimeUtc().time();
    QTime shown = QTime::fromString(w->clock()->text(), QStringLiteral("hh:mm:ss"));
    QVERIFY(shown.isValid());
    QVERIFY(qAbs(shown.secsTo(utc)) <= 2);
    QCOMPARE(w->dateLabel()->text(), QDateTime::currentDateTimeUtc().toString(QStringLiteral("dd.MM.yyyy")));

    w->clock()->slotLocal(true);
    w->updateClock();
    shown = QTime::fromString(w->clock()->text(), QStringLiteral("hh:mm:ss"));
    const QTime local = QDateTime::currentDateTime().time();
    QVERIFY(qAbs(shown.secsTo(local)) <= 2);
    QVERIFY(qAbs(shown.secsTo(utc)) > 3600);

    // The context menu marks the choice in force.
    w->clock()->slotUpdateViewMenu();
    QVERIFY(w->clock()->localAction()->isChecked());
    QVERIFY(!w->clock()->utcAction()->isChecked());
    closeWindow(w);
    qunsetenv("TZ");
}

void TestMainWindow::audioInputPathFeedsModemAndDisplayBlock()
{
    auto w = makeWindow();
    const int ring0 = w->modem()->ringWriteIndex();

    // A notification of 0 bytes still processes the accumulator, which is
    // empty here: nothing moves.
    w->slotAudioInputReady(0);
    QCOMPARE(w->modem()->ringWriteIndex(), ring0);

    // Two blocks of 1024 fill the display block exactly once.
    std::vector<qint16> block(1024);
    for (int i = 0; i < 1024; ++i)
        block[i] = qint16(i);
    w->audioIn()->captureBlock(block.data(), 1024);
    w->slotAudioInputReady(2048);
    QCOMPARE(w->displayFill(), 1024);
    QCOMPARE(w->displayBlock()[1023], 1023.0f);
    // A batch of 1500 crosses the 2048 boundary: 1024 reach the display
    // block, the other 476 are dropped from it but all 1500 reach the modem.
    std::vector<qint16> batch(1500, 7);
    w->audioIn()->captureBlock(batch.data(), 1500);
    w->slotAudioInputReady(3000);
    QCOMPARE(w->displayFill(), 0);
    QCOMPARE(w->modem()->ringWriteIndex(), ring0 + 1024 + 1500);
    QCOMPARE(w->inputAccumulator().size(), 0);
    // The next samples start a fresh display block.
    w->audioIn()->captureBlock(block.data(), 3);
    w->slotAudioInputReady(6);
    QCOMPARE(w->displayFill(), 3);
    QCOMPARE(w->displayBlock()[2], 2.0f);
    closeWindow(w);
}

void TestMainWindow::oddByteWaitsForTheNextNotification()
{
    auto w = makeWindow();
    const int ring0 = w->modem()->ringWriteIndex();
    // The accumulator keeps an odd trailing byte for the next notification.
    QByteArray& acc = const_cast<QByteArray&>(w->inputAccumulator());
    acc.append("\x01\x00\x02", 3);
    w->slotAudioInputReady(0);
    QCOMPARE(w->inputAccumulator().size(), 1);
    QCOMPARE(w->modem()->ringWriteIndex(), ring0 + 1);
    acc.append('\x00');
    w->slotAudioInputReady(0);
    QCOMPARE(w->inputAccumulator().size(), 0);
    QCOMPARE(w->modem()->ringWriteIndex(), ring0 + 2);
    QCOMPARE(w->displayBlock()[1], 2.0f);
    closeWindow(w);
}

void TestMainWindow::modeFromSettingsReachesModem()
{
    {
        Settings s;
        s.setValue(QStringLiteral("RxTx/mode"), QStringLiteral("BPSK63"));
    }
    auto w = makeWindow();
    QCOMPARE(w->modem()->baud(), 62.5);
    QCOMPARE(w->titleBar()->comboBox->currentText(), QStringLiteral("BPSK63"));
    // A mode that is not one of the eight changes nothing (the log would
    // otherwise record a mode the modem does not run).
    w->slotModeChanged(QStringLiteral("RTTY"));
    QCOMPARE(w->modem()->baud(), 62.5);
    QCOMPARE(w->currentMode(), QStringLiteral("BPSK63"));
    QCOMPARE(w->titleBar()->comboBox->currentText(), QStringLiteral("BPSK63"));
    // The title bar's box drives the mode.
    w->titleBar()->comboBox->setCurrentIndex(3);
    QCOMPARE(w->currentMode(), QStringLiteral("BPSK250"));
    QCOMPARE(w->modem()->baud(), 250.0);
    closeWindow(w);
}

void TestMainWindow::restoredControlStatesReachModemAndWaterfall()
{
    {
        Settings s;
        s.setValue(QStringLiteral("AFC"), 2);
        s.setValue(QStringLiteral("Lock"), 2);
        s.setValue(QStringLiteral("SQ"), 2);
    }
    auto w = makeWindow();
    QCOMPARE(w->modem()->Command(52, 0, 0, 0), intptr_t(1));
    QCOMPARE(w->modem()->Command(55, 0, 0, 0), intptr_t(1));
    QCOMPARE(w->modem()->Command(78, 0, 0, 0), intptr_t(1));
    QVERIFY(w->spectrum()->isLocked());
    // The boxes drive them from then on.
    w->titleBar()->checkBoxAFC->setChecked(false);
    w->titleBar()->checkBoxLock->setChecked(false);
    QCOMPARE(w->modem()->Command(52, 0, 0, 0), intptr_t(0));
    QCOMPARE(w->modem()->Command(55, 0, 0, 0), intptr_t(0));
    QVERIFY(!w->spectrum()->isLocked());
    closeWindow(w);
}

void TestMainWindow::missingMorseTableStopsTheStart()
{
    QFile::remove(m_dataDir + QStringLiteral("/ENG.cwt"));
    QString text;
    QTimer::singleShot(0, this, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            text = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))->text();
            box->close();
        }
    });
    MainWindow w;
    QVERIFY(!w.startedOk());
    QCOMPARE(text, QStringLiteral("Cannot load ENG.cwt! Velkora32 will now exit."));
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
