// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/qsodata.h"

CQsoData::CQsoData()
{
    clear();
}

void CQsoData::clear()
{
    // One clock reading for all four: separate readings could leave an extra
    // date a millisecond "later than start", and it would then be stored.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    number = 0;
    call.clear();
    start = now;
    end = now;
    extraDate1 = now;
    extraDate2 = now;
    frequencyA = 0;
    frequencyB = 0;
    text9.clear();
    mode.clear();
    sent.clear();
    received.clear();
    text13.clear();
    text14.clear();
    name.clear();
    qth.clear();
    info.clear();
    text18.clear();
    text19.clear();
    valid = false;
    edited = false;
}
