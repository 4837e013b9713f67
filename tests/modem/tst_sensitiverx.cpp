// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sensitive receiver: it copies a weak signal the standard receiver
// garbles and shrugs off a strong neighbour. Both receivers copy a weak
// station right after a strong carrier.

#include "modemtesthelpers.h"

#include "bench/benchcommon.h" // noise, texts and edit distance shared with the benchmarks
#include "bench/watterson.h"   // the benchmarks' fading channel

#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>

using namespace ModemTest;

namespace {

// Without the character or two the key-up carrier may read as.
QString fromText(const QString& decoded, const QString& text)
{
    const int at = decoded.indexOf(text.left(4));
    return at >= 0 && at < 3 ? decoded.mid(at) : decoded;
}

// clean through a fading channel, then white noise at snrDb in 2500 Hz
// against the signal's mean power.
std::vector<qint16> faded(const std::vector<qint16>& clean, const Watterson::Condition& channel, double snrDb,
                          unsigned seed)
{
    const double power = Bench::signalPower(clean);
    const std::vector<double> y =
        Watterson::fade(Watterson::analytic(std::vector<double>(clean.begin(), clean.end())), 11025.0, channel, seed);
    const double variance = power / std::pow(10.0, snrDb / 10.0) * 5512.5 / 2500.0;
    const double gain = 3000.0 / std::sqrt(power + variance);
    std::normal_distribution<double> gauss(0.0, std::sqrt(variance));
    std::mt19937 rng(seed);
    std::vector<qint16> out(y.size());
    for (size_t i = 0; i < y.size(); ++i)
        out[i] = qint16(std::clamp(std::round((y[i] + gauss(rng)) * gain), -32768.0, 32767.0));
    return out;
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

    // Two paths 1 ms apart, each fading with 0.5 Hz of Doppler spread: the
    // sensitive receiver follows the carrier's phase as it wanders and
    // copies better than the standard one (before, its carrier loop lagged
    // and it lost several times as many characters).
    void beatsStandardUnderFading_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("snr");
        QTest::newRow("BPSK31 +0 dB") << QStringLiteral("BPSK31") << 0.0;
        QTest::newRow("BPSK63 +4 dB") << QStringLiteral("BPSK63") << 4.0;
    }
    void beatsStandardUnderFading()
    {
        QFETCH(QString, modeName);
        QFETCH(double, snr);
        const Mode m = mode(modeName);
        long standardErrors = 0, sensitiveErrors = 0;
        for (unsigned seed : {31u, 32u}) {
            const QString text = Bench::qsoText(200, seed);
            const std::vector<qint16> noisy = faded(transmit(m, text, 1000.0), Watterson::kModerate, snr, seed);
            standardErrors += Bench::trimmedDistance(text, receive(m, noisy, 1000.0, 11025.0, true, false));
            sensitiveErrors += Bench::trimmedDistance(text, receive(m, noisy, 1000.0, 11025.0, true, true));
        }
        QVERIFY2(sensitiveErrors < standardErrors,
                 qPrintable(QStringLiteral("%1 against %2").arg(sensitiveErrors).arg(standardErrors)));
    }

    // The wanted BPSK31 signal at -6 dB, another one 100 Hz above it 20 dB
    // stronger.
    void strongNeighbour()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const QString text = Bench::qsoText(150, 5);
        const std::vector<qint16> wanted = transmit(m, text, 1000.0);
        const std::vector<qint16> other = transmit(m, Bench::qsoText(300, 6), 1100.0);
        const double pw = Bench::signalPower(wanted), gain = std::sqrt(100.0 * pw / Bench::signalPower(other));
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

    // What a receiver hears after an over: a strong carrier 25 Hz below the
    // receive frequency (the AFC follows it), a second of silence, then a
    // weak station on the receive frequency, 40 dB below the carrier, that
    // each receiver copies cleanly on its own.
    void recoversAfterStrongCarrier_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("snr");
        QTest::addColumn<bool>("sensitive");
        QTest::newRow("BPSK31 standard") << "BPSK31" << -6.0 << false;
        QTest::newRow("BPSK31 sensitive") << "BPSK31" << -8.0 << true;
        QTest::newRow("BPSK63 standard") << "BPSK63" << -5.0 << false;
        QTest::newRow("BPSK63 sensitive") << "BPSK63" << -5.0 << true;
    }

    void recoversAfterStrongCarrier()
    {
        QFETCH(QString, modeName);
        QFETCH(double, snr);
        QFETCH(bool, sensitive);
        const Mode m = mode(modeName);
        const double rate = 11025.0;
        const QString text = Bench::qsoText(120, 21);
        std::vector<qint16> weak(size_t(rate), 0); // a second of noise before the key-up
        const std::vector<qint16> sent = transmit(m, text, 1000.0, rate);
        weak.insert(weak.end(), sent.begin(), sent.end());
        weak = Bench::withNoise(weak, snr, rate, 21);
        std::vector<qint16> audio(size_t(6 * rate), 0);
        for (size_t i = 0; i < size_t(5 * rate); ++i)
            audio[i] = qint16(std::lround(30000.0 * std::sin(2.0 * M_PI * 975.0 * double(i) / rate)));
        for (qint16 x : weak)
            audio.push_back(qint16(x / 10));
        const QString decoded = receive(m, audio, 1000.0, rate, true, sensitive);
        QVERIFY2(Bench::trimmedDistance(text, decoded) <= text.size() / 25, qPrintable(decoded));
    }

};

QTEST_GUILESS_MAIN(TestSensitiveRx)
#include "tst_sensitiverx.moc"
