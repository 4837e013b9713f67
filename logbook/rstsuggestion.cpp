// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/rstsuggestion.h"

#include <algorithm>
#include <cmath>

namespace {
// The least S/N for readability 5, 4, 3 and 2: solid copy a few dB above
// the threshold, copy with errors near it, and barely readable below.
constexpr double kReadability[] = {-3.0, -7.0, -10.0, -13.0};
} // namespace

QString RstSuggestion::fromSnr(double snrDb)
{
    if (!(snrDb > -90.0))
        return QString();
    int r = 1;
    for (int i = 0; i < 4; ++i) {
        if (snrDb >= kReadability[i]) {
            r = 5 - i;
            break;
        }
    }
    const int s = std::clamp(1 + int(std::floor((snrDb + 20.0) / 5.0)), 1, 9);
    return QStringLiteral("%1%2%3").arg(r).arg(s).arg(9);
}
