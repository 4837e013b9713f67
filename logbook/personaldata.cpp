// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/personaldata.h"

#include "core/settings.h"

PersonalData::PersonalData()
{
    load();
}

PersonalData::~PersonalData()
{
    save();
}

void PersonalData::load()
{
    Settings settings;
    settings.beginGroup(QLatin1String(kGroup));
    call = settings.value(QStringLiteral("call"), QString()).toString();
    name = settings.value(QStringLiteral("name"), QString()).toString();
    qth = settings.value(QStringLiteral("qth"), QString()).toString();
    rst = settings.value(QStringLiteral("rst"), QLatin1String(kDefaultRst)).toString();
    info = settings.value(QStringLiteral("info"), QString()).toString();
    settings.endGroup();
}

void PersonalData::save() const
{
    Settings settings;
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("call"), call);
    settings.setValue(QStringLiteral("name"), name);
    settings.setValue(QStringLiteral("qth"), qth);
    settings.setValue(QStringLiteral("rst"), rst);
    settings.setValue(QStringLiteral("info"), info);
    settings.endGroup();
}
