// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <vector>

// A Morse code: two bits per element, the first element in the two lowest
// bits (00 dot, 01 dash, 10 gap), with 11 above the last element as an end
// marker. Dot dash is 52 (110100b); 0 means no code. The sender takes the
// low two bits and shifts right by two until the end marker comes up.
using CwCode = quint32;

// One line of a table's [TX] or [RX] section.
struct CCwEntry
{
    QString text;
    CwCode code = 0;
};

// One loaded ".cwt" file.
struct CCwTable
{
    QString name;
    QString charSet; // upper case
    CwCode startCode = 0;
    CwCode endCode = 0;
    std::vector<CCwEntry> txEntries;
    std::vector<CCwEntry> rxEntries;
};

// A message for the user. The modem has no widgets, so the loader hands its
// messages back and the GUI shows each as a message box with a Close button.
struct CCwTableMessage
{
    enum Severity { Warning, Critical };
    Severity severity = Warning;
    QString title;
    QString text;
};

// The Morse tables: the ".cwt" reader and the program-wide list of tables.
//
// The list is filled on the GUI thread while the main window is built,
// before any audio runs, and is only read afterwards, also by the transmit
// sequencer on the audio output thread. Lookups allocate nothing.
namespace CwTables {

// The table every program needs; codes missing elsewhere are taken from it.
constexpr char16_t kEnglishTable[] = u"ENG";

// The longest pattern whose code, end marker included, fits in 32 bits.
constexpr int kMaxElements = 15;

// The code of a pattern read from its last character to its first: "." dot,
// "-" dash, " " or "_" gap, carriage returns skipped. Any other character,
// an empty pattern or one of more than kMaxElements elements gives 0.
CwCode patternCode(QStringView pattern);

// Reads one table file. False, leaving *table incomplete, when the file
// cannot be opened (silently), has no UTF-16LE byte order mark, or yields no
// name, no character set or no entries (each of the latter with a warning
// appended to messages, which may be null).
bool readTable(const QString& path, CCwTable* table, QList<CCwTableMessage>* messages);

// readTable, then appends a complete table to the program-wide list.
bool loadTable(const QString& path, QList<CCwTableMessage>* messages);

// Replaces the list with every "*.cwt" file in directory, in order of name
// without regard to case. False, with a critical message, when no table is
// named "ENG": the program cannot go on without it.
bool loadAll(const QString& directory, QList<CCwTableMessage>* messages);

// The tables in load order.
const std::vector<CCwTable>& tables();

// The first table with exactly this name, or null.
const CCwTable* find(QStringView name);

// The code of the first transmit entry that is exactly this character, in
// the named table, else in "ENG", else 0.
CwCode codeForChar(QChar c, QStringView tableName);

// Empties the list. Only while no audio runs (tests, reloading).
void clear();

} // namespace CwTables
