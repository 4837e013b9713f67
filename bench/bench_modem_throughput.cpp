// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How much faster than real time the modem runs: for each mode, a minute of
// transmission is generated (key-up, text, tail) and then decoded in the
// 1024-sample blocks the sound card delivers. Prints seconds of audio per
// CPU second for both directions, and checks that the text came through so
// that a broken decoder cannot post a good number.

#include "benchcommon.h"
#include "tools/cli/modemsession.h"

#include <QCoreApplication>

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
    return 0;
}
