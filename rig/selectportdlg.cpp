// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/selectportdlg.h"

#include "rig/comport.h"

#include "ui_selectport.h"

#include <QSerialPortInfo>

namespace {

SelectPortDlg::PortLister& replacedLister()
{
    static SelectPortDlg::PortLister lister;
    return lister;
}

QList<SelectPortDlg::PortInfo> systemPorts()
{
    QList<SelectPortDlg::PortInfo> ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        ports.append({info.systemLocation(), info.description()});
    return ports;
}

} // namespace

void SelectPortDlg::setPortLister(PortLister lister)
{
    replacedLister() = std::move(lister);
}

QList<SelectPortDlg::PortInfo> SelectPortDlg::ports()
{
    return replacedLister() ? replacedLister()() : systemPorts();
}

SelectPortDlg::SelectPortDlg(int port, const QString& device, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SelectPort>())
    , m_port(port)
{
    m_ui->setupUi(this);
    m_ui->lineEdit->setText(QString::number(port));
    m_ui->lineEditDevice->setText(device);

    const QString stored = Comport::deviceFor(port, device.trimmed());
    bool storedListed = stored.isEmpty();
    for (const PortInfo& info : ports()) {
        m_ui->comboPort->addItem(info.description.isEmpty() ? info.device
                                                            : QStringLiteral("%1 \u2013 %2").arg(info.device, info.description),
                                 info.device);
        storedListed = storedListed || info.device == stored;
    }
    if (!storedListed)
        m_ui->comboPort->addItem(tr("%1 (not present)").arg(stored), stored);
    showChosenPort();
    connect(m_ui->comboPort, &QComboBox::activated, this, &SelectPortDlg::takeChosenPort);
    connect(m_ui->lineEdit, &QLineEdit::textEdited, this, &SelectPortDlg::showChosenPort);
    connect(m_ui->lineEditDevice, &QLineEdit::textEdited, this, &SelectPortDlg::showChosenPort);
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

void SelectPortDlg::takeChosenPort(int index)
{
    const QString chosen = m_ui->comboPort->itemData(index).toString();
    const int number = Comport::portNumberFor(chosen);
    if (number > 0) {
        m_ui->lineEdit->setText(QString::number(number));
        m_ui->lineEditDevice->clear();
    } else {
        m_ui->lineEditDevice->setText(chosen);
    }
    setPort();
}

void SelectPortDlg::showChosenPort()
{
    const QString device = Comport::deviceFor(m_ui->lineEdit->text().toInt(), this->device());
    m_ui->comboPort->setCurrentIndex(m_ui->comboPort->findData(device));
}
