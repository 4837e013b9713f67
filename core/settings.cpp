// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

namespace {
QString& settingsPath()
{
    static QString s;
    return s;
}
} // namespace

Settings::Settings(QObject* parent)
    : QSettings(settingsPath(), QSettings::IniFormat, parent)
{
}

QString Settings::path()
{
    return settingsPath();
}

void Settings::setPath(const QString& path)
{
    settingsPath() = path;
}

QString Settings::pathFromArguments(const QStringList& arguments, const QString& appDir,
                                    const QString& appName)
{
    static const QLatin1String kOption("-ini:");
    for (const QString& arg : arguments) {
        const int at = arg.indexOf(kOption); // case-sensitive, anywhere in the argument
        if (at >= 0)
            return arg.mid(at + kOption.size());
    }
    return appDir + QLatin1Char('/') + appName + QLatin1String(".ini");
}
