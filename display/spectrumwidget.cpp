// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/spectrumwidget.h"

#include "core/settings.h"
#include "core/stationstate.h"
#include "modem/replaydistance.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iterator>

namespace {

constexpr float kScale = 0.5f;
constexpr int kRulerBottom = SpectrumWidget::kImageTop - 1;

// The snap averages 16 lines, takes as the floor the median of the columns
// within kSnapFloorReach of the pointer, and looks for a trace standing
// kSnapMinRise palette steps (6 dB at the default contrast, three times what
// noise reaches) above it within kSnapTouch columns of the pointer. The centre is sought in
// half-column steps up to kSnapReach columns either side, by the symmetry of
// ten mirrored column pairs.
constexpr int kSnapRows = 16;
constexpr int kSnapPairs = 10;
constexpr int kSnapReach = 6;
constexpr int kSnapTouch = 3;
constexpr int kSnapFloorReach = 64;
constexpr double kSnapFloorShare = 0.5;
constexpr double kSnapMinRise = 15.0;

// Quarter wave of the Hann window, (1 - cos(v * pi / 32768)) / 2 for
// v = 0 ... 16384; the other three quarters follow by symmetry.
const std::array<double, 16385>& hannQuarter()
{
    static const std::array<double, 16385> table = [] {
        std::array<double, 16385> t{};
        for (int v = 0; v <= 16384; ++v)
            t[v] = (1.0 - std::cos(v * 3.1415926535 * 3.0517578125e-05)) * 0.5;
        return t;
    }();
    return table;
}

QRgb interpolate(QRgb from, QRgb to, int step, int steps)
{
    auto channel = [&](int a, int b) { return int(std::floor(a + step * double(b - a) / steps)); };
    return qRgb(channel(qRed(from), qRed(to)), channel(qGreen(from), qGreen(to)),
                channel(qBlue(from), qBlue(to)));
}

} // namespace

SpectrumWidget::SpectrumWidget(QWidget* parent)
    : QWidget(parent)
{
    setMinimumHeight(50);
    for (auto& image : m_images) {
        image = std::make_unique<quint8[]>(kImageWidth * kImageHeight);
        std::memset(image.get(), 0, kImageWidth * kImageHeight);
    }

    Settings settings;
    m_brightness = settings.value(QStringLiteral("Brightness"), kDefaultBrightness).toInt();
    m_contrast = settings.value(QStringLiteral("Contrast"), kDefaultContrast).toInt();
    m_rx = settings.value(QStringLiteral("RxFq"), 1000.0).toDouble();
    m_tx = settings.value(QStringLiteral("TxFq"), 1000.0).toDouble();
    settings.beginGroup(QStringLiteral("Audio"));
    settings.beginGroup(QStringLiteral("Input"));
    const int rate = settings.value(QStringLiteral("SampleRate"), 11025).toInt();
    settings.endGroup();
    settings.endGroup();

    CreatePalette();
    m_sampleRate = rate;
    update();
}

SpectrumWidget::~SpectrumWidget() = default;

const quint8* SpectrumWidget::currentLines() const
{
    return m_current < 0 ? nullptr : m_images[m_current].get();
}

QImage SpectrumWidget::waterfallImage() const
{
    const quint8* lines = currentLines();
    if (!lines)
        return {};
    QImage image(lines, kImageWidth, kImageHeight, kImageWidth, QImage::Format_Indexed8);
    image.setColorTable(m_palette);
    return image;
}

void SpectrumWidget::updateWaterfall(float* displayBlock)
{
    if (StationState::isTransmitting() && StationState::txEchoEnabled())
        return;

    // Two buffers so that scrolling is one straight copy into the other one
    // instead of an overlapping move.
    const int source = m_current < 0 ? 0 : m_current;
    const int target = 1 - source;
    quint8* lines = m_images[target].get();
    std::memcpy(lines + kImageWidth, m_images[source].get(), kImageWidth * (kImageHeight - 1));

    applyWindow(displayBlock);
    m_fft.process(displayBlock, 0, Cfft::kBinCount - 1, kScale, m_levels.data());
    for (int b = 0; b < kImageWidth; ++b)
        lines[b] = quint8(levelToIndex(m_levels[b], m_brightness, m_contrast));

    m_current = target;
    update();
}

