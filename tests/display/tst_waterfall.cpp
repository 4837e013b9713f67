// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The waterfall: palette, levels to colours, scrolling lines, ruler and markers as drawn.
#include "core/stationstate.h"
#include "display/spectrumwidget.h"
#include "displaytesthelpers.h"

#include <QtTest>

#include <algorithm>

using namespace DisplayTest;

namespace {

constexpr int kWidth = SpectrumWidget::kImageWidth;
constexpr double kModerate = kFullScale / 300.0; // only the tone's own column is brightest

void feed(SpectrumWidget& w, Block block) { w.updateWaterfall(block.data()); }
int pixel(const SpectrumWidget& w, int row, int column) { return w.currentLines()[row * kWidth + column]; }
int peakColumn(const SpectrumWidget& w, int row)
{
    const quint8* line = w.currentLines() + row * kWidth;
    return int(std::max_element(line, line + kWidth) - line);
}

QImage render(SpectrumWidget& widget)
{
    widget.resize(1024, 120);
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

bool isWhite(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200; }
bool isBlack(QRgb c) { return qRed(c) < 30 && qGreen(c) < 30 && qBlue(c) < 30; }
bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool isBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }

} // namespace

class TestWaterfall : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void paletteEntries_data();
    void paletteEntries();
    void levelToIndex_data();
    void levelToIndex();
    void settingsRead();
    void linesScrollDownAndMapLevels();
    void sliderChangesOnlyLaterLines();
    void transmitting_data();
    void transmitting();
    void rulerAndMarkers_data();
    void rulerAndMarkers();
    void linesDrawnBelowRuler();

private:
    std::unique_ptr<ScopedSettings> m_settings;
};

void TestWaterfall::init()
{
    m_settings = std::make_unique<ScopedSettings>();
    StationState::setTransmitting(false);
    StationState::setTxEchoEnabled(true);
}

void TestWaterfall::cleanup()
{
    init();
    m_settings.reset();
}

void TestWaterfall::paletteEntries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("argb");
    QTest::newRow("0") << 0 << 0xFF000000u;
    QTest::newRow("1") << 1 << 0xFF000000u;
    QTest::newRow("23") << 23 << 0xFF000040u;
    QTest::newRow("161") << 161 << 0xFFFFFF00u;
    QTest::newRow("183") << 183 << 0xFFFF3C00u;
    QTest::newRow("184") << 184 << 0xFFFF3300u;
}

void TestWaterfall::paletteEntries()
{
    QFETCH(int, index);
    QFETCH(uint, argb);
    const QList<QRgb> palette = SpectrumWidget::makePalette();
    QCOMPARE(palette.size(), 185);
    QCOMPARE(palette.at(index), QRgb(argb));
    QCOMPARE(SpectrumWidget().colorTable(), palette);
}

void TestWaterfall::levelToIndex_data()
{
    // Brightness 20, contrast 50: level L/2 shows as floor(25 L - 20), clipped to 0 ... 184.
    QTest::addColumn<float>("logPower");
    QTest::addColumn<int>("index");
    QTest::newRow("negative") << -3.0f << 0;
    QTest::newRow("at threshold") << 0.8f << 0;
    QTest::newRow("1.1") << 1.1f << 7;
    QTest::newRow("4.06") << 4.06f << 81;
    QTest::newRow("8.18") << 8.18f << 184;
    QTest::newRow("clipped") << 10.0f << 184;
}

void TestWaterfall::levelToIndex()
{
    QFETCH(float, logPower);
    QFETCH(int, index);
    QCOMPARE(SpectrumWidget::levelToIndex(0.5f * logPower, 20, 50), index);
}

void TestWaterfall::settingsRead()
{
    ScopedSettings settings({{"Brightness", 33}, {"Contrast", 71}, {"Audio/Input/SampleRate", 8001}});
    SpectrumWidget w;
    QCOMPARE((QList<int>{w.brightness(), w.contrast(), w.halfRate()}), (QList<int>{33, 71, 4000}));
}

