// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/apppaths.h"
#include "app/mainwindow.h"
#include "tests/app/windowfolder.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "audio/audioout.h"
#include "audio/soundthread.h"
#include "modem/psktxrx.h"
#include "rig/comport.h"
#include "rig/serialadapter.h"
#include "tests/audio/virtualsoundcard.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>
#include <QTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

// A serial port that notes, at each change of RTS, whether the output
// stream was playing, and with which line settings it was opened.
class WatchedPort : public SerialPortAdapter
{
public:
    struct Log
    {
        QStringList events;
        std::function<bool()> playing;
    };
    WatchedPort(const QString& device, Log* log)
        : m_device(device)
        , m_log(log)
    {
    }
    void setBaudRate(int code) override { m_log->events << QStringLiteral("baud %1").arg(code); }
    void setFlowControlOff() override {}
    void setParity(int code) override { m_log->events << QStringLiteral("parity %1").arg(code); }
    void setDataBits(int code) override { m_log->events << QStringLiteral("bits %1").arg(code); }
    void setStopBits(int code) override { m_log->events << QStringLiteral("stop %1").arg(code); }
    bool open() override
    {
        m_log->events << QStringLiteral("open ") + m_device;
        return m_open = true;
    }
    bool isOpen() const override { return m_open; }
    void close() override { m_open = false; }
    void setDtr(bool) override {}
    void setRts(bool on) override
    {
        const bool playing = m_log->playing && m_log->playing();
        m_log->events << QStringLiteral("rts %1 while %2").arg(on).arg(playing ? "playing" : "silent");
    }
    qint64 bytesAvailable() const override { return 0; }
    QByteArray read(qint64) override { return QByteArray(); }
    QString portName() const override { return m_device; }
    QString errorString() const override { return QString(); }

private:
    QString m_device;
    Log* m_log;
    bool m_open = false;
};

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
    void typedTextGoesOutAndDecodesBack();
    void stopAndRestartDropTheUnsentRest();
    void deadSoundServerNeverKeysTheRig();
    void hungSoundServerFreezesNothing();

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
        s.setValue(QStringLiteral("Comport/ByteSize"), 2); // 7 bits, until another port is chosen
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

void TestStation::typedTextGoesOutAndDecodesBack()
{
    WatchedPort::Log port;
    Comport::setDefaultFactory([&port](const QString& device) { return std::make_unique<WatchedPort>(device, &port); });
    auto w = makeWindow();
    port.playing = [&] { return w->isOutputActive(); };
    QSignalSpy stopped(w->audioOut(), &AudioOut::signalStopAudioOut);
    const QString text = QStringLiteral("TEST de VK2XYZ 599 tu");
    w->txView()->slotAddTxText(text + QChar(0x00AE)); // the end marker ends the transmission
    port.events.clear(); // opening the port has set the stored line states

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
    QTRY_VERIFY_WITH_TIMEOUT(w->rxView()->toPlainText().contains(text), 15000);
    QCOMPARE(w->txView()->toPlainText(), QString());
    // The rig is keyed once the stream surely plays (silence until then) and
    // released only after it has stopped.
    QCOMPARE(port.events.filter(QStringLiteral("rts")),
             QStringList({QStringLiteral("rts 1 while playing"), QStringLiteral("rts 0 while silent")}));

    // A start asked for (a macro's <TX>) while the output plays the closing
    // silence of an ended transmission is not lost to that end's stop.
    w->txView()->slotAddTxText(QStringLiteral("e") + QChar(0x00AE));
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    while (!w->transmissionEnded())
        QThread::msleep(1);
    w->onTxStart();
    QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 2, 15000);
    QTRY_VERIFY(!w->transmissionEnded()); // the end has reached the window
    QVERIFY(StationState::isTransmitting() && w->isOutputActive());
    w->stopAudioOut();

    // A left press starts a transmission and a second one stops it.
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(w->isOutputActive());
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(!w->isOutputActive());
    QVERIFY(!StationState::isTransmitting());

    // Choosing another port reopens it at 9600 baud, 8 bits, no parity, one
    // stop bit.
    port.events.clear();
    QTimer::singleShot(0, this, [] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        d->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(QStringLiteral("101"));
        d->accept();
    });
    w->slotSelectPort();
    QCOMPARE(port.events.filter(QStringLiteral("open")), QStringList({QStringLiteral("open /dev/ttyUSB1")}));
    QVERIFY(port.events.contains(QStringLiteral("baud 12")));
    QVERIFY(port.events.contains(QStringLiteral("bits 3")));
    QVERIFY(port.events.contains(QStringLiteral("parity 0")));
    QVERIFY(port.events.contains(QStringLiteral("stop 0")));
    w->close();
    w.reset();
    Comport::setDefaultFactory({});
}

