// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/phasescope.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr double kDegreesPerUnit = 8.381903171539307e-08; // 360 / 2^32
} // namespace

PhaseScope::PhaseScope(QWidget* parent)
    : QWidget(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("PhaseScope"));
    resize(180, 147);
    setWindowTitle(tr("Form"));
    setMinimumSize(50, 50);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void PhaseScope::onPskSymbol(long dangle, long amp)
{
    m_history[m_next] = {std::int32_t(dangle), std::int32_t(amp)};
    m_next = (m_next + 1) % kHistory;
    ++m_received;
    // The next paint draws the whole history, so the symbols of one audio
    // block share one paint, merged with the window's others, instead of
    // each forcing a paint of everything the window has waiting.
    update();
}

void PhaseScope::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setBrush(Qt::black);
    const QRect area = rect();
    const int radius = (std::min(width(), height()) - 1) / 2;
    const QPoint centre((area.left() + area.right()) / 2, (area.top() + area.bottom()) / 2);
    painter.drawEllipse(centre, radius, radius);

    QPen pen;
    pen.setWidth(2);
    const double maxLength = 0.9 * radius;
    // Storage order, not age order: the newest vector may be drawn under an
    // older one, which is invisible at this size.
    for (const Symbol& symbol : m_history) {
        const double length = std::min(symbol.amp * radius * 0.001, maxLength);
        if (length == 0.0)
            continue;
        const double degrees = symbol.dangle * kDegreesPerUnit;
        // Distance from a quarter turn: 0 (red) at +-90 degrees, 120 (green)
        // at 0 and 180 degrees.
        const int hue = std::abs(int(degrees + 180) % 180 - 90) * 120 / 90;
        pen.setColor(QColor::fromHsv(hue, 255, 255, 255));
        painter.setPen(pen);
        // QLineF angles run counter-clockwise from 3 o'clock; phase 0 points up.
        painter.drawLine(QLineF::fromPolar(length, degrees + 90).translated(centre));
    }

    // Kept from paint to paint: the font is looked up once, not per symbol.
    if (m_smallFor != font()) {
        m_smallFor = font();
        m_small = font();
        m_small.setPointSizeF(std::max(6.0, m_small.pointSizeF() * 0.85));
    }
    painter.setFont(m_small);
    painter.setPen(palette().color(QPalette::WindowText));
    // In the corners, clear of the disc in all but a square widget.
    painter.drawText(area.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignTop, m_snrText);
    painter.drawText(area.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignBottom, m_imdText);
}

void PhaseScope::setSignalReport(double snrDb, double imdDb)
{
    const QString none = QStringLiteral("\u2014");
    m_snrText = snrDb > -90.0 ? tr("S/N %1 dB").arg(std::lround(snrDb)) : tr("S/N %1").arg(none);
    m_imdText = std::isnan(imdDb) ? tr("IMD %1").arg(none) : tr("IMD %1 dB").arg(std::lround(imdDb));
    setToolTip(tr("Phase of the last symbols.\n%1: signal to noise ratio of the tuned signal, in dB in 2500 Hz.\n"
                  "%2: its intermodulation while it idles, third-order products against its two tones "
                  "(below -25 dB is clean); a dash while it sends text or is too weak to tell.")
                   .arg(m_snrText, m_imdText));
    update();
}
