// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/spectrumwidget.h"

#include "core/settings.h"
#include "core/stationstate.h"
#include "modem/replaydistance.h"

#include <QActionGroup>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygonF>
#include <QToolButton>

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

// While transmitting, the standing picture is drawn at this share of its
// brightness.
constexpr double kDimming = 0.45;

const QString kGroup = QStringLiteral("Waterfall");

// The offered value nearest to `value`.
template <size_t N>
int nearestOf(const int (&offered)[N], int value)
{
    int best = offered[0];
    for (int v : offered)
        if (std::abs(qint64(v) - value) < std::abs(qint64(best) - value))
            best = v;
    return best;
}

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
    // A hand-edited value is taken to the nearest choice offered; one that
    // is no number at all gives the default.
    settings.beginGroup(kGroup);
    const auto stored = [&settings](const QString& key, int fallback) {
        bool ok = false;
        const int v = settings.value(key).toInt(&ok);
        return ok ? v : fallback;
    };
    const int span = stored(QStringLiteral("Span"), kDefaultSpan);
    m_span = span == 0 ? 0 : span < 0 ? kDefaultSpan : nearestOf(kSpans, span);
    m_zoom = nearestOf(kZooms, stored(QStringLiteral("Zoom"), 1));
    m_historySeconds = nearestOf(kHistories, stored(QStringLiteral("History"), kDefaultHistory));
    settings.endGroup();
    m_viewCentre = m_rx;

    CreatePalette();
    m_sampleRate = rate;
    resizeHistory();
    createViewMenu();
    update();
}

SpectrumWidget::~SpectrumWidget() = default;

const quint8* SpectrumWidget::line(int row) const
{
    if (m_filled == 0 || row < 0 || row >= m_rows)
        return nullptr;
    return m_lines.data() + size_t((m_head + row) % m_rows) * kImageWidth;
}

void SpectrumWidget::resizeHistory()
{
    const double rate = m_sampleRate > 1 ? m_sampleRate : 11025;
    const int rows = std::max(kSnapRows, int(std::ceil(m_historySeconds * rate / kBlockSize)));
    if (rows == m_rows)
        return;
    std::vector<quint8> lines(size_t(rows) * kImageWidth, 0);
    const int kept = std::min(m_filled, rows);
    for (int r = 0; r < kept; ++r)
        std::memcpy(lines.data() + size_t(r) * kImageWidth, line(r), kImageWidth);
    m_lines.swap(lines);
    m_rows = rows;
    m_head = 0;
    m_filled = kept;
}

void SpectrumWidget::updateWaterfall(float* displayBlock)
{
    // What comes in while sending is the own signal or, with the receiver
    // muted, nothing: lines of it would push the picture of the band away.
    if (StationState::isTransmitting())
        return;

    m_head = (m_head + m_rows - 1) % m_rows;
    quint8* newest = m_lines.data() + size_t(m_head) * kImageWidth;
    applyWindow(displayBlock);
    m_fft.process(displayBlock, 0, Cfft::kBinCount - 1, kScale, m_levels.data());
    for (int b = 0; b < kImageWidth; ++b)
        newest[b] = quint8(levelToIndex(m_levels[b], m_brightness, m_contrast));
    m_filled = std::min(m_filled + 1, m_rows);
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

QList<SpectrumWidget::RulerTick> SpectrumWidget::rulerTicks(double lowHz, double hzPerPixel, int width,
                                                           double topHz)
{
    QList<RulerTick> ticks;
    if (!(hzPerPixel > 0.0) || width <= 0)
        return ticks;
    // Labels about 100 pixels apart or more, never crowded.
    const double per100Hz = 100.0 / hzPerPixel;
    const bool fine = per100Hz >= 100.0;
    const int step = fine ? 10 : 100;
    const int longStep = fine ? 100 : 500;
    const int labelStep = fine ? 100 : per100Hz >= 25.0 ? 500 : 1000;
    const double highHz = std::min(lowHz + width * hzPerPixel, topHz);
    for (qint64 f = (qint64(std::floor(lowHz / step)) + 1) * step; f < highHz; f += step) {
        if (f <= 0)
            continue;
        const int x = qRound((f - lowHz) / hzPerPixel);
        if (x >= width)
            break;
        ticks.append({x, f % longStep == 0 ? 20 : 23, f % labelStep == 0 ? QString::number(f) : QString()});
    }
    return ticks;
}

double SpectrumWidget::snapColumn(const quint8* lines, int rowCount, double column, int row)
{
    const int firstRow = std::max(row - (kSnapRows - 1), 0);
    const int lastRow = std::min(firstRow + kSnapRows, rowCount);
    if (!lines || lastRow <= firstRow || !std::isfinite(column))
        return column;
    const int x = int(std::clamp(std::round(column), -1.0e6, 1.0e6));
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
        return column; // no trace under the pointer: tune where it points

    // A PSK trace is symmetric about its carrier, whether it idles (two
    // lines half the symbol rate out) or carries text: the sum of the
    // products of column pairs walking outwards peaks when the pairs
    // straddle the carrier. Centres in half-column steps; of equal ones the
    // nearest to the pointer.
    double best = column;
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
        if (score > bestScore || (score == bestScore && std::abs(centre - column) < std::abs(best - column))) {
            best = centre;
            bestScore = score;
        }
    }
    return best;
}

