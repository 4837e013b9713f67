// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The modem's parts on their own and on other threads: the receive DSP refuses the rates its
// moving sums cannot hold; what the receivers, the transmitter and the signal bank make of one
// input, pinned; the Varicode words against the published table and every character's word
// back; reading ".cwt" Morse tables; the signal bank on its worker thread, as the window drives
// it; the transmitter driven by an audio thread while the GUI thread changes everything (no race
// under ThreadSanitizer, and a sane signal in any build).
#include "modem/cwtables.h"
#include "modem/pskdecode.h"
#include "modem/pskrxalgorithms.h"
#include "modem/varicode.h"
#include "modemtesthelpers.h"
#include "bench/benchcommon.h"
#include "core/settings.h"
#include "modem/pskmodes.h"
#include "modem/receivechannel.h"
#include "modem/signalbank.h"
#include "modem/signalbankworker.h"

#include <QTest>

#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

using namespace ModemTest;

namespace {

// A minimal complete table; tests append their own lines.
const QString kHeader = QStringLiteral("[Name]\r\nTEST\r\n[CharSet]\r\nlatin\r\n[TX]\r\n");

// UTF-16 little-endian behind its byte order mark.
QByteArray utf16Le(const QString& text)
{
    return QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// Words from the GUI thread to the audio thread, under a lock.
struct LockedSource : CTxCharSource
{
    std::mutex mutex;
    std::deque<quint32> words;
    int taken = 0;
    void push(quint32 word) { const std::lock_guard<std::mutex> lock(mutex); words.push_back(word); }
    quint32 nextTxWord() override
    {
        const std::lock_guard<std::mutex> lock(mutex);
        if (words.empty())
            return 0;
        const quint32 word = words.front();
        words.pop_front();
        return ++taken, word;
    }
};

} // namespace

class TestModemParts : public QObject
{
    Q_OBJECT

    ModemTest::SettingsSandbox m_settings;
    QTemporaryDir m_dir;
    QList<CCwTableMessage> m_messages;

    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(f.fileName()));
        return f.fileName();
    }

    static void hand(SignalBankWorker& worker, const std::vector<qint16>& audio)
    {
        for (size_t at = 0; at < audio.size(); at += 1024)
            worker.feed(audio.data() + at, int(std::min<size_t>(1024, audio.size() - at)));
    }

