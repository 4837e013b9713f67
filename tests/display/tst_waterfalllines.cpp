// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/stationstate.h"
#include "display/spectrumwidget.h"
#include "displaytesthelpers.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

using namespace DisplayTest;

namespace {

constexpr int kWidth = SpectrumWidget::kImageWidth;

int pixel(const SpectrumWidget& w, int row, int column)
{
    return w.currentLines()[row * kWidth + column];
}

int peakColumn(const SpectrumWidget& w, int row)
{
    const quint8* line = w.currentLines() + row * kWidth;
    return int(std::max_element(line, line + kWidth) - line);
}

// Well below full scale, so that only the tone's own column is brightest.
constexpr double kModerate = kFullScale / 300.0;

void feed(SpectrumWidget& w, std::array<float, kBlock> block)
{
    w.updateWaterfall(block.data());
}

} // namespace

class TestWaterfallLines : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void paletteEntries_data();
    void paletteEntries();
    void levelToIndex_data();
    void levelToIndex();
    void windowIsPeriodicHann();
    void settingsRead_data();
    void settingsRead();
    void sampleRateSetsHalfRate_data();
    void sampleRateSetsHalfRate();
    void emptyBeforeFirstBlock();
    void linesScrollDown();
    void levelsMapThroughBrightnessAndContrast();
    void sliderChangesOnlyLaterLines();
    void standsStillWhileTransmittingWithEcho();
    void movesWhileTransmittingWithoutEcho();
    void imageWrapsTheLinesWithoutCopy();

private:
    std::unique_ptr<ScopedSettings> m_settings;
};

void TestWaterfallLines::init()
{
    m_settings = std::make_unique<ScopedSettings>();
    StationState::setTransmitting(false);
    StationState::setTxEchoEnabled(true);
}

void TestWaterfallLines::cleanup()
{
    StationState::setTransmitting(false);
    StationState::setTxEchoEnabled(true);
    m_settings.reset();
}

void TestWaterfallLines::paletteEntries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("argb");
    QTest::newRow("0 black") << 0 << 0xFF000000u;
    QTest::newRow("1 black again") << 1 << 0xFF000000u;
    QTest::newRow("23 second base") << 23 << 0xFF000040u;
    QTest::newRow("24 second base again") << 24 << 0xFF000040u;
    QTest::newRow("161 yellow") << 161 << 0xFFFFFF00u;
    QTest::newRow("183 near red") << 183 << 0xFFFF3C00u;
    QTest::newRow("184 red") << 184 << 0xFFFF3300u;
}

void TestWaterfallLines::paletteEntries()
{
    QFETCH(int, index);
    QFETCH(uint, argb);
    const QList<QRgb> palette = SpectrumWidget::makePalette();
    QCOMPARE(palette.size(), 185);
    QCOMPARE(palette.at(index), QRgb(argb));
    for (QRgb c : palette)
        QCOMPARE(qAlpha(c), 255);

    SpectrumWidget widget;
    QCOMPARE(widget.colorTable(), palette);
}

void TestWaterfallLines::levelToIndex_data()
{
    // At brightness 20 and contrast 50 a display level of L/2 shows as
    // palette index floor(25 L - 20), clipped to 0 ... 184.
    QTest::addColumn<float>("logPower");
    QTest::addColumn<int>("index");
    QTest::newRow("silence") << 0.0f << 0;
    QTest::newRow("negative") << -3.0f << 0;
    QTest::newRow("at threshold") << 0.8f << 0;
    QTest::newRow("1.1") << 1.1f << 7;
    QTest::newRow("2.3") << 2.3f << 37;
    QTest::newRow("4.06") << 4.06f << 81;
    QTest::newRow("7.38") << 7.38f << 164;
    QTest::newRow("8.18 last below top") << 8.18f << 184; // 184.5
    QTest::newRow("8.3 clipped") << 8.3f << 184;
    QTest::newRow("full scale") << 10.0f << 184;
}

void TestWaterfallLines::levelToIndex()
{
    QFETCH(float, logPower);
    QFETCH(int, index);
    QCOMPARE(SpectrumWidget::levelToIndex(0.5f * logPower, 20, 50), index);
}

void TestWaterfallLines::windowIsPeriodicHann()
{
    std::array<float, kBlock> block;
    block.fill(1.0f);
    SpectrumWidget::applyWindow(block.data());
    for (int i = 0; i < kBlock; ++i) {
        const double expected = 0.5 * (1.0 - std::cos(2.0 * M_PI * i / kBlock));
        QVERIFY2(std::abs(block[i] - expected) < 1e-6, qPrintable(QString::number(i)));
    }
    QCOMPARE(block[0], 0.0f);
    QCOMPARE(block[1024], 1.0f);
    QCOMPARE(block[512], 0.5f);
}

void TestWaterfallLines::settingsRead_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<int>("brightness");
    QTest::addColumn<int>("contrast");
    QTest::addColumn<double>("rx");
    QTest::addColumn<double>("tx");
    QTest::addColumn<int>("halfRate");
    QTest::newRow("nothing stored") << QVariantMap() << 20 << 50 << 1000.0 << 1000.0 << 5512;
    QTest::newRow("everything stored")
        << QVariantMap{{"Brightness", 33},  {"Contrast", 71},
                       {"RxFq", 1234.5},    {"TxFq", 1500.0},
                       {"Audio/Input/SampleRate", 8001}}
        << 33 << 71 << 1234.5 << 1500.0 << 4000;
}

