// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The waterfall: scrolling lines, the history kept, standing still and dimmed while sending, the markers as drawn.
#include "core/stationstate.h"
#include "display/spectrumwidget.h"
#include "displaytesthelpers.h"

#include <QTest>

#include <algorithm>

using namespace DisplayTest;

class TestWaterfall : public QObject
{
    Q_OBJECT

    static int peakColumn(const SpectrumWidget& w, int row)
    {
        const quint8* line = w.line(row);
        return int(std::max_element(line, line + SpectrumWidget::kImageWidth) - line);
    }

private slots:
    void linesScrollDownStandStillWhileSendingAndShowTheMarkers()
    {
        ScopedSettings settings({{"Waterfall/Span", 0}}); // the whole band; receive marker at 1000 Hz
        SpectrumWidget widget;
        widget.updateWaterfall(tone(200.0).data());
        widget.updateWaterfall(tone(400.0).data());
        QCOMPARE(peakColumn(widget, 0), 400);
        QCOMPARE(peakColumn(widget, 1), 200);
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
        const int xr = qRound(1000.0 * 1024 / 5512);
        const int xt = qRound(2000.0 * 1024 / 5512);
        QCOMPARE(QColor(image.pixel(xr, 30)), QColor(Qt::red));
        QCOMPARE(QColor(image.pixel(xt, 32)), QColor(Qt::blue));
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
        QVERIFY(peakColumn(widget, rows - 1) == 300 && bottomIsLit());
        QVERIFY(!widget.line(rows));

        widget.setHistorySeconds(300);
        QVERIFY(widget.historyRows() >= 15 * rows - 15 && widget.historyRows() <= 15 * rows);
        QCOMPARE(peakColumn(widget, rows - 1), 300);
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
};

QTEST_MAIN(TestWaterfall)
#include "tst_waterfall.moc"
