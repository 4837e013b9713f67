// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/apppaths.h"
#include "core/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A folder of a test's own for a whole main window: the settings file and
// the written files in it, the Morse table in its "data" subfolder. Returns
// the data folder, or an empty string when it could not be laid out.
inline QString prepareWindowFolder(const QTemporaryDir& dir)
{
    if (!dir.isValid())
        return QString();
    Settings::setPath(dir.filePath(QStringLiteral("Velkora32.ini")));
    const QString data = dir.filePath(QStringLiteral("data"));
    if (!QDir().mkpath(data)
        || !QFile::copy(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/ENG.cwt"),
                        data + QStringLiteral("/ENG.cwt")))
        return QString();
    AppPaths::setDataDirectory(data);
    AppPaths::setWritableDirectory(dir.path());
    return data;
}
