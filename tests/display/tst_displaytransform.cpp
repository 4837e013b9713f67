// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/fft.h"
#include "displaytesthelpers.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

using namespace DisplayTest;

namespace {

using Frame = std::array<float, kBlock>;

// Bins 0 ... 1024 of the frame by the defining sum, in double.
std::vector<std::complex<double>> directDft(const Frame& frame)
{
    std::vector<std::complex<double>> twiddle(kBlock);
    for (int k = 0; k < kBlock; ++k)
        twiddle[k] = std::polar(1.0, -2.0 * M_PI * k / kBlock);
    std::vector<std::complex<double>> bins(kBlock / 2 + 1);
    for (int b = 0; b <= kBlock / 2; ++b) {
        std::complex<double> sum;
        for (int n = 0; n < kBlock; ++n)
            sum += double(frame[n]) * twiddle[(size_t(n) * b) % kBlock];
        bins[b] = sum;
    }
    return bins;
}

// Hann window computed directly, independent of the waterfall's table.
void hann(Frame& frame)
{
    for (int n = 0; n < kBlock; ++n)
        frame[n] = float(frame[n] * 0.5 * (1.0 - std::cos(2.0 * M_PI * n / kBlock)));
}

Frame noise(unsigned seed, double amplitude)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
    Frame frame;
    for (float& x : frame)
        x = float(uniform(random));
    return frame;
}

std::array<float, Cfft::kBinCount> levelsOf(Cfft& fft, Frame frame)
{
    std::array<float, Cfft::kBinCount> levels;
    levels.fill(-1000.0f);
    fft.process(frame.data(), 0, Cfft::kBinCount - 1, 0.5f, levels.data());
    return levels;
}

} // namespace

class TestDisplayTransform : public QObject
{
    Q_OBJECT
private slots:
    void silenceGivesAlmostZero();
    void dcNeverReachesBinZero_data();
    void dcNeverReachesBinZero();
    void windowedSinePeaksOnItsBin_data();
    void windowedSinePeaksOnItsBin();
    void fullScaleSineReachesTopLevel();
    void binsAgreeWithDirectDft_data();
    void binsAgreeWithDirectDft();
    void levelsRiseHalfAUnitPerDecadeOfPower();
    void onlyRequestedRangeWritten();
};

void TestDisplayTransform::silenceGivesAlmostZero()
{
    Cfft fft;
    const auto levels = levelsOf(fft, Frame{});
    QCOMPARE(levels[0], 0.0f);
    for (int b = 1; b < Cfft::kBinCount; ++b) {
        QVERIFY2(std::abs(levels[b]) < 1e-6f, qPrintable(QString::number(b)));
        QVERIFY(levels[b] > 0.0f); // the floor constant sits just below log10 of the offset
    }
}

void TestDisplayTransform::dcNeverReachesBinZero_data()
{
    QTest::addColumn<double>("dc");
    QTest::addColumn<double>("toneAmplitude");
    QTest::newRow("pure dc") << 30000.0 << 0.0;
    QTest::newRow("negative dc") << -12345.0 << 0.0;
    QTest::newRow("dc with tone") << 8000.0 << 20000.0;
}

void TestDisplayTransform::dcNeverReachesBinZero()
{
    QFETCH(double, dc);
    QFETCH(double, toneAmplitude);
    Frame frame = tone(57.0, toneAmplitude);
    for (float& x : frame)
        x += float(dc);
    Cfft fft;
    QCOMPARE(levelsOf(fft, frame)[0], 0.0f);
}

void TestDisplayTransform::windowedSinePeaksOnItsBin_data()
{
    QTest::addColumn<double>("bin");
    QTest::addColumn<double>("phase");
    QTest::newRow("bin 100") << 100.0 << 0.0;
    QTest::newRow("bin 100, sine phase") << 100.0 << -M_PI / 2;
    QTest::newRow("bin 1") << 1.0 << 0.3;
    QTest::newRow("bin 512") << 512.0 << 1.0;
    QTest::newRow("bin 1023") << 1023.0 << 0.0;
    QTest::newRow("bin 333.2") << 333.2 << 0.0;
}

void TestDisplayTransform::windowedSinePeaksOnItsBin()
{
    QFETCH(double, bin);
    QFETCH(double, phase);
    Frame frame = tone(bin, kFullScale, phase);
    hann(frame);
    Cfft fft;
    const auto levels = levelsOf(fft, frame);
    const auto peak = std::max_element(levels.begin(), levels.end()) - levels.begin();
    QCOMPARE(int(peak), int(std::lround(bin)));
}

