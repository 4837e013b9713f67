// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Character error rate against signal-to-noise ratio, standard receiver
// against sensitive receiver. Texts are sent, buried in white Gaussian noise
// (signal power over noise power in 2500 Hz, the signal's power measured over
// the transmission only) and decoded with the AFC on, as an operator would.
// CER = edit distance from the sent text to the best-matching stretch of the
// decoded text (noise decoded before and after the transmission is not
// charged), per sent character, summed over three noise seeds, each with its
// own text.
//
// bench_cer [PEERDIR] also reads another program's transmissions of the
// same kind from PEERDIR (clean_MODE_tN.wav with textN.txt; made with that
// program's own tools) and, where they lie there, its noisy copies
// (noisy_MODE_tN_SNR_sSEED.wav) with that program's own decodes of them
// (peer_MODE_tN_SNR_sSEED.txt), so that the three receivers are compared on
// the same files.
//
// Then a strong neighbour (the wanted BPSK31 signal at -6 dB and another one
// 100 Hz above it, 20 dB stronger), the receivers' speed, and the AFC's
// acquisition: the receiver starts mistuned below the carrier by 0 to 40 Hz,
// as after a click beside a trace. For each mode and offset, clean and at
// -6 dB: the time from the start of the transmission until the receiver has
// locked (the first of 8 decoded characters in a row that match the sent
// text), and the CER of everything decoded from there on. The row at 0 Hz is
// the receiver's own delay (key-up, idle preamble, filters).
//
// bench_cer --fading [PEERDIR] prints instead the tables under fading: the
// same kinds of transmissions through a Watterson channel (two paths of
// equal mean power; good 0.5 ms / 0.1 Hz, moderate 1 ms / 0.5 Hz, poor
// 2 ms / 1 Hz, flutter 0.5 ms / 10 Hz), white noise added after the fading
// (SNR against the signal's mean power, which the channel keeps), three
// fading and noise seeds. Per receiver: the SNR from which on the CER stays
// below 5 % and 2 %, the CER at +12 dB (the floor), and the largest amount
// by which the sensitive receiver's CER exceeds the standard one's at any
// SNR of the sweep.
//
// Fixed seeds: every run prints the same tables.

#include "benchcommon.h"
#include "watterson.h"
#include "modem/psktxrx.h"
#include "tools/cli/modemsession.h"
#include "tools/cli/wavio.h"

#include <QDir>
#include <QStringList>
#include <QFile>

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

const char* const kModes[] = {"BPSK31", "BPSK63", "BPSK125", "QPSK31"};
constexpr int kSnrFrom = -16;
constexpr int kSnrTo = 6;
constexpr int kSeeds = 3;
constexpr int kTextLength = 400;
constexpr double kRate = 11025.0;
constexpr double kCarrier = 1500.0;
// The other program's files: its carrier, the modes and SNRs it decoded.
constexpr double kPeerCarrier = 1000.0;
const char* const kPeerModes[] = {"BPSK31", "BPSK63"};
constexpr int kPeerSnrFrom = -14;
constexpr int kPeerSnrTo = -6;
constexpr int kPeerTexts = 2;

const char* const kAcquireModes[] = {"BPSK31", "BPSK63", "BPSK125", "BPSK250", "QPSK31", "QPSK63"};
constexpr double kOffsets[] = {0.0, 10.0, 20.0, 30.0, 40.0};
constexpr double kAcquireSnr = -6.0;
constexpr int kAcquireTextLength = 400;
// Characters in a row that must match the sent text to count as locked.
constexpr int kLockRun = 8;

struct Acquisition
{
    double lockSeconds = -1.0; // -1: never locked
    double cerAfter = 1.0;
};

// Decodes in sound-card blocks, noting when each character came out.
Acquisition acquire(const ModemSession::RxParams& rx, const std::vector<qint16>& audio, const QString& sent)
{
    QString decoded;
    std::vector<size_t> when;
    size_t fed = 0;
    {
        ModemSession::Receiver receiver(rx, [&](QChar ch) {
            decoded += ch;
            when.push_back(fed);
        });
        for (size_t at = 0; at < audio.size(); at += ModemSession::Receiver::kBlockSize) {
            const size_t n = std::min<size_t>(ModemSession::Receiver::kBlockSize, audio.size() - at);
            fed = at + n;
            receiver.feed(audio.data() + at, n);
        }
        fed = audio.size();
        receiver.finish();
    }

    size_t start = 0;
    while (start < audio.size() && audio[start] == 0)
        ++start;
    Acquisition result;
    for (int p = 0; p + kLockRun <= decoded.size(); ++p) {
        const int q = sent.indexOf(decoded.mid(p, kLockRun));
        if (q < 0)
            continue;
        result.lockSeconds = double(when[size_t(p)] - std::min(start, when[size_t(p)])) / rx.sampleRate;
        result.cerAfter = Bench::characterErrorRate(sent.mid(q), decoded.mid(p));
        break;
    }
    return result;
}

