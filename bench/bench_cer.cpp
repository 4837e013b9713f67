// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Character error rate against signal-to-noise ratio: a long text is sent
// once per mode, buried in white Gaussian noise at each SNR (signal power over
// noise power in 2500 Hz, the usual SSB receiver bandwidth) and decoded with
// the AFC on, as an operator would. CER = edit distance from the sent text to
// the decoded text, per sent character. Fixed seeds: every run prints the
// same table.

#include "benchcommon.h"
#include "tools/cli/modemsession.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

const char* const kModes[] = {"BPSK31", "BPSK63", "QPSK31"};
constexpr double kSnrs[] = {-16.0, -14.0, -12.0, -10.0, -8.0, -6.0, -3.0, 0.0, 6.0};
constexpr int kTextLength = 2000;
constexpr double kRate = 11025.0;
constexpr double kCarrier = 1500.0;

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
    return 0;
}
