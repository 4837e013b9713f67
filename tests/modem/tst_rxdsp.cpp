// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The receive DSP: mixer, decimation, moving sums, symbol timing and levels.
#include "core/settings.h"
#include "modem/pskdecode.h"
#include "modem/pskrxalgorithms.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// Stands in for the decoder: keeps every symbol the receiver hands over.
class SymbolRecorder : public CPskBitDecode
{
public:
    struct Symbol {
        int i, q, level;
    };
    std::vector<Symbol> symbols;
    int resets = 0;
    explicit SymbolRecorder(CPskRxAlgorithms& rx) { rx.setSymbolSink(this); }
    void ReceiveBit(int) override {}
    void ReceiveSymbol(int i, int q, int level) override { symbols.push_back({i, q, level}); }
    void Reset() override { ++resets; }
    void MeasureQuality(int, int, int) override {}
};

// BPSK idle with raised-cosine reversals, the symbol grid shifted by offset symbols.
std::vector<qint16> idleSignal(double rate, double baud, double fq, double seconds, double offset)
{
    std::vector<qint16> out(size_t(rate * seconds));
    for (size_t n = 0; n < out.size(); ++n) {
        const double t = n * baud / rate + offset;
        const double envelope = ((long(std::floor(t)) % 2) ? 1.0 : -1.0) * std::cos(M_PI * (t - std::floor(t)));
        out[n] = qint16(8000.0 * envelope * std::cos(2 * M_PI * fq * n / rate));
    }
    return out;
}

std::vector<qint16> carrier(double rate, double fq, double amplitude, double phase, double seconds)
{
    std::vector<qint16> out(size_t(rate * seconds));
    for (size_t n = 0; n < out.size(); ++n)
        out[n] = qint16(amplitude * std::cos(2 * M_PI * fq * n / rate + phase));
    return out;
}

