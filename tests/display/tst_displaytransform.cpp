// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The display transform: the level of a full-scale tone and the raw bins against a direct DFT.
#include "display/fft.h"
#include "displaytesthelpers.h"

#include <QTest>

#include <algorithm>
#include <complex>
#include <random>

using namespace DisplayTest;

class TestDisplayTransform : public QObject
{
    Q_OBJECT
private slots:
    void fullScaleSineIsFiveUnitsAboveTheFloor();
    void binsAgreeWithDirectDft();
};

void TestDisplayTransform::fullScaleSineIsFiveUnitsAboveTheFloor()
{
    Block frame = tone(100.0, kFullScale, -M_PI / 2);
    for (int n = 0; n < kBlock; ++n) // Hann window, independent of the waterfall's table
        frame[n] = float(frame[n] * 0.5 * (1.0 - std::cos(2.0 * M_PI * n / kBlock)));
    std::array<float, Cfft::kBinCount> levels;
    levels.fill(-1.0f);
    Cfft().process(frame.data(), 0, Cfft::kBinCount - 1, 0.5f, levels.data());
    QVERIFY(*std::min_element(levels.begin(), levels.end()) >= 0.0f); // every bin written, the top one too
    QCOMPARE(int(std::max_element(levels.begin(), levels.end()) - levels.begin()), 100);
    // Full scale is ten decades of power above the floor, halved to 5.
    QVERIFY(std::abs(levels[100] - 5.0f) < 1e-4f);
}

void TestDisplayTransform::binsAgreeWithDirectDft()
{
    std::mt19937 random(1);
    std::uniform_real_distribution<double> uniform(-kFullScale, kFullScale);
    Block frame;
    for (float& x : frame)
        x = float(uniform(random));

    std::vector<std::complex<double>> expected(kBlock / 2 + 1);
    double energy = 0.0;
    for (int b = 0; b <= kBlock / 2; ++b) {
        for (int n = 0; n < kBlock; ++n)
            expected[b] += double(frame[n]) * std::polar(1.0, -2.0 * M_PI * ((size_t(n) * b) % kBlock) / kBlock);
        energy += std::norm(expected[b]);
    }
    // Float rounding over eleven stages stays well inside; a wrong bin is off by about the rms.
    const double tolerance = 2e-6 * std::sqrt(energy / expected.size()) * 11;

    std::array<float, Cfft::kBinCount> levels{};
    Cfft fft;
    QCOMPARE(fft.process(frame.data(), 0, Cfft::kBinCount - 1, 0.5f, levels.data()), 0);
    QVERIFY(std::abs(frame[0] - expected[0].real()) <= tolerance);
    QVERIFY(std::abs(frame[1] - expected[kBlock / 2].real()) <= tolerance);
    for (int b = 1; b < Cfft::kBinCount; ++b) // the sign of the imaginary part is free
        QVERIFY2(std::abs(frame[2 * b] - expected[b].real()) <= tolerance
                     && std::abs(std::abs(frame[2 * b + 1]) - std::abs(expected[b].imag())) <= tolerance,
                 qPrintable(QString::number(b)));
}

QTEST_GUILESS_MAIN(TestDisplayTransform)
#include "tst_displaytransform.moc"