int SpectrumWidget::rowAt(int y) const
{
    const int height = this->height() - kImageTop;
    const int pixelRow = y - kImageTop;
    if (pixelRow < 0 || height <= 0)
        return -1;
    // The history fills the height, stretched or squeezed.
    return int(std::min(qint64(pixelRow) * m_rows / height, qint64(m_rows) - 1));
}

int SpectrumWidget::replayDistanceForY(int y) const
{
    return kBlockSize * (rowAt(y) + 1);
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
    resizeHistory();
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
    m_dimPalette.clear();
    for (QRgb c : std::as_const(m_palette))
        m_dimPalette.append(qRgb(int(qRed(c) * kDimming), int(qGreen(c) * kDimming), int(qBlue(c) * kDimming)));
}

void SpectrumWidget::setSpan(int topHz)
{
    const int span = topHz <= 0 ? 0 : nearestOf(kSpans, topHz);
    if (span != m_span) {
        m_span = span;
        store(QStringLiteral("Span"), span);
        update();
    }
    showChoices();
}

void SpectrumWidget::setZoom(int factor)
{
    const int zoom = nearestOf(kZooms, factor);
    m_viewCentre = m_rx;
    if (zoom != m_zoom) {
        m_zoom = zoom;
        store(QStringLiteral("Zoom"), zoom);
        update();
    }
    showChoices();
}

void SpectrumWidget::setHistorySeconds(int seconds)
{
    const int depth = nearestOf(kHistories, seconds);
    if (depth != m_historySeconds) {
        m_historySeconds = depth;
        resizeHistory();
        store(QStringLiteral("History"), depth);
        update();
    }
    showChoices();
}

void SpectrumWidget::store(const QString& key, int value)
{
    Settings settings;
    settings.beginGroup(kGroup);
    settings.setValue(key, value);
    settings.endGroup();
}

void SpectrumWidget::createViewMenu()
{
    m_viewMenu = new QMenu(tr("&Waterfall"), this);
    m_viewMenu->setObjectName(QStringLiteral("waterfallMenu"));
    const auto addChoices = [this](const QString& title, const QString& tip, const char* kind,
                                   const QList<std::pair<int, QString>>& choices, void (SpectrumWidget::*apply)(int)) {
        QMenu* menu = m_viewMenu->addMenu(title);
        menu->setToolTipsVisible(true);
        auto* group = new QActionGroup(menu);
        for (const auto& [value, text] : choices) {
            QAction* a = menu->addAction(text);
            a->setCheckable(true);
            a->setData(value);
            a->setProperty("choice", QByteArray(kind));
            a->setToolTip(tip);
            a->setStatusTip(tip);
            group->addAction(a);
            connect(a, &QAction::triggered, this, [this, apply, value] { (this->*apply)(value); });
        }
    };
    addChoices(tr("&Span"), tr("How much of the band the waterfall shows across its width"), "span",
               {{2500, tr("0–2.5 kHz")}, {3000, tr("0–3 kHz")}, {4000, tr("0–4 kHz")}, {0, tr("Whole band")}},
               &SpectrumWidget::setSpan);
    addChoices(tr("&Zoom"), tr("Shows a half or a quarter of the span, centred on the receive marker after each tuning"),
               "zoom", {{1, tr("Off")}, {2, tr("2× around the receive marker")}, {4, tr("4× around the receive marker")}},
               &SpectrumWidget::setZoom);
    addChoices(tr("&History"), tr("How far back the waterfall reaches, from top to bottom"), "history",
               {{20, tr("20 s")}, {60, tr("1 min")}, {120, tr("2 min")}, {300, tr("5 min")}},
               &SpectrumWidget::setHistorySeconds);

    // In the ruler's left corner, where the first label is still far off.
    m_viewButton = new QToolButton(this);
    m_viewButton->setObjectName(QStringLiteral("waterfallButton"));
    m_viewButton->setMenu(m_viewMenu);
    m_viewButton->setPopupMode(QToolButton::InstantPopup);
    m_viewButton->setFocusPolicy(Qt::NoFocus);
    m_viewButton->setStyleSheet(QStringLiteral(
        "QToolButton { color: white; background: black; border: 1px solid gray; padding: 0px 3px; font-size: 7pt; }"
        "QToolButton::menu-indicator { image: none; width: 0px; }"));
    m_viewButton->setToolTip(tr("Span, zoom and history of the waterfall (also under View → Waterfall)"));
    m_viewButton->move(2, 1);
    showChoices();
}

