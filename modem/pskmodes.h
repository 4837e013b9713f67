// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

// The program's one table of PSK modes: what the mode box, the mode menu,
// the command line, the macro tags and the signal browser offer, and how
// each is set up in the modem (BPSK or QPSK, and the symbol rate that
// Command 90 takes, in hundredths of a baud). Constant; any thread.
struct PskMode
{
    const char* name;   // "BPSK31" ... "QPSK250", as the operator knows it
    bool qpsk;
    int baudHundredths; // 3125, 6250, 12500, 25000
    double baud() const { return baudHundredths / 100.0; }
    // What a transceiver is built with: "BPSK" or "QPSK".
    QString modemName() const;
    QString displayName() const { return QString::fromLatin1(name); }
};

namespace PskModes {

// In the order the mode box lists them: the BPSK speeds, then QPSK.
const std::vector<PskMode>& all();
// The first mode, the program's default.
const PskMode& standard();
// The mode of that name; null when there is none.
const PskMode* find(const QString& name, Qt::CaseSensitivity cs = Qt::CaseSensitive);
// The mode a modem runs in: null when no mode of the table has that rate.
const PskMode* find(bool qpsk, int baudHundredths);
QStringList names();

} // namespace PskModes
