// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sensitive receiver: it copies a weak signal the standard receiver
// garbles and shrugs off a strong neighbour.

#include "modemtesthelpers.h"

#include "bench/benchcommon.h" // noise, texts and edit distance shared with the benchmarks

#include <QTest>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

using namespace ModemTest;

namespace {

// Without the character or two the key-up carrier may read as.
QString fromText(const QString& decoded, const QString& text)
{
    const int at = decoded.indexOf(text.left(4));
    return at >= 0 && at < 3 ? decoded.mid(at) : decoded;
}

} // namespace

class TestSensitiveRx : public QObject
{
    Q_OBJECT
    SettingsSandbox m_settings;

private slots:
    // -12 dB in 2500 Hz, two fixed noise seeds: the standard receiver loses
    // more than a tenth of the text, the sensitive one a few characters.
    void beatsStandardInNoise()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        long sent = 0, standardErrors = 0, sensitiveErrors = 0;
        for (unsigned seed : {11u, 12u}) {
            const QString text = Bench::qsoText(150, seed);
            const std::vector<qint16> noisy = Bench::withNoise(transmit(m, text, 1000.0), -12.0, 11025.0, seed);
            const auto decoded = [&](bool sensitive) {
                return fromText(receive(m, noisy, 1000.0, 11025.0, true, sensitive), text);
            };
            sent += text.size();
            standardErrors += Bench::editDistance(text, decoded(false));
            sensitiveErrors += Bench::editDistance(text, decoded(true));
        }
        QVERIFY2(standardErrors > sent / 10, qPrintable(QString::number(standardErrors)));
        QVERIFY2(sensitiveErrors < sent / 40, qPrintable(QString::number(sensitiveErrors)));
    }

    // The wanted BPSK31 signal at -6 dB, another one 100 Hz above it 20 dB
    // stronger.
    void strongNeighbour()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const QString text = Bench::qsoText(150, 5);
        const std::vector<qint16> wanted = transmit(m, text, 1000.0);
        const std::vector<qint16> other = transmit(m, Bench::qsoText(300, 6), 1100.0);
        const double pw = std::inner_product(wanted.begin(), wanted.end(), wanted.begin(), 0.0) / wanted.size();
        const double po = std::inner_product(other.begin(), other.end(), other.begin(), 0.0) / other.size();
        const double gain = std::sqrt(100.0 * pw / po);
        // -6 dB in 2500 Hz: the noise over 0 to 5512 Hz is 2.2 times as strong.
        std::normal_distribution<double> gauss(0.0, std::sqrt(pw * std::pow(10.0, 0.6) * 5512.5 / 2500.0));
        std::mt19937 rng(3);
        std::vector<qint16> noisy(wanted.size());
        for (size_t i = 0; i < noisy.size(); ++i) {
            const double x = wanted[i] + gain * (i < other.size() ? other[i] : 0) + gauss(rng);
            noisy[i] = qint16(std::clamp(std::round(x * 3000.0 / (10.2 * std::sqrt(pw))), -32768.0, 32767.0));
        }
        const QString decoded = fromText(receive(m, noisy, 1000.0, 11025.0, true, true), text);
        QVERIFY2(Bench::editDistance(text, decoded) <= text.size() / 100 + 1, qPrintable(decoded));
    }
};

QTEST_GUILESS_MAIN(TestSensitiveRx)
#include "tst_sensitiverx.moc"
