// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// The process-wide quarter-wave sine table shared by the receive and transmit
// DSP: 16385 entries, entry i = trunc(sin(i * 3.1415926535 / 32768) * 32767).
// Angles are unsigned 16-bit, 65536 per turn. Built during static
// initialisation, read-only afterwards, so any thread may read it.
namespace SineTable {

constexpr int kEntries = 16385;
extern const qint32* const table;

inline qint32 sin16(quint16 a)
{
    if (a <= 16384)
        return table[a];
    if (a <= 32768)
        return table[32768 - a];
    if (a <= 49152)
        return -table[a - 32768];
    return -table[65536 - a];
}

inline qint32 cos16(quint16 a)
{
    if (a <= 16384)
        return table[16384 - a];
    if (a <= 32768)
        return -table[a - 16384];
    if (a <= 49152)
        return -table[49152 - a];
    return table[a - 49152];
}

} // namespace SineTable
