// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/spectrumwidget.h"
#include "displaytesthelpers.h"

#include <QtTest>

#include <cmath>

using namespace DisplayTest;

namespace {

QImage render(SpectrumWidget& widget, QSize size = QSize(1024, 120))
{
    widget.resize(size);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::magenta);
    widget.render(&image);
    return image;
}

bool isWhite(QRgb c) { return qRed(c) > 200 && qGreen(c) > 200 && qBlue(c) > 200; }
bool isBlack(QRgb c) { return qRed(c) < 30 && qGreen(c) < 30 && qBlue(c) < 30; }
bool isRed(QRgb c) { return qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60; }
bool isBlue(QRgb c) { return qBlue(c) > 200 && qRed(c) < 60 && qGreen(c) < 60; }

// Runs of white pixels along one row of the ruler.
int whiteRuns(const QImage& image, int y)
{
    int runs = 0;
    bool inRun = false;
    for (int x = 0; x < image.width(); ++x) {
        const bool white = isWhite(image.pixel(x, y));
        if (white && !inRun)
            ++runs;
        inRun = white;
    }
    return runs;
}

// The column of a frequency with the widget's half rate spread over 1024
// columns.
double columnOf(double hz, int halfRate)
{
    return hz / halfRate * 1024.0;
}

} // namespace

class TestWaterfallRender : public QObject
{
    Q_OBJECT
private slots:
    void rulerTicks_data();
    void rulerTicks();
    void rulerDrawn();
    void markersShowRxAndTx();
    void nothingButRulerAndMarkersBeforeFirstBlock();
    void waterfallDrawnBelowRuler();
    void newSampleRateRescalesRuler();
};

void TestWaterfallRender::rulerTicks_data()
{
    QTest::addColumn<int>("halfRate");
    QTest::addColumn<int>("ticks");
    QTest::addColumn<QStringList>("labels");
    QTest::newRow("11025 Hz") << 5512 << 54
                              << QStringList{"1000", "2000", "3000", "4000", "5000"};
    QTest::newRow("8000 Hz") << 4000 << 39 << QStringList{"1000", "2000", "3000"};
    QTest::newRow("48000 Hz") << 24000 << 239 << QStringList();
    QTest::newRow("no rate") << 0 << 0 << QStringList();
}

void TestWaterfallRender::rulerTicks()
{
    QFETCH(int, halfRate);
    QFETCH(int, ticks);
    QFETCH(QStringList, labels);
    const auto marks = SpectrumWidget::rulerTicks(halfRate);
    QCOMPARE(marks.size(), ticks);
    QStringList seen;
    for (int i = 0; i < marks.size(); ++i) {
        const int hundreds = i + 1; // one tick per 100 Hz
        QVERIFY(std::abs(marks[i].x - columnOf(100.0 * hundreds, halfRate)) < 1e-9);
        QCOMPARE(marks[i].top, hundreds % 5 == 0 ? 20 : 23);
        if (!marks[i].label.isEmpty()) {
            QCOMPARE(hundreds % 10, 0);
            QCOMPARE(marks[i].label, QString::number(hundreds * 100));
            seen << marks[i].label;
        }
    }
    if (!labels.isEmpty())
        QCOMPARE(seen, labels);
}

void TestWaterfallRender::rulerDrawn()
{
    ScopedSettings settings({{"RxFq", 5400.0}, {"TxFq", 5400.0}}); // markers out of the way
    SpectrumWidget widget;
    const QImage image = render(widget);

    // Every 100 Hz reaches y = 23, every 500 Hz from y = 20.
    QCOMPARE(whiteRuns(image, 24), 54);
    QCOMPARE(whiteRuns(image, 21), 10);
    for (int i = 1; i <= 54; ++i) {
        const int x = qRound(columnOf(100.0 * i, 5512));
        QVERIFY2(isWhite(image.pixel(x, 24)) || isWhite(image.pixel(x - 1, 24))
                     || isWhite(image.pixel(x + 1, 24)),
                 qPrintable(QString::number(i)));
    }
    // The strip itself is black from the top down to y = 25, over 1024 columns.
    for (int x = 0; x < 1024; x += 37) {
        QVERIFY(isBlack(image.pixel(x, 0)));
        QVERIFY(isBlack(image.pixel(x, 9)));
    }
    // Labels stand in rows 10 to 19 around every 1000 Hz and nowhere else.
    for (int x = 0; x < 1024; ++x) {
        bool lit = false;
        for (int y = 10; y < 20; ++y)
            lit = lit || !isBlack(image.pixel(x, y));
        const double label = std::round(x * 5512.0 / 1024 / 1000.0) * 1000.0;
        const bool nearLabel = label >= 1000.0 && std::abs(x - columnOf(label, 5512)) <= 20.0;
        if (!nearLabel)
            QVERIFY2(!lit, qPrintable(QString::number(x)));
    }
    for (int k = 1; k <= 5; ++k) {
        const int centre = qRound(columnOf(1000.0 * k, 5512));
        int lit = 0;
        for (int x = centre - 20; x < centre + 20; ++x)
            for (int y = 10; y < 20; ++y)
                lit += isBlack(image.pixel(x, y)) ? 0 : 1;
        QVERIFY2(lit > 10, qPrintable(QString::number(k)));
    }
}

