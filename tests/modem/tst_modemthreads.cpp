// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The modem's work on other threads: the signal bank on its worker thread, as the window
// drives it; the transmitter driven by an audio thread while the GUI thread changes
// everything (no race under ThreadSanitizer, and a sane signal in any build).
#include "modemtesthelpers.h"
#include "core/settings.h"
#include "modem/pskmodes.h"
#include "modem/receivechannel.h"
#include "modem/signalbankworker.h"

#include <QTest>

#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

using namespace ModemTest;

#if defined(__SANITIZE_THREAD__)
// Qt Test's watchdog ends through Qt's uninstrumented wait conditions.
extern "C" const char* __tsan_default_suppressions()
{
    return "race:QWaitCondition::~QWaitCondition\n"
           "race:QTest::qRun\n";
}
#endif

namespace {

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

class TestModemThreads : public QObject
{
    Q_OBJECT

    ModemTest::SettingsSandbox m_settings;

    static std::vector<qint16> band(const QString& text, std::initializer_list<double> carriers)
    {
        std::vector<qint16> mix;
        for (double hz : carriers) {
            const std::vector<qint16> audio = transmit(mode(QStringLiteral("BPSK31")), text, hz);
            mix.resize(std::max(mix.size(), audio.size()), 0);
            for (size_t i = 0; i < audio.size(); ++i)
                mix[i] += audio[i] / 3;
        }
        return mix;
    }
    static void hand(SignalBankWorker& worker, const std::vector<qint16>& audio)
    {
        for (size_t at = 0; at < audio.size(); at += 1024)
            worker.feed(audio.data() + at, int(std::min<size_t>(1024, audio.size() - at)));
    }

private slots:
    // The worker makes a channel for each signal it finds: a channel takes
    // nothing from the settings, not even the stored receive frequency.
    void channelsReadNoSettings()
    {
        Settings().setValue(QStringLiteral("RxFq"), 2345.0);
        ReceiveChannel channel(false, 0, nullptr);
        QCOMPARE(channel.frequency(), 1000.0);
    }

    // Clearing while the worker has seconds of audio of two known stations
    // in hand empties the list at once, and nothing of that audio comes back:
    // after it only the new station shows, with its text.
    void clearingWhileBusyLeavesNoStaleLine()
    {
        const QString older = QStringLiteral("cq cq de vk2abc vk2abc vk2abc pse k"), newer = QStringLiteral("qrz de dl2zz k");
        const std::vector<qint16> first = band(older, {700.0, 1600.0}), second = band(newer, {1100.0});
        SignalBankWorker worker;
        worker.restart(PskModes::standard(), 11025.0, 0);
        hand(worker, first);
        QTRY_VERIFY_WITH_TIMEOUT(worker.idle() && worker.signalList().size() == 2, 60000);

        int stale = 0;
        connect(&worker, &SignalBankWorker::changed, this, [&] {
            for (const SignalBank::Signal& s : worker.signalList())
                stale += std::abs(s.frequency - 1100.0) > 5.0;
        });
        hand(worker, first);
        const bool busy = !worker.idle();
        worker.clear();
        QVERIFY(busy);
        QVERIFY(worker.signalList().empty());
        QCOMPARE(worker.now(), 0.0);
        hand(worker, second);
        hand(worker, std::vector<qint16>(11025, 0)); // the last characters come out
        QTRY_VERIFY_WITH_TIMEOUT(worker.idle(), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(worker.signalList().size() == 1 && worker.signalList().front().text.contains(newer),
                                 60000);
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

QTEST_GUILESS_MAIN(TestModemThreads)
#include "tst_modemthreads.moc"
