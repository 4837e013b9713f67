// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The operator's own station data that macros put into transmitted text and
// the modem keys as its Morse identification: own call, name, QTH, default
// report and a free text, and for the reports to PSK Reporter and loggers
// the Maidenhead locator and the antenna. Kept in the settings group
// "Personal data": every object reads the group when constructed; save()
// writes its fields back (the window does when the user confirms the dialog
// and when it closes). GUI thread.
class PersonalData
{
public:
    static constexpr const char* kGroup = "Personal data";
    static constexpr const char* kDefaultRst = "599";

    PersonalData();
    PersonalData(const PersonalData&) = default;
    PersonalData& operator=(const PersonalData&) = default;
    ~PersonalData() = default;

    void load();
    void save() const;

    // A Maidenhead locator of 4 or 6 characters ("JO62", "JO62qm"), in any
    // letter case; an empty text is not one.
    static bool isLocator(const QString& text);
    // The usual spelling: field and square letters in capitals, the
    // subsquare in small letters ("JO62qm").
    static QString normalLocator(const QString& text);

    QString call;
    QString name;
    QString qth;
    QString rst;
    QString info;
    QString locator;   // empty or a valid locator (a stored invalid one reads as empty)
    QString antenna;
};
