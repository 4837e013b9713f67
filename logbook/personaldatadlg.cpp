// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/personaldatadlg.h"

#include "ui_personaldatadialog.h"

PersonalDataDlg::PersonalDataDlg(const PersonalData& data, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::PersonalDataDialog>())
    , m_data(data)
{
    m_ui->setupUi(this);
    m_ui->lineEditCall->setText(m_data.call.toUpper());
    m_ui->lineEditName->setText(m_data.name);
    m_ui->lineEditQTH->setText(m_data.qth);
    m_ui->lineEditLocator->setText(m_data.locator);
    m_ui->lineEditAntenna->setText(m_data.antenna);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &PersonalDataDlg::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &PersonalDataDlg::reject);
}

PersonalDataDlg::~PersonalDataDlg() = default;

void PersonalDataDlg::accept()
{
    const QString locator = m_ui->lineEditLocator->text().trimmed();
    if (!locator.isEmpty() && !PersonalData::isLocator(locator)) {
        m_ui->labelProblem->setText(tr("The locator is two letters A to R, two digits and optionally two "
                                       "letters A to X, for example JO62 or JO62qm."));
        m_ui->labelProblem->show();
        m_ui->lineEditLocator->setFocus();
        return;
    }
    m_data.locator = PersonalData::normalLocator(locator);
    m_data.antenna = m_ui->lineEditAntenna->text().trimmed();
    // Blanks around a call would be keyed in the Morse identification.
    m_data.call = m_ui->lineEditCall->text().trimmed().toUpper();
    m_data.name = m_ui->lineEditName->text();
    m_data.qth = m_ui->lineEditQTH->text();
    m_data.rst = QLatin1String(PersonalData::kDefaultRst);
    QDialog::accept();
}
