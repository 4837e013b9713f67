// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Click-to-tune: snapping, the replay distance (end to end with the modem), clamping, the lock, ignored clicks.
#include "display/spectrumwidget.h"
#include "displaytesthelpers.h"
#include "modem/pskinterfaces.h"
#include "modem/psktxrx.h"
#include "modem/replaydistance.h"

#include <QtTest>

using namespace DisplayTest;

namespace {

constexpr int kWidth = SpectrumWidget::kImageWidth;
constexpr int kTop = SpectrumWidget::kImageTop;
constexpr double kHalfRate = 5512.0;

double hzOfColumn(double column) { return column * kHalfRate / 1024.0; }

// Every frequency announcement with the replay distance as it stands meanwhile.
struct Announcement
{
    double rx, tx;
    int replay;
};

struct Listener
{
    explicit Listener(SpectrumWidget& widget)
    {
        QObject::connect(&widget, &SpectrumWidget::signalFqChanged, &widget,
                         [this](double rx, double tx) { seen.push_back({rx, tx, ReplayDistance::get()}); });
    }
    std::vector<Announcement> seen;
};

// Idle BPSK31 (a reversal every symbol) as waterfall lines: two lines either side of the carrier.
void feedIdle(SpectrumWidget& widget, double carrierHz, int lines)
{
    Block block;
    for (int n = 0; n < kBlock * lines; ++n) {
        block[n % kBlock] = float(8000.0 * std::cos(M_PI * n * 31.25 / kRate) * std::cos(2.0 * M_PI * carrierHz * n / kRate));
        if (n % kBlock == kBlock - 1)
            widget.updateWaterfall(block.data());
    }
}

// What the main window does with the input: every 1024-sample chunk to the modem, and
// into the display block until that is full, which makes one waterfall line.
struct Station
{
    Station()
    {
        rx.Command(90, 3125, 0, 0);
        rx.SetSampleRates(kRate, kRate);
        rx.SetFrequencies(800.0, 800.0);
        QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [this](QChar c) { decoded += c; });
        QObject::connect(&waterfall, &SpectrumWidget::signalFqChanged, &rx, &CPskTxRx::slotFqChanged);
        waterfall.resize(1024, 400);
    }
    void hear(const std::vector<qint16>& audio)
    {
        for (size_t at = 0; at + 1024 <= audio.size(); at += 1024) {
            for (int i = 0; i < 1024 && fill < kBlock; ++i)
                block[fill++] = audio[at + i];
            if (fill == kBlock) {
                fill = 0;
                waterfall.updateWaterfall(block.data());
                ++lines;
            }
            rx.ReceiveSamples(audio.data() + at, 1024);
        }
    }
    void hearSilence(int chunks) { hear(std::vector<qint16>(size_t(chunks) * 1024, 0)); }

    CPskTxRx rx{QStringLiteral("BPSK31")};
    SpectrumWidget waterfall;
    QString decoded;
    int lines = 0, fill = 0;
    Block block{};
};

const QString kMessage = QStringLiteral("CQ CQ DE VK2XYZ VK2XYZ PSE K");

struct TextSource : CTxCharSource
{
    quint32 nextTxWord() override
    {
        return next < kMessage.size() ? TxWord::make(TxWord::kChar, kMessage.at(next++).unicode())
                                      : TxWord::make(TxWord::kEnd);
    }
    int next = 0;
};

} // namespace

class TestWaterfallTuning : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { init(); }
    void clickOnUniformArea_data();
    void clickOnUniformArea();
    void snapsToBpskTraceCentre_data();
    void snapsToBpskTraceCentre();
    void snapNeverReadsOutsideTheImage_data();
    void snapNeverReadsOutsideTheImage();
    void releaseOutsideClampsFrequency_data();
    void releaseOutsideClampsFrequency();
    void ignoredClicks();
    void replayDecodesEarlierTextOnlyDownTheTrace_data();
    void replayDecodesEarlierTextOnlyDownTheTrace();

private:
    std::unique_ptr<ScopedSettings> m_settings;
};

void TestWaterfallTuning::init()
{
    m_settings = std::make_unique<ScopedSettings>(QVariantMap{{"TxFq", 1500.0}, {"RxFq", 1600.0}});
    ReplayDistance::set(0);
}

