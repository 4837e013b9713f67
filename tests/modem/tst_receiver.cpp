// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The receiver: decoders built on other threads while one decodes; recordings made by another
// station's PSK program, decoded exactly on the carrier or 30 Hz beside it and through the
// squelch; the sensitive receiver against the standard one in noise, fading and beside a strong
// neighbour; the benchmarks' fading channel; and what the receiver says of the tuned signal (S/N,
// IMD, squelch, AFC range).
#include "modemtesthelpers.h"
#include "modem/pskdecode.h"
#include "modem/pskinterfaces.h"
#include "modem/pskreceiver.h"
#include "modem/varicode.h"
#include "modem/pskrxalgorithms.h"

#include <QTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numeric>
#include <random>
#include <thread>
#include <vector>

using namespace ModemTest;
using Watterson::Complex;

namespace {

class TextSink : public CPskRecCharDone
{
public:
    QString text;
    void CharReceived(int, QChar ch) override { text += ch; }
    void CodeReceived(int, quint16) override {}
};

// Without the character or two the key-up carrier may read as.
QString fromText(const QString& decoded, const QString& text)
{
    const int at = decoded.indexOf(text.left(4));
    return at >= 0 && at < 3 ? decoded.mid(at) : decoded;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b)
{
    const double n = double(a.size());
    const double ma = std::accumulate(a.begin(), a.end(), 0.0) / n, mb = std::accumulate(b.begin(), b.end(), 0.0) / n;
    double sab = 0.0, saa = 0.0, sbb = 0.0;
    for (size_t i = 0; i < a.size(); ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return sab / std::sqrt(saa * sbb);
}

constexpr double kRate = 11025.0;

// An idling BPSK signal is two tones half the symbol rate either side of
// the carrier; distortion adds the third-order pair 1.5 symbol rates out,
// imdDb below them. White noise at snrDb in 2500 Hz (none when above 90).
std::vector<qint16> idle(double carrier, double baud, double seconds, double imdDb, double snrDb, unsigned seed)
{
    const double tone = 2000.0, product = tone * std::pow(10.0, imdDb / 20.0);
    const double power = tone * tone + product * product; // two tones of each
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, snrDb > 90.0 ? 0.0 : std::sqrt(power / std::pow(10.0, snrDb / 10.0) * kRate / 2.0 / 2500.0));
    std::vector<qint16> out(size_t(seconds * kRate));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = i / kRate;
        double x = 0.0;
        for (double k : {-0.5, 0.5, -1.5, 1.5, 3.0}) // the last: a neighbour's carrier three symbol rates above
            x += (std::abs(k) < 1.0 || k > 2.0 ? tone : product) * std::cos(2 * M_PI * (carrier + k * baud) * t);
        out[i] = qint16(std::clamp(std::round(x + gauss(rng)), -32768.0, 32767.0));
    }
    return out;
}
} // namespace

class TestReceiver : public QObject
{
    Q_OBJECT
    ModemTest::SettingsSandbox m_settings;

private slots:
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

