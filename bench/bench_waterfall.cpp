// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the waterfall costs on the GUI thread: one new line (Hann window,
// 2048-point transform, palette mapping into the history ring) and one paint
// of the widget at a few dock sizes and history depths, rendered offscreen. Both happen
// once per 2048 input samples, every 186 ms at 11025 Hz. Prints microseconds
// per operation (best of several runs, so other processes on a shared machine
// count as little as possible) and the share of that 186 ms budget.

#include "core/settings.h"
#include "display/fft.h"
#include "display/spectrumwidget.h"

#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kBlock = 2048;
constexpr double kBlockMicroseconds = 1e6 * kBlock / 11025.0;
constexpr int kRuns = 5;

// A band with a few signals in noise, so the mapping sees a realistic mix
// of black and coloured pixels.
std::array<float, kBlock> bandBlock(unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 300.0);
    std::array<float, kBlock> block;
    for (int n = 0; n < kBlock; ++n) {
        double x = noise(rng);
        for (double hz : {700.0, 1000.0, 1523.0, 2210.0})
            x += 2000.0 * std::cos(2.0 * M_PI * hz * n / 11025.0);
        block[n] = float(x);
    }
    return block;
}

// Microseconds per call of op, best of kRuns runs of `calls` calls each.
double microsecondsPerCall(int calls, const std::function<void()>& op)
{
    double best = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < calls; ++i)
            op();
        const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / calls);
    }
    return best;
}

void row(const char* what, double us)
{
    std::printf("| %-44s | %9.1f | %6.2f %% |\n", what, us, 100.0 * us / kBlockMicroseconds);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_waterfall: cannot create a temporary settings folder\n");
        return 1;
    }
    Settings::setPath(dir.filePath(QStringLiteral("bench.ini")));

    const auto source = bandBlock(1);
    std::array<float, kBlock> block = source;
    std::array<float, Cfft::kBinCount> levels{};

    std::printf("Waterfall cost per 2048-sample block (budget %.0f us at 11025 Hz)\n\n", kBlockMicroseconds);
    std::printf("| %-44s | %9s | %8s |\n", "operation", "us", "budget");
    std::printf("|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(11, '-').c_str(),
                std::string(10, '-').c_str());

    row("Hann window", microsecondsPerCall(2000, [&] {
            block = source;
            SpectrumWidget::applyWindow(block.data());
        }));
    Cfft fft;
    row("transform and log power (Cfft::process)", microsecondsPerCall(2000, [&] {
            block = source;
            fft.process(block.data(), 0, Cfft::kBinCount - 1, 0.5f, levels.data());
        }));
    volatile int sink = 0;
    row("palette mapping of 1024 levels", microsecondsPerCall(2000, [&] {
            int sum = 0;
            for (float level : levels)
                sum += SpectrumWidget::levelToIndex(level, 20, 50);
            sink = sink + sum;
        }));

    SpectrumWidget widget;
    row("whole line (SpectrumWidget::updateWaterfall)", microsecondsPerCall(200, [&] {
            block = source;
            widget.updateWaterfall(block.data());
        }));

    {
        SpectrumWidget empty; // ruler and markers only
        empty.resize(1024, 87);
        QImage target(empty.size(), QImage::Format_ARGB32_Premultiplied);
        row("paint before the first line, 1024 x 87", microsecondsPerCall(50, [&] { empty.render(&target); }));
    }
    for (const QSize size : {QSize(1024, 87), QSize(1024, 400), QSize(1920, 400), QSize(1920, 1050)}) {
        for (int seconds : {60, 300}) {
            widget.setHistorySeconds(seconds);
            for (int i = 0; i < widget.historyRows(); ++i) { // a full history
                block = source;
                widget.updateWaterfall(block.data());
            }
            widget.resize(size);
            QImage target(widget.size(), QImage::Format_ARGB32_Premultiplied);
            const QByteArray what = QByteArray("paint, ") + QByteArray::number(size.width()) + " x "
                                    + QByteArray::number(size.height()) + ", " + QByteArray::number(seconds) + " s";
            row(what.constData(), microsecondsPerCall(50, [&] { widget.render(&target); }));
        }
    }
    return 0;
}
