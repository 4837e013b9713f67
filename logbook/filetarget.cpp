// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/filetarget.h"

#include "logbook/hamlog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

bool mayWriteFile(QWidget* parent, const QString& path, const QString& logFileName)
{
    const QString title = QCoreApplication::applicationName();
    if (CHamLog::isLogOrCompanion(path, logFileName)) {
        QMessageBox::warning(parent, title,
                             QCoreApplication::translate("FileTarget", "%1 belongs to the logbook and is not "
                                                                       "overwritten. Please choose another name.")
                                 .arg(path),
                             QMessageBox::Close);
        return false;
    }
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    // A device, a pipe or a folder is never replaced by a file.
    if (info.exists() && !info.isFile()) {
        QMessageBox::warning(parent, title,
                             QCoreApplication::translate("FileTarget", "%1 is not a regular file and is not "
                                                                       "replaced. Please choose another name.")
                                 .arg(path),
                             QMessageBox::Close);
        return false;
    }
    return QMessageBox::question(parent, title,
                                 QCoreApplication::translate("FileTarget", "%1 already exists. Replace it?").arg(path),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
           == QMessageBox::Yes;
}
