// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The operator's own station data that macros put into transmitted text and
// the modem keys as its Morse identification: own call, name, QTH, default
// report and a free text. Kept in the settings group "Personal data": every
// object reads the group when constructed and writes its five fields back
// when destroyed, so the last copy to go decides what is stored. GUI thread.
class PersonalData
{
public:
    static constexpr const char* kGroup = "Personal data";
    static constexpr const char* kDefaultRst = "599";

    PersonalData();
    PersonalData(const PersonalData&) = default;
    PersonalData& operator=(const PersonalData&) = default;
    ~PersonalData();

    void load();
    void save() const;

    QString call;
    QString name;
    QString qth;
    QString rst;
    QString info;
};