void printAcquisition(const Acquisition& a)
{
    if (a.lockSeconds < 0.0)
        std::printf(" %10s | %9s |", "never", "-");
    else
        std::printf(" %8.1f s | %8.2f%% |", a.lockSeconds, 100.0 * a.cerAfter);
}

void acquisitionTable()
{
    const QString text = Bench::qsoText(kAcquireTextLength, 77);
    std::printf("\nAFC acquisition: receiver mistuned below the carrier, %d characters per point\n\n",
                int(text.size()));
    std::printf("| mode    | offset | clean lock | CER after | %+.0f dB lock | CER after |\n", kAcquireSnr);
    std::printf("|---------|--------|------------|-----------|------------|-----------|\n");
    for (const char* name : kAcquireModes) {
        ModemSession::Mode mode;
        ModemSession::parseMode(QString::fromLatin1(name), &mode);
        ModemSession::TxParams tx;
        tx.mode = mode;
        tx.frequency = kCarrier;
        tx.sampleRate = kRate;
        const std::vector<qint16> clean = ModemSession::transmit(tx, text);
        const std::vector<qint16> noisy = Bench::withNoise(clean, kAcquireSnr, kRate, 4242u);
        for (double offset : kOffsets) {
            ModemSession::RxParams rx;
            rx.mode = mode;
            rx.frequency = kCarrier - offset;
            rx.sampleRate = kRate;
            rx.afc = true;
            std::printf("| %-7s | %3.0f Hz |", name, offset);
            printAcquisition(acquire(rx, clean, text));
            printAcquisition(acquire(rx, noisy, text));
            std::printf("\n");
        }
    }
}

// Errors and sent characters, summed over several runs.
struct Tally
{
    long errors = 0;
    long chars = 0;
    bool empty() const { return chars == 0; }
    void add(const QString& sent, const QString& decoded)
    {
        errors += Bench::trimmedDistance(sent, decoded);
        chars += sent.size();
    }
    double rate() const { return chars ? double(errors) / double(chars) : 0.0; }
};

void printTally(const Tally& t)
{
    if (t.empty())
        std::printf(" %7s |", "-");
    else
        std::printf(" %6.2f%% |", 100.0 * t.rate());
}

// Power over the transmission: from the first to the last sample above a
// thousandth of the peak.
double transmissionPower(const std::vector<qint16>& s)
{
    int peak = 0;
    for (qint16 x : s)
        peak = std::max(peak, std::abs(int(x)));
    const int floor = std::max(1, peak / 1000);
    size_t first = 0;
    size_t last = s.size();
    while (first < last && std::abs(int(s[first])) <= floor)
        ++first;
    while (last > first && std::abs(int(s[last - 1])) <= floor)
        --last;
    double sum = 0.0;
    for (size_t i = first; i < last; ++i)
        sum += double(s[i]) * s[i];
    return last > first ? sum / double(last - first) : 0.0;
}

// clean plus white Gaussian noise at snrDb against power (the wanted
// signal's power over its transmission), scaled to an RMS of 3000.
std::vector<qint16> addNoise(const std::vector<double>& clean, double power, double snrDb, unsigned seed)
{
    const double variance = power / std::pow(10.0, snrDb / 10.0) * (kRate / 2.0) / 2500.0;
    double total = 0.0;
    for (double x : clean)
        total += x * x;
    const double gain = 3000.0 / std::sqrt(total / double(std::max<size_t>(clean.size(), 1)) + variance);
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(variance));
    std::vector<qint16> out(clean.size());
    for (size_t i = 0; i < clean.size(); ++i)
        out[i] = qint16(std::clamp(std::round((clean[i] + gauss(rng)) * gain), -32768.0, 32767.0));
    return out;
}

std::vector<qint16> addNoise(const std::vector<qint16>& clean, double snrDb, unsigned seed)
{
    return addNoise(std::vector<double>(clean.begin(), clean.end()), transmissionPower(clean), snrDb, seed);
}

