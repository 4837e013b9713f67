// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/squelchgate.h"

#include <algorithm>

namespace {
// Characters held at most: a few seconds at the highest speed.
constexpr size_t kMaxHeld = 256;
} // namespace

QString SquelchGate::update(double snrDb, double at)
{
    const bool wasOpen = m_open;
    m_open = snrDb >= m_level;
    QString released;
    if (m_open && !wasOpen) {
        for (const Held& h : m_held)
            if (at - h.at <= kLookBackSeconds)
                released += h.ch;
    }
    if (m_open || !m_held.empty()) {
        // Nothing stays held once the gate is open, nor longer than the look-back.
        auto stale = [&](const Held& h) { return m_open || at - h.at > kLookBackSeconds; };
        m_held.erase(std::remove_if(m_held.begin(), m_held.end(), stale), m_held.end());
    }
    return released;
}

bool SquelchGate::pass(QChar ch, double at)
{
    if (m_open)
        return true;
    if (m_held.size() >= kMaxHeld)
        m_held.erase(m_held.begin());
    m_held.push_back({ch, at});
    return false;
}

void SquelchGate::clear()
{
    m_held.clear();
}
