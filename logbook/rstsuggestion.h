// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The signal report to suggest for a station from the measured S/N of its
// signal (dB in 2500 Hz): readability from how far the signal stands above
// what a BPSK31 receiver just copies (about -10 dB), strength one S unit per
// 5 dB from 1 at -20 dB to 9 at +20 dB, tone always 9. Empty when no signal
// stands above the noise (below -90 dB).
namespace RstSuggestion {
QString fromSnr(double snrDb);
}
