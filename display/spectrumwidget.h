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
#include <vector>

class QMenu;
class QToolButton;

// The band display: a waterfall of the input's spectrum under a frequency
// ruler with a red receive and a blue transmit marker, one new line on top
// per 2048 input samples. It fills whatever room it is given: the chosen
// span of the band (0-3 kHz at first, or the whole band, optionally zoomed
// around the receive marker) across its width, the chosen history depth
// (20 s to 5 min of lines) down its height. A left click tunes: the pointer
// is refined to the centre of the signal under it, and a click on an older
// line asks the receiver to decode the audio of the lines above it again
// (the process-wide replay distance). While a transmission runs the picture
// stands still, dimmed.
//
// GUI thread only. The owner feeds it through updateWaterfall() whenever its
// 2048-sample display block is full; nothing else drives it.
class SpectrumWidget : public QWidget
{
    Q_OBJECT
public:
    // Each line holds the transform's 1024 bins, 0 Hz to half the sample rate.
    static constexpr int kImageWidth = 1024;
    static constexpr int kImageTop = 26; // the ruler sits above
    static constexpr int kBlockSize = Cfft::kFrameSize;
    static constexpr int kPaletteSize = 185;

    // The choices offered: the top of the span in Hz (0: the whole band),
    // the zoom around the receive marker, the history depth in seconds.
    static constexpr int kSpans[] = {2500, 3000, 4000, 0};
    static constexpr int kZooms[] = {1, 2, 4};
    static constexpr int kHistories[] = {20, 60, 120, 300};
    static constexpr int kDefaultSpan = 3000;
    static constexpr int kDefaultHistory = 60;

    // One ruler tick at pixel column x; `label` is empty except on the
    // labelled ones.
    struct RulerTick
    {
        int x;
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
    // runs: the picture then stands still, dimmed.
    void updateWaterfall(float* displayBlock);

    double rx() const { return m_rx; }
    double tx() const { return m_tx; }
    bool isLocked() const { return m_lock; }
    int halfRate() const { return m_sampleRate / 2; }
    // Bin c of a line is centred on c times this.
    double hzPerColumn() const { return hzPerColumn(m_sampleRate); }
    static double hzPerColumn(int sampleRate) { return double(sampleRate) / kBlockSize; }
    int brightness() const { return m_brightness; }
    int contrast() const { return m_contrast; }
    const QList<QRgb>& colorTable() const { return m_palette; }

    // Line `row` (0 the newest) as 1024 palette indices, all 0 beyond the
    // lines made so far; null before the first line or past the history.
    const quint8* line(int row) const;
    const quint8* currentLines() const { return line(0); }
    // Lines kept: the history depth at the sample rate.
    int historyRows() const { return m_rows; }

    int span() const { return m_span; }
    int zoom() const { return m_zoom; }
    int historySeconds() const { return m_historySeconds; }
    // Frequency shown at the left edge of pixel column x (and so where a
    // click there tunes when no trace is near), and the column showing hz.
    double frequencyAt(int x) const;
    int columnOf(double hz) const;
    // The menu of span, zoom and history choices; the window's View menu
    // shows it too.
    QMenu* viewMenu() const { return m_viewMenu; }

    // The 185-colour waterfall palette, black through blue and yellow to red.
    static QList<QRgb> makePalette();
    // Palette index for a display level (half the log power of a bin).
    static int levelToIndex(float level, int brightness, int contrast);
    // Periodic Hann window of length 2048, in place.
    static void applyWindow(float* block);
    // Ticks for a ruler `width` pixels wide starting at lowHz with hzPerPixel
    // per column, inside (0, topHz): every 100 Hz, longer every 500 Hz,
    // labelled every 1000 Hz, or every 500 Hz once 100 Hz take 25 pixels;
    // once they take 100 pixels, every 10 Hz, longer and labelled every 100 Hz.
    static QList<RulerTick> rulerTicks(double lowHz, double hzPerPixel, int width, double topHz);
    // Bin (in half-bin steps) of the centre of the trace under the pointer at
    // bin `column` and line `row`, from the 16 lines ending at that line of
    // `rowCount` newest-first lines; `column` itself where no trace stands
    // out there. lines may be null (an empty waterfall); pixels outside the
    // lines count as 0.
    static double snapColumn(const quint8* lines, int rowCount, double column, int row);
    // The line shown at widget row y, -1 above the lines.
    int rowAt(int y) const;
    // Samples back to the line at widget row y (its own audio included); the
    // receiver decodes again from there, or from where the trace under the
    // pointer began. 0 above the lines.
    int replayDistanceForY(int y) const;

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
    // The user's choices, stored at once; values not offered are taken to
    // the nearest one offered.
    void setSpan(int topHz);
    void setZoom(int factor);
    void setHistorySeconds(int seconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Snaps the pointer to a signal centre and sets rx (and tx unless
    // locked); returns the replay distance for the pointer's row.
    int tuneTo(int x, int y);
    static QPoint pointerPixel(const QMouseEvent* event);
    // Keeps the newest lines that fit when the depth or the rate changes.
    void resizeHistory();
    // The shown band: its lower edge and Hz per pixel column.
    double viewLow() const;
    double hzPerPixel() const;
    void createViewMenu();
    void showChoices();
    static void store(const QString& key, int value);

    Cfft m_fft;
    // m_rows lines of kImageWidth bytes, a ring: the newest at m_head.
    std::vector<quint8> m_lines;
    int m_rows = 0;
    int m_head = 0;
    int m_filled = 0; // lines made so far, at most m_rows
    std::array<float, Cfft::kBinCount> m_levels{};
    QImage m_picture; // the painted waterfall, reused while the size stays

    double m_rx = 1000.0;
    double m_tx = 1000.0;
    double m_viewCentre = 1000.0; // where a zoomed view is centred
    bool m_pressed = false;
    bool m_lock = false;
    int m_brightness = 20;
    int m_contrast = 50;
    int m_sampleRate = 11025;
    int m_span = kDefaultSpan;
    int m_zoom = 1;
    int m_historySeconds = kDefaultHistory;
    QList<QRgb> m_palette;
    QList<QRgb> m_dimPalette;
    QMenu* m_viewMenu = nullptr;
    QToolButton* m_viewButton = nullptr;
};
