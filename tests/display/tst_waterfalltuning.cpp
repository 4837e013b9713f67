// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Click-to-tune: snapping, the lock, ignored clicks, and decoding again from an older line (with the modem).
#include "display/spectrumwidget.h"
#include "displaytesthelpers.h"
#include "modem/psktxrx.h"
#include "tests/modem/modemtesthelpers.h"

#include <QTest>

using namespace DisplayTest;

namespace {

constexpr int kTop = SpectrumWidget::kImageTop;

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
    explicit Station(const ModemTest::Mode& mode = ModemTest::mode(QStringLiteral("BPSK31")), double listening = 800.0)
        : rx(mode.modemName)
    {
        rx.Command(ModemCommand::kSetSymbolRate, mode.baudHundredths, 0, 0);
        rx.SetSampleRates(kRate, kRate);
        rx.SetFrequencies(listening, listening);
        QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [this](QChar c) { decoded += c; });
        QObject::connect(&waterfall, &SpectrumWidget::signalFqChanged, &rx, &CPskTxRx::slotFqChanged);
        waterfall.resize(1024, 400);
    }
    void hear(const std::vector<qint16>& audio)
    {
        for (size_t at = 0; at + 1024 <= audio.size(); at += 1024) {
            for (int i = 0; i < 1024 && fill < kBlock; ++i)
                block[fill++] = audio[at + i];
            if (fill == kBlock)
                fill = 0, waterfall.updateWaterfall(block.data());
            rx.ReceiveSamples(audio.data() + at, 1024);
        }
    }
    void hearSilence(int chunks) { hear(std::vector<qint16>(size_t(chunks) * 1024, 0)); }

    CPskTxRx rx;
    SpectrumWidget waterfall;
    QString decoded;
    int fill = 0;
    Block block{};
};

const QString kMessage = QStringLiteral("CQ CQ DE VK2XYZ VK2XYZ PSE K");

} // namespace