void TestWaterfallTuning::clickOnUniformArea_data()
{
    QTest::addColumn<bool>("lines");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("lock");
    QTest::addColumn<int>("replay"); // during the press; none during the release
    QTest::newRow("row 0") << false << 500 << 0 << int(Qt::Unchecked) << 0;
    QTest::newRow("row 9, partly locked") << false << 700 << 9 << int(Qt::PartiallyChecked) << 0;
    QTest::newRow("row 10, locked") << false << 700 << 10 << int(Qt::Checked) << 20480;
    QTest::newRow("row 100") << false << 500 << 100 << int(Qt::Unchecked) << 204800;
    QTest::newRow("row 1023") << false << 500 << 1023 << int(Qt::Unchecked) << 1023 * 2048;
    QTest::newRow("in the ruler") << false << 500 << -20 << int(Qt::Unchecked) << 0;
    QTest::newRow("uniform lines") << true << 500 << 40 << int(Qt::Unchecked) << 81920;
    QTest::newRow("uniform lines, left, locked") << true << 17 << 40 << int(Qt::Checked) << 81920;
}

void TestWaterfallTuning::clickOnUniformArea()
{
    QFETCH(bool, lines);
    QFETCH(int, x);
    QFETCH(int, row);
    QFETCH(int, lock);
    QFETCH(int, replay);
    SpectrumWidget widget;
    widget.resize(1024, 1100);
    widget.slotLock(lock);
    widget.slotBrightness(99); // silence shows as one non-black index everywhere
    for (int i = 0; i < (lines ? 60 : 0); ++i)
        widget.updateWaterfall(Block{}.data());
    QVERIFY(!lines || widget.currentLines()[40 * kWidth + x] > 0);
    Listener listener(widget);
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(x, kTop + row));
    QCOMPARE(int(listener.seen.size()), 2);
    QCOMPARE(listener.seen[0].replay, replay);
    QCOMPARE(listener.seen[1].replay, 0);
    QCOMPARE(ReplayDistance::get(), 0);
    for (const Announcement& a : listener.seen) {
        QCOMPARE(a.rx, hzOfColumn(x - 2.5));
        QCOMPARE(a.tx, lock == Qt::Checked ? 1500.0 : a.rx);
    }
}

void TestWaterfallTuning::snapsToBpskTraceCentre_data()
{
    QTest::addColumn<double>("bin");
    QTest::addColumn<int>("x");
    QTest::newRow("on a bin, clicked 3 left") << 300.0 << 297;
    QTest::newRow("on a bin, clicked 3 right") << 300.0 << 303;
    QTest::newRow("between bins, clicked 2 left") << 400.5 << 398;
    QTest::newRow("between bins, clicked 3 right") << 400.5 << 403;
}

void TestWaterfallTuning::snapsToBpskTraceCentre()
{
    QFETCH(double, bin);
    QFETCH(int, x);
    SpectrumWidget widget;
    widget.resize(1024, 300);
    feedIdle(widget, bin * kBinHz, 40);
    Listener listener(widget);
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(x, kTop + 20));
    QCOMPARE(int(listener.seen.size()), 2);
    QCOMPARE(listener.seen[0].rx, hzOfColumn(bin));
    QCOMPARE(listener.seen[1].rx, hzOfColumn(bin));
}

void TestWaterfallTuning::snapNeverReadsOutsideTheImage_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<double>("expected"); // NaN: anywhere near x
    // Outside pixels count as dark, so the candidate whose mirror stays inside longest wins.
    QTest::newRow("top left corner") << 0 << 0 << 3.5;
    QTest::newRow("right edge, bottom rows") << 1023 << kTop + 1023 << 1019.5;
    QTest::newRow("far below the image") << 512 << 5000 << std::nan("");
    QTest::newRow("far outside") << -4000 << -4000 << std::nan("");
}

void TestWaterfallTuning::snapNeverReadsOutsideTheImage()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(double, expected);
    // A buffer of exactly the image's size, so a stray read shows under the address sanitizer.
    std::unique_ptr<quint8[]> exact(new quint8[size_t(kWidth) * kWidth]);
    std::fill_n(exact.get(), kWidth * kWidth, quint8(90));
    const double centre = SpectrumWidget::snapColumn(exact.get(), x, y);
    QVERIFY(std::abs(centre - x) <= 3.5);
    QVERIFY(std::isnan(expected) || centre == expected);
}

