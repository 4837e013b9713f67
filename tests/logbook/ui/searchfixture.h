// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small logs for the search dialog tests, written and read back through the log file class.
#include "logbook/hamlog.h"
#include "tests/logbook/logfixtures.h"

#include <QItemSelectionModel>
#include <QAbstractItemView>

#include <algorithm>

namespace SearchFixture {

inline CQsoData qso(const QString& call, const QString& start, quint32 hz, const QString& info = QString())
{
    CQsoData q = LogFixtures::qso(call, start, hz);
    q.end = q.start.addSecs(5 * 60);
    q.sent = QStringLiteral("599"), q.received = QStringLiteral("579"), q.info = info;
    return q;
}

// Five contacts in time order.
inline QList<CQsoData> fiveContacts()
{
    return {qso("DL1ABC", "20260301100000", 14070000), qso("G4XYZ", "20260301110000", 7070000, "Met at Friedrichshafen"),
            qso("OE3ABC", "20260302090000", 3580000), qso("F5AAA", "20260303120000", 21070000),
            qso("I2BBB", "20260304130000", 28120000)};
}

inline bool writeLog(const QString& path, const QList<CQsoData>& records)
{
    CHamLog log(path);
    return std::all_of(records.begin(), records.end(), [&log](const CQsoData& q) { return log.append(q); });
}

using LogFixtures::calls;

inline QStringList loggedCalls(const QString& path)
{
    return calls(CHamLog(path).search(QString()));
}

// Adds whole rows to the table's selection, each as a range of its own.
inline void selectRows(QAbstractItemView* table, const QList<int>& rows)
{
    for (int row : rows)
        table->selectionModel()->select(table->model()->index(row, 0),
                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

} // namespace SearchFixture
