// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A crowded band: twenty stations 50 Hz apart calling CQ with their calls
// (BPSK31, some BPSK63), at 0 to -25 dB in 2500 Hz, a few drifting, in
// white noise. The signal bank decodes the whole band as "decode --all"
// does (once per mode), the call patterns take calls from its text as the
// window and "listen" do, and a receiver tuned by hand (with AFC) decodes
// each station alone. One line per station: CER both ways, where the bank
// found it, whether its call was spotted; then every spot of a call nobody
// sent.
//
//   bench_crowdedband [--sensitive] [--write BAND.wav] [--collector HOST:PORT]
//
// --sensitive decodes with the sensitive receiver, in the bank and by hand;
// --write keeps the band as a WAV file; --collector sends the spots to a
// PSK Reporter collector (a packet capture's, say) at the end.

#include "benchcommon.h"
#include "modem/signalbank.h"
#include "report/callextractor.h"
#include "report/pskreporter.h"
#include "tools/cli/modemsession.h"
#include "tools/cli/wavio.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QSet>

#include <cstdio>
#include <algorithm>
#include <map>

namespace {

constexpr double kRate = 11025.0;
constexpr int kStations = 20;
constexpr double kLowest = 500.0;
constexpr double kSpacing = 50.0;
constexpr double kNoiseRms = 1000.0;
constexpr quint32 kDialHz = 14070000;
// Half the length of the Hilbert filter that shifts a drifting station.
constexpr int kHilbertHalf = 127;

struct Station {
    QString call;
    QString mode;
    double frequency = 0.0;  // at the start
    double snrDb = 0.0;
    double driftHzPerSecond = 0.0;
    double startSeconds = 0.0;
    QString text;
    std::vector<double> audio;  // at the band's rate, from startSeconds
};

struct Found {
    double frequency = 0.0;
    double snrDb = 0.0;
    QString text;
};

const char* const kCalls[kStations] = {"DL5ABC", "G4XYZ",  "F6KQR", "OK1DX",  "SP9MM",  "EA3QW", "I2ZZT",
                                       "PA0LTB", "OH2BH",  "HB9FRG", "W1AW",  "VK2XYZ", "JA1QRP", "ZL1BQ",
                                       "LA7GIA", "S57DX",  "YO3KAA", "UA3ABC", "9A2AA",  "CT1BOH"};

// Each station's sound shifted by a frequency that grows over time: the
// analytic signal (a Hilbert filter) times a turning phasor, real part.
std::vector<double> drifted(const std::vector<qint16>& clean, double hzPerSecond)
{
    std::vector<double> h(2 * kHilbertHalf + 1, 0.0);
    for (int k = -kHilbertHalf; k <= kHilbertHalf; ++k) {
        if (k % 2 == 0)
            continue;
        const double window = 0.54 + 0.46 * std::cos(M_PI * k / kHilbertHalf);
        h[size_t(k + kHilbertHalf)] = 2.0 / (M_PI * k) * window;
    }
    std::vector<double> out(clean.size(), 0.0);
    double phase = 0.0;
    for (size_t n = 0; n < clean.size(); ++n) {
        double q = 0.0;
        for (int k = -kHilbertHalf; k <= kHilbertHalf; ++k) {
            const qint64 m = qint64(n) - k;
            if (m >= 0 && m < qint64(clean.size()) && k % 2 != 0)
                q += h[size_t(k + kHilbertHalf)] * clean[size_t(m)];
        }
        phase += 2.0 * M_PI * hzPerSecond * (double(n) / kRate) / kRate;
        out[n] = clean[n] * std::cos(phase) - q * std::sin(phase);
    }
    return out;
}

std::vector<Station> makeStations()
{
    std::vector<Station> stations;
    std::mt19937 rng(2026);
    std::uniform_real_distribution<double> start(0.0, 8.0);
    for (int i = 0; i < kStations; ++i) {
        Station s;
        s.call = QString::fromLatin1(kCalls[i]);
        s.mode = i % 5 == 2 ? QStringLiteral("BPSK63") : QStringLiteral("BPSK31");
        s.frequency = kLowest + kSpacing * i;
        // 0 to -25 dB, neighbours far apart in level.
        s.snrDb = -25.0 * double((i * 7) % kStations) / (kStations - 1);
        if (i == 0 || i == 6 || i == 13 || i == kStations - 1)
            s.driftHzPerSecond = (i == 0 ? -0.8 : i == 6 ? 0.3 : i == 13 ? -0.5 : 1.0);
        s.startSeconds = start(rng);
        const QString words = Bench::qsoText(s.mode == QLatin1String("BPSK63") ? 160 : 80, unsigned(i + 1));
        s.text = QStringLiteral("CQ CQ de %1 %1 pse k\n%2\nCQ CQ de %1 %1 pse k\n").arg(s.call, words);
        stations.push_back(std::move(s));
    }
    return stations;
}

// The band: every station at its level over white noise of kNoiseRms.
std::vector<qint16> makeBand(std::vector<Station>& stations)
{
    const double noise2500 = kNoiseRms * kNoiseRms * 2500.0 / (kRate / 2.0);
    size_t length = 0;
    for (Station& s : stations) {
        ModemSession::TxParams tx;
        ModemSession::parseMode(s.mode, &tx.mode);
        tx.frequency = s.frequency;
        tx.sampleRate = kRate;
        const std::vector<qint16> clean = ModemSession::transmit(tx, s.text);
        const double gain = std::sqrt(noise2500 * std::pow(10.0, s.snrDb / 10.0) / Bench::signalPower(clean));
        s.audio = s.driftHzPerSecond != 0.0 ? drifted(clean, s.driftHzPerSecond)
                                             : std::vector<double>(clean.begin(), clean.end());
        for (double& x : s.audio)
            x *= gain;
        length = std::max(length, size_t(s.startSeconds * kRate) + s.audio.size());
    }
    std::mt19937 rng(7);
    std::normal_distribution<double> gauss(0.0, kNoiseRms);
    std::vector<double> mix(length + size_t(2 * kRate));
    for (double& x : mix)
        x = gauss(rng);
    for (const Station& s : stations) {
        const size_t at = size_t(s.startSeconds * kRate);
        for (size_t n = 0; n < s.audio.size(); ++n)
            mix[at + n] += s.audio[n];
    }
    std::vector<qint16> band(mix.size());
    for (size_t n = 0; n < mix.size(); ++n)
        band[n] = qint16(std::clamp(std::round(mix[n]), -32768.0, 32767.0));
    return band;
}

// Where a call was first spotted: the channel's frequency and the mode.
struct Spot {
    double frequency = 0.0;
    double snrDb = 0.0;  // the bank's estimate when the call was taken
    QString mode;
};

// One pass of the bank over the band in one mode: every signal it held;
// the calls spotted join spots.
std::vector<Found> bankPass(const std::vector<qint16>& band, const QString& mode, bool sensitive,
                            std::map<QString, Spot>& spots, PskReporter* reporter)
{
    ModemSession::Mode m;
    ModemSession::parseMode(mode, &m);
    SignalBank bank;
    bank.setSampleRate(kRate);
    bank.setMode(*m.table);
    bank.setSensitive(sensitive);
    CallExtractor calls;
    QHash<int, TextTail> seen;
    std::vector<Found> found;
    auto take = [&](const SignalBank::Signal& s) {
        for (const QString& call : calls.feed(s.id, seen[s.id].advance(s.text))) {
            if (!spots.count(call))
                spots[call] = {s.frequency, s.snrDb, mode};
            if (reporter) {
                PskSpot spot;
                spot.call = call;
                spot.frequency = kDialHz + quint32(std::lround(s.frequency));
                spot.snr = PskIpfix::snrField(s.snrDb);
                spot.mode = PskIpfix::modeName(mode);
                spot.time = quint32(QDateTime::currentSecsSinceEpoch());
                reporter->addSpot(spot);
            }
        }
    };
    QObject::connect(&bank, &SignalBank::changed, [&] {
        for (const SignalBank::Signal& s : bank.signalList())
            take(s);
    });
    QObject::connect(&bank, &SignalBank::dropped, [&](const SignalBank::Signal& s) {
        take(s);
        calls.endOver(s.id);
        seen.remove(s.id);
        found.push_back({s.frequency, s.snrDb, s.text});
    });
    for (size_t at = 0; at < band.size(); at += ModemSession::Receiver::kBlockSize)
        bank.feed(band.data() + at, int(std::min<size_t>(ModemSession::Receiver::kBlockSize, band.size() - at)));
    bank.finish();
    for (const SignalBank::Signal& s : bank.signalList()) {
        take(s);
        found.push_back({s.frequency, s.snrDb, s.text});
    }
    return found;
}

QString handTuned(const std::vector<qint16>& band, const Station& s, bool sensitive)
{
    ModemSession::RxParams rx;
    ModemSession::parseMode(s.mode, &rx.mode);
    rx.frequency = s.frequency;
    rx.sampleRate = kRate;
    rx.afc = true;
    rx.sensitive = sensitive;
    QString text;
    ModemSession::Receiver receiver(rx, [&text](QChar c) {
        if (!c.isNull())
            text += c;
    });
    receiver.feed(band.data(), band.size());
    receiver.finish();
    return text;
}

double cer(const QString& sent, const QString& decoded)
{
    return double(Bench::trimmedDistance(sent, decoded)) / double(sent.size());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool sensitive = args.contains(QStringLiteral("--sensitive"));
    ModemSession::PrivateSettings settings;
    std::vector<Station> stations = makeStations();
    const double cpu0 = Bench::cpuSeconds();
    const std::vector<qint16> band = makeBand(stations);
    const int write = int(args.indexOf(QStringLiteral("--write")));
    if (write > 0 && write + 1 < args.size()) {
        WavIo::Writer writer;
        QString error;
        if (!writer.open(args.at(write + 1), int(kRate), &error) || !writer.write(band.data(), int(band.size()), &error)
            || !writer.close(&error)) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(args.at(write + 1)), qPrintable(error));
            return 1;
        }
    }
    std::unique_ptr<PskReporter> reporter;
    const int collector = int(args.indexOf(QStringLiteral("--collector")));
    if (collector > 0 && collector + 1 < args.size()) {
        const QString where = args.at(collector + 1);
        reporter = std::make_unique<PskReporter>();
        reporter->setCollector(where.section(u':', 0, -2), quint16(where.section(u':', -1).toUInt()));
        reporter->setReceiver({QStringLiteral("N0CALL"), QStringLiteral("JO62QM"), QStringLiteral("Velkora32 4.0"),
                               QStringLiteral("dipole")});
    }

    const double cpu1 = Bench::cpuSeconds();
    std::map<QString, Spot> spots;
    std::map<QString, std::vector<Found>> passes;
    for (const QString mode : {QStringLiteral("BPSK31"), QStringLiteral("BPSK63")})
        passes[mode] = bankPass(band, mode, sensitive, spots, reporter.get());
    const double bankCpu = Bench::cpuSeconds() - cpu1;

    std::printf("Crowded band: %d stations %.0f Hz apart from %.0f Hz, %.0f s of audio at %.0f Hz, white noise;\n"
                "SNR in 2500 Hz. The bank decodes the band once per mode (as decode --all --mode does);\n"
                "%s receiver.\n\n",
                kStations, kSpacing, kLowest, double(band.size()) / kRate, kRate, sensitive ? "sensitive" : "standard");
    std::printf("| call   | mode   | SNR dB | drift Hz/s | start Hz | CER --all | CER by hand | found at Hz | spot | spot SNR dB |\n");
    std::printf("|--------|--------|--------|------------|----------|-----------|-------------|-------------|------|-------------|\n");
    int spotted = 0;
    double cerAll = 0.0;
    double cerHand = 0.0;
    for (const Station& s : stations) {
        // The bank's signal nearest the station that copies it best.
        const Found* best = nullptr;
        double bestCer = 1.0;
        const double end = s.frequency + s.driftHzPerSecond * double(s.audio.size()) / kRate;
        for (const Found& f : passes[s.mode]) {
            if (f.frequency < std::min(s.frequency, end) - 20.0 || f.frequency > std::max(s.frequency, end) + 20.0)
                continue;
            const double c = cer(s.text, f.text);
            if (!best || c < bestCer) {
                best = &f;
                bestCer = c;
            }
        }
        const double hand = cer(s.text, handTuned(band, s, sensitive));
        const auto spot = spots.find(s.call.toUpper());
        const bool isSpotted = spot != spots.end();
        spotted += isSpotted;
        cerAll += bestCer;
        cerHand += hand;
        std::printf("| %-6s | %-6s | %6.1f | %10.1f | %8.0f | %8.1f%% | %10.1f%% | %11s | %-4s | %11s |\n",
                    qPrintable(s.call), qPrintable(s.mode), s.snrDb, s.driftHzPerSecond, s.frequency, 100.0 * bestCer,
                    100.0 * hand, best ? qPrintable(QString::number(best->frequency, 'f', 1)) : "-",
                    isSpotted ? "yes" : "no", isSpotted ? qPrintable(QString::number(spot->second.snrDb, 'f', 1)) : "-");
    }
    std::printf("\nMean CER: %.1f%% with --all, %.1f%% by hand; %d of %d calls spotted.\n", 100.0 * cerAll / kStations,
                100.0 * cerHand / kStations, spotted, kStations);
    QSet<QString> sent;
    for (const Station& s : stations)
        sent.insert(s.call);
    int wrong = 0;
    for (const auto& [call, f] : spots) {
        if (sent.contains(call))
            continue;
        ++wrong;
        std::printf("Spot for a call nobody sent: %s at %.1f Hz (%s)\n", qPrintable(call), f.frequency,
                    qPrintable(f.mode));
    }
    std::printf("Spots for calls nobody sent: %d\n", wrong);
    // A line of text where no station of the pass's mode is (within 20 Hz
    // of its path): noise, or another mode's signal made into garbage.
    int stray = 0;
    for (const auto& [mode, found] : passes) {
        for (const Found& f : found) {
            const bool own = std::any_of(stations.begin(), stations.end(), [&](const Station& s) {
                const double end = s.frequency + s.driftHzPerSecond * double(s.audio.size()) / kRate;
                return s.mode == mode && f.frequency >= std::min(s.frequency, end) - 20.0
                       && f.frequency <= std::max(s.frequency, end) + 20.0;
            });
            if (own || f.text.trimmed().isEmpty())
                continue;
            ++stray;
            std::printf("Line where no %s station is: %.1f Hz \"%s\"\n", qPrintable(mode), f.frequency,
                        qPrintable(f.text.left(40).simplified()));
        }
    }
    std::printf("Lines where no station of the mode is: %d\n", stray);
    std::printf("CPU: %.1f s for the bank's two passes over %.0f s of audio (%.1f s to build the band)\n", bankCpu,
                double(band.size()) / kRate, cpu1 - cpu0);
    if (reporter) {
        reporter->flush();
        QCoreApplication::processEvents();
        std::printf("Sent %d messages to the collector\n", reporter->messagesSent());
    }
    return 0;
}