QList<QRgb> SpectrumWidget::makePalette()
{
    static const QRgb kBase[] = {0xFF000000, 0xFF000040, 0xFF000080, 0xFF0000D9, 0xFF96935C,
                                 0xFFB7BA2E, 0xFFE1E46B, 0xFFFFFF00, 0xFFFF3300};
    constexpr int kSegments = int(std::size(kBase)) - 1;
    // A budget of 200 colours spread over the nine base colours.
    constexpr int kSteps = 200 / int(std::size(kBase));

    QList<QRgb> palette;
    palette.reserve(kSegments * (kSteps + 1) + 1);
    for (int i = 0; i < kSegments; ++i) {
        palette.append(kBase[i]);
        for (int k = 0; k < kSteps; ++k)
            palette.append(interpolate(kBase[i], kBase[i + 1], k, kSteps));
    }
    palette.append(kBase[kSegments]);
    return palette;
}

int SpectrumWidget::levelToIndex(float level, int brightness, int contrast)
{
    const float scaled = level * contrast;
    const float threshold = float(40 - brightness);
    const float value = std::max(scaled, threshold) - threshold;
    return std::min(int(value), kPaletteSize - 1);
}

void SpectrumWidget::applyWindow(float* block)
{
    const auto& t = hannQuarter();
    for (int i = 0; i < kBlockSize; ++i) {
        const int v = (32 * i) % 65536;
        double w;
        if (v <= 16384)
            w = t[v];
        else if (v <= 32768)
            w = 1.0 - t[32768 - v];
        else if (v <= 49152)
            w = 1.0 - t[v - 32768];
        else
            w = t[65536 - v];
        block[i] = float(block[i] * w);
    }
}

QList<SpectrumWidget::RulerTick> SpectrumWidget::rulerTicks(int sampleRate)
{
    QList<RulerTick> ticks;
    if (sampleRate <= 1)
        return ticks;
    const int count = sampleRate / 2 / 100;
    const double step = 100.0 / hzPerColumn(sampleRate);
    int labels = 0;
    for (int i = 1; i < count; ++i) {
        RulerTick tick{i * step, i % 5 == 0 ? 20 : 23, QString()};
        if (i % 10 == 0)
            tick.label = QString::number(1000 * ++labels);
        ticks.append(tick);
    }
    return ticks;
}

double SpectrumWidget::snapColumn(const quint8* lines, int x, int y)
{
    const int firstRow = std::max(y - kImageTop - (kSnapRows - 1), 0);
    const int lastRow = std::min(firstRow + kSnapRows, kImageHeight);
    if (!lines || lastRow <= firstRow)
        return x;
    // The lines' average per column, and the floor of the neighbourhood.
    constexpr int kSpan = kSnapFloorReach;
    std::array<double, 2 * kSpan + 1> profile{};
    for (int i = 0; i <= 2 * kSpan; ++i) {
        const int column = x - kSpan + i;
        if (column < 0 || column >= kImageWidth)
            continue;
        int sum = 0;
        for (int r = firstRow; r < lastRow; ++r)
            sum += lines[r * kImageWidth + column];
        profile[size_t(i)] = double(sum) / (lastRow - firstRow);
    }
    std::array<double, 2 * kSpan + 1> sorted = profile;
    const auto floorAt = sorted.begin() + std::ptrdiff_t(kSnapFloorShare * (sorted.size() - 1));
    std::nth_element(sorted.begin(), floorAt, sorted.end());
    const double floor = *floorAt;
    auto rise = [&](int column) {
        const int i = column - x + kSpan;
        return i < 0 || i > 2 * kSpan ? 0.0 : std::max(profile[size_t(i)] - floor, 0.0);
    };

    double touched = 0.0;
    for (int c = x - kSnapTouch; c <= x + kSnapTouch; ++c)
        touched = std::max(touched, rise(c));
    if (touched < kSnapMinRise)
        return x; // no trace under the pointer: tune where it points

    // A PSK trace is symmetric about its carrier, whether it idles (two
    // lines half the symbol rate out) or carries text: the sum of the
    // products of column pairs walking outwards peaks when the pairs
    // straddle the carrier. Centres in half-column steps; of equal ones the
    // nearest to the pointer.
    double best = x;
    double bestScore = -1.0;
    for (int twice = 2 * (x - kSnapReach); twice <= 2 * (x + kSnapReach); ++twice) {
        // Whole column m: pairs m - d, m + d; half column: the two columns
        // either side and outwards.
        const int left = twice % 2 == 0 ? twice / 2 - 1 : (twice - 1) / 2;
        const int right = twice % 2 == 0 ? twice / 2 + 1 : (twice + 1) / 2;
        double score = 0.0;
        for (int j = 0; j < kSnapPairs; ++j)
            score += rise(left - j) * rise(right + j);
        const double centre = twice / 2.0;
        if (score > bestScore || (score == bestScore && std::abs(centre - x) < std::abs(best - x))) {
            best = centre;
            bestScore = score;
        }
    }
    return best;
}

