// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/selectportdlg.h"

#include "ui_selectport.h"

SelectPortDlg::SelectPortDlg(int port, const QString& device, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SelectPort>())
    , m_port(port)
{
    m_ui->setupUi(this);
    m_ui->lineEdit->setText(QString::number(port));
    m_ui->lineEditDevice->setText(device);
    connect(m_ui->lineEdit, &QLineEdit::editingFinished, this, &SelectPortDlg::setPort);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &SelectPortDlg::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &SelectPortDlg::reject);
}

SelectPortDlg::~SelectPortDlg() = default;

QString SelectPortDlg::device() const
{
    return m_ui->lineEditDevice->text().trimmed();
}

void SelectPortDlg::setPort()
{
    // The input mask admits digits only, so a failed conversion means an
    // empty field, which reads as 0.
    m_port = m_ui->lineEdit->text().toInt(nullptr, 10);
}

void SelectPortDlg::accept()
{
    setPort();
    QDialog::accept();
}
