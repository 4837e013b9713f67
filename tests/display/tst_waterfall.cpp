// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The waterfall: scrolling lines, standing still while sending, the markers as drawn.
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
        const quint8* line = w.currentLines() + row * SpectrumWidget::kImageWidth;
        return int(std::max_element(line, line + SpectrumWidget::kImageWidth) - line);
    }

private slots:
    void linesScrollDownStandStillWhileSendingAndShowTheMarkers()
    {
        ScopedSettings settings; // receive marker at 1000 Hz
        SpectrumWidget widget;
        widget.updateWaterfall(tone(200.0, kFullScale / 300).data());
        widget.updateWaterfall(tone(400.0, kFullScale / 300).data());
        QCOMPARE(peakColumn(widget, 0), 400);
        QCOMPARE(peakColumn(widget, 1), 200);
        QVERIFY(widget.currentLines()[100] == 0 && widget.currentLines()[400] > 60); // a quiet band is dark
        // Transmitting with the text echoed: the block is not even windowed.
        StationState::setTransmitting(true);
        const std::vector<quint8> before(widget.currentLines(), widget.currentLines() + 2 * SpectrumWidget::kImageWidth);
        auto block = tone(300.0, kFullScale / 300);
        const auto original = block;
        widget.updateWaterfall(block.data());
        StationState::setTransmitting(false);
        QVERIFY(block == original);
        QVERIFY(std::equal(before.begin(), before.end(), widget.currentLines()));

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
};

QTEST_MAIN(TestWaterfall)
#include "tst_waterfall.moc"