int SpectrumWidget::replayDistanceForY(int y)
{
    const int row = y - kImageTop;
    return row >= 0 ? kBlockSize * (std::min(row, kImageHeight - 1) + 1) : 0;
}

void SpectrumWidget::slotBrightness(int value)
{
    m_brightness = value;
}

void SpectrumWidget::slotContrast(int value)
{
    m_contrast = value;
}

void SpectrumWidget::setSampleRate(int rate)
{
    m_sampleRate = rate;
    update();
}

void SpectrumWidget::slotLock(int state)
{
    m_lock = state == Qt::Checked;
}

void SpectrumWidget::setTxMarker(double tx)
{
    m_tx = tx;
    update();
}

void SpectrumWidget::CreatePalette()
{
    m_palette = makePalette();
}

void SpectrumWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setClipRect(rect());

    const QImage image = waterfallImage();
    if (!image.isNull()) {
        // Only the part inside the widget: the raster engine then converts
        // just the visible rows from palette indices.
        const QRect target = rect().intersected(QRect(0, kImageTop, kImageWidth, kImageHeight));
        if (!target.isEmpty())
            painter.drawImage(target.topLeft(), image, target.translated(0, -kImageTop));
    }

    painter.fillRect(QRect(QPoint(0, 0), QPoint(kImageWidth - 1, kRulerBottom)), Qt::black);
    // Ticks and markers stand on the column that shows their frequency, the
    // column a click there tunes to.
    painter.setPen(Qt::white);
    for (const RulerTick& tick : rulerTicks(m_sampleRate)) {
        const int column = qRound(tick.x);
        painter.drawLine(QLine(column, tick.top, column, kRulerBottom));
        if (!tick.label.isEmpty())
            painter.drawText(QRectF(column + 0.5 - 20, 10, 40, 10), Qt::AlignCenter, tick.label);
    }

    if (m_sampleRate <= 1)
        return;
    auto centreOf = [this](double hz) { return qRound(hz / hzPerColumn()) + 0.5; };
    const double xt = centreOf(m_tx);
    painter.setBrush(Qt::blue);
    painter.drawPolygon(QPolygonF({QPointF(xt - 5, 31), QPointF(xt, 36), QPointF(xt + 5, 31)}));
    const double xr = centreOf(m_rx);
    painter.setBrush(Qt::red);
    painter.drawPolygon(QPolygonF({QPointF(xr, 26), QPointF(xr - 5, 31), QPointF(xr + 5, 31)}));
}

QPoint SpectrumWidget::pointerPixel(const QMouseEvent* event)
{
    // The pixel under the pointer (rounding would take the next one from
    // its right half).
    const QPointF pos = event->position();
    return QPoint(int(std::floor(pos.x())), int(std::floor(pos.y())));
}

int SpectrumWidget::tuneTo(int x, int y)
{
    // A release can land anywhere on the screen; tune to the nearest column.
    x = std::clamp(x, 0, kImageWidth - 1);
    const double centre = snapColumn(currentLines(), x, y);
    m_rx = std::clamp(centre * hzPerColumn(), 0.0, std::max(m_sampleRate / 2.0, 0.0));
    if (!m_lock)
        m_tx = m_rx;
    return replayDistanceForY(y);
}

void SpectrumWidget::tuneFrequency(double rx, int replaySamples)
{
    m_rx = std::clamp(rx, 0.0, std::max(m_sampleRate / 2.0, 0.0));
    if (!m_lock)
        m_tx = m_rx;
    ReplayDistance::set(replaySamples);
    update();
    emit signalFqChanged(m_rx, m_tx);
    ReplayDistance::set(0);
}

void SpectrumWidget::mousePressEvent(QMouseEvent* event)
{
    ReplayDistance::set(0);
    const QPoint pos = pointerPixel(event);
    if (event->button() != Qt::LeftButton || pos.x() >= kImageWidth)
        return;
    m_pressed = true;
    // The receiver reads the distance while it handles the signal.
    ReplayDistance::set(tuneTo(pos.x(), pos.y()));
    update();
    emit signalFqChanged(m_rx, m_tx);
}

void SpectrumWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressed)
        return;
    const QPoint pos = pointerPixel(event);
    tuneTo(pos.x(), pos.y());
    // Only the press replays older audio; the release just retunes.
    ReplayDistance::set(0);
    m_pressed = false;
    update();
    emit signalFqChanged(m_rx, m_tx);
}
