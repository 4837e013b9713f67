// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/bandtable.h"

#include "core/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <utility>

namespace BandTable {

Table builtIn()
{
    return Table{
        {QStringLiteral("160m"), 1838.0},  {QStringLiteral("80m"), 3580.0},
        {QStringLiteral("40m"), 7070.0},   {QStringLiteral("30m"), 10139.0},
        {QStringLiteral("20m"), 14070.0},  {QStringLiteral("17m"), 18109.0},
        {QStringLiteral("15m"), 21070.0},  {QStringLiteral("12m"), 24919.0},
        {QStringLiteral("10m"), 28120.0},  {QStringLiteral("6m"), 50000.0},
        {QStringLiteral("2m"), 144000.0},
    };
}

QString defaultFileName()
{
    return QDir(AppPaths::dataDirectory()).absoluteFilePath(QStringLiteral("bands.ini"));
}

Table load()
{
    return load(defaultFileName());
}

Table load(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return builtIn();
    Table table;
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line))
        parseLine(line, table);
    return table;
}

bool parseLine(const QString& line, Table& table)
{
    const QString start = line.trimmed();
    if (start.startsWith(u'#') || start.startsWith(u';'))
        return false; // a comment
    // Each run of up to 80 blanks, tabs or line feeds separates two parts; a
    // longer run counts as two separators and so spoils the line.
    static const QRegularExpression kSeparators(QStringLiteral("[ \\t\\n]{1,80}"));
    QString text = line;
    text.replace(kSeparators, QStringLiteral(";"));
    const QStringList parts = text.split(u';', Qt::KeepEmptyParts);
    if (parts.size() != 2)
        return false;
    bool ok = false;
    const double khz = parts.at(1).toDouble(&ok);
    table.insert(parts.at(0), ok ? khz : 0.0);
    return true;
}

double frequencyKHz(const Table& table, const QString& band)
{
    return table.value(band);
}

QStringList boxEntries(const Table& table)
{
    QList<QPair<double, QString>> bands;
    bands.reserve(table.size());
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        bands.append({it.value(), it.key()});
    std::sort(bands.begin(), bands.end());

    QStringList entries;
    entries.reserve(bands.size());
    for (qsizetype i = 0; i < bands.size(); ++i) {
        // The first band of a run with one frequency names every entry of it.
        qsizetype first = i;
        while (first > 0 && bands.at(first - 1).first == bands.at(i).first)
            --first;
        entries.append(bands.at(first).second);
    }
    return entries;
}

QString bandForDial(const Table& table, double hz)
{
    // Amateur allocations in kHz, as wide as any region has them.
    static constexpr std::pair<double, double> kAllocations[] = {
        {135.7, 137.8},     {472.0, 479.0},     {1800.0, 2000.0},   {3500.0, 4000.0},
        {5250.0, 5450.0},   {7000.0, 7300.0},   {10100.0, 10150.0}, {14000.0, 14350.0},
        {18068.0, 18168.0}, {21000.0, 21450.0}, {24890.0, 24990.0}, {28000.0, 29700.0},
        {50000.0, 54000.0}, {70000.0, 71000.0}, {144000.0, 148000.0}, {219000.0, 225000.0},
        {420000.0, 450000.0}, {1240000.0, 1300000.0}};
    const double kHz = hz / 1000.0;
    for (const auto& [low, high] : kAllocations) {
        if (kHz < low || kHz > high)
            continue;
        QString best;
        for (auto it = table.cbegin(); it != table.cend(); ++it) {
            if (it.value() < low || it.value() > high)
                continue;
            const double d = std::abs(it.value() - kHz);
            const double bestD = best.isEmpty() ? 0.0 : std::abs(table.value(best) - kHz);
            if (best.isEmpty() || d < bestD || (d == bestD && it.key() < best))
                best = it.key();
        }
        return best;
    }
    return QString();
}

} // namespace BandTable