// squelch: the decoder's quality threshold (0-31); squelchLevel: the squelch
// by S/N level in dB instead; neither: the squelch off.
QString decode(const ModemSession::Mode& mode, double carrier, bool sensitive, const std::vector<qint16>& audio,
               int squelch = -1, double squelchLevel = std::numeric_limits<double>::quiet_NaN())
{
    ModemSession::RxParams rx;
    rx.mode = mode;
    rx.frequency = carrier;
    rx.sampleRate = kRate;
    rx.afc = true;
    rx.sensitive = sensitive;
    rx.squelch = squelch;
    QString decoded;
    {
        ModemSession::Receiver receiver(rx, [&decoded](QChar ch) {
            if (!ch.isNull())
                decoded += ch;
        });
        if (!std::isnan(squelchLevel)) {
            receiver.modem().Command(ModemCommand::kSetSquelch, 1, 0, 0);
            receiver.modem().setSquelchLevel(squelchLevel);
        }
        receiver.feed(audio.data(), audio.size());
        receiver.finish();
    }
    return decoded;
}

ModemSession::Mode modeNamed(const char* name)
{
    ModemSession::Mode mode;
    ModemSession::parseMode(QString::fromLatin1(name), &mode);
    return mode;
}

std::vector<qint16> ourTransmission(const char* mode, const QString& text, double carrier)
{
    ModemSession::TxParams tx;
    tx.mode = modeNamed(mode);
    tx.frequency = carrier;
    tx.sampleRate = kRate;
    return ModemSession::transmit(tx, text);
}

std::vector<qint16> readWav(const QString& path)
{
    std::vector<qint16> samples;
    WavIo::Reader reader;
    QString error;
    if (!reader.open(path, &error) || reader.sampleRate() != int(kRate))
        return samples;
    qint16 block[4096];
    int got = 0;
    while ((got = reader.read(block, 4096, &error)) > 0)
        samples.insert(samples.end(), block, block + got);
    return samples;
}

QString readLatin1(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.readAll());
}

// One sweep: for each mode a set of (text, clean audio) pairs, decoded by
// both receivers at every SNR with kSeeds seeds.
struct Source
{
    QString text;
    std::vector<qint16> clean;
    int number = 0; // the other program's text number
};

void sweep(const char* title, const std::vector<std::vector<Source>>& sources, double carrier)
{
    const int modeCount = int(std::size(kModes));
    std::printf("\n%s\n\n| SNR dB |", title);
    for (const char* mode : kModes)
        std::printf(" %-7s std | %-7s sens |", mode, mode);
    std::printf("\n|--------|");
    for (int m = 0; m < modeCount; ++m)
        std::printf("-------------|--------------|");
    std::printf("\n");
    for (int snr = kSnrFrom; snr <= kSnrTo; snr += 2) {
        std::printf("| %+6d |", snr);
        for (int m = 0; m < modeCount; ++m) {
            Tally standard;
            Tally sensitive;
            const ModemSession::Mode mode = modeNamed(kModes[m]);
            for (int seed = 0; seed < kSeeds && !sources[size_t(m)].empty(); ++seed) {
                const Source& src = sources[size_t(m)][size_t(seed) % sources[size_t(m)].size()];
                const std::vector<qint16> noisy = addNoise(src.clean, snr, unsigned(7000 + 101 * seed + 7 * m + snr));
                standard.add(src.text, decode(mode, carrier, false, noisy));
                sensitive.add(src.text, decode(mode, carrier, true, noisy));
            }
            std::printf("    ");
            printTally(standard);
            std::printf("     ");
            printTally(sensitive);
        }
        std::printf("\n");
    }
}

// Under fading: modes, SNR sweep and the point of the floor.
const char* const kFadingModes[] = {"BPSK31", "BPSK63", "QPSK31"};
// One path with the spread of the poor channel, and the poor channel's two
// paths almost without spread: where the errors come from (only with
// --channel NAME).
const Watterson::Condition kOnePath{"1path1Hz", 1, 0.0, 1.0};
const Watterson::Condition kStill{"2ms0.01Hz", 2, 2.0e-3, 0.01};
const Watterson::Condition* const kConditions[] = {&Watterson::kGood, &Watterson::kModerate, &Watterson::kPoor,
                                                   &Watterson::kFlutter, &kOnePath, &kStill};
constexpr size_t kUsualConditions = 4;
constexpr int kFadingSnrFrom = -10;
constexpr int kFadingSnrTo = 30;
constexpr int kFadingSnrStep = 2;
constexpr int kFloorSnr = 12;

// The CER of each receiver (0 standard, 1 sensitive) at every SNR of the
// sweep.
struct Sweep
{
    std::vector<int> snr;
    std::vector<double> cer[2];
};

