// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace {
QString& dataOverride()
{
    static QString s;
    return s;
}
QString& writableOverride()
{
    static QString s;
    return s;
}
} // namespace

namespace AppPaths {

QString dataDirectory()
{
    if (!dataOverride().isEmpty())
        return dataOverride();
    const QString appDir = QCoreApplication::applicationDirPath();
    if (QFileInfo::exists(appDir + QLatin1String("/ENG.cwt")))
        return appDir;
    // An installation moved or packaged under another prefix than the one
    // it was built for keeps its data beside its own bin directory.
    const QString relocated = QDir::cleanPath(appDir + QLatin1String("/../share/velkora32"));
    if (QFileInfo::exists(relocated + QLatin1String("/ENG.cwt")))
        return relocated;
#ifdef VELKORA_INSTALL_DATADIR
    const QString installed = QStringLiteral(VELKORA_INSTALL_DATADIR);
    if (QFileInfo::exists(installed + QLatin1String("/ENG.cwt")))
        return installed;
#endif
    return appDir;
}

QString writableDirectory()
{
    if (!writableOverride().isEmpty())
        return writableOverride();
    const QString appDir = QCoreApplication::applicationDirPath();
    // access() asks the kernel with the real user's rights, which is what
    // decides whether our writes will succeed.
    if (::access(QFile::encodeName(appDir).constData(), W_OK) == 0)
        return appDir;
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(userDir);
    return userDir;
}

void setDataDirectory(const QString& dir)
{
    dataOverride() = dir;
}

void setWritableDirectory(const QString& dir)
{
    writableOverride() = dir;
}

} // namespace AppPaths
