// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommonStyle>

// The compact style every dock widget gets: 2-pixel title bar metrics and a
// bordered title bar; all drawing is the common style's.
class DockStyle : public QCommonStyle
{
    Q_OBJECT
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr, QStyleHintReturn* returnData = nullptr) const override;
};
