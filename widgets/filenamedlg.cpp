// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/filenamedlg.h"

#include "core/apppaths.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

FileNameDlg::Chooser& replacedChooser()
{
    static FileNameDlg::Chooser chooser;
    return chooser;
}

} // namespace

void FileNameDlg::setChooser(Chooser chooser)
{
    replacedChooser() = std::move(chooser);
}

FileNameDlg::FileNameDlg(const QString& title, const QString& label, const QString& text, Purpose purpose,
                         QWidget* parent)
    : QDialog(parent)
    , m_edit(new QLineEdit(text, this))
    , m_purpose(purpose)
{
    setObjectName(QStringLiteral("FileName"));
    setWindowTitle(title);
    m_edit->setObjectName(QStringLiteral("lineEdit"));
    m_edit->setMinimumWidth(260);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(m_edit);
    auto* browseButton = new QPushButton(tr("&Browse..."), this);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QGridLayout(this);
    layout->addWidget(caption, 0, 0);
    layout->addWidget(m_edit, 0, 1);
    layout->addWidget(browseButton, 0, 2);
    layout->addWidget(buttons, 1, 0, 1, 3);
    connect(browseButton, &QPushButton::clicked, this, &FileNameDlg::browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &FileNameDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &FileNameDlg::reject);
}

void FileNameDlg::accept()
{
    m_name = m_edit->text();
    QDialog::accept();
}

void FileNameDlg::browse()
{
    const QString start = QDir(AppPaths::writableDirectory()).absoluteFilePath(m_edit->text());
    const QString chosen = replacedChooser() ? replacedChooser()(this, windowTitle(), start, m_purpose)
                           : m_purpose == Save ? QFileDialog::getSaveFileName(this, windowTitle(), start)
                                               : QFileDialog::getOpenFileName(this, windowTitle(), start);
    if (!chosen.isEmpty())
        m_edit->setText(QDir::toNativeSeparators(chosen));
}

bool FileNameDlg::askOpen(QWidget* parent, const QString& title, const QString& label, const QString& text,
                          QString& name)
{
    FileNameDlg dialog(title, label, text, Open, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.name();
    return true;
}

bool FileNameDlg::askSave(QWidget* parent, const QString& title, const QString& label, const QString& text,
                          QString& name)
{
    FileNameDlg dialog(title, label, text, Save, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.name();
    return true;
}
