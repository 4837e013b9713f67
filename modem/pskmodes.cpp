// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/pskmodes.h"

QString PskMode::modemName() const
{
    return qpsk ? QStringLiteral("QPSK") : QStringLiteral("BPSK");
}

namespace PskModes {

const std::vector<PskMode>& all()
{
    static const std::vector<PskMode> modes = {
        {"BPSK31", false, 3125}, {"BPSK63", false, 6250}, {"BPSK125", false, 12500}, {"BPSK250", false, 25000},
        {"QPSK31", true, 3125},  {"QPSK63", true, 6250},  {"QPSK125", true, 12500},  {"QPSK250", true, 25000},
    };
    return modes;
}

const PskMode& standard()
{
    return all().front();
}

const PskMode* find(const QString& name, Qt::CaseSensitivity cs)
{
    for (const PskMode& m : all()) {
        if (name.compare(QLatin1String(m.name), cs) == 0)
            return &m;
    }
    return nullptr;
}

const PskMode* find(bool qpsk, int baudHundredths)
{
    for (const PskMode& m : all())
        if (m.qpsk == qpsk && m.baudHundredths == baudHundredths)
            return &m;
    return nullptr;
}

QStringList names()
{
    QStringList list;
    for (const PskMode& m : all())
        list << m.displayName();
    return list;
}

} // namespace PskModes
