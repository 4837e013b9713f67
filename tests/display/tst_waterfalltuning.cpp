// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/spectrumwidget.h"
#include "displaytesthelpers.h"
#include "modem/replaydistance.h"

#include <QtTest>

#include <cmath>

using namespace DisplayTest;

namespace {

constexpr int kWidth = SpectrumWidget::kImageWidth;
constexpr int kTop = SpectrumWidget::kImageTop;
constexpr double kHalfRate = 5512.0;

double hzOfColumn(double column)
{
    return column * kHalfRate / 1024.0;
}

// A 1024 x 1024 image holding on every row a trace symmetric about
// `centre` (a whole or half column): either two lines three columns either
// side, as idle PSK shows, or one peak.
enum class Shape { TwoLines, Peak };

std::vector<quint8> traceImage(double centre, Shape shape)
{
    std::vector<quint8> image(size_t(kWidth) * kWidth, 0);
    for (int row = 0; row < kWidth; ++row)
        for (int c = 0; c < kWidth; ++c) {
            const double d = std::abs(c - centre);
            const double fromLine = shape == Shape::TwoLines ? std::abs(d - 3.0) : d;
            if (fromLine < 5.0)
                image[size_t(row) * kWidth + c] = quint8(150 - 25 * fromLine + (row % 3));
        }
    return image;
}

// What the receiver sees: every frequency announcement with the replay
// distance as it stands while the announcement is being handled.
struct Announcement
{
    double rx;
    double tx;
    int replay;
};

class Listener
{
public:
    explicit Listener(SpectrumWidget& widget)
    {
        QObject::connect(&widget, &SpectrumWidget::signalFqChanged, &widget,
                         [this](double rx, double tx) { seen.push_back({rx, tx, ReplayDistance::get()}); });
    }
    std::vector<Announcement> seen;
};

void feedBpsk(SpectrumWidget& widget, double carrierHz, int lines, Bits bits = Bits::Idle)
{
    const auto audio = bpsk(carrierHz, 31.25, kBlock * lines, 8000.0, bits, 11);
    for (int i = 0; i < lines; ++i) {
        std::array<float, kBlock> block;
        std::copy_n(audio.begin() + i * kBlock, kBlock, block.begin());
        widget.updateWaterfall(block.data());
    }
}

} // namespace

class TestWaterfallTuning : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void replayDistanceFollowsClickedRow_data();
    void replayDistanceFollowsClickedRow();
    void pressReplaysReleaseDoesNot();
    void uniformAreaTunesHalfAColumnRightOfLeftmostCandidate_data();
    void uniformAreaTunesHalfAColumnRightOfLeftmostCandidate();
    void snapFindsSymmetricTraceCentre_data();
    void snapFindsSymmetricTraceCentre();
    void snapFindsBpskTraceCentre_data();
    void snapFindsBpskTraceCentre();
    void snapNeverReadsOutsideTheImage_data();
    void snapNeverReadsOutsideTheImage();
    void releaseOutsideClampsFrequency_data();
    void releaseOutsideClampsFrequency();
    void lockKeepsTransmitFrequency_data();
    void lockKeepsTransmitFrequency();
    void pressRightOfImageDoesNothing();
    void otherButtonsOnlyClearReplay();
    void releaseWithoutPressDoesNothing();

private:
    std::unique_ptr<ScopedSettings> m_settings;
};

void TestWaterfallTuning::init()
{
    m_settings = std::make_unique<ScopedSettings>();
    ReplayDistance::set(0);
}

void TestWaterfallTuning::cleanup()
{
    m_settings.reset();
    ReplayDistance::set(0);
}

void TestWaterfallTuning::replayDistanceFollowsClickedRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("replay");
    QTest::newRow("row 0") << 0 << 0;
    QTest::newRow("row 5") << 5 << 0;
    QTest::newRow("row 9") << 9 << 0;
    QTest::newRow("row 10") << 10 << 20480;
    QTest::newRow("row 100") << 100 << 204800;
    QTest::newRow("row 1023") << 1023 << 1023 * 2048;
    QTest::newRow("in the ruler") << -20 << 0;
}

void TestWaterfallTuning::replayDistanceFollowsClickedRow()
{
    QFETCH(int, row);
    QFETCH(int, replay);
    QCOMPARE(SpectrumWidget::replayDistanceForY(kTop + row), replay);

    SpectrumWidget widget;
    widget.resize(1024, 1100);
    Listener listener(widget);
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(400, kTop + row));
    QCOMPARE(int(listener.seen.size()), 1);
    QCOMPARE(listener.seen[0].replay, replay);
}

