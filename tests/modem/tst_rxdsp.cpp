// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The receive DSP: mixer, decimation, moving sums, symbol timing and levels.
#include "modemtesthelpers.h"
#include "modem/pskdecode.h"
#include "modem/pskrxalgorithms.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Stands in for the decoder: keeps the last symbol the receiver hands over.
class SymbolRecorder : public CPskBitDecode
{
public:
    int i = 0, q = 0;
    explicit SymbolRecorder(CPskRxAlgorithms& rx) { rx.setSymbolSink(this); }
    void ReceiveBit(int) override {}
    void ReceiveSymbol(int si, int sq, int) override { i = si, q = sq; }
    void Reset() override {}
    void MeasureQuality(int, int, int) override {}
};

std::vector<qint16> carrier(double rate, double fq, double amplitude, double phase, double seconds)
{
    std::vector<qint16> out(size_t(rate * seconds));
    for (size_t n = 0; n < out.size(); ++n)
        out[n] = qint16(amplitude * std::cos(2 * M_PI * fq * n / rate + phase));
    return out;
}

// The frequency the 16-bit NCO really runs at.
double ncoFrequency(const CPskRxAlgorithms& rx)
{
    return rx.ncoStep() * rx.sampleRate() / 65536.0;
}

} // namespace

class TestRxDsp : public QObject
{
    Q_OBJECT
    ModemTest::SettingsSandbox m_settings;

private slots:
    void stepsFollowRateAndBaud_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("baud");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("decimation");
        // 500 decimated samples per second at 31.25 baud: step = 65536 * 500 * (baud / 31.25) / rate.
        QTest::newRow("11025, 31.25") << 11025.0 << 31.25 << 22 << 2972;
        QTest::newRow("11025, 250") << 11025.0 << 250.0 << 22 << 23777;
        QTest::newRow("8000, 31.25") << 8000.0 << 31.25 << 16 << 4096;
        QTest::newRow("48000, 31.25") << 48000.0 << 31.25 << 96 << 682;
    }
    void stepsFollowRateAndBaud()
    {
        QFETCH(double, rate);
        QFETCH(double, baud);
        QFETCH(int, length);
        QFETCH(int, decimation);
        CPskRxAlgorithms rx;
        QVERIFY(rx.setSampleRate(rate));
        rx.SetBaud(baud);
        QCOMPARE(rx.movingSumLength(), length);
        QCOMPARE(int(rx.decimationStep()), decimation);
        QCOMPARE(int(rx.symbolStep()), 4096);
    }

    void ratesBeyondTheSumBuffersAreRefused()
    {
        CPskRxAlgorithms rx;
        rx.setFrequency(1500);
        for (double bad : {64250.0, -8000.0, std::nan("")}) {
            QVERIFY(!rx.setSampleRate(bad));
            QCOMPARE(rx.movingSumLength(), 22);
        }
        QVERIFY(rx.setSampleRate(64249.0));
        QCOMPARE(rx.movingSumLength(), 128);
    }

    void fullScaleAtTheTopRateKeepsThePhase()
    {
        // The filter sums of a full-scale carrier at 64000/s exceed 32 bits.
        double angles[2];
        for (int k = 0; k < 2; ++k) {
            CPskRxAlgorithms rx;
            QVERIFY(rx.setSampleRate(64000));
            SymbolRecorder sink(rx);
            const auto x = carrier(64000, ncoFrequency(rx), k ? 300 : 32767, 0.3, 1.0);
            rx.ProcessSamples(x.data(), int(x.size()));
            angles[k] = std::atan2(sink.q, sink.i);
        }
        QVERIFY(std::abs(std::remainder(angles[1] - angles[0], 2 * M_PI)) < 0.02);
    }

};

QTEST_GUILESS_MAIN(TestRxDsp)
#include "tst_rxdsp.moc"