void TestWaterfall::linesScrollDownAndMapLevels()
{
    SpectrumWidget widget;
    feed(widget, tone(200.0, kModerate));
    feed(widget, tone(400.0, kModerate));
    // Full scale is the top colour; 40 dB less is two display units, 100 steps, lower.
    auto block = tone(100.0, kFullScale, -M_PI / 2);
    const auto quiet = tone(300.0, kFullScale / 100.0, -M_PI / 2);
    for (int n = 0; n < kBlock; ++n)
        block[n] += quiet[n];
    feed(widget, block);
    QCOMPARE(pixel(widget, 0, 100), 184);
    QVERIFY(std::abs(pixel(widget, 0, 300) - 130) <= 1);
    QCOMPARE(pixel(widget, 0, 700), 0);
    QCOMPARE(peakColumn(widget, 1), 400);
    QCOMPARE(peakColumn(widget, 2), 200);
    QCOMPARE(*std::max_element(widget.currentLines() + 3 * kWidth, widget.currentLines() + 4 * kWidth), 0);
    for (int i = 0; i < 1021; ++i)
        feed(widget, {});
    QCOMPARE(peakColumn(widget, 1023), 200);
    feed(widget, {}); // the first line leaves the bottom
    QCOMPARE(peakColumn(widget, 1023), 400);
}

void TestWaterfall::sliderChangesOnlyLaterLines()
{
    SpectrumWidget widget;
    feed(widget, {});
    widget.slotBrightness(99); // silence now clears the threshold
    widget.slotContrast(10);
    QCOMPARE(pixel(widget, 0, 500), 0);
    feed(widget, {});
    QVERIFY(pixel(widget, 0, 500) > 0);
    QCOMPARE(pixel(widget, 1, 500), 0);
}

void TestWaterfall::transmitting_data()
{
    QTest::addColumn<bool>("echo");
    QTest::newRow("echo on: stands still") << true;
    QTest::newRow("echo off: moves on") << false;
}

void TestWaterfall::transmitting()
{
    QFETCH(bool, echo);
    SpectrumWidget widget;
    StationState::setTransmitting(true);
    StationState::setTxEchoEnabled(echo);
    feed(widget, tone(100.0, kModerate));
    QCOMPARE(widget.currentLines() == nullptr, echo);
    StationState::setTransmitting(false);
    feed(widget, tone(100.0, kModerate));
    const std::vector<quint8> before(widget.currentLines(), widget.currentLines() + kWidth * kWidth);
    StationState::setTransmitting(true);
    auto block = tone(300.0, kModerate);
    const auto original = block;
    widget.updateWaterfall(block.data());
    QCOMPARE(block == original, echo); // not even windowed
    QCOMPARE(std::equal(before.begin(), before.end(), widget.currentLines()), echo);
}

void TestWaterfall::rulerAndMarkers_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<double>("rx");
    QTest::addColumn<double>("tx");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("11025 Hz") << 11025 << 1000.0 << 2000.0 << QStringList{"1000", "2000", "3000", "4000", "5000"};
    QTest::newRow("8000 Hz") << 8000 << 3000.0 << 1500.0 << QStringList{"1000", "2000", "3000"};
}

