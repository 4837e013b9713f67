// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook/qsodata.h"

#include <QDateTime>
#include <QHash>
#include <QString>

// Who has been worked before: for every call in the log, how many contacts
// and the last of them. The log is read once, at the first question, and
// again only when the file has changed behind the program's back (an import,
// a merge, an edit in the search table, another program); a QSO the program
// saves itself is added without reading. GUI thread.
class WorkedBefore
{
public:
    struct Summary
    {
        int count = 0;
        CQsoData last; // the latest contact by start time
    };

    explicit WorkedBefore(const QString& logFileName);

    // Contacts with call (any letter case); count 0 for a new one.
    Summary lookUp(const QString& call);
    // A QSO just appended to the log by the program.
    void added(const CQsoData& qso);
    // "Worked before: 3 QSOs, last 2026-03-01 14:05 UTC, BPSK31, 14070 kHz,
    // Taro", or an empty text for a call not in the log.
    static QString hint(const Summary& summary);

private:
    void readIfChanged();
    void note(const CQsoData& qso);

    QString m_fileName;
    QHash<QString, Summary> m_byCall;
    qint64 m_size = -1;
    QDateTime m_modified;
};