void TestWaterfallTuning::pressReplaysReleaseDoesNot()
{
    SpectrumWidget widget;
    widget.resize(1024, 300);
    Listener listener(widget);
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(400, 126));
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, QPoint(400, 126));
    QCOMPARE(int(listener.seen.size()), 2);
    QCOMPARE(listener.seen[0].replay, 204800);
    QCOMPARE(listener.seen[1].replay, 0);
    QCOMPARE(ReplayDistance::get(), 0);
    QCOMPARE(listener.seen[1].rx, listener.seen[0].rx);
}

void TestWaterfallTuning::uniformAreaTunesHalfAColumnRightOfLeftmostCandidate_data()
{
    QTest::addColumn<bool>("blank");
    QTest::addColumn<int>("x");
    QTest::newRow("before any line") << true << 500;
    QTest::newRow("uniform lines") << false << 500;
    QTest::newRow("uniform lines, left") << false << 17;
}

void TestWaterfallTuning::uniformAreaTunesHalfAColumnRightOfLeftmostCandidate()
{
    QFETCH(bool, blank);
    QFETCH(int, x);
    SpectrumWidget widget;
    widget.resize(1024, 300);
    if (!blank) {
        // Silence with the brightness at the top gives one non-black index
        // everywhere.
        widget.slotBrightness(99);
        for (int i = 0; i < 60; ++i) {
            std::array<float, kBlock> silence{};
            widget.updateWaterfall(silence.data());
        }
        QVERIFY(widget.currentLines()[40 * kWidth + x] > 0);
    }
    Listener listener(widget);
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(x, kTop + 40));
    QCOMPARE(int(listener.seen.size()), 2);
    for (const Announcement& a : listener.seen) {
        QCOMPARE(a.rx, hzOfColumn(x - 2.5));
        QCOMPARE(a.tx, a.rx);
    }
    QCOMPARE(widget.rx(), hzOfColumn(x - 2.5));
}

void TestWaterfallTuning::snapFindsSymmetricTraceCentre_data()
{
    QTest::addColumn<double>("centre");
    QTest::addColumn<int>("x");
    QTest::newRow("on the trace") << 300.0 << 300;
    QTest::newRow("3 left of it") << 300.0 << 297;
    QTest::newRow("3 right of it") << 300.0 << 303;
    QTest::newRow("2 right of it") << 300.0 << 302;
    QTest::newRow("half column, 2 left") << 300.5 << 298;
    QTest::newRow("half column, 3 right") << 300.5 << 303;
    QTest::newRow("half column, on it") << 300.5 << 300;
    // The mirrored pairs reach past the image edge here.
    QTest::newRow("near left edge") << 12.0 << 10;
    QTest::newRow("near right edge") << 1011.0 << 1013;
}

void TestWaterfallTuning::snapFindsSymmetricTraceCentre()
{
    QFETCH(double, centre);
    QFETCH(int, x);
    const auto twoLines = traceImage(centre, Shape::TwoLines);
    const auto peak = traceImage(centre, Shape::Peak);
    for (int y : {kTop + 15, kTop + 200}) {
        QCOMPARE(SpectrumWidget::snapColumn(twoLines.data(), x, y), centre);
        // A single peak scores its two middle pixels only in the half-column
        // mirrors, so it may come out half a column off, never more.
        QVERIFY(std::abs(SpectrumWidget::snapColumn(peak.data(), x, y) - centre) <= 0.5);
    }
}

void TestWaterfallTuning::snapFindsBpskTraceCentre_data()
{
    QTest::addColumn<double>("bin");
    QTest::addColumn<int>("x");
    QTest::addColumn<bool>("idle");
    QTest::newRow("idle on a bin, clicked 3 left") << 300.0 << 297 << true;
    QTest::newRow("idle on a bin, clicked 3 right") << 300.0 << 303 << true;
    QTest::newRow("idle between bins, clicked 2 left") << 400.5 << 398 << true;
    QTest::newRow("idle between bins, clicked 3 right") << 400.5 << 403 << true;
    QTest::newRow("data on a bin, clicked 3 left") << 300.0 << 297 << false;
    QTest::newRow("data between bins, clicked 3 right") << 400.5 << 403 << false;
}

void TestWaterfallTuning::snapFindsBpskTraceCentre()
{
    QFETCH(double, bin);
    QFETCH(int, x);
    QFETCH(bool, idle);
    SpectrumWidget widget;
    widget.resize(1024, 300);
    feedBpsk(widget, bin * kBinHz, 40, idle ? Bits::Idle : Bits::Random);
    Listener listener(widget);
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(x, kTop + 20));
    QCOMPARE(int(listener.seen.size()), 2);
    for (const Announcement& a : listener.seen) {
        if (idle)
            QCOMPARE(a.rx, hzOfColumn(bin));
        else
            QVERIFY(std::abs(a.rx - hzOfColumn(bin)) <= hzOfColumn(0.5));
    }
}