void TestWaterfallRender::markersShowRxAndTx()
{
    ScopedSettings settings({{"RxFq", 1000.0}, {"TxFq", 2000.0}});
    SpectrumWidget widget;
    const QImage image = render(widget);
    const int xr = qRound(columnOf(1000.0, 5512));
    const int xt = qRound(columnOf(2000.0, 5512));

    // Receive: red, point up at y = 26, base at y = 31.
    QVERIFY(isRed(image.pixel(xr, 30)));
    QVERIFY(isRed(image.pixel(xr - 2, 30)));
    QVERIFY(isRed(image.pixel(xr + 2, 30)));
    QVERIFY(!isRed(image.pixel(xr - 3, 27)));
    QVERIFY(!isRed(image.pixel(xr + 3, 27)));
    QVERIFY(!isRed(image.pixel(xr, 34)));
    // Transmit: blue, base at y = 31, point down at y = 36.
    QVERIFY(isBlue(image.pixel(xt, 32)));
    QVERIFY(isBlue(image.pixel(xt - 2, 32)));
    QVERIFY(isBlue(image.pixel(xt + 2, 32)));
    QVERIFY(!isBlue(image.pixel(xt - 3, 35)));
    QVERIFY(!isBlue(image.pixel(xt + 3, 35)));
    QVERIFY(!isBlue(image.pixel(xt, 28)));
    // Each only where it belongs.
    QVERIFY(!isBlue(image.pixel(xr, 32)));
    QVERIFY(!isRed(image.pixel(xt, 30)));
    // Outlined in white.
    QVERIFY(isWhite(image.pixel(xt, 31)) || isWhite(image.pixel(xt, 30)));
}

void TestWaterfallRender::nothingButRulerAndMarkersBeforeFirstBlock()
{
    ScopedSettings settings;
    SpectrumWidget widget;
    const QImage image = render(widget);
    const QRgb background = image.pixel(700, 80);
    QVERIFY(!isBlack(background));
    for (int y = 40; y < image.height(); y += 3)
        for (int x = 0; x < 1024; x += 5)
            QCOMPARE(image.pixel(x, y), background);
}

void TestWaterfallRender::waterfallDrawnBelowRuler()
{
    ScopedSettings settings({{"RxFq", 5400.0}, {"TxFq", 5400.0}});
    SpectrumWidget widget;
    auto block = tone(300.0, kFullScale);
    widget.updateWaterfall(block.data());
    for (int i = 0; i < 9; ++i) {
        std::array<float, kBlock> silence{};
        widget.updateWaterfall(silence.data());
    }
    const QImage image = render(widget);
    // The newest line is row 26 of the widget; the tone's line is 9 older.
    const QRgb top = 0xFFFF3300;
    QCOMPARE(image.pixel(300, 26 + 9), top);
    QCOMPARE(image.pixel(300, 26 + 8), QRgb(0xFF000000));
    QCOMPARE(image.pixel(300, 26 + 10), QRgb(0xFF000000));
    QCOMPARE(image.pixel(800, 26 + 9), QRgb(0xFF000000));
    // The ruler covers whatever lies under it.
    QVERIFY(isBlack(image.pixel(310, 5)));
}

void TestWaterfallRender::newSampleRateRescalesRuler()
{
    ScopedSettings settings({{"RxFq", 3000.0}, {"TxFq", 3000.0}});
    SpectrumWidget widget;
    widget.setSampleRate(8000);
    const QImage image = render(widget);
    QCOMPARE(whiteRuns(image, 24), 39);
    QVERIFY(isRed(image.pixel(qRound(columnOf(3000.0, 4000)), 30)));
}

QTEST_MAIN(TestWaterfallRender)
#include "tst_waterfallrender.moc"
