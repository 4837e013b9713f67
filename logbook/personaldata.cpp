// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/personaldata.h"

#include "core/settings.h"

#include <QRegularExpression>

PersonalData::PersonalData()
{
    load();
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
    locator = normalLocator(settings.value(QStringLiteral("locator"), QString()).toString().trimmed());
    if (!isLocator(locator))
        locator.clear();
    antenna = settings.value(QStringLiteral("antenna"), QString()).toString();
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
    settings.setValue(QStringLiteral("locator"), locator);
    settings.setValue(QStringLiteral("antenna"), antenna);
    settings.endGroup();
}

bool PersonalData::isLocator(const QString& text)
{
    static const QRegularExpression kLocator(QStringLiteral("^[A-R]{2}[0-9]{2}(?:[A-X]{2})?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    return kLocator.match(text).hasMatch();
}

QString PersonalData::normalLocator(const QString& text)
{
    return text.left(4).toUpper() + text.mid(4).toLower();
}