// The SNR from which on (up the sweep) the CER stays at or below limit,
// interpolated linearly from the last point above it; NaN if the last point
// is above it, -inf if every point is at or below it.
double snrBelow(const Sweep& s, int rx, double limit)
{
    const std::vector<double>& c = s.cer[rx];
    if (c.empty() || c.back() > limit)
        return std::nan("");
    size_t k = c.size() - 1;
    while (k > 0 && c[k - 1] <= limit)
        --k;
    if (k == 0)
        return -INFINITY;
    const double a = c[k - 1];
    const double b = c[k];
    return s.snr[k - 1] + (s.snr[k] - s.snr[k - 1]) * (a - limit) / (a - b);
}

void printSnr(double snr)
{
    if (std::isnan(snr))
        std::printf(" %7s |", "never");
    else if (std::isinf(snr))
        std::printf(" %7s |", QByteArray("<" + QByteArray::number(kFadingSnrFrom)).constData());
    else
        std::printf(" %+7.1f |", snr);
}

// Fading and noise seeds per point (--seeds N), and each point's CER on
// stderr (--detail).
int g_fadingSeeds = kSeeds;
bool g_detail = false;
// With --write DIR, every faded and noisy copy of the other program's
// transmissions goes there as fading_MODE_CHANNEL_tTEXT_SNR_sSEED.wav, so
// that its own receiver can decode the same audio (the peer scripts'
// decode, then cer.py against textTEXT.txt).
QString g_writeDir;

void writeFaded(const QString& name, const std::vector<qint16>& audio)
{
    WavIo::Writer writer;
    QString error;
    if (!writer.open(QDir(g_writeDir).filePath(name), int(kRate), &error)
        || !writer.write(audio.data(), int(audio.size()), &error) || !writer.close(&error))
        std::fprintf(stderr, "bench_cer: %s\n", qPrintable(error));
}

// Each source through the channel with seeds 0 to g_fadingSeeds - 1 (one source
// per seed, taken in turn), noise at each SNR, both receivers. The sweep
// goes up to kFadingSnrTo, and stops early above the floor's point once
// both receivers have copied two points in a row without an error.
Sweep fadingSweep(const char* modeName, const std::vector<Source>& sources, double carrier,
                  const Watterson::Condition& channel, int modeIndex, int conditionIndex)
{
    Sweep sweep;
    if (sources.empty())
        return sweep;
    struct Faded
    {
        const Source* source;
        std::vector<double> audio;
        double power;
    };
    std::vector<Faded> faded;
    for (int seed = 0; seed < g_fadingSeeds; ++seed) {
        const Source& src = sources[size_t(seed) % sources.size()];
        std::vector<double> clean(src.clean.begin(), src.clean.end());
        const unsigned fadingSeed = 9000u + 1000u * unsigned(conditionIndex) + 100u * unsigned(modeIndex) + 10u * unsigned(seed);
        faded.push_back({&src, Watterson::fade(Watterson::analytic(clean), kRate, channel, fadingSeed),
                         transmissionPower(src.clean)});
    }
    const ModemSession::Mode mode = modeNamed(modeName);
    int clear = 0;
    for (int snr = kFadingSnrFrom; snr <= kFadingSnrTo; snr += kFadingSnrStep) {
        Tally tally[2];
        for (int seed = 0; seed < g_fadingSeeds; ++seed) {
            const Faded& f = faded[size_t(seed)];
            const std::vector<qint16> noisy =
                addNoise(f.audio, f.power, snr, unsigned(5000 + 101 * seed + 7 * modeIndex + 13 * conditionIndex + snr));
            for (int rx = 0; rx < 2; ++rx)
                tally[rx].add(f.source->text, decode(mode, carrier, rx == 1, noisy));
            if (!g_writeDir.isEmpty() && carrier == kPeerCarrier)
                writeFaded(QStringLiteral("fading_%1_%2_t%3_%4_s%5.wav")
                               .arg(QLatin1String(modeName), QLatin1String(channel.name))
                               .arg(f.source->number)
                               .arg(snr)
                               .arg(seed),
                           noisy);
        }
        sweep.snr.push_back(snr);
        for (int rx = 0; rx < 2; ++rx)
            sweep.cer[rx].push_back(tally[rx].rate());
        if (g_detail)
            std::fprintf(stderr, "%s %s %+3d dB: std %6.2f%% sens %6.2f%%\n", modeName, channel.name, snr,
                         100.0 * tally[0].rate(), 100.0 * tally[1].rate());
        clear = tally[0].errors == 0 && tally[1].errors == 0 ? clear + 1 : 0;
        if (snr >= kFloorSnr && clear >= 2)
            break;
    }
    return sweep;
}

double cerAt(const Sweep& s, int rx, int snr)
{
    for (size_t k = 0; k < s.snr.size(); ++k)
        if (s.snr[k] == snr)
            return s.cer[rx][k];
    // Past the end of a sweep stopped early: no errors.
    return s.snr.empty() ? std::nan("") : 0.0;
}