void TestWaterfallLines::settingsRead()
{
    QFETCH(QVariantMap, stored);
    QFETCH(int, brightness);
    QFETCH(int, contrast);
    QFETCH(double, rx);
    QFETCH(double, tx);
    QFETCH(int, halfRate);
    ScopedSettings settings(stored);
    SpectrumWidget widget;
    QCOMPARE(widget.brightness(), brightness);
    QCOMPARE(widget.contrast(), contrast);
    QCOMPARE(widget.rx(), rx);
    QCOMPARE(widget.tx(), tx);
    QCOMPARE(widget.halfRate(), halfRate);
    QVERIFY(widget.minimumHeight() >= 50);
}

void TestWaterfallLines::sampleRateSetsHalfRate_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("halfRate");
    QTest::newRow("11025") << 11025 << 5512;
    QTest::newRow("11024 after -20 ppm") << 11024 << 5512;
    QTest::newRow("48000") << 48000 << 24000;
    QTest::newRow("8000") << 8000 << 4000;
}

void TestWaterfallLines::sampleRateSetsHalfRate()
{
    QFETCH(int, rate);
    QFETCH(int, halfRate);
    SpectrumWidget widget;
    widget.setSampleRate(rate);
    QCOMPARE(widget.halfRate(), halfRate);
}

void TestWaterfallLines::emptyBeforeFirstBlock()
{
    SpectrumWidget widget;
    QVERIFY(widget.currentLines() == nullptr);
    QVERIFY(widget.waterfallImage().isNull());
}

void TestWaterfallLines::linesScrollDown()
{
    SpectrumWidget widget;
    feed(widget, tone(200.0, kModerate));
    QCOMPARE(peakColumn(widget, 0), 200);
    feed(widget, tone(400.0, kModerate));
    feed(widget, tone(600.0, kModerate));
    QCOMPARE(peakColumn(widget, 0), 600);
    QCOMPARE(peakColumn(widget, 1), 400);
    QCOMPARE(peakColumn(widget, 2), 200);
    // Rows not yet reached by any line stay at the first palette entry.
    for (int c = 0; c < kWidth; ++c)
        QCOMPARE(pixel(widget, 3, c), 0);

    // After 1024 more lines the first ones have left the bottom.
    for (int i = 0; i < 1023; ++i)
        feed(widget, {});
    QCOMPARE(peakColumn(widget, 1023), 600);
    feed(widget, {});
    for (int c = 0; c < kWidth; ++c)
        QCOMPARE(pixel(widget, 1023, c), 0);
}

void TestWaterfallLines::levelsMapThroughBrightnessAndContrast()
{
    SpectrumWidget widget; // brightness 20, contrast 50
    // Full scale reaches the top colour; 40 dB below full scale is four
    // decades of power, two display units, 100 palette steps lower.
    auto block = tone(100.0, kFullScale, -M_PI / 2);
    const auto quiet = tone(300.0, kFullScale / 100.0, -M_PI / 2);
    for (int n = 0; n < kBlock; ++n)
        block[n] += quiet[n];
    feed(widget, block);
    QCOMPARE(pixel(widget, 0, 100), 184);
    QVERIFY(std::abs(pixel(widget, 0, 300) - 130) <= 1);
    // Silence stays black.
    QCOMPARE(pixel(widget, 0, 700), 0);
}

void TestWaterfallLines::sliderChangesOnlyLaterLines()
{
    SpectrumWidget widget;
    feed(widget, {});
    QCOMPARE(pixel(widget, 0, 500), 0);
    widget.slotBrightness(99); // silence now clears the threshold
    widget.slotContrast(10);
    QCOMPARE(pixel(widget, 0, 500), 0);
    feed(widget, {});
    QVERIFY(pixel(widget, 0, 500) > 0);
    QCOMPARE(pixel(widget, 1, 500), 0);
}

void TestWaterfallLines::standsStillWhileTransmittingWithEcho()
{
    SpectrumWidget widget;
    StationState::setTransmitting(true);
    StationState::setTxEchoEnabled(true);
    auto block = tone(100.0, kFullScale);
    const auto original = block;
    widget.updateWaterfall(block.data());
    QVERIFY(widget.currentLines() == nullptr);
    QVERIFY(block == original); // not even windowed

    StationState::setTransmitting(false);
    feed(widget, tone(100.0, kModerate));
    QCOMPARE(peakColumn(widget, 0), 100);
    std::vector<quint8> before(widget.currentLines(), widget.currentLines() + kWidth * kWidth);
    StationState::setTransmitting(true);
    for (int i = 0; i < 5; ++i)
        feed(widget, tone(300.0, kModerate));
    QVERIFY(std::equal(before.begin(), before.end(), widget.currentLines()));
}

void TestWaterfallLines::movesWhileTransmittingWithoutEcho()
{
    SpectrumWidget widget;
    StationState::setTransmitting(true);
    StationState::setTxEchoEnabled(false);
    feed(widget, tone(250.0, kModerate));
    QVERIFY(widget.currentLines() != nullptr);
    QCOMPARE(peakColumn(widget, 0), 250);
}

void TestWaterfallLines::imageWrapsTheLinesWithoutCopy()
{
    SpectrumWidget widget;
    feed(widget, tone(123.0, kFullScale));
    const QImage image = widget.waterfallImage();
    QCOMPARE(image.format(), QImage::Format_Indexed8);
    QCOMPARE(image.size(), QSize(1024, 1024));
    QCOMPARE(image.constBits(), widget.currentLines());
    QCOMPARE(image.colorTable(), widget.colorTable());
    QCOMPARE(image.pixelIndex(123, 0), 184);
    QCOMPARE(QRgb(image.pixel(123, 0)), QRgb(0xFFFF3300));
}

QTEST_MAIN(TestWaterfallLines)
#include "tst_waterfalllines.moc"
