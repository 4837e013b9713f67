// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The signal bank on its worker thread, as the window drives it.
#include "modemtesthelpers.h"
#include "core/settings.h"
#include "modem/pskmodes.h"
#include "modem/receivechannel.h"
#include "modem/signalbankworker.h"

#include <QTest>

#include <cmath>

using namespace ModemTest;

class TestBankWorker : public QObject
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
};

QTEST_GUILESS_MAIN(TestBankWorker)
#include "tst_bankworker.moc"
