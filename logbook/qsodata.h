// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QString>

// One contact as every logbook component passes it around: filled from a log
// line or an ADIF record, from the QSO entry bar, or from an edited table row.
// A plain copyable record with no behaviour beyond clear(); the log line that
// stores it is written and read by CHamLog. Used on the GUI thread only.
struct CQsoData
{
    CQsoData();

    // Number 0, empty texts, both frequencies 0, start, end and both extra
    // dates set to one and the same current UTC time, both flags false.
    void clear();

    quint32 number = 0;        // 0 in every record the program creates
    QString call;
    QDateTime start;
    QDateTime end;             // only its distance from start is stored, in whole minutes
    QDateTime extraDate1;      // stored only when later than start
    QDateTime extraDate2;      // stored only when later than start
    quint32 frequencyA = 0;    // Hz; stored as 0 whenever frequencyB is set
    quint32 frequencyB = 0;    // Hz; the frequency the program uses
    QString text9;             // carried unchanged from the line read
    QString mode;
    QString sent;
    QString received;
    QString text13;            // carried unchanged from the line read
    QString text14;            // carried unchanged from the line read
    QString name;
    QString qth;
    QString info;              // notes; the ADIF comment
    // Field 18: the other station's Maidenhead locator; field 19: the power
    // sent, in watts. Lines of older programs leave both empty or hold other
    // text there, which is carried unchanged (QsoFields tells them apart).
    QString locator;
    QString power;
    bool valid = false;        // filled from a log line or an ADIF record; not stored
    bool edited = false;       // changed in the search table; not stored
};

// The checked forms of the fields that a log line's older readers carry as
// plain text.
namespace QsoFields {

// A Maidenhead locator of 4 or 6 characters in any letter case, spelled
// "JO62" or "JO62qm"; empty for any other text.
QString locator(const QString& text);
// A power in watts, as "100", "100 W", "2,5 w" or "0.5": the number alone
// ("100", "2.5"); empty for any other text, for 0 and for more than 10 kW.
QString power(const QString& text);

} // namespace QsoFields