void TestWaterfallTuning::releaseOutsideClampsFrequency_data()
{
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("far left") << QPoint(-3000, 60) << 0.0 << hzOfColumn(4.0);
    QTest::newRow("far right") << QPoint(9000, 60) << hzOfColumn(1019.0) << kHalfRate;
    QTest::newRow("far below") << QPoint(512, 9000) << hzOfColumn(508.0) << hzOfColumn(513.0);
}

void TestWaterfallTuning::releaseOutsideClampsFrequency()
{
    QFETCH(QPoint, release);
    QFETCH(double, low);
    QFETCH(double, high);
    SpectrumWidget widget;
    widget.resize(1024, 300);
    feedIdle(widget, 1023.0 * kBinHz, 20); // a signal right at the top edge
    Listener listener(widget);
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(500, 60));
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, release);
    QCOMPARE(int(listener.seen.size()), 2);
    const double rx = listener.seen[1].rx;
    QVERIFY2(rx >= low && rx <= high && rx <= kHalfRate, qPrintable(QString::number(rx)));
    QCOMPARE(listener.seen[1].replay, 0);
}

void TestWaterfallTuning::ignoredClicks()
{
    SpectrumWidget widget;
    widget.resize(1200, 300);
    Listener listener(widget);
    ReplayDistance::set(4096);
    QTest::mouseClick(&widget, Qt::RightButton, {}, QPoint(300, 200)); // only clears the replay
    QCOMPARE(ReplayDistance::get(), 0);
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, QPoint(300, 80)); // no press before
    QTest::mousePress(&widget, Qt::LeftButton, {}, QPoint(1100, 80)); // right of the image
    QTest::mouseRelease(&widget, Qt::LeftButton, {}, QPoint(300, 80));
    QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(1024, 80));
    QVERIFY(listener.seen.empty());
    QCOMPARE(widget.rx(), 1600.0);
}

void TestWaterfallTuning::replayDecodesEarlierTextOnlyDownTheTrace_data()
{
    QTest::addColumn<bool>("downTheTrace");
    QTest::newRow("two lines below the trace's oldest line") << true;
    QTest::newRow("on the newest lines") << false;
}

void TestWaterfallTuning::replayDecodesEarlierTextOnlyDownTheTrace()
{
    QFETCH(bool, downTheTrace);
    CPskTxRx tx(QStringLiteral("BPSK31"));
    tx.Command(90, 3125, 0, 0);
    tx.SetSampleRates(kRate, kRate);
    tx.SetFrequencies(1500.0, 1500.0);
    TextSource source;
    tx.setTxCharSource(&source);
    tx.SetTransmit(1);
    std::vector<qint16> audio(512);
    while (tx.GenerateTxSamples(audio.data() + audio.size() - 512, 512) != 0 && audio.size() < 1000000)
        audio.resize(audio.size() + 512);
    tx.SetTransmit(0);
    tx.setTxCharSource(nullptr);

    Station station; // listening at 800 Hz
    station.hearSilence(20);
    const int before = station.lines;
    station.hear(audio);
    QVERIFY(station.lines - before > 20);
    if (downTheTrace)
        station.hearSilence(12);
    QVERIFY2(!station.decoded.contains(QStringLiteral("VK2XYZ")), qPrintable(station.decoded));
    const int row = downTheTrace ? station.lines - before + 2 : 5;
    station.decoded.clear();
    QTest::mouseClick(&station.waterfall, Qt::LeftButton, {}, QPoint(qRound(1500.0 / kBinHz) + 2, kTop + row));
    QVERIFY(std::abs(station.waterfall.rx() - 1500.0) < 4.0);
    double rx = 0.0, tx2 = 0.0;
    station.rx.GetFrequencies(&rx, &tx2);
    QCOMPARE(rx, station.waterfall.rx());
    station.hearSilence(2 * row + 80); // catching up on the replayed audio while new audio arrives
    QCOMPARE(station.decoded.contains(kMessage.mid(3)), downTheTrace);
    QVERIFY2(downTheTrace || !station.decoded.contains(QStringLiteral("VK2XYZ")), qPrintable(station.decoded));
}

QTEST_MAIN(TestWaterfallTuning)
#include "tst_waterfalltuning.moc"
