// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sensitive receiver: it copies a weak signal the standard receiver
// garbles, shrugs off a strong neighbour, and is the one chosen again after
// a restart.

#include "modemtesthelpers.h"

#include "bench/benchcommon.h" // Bench::editDistance

#include <QTest>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

using namespace ModemTest;

namespace {

// Scaled to an RMS of 3000 with white noise added so that the signal over
// the noise in 2500 Hz (while the signal is keyed) is snrDb.
std::vector<qint16> withNoise(const std::vector<qint16>& clean, double snrDb, double sampleRate, unsigned seed)
{
    const auto first = std::find_if(clean.begin(), clean.end(), [](qint16 x) { return x != 0; });
    const auto last = std::find_if(clean.rbegin(), clean.rend(), [](qint16 x) { return x != 0; }).base();
    double ps = 0.0;
    for (auto it = first; it < last; ++it)
        ps += double(*it) * *it;
    ps = last > first ? ps / double(last - first) : 0.0;
    const double variance = ps / std::pow(10.0, snrDb / 10.0) * (sampleRate / 2.0) / 2500.0;
    const double gain = 3000.0 / std::sqrt(ps + variance);
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(variance) * gain);
    std::vector<qint16> out(clean.size());
    for (size_t i = 0; i < clean.size(); ++i)
        out[i] = qint16(std::clamp(std::round(clean[i] * gain + gauss(rng)), -32768.0, 32767.0));
    return out;
}

// Words an operator might send, the same for the same seed.
QString qsoText(int minLength, unsigned seed)
{
    static const QStringList words = QStringLiteral(
        "CQ DE VK2XYZ JA1QRP DL5ABC ur RST 599 579 name is Sam QTH near Sydney rig runs 50 W into a dipole wx sunny "
        "temp 22 C tnx for the QSO 73 hope cuagn K BTU OM good signal here on 20m band QSB fading pse rpt call again "
        "? = / de SK GM GE pwr 100 ant yagi").split(QLatin1Char(' '));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, int(words.size()) - 1);
    QString text;
    while (text.size() < minLength)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + words[pick(rng)];
    return text;
}


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
            const QString text = qsoText(150, seed);
            const std::vector<qint16> noisy = withNoise(transmit(m, text, 1000.0), -12.0, 11025.0, seed);
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
        const QString text = qsoText(150, 5);
        const std::vector<qint16> wanted = transmit(m, text, 1000.0);
        const std::vector<qint16> other = transmit(m, qsoText(300, 6), 1100.0);
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

    void choiceIsStored()
    {
        for (bool on : {true, false}) {
            CPskTxRx(QStringLiteral("BPSK31")).setSensitiveReceiver(on);
            QCOMPARE(CPskTxRx(QStringLiteral("QPSK")).sensitiveReceiver(), on);
        }
    }
};

QTEST_GUILESS_MAIN(TestSensitiveRx)
#include "tst_sensitiverx.moc"