class TestWaterfallTuning : public QObject
{
    Q_OBJECT
private slots:
    void ticksClicksAndMarkersAgree_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("rate");
        for (int width : {480, 1024, 1400})
            for (int rate : {8000, 11025, 48000})
                QTest::addRow("%d px, %d Hz", width, rate) << width << rate;
    }

    // A click on a long ruler tick (every 500 Hz) over a waterfall without a
    // trace tunes to the tick's frequency within half a column, and the red
    // marker then stands on the clicked column.
    void ticksClicksAndMarkersAgree()
    {
        QFETCH(int, width);
        QFETCH(int, rate);
        ScopedSettings settings({{"Audio/Input/SampleRate", rate}});
        SpectrumWidget widget;
        widget.resize(width, 200);
        quint32 seed = 1;
        for (int line = 0; line < 30; ++line) { // white noise
            Block block{};
            for (float& v : block) {
                seed = seed * 1664525u + 1013904223u;
                v = float(int(seed >> 20) - 2048);
            }
            widget.updateWaterfall(block.data());
        }
        const QImage ruler = widget.grab().toImage();
        QList<int> longTicks;
        for (int x = 0; x < std::min(width, 1024); ++x)
            if (QColor(ruler.pixel(x, 21)) == QColor(Qt::white))
                longTicks << x;
        const double hzPerColumn = rate / 2048.0;
        int expected = 0;
        while (500.0 * (expected + 1) < rate / 2 / 100 * 100 && qRound(500.0 * (expected + 1) / hzPerColumn) < std::min(width, 1024))
            ++expected;
        QCOMPARE(longTicks.size(), expected);
        for (int k = 0; k < longTicks.size(); ++k) {
            const int x = longTicks.at(k);
            QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(x, kTop + 40));
            QVERIFY2(std::abs(widget.rx() - 500.0 * (k + 1)) <= hzPerColumn / 2,
                     qPrintable(QStringLiteral("tick at %1: %2 Hz").arg(x).arg(widget.rx())));
            const QImage marked = widget.grab().toImage();
            const auto red = [&marked](int column) { return QColor(marked.pixel(column, 29)) == QColor(Qt::red); };
            int half = 1; // the marker is red as far to the left of the tick as to its right
            while (red(x - half) && red(x + half))
                ++half;
            QVERIFY2(red(x) && !red(x - half) && !red(x + half), qPrintable(QStringLiteral("marker at the tick at %1").arg(x)));
        }
    }

    void snapsToTheTraceCentre()
    {
        ScopedSettings settings({{"TxFq", 1500.0}});
        SpectrumWidget widget;
        feedIdle(widget, 400.5 * kBinHz, 40);
        std::vector<std::pair<double, double>> seen;
        connect(&widget, &SpectrumWidget::signalFqChanged, this, [&](double rx, double tx) { seen.emplace_back(rx, tx); });
        // Clicked three columns off, between two bins: the centre of the trace.
        widget.slotLock(Qt::Checked);
        QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(403, kTop + 20));
        QCOMPARE(seen, (std::vector<std::pair<double, double>>(2, {400.5 * kBinHz, 1500.0})));
        widget.slotLock(Qt::Unchecked);
        QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(398, kTop + 20));
        QCOMPARE(seen.back(), std::make_pair(400.5 * kBinHz, 400.5 * kBinHz));
        // A strong station sending text fills its trace to the top of the
        // palette: a click beside its centre still finds it.
        Station station;
        station.hear(ModemTest::transmit(ModemTest::mode(QStringLiteral("BPSK31")), kMessage, 2000.0));
        for (int off : {-4, -2, 3}) {
            QTest::mouseClick(&station.waterfall, Qt::LeftButton, {}, QPoint(qRound(2000.0 / kBinHz) + off, kTop + 30));
            QVERIFY2(std::abs(station.waterfall.rx() - 2000.0) <= kBinHz / 2, qPrintable(QString::number(station.waterfall.rx())));
        }
        // Right of the image, or any other button: nothing is tuned.
        QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(1024, 80));
        QTest::mouseClick(&widget, Qt::RightButton, {}, QPoint(300, 80));
        QCOMPARE(seen.size(), size_t(4));
    }

    void replayStartsWhereTheTraceBegan_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("carrier");
        QTest::newRow("BPSK31") << "bpsk31_1200.wav" << "BPSK31" << 1200.0;
        QTest::newRow("BPSK63") << "bpsk63_800.wav" << "BPSK63" << 800.0;
        QTest::newRow("QPSK31") << "qpsk31_1000.wav" << "QPSK31" << 1000.0;
    }

    // Another station's recording, heard while the receiver listens elsewhere
    // and its decoder holds what it made of that: a click on the newest line of
    // the trace, most of the way into the message, decodes the whole message
    // from its first character, clean, and on to the end.
    void replayStartsWhereTheTraceBegan()
    {
        QFETCH(QString, file);
        QFETCH(QString, modeName);
        QFETCH(double, carrier);
        ScopedSettings settings;
        const QString text = ModemTest::peerText();
        std::vector<qint16> audio = ModemTest::readWav16(ModemTest::peerDir().filePath(file));
        QVERIFY2(!audio.empty() && !text.isEmpty(), qPrintable(file));
        audio.insert(audio.begin(), 40 * 1024, 0);
        quint32 seed = 7;
        for (qint16& v : audio) { // a noise floor 40 dB below the peaks
            seed = seed * 1664525u + 1013904223u;
            v = qint16(v + int(seed >> 24) - 128);
        }

        Station station(ModemTest::mode(modeName), carrier + 400.0);
        const size_t split = audio.size() * 3 / 4 / 1024 * 1024;
        station.hear(std::vector<qint16>(audio.begin(), audio.begin() + std::ptrdiff_t(split)));
        station.decoded.clear();
        QTest::mouseClick(&station.waterfall, Qt::LeftButton, {}, QPoint(qRound(carrier / kBinHz), kTop + 1));
        station.hear(std::vector<qint16>(audio.begin() + std::ptrdiff_t(split), audio.end()));
        station.hearSilence(int(split / 1024 / 2) + 40);
        // What the noise before the trace makes is a character or two at most.
        const int at = station.decoded.indexOf(text);
        QVERIFY2(at >= 0 && station.decoded.left(at).simplified().size() <= 2, qPrintable(station.decoded));
    }
};

QTEST_MAIN(TestWaterfallTuning)
#include "tst_waterfalltuning.moc"
