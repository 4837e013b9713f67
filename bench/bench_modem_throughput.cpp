// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How much faster than real time the modem runs: for each mode, a minute of
// transmission is generated (key-up, text, tail) and then decoded in the
// 1024-sample blocks the sound card delivers. Prints seconds of audio per
// CPU second for both directions, and checks that the text came through so
// that a broken decoder cannot post a good number. Then the signal bank
// behind the "Signals" dock and decode --all: 30 BPSK31 signals 100 Hz
// apart in noise, half a minute at 11025 Hz, fed in 1024-sample blocks; it
// prints the share of one core the bank needs to keep up in real time and
// how many texts came through. Last, a crowded band to copy: 12 BPSK31
// signals 500 to 2500 Hz, at least 60 Hz apart, levels 20 dB apart, two of
// them drifting up 1 Hz/s, the weakest at -6 dB SNR in 2500 Hz; it prints
// each signal's character error rate and anything reported where no signal
// is.

#include "benchcommon.h"
#include "modem/psktxrx.h"
#include "modem/receivechannel.h"
#include "modem/signalbank.h"
#include "tools/cli/modemsession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

// Resident memory of this process, in KiB.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line; !(line = status.readLine()).isEmpty();)
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

struct Case
{
    const char* mode;
    int rate;
};

constexpr Case kCases[] = {
    {"BPSK31", 11025},  {"BPSK63", 11025}, {"BPSK125", 11025}, {"BPSK250", 11025},
    {"QPSK31", 11025},  {"QPSK63", 11025}, {"QPSK125", 11025}, {"QPSK250", 11025},
    {"BPSK31", 48000},  {"BPSK250", 48000},
};

constexpr double kAudioSeconds = 60.0;
// Average bits per character of ordinary text, with the two-bit gap.
constexpr double kBitsPerChar = 9.0;
// Each direction is timed this many times and the fastest run kept, to keep
// out the noise of other processes on a shared machine.
constexpr int kRepeats = 3;

// The crowded band: carrier, level re the strongest, drift and start.
struct Crowd
{
    double frequency;
    double levelDb;
    double driftHzPerS;
    double startSeconds;
};

constexpr Crowd kCrowd[] = {
    {500.0, 0.0, 0.0, 0.0},    {565.0, -20.0, 0.0, 1.0},  {700.0, -8.0, 1.0, 2.0},
    {835.0, -3.0, 0.0, 0.5},   {900.0, -20.0, 0.0, 3.0},  {1100.0, -12.0, 0.0, 1.5},
    {1300.0, -18.0, 1.0, 0.0}, {1435.0, -6.0, 0.0, 2.5},  {1600.0, -15.0, 0.0, 1.0},
    {1800.0, 0.0, 0.0, 3.5},   {2100.0, -10.0, 0.0, 0.5}, {2400.0, -20.0, 0.0, 2.0},
};
constexpr double kCrowdSnrDb = -6.0;