// Only these modes and channels, if given (--mode NAME, --channel NAME).
QStringList g_onlyModes;
QStringList g_onlyChannels;

void fadingTable(const char* title, const std::vector<std::vector<Source>>& sources, double carrier)
{
    std::printf("\n%s\n\n", title);
    std::printf("| mode    | channel  |  std 5%% |  std 2%% | std %+d | sens 5%% | sens 2%% | sens %+d | sens-std worst |\n",
                kFloorSnr, kFloorSnr);
    std::printf("|---------|----------|---------|---------|---------|---------|---------|----------|----------------|\n");
    for (size_t m = 0; m < std::size(kFadingModes); ++m) {
        for (size_t c = 0; c < std::size(kConditions); ++c) {
            if ((!g_onlyModes.isEmpty() && !g_onlyModes.contains(QLatin1String(kFadingModes[m])))
                || (!g_onlyChannels.isEmpty() && !g_onlyChannels.contains(QLatin1String(kConditions[c]->name)))
                || (g_onlyChannels.isEmpty() && c >= kUsualConditions))
                continue;
            const Sweep s = fadingSweep(kFadingModes[m], sources[m], carrier, *kConditions[c], int(m), int(c));
            if (s.snr.empty())
                continue;
            std::printf("| %-7s | %-8s |", kFadingModes[m], kConditions[c]->name);
            for (int rx = 0; rx < 2; ++rx) {
                printSnr(snrBelow(s, rx, 0.05));
                printSnr(snrBelow(s, rx, 0.02));
                std::printf(" %6.2f%% |", 100.0 * cerAt(s, rx, kFloorSnr));
            }
            // Where the sensitive receiver trails the standard one most.
            double worst = -1.0;
            int at = 0;
            for (size_t k = 0; k < s.snr.size(); ++k) {
                const double d = s.cer[1][k] - s.cer[0][k];
                if (d > worst) {
                    worst = d;
                    at = s.snr[k];
                }
            }
            std::printf(" %+5.1f @ %+3d dB |\n", 100.0 * worst, at);
            std::fflush(stdout);
        }
    }
}

// White noise only, in 1 dB steps: the SNR from which on each receiver's
// CER stays below 2 %, on our own transmissions (bench_cer --white).
void whiteThresholds()
{
    const char* const modes[] = {"BPSK31", "BPSK63", "BPSK125", "QPSK31", "QPSK63"};
    std::printf("\nWhite noise, our own transmissions (3 texts of 400 characters, one noise seed each): SNR (dB) "
                "from which on the CER stays below 2 %%\n\n| mode    | std     | sens    |\n|---------|---------|---------|\n");
    for (size_t m = 0; m < std::size(modes); ++m) {
        if (!g_onlyModes.isEmpty() && !g_onlyModes.contains(QLatin1String(modes[m])))
            continue;
        std::vector<Source> sources;
        for (int seed = 0; seed < kSeeds; ++seed) {
            const QString text = Bench::qsoText(kTextLength, 2026u + unsigned(seed));
            sources.push_back({text, ourTransmission(modes[m], text, kCarrier)});
        }
        Sweep sweep;
        const ModemSession::Mode mode = modeNamed(modes[m]);
        for (int snr = -18; snr <= 0; ++snr) {
            Tally tally[2];
            for (int seed = 0; seed < kSeeds; ++seed) {
                const std::vector<qint16> noisy =
                    addNoise(sources[size_t(seed)].clean, snr, unsigned(7000 + 101 * seed + 7 * int(m) + snr));
                for (int rx = 0; rx < 2; ++rx)
                    tally[rx].add(sources[size_t(seed)].text, decode(mode, kCarrier, rx == 1, noisy));
            }
            sweep.snr.push_back(snr);
            for (int rx = 0; rx < 2; ++rx)
                sweep.cer[rx].push_back(tally[rx].rate());
            if (tally[0].errors == 0 && tally[1].errors == 0)
                break;
        }
        std::printf("| %-7s |", modes[m]);
        printSnr(snrBelow(sweep, 0, 0.02));
        printSnr(snrBelow(sweep, 1, 0.02));
        std::printf("\n");
        std::fflush(stdout);
    }
}