void TestWaterfallTuning::snapNeverReadsOutsideTheImage_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<double>("expected"); // NaN: anywhere near x
    const double anywhere = std::nan("");
    // On an even image the candidate whose mirror stays inside the image
    // longest wins: outside pixels are dark.
    QTest::newRow("left edge") << 0 << 100 << 3.5;
    QTest::newRow("right edge") << 1023 << 100 << 1019.5;
    QTest::newRow("right edge, bottom rows") << 1023 << kTop + 1023 << 1019.5;
    QTest::newRow("top left corner") << 0 << 0 << 3.5;
    QTest::newRow("far below the image") << 512 << 5000 << anywhere;
    QTest::newRow("far outside") << -4000 << -4000 << anywhere;
}

void TestWaterfallTuning::snapNeverReadsOutsideTheImage()
{
    // The image sits in a buffer of exactly its size, so a stray read shows
    // up under the address sanitizer; outside pixels count as black.
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(double, expected);
    std::unique_ptr<quint8[]> exact(new quint8[size_t(kWidth) * kWidth]);
    std::fill_n(exact.get(), kWidth * kWidth, quint8(90));
    const double centre = SpectrumWidget::snapColumn(exact.get(), x, y);
    QVERIFY(std::abs(centre - x) <= 3.5);
    if (!std::isnan(expected))
        QCOMPARE(centre, expected);
}

void TestWaterfallTuning::releaseOutsideClampsFrequency_data()
{
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("far left") << QPoint(-3000, 60) << 0.0 << hzOfColumn(4.0);
    QTest::newRow("far right") << QPoint(9000, 60) << hzOfColumn(1019.0) << kHalfRate;
    QTest::newRow("far below") << QPoint(512, 9000) << hzOfColumn(508.0) << hzOfColumn(513.0);
    QTest::newRow("above") << QPoint(1023, -500) << hzOfColumn(1019.0) << kHalfRate;
}

void TestWaterfallTuning::releaseOutsideClampsFrequency()
{
    QFETCH(QPoint, release);
    QFETCH(double, low);
    QFETCH(double, high);
    SpectrumWidget widget;
    widget.resize(1024, 300);
    feedBpsk(widget, 1023.0 * kBinHz, 20); // a signal right at the top edge
    Listener listener(widget);
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(500, 60));
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, release);
    QCOMPARE(int(listener.seen.size()), 2);
    const double rx = listener.seen[1].rx;
    QVERIFY2(rx >= low && rx <= high, qPrintable(QString::number(rx)));
    QVERIFY(rx >= 0.0 && rx <= kHalfRate);
    QCOMPARE(listener.seen[1].replay, 0);
}

void TestWaterfallTuning::lockKeepsTransmitFrequency_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<bool>("locked");
    QTest::newRow("unticked") << int(Qt::Unchecked) << false;
    QTest::newRow("partly ticked") << int(Qt::PartiallyChecked) << false;
    QTest::newRow("ticked") << int(Qt::Checked) << true;
}

void TestWaterfallTuning::lockKeepsTransmitFrequency()
{
    QFETCH(int, state);
    QFETCH(bool, locked);
    ScopedSettings settings({{"TxFq", 1500.0}, {"RxFq", 1600.0}});
    SpectrumWidget widget;
    widget.resize(1024, 300);
    widget.slotLock(state);
    QCOMPARE(widget.isLocked(), locked);
    Listener listener(widget);
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(700, 80));
    QCOMPARE(int(listener.seen.size()), 2);
    const double rx = hzOfColumn(697.5);
    for (const Announcement& a : listener.seen) {
        QCOMPARE(a.rx, rx);
        QCOMPARE(a.tx, locked ? 1500.0 : rx);
    }
    QCOMPARE(widget.tx(), locked ? 1500.0 : rx);
}

void TestWaterfallTuning::pressRightOfImageDoesNothing()
{
    SpectrumWidget widget;
    widget.resize(1200, 300);
    Listener listener(widget);
    for (int x : {1024, 1100}) {
        QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(x, 80));
        QVERIFY(listener.seen.empty());
        QCOMPARE(widget.rx(), 1000.0);
    }
}

void TestWaterfallTuning::otherButtonsOnlyClearReplay()
{
    SpectrumWidget widget;
    widget.resize(1024, 300);
    Listener listener(widget);
    ReplayDistance::set(4096);
    QTest::mouseClick(&widget, Qt::RightButton, {}, QPoint(300, 200));
    QVERIFY(listener.seen.empty());
    QCOMPARE(ReplayDistance::get(), 0);
    QCOMPARE(widget.rx(), 1000.0);
}

void TestWaterfallTuning::releaseWithoutPressDoesNothing()
{
    SpectrumWidget widget;
    widget.resize(1200, 300);
    Listener listener(widget);
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, QPoint(300, 80));
    // A press right of the image does not arm the release either.
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(1100, 80));
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, QPoint(300, 80));
    QVERIFY(listener.seen.empty());
}

QTEST_MAIN(TestWaterfallTuning)
#include "tst_waterfalltuning.moc"
