// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The "Signals" dock in the whole main window (offscreen): 30 BPSK31 signals
// 100 Hz apart in noise reach the window through its sound-card input path,
// 1024 samples every 93 ms as the card delivers them at 11025 Hz, for the
// given seconds; first with the dock hidden, then shown. Prints the
// process's share of one core in both runs (their difference is what the
// dock costs) and the longest the GUI thread's event loop stood still (the
// largest gap between the ticks of a 5 ms timer), and how many of the
// signals the dock lists with their text.
//
//   bench_signaldock [seconds per run, default 30]

#include "app/mainwindow.h"
#include "audio/audioin.h"
#include "benchcommon.h"
#include "core/apppaths.h"
#include "core/settings.h"
#include "modem/psktxrx.h"
#include "modem/signalbankworker.h"
#include "tools/cli/modemsession.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace {

constexpr double kRate = 11025.0;
constexpr int kSignals = 30;
constexpr int kBlock = 1024;

struct Result
{
    double cpuPercent = 0.0;
    double longestGapMs = 0.0;
};

// Feeds the band to the window in real time for seconds.
Result run(MainWindow& w, const std::vector<qint16>& band, size_t* at, int seconds)
{
    Result r;
    QElapsedTimer wall, sinceTick;
    QTimer tick, card;
    tick.setTimerType(Qt::PreciseTimer);
    card.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        r.longestGapMs = std::max(r.longestGapMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    // Blocks due by the wall clock, so a late timer catches up as a card's
    // buffer would.
    qint64 fed = 0;
    QObject::connect(&card, &QTimer::timeout, [&] {
        const qint64 due = qint64(wall.nsecsElapsed() / 1e9 * kRate / kBlock);
        for (; fed < due; ++fed) {
            w.audioIn()->captureBlock(band.data() + *at, kBlock);
            w.slotAudioInputReady(2 * kBlock);
            *at = (*at + kBlock) % (band.size() - kBlock);
        }
    });
    const double cpu0 = Bench::cpuSeconds();
    wall.start();
    sinceTick.start();
    tick.start(5);
    card.start(20);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    r.cpuPercent = 100.0 * (Bench::cpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
    return r;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString morse = QStringLiteral(VELKORA_SOURCE_DIR "/resources/ENG.cwt");
    if (!dir.isValid() || !QDir().mkpath(data) || !QFile::copy(morse, data + QStringLiteral("/ENG.cwt"))) {
        std::fprintf(stderr, "bench_signaldock: cannot lay out a temporary folder with %s\n", qPrintable(morse));
        return 1;
    }
    Settings::setPath(dir.filePath(QStringLiteral("Velkora32.ini")));
    AppPaths::setDataDirectory(data);
    AppPaths::setWritableDirectory(dir.path());

    // The band: long texts, so every signal sends for the whole of both runs.
    std::vector<double> mix(size_t((2 * seconds + 10) * kRate), 0.0);
    std::vector<QString> texts;
    for (int k = 0; k < kSignals; ++k) {
        texts.push_back(Bench::qsoText(int(2 * seconds * 5), unsigned(k + 1)));
        CPskTxRx tx(QStringLiteral("BPSK31"));
        tx.SetSampleRates(kRate, kRate);
        const double f = 300.0 + 100.0 * k;
        tx.SetFrequencies(f, f);
        ModemSession::TextSource source(texts.back());
        tx.setTxCharSource(&source);
        tx.SetTransmit(1);
        qint16 block[512];
        for (size_t at = size_t(k * 0.1 * kRate); at + 512 <= mix.size(); at += 512) {
            if (tx.GenerateTxSamples(block, 512) == 0)
                break;
            for (int i = 0; i < 512; ++i)
                mix[at + size_t(i)] += block[i] / 6.0;
        }
        tx.SetTransmit(0);
        tx.setTxCharSource(nullptr);
    }
    std::vector<qint16> band(mix.size());
    for (size_t i = 0; i < mix.size(); ++i)
        band[i] = qint16(std::clamp(std::round(mix[i]), -32768.0, 32767.0));
    band = Bench::withNoise(band, 10.0, kRate, 7);

    MainWindow w;
    if (!w.startedOk())
        return 1;
    w.show();
    auto* dock = w.findChild<QDockWidget*>(QStringLiteral("Signals"));
    size_t at = 0;
    dock->hide();
    const Result hidden = run(w, band, &at, seconds);
    dock->show();
    const Result shown = run(w, band, &at, seconds);

    int listed = 0, withText = 0;
    for (const SignalBank::Signal& s : w.signalBank()->signalList()) {
        ++listed;
        const int k = int(std::lround((s.frequency - 300.0) / 100.0));
        withText += k >= 0 && k < kSignals && s.text.size() > 20 && texts[size_t(k)].contains(s.text.mid(5, 15));
    }
    std::printf("Signals dock, %d BPSK31 signals at %.0f Hz in real time, %d s per run (whole window, offscreen)\n\n",
                kSignals, kRate, seconds);
    std::printf("| dock   | CPU %% of one core | longest event-loop gap ms |\n");
    std::printf("|--------|-------------------|---------------------------|\n");
    std::printf("| hidden | %17.1f | %25.1f |\n", hidden.cpuPercent, hidden.longestGapMs);
    std::printf("| shown  | %17.1f | %25.1f |\n", shown.cpuPercent, shown.longestGapMs);
    std::printf("\nThe dock costs %.1f %% of one core; it lists %d signals, %d with their text.\n",
                shown.cpuPercent - hidden.cpuPercent, listed, withText);
    return 0;
}
