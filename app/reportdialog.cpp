// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/reportdialog.h"

#include "core/settings.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHostAddress>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr const char* kGroup = "Report";

bool usablePort(int port) { return port > 0 && port < 65536; }

} // namespace

ReportTargets ReportTargets::load()
{
    const ReportTargets defaults;
    ReportTargets t;
    Settings settings;
    settings.beginGroup(QLatin1String(kGroup));
    t.loggerAddress = settings.value(QStringLiteral("LoggerAddress"), defaults.loggerAddress).toString().trimmed();
    t.loggerPort = settings.value(QStringLiteral("LoggerPort"), defaults.loggerPort).toInt();
    t.multicastGroup = settings.value(QStringLiteral("LoggerGroup")).toString().trimmed();
    t.pskHost = settings.value(QStringLiteral("PskHost"), defaults.pskHost).toString().trimmed();
    t.pskPort = settings.value(QStringLiteral("PskPort"), defaults.pskPort).toInt();
    // Sending to this computer's standard port costs nothing, so it is on
    // unless turned off; another address is only used when asked for.
    const bool standard = QHostAddress(t.loggerAddress).isLoopback() && t.loggerPort == defaults.loggerPort;
    t.logger = settings.value(QStringLiteral("Logger"), standard).toBool();
    settings.endGroup();
    if (QHostAddress(t.loggerAddress).isNull() || !usablePort(t.loggerPort)) {
        t.loggerAddress = defaults.loggerAddress;
        t.loggerPort = defaults.loggerPort;
    }
    if (!QHostAddress(t.multicastGroup).isMulticast())
        t.multicastGroup.clear();
    if (t.pskHost.isEmpty() || t.pskHost.contains(u' ') || !usablePort(t.pskPort)) {
        t.pskHost = defaults.pskHost;
        t.pskPort = defaults.pskPort;
    }
    return t;
}

void ReportTargets::store() const
{
    Settings settings;
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("Logger"), logger);
    settings.setValue(QStringLiteral("LoggerAddress"), loggerAddress);
    settings.setValue(QStringLiteral("LoggerPort"), loggerPort);
    settings.setValue(QStringLiteral("LoggerGroup"), multicastGroup);
    settings.setValue(QStringLiteral("PskHost"), pskHost);
    settings.setValue(QStringLiteral("PskPort"), pskPort);
    settings.endGroup();
}

QString ReportTargets::problem() const
{
    if (QHostAddress(loggerAddress).isNull())
        return QDialog::tr("The logger's address must be an IP address, such as 127.0.0.1.");
    if (!usablePort(loggerPort))
        return QDialog::tr("The logger's port must be between 1 and 65535.");
    if (!multicastGroup.isEmpty() && !QHostAddress(multicastGroup).isMulticast())
        return QDialog::tr("The multicast group must be a multicast address (224.0.0.0 to 239.255.255.255, "
                           "such as 239.255.0.1), or empty for none.");
    if (pskHost.isEmpty() || pskHost.contains(u' '))
        return QDialog::tr("Enter the PSK Reporter server as a host name or an address, such as "
                           "report.pskreporter.info.");
    if (!usablePort(pskPort))
        return QDialog::tr("The PSK Reporter port must be between 1 and 65535.");
    return {};
}

ReportDialog::ReportDialog(const ReportTargets& targets, QWidget* parent)
    : QDialog(parent),
      m_logger(new QCheckBox(tr("Send QSOs to a logger"), this)),
      m_address(new QLineEdit(this)),
      m_port(new QSpinBox(this)),
      m_group(new QLineEdit(this)),
      m_pskHost(new QLineEdit(this)),
      m_pskPort(new QSpinBox(this)),
      m_problem(new QLabel(this))
{
    setWindowTitle(tr("Logger and PSK Reporter"));
    m_logger->setObjectName(QStringLiteral("checkLogger"));
    m_address->setObjectName(QStringLiteral("lineEditLoggerAddress"));
    m_port->setObjectName(QStringLiteral("spinLoggerPort"));
    m_group->setObjectName(QStringLiteral("lineEditMulticastGroup"));
    m_pskHost->setObjectName(QStringLiteral("lineEditPskHost"));
    m_pskPort->setObjectName(QStringLiteral("spinPskPort"));
    m_problem->setObjectName(QStringLiteral("labelProblem"));
    m_problem->setWordWrap(true);
    m_problem->hide();
    for (QSpinBox* port : {m_port, m_pskPort})
        port->setRange(1, 65535);
    m_group->setPlaceholderText(tr("none"));
    m_address->setToolTip(tr("Where the logging program listens for WSJT-X messages (127.0.0.1 is this computer)"));
    m_group->setToolTip(tr("A multicast group that hears the messages too, for several programs on the network"));

    auto* logger = new QGroupBox(tr("Logger (WSJT-X UDP messages)"), this);
    auto* loggerForm = new QFormLayout(logger);
    loggerForm->addRow(m_logger);
    loggerForm->addRow(tr("Address:"), m_address);
    loggerForm->addRow(tr("Port:"), m_port);
    loggerForm->addRow(tr("Multicast group:"), m_group);
    auto* psk = new QGroupBox(tr("PSK Reporter"), this);
    auto* pskForm = new QFormLayout(psk);
    pskForm->addRow(tr("Server:"), m_pskHost);
    pskForm->addRow(tr("Port:"), m_pskPort);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel
                                         | QDialogButtonBox::RestoreDefaults, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &ReportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &ReportDialog::reject);
    connect(buttons->button(QDialogButtonBox::RestoreDefaults), &QPushButton::clicked, this,
            [this] { show(ReportTargets()); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(logger);
    layout->addWidget(psk);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    show(targets);
}

void ReportDialog::show(const ReportTargets& t)
{
    m_logger->setChecked(t.logger);
    m_address->setText(t.loggerAddress);
    m_port->setValue(t.loggerPort);
    m_group->setText(t.multicastGroup);
    m_pskHost->setText(t.pskHost);
    m_pskPort->setValue(t.pskPort);
}

ReportTargets ReportDialog::targets() const
{
    ReportTargets t;
    t.logger = m_logger->isChecked();
    t.loggerAddress = m_address->text().trimmed();
    t.loggerPort = m_port->value();
    t.multicastGroup = m_group->text().trimmed();
    t.pskHost = m_pskHost->text().trimmed();
    t.pskPort = m_pskPort->value();
    return t;
}

void ReportDialog::accept()
{
    const QString problem = targets().problem();
    m_problem->setText(problem);
    m_problem->setVisible(!problem.isEmpty());
    if (problem.isEmpty())
        QDialog::accept();
}