void TestDisplayTransform::fullScaleSineReachesTopLevel()
{
    // A full-scale Hann-windowed sine on a bin centre is the display's top:
    // ten decades of power above the floor, shown as 5 after the halving.
    Frame frame = tone(100.0, kFullScale, -M_PI / 2);
    hann(frame);
    Cfft fft;
    QVERIFY(std::abs(levelsOf(fft, frame)[100] - 5.0f) < 1e-4f);
}

void TestDisplayTransform::binsAgreeWithDirectDft_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("full-scale noise") << 0;
    QTest::newRow("tones and dc") << 1;
    QTest::newRow("impulse") << 2;
    QTest::newRow("quiet noise") << 3;
}

void TestDisplayTransform::binsAgreeWithDirectDft()
{
    QFETCH(int, kind);
    Frame frame{};
    switch (kind) {
    case 0:
        frame = noise(1, kFullScale);
        break;
    case 1: {
        const Frame a = tone(37.3, 12000.0, 0.2);
        const Frame b = tone(700.0, 9000.0, 1.1);
        for (int n = 0; n < kBlock; ++n)
            frame[n] = a[n] + b[n] + 3000.0f;
        break;
    }
    case 2:
        frame[17] = 32767.0f;
        break;
    default:
        frame = noise(7, 3.0);
        break;
    }
    const auto expected = directDft(frame);
    double energy = 0.0;
    for (const auto& x : expected)
        energy += std::norm(x);
    const double rms = std::sqrt(energy / expected.size());
    // Single-precision rounding through eleven stages of a 2048-point
    // transform stays far below this; a wrong bin is off by about rms.
    const double tolerance = 2e-6 * rms * std::log2(kBlock);

    Frame packed = frame;
    std::array<float, Cfft::kBinCount> levels{};
    Cfft fft;
    QCOMPARE(fft.process(packed.data(), 0, Cfft::kBinCount - 1, 0.5f, levels.data()), 0);
    QVERIFY(std::abs(packed[0] - expected[0].real()) <= tolerance);
    QVERIFY(std::abs(packed[1] - expected[kBlock / 2].real()) <= tolerance);
    for (int b = 1; b < Cfft::kBinCount; ++b) {
        // The sign convention of the imaginary part is free.
        const double re = packed[2 * b];
        const double im = std::abs(packed[2 * b + 1]);
        QVERIFY2(std::abs(re - expected[b].real()) <= tolerance
                     && std::abs(im - std::abs(expected[b].imag())) <= tolerance,
                 qPrintable(QStringLiteral("bin %1: %2%3i against %4%5i")
                                .arg(b)
                                .arg(re)
                                .arg(packed[2 * b + 1], 0, 'g', 8)
                                .arg(expected[b].real())
                                .arg(expected[b].imag(), 0, 'g', 8)));
    }
}

void TestDisplayTransform::levelsRiseHalfAUnitPerDecadeOfPower()
{
    // Ten times the amplitude is a hundred times the power: one unit more
    // after halving, wherever the bin stands well above the noise floor.
    const Frame quiet = noise(3, 2000.0);
    Frame loud;
    std::transform(quiet.begin(), quiet.end(), loud.begin(), [](float x) { return 10.0f * x; });
    const auto power = directDft(quiet);
    Cfft fft;
    const auto low = levelsOf(fft, quiet);
    const auto high = levelsOf(fft, loud);
    int checked = 0;
    for (int b = 1; b < Cfft::kBinCount; ++b) {
        if (std::norm(power[b]) < 1e9)
            continue;
        ++checked;
        QVERIFY2(std::abs(high[b] - low[b] - 1.0f) < 1e-3f, qPrintable(QString::number(b)));
    }
    QVERIFY(checked > 500);
}

void TestDisplayTransform::onlyRequestedRangeWritten()
{
    Frame frame = tone(40.0, 10000.0);
    std::array<float, Cfft::kBinCount> destination;
    destination.fill(-7.0f);
    Cfft fft;
    fft.process(frame.data(), 30, 50, 1.0f, destination.data());
    for (int i = 0; i < Cfft::kBinCount; ++i) {
        if (i < 30 || i > 50)
            QCOMPARE(destination[i], -7.0f);
        else
            QVERIFY(destination[i] > 0.0f);
    }
    // A scale of 1 shows twice what the waterfall's 0.5 shows.
    std::array<float, Cfft::kBinCount> half{};
    frame = tone(40.0, 10000.0);
    fft.process(frame.data(), 0, Cfft::kBinCount - 1, 0.5f, half.data());
    QVERIFY(std::abs(destination[40] - 2.0f * half[40]) < 1e-5f);
}

QTEST_GUILESS_MAIN(TestDisplayTransform)
#include "tst_displaytransform.moc"