private slots:
    void ratesBeyondTheSumBuffersAreRefused()
    {
        CPskRxAlgorithms rx;
        rx.setFrequency(1500);
        for (double bad : {64250.0, -8000.0, std::nan("")})
            QVERIFY(!rx.setSampleRate(bad) && rx.movingSumLength() == 22);
        QVERIFY(rx.setSampleRate(64249.0) && rx.movingSumLength() == 128);
    }

    // A reset (a replay, a new signal) leaves nothing of the audio before it
    // in the moving sums: silence after it comes out as silence.
    void resetEmptiesTheFilters()
    {
        struct Symbols : CPskBitDecode {
            int i = 1, q = 1, count = 0;
            void ReceiveSymbol(int si, int sq, int) override { i = si, q = sq, ++count; }
            void Reset() override { count = 0; }
            void ReceiveBit(int) override {}
            void MeasureQuality(int, int, int) override {}
        } last;
        CPskRxAlgorithms rx;
        rx.setSampleRate(8000.0);
        rx.setSymbolSink(&last);
        std::vector<qint16> audio(8000);
        for (size_t n = 0; n < audio.size(); ++n) // the receiver's own 1000 Hz
            audio[n] = qint16(20000.0 * std::cos(M_PI * double(n) / 4.0));
        rx.ProcessSamples(audio.data(), int(audio.size()));
        rx.reset(), std::fill(audio.begin(), audio.end(), 0);
        rx.ProcessSamples(audio.data(), int(audio.size()));
        QVERIFY(last.count > 20 && last.i == 0 && last.q == 0);
    }

    // What each receiver makes of a drifting signal in noise (the sensitive one also on a fading
    // path), tuned 2 Hz off with the AFC on (its symbols, characters, quality, frequency, S/N and
    // IMD), what the transmitter sends (with a Morse identification) and what a signal bank follows
    // of a band, pinned: the standard receiver is the classic chain bit for bit, and the others
    // change only on purpose.
    void fingerprints_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("part");
        for (const char* m : {"BPSK31", "QPSK31", "BPSK63"})
            for (const char* part : {"standard", "sensitive", "faded", "transmitter", "bank"})
                QTest::addRow("%s-%s", part, m) << m << part;
    }
    void fingerprints()
    {
        QFETCH(QString, mode);
        QFETCH(QString, part);
        const Mode m = ModemTest::mode(mode);
        const QString text = QStringLiteral("cq de dl1abc dl1abc 599 Zurich?");
        std::vector<double> trace;
        QString heard;
        std::vector<qint16> audio = transmit(m, text, 1000.0, 11025.0, 0.1);
        audio.insert(audio.begin(), 11025, 0); // a second of noise either side
        audio.resize(audio.size() + 11025, 0);
        audio = part == u"faded" ? faded(audio, Watterson::kModerate, 12.0, 7) : Bench::withNoise(audio, 6.0, 11025.0, 7);
        if (part == u"transmitter") {
            CwTables::clear();
            QVERIFY(CwTables::loadTable(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/ENG.cwt"), nullptr));
            CPskTxRx tx(m.modemName());
            tx.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>("DL1ABC"), 0, 0);
            WordSource source;
            for (qint16 s : transmitFrom(setUp(tx, m, 1500.0), source.text(text + u'\u00A9', true).word(TxWord::kEnd)))
                trace.push_back(s);
            CwTables::clear(); // as the other tests expect
        } else if (part == u"bank") {
            SignalBank bank; // at 11025 Hz
            bank.setMode(*PskModes::find(mode));
            for (size_t at = 0; at < audio.size(); at += 2048) {
                bank.feed(audio.data() + at, int(std::min<size_t>(2048, audio.size() - at)));
                for (const SignalBank::Signal& s : bank.signalList()) {
                    trace.insert(trace.end(), {s.frequency, double(s.quality), s.snrDb, double(s.text.size()), s.quarterShare});
                    heard = s.text;
                }
            }
        } else {
            CPskTxRx rx(m.modemName());
            rx.setSensitiveReceiver(part != u"standard");
            setUp(rx, m, 1002.0).Command(ModemCommand::kSetAfc, 1, 0, 0);
            QObject::connect(&rx, &CPskTxRx::signalPskSymbol, &rx, [&trace](long angle, long level) { trace.insert(trace.end(), {double(angle), double(level)}); });
            QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [&trace](QChar c) { trace.push_back(c.unicode()); });
            heard = hear(rx, audio, [&] {
                const CPskTxRx::SignalReport r = rx.signalReport();
                trace.insert(trace.end(), {double(rx.Command(ModemCommand::kQuality, 0, 0, 0)), double(rx.Command(ModemCommand::kRxFrequencyTenths, 0, 0, 0)),
                                           r.snrDb, std::isnan(r.imdDb) ? 0.0 : r.imdDb});
            });
        }
        QVERIFY2(part == u"transmitter" || heard.contains(text), qPrintable(heard));
        const QString mismatch = fingerprintMismatch(QTest::currentDataTag(), trace);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    // Words of the published table, below 128 and above, the same in both character sets.
    void publishedWords()
    {
        for (const auto& [value, word] : {std::pair{0x20, "1"}, {int('e'), "11"}, {0, "1010101011"}, {0x7F, "1110110101"},
                                          {128, "1110111101"}, {143, "10101010101"}, {255, "101101011011"}}) {
            QCOMPARE(QString::number(Varicode::ascii8Word(value), 2), QLatin1String(word));
            QCOMPARE(Varicode::ascii8Word(value), CMMVari::instance().codeWord(quint16(value), false));
        }
    }

    void everyCharacterRoundTrips()
    {
        const CMMVari& v = CMMVari::instance();
        for (bool swap : {false, true}) {
            for (int value = 0; value < 256; ++value)
                QCOMPARE(v.charOfWord(v.codeWord(quint16(value), swap), swap), quint16(value));
            for (int lead = 0x81; lead <= 0xFE; ++lead) {
                for (int trail = 0x40; trail <= 0xFF; ++trail) {
                    const quint32 w = v.codeWord(quint16(lead << 8 | trail), swap);
                    // Received double bytes keep sending order: lead byte low.
                    QCOMPARE(v.charOfWord(w, swap), quint16(trail << 8 | lead));
                }
            }
            // Values whose rank lies beyond the list have no word.
            for (int value : {CMMVari::kWordCount, 0x80FF, 0xFF40, 0xFFFF})
                QCOMPARE(v.codeWord(quint16(value), swap), 0u);
        }
    }

    void badFilesAreSkippedWithAWarning()
    {
        const QString ansi = write(QStringLiteral("ansi.cwt"), kHeader.toLatin1() + "A  .-\r\n");
        QVERIFY(!CwTables::loadTable(ansi, &m_messages) && !CwTables::loadTable(m_dir.filePath(QStringLiteral("none.cwt")), &m_messages)); // none: silently
        CCwTable both; // a good table: [TX] and [RX] each to their own list
        QVERIFY(CwTables::readTable(write(QStringLiteral("x.cwt"), utf16Le(kHeader + "A  .-\r\n[RX]\r\nB  -...\r\n")), &both, nullptr) && both.txEntries.at(0).text == "A" && both.rxEntries.at(0).text == "B");
        QCOMPARE(m_messages.value(0).text, ansi + QStringLiteral(" is not a Unicode file!"));
        const QString bad = write(QStringLiteral("t.cwt"), utf16Le(QStringLiteral("[Name]\nX\n[CharSet]\nLATIN\n[TX]\nA  .-")));
        m_messages.clear();
        QVERIFY(!CwTables::loadTable(bad, &m_messages));
        QVERIFY(m_messages.value(0).text == QStringLiteral("Error loading %1!").arg(bad) && CwTables::tables().empty());
        // Without an "ENG" table the program cannot start.
        write(QStringLiteral("ENG.cwt"), utf16Le(QStringLiteral("[Name]\nENG\n[TX]\nA  .-\n")));
        QVERIFY(!CwTables::loadAll(m_dir.path(), &m_messages));
        QCOMPARE(m_messages.back().severity, CCwTableMessage::Critical);
    }

    // The worker makes a channel for each signal it finds: a channel takes nothing from the
    // settings, not even the stored receive frequency. A decoded byte value shows as Latin-1; a
    // double-byte one goes through the local code page, which has no Ā.
    void channelsReadNoSettingsAndSpellCodes()
    {
        Settings().setValue(QStringLiteral("RxFq"), 2345.0);
        struct Chars : ChannelOutput {
            QString s;
            void channelChar(QChar ch) override { s += ch; }
        } out;
        ReceiveChannel channel(false, 1, &out);
        QCOMPARE(channel.frequency(), 1000.0);
        channel.CodeReceived(0, 0xFF);
        channel.CodeReceived(0, 0x100);
        QCOMPARE(out.s, QStringLiteral("\u00FF?"));
    }

    // Clearing while the worker has seconds of audio of two known stations
    // in hand empties the list at once, and nothing of that audio comes back:
    // after it only the new station shows, with its text.
    void clearingWhileBusyLeavesNoStaleLine()
    {
        const QString older = QStringLiteral("cq cq de vk2abc vk2abc vk2abc pse k"), newer = QStringLiteral("qrz de dl2zz k");
        const std::vector<qint16> first = band({{"BPSK31", older, 700.0}, {"BPSK31", older, 1600.0}}), second = band({{"BPSK31", newer, 1100.0}});
        SignalBankWorker worker;
        worker.restart(PskModes::standard(), 11025.0, 0);
        hand(worker, first);
        QTRY_VERIFY_WITH_TIMEOUT(worker.idle() && worker.signalList().size() == 2, 60000);

        int stale = 0;
        QString told; // the text as each change was announced
        connect(&worker, &SignalBankWorker::changed, this, [&] {
            for (const SignalBank::Signal& s : worker.signalList()) {
                stale += std::abs(s.frequency - 1100.0) > 5.0;
                told = s.text;
            }
        });
        for (const bool restart : {true, false}) { // both forget at once what the bank had
            hand(worker, first);
            const bool busy = !worker.idle();
            restart ? worker.restart(PskModes::standard(), 11025.0, 0) : worker.clear();
            QVERIFY(busy && worker.signalList().empty() && worker.now() == 0.0);
        }
        hand(worker, second);
        hand(worker, std::vector<qint16>(11025, 0)); // the last characters come out
        QTRY_VERIFY_WITH_TIMEOUT(worker.idle(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(worker.signalList().size() == 1 && worker.signalList().front().text.contains(newer),
                                 60000);
        QTRY_VERIFY_WITH_TIMEOUT(told.contains(newer), 10000); // announced as it grew, not once
        QCOMPARE(stale, 0);
        SignalBank::Signal found;
        QVERIFY(worker.find(worker.signalList().front().id, &found) && std::abs(found.frequency - 1100.0) < 3.0);
    }

    void guiChangesWhileTheCallbackRuns_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::newRow("BPSK") << QStringLiteral("BPSK31");
        QTest::newRow("QPSK") << QStringLiteral("QPSK");
    }
    void guiChangesWhileTheCallbackRuns()
    {
        QFETCH(QString, mode);
        CPskTxRx modem(mode);
        LockedSource source;
        modem.setTxCharSource(&source);
        modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>("DL0XYZ"), 0, 0);
        modem.SetTransmit(1);

        std::atomic<bool> stop{false};
        std::atomic<int> blocks{0}, worst{0};
        std::thread audio([&] {
            std::vector<qint16> block(512);
            while (!stop.load(std::memory_order_relaxed)) {
                modem.GenerateTxSamples(block.data(), int(block.size()));
                for (qint16 s : block)
                    worst.store(qMax(worst.load(std::memory_order_relaxed), std::abs(int(s))), std::memory_order_relaxed);
                blocks.fetch_add(1, std::memory_order_relaxed);
            }
        });

        const QString text = QStringLiteral("cq cq de dl0xyz pse k ");
        const QByteArray calls[] = {"DL0XYZ", "G4ABC/P", "", "JA1ZZZ"};
        for (int round = 0; round < 400; ++round) {
            source.push(TxWord::make(TxWord::kChar, text.at(round % text.size()).unicode()));
            if (round % 97 == 50)
                source.push(TxWord::make(TxWord::kCwId));
            if (round % 131 == 130)
                source.push(TxWord::make(TxWord::kEnd));

            modem.Command(ModemCommand::kSetTxFrequency, 800 + round % 700, 0, 0);
            modem.Command(ModemCommand::kForceTxFrequency, 900 + round % 500, 0, 0);
            modem.Command(ModemCommand::kSetBothFrequencies, 1000 + round % 300, 0, 0);
            modem.Command(ModemCommand::kSetTxLock, round & 1, 0, 0);
            modem.slotFqChanged(1200.0 + round, 1300.0 + round);
            modem.Command(ModemCommand::kSetAfc, 1, 0, 0);
            modem.AfcStep();
            modem.Command(ModemCommand::kSetTxLevel, 1000 + (round * 37) % 9000, 0, 0);
            modem.setCharSet(round % 3);
            modem.Command(ModemCommand::kSetCwUnit, round % 3, 0, 0);
            modem.Command(ModemCommand::kSetQpskInversion, round & 2, 0, 0);
            modem.Command(ModemCommand::kSetSymbolRate, (round % 4 == 3) ? 6250 : 3125, 0, 0);
            modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>(calls[round % 4].constData()), 0, 0);
            if (round % 50 == 49) {
                modem.SetTransmit(0);
                modem.SetTransmit(1);
            }
            std::this_thread::yield();
        }
        const int seen = blocks.load();
        while (blocks.load() < seen + 20)
            std::this_thread::yield();
        stop.store(true);
        audio.join();
        modem.SetTransmit(0);
        // Troughs round down to -32767.
        QVERIFY(blocks.load() > 20 && worst.load() <= 32767 && worst.load() > 0 && source.taken > 0);
    }
};

QTEST_GUILESS_MAIN(TestModemParts)
#include "tst_modemparts.moc"
