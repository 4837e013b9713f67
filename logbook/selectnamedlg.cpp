// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/selectnamedlg.h"

#include "ui_selectname.h"

SelectNameDlg::SelectNameDlg(const QString& title, const QString& label, const QString& text,
                             QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SelectName>())
{
    m_ui->setupUi(this);
    if (!title.isEmpty())
        setWindowTitle(title);
    if (!label.isEmpty())
        m_ui->label->setText(label);
    m_ui->lineEdit->setText(text);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &SelectNameDlg::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &SelectNameDlg::reject);
}

SelectNameDlg::~SelectNameDlg() = default;

void SelectNameDlg::accept()
{
    m_name = m_ui->lineEdit->text();
    QDialog::accept();
}

bool SelectNameDlg::ask(QWidget* parent, const QString& title, const QString& label, const QString& text,
                        QString& name)
{
    SelectNameDlg dialog(title, label, text, parent);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    name = dialog.name();
    return true;
}
