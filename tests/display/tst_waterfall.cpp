// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The waterfall: scrolling lines, the history kept, standing still and dimmed while sending, the markers as drawn;
// click-to-tune: snapping, the lock, ignored clicks, and decoding again from an older line (with the modem).
#include "core/settings.h"
#include "core/stationstate.h"
#include "display/phasescope.h"
#include "display/spectrumwidget.h"
#include "modem/psktxrx.h"
#include "modem/replaydistance.h"
#include "tests/modem/modemtesthelpers.h"
#include "bench/benchcommon.h"

#include <QTest>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>

namespace {

constexpr int kBlock = 2048;
constexpr double kRate = 11025.0;
constexpr double kBinHz = kRate / kBlock;
using Block = std::array<float, kBlock>;

// Points the settings store at a fresh file holding `values` while it lives.
using ScopedSettings = ModemTest::SettingsSandbox;

// A cosine at a (possibly fractional) bin of the 2048-point frame, at 1/300 of full scale.
Block tone(double bin)
{
    Block block{};
    for (int n = 0; n < kBlock; ++n)
        block[n] = float(32767.0 / 300 * std::cos(2.0 * M_PI * bin * n / kBlock));
    return block;
}

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
        : rx(mode.modemName())
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

    CPskTxRx rx;
    SpectrumWidget waterfall;
    QString decoded;
    int fill = 0;
    Block block{};
};

const QString kMessage = QStringLiteral("CQ CQ DE VK2XYZ VK2XYZ PSE K");

} // namespace

class TestWaterfall : public QObject
{
    Q_OBJECT

    static int peakColumn(const SpectrumWidget& w, int row)
    {
        const quint8* line = w.line(row);
        return int(std::max_element(line, line + SpectrumWidget::kImageWidth) - line);
    }

private slots:
    // The phase scope: a reversal (a clean BPSK symbol) is a green vector
    // straight down, a quarter turn a red one to the left, each as long as
    // the symbol is strong; a symbol without strength is not drawn.
    void phaseScopeDrawsTheSymbols()
    {
        PhaseScope scope;
        scope.resize(201, 201);
        scope.setStyleSheet(QStringLiteral("color: blue")); // the text colour, no symbol's
        const auto colourAt = [&scope](int dx, int dy) { return scope.grab().toImage().pixelColor(100 + dx, 100 + dy); };
        scope.onPskSymbol(long(1) << 31, 1000);
        scope.onPskSymbol(long(1) << 30, 400);
        scope.onPskSymbol(-(long(1) << 30), 0);
        for (const auto& [dx, dy, hue] : {std::tuple{0, 60, 120}, {-30, 0, 0}, {0, 85, 120}})
            QVERIFY2(colourAt(dx, dy).hsvHue() == hue && colourAt(dx, dy).value() == 255, qPrintable(QStringLiteral("%1,%2").arg(dx).arg(dy)));
        for (const auto& [dx, dy] : {std::pair{-60, 0}, {30, 0}, {0, -60}})
            QCOMPARE(colourAt(dx, dy), QColor(Qt::black));
        // The S/N and the IMD are drawn: each figure shows in the picture.
        for (const auto& [snr, imd] : {std::pair{-8.0, qQNaN()}, {-8.0, -28.0}, {-20.0, -28.0}}) {
            const QImage before = scope.grab().toImage();
            scope.setSignalReport(snr, imd);
            QVERIFY(scope.grab().toImage() != before);
        }
        const QImage corner = scope.grab().toImage().copy(0, 0, 24, 24).convertToFormat(QImage::Format_RGB32); // off the disc
        const auto* pixels = reinterpret_cast<const QRgb*>(corner.constBits());
        QVERIFY(std::count_if(pixels, pixels + 24 * 24, [](QRgb p) { return qBlue(p) > qRed(p) + 60; }) > 5); // the S/N in the text colour
    }

