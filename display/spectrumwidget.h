// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/fft.h"

#include <QImage>
#include <QList>
#include <QRgb>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>

// The band display: a waterfall 1024 columns wide covering 0 Hz to half the
// input sample rate, one new line on top per 2048 input samples, under a
// frequency ruler with a red receive and a blue transmit marker. A left click
// tunes: the pointer column is refined to the centre of the signal under it,
// and a click on an older line asks the receiver to decode the audio of the
// lines above it again (the process-wide replay distance).
//
// GUI thread only. The owner feeds it through updateWaterfall() whenever its
// 2048-sample display block is full; nothing else drives it.
class SpectrumWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kImageWidth = 1024;
    static constexpr int kImageHeight = 1024;
    static constexpr int kImageTop = 26; // the ruler sits above
    static constexpr int kBlockSize = Cfft::kFrameSize;
    static constexpr int kPaletteSize = 185;

    // One ruler tick at column x (the tick's frequency over the width of a
    // column); `label` is empty except on every tenth tick.
    struct RulerTick
    {
        double x;
        int top;
        QString label;
    };

    // The waterfall's brightness and contrast until the title bar's sliders
    // say otherwise; the sliders start from them too.
    static constexpr int kDefaultBrightness = 20;
    static constexpr int kDefaultContrast = 50;

    explicit SpectrumWidget(QWidget* parent = nullptr);
    ~SpectrumWidget() override;

    // Adds one waterfall line made from the 2048 samples of the display
    // block, which is windowed in place. Does nothing while a transmission
    // runs with its text echoed (the waterfall stands still then).
    void updateWaterfall(float* displayBlock);

    double rx() const { return m_rx; }
    double tx() const { return m_tx; }
    bool isLocked() const { return m_lock; }
    int halfRate() const { return m_sampleRate / 2; }
    // Column c shows the transform's bin c, centred on c times this.
    double hzPerColumn() const { return hzPerColumn(m_sampleRate); }
    static double hzPerColumn(int sampleRate) { return double(sampleRate) / kBlockSize; }
    int brightness() const { return m_brightness; }
    int contrast() const { return m_contrast; }
    const QList<QRgb>& colorTable() const { return m_palette; }

    // Palette indices of the displayed lines, row 0 newest, 1024 bytes per
    // row; null before the first line.
    const quint8* currentLines() const;
    // The displayed lines as an indexed image over the same memory (no pixel
    // copy); a null image before the first line.
    QImage waterfallImage() const;

    // The 185-colour waterfall palette, black through blue and yellow to red.
    static QList<QRgb> makePalette();
    // Palette index for a display level (half the log power of a bin).
    static int levelToIndex(float level, int brightness, int contrast);
    // Periodic Hann window of length 2048, in place.
    static void applyWindow(float* block);
    // Ticks every 100 Hz, longer every 500 Hz, labelled every 1000 Hz, at
    // the input sample rate.
    static QList<RulerTick> rulerTicks(int sampleRate);
    // Column (in half-column steps) of the centre of the trace under the
    // pointer at widget position (x, y), from the 16 lines ending at the
    // pointer's line; the pointer's own column x where no trace stands out
    // there. lines may be null (an empty waterfall); pixels outside the
    // image count as 0.
    static double snapColumn(const quint8* lines, int x, int y);
    // Samples back to the clicked line at widget row y (its own audio
    // included); the receiver decodes again from there, or from where the
    // trace under the pointer began. 0 above the image.
    static int replayDistanceForY(int y);

    // Tunes the receive marker (and the transmit one unless locked) as a
    // click on the waterfall does, decoding replaySamples of older audio again.
    void tuneFrequency(double rx, int replaySamples);

signals:
    void signalFqChanged(double rx, double tx);

public slots:
    void slotBrightness(int value);
    void slotContrast(int value);
    void setSampleRate(int rate);
    void slotLock(int state);
    // Moves the blue marker to where the transmitter is; a click with LOCK
    // on sends this frequency back unchanged.
    void setTxMarker(double tx);
    void CreatePalette();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Snaps the pointer to a signal centre and sets rx (and tx unless
    // locked); returns the replay distance for the pointer's row.
    int tuneTo(int x, int y);
    static QPoint pointerPixel(const QMouseEvent* event);

    Cfft m_fft;
    std::unique_ptr<quint8[]> m_images[2];
    int m_current = -1; // index into m_images, -1 until the first line
    std::array<float, Cfft::kBinCount> m_levels{};

    double m_rx = 1000.0;
    double m_tx = 1000.0;
    bool m_pressed = false;
    bool m_lock = false;
    int m_brightness = 20;
    int m_contrast = 50;
    int m_sampleRate = 11025;
    QList<QRgb> m_palette;
};
