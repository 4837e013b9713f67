// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The QPSK decoder's Viterbi decoder against symbol errors; decoders built
// on other threads while one decodes.
#include "modemtesthelpers.h"
#include "modem/pskdecode.h"
#include "modem/pskinterfaces.h"
#include "modem/pskreceiver.h"
#include "modem/varicode.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <atomic>
#include <random>
#include <thread>
#include <vector>

namespace {

// The transmitter's QPSK convolutional code: phase step of each 5-bit state.
const int kQpskSteps[32] = {0, 3, 1, 2, 1, 2, 0, 3, 2, 1, 3, 0, 3, 0, 2, 1,
                            3, 0, 2, 1, 2, 1, 3, 0, 1, 2, 0, 3, 0, 3, 1, 2};

class BitRecorder : public CQpskDecode
{
public:
    std::vector<int> bits;
    void ReceiveBit(int bit) override
    {
        bits.push_back(bit);
        CQpskDecode::ReceiveBit(bit);
    }
};

class TextSink : public CPskRecCharDone
{
public:
    QString text;
    void CharReceived(int, QChar ch) override { text += ch; }
    void CodeReceived(int, quint16) override {}
};

} // namespace

class TestDecoders : public QObject
{
    Q_OBJECT
    ModemTest::SettingsSandbox m_settings;

private slots:
    void qpskViterbiCorrectsSymbolErrors()
    {
        std::mt19937 rng(5);
        std::vector<int> bits(40, 0);
        for (int k = 0; k < 400; ++k)
            bits.push_back(int(rng() & 1));
        bits.insert(bits.end(), 30, 0);
        BitRecorder decoder;
        int phase = 0, state = 31;
        for (size_t k = 0; k < bits.size(); ++k) {
            state = ((state << 1) | (1 - bits[k])) & 31;
            phase = (phase + kQpskSteps[state]) % 4;
            // One symbol in 25 a quarter turn off; the receiver sees the phase mirrored.
            const double deg = -90.0 * (phase + (k % 25 == 12));
            decoder.ReceiveSymbol(int(1e8 * std::cos(deg * M_PI / 180.0)), int(1e8 * std::sin(deg * M_PI / 180.0)), 40);
        }
        QCOMPARE(decoder.bits.size(), bits.size());
        // 20 symbols of decoding delay.
        QVERIFY(std::equal(bits.begin(), bits.end() - 20, decoder.bits.begin() + 20));
    }

    // Receivers and decoders built on two threads (as the signal bank's
    // worker does) while a third decodes: every character still comes out.
    void decodersBuiltWhileAnotherDecodes()
    {
        std::atomic<bool> stop{false};
        std::atomic<int> built{0};
        auto build = [&] {
            while (!stop) {
                CBpskDecode bpsk;
                CQpskDecode qpsk;
                PskReceivers::make(PskReceivers::standardName(), built % 2);
                ++built;
            }
        };
        std::thread first(build), second(build);
        const QString text = QStringLiteral("cq de dl1abc k ");
        TextSink sink;
        CBpskDecode decoder;
        decoder.setCharSink(&sink);
        int rounds = 0;
        // Until both builders have run a while, or a generous bound.
        for (; rounds < 200000 && (rounds < 50 || built < 400); ++rounds) {
            for (QChar c : text) {
                const quint32 word = Varicode::ascii8Word(c.unicode());
                for (int bit = 31 - qCountLeadingZeroBits(word); bit >= 0; --bit)
                    decoder.ReceiveBit(int((word >> bit) & 1u));
                decoder.ReceiveBit(0);
                decoder.ReceiveBit(0);
            }
        }
        stop = true;
        first.join();
        second.join();
        QVERIFY(built >= 400);
        QCOMPARE(sink.text, text.repeated(rounds));
    }
};

QTEST_GUILESS_MAIN(TestDecoders)
#include "tst_decoders.moc"