    // What the waterfall draws of a signal in noise at two settings of brightness and contrast,
    // and its colours, pinned (see fingerprintMismatch).
    void linesAndColoursAsBefore()
    {
        ScopedSettings settings;
        Station station;
        const std::vector<qint16> audio = Bench::withNoise(ModemTest::transmit(ModemTest::mode(QStringLiteral("BPSK31")), kMessage, 1200.0), 0.0, kRate, 3);
        std::vector<double> trace;
        for (const int brightness : {20, 35}) {
            station.waterfall.slotBrightness(brightness), station.waterfall.slotContrast(brightness + 30);
            station.hear(audio);
            for (int row = 0; row < int(audio.size()) / kBlock; ++row)
                trace.insert(trace.end(), station.waterfall.line(row), station.waterfall.line(row) + SpectrumWidget::kImageWidth);
        }
        trace.insert(trace.end(), station.waterfall.colorTable().cbegin(), station.waterfall.colorTable().cend());
        const QString mismatch = ModemTest::fingerprintMismatch(QStringLiteral("waterfall"), trace);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    void linesScrollDownStandStillWhileSendingAndShowTheMarkers()
    {
        ScopedSettings settings({{"Waterfall/Span", 0}}); // the whole band; receive marker at 1000 Hz
        SpectrumWidget widget;
        widget.updateWaterfall(tone(200.0).data());
        widget.updateWaterfall(tone(400.0).data());
        QCOMPARE(std::pair(peakColumn(widget, 0), peakColumn(widget, 1)), std::pair(400, 200));
        QVERIFY(widget.currentLines()[100] == 0 && widget.currentLines()[400] > 60); // a quiet band is dark
        // Transmitting with the text echoed: the block is not even windowed.
        StationState::setTransmitting(true);
        auto block = tone(300.0);
        const auto original = block;
        widget.updateWaterfall(block.data());
        StationState::setTransmitting(false);
        QVERIFY(block == original);

        widget.setTxMarker(2000.0);
        widget.resize(1024, 120);
        QImage image(widget.size(), QImage::Format_ARGB32);
        widget.render(&image);
        // Receive: red, point up at y = 26. Transmit: blue, point down at 36.
        const int xr = qRound(1000.0 * 1024 / 5512), xt = qRound(2000.0 * 1024 / 5512);
        QCOMPARE(std::pair(QColor(image.pixel(xr, 30)), QColor(image.pixel(xt, 32))), std::pair(QColor(Qt::red), QColor(Qt::blue)));
    }

    // The depth chosen is what is kept: a line 20 s old is still at the
    // bottom of the picture, one more line pushes it out. A deeper history
    // keeps what is there, and the next start finds the choice again.
    void historyDepthIsHonoured()
    {
        ScopedSettings settings({{"Waterfall/History", 20}});
        SpectrumWidget widget;
        widget.resize(600, SpectrumWidget::kImageTop + 150);
        const int rows = widget.historyRows();
        QVERIFY(rows * kBlock >= 20 * kRate && (rows - 1) * kBlock < 20 * kRate);
        const int x = widget.columnOf(300 * kBinHz);
        const auto bottomIsLit = [&] { return QColor(widget.grab().toImage().pixel(x, widget.height() - 1)) != Qt::black; };
        widget.updateWaterfall(tone(300.0).data());
        for (int i = 1; i < rows; ++i)
            widget.updateWaterfall(Block{}.data());
        QVERIFY(peakColumn(widget, rows - 1) == 300 && bottomIsLit() && !widget.line(rows));

        widget.setHistorySeconds(300);
        QVERIFY(widget.historyRows() >= 15 * rows - 15 && widget.historyRows() <= 15 * rows && peakColumn(widget, rows - 1) == 300);
        widget.setHistorySeconds(20);
        widget.updateWaterfall(Block{}.data());
        QVERIFY(widget.line(rows - 1)[300] == 0 && !bottomIsLit());
        widget.setHistorySeconds(100); // not offered: the nearest is
        QCOMPARE(SpectrumWidget().historySeconds(), 120);
    }

    // However long a transmission lasts, with the echo on or off and the
    // receiver hearing nothing, the band's picture stays, dimmed; it runs on
    // when receiving resumes.
    void pictureStandsDimmedWhileSending()
    {
        ScopedSettings settings;
        SpectrumWidget widget;
        widget.resize(700, 120);
        for (int i = 0; i < 40; ++i)
            widget.updateWaterfall(tone(300.0).data());
        const QPoint at(widget.columnOf(300 * kBinHz), SpectrumWidget::kImageTop + 6);
        const QColor lit = widget.grab().toImage().pixel(at);
        for (const bool echo : {true, false}) {
            StationState::setTxEchoEnabled(echo);
            StationState::setTransmitting(true);
            for (int i = 0; i < widget.historyRows(); ++i)
                widget.updateWaterfall(Block{}.data());
            const QColor dimmed = widget.grab().toImage().pixel(at);
            StationState::setTransmitting(false);
            QVERIFY2(dimmed.value() > 0 && dimmed.value() < lit.value() * 3 / 4, qPrintable(dimmed.name()));
            QCOMPARE(QColor(widget.grab().toImage().pixel(at)), lit);
        }
        StationState::setTxEchoEnabled(true);
        widget.updateWaterfall(Block{}.data());
        QCOMPARE(peakColumn(widget, 1), 300);
    }

    void ticksClicksAndMarkersAgree_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("span");
        QTest::addColumn<int>("zoom");
        QTest::addColumn<double>("firstHz"); // the first long tick, then one every stepHz
        QTest::addColumn<double>("stepHz");
        QTest::addColumn<int>("count");
        QTest::newRow("480 px, 0-3 kHz") << 480 << 11025 << 3000 << 1 << 500.0 << 500.0 << 5;
        QTest::newRow("1400 px, whole band") << 1400 << 11025 << 0 << 1 << 500.0 << 500.0 << 11;
        QTest::newRow("1400 px, 8000 Hz, whole band") << 1400 << 8000 << 0 << 1 << 500.0 << 500.0 << 7;
        QTest::newRow("1024 px, 48000 Hz, 0-4 kHz") << 1024 << 48000 << 4000 << 1 << 500.0 << 500.0 << 7;
        QTest::newRow("1024 px, 0-3 kHz, 4x at 2000 Hz") << 1024 << 11025 << 3000 << 4 << 1700.0 << 100.0 << 7;
    }

