// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audioout.h"
#include "audio/soundthread.h"
#include "logbook/searchresultsdlg.h"
#include "rig/comport.h"
#include "rig/serialadapter.h"
#include "tests/app/windowfolder.h"
#include "tests/audio/virtualsoundcard.h"

#include <QAbstractSpinBox>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <algorithm>

using namespace WindowTest;

// A serial port that notes, at each change of RTS, whether the output
// stream was playing, and with which line settings it was opened.
class WatchedPort : public SerialPortAdapter
{
public:
    struct Log
    {
        QStringList events;
        std::function<bool()> playing;
        QString rts() const { return events.filter(QStringLiteral("rts")).join(QLatin1Char(',')); }
    };
    WatchedPort(const QString& device, Log* log) : m_device(device), m_log(log) {}
    void setBaudRate(int code) override { m_log->events << QStringLiteral("baud %1").arg(code); }
    void setFlowControlOff() override {}
    void setParity(int code) override { m_log->events << QStringLiteral("parity %1").arg(code); }
    void setDataBits(int code) override { m_log->events << QStringLiteral("bits %1").arg(code); }
    void setStopBits(int code) override { m_log->events << QStringLiteral("stop %1").arg(code); }
    bool open() override { return m_log->events << QStringLiteral("open ") + m_device, m_open = true; }
    bool isOpen() const override { return m_open; }
    void close() override { m_open = false; }
    void setDtr(bool) override {}
    void setRts(bool on) override
    {
        m_log->events << QStringLiteral("rts %1 while %2").arg(on).arg(m_log->playing && m_log->playing() ? "playing" : "silent");
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
    VirtualSoundCard m_card;
    std::unique_ptr<QTemporaryDir> m_dir;
    WatchedPort::Log m_port;

    // The window, its serial port watched.
    std::unique_ptr<MainWindow> makeWindow()
    {
        Comport::setDefaultFactory([this](const QString& device) { return std::make_unique<WatchedPort>(device, &m_port); });
        auto w = std::make_unique<MainWindow>();
        w->show();
        m_port.playing = [w = w.get()] { return w->isOutputActive(); };
        m_port.events.clear(); // opening the port has set the stored line states
        return w;
    }

private slots:
    void initTestCase() { VIRTUAL_SOUND_CARD_OR_SKIP(m_card); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
        store({{"Audio/Input/Name", "pulse"}, {"Audio/Output/Name", "pulse"}, {"RxTx/mode", "BPSK125"},
                           {"echo", false}, // the receive pane shows what the receiver hears
                           {"Comport/ByteSize", 2}}); // 7 bits, until another port is chosen
        StationState::setTransmitting(false);
    }
    void cleanup()
    {
        m_port.playing = {};
        Comport::setDefaultFactory({});
    }

    void typedTextGoesOutAndDecodesBack()
    {
        auto w = makeWindow();
        QSignalSpy stopped(w->audioOut(), &AudioOut::signalStopAudioOut);
        const QString text = QStringLiteral("TEST de VK2XYZ 599 tu");
        w->txView()->slotAddTxText(text + QChar(0x00AE)); // the end marker ends the transmission
        QTest::mouseClick(w->txLabel(), Qt::LeftButton);
        QVERIFY(StationState::isTransmitting() && w->isOutputActive() && w->txLabel()->text().contains(QStringLiteral("red")));

        // The receiver keeps listening while we transmit: our own signal comes
        // back through the card and decodes into the receive pane.
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 30000);
        QVERIFY(stopped.count() == 1 && !w->isOutputActive() && w->txLabel()->text().contains(QStringLiteral("black")));
        QTRY_VERIFY_WITH_TIMEOUT(w->rxView()->toPlainText().contains(text), 15000);
        QCOMPARE(w->txView()->toPlainText(), QString());
        // The rig is keyed once the stream surely plays (silence until then) and
        // released only after it has stopped.
        QCOMPARE(m_port.rts(), QStringLiteral("rts 1 while playing,rts 0 while silent"));

        // A start asked for (a macro's <TX>) while the output plays the closing
        // silence of an ended transmission is not lost to that end's stop.
        w->txView()->slotAddTxText(QStringLiteral("e") + QChar(0x00AE));
        QTest::mouseClick(w->txLabel(), Qt::LeftButton);
        // Polled without turning the event loop, which would deliver the stop.
        for (QDeadlineTimer deadline(30000); !w->transmissionEnded() && !deadline.hasExpired();)
            QThread::yieldCurrentThread();
        QVERIFY(w->transmissionEnded());
        w->onTxStart();
        QTRY_COMPARE_WITH_TIMEOUT(stopped.count(), 2, 15000);
        QTRY_VERIFY(!w->transmissionEnded()); // the end has reached the window
        QVERIFY(StationState::isTransmitting() && w->isOutputActive());
        w->stopAudioOut();

        // Choosing another port reopens it at 9600 baud, 8 bits, no parity, one
        // stop bit.
        m_port.events.clear();
        withDialog([&] { w->slotSelectPort(); }, [](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(QStringLiteral("101"));
            pressOk(d);
        });
        QCOMPARE(m_port.events.filter(QStringLiteral("open")), QStringList({QStringLiteral("open /dev/ttyUSB1")}));
        for (const char* set : {"baud 12", "bits 3", "parity 0", "stop 0"})
            QVERIFY2(m_port.events.contains(QLatin1String(set)), set);
        w->close();
    }

