// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dockstyle.h"

int DockStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const
{
    switch (metric) {
    case PM_TitleBarHeight:
    case PM_DockWidgetTitleMargin:
    case PM_DockWidgetTitleBarButtonMargin:
        return 2;
    default:
        return QCommonStyle::pixelMetric(metric, option, widget);
    }
}

int DockStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const
{
    if (hint == SH_TitleBar_NoBorder)
        return 0;
    return QCommonStyle::styleHint(hint, option, widget, returnData);
}