    // The span chosen fills the width. A click on a long ruler tick over a
    // waterfall without a trace tunes to the tick's frequency within half a
    // pixel, and the red marker then stands on a long tick; zoomed, the
    // view opens centred on the stored receive frequency and then centres on the marker.
    void ticksClicksAndMarkersAgree()
    {
        QFETCH(int, width);
        QFETCH(int, rate);
        QFETCH(int, span);
        QFETCH(int, zoom);
        QFETCH(double, firstHz);
        QFETCH(double, stepHz);
        QFETCH(int, count);
        ScopedSettings settings({{"Audio/Input/SampleRate", rate}, {"Waterfall/Span", span}, {"Waterfall/Zoom", zoom}, {"RxFq", 2000.0}});
        SpectrumWidget widget;
        widget.resize(width, 200);
        quint32 seed = 1;
        for (int line = 0; line < 30; ++line) { // white noise
            Block block{};
            for (float& v : block)
                v = float(int((seed = seed * 1664525u + 1013904223u) >> 20) - 2048);
            widget.updateWaterfall(block.data());
        }
        // The columns of the row y in colour, as drawn now.
        const auto columns = [&](int y, Qt::GlobalColor colour) {
            const QImage image = widget.grab().toImage();
            QList<int> found;
            for (int x = 0; x < width; ++x)
                if (QColor(image.pixel(x, y)) == QColor(colour))
                    found << x;
            return found;
        };
        const auto longTicks = [&] { return columns(21, Qt::white); };
        const QList<int> ticks = longTicks();
        QCOMPARE(ticks.size(), count);
        const double hzPerPixel = (span ? span : rate / 2.0) / zoom / width;
        for (int k = 0; k < ticks.size(); ++k) {
            QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(ticks.at(k), kTop + 40));
            QVERIFY2(std::abs(widget.rx() - (firstHz + k * stepHz)) <= hzPerPixel / 2,
                     qPrintable(QStringLiteral("tick at %1: %2 Hz").arg(ticks.at(k)).arg(widget.rx())));
            const QList<int> red = columns(29, Qt::red);
            const int centre = red.isEmpty() ? -1 : (red.first() + red.last()) / 2;
            QVERIFY2(!red.isEmpty() && red.first() + red.last() == 2 * centre && longTicks().contains(centre),
                     qPrintable(QStringLiteral("marker for the tick at %1 at %2").arg(ticks.at(k)).arg(centre)));
            if (zoom > 1) {
                QVERIFY(std::abs(centre - width / 2) <= 1);
                widget.tuneFrequency(2000.0, 0); // back to the first view, centred on the stored frequency
            }
        }
    }

    void snapsToTheTraceCentre()
    {
        ScopedSettings settings({{"TxFq", 1500.0}, {"Waterfall/Span", 0}}); // a column a bin wide
        SpectrumWidget widget;
        widget.resize(1024, 300);
        feedIdle(widget, 400.5 * kBinHz, 40);
        std::vector<std::pair<double, double>> seen;
        int replay = 0; // how far back the receiver is to decode again
        connect(&widget, &SpectrumWidget::signalFqChanged, this, [&](double rx, double tx) { seen.emplace_back(rx, tx), replay += ReplayDistance::get(); });
        // Clicked three columns off, between two bins: the centre of the trace.
        widget.slotLock(Qt::Checked);
        QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(403, kTop + 20));
        QCOMPARE(seen, (std::vector<std::pair<double, double>>(2, {400.5 * kBinHz, 1500.0})));
        widget.slotLock(Qt::Unchecked);
        QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(398, kTop + 20));
        QCOMPARE(seen.back(), std::make_pair(400.5 * kBinHz, 400.5 * kBinHz));
        QVERIFY(std::exchange(replay, 0) > 0);
        QTest::mouseClick(&widget, Qt::LeftButton, {}, QPoint(398, kTop - 5)); // on the ruler: tuned, nothing replayed
        QVERIFY(replay == 0 && seen.back().first == 400.5 * kBinHz);
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
        QCOMPARE(seen.size(), size_t(6));
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
    // from its first character, clean, and on to the end. With the squelch on
    // (the BPSK ones) the decoder's quality opens it for a replay, as the
    // level of the band now says nothing of the older audio.
    void replayStartsWhereTheTraceBegan()
    {
        QFETCH(QString, file);
        QFETCH(QString, modeName);
        QFETCH(double, carrier);
        ScopedSettings settings({{"Waterfall/Span", 0}});
        const QString text = ModemTest::peerText();
        std::vector<qint16> audio = ModemTest::readWav16(ModemTest::peerDir().filePath(file));
        QVERIFY2(!audio.empty() && !text.isEmpty(), qPrintable(file));
        audio.insert(audio.begin(), 40 * 1024, 0);
        quint32 seed = 7;
        for (qint16& v : audio) // a noise floor 40 dB below the peaks
            v = qint16(v + int((seed = seed * 1664525u + 1013904223u) >> 24) - 128);

        Station station(ModemTest::mode(modeName), carrier + 400.0);
        station.rx.Command(ModemCommand::kSetSquelch, modeName.startsWith(u'B'), 0, 0), station.rx.setSquelchLevel(SquelchGate::kDefaultLevel);
        const size_t split = audio.size() * 3 / 4 / 1024 * 1024;
        station.hear(std::vector<qint16>(audio.begin(), audio.begin() + std::ptrdiff_t(split)));
        station.decoded.clear();
        QTest::mouseClick(&station.waterfall, Qt::LeftButton, {}, QPoint(qRound(carrier / kBinHz), kTop + 1));
        station.hear(std::vector<qint16>(audio.begin() + std::ptrdiff_t(split), audio.end()));
        station.hear(std::vector<qint16>(split / 2 + 40 * 1024, 0)); // time for the replay to catch up
        // Nothing of the noise before the trace is printed: the replay starts on the first symbol.
        const int at = station.decoded.indexOf(text);
        QVERIFY2(at >= 0 && station.decoded.left(at).simplified().isEmpty(), qPrintable(station.decoded));
    }
};

QTEST_MAIN(TestWaterfall)
#include "tst_waterfall.moc"
