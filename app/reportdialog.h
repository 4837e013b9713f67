// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSpinBox;

// Where the reports go: the logger that listens for the WSJT-X messages
// (address, port, an optional multicast group) and the PSK Reporter
// collector (host and port).
struct ReportTargets {
    bool logger = true;
    QString loggerAddress = QStringLiteral("127.0.0.1");
    int loggerPort = 2237;
    QString multicastGroup;
    QString pskHost = QStringLiteral("report.pskreporter.info");
    int pskPort = 4739;

    // From the settings; a value that is not usable falls back to its
    // default. The logger is on by default only for 127.0.0.1:2237.
    static ReportTargets load();
    void store() const;
    // Empty when usable, else what is wrong, in words for the user.
    QString problem() const;
};

// Configure, "Logger and PSK Reporter...".
class ReportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ReportDialog(const ReportTargets& targets, QWidget* parent = nullptr);
    ReportTargets targets() const;

public slots:
    // Refuses what cannot be used, saying why in the dialog.
    void accept() override;

private:
    void show(const ReportTargets& t);

    QCheckBox* m_logger;
    QLineEdit* m_address;
    QSpinBox* m_port;
    QLineEdit* m_group;
    QLineEdit* m_pskHost;
    QSpinBox* m_pskPort;
    QLabel* m_problem;
};
