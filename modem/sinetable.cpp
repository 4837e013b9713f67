// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/sinetable.h"

#include <array>
#include <cmath>

namespace {
std::array<qint32, SineTable::kEntries> build()
{
    std::array<qint32, SineTable::kEntries> t{};
    for (int i = 0; i < SineTable::kEntries; ++i)
        t[i] = qint32(std::sin(i * 3.1415926535 / 32768.0) * 32767.0);
    return t;
}
const std::array<qint32, SineTable::kEntries> g_table = build();
} // namespace

const qint32* const SineTable::table = g_table.data();
