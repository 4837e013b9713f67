// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/filenamedlg.h"

#include "core/apppaths.h"
#include "core/settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

FileNameDlg::Chooser& replacedChooser()
{
    static FileNameDlg::Chooser chooser;
    return chooser;
}

QString textFilter()
{
    return QCoreApplication::translate("FileNameDlg", "Text files (*.txt);;All files (*)");
}

QString folderKey(const QString& kind)
{
    return QStringLiteral("Folders/") + (kind.isEmpty() ? QStringLiteral("other") : kind);
}

// "adi" from "ADIF files (*.adi *.adif);;All files (*)".
QString firstSuffix(const QString& filter)
{
    static const QRegularExpression kPattern(QStringLiteral("\\*\\.(\\w+)"));
    return kPattern.match(filter).captured(1);
}

QString askDesktop(QWidget* parent, const QString& title, const QString& start, const QString& filter,
                   FileNameDlg::Purpose purpose)
{
    QFileDialog dialog(parent, title, start, filter);
    dialog.setAcceptMode(purpose == FileNameDlg::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(purpose == FileNameDlg::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The commands ask themselves, and refuse the log's own files.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (purpose == FileNameDlg::Save)
        dialog.setDefaultSuffix(firstSuffix(filter));
    if (!QFileInfo(start).isDir())
        dialog.selectFile(start);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

void FileNameDlg::setChooser(Chooser chooser)
{
    replacedChooser() = std::move(chooser);
}

bool FileNameDlg::ask(QWidget* parent, const QString& title, const QString& kind, const QString& filter,
                      const QString& preset, Purpose purpose, QString& name)
{
    QString folder = Settings().value(folderKey(kind)).toString();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = AppPaths::writableDirectory();
    const QString start = QDir(folder).absoluteFilePath(preset);
    const QString chosen = replacedChooser() ? replacedChooser()(parent, title, start, purpose)
                                             : askDesktop(parent, title, start, filter, purpose);
    if (chosen.isEmpty())
        return false;
    name = QDir::toNativeSeparators(chosen);
    Settings().setValue(folderKey(kind), QFileInfo(chosen).absolutePath());
    return true;
}

bool FileNameDlg::askSave(QWidget* parent, const QString& title, const QString&, const QString& text,
                          QString& name)
{
    return ask(parent, title, QStringLiteral("text"), textFilter(), text, Save, name);
}