// One transmission into the mix from startSeconds on, its carrier moved
// between the sound card's 512-sample blocks; returns its mean keyed power.
double addTransmission(const Crowd& c, const ModemSession::Mode& mode, double rate, const QString& text,
                       std::vector<double>* mix)
{
    CPskTxRx modem(mode.modemName);
    modem.Command(ModemCommand::kSetSymbolRate, mode.baudHundredths, 0, 0);
    modem.SetSampleRates(rate, rate);
    modem.SetFrequencies(c.frequency, c.frequency);
    modem.Command(ModemCommand::kSetTxLevel, int(std::lround(1000.0 * std::pow(10.0, c.levelDb / 20.0))), 0, 0);
    ModemSession::TextSource source(text);
    modem.setTxCharSource(&source);
    modem.SetTransmit(1);
    std::vector<qint16> one;
    qint16 block[512];
    for (size_t at = size_t(c.startSeconds * rate); at + 512 <= mix->size(); at += 512) {
        const double f = c.frequency + c.driftHzPerS * double(one.size()) / rate;
        modem.SetFrequencies(f, f);
        const bool ended = modem.GenerateTxSamples(block, 512) == 0;
        one.insert(one.end(), block, block + 512);
        for (int i = 0; i < 512; ++i)
            (*mix)[at + size_t(i)] += block[i];
        if (ended)
            break;
    }
    modem.SetTransmit(0);
    modem.setTxCharSource(nullptr);
    return Bench::signalPower(one);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    ModemSession::PrivateSettings settings;
    if (!settings.isValid()) {
        std::fprintf(stderr, "bench_modem_throughput: cannot create a temporary settings folder\n");
        return 1;
    }
    settings.setCharSet(0);

    std::printf("Modem throughput: seconds of audio per CPU second (higher is better; 1 = real time)\n\n");
    std::printf("| mode    | rate  | audio s | tx x real time | rx x real time | text ok |\n");
    std::printf("|---------|-------|---------|----------------|----------------|---------|\n");
    for (const Case& c : kCases) {
        ModemSession::Mode mode;
        ModemSession::parseMode(QString::fromLatin1(c.mode), &mode);
        const QString text = Bench::qsoText(int(kAudioSeconds * mode.baud() / kBitsPerChar), 1);

        ModemSession::TxParams tx;
        tx.mode = mode;
        tx.frequency = 1500.0;
        tx.sampleRate = c.rate;
        std::vector<qint16> audio;
        double txCpu = 1e30;
        for (int i = 0; i < kRepeats; ++i) {
            const double t0 = Bench::cpuSeconds();
            audio = ModemSession::transmit(tx, text);
            txCpu = std::min(txCpu, Bench::cpuSeconds() - t0);
        }
        const double seconds = double(audio.size()) / c.rate;

        ModemSession::RxParams rx;
        rx.mode = mode;
        rx.frequency = 1500.0;
        rx.sampleRate = c.rate;
        rx.afc = true;
        double rxCpu = 1e30;
        QString decoded;
        for (int i = 0; i < kRepeats; ++i) {
            decoded.clear();
            ModemSession::Receiver receiver(rx, [&decoded](QChar ch) { decoded += ch; });
            const double t0 = Bench::cpuSeconds();
            receiver.feed(audio.data(), audio.size());
            receiver.finish();
            rxCpu = std::min(rxCpu, Bench::cpuSeconds() - t0);
        }
        std::printf("| %-7s | %5d | %7.1f | %14.0f | %14.0f | %-7s |\n", c.mode, c.rate, seconds,
                    seconds / std::max(txCpu, 1e-9), seconds / std::max(rxCpu, 1e-9),
                    decoded.contains(text) ? "yes" : "NO");
    }

    constexpr int kSignals = 30;
    constexpr double kRate = 11025.0;
    ModemSession::Mode bpsk31;
    ModemSession::parseMode(QStringLiteral("BPSK31"), &bpsk31);
    std::vector<double> mix(size_t(30.0 * kRate), 0.0);
    std::vector<QString> texts;
    for (int k = 0; k < kSignals; ++k) {
        ModemSession::TxParams tx;
        tx.mode = bpsk31;
        tx.frequency = 300.0 + 100.0 * k;
        tx.level = 300; // the sum of thirty stays well inside 16 bits
        texts.push_back(Bench::qsoText(25, unsigned(k + 7)));
        const std::vector<qint16> one = ModemSession::transmit(tx, texts.back());
        for (size_t i = 0; i < one.size() && i < mix.size(); ++i)
            mix[i] += one[i];
    }
    std::vector<qint16> band(mix.begin(), mix.end());
    band = Bench::withNoise(band, 15.0, kRate, 11);
    SignalBank bank;
    bank.setMode(*bpsk31.table);
    const double t0 = Bench::cpuSeconds();
    for (size_t at = 0; at + 1024 <= band.size(); at += 1024)
        bank.feed(band.data() + at, 1024);
    const double cpu = Bench::cpuSeconds() - t0;
    int found = 0, copied = 0;
    for (const SignalBank::Signal& sig : bank.signalList()) {
        ++found;
        const int k = int(std::lround((sig.frequency - 300.0) / 100.0));
        if (k >= 0 && k < kSignals && sig.text.contains(texts[size_t(k)]))
            ++copied;
    }
    std::printf("\nSignal bank: %d BPSK31 signals, %.0f s at %.0f Hz: %.1f %% of one core; "
                "%d found, %d texts ok\n",
                kSignals, band.size() / kRate, kRate, 100.0 * cpu / (band.size() / kRate), found, copied);

    // What the bank's signals cost in memory: as many channels as it holds
    // at most, each built as the bank builds it and fed ten seconds of the
    // band, so that every buffer it uses has been touched; and the same for
    // whole transceivers, what each signal cost before it had a channel.
    {
        struct Quiet : ChannelOutput
        {
            void channelChar(QChar) override {}
        } quiet;
        const std::vector<qint16> audio(band.begin(), band.begin() + std::ptrdiff_t(10 * kRate));
        long before = residentKiB();
        std::vector<std::unique_ptr<ReceiveChannel>> channels;
        for (int k = 0; k < SignalBank::kMaxSignals; ++k) {
            channels.push_back(std::make_unique<ReceiveChannel>(false, 0, &quiet));
            ReceiveChannel& c = *channels.back();
            c.setBaud(bpsk31.baud());
            c.setSampleRate(kRate);
            c.setFrequency(300.0 + 50.0 * k);
            c.setAfc(true);
            for (size_t at = 0; at + 1024 <= audio.size(); at += 1024) {
                c.observe(audio.data() + at, 1024);
                c.process(audio.data() + at, 1024, false);
            }
        }
        const double added = (residentKiB() - before) / 1024.0;
        before = residentKiB();
        std::vector<std::unique_ptr<CPskTxRx>> modems;
        for (int k = 0; k < SignalBank::kMaxSignals; ++k) {
            modems.push_back(std::make_unique<CPskTxRx>(bpsk31.modemName));
            modems.back()->SetSampleRates(kRate, kRate);
            modems.back()->ReceiveSamples(audio.data(), 1024);
        }
        const double transceivers = (residentKiB() - before) / 1024.0;
        // Dropping them all, as clearing the bank does.
        QElapsedTimer timer;
        timer.start();
        channels.clear();
        const double channelsMs = timer.nsecsElapsed() / 1e6;
        timer.start();
        modems.clear();
        const double modemsMs = timer.nsecsElapsed() / 1e6;
        std::printf("Signal bank memory: %d channels add %.1f MiB (%.2f MiB each); as transceivers %.1f MiB\n"
                    "Dropping them: channels %.1f ms, transceivers %.1f ms\n",
                    SignalBank::kMaxSignals, added, added / SignalBank::kMaxSignals, transceivers, channelsMs, modemsMs);
    }

    // The crowded band, fed to the bank the way decode --all does.
    std::vector<double> crowd(size_t(45.0 * kRate), 0.0);
    std::vector<QString> crowdTexts;
    double weakest = 1e30;
    for (size_t k = 0; k < std::size(kCrowd); ++k) {
        crowdTexts.push_back(Bench::qsoText(100, unsigned(101 + k)));
        weakest = std::min(weakest, addTransmission(kCrowd[k], bpsk31, kRate, crowdTexts.back(), &crowd));
    }
    const double variance = weakest / std::pow(10.0, kCrowdSnrDb / 10.0) * (kRate / 2.0) / 2500.0;
    std::mt19937 rng(17);
    std::normal_distribution<double> gauss(0.0, std::sqrt(variance));
    double power = 0.0;
    for (double& x : crowd) {
        x += gauss(rng);
        power += x * x;
    }
    const double gain = 3000.0 / std::sqrt(power / double(crowd.size()));
    std::vector<qint16> crowdBand(crowd.size());
    int clipped = 0;
    for (size_t i = 0; i < crowd.size(); ++i) {
        const double v = std::round(crowd[i] * gain);
        clipped += std::abs(v) > 32767.0;
        crowdBand[i] = qint16(std::clamp(v, -32768.0, 32767.0));
    }
    SignalBank crowdBank;
    crowdBank.setSampleRate(kRate);
    crowdBank.setMode(*bpsk31.table);
    std::vector<SignalBank::Signal> reported;
    QObject::connect(&crowdBank, &SignalBank::dropped,
                     [&reported](const SignalBank::Signal& s) { reported.push_back(s); });
    for (size_t at = 0; at < crowdBand.size(); at += ModemSession::Receiver::kBlockSize)
        crowdBank.feed(crowdBand.data() + at,
                       int(std::min<size_t>(ModemSession::Receiver::kBlockSize, crowdBand.size() - at)));
    crowdBank.finish();
    for (const SignalBank::Signal& s : crowdBank.signalList())
        reported.push_back(s);

    std::printf("\nCrowded band: %zu BPSK31 signals, %.0f s at %.0f Hz, weakest at %.0f dB SNR in 2500 Hz, "
                "%d samples clipped\n\n",
                std::size(kCrowd), crowd.size() / kRate, kRate, kCrowdSnrDb, clipped);
    // CER: over the transmission, and over all the text reported (what is
    // decoded from the noise before and after the transmission counts).
    std::printf("| carrier Hz | level dB | drift Hz/s | reported Hz | reports | CER tx %% | CER all %% |\n");
    std::printf("|------------|----------|------------|-------------|---------|----------|-----------|\n");
    std::vector<bool> claimed(reported.size(), false);
    for (size_t k = 0; k < std::size(kCrowd); ++k) {
        const Crowd& c = kCrowd[k];
        // Reported within 15 Hz of where the carrier was at any time.
        const double lo = c.frequency - 15.0;
        const double hi = c.frequency + c.driftHzPerS * (crowd.size() / kRate - c.startSeconds) + 15.0;
        int best = -1, bestDistance = 1 << 30, count = 0;
        for (size_t r = 0; r < reported.size(); ++r) {
            if (reported[r].frequency < lo || reported[r].frequency > hi)
                continue;
            claimed[r] = true;
            ++count;
            const int d = Bench::editDistance(crowdTexts[k], reported[r].text);
            if (d < bestDistance) {
                bestDistance = d;
                best = int(r);
            }
        }
        if (best < 0)
            std::printf("| %10.0f | %8.0f | %10.0f | %11s | %7d | %8s | %9s |\n", c.frequency, c.levelDb,
                        c.driftHzPerS, "none", 0, "-", "-");
        else
            std::printf("| %10.0f | %8.0f | %10.0f | %11.1f | %7d | %8.2f | %9.2f |\n", c.frequency, c.levelDb,
                        c.driftHzPerS, reported[size_t(best)].frequency, count,
                        100.0 * Bench::trimmedDistance(crowdTexts[k], reported[size_t(best)].text) / crowdTexts[k].size(),
                        100.0 * bestDistance / crowdTexts[k].size());
    }
    int extra = 0;
    for (size_t r = 0; r < reported.size(); ++r) {
        if (claimed[r])
            continue;
        ++extra;
        std::printf("Reported where no signal is: %.1f Hz: %s\n", reported[r].frequency,
                    qPrintable(reported[r].text.left(60)));
    }
    std::printf("%d reported where no signal is\n", extra);
    return 0;
}
