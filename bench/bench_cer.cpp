// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Character error rate against signal-to-noise ratio: a long text is sent
// once per mode, buried in white Gaussian noise at each SNR (signal power over
// noise power in 2500 Hz, the usual SSB receiver bandwidth) and decoded with
// the AFC on, as an operator would. CER = edit distance from the sent text to
// the decoded text, per sent character.
//
// Then the AFC's acquisition: the receiver starts mistuned below the carrier
// by 0 to 40 Hz, as after a click beside a trace. For each mode and offset,
// clean and at -6 dB: the time from the start of the transmission until the
// receiver has locked (the first of 8 decoded characters in a row that match
// the sent text), and the CER of everything decoded from there on. The row
// at 0 Hz is the receiver's own delay (key-up, idle preamble, filters).
//
// Fixed seeds: every run prints the same tables.

#include "benchcommon.h"
#include "tools/cli/modemsession.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace {

const char* const kModes[] = {"BPSK31", "BPSK63", "QPSK31"};
constexpr double kSnrs[] = {-16.0, -14.0, -12.0, -10.0, -8.0, -6.0, -3.0, 0.0, 6.0};
constexpr int kTextLength = 2000;
constexpr double kRate = 11025.0;
constexpr double kCarrier = 1500.0;

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

    const QString text = Bench::qsoText(kTextLength, 2026);
    const int modeCount = int(std::size(kModes));
    const int snrCount = int(std::size(kSnrs));
    std::vector<double> cer(size_t(modeCount * snrCount));
    std::vector<double> audioSeconds(static_cast<size_t>(modeCount));
    const double start = Bench::cpuSeconds();

    for (int m = 0; m < modeCount; ++m) {
        ModemSession::Mode mode;
        ModemSession::parseMode(QString::fromLatin1(kModes[m]), &mode);
        ModemSession::TxParams tx;
        tx.mode = mode;
        tx.frequency = kCarrier;
        tx.sampleRate = kRate;
        const std::vector<qint16> clean = ModemSession::transmit(tx, text);
        audioSeconds[size_t(m)] = clean.size() / kRate;

        for (int s = 0; s < snrCount; ++s) {
            const std::vector<qint16> noisy = Bench::withNoise(clean, kSnrs[s], kRate, unsigned(1000 + 17 * s + m));
            ModemSession::RxParams rx;
            rx.mode = mode;
            rx.frequency = kCarrier;
            rx.sampleRate = kRate;
            rx.afc = true;
            QString decoded;
            {
                ModemSession::Receiver receiver(rx, [&decoded](QChar ch) { decoded += ch; });
                receiver.feed(noisy.data(), noisy.size());
                receiver.finish();
            }
            cer[size_t(m * snrCount + s)] = Bench::characterErrorRate(text, decoded);
        }
    }

    std::printf("Character error rate vs SNR (noise in 2500 Hz), %d characters per point, AFC on\n\n",
                int(text.size()));
    std::printf("| SNR dB |");
    for (const char* mode : kModes)
        std::printf(" %-8s |", mode);
    std::printf("\n|--------|");
    for (int m = 0; m < modeCount; ++m)
        std::printf("----------|");
    std::printf("\n");
    for (int s = 0; s < snrCount; ++s) {
        std::printf("| %+6.0f |", kSnrs[s]);
        for (int m = 0; m < modeCount; ++m)
            std::printf(" %7.2f%% |", 100.0 * cer[size_t(m * snrCount + s)]);
        std::printf("\n");
    }
    std::printf("\nAudio per point:");
    for (int m = 0; m < modeCount; ++m)
        std::printf(" %s %.0f s;", kModes[m], audioSeconds[size_t(m)]);
    std::printf(" CPU time %.1f s\n", Bench::cpuSeconds() - start);
    // The key-up carrier before the idle reversals reads as a stray
    // character or two, which puts a floor under the clean-signal figures.
    std::printf("A floor of 1 or 2 characters is the key-up carrier, read as a character before the text.\n");

    acquisitionTable();
    return 0;
}