// A click on "Tx:" during a transmission drops what was not sent of it, up to
// and including its end marker; what was typed after that waits for the next
// one. A restart (a macro's <TX>) drops the rest the same way.
void TestStation::stopAndRestartDropTheUnsentRest()
{
    auto w = makeWindow();
    CTxView* pane = w->txView();
    const QString end = QString(QChar(0x00AE));
    pane->slotAddTxText(QStringLiteral("ur 599 599 pse k") + end + QStringLiteral("\r\nnext") + end);
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!pane->toPlainText().startsWith(QLatin1String("ur")), 15000);
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(!StationState::isTransmitting());
    QTRY_COMPARE(pane->toPlainText(), QStringLiteral("next") + end);
    QVERIFY2(w->statusBar()->currentMessage().contains(QLatin1String("not sent")), qPrintable(w->statusBar()->currentMessage()));

    const QString dropped = QStringLiteral(" the rest of this long text is never sent");
    pane->clear();
    pane->slotAddTxText(QStringLiteral("abc") + dropped);
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!pane->toPlainText().startsWith(QLatin1String("abc")), 15000);
    w->onTxStart();
    pane->slotAddTxText(QStringLiteral("qrz?") + end);
    QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(w->rxView()->toPlainText().contains(QLatin1String("qrz?")), 15000);
    QVERIFY2(!w->rxView()->toPlainText().contains(dropped.right(12)), qPrintable(w->rxView()->toPlainText()));
    QCOMPARE(pane->toPlainText(), QString());
    w->close();
}

// The sound server dies during a transmission: the window says so and keeps
// going, the transmitter is released, a new transmission fails without
// keying it, and all works again once the server is back.
void TestStation::deadSoundServerNeverKeysTheRig()
{
    WatchedPort::Log port;
    Comport::setDefaultFactory([&port](const QString& device) { return std::make_unique<WatchedPort>(device, &port); });
    auto w = makeWindow();
    port.playing = [&] { return w->isOutputActive(); };
    const auto rts = [&] { return port.events.filter(QStringLiteral("rts")).join(QLatin1Char(',')); };
    port.events.clear();
    QTest::mouseClick(w->txLabel(), Qt::LeftButton); // idles until stopped
    QVERIFY(StationState::isTransmitting());
    m_card.kill();
    QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 8000);
    QTRY_VERIFY_WITH_TIMEOUT(w->soundLabel()->text().contains(QStringLiteral("input lost")), 8000);
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(!StationState::isTransmitting());
    QCOMPARE(rts(), QStringLiteral("rts 1 while playing,rts 0 while silent"));
    QVERIFY(w->soundLabel()->isVisible());
    QString why;
    QVERIFY2(m_card.start(&why), qPrintable(why));
    QTRY_VERIFY_WITH_TIMEOUT(!w->soundLabel()->isVisible(), 10000);
    w->txView()->slotAddTxText(QStringLiteral("de VK2XYZ") + QChar(0x00AE));
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(StationState::isTransmitting());
    QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 30000);
    QCOMPARE(port.events.filter(QStringLiteral("rts")).size(), 4);
    w.reset();
    Comport::setDefaultFactory({});
}

// The sound server hangs (stopped, not killed) during a transmission: the
// transmitter is released as soon as the output stops moving, the window
// never stalls long on the way (nor on a new transmission, which fails
// without keying), and all works again once the server goes on.
void TestStation::hungSoundServerFreezesNothing()
{
    WatchedPort::Log port;
    Comport::setDefaultFactory([&port](const QString& device) { return std::make_unique<WatchedPort>(device, &port); });
    auto w = makeWindow();
    port.playing = [&] { return w->isOutputActive(); };
    // The longest the event loop went without turning.
    QElapsedTimer sinceTick;
    qint64 longestStall = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    port.events.clear();
    QTest::mouseClick(w->txLabel(), Qt::LeftButton); // idles until stopped
    QVERIFY(StationState::isTransmitting());
    QTRY_VERIFY_WITH_TIMEOUT(w->audioOut()->isSettled(), 5000);
    m_card.pause(true);
    sinceTick.start();
    ticker.start(10);
    QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(w->soundLabel()->text().contains(QStringLiteral("input lost")), 8000);
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(!StationState::isTransmitting());
    // Reopening goes on in the background until a call counts as hung.
    QTRY_VERIFY_WITH_TIMEOUT(SoundThread::anyHung(), 3 * SoundThread::kHungMs);
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(!StationState::isTransmitting());
    QCOMPARE(port.events.filter(QStringLiteral("rts")).join(QLatin1Char(',')),
             QStringLiteral("rts 1 while playing,rts 0 while silent"));
    m_card.pause(false);
    QTRY_VERIFY_WITH_TIMEOUT(!w->soundLabel()->isVisible(), 15000);
    ticker.stop();
    QVERIFY2(longestStall < 2 * SoundThread::kAnswerMs, qPrintable(QString::number(longestStall)));
    w->txView()->slotAddTxText(QStringLiteral("de VK2XYZ") + QChar(0x00AE));
    QTest::mouseClick(w->txLabel(), Qt::LeftButton);
    QVERIFY(StationState::isTransmitting());
    QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 30000);
    w.reset();
    Comport::setDefaultFactory({});
}

QTEST_MAIN(TestStation)
#include "tst_station.moc"
