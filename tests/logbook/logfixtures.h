// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Helpers shared by the logbook tests: whole-file reads and writes, and records.
#include "logbook/hamlog.h"

#include <QFile>
#include <QStringList>

namespace LogFixtures {

inline QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// A record from a call and a "yyyyMMddhhmmss" UTC start.
inline CQsoData qso(const QString& call, const QString& stamp, quint32 hz = 14070000,
                    const QString& mode = QStringLiteral("BPSK31"))
{
    CQsoData q;
    q.call = call;
    const QDateTime t = QDateTime::fromString(stamp, QStringLiteral("yyyyMMddhhmmss"));
    q.start = q.end = QDateTime(t.date(), t.time(), Qt::UTC);
    q.extraDate1 = q.extraDate2 = QDateTime(); // a cleared record's "now" would be stored
    q.frequencyB = hz;
    q.mode = mode;
    return q;
}

inline QStringList calls(const QList<CQsoData>& records)
{
    QStringList result;
    for (const CQsoData& q : records)
        result << q.call;
    return result;
}

inline QByteArray line(const CQsoData& q) { return CHamLog::logLine(q).toUtf8() + '\n'; }

} // namespace LogFixtures
