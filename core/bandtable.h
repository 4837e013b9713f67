// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

// The band table: amateur-band name to the dial frequency, in kHz, that the
// program assumes for the band. Loaded once by the main window from the text
// file "bands.ini" in the application directory, or taken from a built-in
// list when that file cannot be read; the program never writes the file.
// Plain functions on a plain hash; used on the GUI thread.
//
// "bands.ini" holds one band per line: a name, blanks or tabs, and the
// frequency as a decimal number with a point. A line that does not split
// into exactly these two parts (a leading blank, a third word, a single
// word) is ignored, and a later line for the same band wins. Lines that
// start with "#" or ";" are comments.
namespace BandTable {

using Table = QHash<QString, double>;

// 160m to 2m at their usual PSK dial frequencies.
Table builtIn();

// "bands.ini" in the application directory.
QString defaultFileName();

// The table from the default file, or the built-in table.
Table load();
// The table from fileName when it exists and opens for reading (an empty
// file gives an empty table), otherwise the built-in table.
Table load(const QString& fileName);
// The bands of one line of the file added to table; false when the line is
// not a band line.
bool parseLine(const QString& line, Table& table);

// kHz for a band name; 0 for a name that is not in the table.
double frequencyKHz(const Table& table, const QString& band);

// The entries of the QSO entry bar's band box: one per band, in ascending
// order of frequency. Each entry is the name of the first band (in name
// order) with that frequency, so two bands sharing a frequency give two equal
// entries.
QStringList boxEntries(const Table& table);

// The band a rig's dial at hz lies in: the table's band whose frequency is in
// the same amateur allocation as the dial (the nearest, when several are).
// Empty outside the allocations or when the table has no band there.
QString bandForDial(const Table& table, double hz);

} // namespace BandTable