    // A click on "Tx:" during a transmission drops what was not sent of it, up to
    // and including its end marker; what was typed after that waits for the next
    // one. A restart (a macro's <TX>) drops the rest the same way.
    void stopAndRestartDropTheUnsentRest()
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

    void soundServerFaultsNeverKeyTheRig_data()
    {
        QTest::addColumn<bool>("hang");
        QTest::newRow("server dies") << false;
        QTest::newRow("server hangs") << true;
    }

    // The sound server dies (killed) or hangs (stopped) during a transmission:
    // the window says so and keeps going, the transmitter is released as soon
    // as the output stops moving, the window never stalls long on the way (nor
    // on a new transmission, which fails without keying), and all works again
    // once the server is back.
    void soundServerFaultsNeverKeyTheRig()
    {
        QFETCH(bool, hang);
        auto w = makeWindow();
        // The longest the event loop went without turning.
        QElapsedTimer sinceTick;
        qint64 longestStall = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
        QTest::mouseClick(w->txLabel(), Qt::LeftButton); // idles until stopped
        QVERIFY(StationState::isTransmitting());
        QTRY_VERIFY_WITH_TIMEOUT(!hang || w->audioOut()->isSettled(), 5000);
        hang ? m_card.pause(true) : m_card.kill();
        sinceTick.start();
        ticker.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), hang ? 2000 : 8000);
        QTRY_VERIFY_WITH_TIMEOUT(w->soundLabel()->text().contains(QStringLiteral("input lost, reopening; Sound output lost")), 8000);
        QTest::mouseClick(w->txLabel(), Qt::LeftButton);
        QVERIFY(!StationState::isTransmitting());
        if (hang) { // reopening goes on in the background until a call counts as hung
            QTRY_VERIFY_WITH_TIMEOUT(SoundThread::anyHung(), 3 * SoundThread::kHungMs);
            QTest::mouseClick(w->txLabel(), Qt::LeftButton);
            QVERIFY(!StationState::isTransmitting());
        }
        QVERIFY(m_port.rts() == QStringLiteral("rts 1 while playing,rts 0 while silent") && w->soundLabel()->isVisible());
        QString why;
        if (hang)
            m_card.pause(false);
        else
            QVERIFY2(m_card.start(&why), qPrintable(why));
        QTRY_VERIFY_WITH_TIMEOUT(!w->soundLabel()->isVisible(), 15000);
        ticker.stop();
        QVERIFY2(longestStall < 2 * SoundThread::kAnswerMs, qPrintable(QString::number(longestStall)));
        w->txView()->slotAddTxText(QStringLiteral("de VK2XYZ") + QChar(0x00AE));
        QTest::mouseClick(w->txLabel(), Qt::LeftButton);
        QVERIFY(StationState::isTransmitting());
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 30000);
        QCOMPARE(m_port.events.filter(QStringLiteral("rts")).size(), 4);
    }

    // A whole contact from the keyboard alone: the receiver is tuned by
    // typing, CQ goes out with F1 and is stopped with Esc, the other
    // station's call, name and QTH are typed into the log bar (which says it
    // was worked before), the report goes out with F3, free text with Ctrl+T,
    // the QSO is logged with Alt+A and the contact ends with 73 on F5.
    void wholeQsoFromTheKeyboard()
    {
        store({{"RxTx/mode", "BPSK250"} /* short overs */, {"echo", true}, {"Personal data/call", "VK2XYZ"},
                           {"Personal data/name", "Sam"}, {"Personal data/qth", "Sydney"}});
        auto w = makeWindow();
        QVERIFY(w->startedOk());
        // A contact from last year: the log bar will say so.
        CQsoData old;
        old.clear(), old.call = QStringLiteral("JA1QRP"), old.mode = QStringLiteral("BPSK31");
        old.start = QDateTime(QDate(2025, 3, 1), QTime(14, 5), Qt::UTC);
        QVERIFY(CHamLog(w->logFileName()).append(old));
        QApplication::setActiveWindow(w.get());
        QTRY_VERIFY(w->isActiveWindow());
        w->txView()->setFocus();
        const auto key = [&w](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.get(), k, m);
        };

        // Tune: Ctrl+F, type the frequency, Enter.
        withDialog([&] { key(Qt::Key_F, Qt::ControlModifier); }, [](QDialog* d) {
            auto* spin = d->findChild<QAbstractSpinBox*>();
            QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(spin, QStringLiteral("1200"));
            QTest::keyClick(spin, Qt::Key_Return);
        });
        double rx = 0.0, tx = 0.0;
        QCOMPARE((w->modem()->GetFrequencies(&rx, &tx), std::pair(rx, tx)), std::pair(1200.0, 1200.0));

        // CQ with F1 (the first start's macros); Esc stops it at once and drops the rest.
        QPushButton* txButton = w->txButton();
        key(Qt::Key_F1);
        QVERIFY(StationState::isTransmitting() && w->isOutputActive() && txButton->isChecked() && txButton->text() == QStringLiteral("TX"));
        key(Qt::Key_Escape);
        QVERIFY(!w->isOutputActive() && !StationState::isTransmitting() && !txButton->isChecked());
        QCOMPARE(w->txView()->toPlainText().trimmed(), QString()); // the rest of the CQ is dropped

        // JA1QRP answers: call (Alt+C), name and QTH typed into the log bar.
        key(Qt::Key_C, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), field(*w, "editCall"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ja1qrp"));
        QVERIFY2(w->workedLabel()->text().contains(QStringLiteral("1")), qPrintable(w->workedLabel()->text()));
        QVERIFY(w->workedLabel()->toolTip().contains(QStringLiteral("2025-03-01 14:05 UTC")));
        key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Taro"));
        key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Tokyo"));
        QCOMPARE((QStringList{field(*w, "editName")->text(), field(*w, "editQHT")->text()}), (QStringList{"Taro", "Tokyo"}));

        // Logging before any report asks first (Enter would save); Esc answers "not now".
        withDialog([&] { key(Qt::Key_A, Qt::AltModifier); }, [](QDialog* d) {
            const auto* box = qobject_cast<QMessageBox*>(d);
            QVERIFY(box->informativeText().contains(QStringLiteral("anyway")) && box->defaultButton()->text() == QStringLiteral("&Save anyway"));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(CHamLog(w->logFileName()).search(QStringLiteral("JA1QRP")).size(), 1);
        // Alt+S from the log bar searches the log.
        withDialog([&] { key(Qt::Key_S, Qt::AltModifier); }, [](QDialog* d) { QVERIFY(qobject_cast<SearchResultsDlg*>(d)); d->reject(); });

        // F3: the report (asked for, Enter takes 599) and the name go out.
        QString asked; // the prompt's title and label
        withDialog([&] { key(Qt::Key_F3); }, [&asked](QDialog* d) {
            asked = d->windowTitle() + u'|' + d->findChild<QLabel*>(QStringLiteral("label"))->text();
            QTest::keyClick(d, Qt::Key_Return);
        });
        QCOMPARE(asked + u'|' + field(*w, "editSent")->text(), QStringLiteral("Enter RST|RST to send|599"));
        QVERIFY(StationState::isTransmitting());
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 90000); // real time, on a busy machine slower
        QVERIFY(w->rxView()->toPlainText().contains(QStringLiteral("Your RST is 599 599.")) && !txButton->isChecked());

        // Free text: typed, Ctrl+T sends it, Ctrl+T again returns to receive
        // once it is out.
        w->txView()->setFocus();
        QTest::keyClicks(w->txView(), QStringLiteral("fb Taro, tnx"));
        key(Qt::Key_T, Qt::ControlModifier);
        QVERIFY(txButton->isChecked());
        key(Qt::Key_T, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 90000); // real time, on a busy machine slower
        QVERIFY(w->rxView()->toPlainText().contains(QStringLiteral("fb Taro, tnx")));

        // Alt+A logs it now that a report is there; the bar counts it.
        key(Qt::Key_A, Qt::AltModifier);
        const QList<CQsoData> logged = CHamLog(w->logFileName()).search(QStringLiteral("JA1QRP"));
        QCOMPARE(logged.size(), 2);
        QCOMPARE((QStringList{logged.last().name, logged.last().sent, logged.last().mode}), (QStringList{"Taro", "599", "BPSK250"}));
        QVERIFY(w->workedLabel()->text().contains(QStringLiteral("2")));

        // 73 on F5, back to receive at its end.
        key(Qt::Key_F5);
        QVERIFY(txButton->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 90000); // real time, on a busy machine slower
        QVERIFY(w->rxView()->toPlainText().contains(QStringLiteral("Thanks for the QSO Taro, 73")) && !txButton->isChecked());
        w->close();
    }
};

QTEST_MAIN(TestStation)
#include "tst_station.moc"