// The squelch (bench_cer --squelch [LEVEL]): characters printed from 20 s
// of white noise alone, and the CER of a weak signal (at about the SNR from
// which on each receiver copies with less than 2 % CER), with the squelch
// off, by the decoder's quality (threshold 15) and by S/N level (the
// window's default level without one).
void squelchTable(double level)
{
    struct Row
    {
        const char* mode;
        int weakSnr[2]; // standard, sensitive
    };
    const Row rows[] = {{"BPSK31", {-9, -12}}, {"BPSK63", {-7, -9}}, {"BPSK125", {-4, -6}},
                        {"BPSK250", {-1, -3}}, {"QPSK31", {-8, -12}}, {"QPSK63", {-5, -9}}};
    constexpr double kNoiseSeconds = 20.0;
    constexpr int kThreshold = 15;
    std::printf("\nSquelch by quality (threshold %d) and by level (%+.0f dB): characters printed from %.0f s of white "
                "noise (mean of %d seeds), and the CER of a weak signal (3 texts of 400 characters), AFC on\n\n"
                "| mode    | receiver  | noise: quality | noise: level | weak SNR | CER off | CER quality | CER level |\n"
                "|---------|-----------|----------------|--------------|----------|---------|-------------|-----------|\n",
                kThreshold, level, kNoiseSeconds, kSeeds);
    for (const Row& row : rows) {
        if (!g_onlyModes.isEmpty() && !g_onlyModes.contains(QLatin1String(row.mode)))
            continue;
        const ModemSession::Mode mode = modeNamed(row.mode);
        std::vector<Source> sources;
        for (int seed = 0; seed < kSeeds; ++seed) {
            const QString text = Bench::qsoText(kTextLength, 2026u + unsigned(seed));
            sources.push_back({text, ourTransmission(row.mode, text, kCarrier)});
        }
        for (int rx = 0; rx < 2; ++rx) {
            long byQuality = 0, byLevel = 0;
            for (int seed = 0; seed < kSeeds; ++seed) {
                std::mt19937 rng(9000u + unsigned(seed));
                std::normal_distribution<double> gauss(0.0, 3000.0);
                std::vector<qint16> noise(size_t(kNoiseSeconds * kRate));
                for (qint16& x : noise)
                    x = qint16(std::clamp(std::round(gauss(rng)), -32768.0, 32767.0));
                byQuality += decode(mode, kCarrier, rx == 1, noise, kThreshold).size();
                byLevel += decode(mode, kCarrier, rx == 1, noise, -1, level).size();
            }
            Tally off, quality, gated;
            for (int seed = 0; seed < kSeeds; ++seed) {
                const std::vector<qint16> noisy =
                    addNoise(sources[size_t(seed)].clean, row.weakSnr[rx], unsigned(7100 + 101 * seed));
                off.add(sources[size_t(seed)].text, decode(mode, kCarrier, rx == 1, noisy));
                quality.add(sources[size_t(seed)].text, decode(mode, kCarrier, rx == 1, noisy, kThreshold));
                gated.add(sources[size_t(seed)].text, decode(mode, kCarrier, rx == 1, noisy, -1, level));
            }
            std::printf("| %-7s | %-9s | %14.1f | %12.1f | %+8d |", row.mode, rx ? "sensitive" : "standard",
                        double(byQuality) / kSeeds, double(byLevel) / kSeeds, row.weakSnr[rx]);
            printTally(off);
            std::printf("    ");
            printTally(quality);
            std::printf("  ");
            printTally(gated);
            std::printf("\n");
            std::fflush(stdout);
        }
    }
}

// The three receivers on the same noisy files of the other program.
void peerTable(const QDir& dir)
{
    std::printf("\nThe other program's own transmissions with its noise files, decoded by it (peer),\n"
                "by the standard and by the sensitive receiver: %d texts x %d seeds per point\n\n| SNR dB |",
                kPeerTexts, kSeeds);
    for (const char* mode : kPeerModes)
        std::printf(" %-7s peer | std     | sens    |", mode);
    std::printf("\n|--------|");
    for (size_t m = 0; m < std::size(kPeerModes); ++m)
        std::printf("--------------|---------|---------|");
    std::printf("\n");
    for (int snr = kPeerSnrFrom; snr <= kPeerSnrTo; snr += 2) {
        std::printf("| %+6d |", snr);
        for (const char* name : kPeerModes) {
            Tally peer, standard, sensitive;
            for (int t = 1; t <= kPeerTexts; ++t) {
                const QString text = readLatin1(dir.filePath(QStringLiteral("text%1.txt").arg(t)));
                for (int seed = 1; seed <= kSeeds; ++seed) {
                    const QString stem = QStringLiteral("%1_t%2_%3_s%4").arg(QLatin1String(name)).arg(t).arg(snr).arg(seed);
                    const std::vector<qint16> noisy = readWav(dir.filePath(QStringLiteral("noisy_%1.wav").arg(stem)));
                    const QString peerPath = dir.filePath(QStringLiteral("peer_%1.txt").arg(stem));
                    if (text.isEmpty() || noisy.empty() || !QFile::exists(peerPath))
                        continue;
                    peer.add(text, readLatin1(peerPath));
                    standard.add(text, decode(modeNamed(name), kPeerCarrier, false, noisy));
                    sensitive.add(text, decode(modeNamed(name), kPeerCarrier, true, noisy));
                }
            }
            std::printf("     ");
            printTally(peer);
            printTally(standard);
            printTally(sensitive);
        }
        std::printf("\n");
    }
}