void SpectrumWidget::showChoices()
{
    const auto current = [this](const QByteArray& kind) {
        return kind == "span" ? m_span : kind == "zoom" ? m_zoom : m_historySeconds;
    };
    for (QAction* a : m_viewMenu->findChildren<QAction*>()) {
        const QByteArray kind = a->property("choice").toByteArray();
        if (!kind.isEmpty())
            a->setChecked(a->data().toInt() == current(kind));
    }
    QString text = m_span == 0 ? tr("Whole band") : tr("0–%1 kHz").arg(m_span / 1000.0);
    if (m_zoom > 1)
        text += tr(" %1×").arg(m_zoom);
    m_viewButton->setText(text);
    m_viewButton->adjustSize();
    m_viewButton->setFixedHeight(std::min(m_viewButton->sizeHint().height(), kImageTop - 8));
}

double SpectrumWidget::hzPerPixel() const
{
    const double top = std::max(m_sampleRate / 2.0, 1.0);
    const double spanTop = m_span > 0 ? std::min(double(m_span), top) : top;
    return spanTop / m_zoom / std::max(width(), 1);
}

double SpectrumWidget::viewLow() const
{
    if (m_zoom <= 1)
        return 0.0;
    const double shown = hzPerPixel() * std::max(width(), 1);
    const double top = std::max(m_sampleRate / 2.0, 1.0);
    return std::clamp(m_viewCentre - shown / 2, 0.0, std::max(top - shown, 0.0));
}

double SpectrumWidget::frequencyAt(int x) const
{
    return viewLow() + x * hzPerPixel();
}

int SpectrumWidget::columnOf(double hz) const
{
    return int(std::clamp(std::round((hz - viewLow()) / hzPerPixel()), -1.0e6, 1.0e6));
}

void SpectrumWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const int width = this->width();
    const int height = this->height() - kImageTop;
    const double low = viewLow();
    const double step = hzPerPixel();

    if (m_filled > 0 && width > 0 && height > 0) {
        if (m_picture.size() != QSize(width, height))
            m_picture = QImage(width, height, QImage::Format_RGB32);
        std::vector<int> bins(size_t(width), 0);
        for (int x = 0; x < width; ++x)
            bins[size_t(x)] = int(std::clamp(std::round((low + x * step) / hzPerColumn()), 0.0, kImageWidth - 1.0));
        const QList<QRgb>& colours = StationState::isTransmitting() ? m_dimPalette : m_palette;
        int previous = -1;
        for (int y = 0; y < height; ++y) {
            auto* out = reinterpret_cast<QRgb*>(m_picture.scanLine(y));
            const int row = rowAt(y + kImageTop);
            if (row == previous) { // a stretched line
                std::memcpy(out, m_picture.constScanLine(y - 1), size_t(width) * sizeof(QRgb));
                continue;
            }
            previous = row;
            const quint8* in = line(row);
            for (int x = 0; x < width; ++x)
                out[x] = colours[in[bins[size_t(x)]]];
        }
        painter.drawImage(0, kImageTop, m_picture);
    }

    painter.fillRect(QRect(0, 0, width, kImageTop), Qt::black);
    // Ticks and markers stand on the column that shows their frequency, the
    // column a click there tunes to.
    painter.setPen(Qt::white);
    for (const RulerTick& tick : rulerTicks(low, step, width, m_sampleRate / 2.0)) {
        painter.drawLine(QLine(tick.x, tick.top, tick.x, kRulerBottom));
        // Not under the button in the corner.
        if (!tick.label.isEmpty() && tick.x - 20 > m_viewButton->geometry().right())
            painter.drawText(QRectF(tick.x + 0.5 - 20, 10, 40, 10), Qt::AlignCenter, tick.label);
    }

    if (m_sampleRate <= 1)
        return;
    const double xt = columnOf(m_tx) + 0.5;
    painter.setBrush(Qt::blue);
    painter.drawPolygon(QPolygonF({QPointF(xt - 5, 31), QPointF(xt, 36), QPointF(xt + 5, 31)}));
    const double xr = columnOf(m_rx) + 0.5;
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
    x = std::clamp(x, 0, std::max(width() - 1, 0));
    const double column = frequencyAt(x) / hzPerColumn();
    // The snap looks at the 16 lines ending at the pointer's (from the top
    // ones for a pointer on the ruler).
    const int row = std::max(rowAt(y), 0);
    const int first = std::max(row - (kSnapRows - 1), 0);
    std::array<quint8, kSnapRows * kImageWidth> window{};
    int count = 0;
    for (; count < kSnapRows && line(first + count); ++count)
        std::memcpy(window.data() + count * kImageWidth, line(first + count), kImageWidth);
    const double centre = snapColumn(count > 0 ? window.data() : nullptr, count, column, row - first);
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
    m_viewCentre = m_rx;
    ReplayDistance::set(replaySamples);
    update();
    emit signalFqChanged(m_rx, m_tx);
    ReplayDistance::set(0);
}

void SpectrumWidget::mousePressEvent(QMouseEvent* event)
{
    ReplayDistance::set(0);
    const QPoint pos = pointerPixel(event);
    if (event->button() != Qt::LeftButton || pos.x() < 0 || pos.x() >= width())
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
    // A zoomed view follows the receive marker once the click is done (not
    // on the press, so that the release lands where the press did).
    m_viewCentre = m_rx;
    update();
    emit signalFqChanged(m_rx, m_tx);
}
