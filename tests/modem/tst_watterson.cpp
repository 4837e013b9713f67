// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The fading channel of the benchmarks: Rayleigh envelopes, the Doppler
// spread asked for, and the frequency selectivity of two delayed paths.

#include "bench/watterson.h"

#include <QTest>

#include <numeric>

using Watterson::Complex;

namespace {

double correlation(const std::vector<double>& a, const std::vector<double>& b)
{
    const double n = double(a.size());
    const double ma = std::accumulate(a.begin(), a.end(), 0.0) / n;
    const double mb = std::accumulate(b.begin(), b.end(), 0.0) / n;
    double sab = 0.0, saa = 0.0, sbb = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return sab / std::sqrt(saa * sbb);
}

} // namespace

class TestWatterson : public QObject
{
    Q_OBJECT

private slots:
    // One path, long enough for thousands of fades: a Rayleigh envelope
    // (mean over rms sqrt(pi)/2, 1 - exp(-0.1) of the time 10 dB below the
    // rms) of unit mean power, and a Doppler spectrum of the spread asked
    // for (its standard deviation from the mean square of the gain's rate of
    // change: (2 pi sigma)^2 times the power).
    void onePath_data()
    {
        QTest::addColumn<double>("spread");
        QTest::newRow("0.5 Hz") << 0.5;
        QTest::newRow("2 Hz") << 2.0;
        QTest::newRow("10 Hz") << 10.0;
    }
    void onePath()
    {
        QFETCH(double, spread);
        const double rate = 100.0 * spread;
        const std::vector<Complex> g = Watterson::tapGains(size_t(6000.0 / spread * rate), rate, spread, 1.0, 7u);
        double sumAbs = 0.0, power = 0.0, slope = 0.0;
        for (size_t i = 0; i < g.size(); ++i) {
            sumAbs += std::abs(g[i]);
            power += std::norm(g[i]);
            if (i > 0)
                slope += std::norm((g[i] - g[i - 1]) * rate);
        }
        const double n = double(g.size());
        const double rms = std::sqrt(power / n);
        long deep = 0;
        for (const Complex& x : g)
            deep += std::norm(x) < 0.1 * rms * rms ? 1 : 0;
        const double measuredSpread = 2.0 * std::sqrt(slope / (n - 1.0) / (power / n)) / (2.0 * Watterson::kPi);

        QVERIFY2(std::abs(power / n - 1.0) < 0.1, qPrintable(QString::number(power / n)));
        QVERIFY2(std::abs(sumAbs / n / rms - 0.886) < 0.015, qPrintable(QString::number(sumAbs / n / rms)));
        QVERIFY2(std::abs(double(deep) / n - 0.095) < 0.015, qPrintable(QString::number(double(deep) / n)));
        QVERIFY2(std::abs(measuredSpread / spread - 1.0) < 0.08, qPrintable(QString::number(measuredSpread)));
    }

    // Two paths 2 ms apart (1 Hz spread) carrying three tones: 1000 Hz and
    // 1250 Hz, 1/(2 x 2 ms) apart, fade independently (where one path
    // cancels the other at one, they add at the other); 1000 Hz and 1010 Hz
    // fade together. With both paths at one delay every tone fades alike.
    void twoPathSelectivity_data()
    {
        QTest::addColumn<double>("delay");
        QTest::addColumn<double>("closeAtLeast");
        QTest::addColumn<double>("farBelow");
        QTest::addColumn<double>("farAtLeast");
        QTest::newRow("2 ms") << 2.0e-3 << 0.9 << 0.25 << -1.0;
        QTest::newRow("no delay") << 0.0 << 0.97 << 1.01 << 0.97;
    }
    void twoPathSelectivity()
    {
        QFETCH(double, delay);
        QFETCH(double, closeAtLeast);
        QFETCH(double, farBelow);
        QFETCH(double, farAtLeast);
        constexpr double kRate = 8000.0;
        constexpr double kTones[] = {1000.0, 1010.0, 1250.0};
        std::vector<double> x(size_t(150.0 * kRate));
        for (size_t i = 0; i < x.size(); ++i)
            for (double f : kTones)
                x[i] += std::cos(2.0 * Watterson::kPi * f * double(i) / kRate);
        const Watterson::Condition channel{"test", 2, delay, 1.0};
        const std::vector<double> y = Watterson::fade(Watterson::analytic(x), kRate, channel, 21u);

        // Each tone's envelope: mixed down and averaged over 100 ms, which
        // the other tones (multiples of 10 Hz away) leave at nothing.
        constexpr size_t kBlock = size_t(kRate / 10.0);
        std::vector<double> envelope[3];
        for (int t = 0; t < 3; ++t) {
            const Complex step = std::polar(1.0, -2.0 * Watterson::kPi * kTones[t] / kRate);
            Complex osc(1.0, 0.0);
            Complex sum;
            // The first second holds the start of the Hilbert filter's ramp.
            for (size_t i = 0; i < y.size(); ++i, osc *= step) {
                sum += y[i] * osc;
                if ((i + 1) % kBlock == 0) {
                    if (i > size_t(kRate))
                        envelope[t].push_back(std::abs(sum));
                    sum = Complex();
                }
            }
        }
        const double close = correlation(envelope[0], envelope[1]);
        const double far = correlation(envelope[0], envelope[2]);
        QVERIFY2(close >= closeAtLeast, qPrintable(QString::number(close)));
        QVERIFY2(far < farBelow && far >= farAtLeast, qPrintable(QString::number(far)));
    }
};

QTEST_GUILESS_MAIN(TestWatterson)
#include "tst_watterson.moc"