// The wanted BPSK31 signal at -6 dB and a second one 100 Hz above, 20 dB
// stronger, each with its own text.
void neighbourTable()
{
    constexpr double kWantedSnr = -6.0;
    constexpr double kNeighbourDb = 20.0;
    constexpr double kNeighbourOffset = 100.0;
    Tally standard, sensitive;
    for (int seed = 0; seed < kSeeds; ++seed) {
        const QString wantedText = Bench::qsoText(kTextLength, 500u + unsigned(seed));
        const std::vector<qint16> wanted = ourTransmission("BPSK31", wantedText, kCarrier);
        const std::vector<qint16> other =
            ourTransmission("BPSK31", Bench::qsoText(2 * kTextLength, 900u + unsigned(seed)), kCarrier + kNeighbourOffset);
        const double gain = std::pow(10.0, kNeighbourDb / 20.0) * std::sqrt(transmissionPower(wanted) / transmissionPower(other));
        std::vector<double> mix(wanted.begin(), wanted.end());
        for (size_t i = 0; i < mix.size() && i < other.size(); ++i)
            mix[i] += gain * other[i];
        const std::vector<qint16> noisy = addNoise(mix, transmissionPower(wanted), kWantedSnr, 4000u + unsigned(seed));
        standard.add(wantedText, decode(modeNamed("BPSK31"), kCarrier, false, noisy));
        sensitive.add(wantedText, decode(modeNamed("BPSK31"), kCarrier, true, noisy));
    }
    std::printf("\nStrong neighbour: wanted BPSK31 at %+.0f dB, another BPSK31 signal %.0f Hz above it %.0f dB "
                "stronger, AFC on\n\n| receiver  | CER     |\n|-----------|---------|\n| standard  |",
                kWantedSnr, kNeighbourOffset, kNeighbourDb);
    printTally(standard);
    std::printf("\n| sensitive |");
    printTally(sensitive);
    std::printf("\n");

    // Nothing on the receive frequency, a strong BPSK125 signal 200 Hz away
    // (+10 dB in 2500 Hz), squelch on at its usual threshold: what prints.
    const std::vector<qint16> strong = ourTransmission("BPSK125", Bench::qsoText(2000, 77u), kCarrier + 200.0);
    const std::vector<qint16> band = addNoise(strong, 10.0, 78u);
    std::printf("\nNothing on the receive frequency, a BPSK125 signal 200 Hz above it at +10 dB, squelch 15, "
                "%.0f s: characters printed\n\n| receiver  | characters |\n|-----------|------------|\n",
                double(band.size()) / kRate);
    for (bool sens : {false, true})
        std::printf("| %-9s | %10d |\n", sens ? "sensitive" : "standard",
                    int(decode(modeNamed("BPSK31"), kCarrier, sens, band, 15).size()));
}

