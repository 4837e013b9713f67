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
// how many texts came through.

#include "benchcommon.h"
#include "modem/signalbank.h"
#include "tools/cli/modemsession.h"

#include <QCoreApplication>

#include <cmath>
#include <cstdio>

namespace {

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
    bank.setMode(bpsk31.modemName, bpsk31.baudHundredths);
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
    return 0;
}