    void decodesExactly_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("frequency");
        QTest::addColumn<bool>("afc");
        QTest::addColumn<bool>("sensitive");
        QTest::addColumn<bool>("squelch");
        const struct { const char* file; const char* mode; double carrier, offset; } recordings[] = {
            {"bpsk31_1200.wav", "BPSK31", 1200, -30}, {"bpsk63_800.wav", "BPSK63", 800, 30},
            {"bpsk125_1700.wav", "BPSK125", 1700, -30}, {"bpsk250_1500.wav", "BPSK250", 1500, 30},
            {"qpsk31_1000.wav", "QPSK31", 1000, -30}, {"qpsk63_2000.wav", "QPSK63", 2000, 30},
        };
        for (const auto& r : recordings) {
            for (int kind = 0; kind < 5; ++kind)
                QTest::addRow("%s%s%s", r.file, kind % 3 == 0 ? "" : kind % 3 == 1 ? " with AFC" : " 30 Hz beside",
                              kind > 2 ? ", sensitive receiver" : "")
                    << QString::fromLatin1(r.file) << QString::fromLatin1(r.mode)
                    << r.carrier + (kind % 3 == 2 ? r.offset : 0.0) << (kind % 3 > 0) << (kind > 2) << false;
            for (bool sensitive : {false, true})
                QTest::addRow("%s squelched%s", r.file, sensitive ? ", sensitive receiver" : "")
                    << QString::fromLatin1(r.file) << QString::fromLatin1(r.mode) << r.carrier << true << sensitive << true;
        }
    }
    void decodesExactly()
    {
        QFETCH(QString, file);
        QFETCH(QString, modeName);
        QFETCH(double, frequency);
        QFETCH(bool, afc);
        QFETCH(bool, sensitive);
        QFETCH(bool, squelch);
        const QString text = peerText();
        QVERIFY2(!text.isEmpty(), qPrintable("missing test data: " + peerDir().filePath("text_c.txt")));
        const std::vector<qint16> samples = readWav16(peerDir().filePath(file));
        QVERIFY2(!samples.empty(), qPrintable(file));
        const QString rx = receive(mode(modeName), samples, frequency, 11025.0, afc, sensitive,
                                   squelch ? SquelchGate::kDefaultLevel : std::nan(""));
        QVERIFY2(rx.contains(text), qPrintable(QStringLiteral("decoded: ") + rx));
    }

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
    // and it lost several times as many characters). Two paths 2 ms apart
    // with 1 Hz of spread and little noise: the channel's phase turns fast
    // at the bottom of each fade, where the sensitive receiver must follow
    // it through the fade rather than fall back on the change between
    // symbols (before, it lost more there than the standard one).
    void beatsStandardUnderFading_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<QString>("channel");
        QTest::addColumn<double>("snr");
        QTest::addColumn<unsigned>("first"); // fading and noise seeds
        QTest::addColumn<unsigned>("seeds");
        QTest::newRow("BPSK31 moderate +0 dB") << QStringLiteral("BPSK31") << QStringLiteral("moderate") << 0.0 << 31u << 2u;
        QTest::newRow("BPSK63 moderate +4 dB") << QStringLiteral("BPSK63") << QStringLiteral("moderate") << 4.0 << 31u << 2u;
        QTest::newRow("BPSK31 poor +20 dB") << QStringLiteral("BPSK31") << QStringLiteral("poor") << 20.0 << 31u << 10u;
        // Slow fades of up to a second or two with little noise: each deep
        // fade is no end of the signal to start timing and lock afresh at.
        QTest::newRow("BPSK31 good +20 dB") << QStringLiteral("BPSK31") << QStringLiteral("good") << 20.0 << 41u << 6u;
    }
    void beatsStandardUnderFading()
    {
        QFETCH(QString, modeName);
        QFETCH(QString, channel);
        QFETCH(double, snr);
        QFETCH(unsigned, first);
        QFETCH(unsigned, seeds);
        const Mode m = mode(modeName);
        const Watterson::Condition& condition = channel == u"poor" ? Watterson::kPoor : channel == u"good" ? Watterson::kGood : Watterson::kModerate;
        long standardErrors = 0, sensitiveErrors = 0;
        for (unsigned seed = first; seed < first + seeds; ++seed) {
            const QString text = Bench::qsoText(200, seed);
            const std::vector<qint16> noisy = faded(transmit(m, text, 1000.0), condition, snr, seed);
            standardErrors += Bench::trimmedDistance(text, receive(m, noisy, 1000.0, 11025.0, true, false));
            sensitiveErrors += Bench::trimmedDistance(text, receive(m, noisy, 1000.0, 11025.0, true, true));
        }
        QVERIFY2(sensitiveErrors < standardErrors || sensitiveErrors == 0,
                 qPrintable(QStringLiteral("%1 against %2").arg(sensitiveErrors).arg(standardErrors)));
    }

    // A signal tuned exactly, faded on a good channel at +12 dB: at the bottom of a fade its
    // spectrum smears a few hertz sideways, which must not pull the AFC off it.
    void afcHoldsThroughFades()
    {
        const Mode m = mode(QStringLiteral("BPSK63"));
        for (unsigned seed = 0; seed < 6; ++seed) {
            CPskTxRx rx(m.modemName());
            rx.setSensitiveReceiver(true);
            setUp(rx, m, 1000.0).Command(ModemCommand::kSetAfc, 1, 0, 0);
            intptr_t furthest = 0;
            hear(rx, faded(transmit(m, Bench::qsoText(300, seed), 1000.0), Watterson::kGood, 12.0, seed), [&] {
                furthest = std::max(furthest, std::abs(rx.Command(ModemCommand::kRxFrequencyTenths, 0, 0, 0) - 10000));
            });
            QVERIFY2(furthest < 25, qPrintable(QStringLiteral("seed %1: %2 Hz off").arg(seed).arg(furthest / 10.0)));
        }
    }

    // The wanted BPSK31 signal at -6 dB, another one 100 Hz above it 20 dB
    // stronger.
    void strongNeighbour()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const QString text = Bench::qsoText(150, 5);
        const std::vector<qint16> wanted = transmit(m, text, 1000.0), other = transmit(m, Bench::qsoText(300, 6), 1100.0);
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

    // A station keying up after three seconds of noise, 4 dB in 2500 Hz,
    // which is no step for the level to start afresh at: the carrier loop
    // must not have wandered off on the noise (before, it had, by up to
    // 5 Hz, and the first words were lost while it came back).
    void firstWordsOutOfNoise()
    {
        for (const char* name : {"BPSK31", "BPSK63"}) {
            const Mode m = mode(QString::fromLatin1(name));
            for (unsigned seed = 1; seed <= 16; ++seed) {
                const QString text = Bench::qsoText(60, seed);
                std::vector<qint16> audio(size_t(3 * kRate), 0);
                const std::vector<qint16> sent = transmit(m, text, 1000.0);
                audio.insert(audio.end(), sent.begin(), sent.end());
                const QString decoded = receive(m, Bench::withNoise(audio, 4.0, kRate, seed), 1000.0, kRate, true, true);
                QVERIFY2(decoded.contains(text), qPrintable(QStringLiteral("%1 seed %2: %3").arg(name).arg(seed).arg(decoded)));
            }
        }
    }

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
        const double n = double(g.size()), rms = std::sqrt(power / n);
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
            Complex osc(1.0, 0.0), sum;
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
        const double close = correlation(envelope[0], envelope[1]), far = correlation(envelope[0], envelope[2]);
        QVERIFY2(close >= closeAtLeast, qPrintable(QString::number(close)));
        QVERIFY2(far < farBelow && far >= farAtLeast, qPrintable(QString::number(far)));
    }

    // An idle of known S/N and IMD, with a neighbour's carrier close above it
    // (no product of the idle), through the command interface: IMD (its sign
    // turned while text goes, when no long run of zeros shows an idle), its
    // text and the scope's figure, S/N to the owner, the quality, and the
    // frequency snapped onto the signal from 12 Hz off (but not away from it,
    // nor below the band).
    void commandInterfaceReadout()
    {
        RecordingOwner owner;
        CPskTxRx rx(QStringLiteral("BPSK31"));
        owner.listenTo(rx);
        setUp(rx, mode(QStringLiteral("BPSK31")), 1000.0); // the speed, too: the last test's may have stayed
        hear(rx, idle(1000.0, 31.25, 5.0, -26.0, 40.0, 5u));
        const auto text = [&rx](int p1) { return QString::fromLatin1(reinterpret_cast<const char*>(rx.Command(ModemCommand::kImdText, p1, 0, 0))); };
        const intptr_t imd = rx.Command(ModemCommand::kMeasureImd, 0, 0, 0);
        QVERIFY2(imd >= -29 && imd <= -23 && text(0) == QStringLiteral("IMD: %1 dB").arg(imd) && std::abs(rx.signalReport().imdDb - double(imd)) <= 1.0,
                 qPrintable(text(0) + QStringLiteral(", the scope's %1 dB").arg(rx.signalReport().imdDb)));
        QVERIFY(rx.Command(ModemCommand::kMeasureSnr, 0, 0, 0) == 1 && owner.reports.back()[0] == ModemCommand::kSnrResult
                && owner.reports.back()[1] - owner.reports.back()[2] > 40 && rx.Command(ModemCommand::kQuality, 0, 0, 0) >= 25); // S/N: peak, noise
        for (const auto& [from, to] : {std::pair{1012, 1000}, {988, 1000}, {2500, 2500}, {100, 100}})
            QVERIFY2(std::abs(rx.Command(ModemCommand::kSnapFrequency, from, 0, 0) - to) <= 2, qPrintable(QString::number(from)));
        std::vector<qint16> sending = transmit(mode(QStringLiteral("BPSK31")), QString(40, u'e'), 1000.0);
        sending.resize(size_t(kRate * 4));
        hear(rx, sending);
        const intptr_t turned = rx.Command(ModemCommand::kMeasureImd, 0, 0, 0);
        QVERIFY2(turned > 7 && text(0) == QStringLiteral("IMD:") && text(1) == QStringLiteral("IMD: %1 dB").arg(-turned) && std::isnan(rx.signalReport().imdDb), qPrintable(text(1)));
        rx.SetFrequencies(5600.0, 5600.0); // tuned off the top: nothing
        QCOMPARE(rx.Command(ModemCommand::kMeasureImd, 0, 0, 0) + rx.Command(ModemCommand::kMeasureSnr, 0, 0, 0), intptr_t(0));
    }

    // Squelch at its default level: 20 s of noise prints (almost) nothing,
    // a weak signal that the receiver copies without it prints as much.
    void squelch_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<bool>("sensitive");
        QTest::addColumn<double>("snr"); // of the signal; above 90: noise alone
        QTest::newRow("noise, BPSK31") << "BPSK31" << false << 99.0;
        QTest::newRow("noise, BPSK250, sensitive") << "BPSK250" << true << 99.0;
        QTest::newRow("noise, QPSK63") << "QPSK63" << false << 99.0;
        QTest::newRow("BPSK31 at -9 dB") << "BPSK31" << false << -9.0;
        QTest::newRow("BPSK31 at -12 dB, sensitive") << "BPSK31" << true << -12.0;
        QTest::newRow("QPSK31 at -12 dB, sensitive") << "QPSK31" << true << -12.0;
        QTest::newRow("BPSK250 at -1 dB") << "BPSK250" << false << -1.0;
    }
    void squelch()
    {
        QFETCH(QString, modeName);
        QFETCH(bool, sensitive);
        QFETCH(double, snr);
        const Mode m = mode(modeName);
        const QString text = QStringLiteral("cq cq de vk2xyz vk2xyz pse k ").repeated(m.baudHundredths / 3125 * 3);
        const std::vector<qint16> audio = snr > 90.0 ? noise(size_t(20 * kRate), 3000.0, 11u) // 20 s of noise alone
                                                     : Bench::withNoise(transmit(m, text, 1500.0), snr, kRate, 12u);
        intptr_t opened = 0; // as the command interface says it: 0 shut, 1 open
        auto decode = [&](bool squelched) {
            CPskTxRx rx(m.modemName());
            rx.setSensitiveReceiver(sensitive);
            setUp(rx, m, 1500.0).Command(ModemCommand::kSetAfc, 1, 0, 0);
            rx.Command(ModemCommand::kSetSquelch, squelched, 0, 0);
            rx.setSquelchLevel(SquelchGate::kDefaultLevel);
            return hear(rx, audio, [&] { opened = std::max(opened, rx.Command(ModemCommand::kSquelchOpen, 0, 0, 0)); });
        };
        const QString gated = decode(true);
        if (snr > 90.0) {
            QVERIFY2(gated.size() <= 2, qPrintable(gated));
        } else {
            const QString open = decode(false);
            QVERIFY2(open.size() >= text.size() * 0.9, qPrintable(open));
            QVERIFY2(gated.size() >= open.size() - 3 && opened <= 1, qPrintable(gated + QStringLiteral(" | ") + open));
        }
    }

    // A signal drifting away at 1.5 Hz/s: the AFC follows it no further than
    // its range from where the receiver was tuned, with either receiver.
    void afcRange_data()
    {
        QTest::addColumn<bool>("sensitive");
        QTest::addColumn<double>("range");
        QTest::newRow("15 Hz") << false << 15.0;
        QTest::newRow("15 Hz, sensitive") << true << 15.0;
        QTest::newRow("no limit") << false << 0.0;
    }
    void afcRange()
    {
        QFETCH(bool, sensitive);
        QFETCH(double, range);
        const Mode m = mode(QStringLiteral("BPSK31"));
        static const std::vector<qint16> drifting =
            transmit(m, QStringLiteral("CQ CQ de VK2XYZ VK2XYZ pse k ").repeated(8), 1000.0, kRate, 1.5);
        CPskTxRx rx(m.modemName());
        rx.setSensitiveReceiver(sensitive);
        setUp(rx, m, 1000.0).Command(ModemCommand::kSetAfc, 1, 0, 0);
        rx.setAfcRange(range);
        double furthest = 0.0;
        hear(rx, drifting, [&] { furthest = std::max(furthest, rx.rxDsp()->frequency() - 1000.0); });
        if (range > 0.0)
            QVERIFY2(furthest <= range + 0.01 && furthest >= range - 2.0, qPrintable(QString::number(furthest)));
        else
            QVERIFY2(furthest > 50.0, qPrintable(QString::number(furthest)));
    }
};

QTEST_GUILESS_MAIN(TestReceiver)
#include "tst_receiver.moc"