// CPU time per second of BPSK31 audio at 11025 Hz, one core.
void speedTable()
{
    const std::vector<qint16> audio = ourTransmission("BPSK31", Bench::qsoText(kTextLength, 31u), kCarrier);
    const std::vector<qint16> noisy = addNoise(audio, -6.0, 31u);
    const double seconds = double(noisy.size()) / kRate;
    std::printf("\nSpeed, BPSK31 at 11025 Hz, %.0f s of audio (times faster than real time, one core)\n\n", seconds);
    for (bool sensitive : {false, true}) {
        const double start = Bench::cpuSeconds();
        constexpr int kRuns = 3;
        for (int r = 0; r < kRuns; ++r)
            decode(modeNamed("BPSK31"), kCarrier, sensitive, noisy);
        const double used = (Bench::cpuSeconds() - start) / kRuns;
        std::printf("- %s receiver: %.0fx\n", sensitive ? "sensitive" : "standard ", seconds / used);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    ModemSession::PrivateSettings settings;
    if (!settings.isValid()) {
        std::fprintf(stderr, "bench_cer: cannot create a temporary settings folder\n");
        return 1;
    }
    settings.setCharSet(0);
    const double start = Bench::cpuSeconds();
    QStringList args = app.arguments().mid(1);
    const bool fading = args.removeAll(QStringLiteral("--fading")) > 0;
    g_detail = args.removeAll(QStringLiteral("--detail")) > 0;
    for (int i = 0; i + 1 < args.size();) {
        if (args[i] == QLatin1String("--mode") || args[i] == QLatin1String("--channel")) {
            (args[i] == QLatin1String("--mode") ? g_onlyModes : g_onlyChannels) << args[i + 1];
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--write")) {
            g_writeDir = args[i + 1];
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--seeds")) {
            g_fadingSeeds = std::max(1, args[i + 1].toInt());
            args.remove(i, 2);
        } else {
            ++i;
        }
    }
    const QString peerDir = args.value(0);

    if (args.removeAll(QStringLiteral("--speed")) > 0) {
        speedTable();
        return 0;
    }
    if (const int at = int(args.indexOf(QStringLiteral("--squelch"))); at >= 0) {
        bool given = false;
        const double level = args.value(at + 1).toDouble(&given);
        squelchTable(given ? level : double(SquelchGate::kDefaultLevel));
        return 0;
    }
    if (args.removeAll(QStringLiteral("--white")) > 0) {
        whiteThresholds();
        return 0;
    }
    if (fading) {
        std::vector<std::vector<Source>> own(std::size(kFadingModes));
        std::vector<std::vector<Source>> peer(std::size(kFadingModes));
        for (size_t m = 0; m < std::size(kFadingModes); ++m) {
            for (int seed = 0; seed < kSeeds; ++seed) {
                const QString text = Bench::qsoText(kTextLength, 2026u + unsigned(seed));
                own[m].push_back({text, ourTransmission(kFadingModes[m], text, kCarrier)});
            }
            for (int t = 1; t <= kPeerTexts && !peerDir.isEmpty(); ++t) {
                const QDir dir(peerDir);
                Source src;
                src.text = readLatin1(dir.filePath(QStringLiteral("text%1.txt").arg(t)));
                src.clean = readWav(
                    dir.filePath(QStringLiteral("clean_%1_t%2.wav").arg(QLatin1String(kFadingModes[m])).arg(t)));
                src.number = t;
                if (!src.text.isEmpty() && !src.clean.empty())
                    peer[m].push_back(src);
            }
        }
        const QByteArray title = QStringLiteral("Fading, our own transmissions (3 texts of 400 characters, taken in turn): "
                                                "SNR (dB) from which on the CER stays below 5 % and 2 %, CER at +12 dB, "
                                                "standard (std) and sensitive (sens) receiver, AFC on, %1 fading and noise seeds")
                                     .arg(g_fadingSeeds)
                                     .toUtf8();
        fadingTable(title.constData(), own, kCarrier);
        if (!peerDir.isEmpty())
            fadingTable("Fading, the other program's transmissions (its texts taken in turn), the same figures",
                        peer, kPeerCarrier);
        std::printf("\nCPU time %.1f s\n", Bench::cpuSeconds() - start);
        return 0;
    }

    std::vector<std::vector<Source>> own(std::size(kModes));
    for (size_t m = 0; m < std::size(kModes); ++m) {
        for (int seed = 0; seed < kSeeds; ++seed) {
            const QString text = Bench::qsoText(kTextLength, 2026u + unsigned(seed));
            own[m].push_back({text, ourTransmission(kModes[m], text, kCarrier)});
        }
    }
    sweep("Our own transmissions: CER, standard (std) and sensitive (sens) receiver, AFC on, "
          "3 texts of 400 characters, one noise seed each",
          own, kCarrier);

    if (!peerDir.isEmpty()) {
        const QDir dir(peerDir);
        std::vector<std::vector<Source>> peer(std::size(kModes));
        for (size_t m = 0; m < std::size(kModes); ++m) {
            for (int t = 1; t <= kPeerTexts; ++t) {
                Source src;
                src.text = readLatin1(dir.filePath(QStringLiteral("text%1.txt").arg(t)));
                src.clean = readWav(dir.filePath(QStringLiteral("clean_%1_t%2.wav").arg(QLatin1String(kModes[m])).arg(t)));
                if (!src.text.isEmpty() && !src.clean.empty())
                    peer[m].push_back(src);
            }
        }
        sweep("The other program's transmissions (our noise): CER, standard and sensitive receiver, AFC on, "
              "its texts taken in turn, 3 noise seeds",
              peer, kPeerCarrier);
        peerTable(dir);
    }

    neighbourTable();
    speedTable();
    acquisitionTable();
    std::printf("\nCPU time %.1f s\n", Bench::cpuSeconds() - start);
    return 0;
}
