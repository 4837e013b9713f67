// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/apppaths.h"
#include "app/mainwindow.h"
#include "tests/app/windowfolder.h"
#include "app/settings.h"
#include "app/stationstate.h"
#include "audio/audioout.h"
#include "modem/psktxrx.h"
#include "tests/audio/virtualsoundcard.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// The whole station through real parts: a private PulseAudio server stands
// in for the sound card, the real PortAudio streams run, and what is played
// into the card comes back on its capture side.
class TestStation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void playedSignalIsDecodedIntoReceivePane();
    void typedTextGoesOutAndDecodesBack();

private:
    std::unique_ptr<MainWindow> makeWindow();
    VirtualSoundCard m_card;
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestStation::initTestCase()
{
    VIRTUAL_SOUND_CARD_OR_SKIP(m_card);
}

void TestStation::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    const QString data = prepareWindowFolder(*m_dir);
    QVERIFY(!data.isEmpty());
    {
        Settings s;
        s.setValue(QStringLiteral("Audio/Input/Name"), QStringLiteral("pulse"));
        s.setValue(QStringLiteral("Audio/Output/Name"), QStringLiteral("pulse"));
        s.setValue(QStringLiteral("RxTx/mode"), QStringLiteral("BPSK125"));
        s.setValue(QStringLiteral("echo"), false); // the receive pane shows what the receiver hears
    }
    StationState::setTransmitting(false);
}

void TestStation::cleanup()
{
    m_dir.reset();
}

std::unique_ptr<MainWindow> TestStation::makeWindow()
{
    auto w = std::make_unique<MainWindow>();
    w->show();
    return w;
}

void TestStation::playedSignalIsDecodedIntoReceivePane()
{
    const QString wav = m_dir->filePath(QStringLiteral("cq.wav"));
    const QString text = QStringLiteral("CQ CQ de VK2XYZ pse k");
    QProcess encode;
    encode.start(qEnvironmentVariable("VELKORA_BIN_DIR") + QStringLiteral("/velkora32-cli"),
                 {QStringLiteral("encode"), QStringLiteral("--mode"), QStringLiteral("BPSK125"),
                  QStringLiteral("--freq"), QStringLiteral("1000"), QStringLiteral("--text"), text, wav});
    QVERIFY(encode.waitForFinished(20000));
    QCOMPARE(encode.exitCode(), 0);

    auto w = makeWindow();
    QSignalSpy chars(w->modem(), &CPskTxRx::signalCharReceived);
    QProcess play;
    play.start(QStringLiteral("paplay"), {wav});
    QVERIFY(play.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(w->rxView()->toPlainText().contains(text), 20000);
    play.waitForFinished(10000);
    QVERIFY(chars.count() >= text.size());
    w->close();
}

void TestStation::typedTextGoesOutAndDecodesBack()
{
    auto w = makeWindow();
    QSignalSpy stopped(w->audioOut(), &AudioOut::signalStopAudioOut);
    const QString text = QStringLiteral("TEST de VK2XYZ 599 tu");
    w->txView()->slotAddTxText(text + QChar(0x00AE)); // the end marker ends the transmission

    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(StationState::isTransmitting());
    QVERIFY(w->isOutputActive());
    QVERIFY(w->txLabel()->text().contains(QStringLiteral("red")));

    // The receiver keeps listening while we transmit: our own signal comes
    // back through the card and decodes into the receive pane.
    QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 30000);
    QCOMPARE(stopped.count(), 1);
    QVERIFY(!w->isOutputActive());
    QVERIFY(w->txLabel()->text().contains(QStringLiteral("black")));
    QTRY_VERIFY_WITH_TIMEOUT(w->rxView()->toPlainText().contains(text), 5000);
    QCOMPARE(w->txView()->toPlainText(), QString());

    // A left press starts a transmission and a second one stops it.
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(w->isOutputActive());
    QTest::qWait(300);
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(!w->isOutputActive());
    QVERIFY(!StationState::isTransmitting());
    w->close();
}

QTEST_MAIN(TestStation)
#include "tst_station.moc"