void feed(CPskRxAlgorithms& rx, const std::vector<qint16>& samples)
{
    rx.ProcessSamples(samples.data(), int(samples.size()));
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
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("rx.ini")));
    }

    void stepsFollowRateAndBaud_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("baud");
        QTest::addColumn<int>("length");
        QTest::addColumn<int>("decimation");
        // 500 decimated samples per second at 31.25 baud: step = 65536 * 500 * (baud / 31.25) / rate.
        QTest::newRow("11025, 31.25") << 11025.0 << 31.25 << 22 << 2972;
        QTest::newRow("11025, 62.5") << 11025.0 << 62.5 << 22 << 5944;
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

        CPskRxAlgorithms other; // in the other order
        other.SetBaud(baud);
        other.setSampleRate(rate);
        QCOMPARE(other.decimationStep(), rx.decimationStep());
    }

    void ncoStep()
    {
        CPskRxAlgorithms rx;
        QSignalSpy spy(&rx, &CPskRxAlgorithms::signalFqChanged);
        const struct { double rate, fq; int step; } cases[] = {
            {11025, 1000, 5944}, {8000, 1000, 8192}, {11025, -1000, 65536 - 5944}, {8000, 9000, 8192}, {0, 1000, 0}};
        for (const auto& c : cases) {
            rx.setSampleRate(c.rate);
            rx.setFrequency(c.fq);
            QCOMPARE(int(rx.ncoStep()), c.step);
            QCOMPARE(spy.takeFirst().at(0).toDouble(), c.fq);
        }
    }

    void ratesBeyondTheSumBuffersAreRefused()
    {
        CPskRxAlgorithms rx;
        rx.setFrequency(1500);
        for (double bad : {64250.0, 96000.0, -8000.0, std::nan("")}) {
            QVERIFY(!rx.setSampleRate(bad));
            QCOMPARE(rx.sampleRate(), 11025.0);
            QCOMPARE(rx.movingSumLength(), 22);
            QCOMPARE(int(rx.decimationStep()), 2972);
        }
        QVERIFY(rx.setSampleRate(64249.0));
        QCOMPARE(rx.movingSumLength(), 128);
        // Full-scale noise through the longest sums must stay inside them,
        // and shorter sums must then drop the old tail.
        SymbolRecorder sink(rx);
        std::mt19937 rng(7);
        std::vector<qint16> noise(64249);
        for (auto& x : noise)
            x = qint16(int(rng() % 65536) - 32768);
        feed(rx, noise);
        rx.setSampleRate(11025);
        feed(rx, std::vector<qint16>(11025 * 2, 0));
        QCOMPARE(sink.symbols.back().i, 0);
        QCOMPARE(sink.symbols.back().q, 0);
    }

    void silenceAndNoRateGiveLevel30AtTheSymbolRate_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("baud");
        QTest::newRow("31.25") << 11025.0 << 31.25;
        QTest::newRow("62.5") << 11025.0 << 62.5;
        QTest::newRow("250") << 11025.0 << 250.0;
        QTest::newRow("rate 0 stops the mixer") << 0.0 << 62.5;
    }
    void silenceAndNoRateGiveLevel30AtTheSymbolRate()
    {
        QFETCH(double, rate);
        QFETCH(double, baud);
        CPskRxAlgorithms rx;
        SymbolRecorder sink(rx);
        rx.SetBaud(baud);
        QVERIFY(rx.setSampleRate(rate));
        if (rate == 0.0) {
            // A loud carrier: with no rate it never reaches the decoder.
            QCOMPARE(rx.movingSumLength(), 0);
            QCOMPARE(int(rx.ncoStep()), 0);
            rx.SetBaud(250.0);
            QCOMPARE(int(rx.decimationStep()), 5944);
            feed(rx, carrier(11025, 1000, 20000, 0, 1.0));
            QVERIFY(!sink.symbols.empty());
        } else {
            feed(rx, std::vector<qint16>(11025 * 4, 0));
            QVERIFY(std::abs(double(sink.symbols.size()) - 4 * baud) <= 2.0);
        }
        for (const auto& s : sink.symbols)
            QVERIFY(s.i == 0 && s.q == 0 && s.level == 30);
        rx.reset();
        QCOMPARE(sink.resets, 1);
    }

    void carrierGivesAConstantVector()
    {
        CPskRxAlgorithms rx;
        SymbolRecorder sink(rx);
        rx.setFrequency(1000);
        const auto signal = carrier(11025, ncoFrequency(rx), 10000, 0.3, 3.0);
        // Once the filters have filled nothing may move the clock.
        rx.ProcessSamples(signal.data(), 11025);
        const int correction = rx.timingCorrection();
        const int transition = rx.lastTransitionClock();
        rx.ProcessSamples(signal.data() + 11025, int(signal.size()) - 11025);
        QCOMPARE(rx.timingCorrection(), correction);
        QCOMPARE(rx.lastTransitionClock(), transition);
        QVERIFY(sink.symbols.size() > 80);
        const auto& ref = sink.symbols.back();
        const double magnitude = std::hypot(ref.i, ref.q);
        QVERIFY(magnitude > 1e6);
        for (size_t k = 8; k < sink.symbols.size(); ++k) {
            const auto& s = sink.symbols[k];
            QVERIFY2(std::hypot(s.i - ref.i, s.q - ref.q) < 0.005 * magnitude, qPrintable(QString::number(k)));
        }

        // 20 dB more power is log2(100), 6.6 more halvings to reach 0.
        CPskRxAlgorithms quiet;
        SymbolRecorder quietSink(quiet);
        quiet.setFrequency(1000);
        feed(quiet, carrier(11025, ncoFrequency(quiet), 1000, 0.3, 1.0));
        const int step = ref.level - quietSink.symbols.back().level;
        QVERIFY2(step == 6 || step == 7, qPrintable(QString::number(step)));
    }

    void fullScaleAtTheTopRateKeepsThePhase()
    {
        // The filter sums of a full-scale carrier at 64000/s exceed 32 bits.
        double angles[2];
        for (int k = 0; k < 2; ++k) {
            CPskRxAlgorithms rx;
            QVERIFY(rx.setSampleRate(64000));
            SymbolRecorder sink(rx);
            feed(rx, carrier(64000, ncoFrequency(rx), k ? 300 : 32767, 0.3, 1.0));
            angles[k] = std::atan2(sink.symbols.back().q, sink.symbols.back().i);
        }
        QVERIFY(std::abs(std::remainder(angles[1] - angles[0], 2 * M_PI)) < 0.02);
    }

    void mixerMirrorsThePhase()
    {
        // A carrier advanced by x degrees comes out of the mixer turned by -x.
        for (double shift : {90.0, -45.0, 180.0}) {
            double angles[2];
            for (int k = 0; k < 2; ++k) {
                CPskRxAlgorithms rx;
                SymbolRecorder sink(rx);
                feed(rx, carrier(11025, ncoFrequency(rx), 8000, 0.4 + k * shift * M_PI / 180.0, 1.0));
                angles[k] = std::atan2(sink.symbols.back().q, sink.symbols.back().i) * 180.0 / M_PI;
            }
            QVERIFY(std::abs(std::remainder(angles[1] - angles[0] + shift, 360.0)) < 2.0);
        }
    }

    void idlePutsTransitionsBetweenSamplingInstants_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("baud");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("least");
        QTest::addColumn<int>("most");
        // Without a rate error the floored average rests in -16..0.
        QTest::newRow("31.25, grid 0") << 11025.0 << 31.25 << 0.0 << 1.0 << -16 << 0;
        QTest::newRow("31.25, grid 0.55") << 11025.0 << 31.25 << 0.55 << 1.0 << -16 << 0;
        QTest::newRow("250 at 11025") << 11025.0 << 250.0 << 0.6 << 1.0 << -16 << 0;
        QTest::newRow("62.5 at 48000") << 48000.0 << 62.5 << 0.1 << 1.0 << -16 << 0;
        QTest::newRow("125 at 8000") << 8000.0 << 125.0 << 0.45 << 1.0 << -16 << 0;
        QTest::newRow("transmitter 1% slow") << 11025.0 << 31.25 << 0.3 << 0.99 << -40 << -20;
        QTest::newRow("transmitter 1% fast") << 11025.0 << 31.25 << 0.7 << 1.01 << 5 << 25;
    }
    void idlePutsTransitionsBetweenSamplingInstants()
    {
        QFETCH(double, rate);
        QFETCH(double, baud);
        QFETCH(double, offset);
        QFETCH(double, speed);
        QFETCH(int, least);
        QFETCH(int, most);
        CPskRxAlgorithms rx;
        SymbolRecorder sink(rx);
        rx.setSampleRate(rate);
        rx.SetBaud(baud);
        rx.setFrequency(1200);
        feed(rx, idleSignal(rate, baud * speed, 1200, 600 / baud, offset));

        // Half a symbol (32767) from the sampling instants, give or take a decimated sample.
        QVERIFY2(std::abs(rx.lastTransitionClock() - 32767) <= 4608, qPrintable(QString::number(rx.lastTransitionClock())));
        QVERIFY2(rx.timingCorrection() >= least && rx.timingCorrection() <= most,
                 qPrintable(QString::number(rx.timingCorrection())));

        // Sampled near the envelope peaks: clean reversals of nearly equal size.
        const size_t count = sink.symbols.size();
        QVERIFY(count > 550);
        double size = 0;
        for (size_t k = count - 50; k < count; ++k)
            size = std::max(size, std::hypot(sink.symbols[k].i, sink.symbols[k].q));
        for (size_t k = count - 50; k < count; ++k) {
            const auto& a = sink.symbols[k - 1];
            const auto& b = sink.symbols[k];
            QVERIFY(std::hypot(b.i, b.q) > 0.9 * size);
            QVERIFY(double(a.i) * b.i + double(a.q) * b.q < -0.75 * size * size);
        }
    }
};

QTEST_GUILESS_MAIN(TestRxDsp)
#include "tst_rxdsp.moc"