void TestWaterfall::rulerAndMarkers()
{
    QFETCH(int, rate);
    QFETCH(double, rx);
    QFETCH(double, tx);
    QFETCH(QStringList, labels);
    const double columnPerHz = 1024.0 / (rate / 2);
    const auto ticks = SpectrumWidget::rulerTicks(rate / 2);
    QCOMPARE(ticks.size(), rate / 200 - 1);
    QStringList seen;
    for (int i = 0; i < ticks.size(); ++i) { // every 100 Hz, longer every 500 Hz, labelled every 1000 Hz
        QVERIFY(std::abs(ticks[i].x - 100.0 * (i + 1) * columnPerHz) < 1e-9);
        QCOMPARE(ticks[i].top, (i + 1) % 5 == 0 ? 20 : 23);
        QCOMPARE(ticks[i].label.isEmpty(), (i + 1) % 10 != 0);
        if (!ticks[i].label.isEmpty())
            seen << ticks[i].label;
    }
    QCOMPARE(seen, labels);
    QVERIFY(SpectrumWidget::rulerTicks(0).isEmpty());

    ScopedSettings settings({{"RxFq", rx}, {"TxFq", tx}});
    SpectrumWidget widget;
    widget.setSampleRate(rate);
    const QImage image = render(widget);
    int runs24 = 0, runs21 = 0;
    for (int x = 1; x < 1024; ++x) {
        QVERIFY(isBlack(image.pixel(x, 0)));
        runs24 += isWhite(image.pixel(x, 24)) && !isWhite(image.pixel(x - 1, 24));
        runs21 += isWhite(image.pixel(x, 21)) && !isWhite(image.pixel(x - 1, 21));
        // Labels stand in rows 10 to 19 within 20 columns of their tick.
        const int k = qRound(x / columnPerHz / 1000.0);
        for (int y = 10; y < 20; ++y)
            QVERIFY(isBlack(image.pixel(x, y)) || (k >= 1 && std::abs(x - k * 1000.0 * columnPerHz) <= 20.0));
    }
    QCOMPARE(runs24, ticks.size());
    QCOMPARE(runs21, ticks.size() / 5);
    for (int k = 1; k <= labels.size(); ++k) {
        int lit = 0;
        for (int x = qRound(k * 1000.0 * columnPerHz) - 20; x < qRound(k * 1000.0 * columnPerHz) + 20; ++x)
            for (int y = 10; y < 20; ++y)
                lit += !isBlack(image.pixel(x, y));
        QVERIFY2(lit > 10, qPrintable(labels[k - 1]));
    }
    // Receive: red, point up at y = 26, base at 31. Transmit: blue, base at 31, point down at 36.
    const int xr = qRound(rx * columnPerHz);
    const int xt = qRound(tx * columnPerHz);
    for (int dx : {-2, 0, 2})
        QVERIFY(isRed(image.pixel(xr + dx, 30)) && isBlue(image.pixel(xt + dx, 32)));
    for (int dx : {-3, 3})
        QVERIFY(!isRed(image.pixel(xr + dx, 27)) && !isBlue(image.pixel(xt + dx, 35)));
    QVERIFY(!isRed(image.pixel(xr, 34)) && !isBlue(image.pixel(xr, 32)));
    QVERIFY(!isBlue(image.pixel(xt, 28)) && !isRed(image.pixel(xt, 30)));
    QVERIFY(isWhite(image.pixel(xt, 31)) || isWhite(image.pixel(xt, 30)));
}

void TestWaterfall::linesDrawnBelowRuler()
{
    ScopedSettings settings({{"RxFq", 5400.0}, {"TxFq", 5400.0}});
    SpectrumWidget widget;
    QImage image = render(widget);
    const QRgb background = image.pixel(700, 80); // nothing below the markers before the first line
    QVERIFY(!isBlack(background));
    for (int y = 40; y < image.height(); y += 3)
        for (int x = 0; x < 1024; x += 5)
            QCOMPARE(image.pixel(x, y), background);
    feed(widget, tone(300.0, kFullScale));
    for (int i = 0; i < 9; ++i)
        feed(widget, {});
    image = render(widget);
    // The newest line is row 26; the tone's line is 9 older.
    QCOMPARE(image.pixel(300, 26 + 9), QRgb(0xFFFF3300));
    for (QPoint p : {QPoint(300, 26 + 8), QPoint(300, 26 + 10), QPoint(800, 26 + 9)})
        QCOMPARE(image.pixel(p), QRgb(0xFF000000));
    QVERIFY(isBlack(image.pixel(310, 5))); // the ruler covers what lies under it
}

QTEST_MAIN(TestWaterfall)
#include "tst_waterfall.moc"
