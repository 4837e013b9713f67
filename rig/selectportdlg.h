// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class SelectPort;
}

// Asks for the number of the push-to-talk serial port, and shows the device
// that overrides the number, if any ("Comport"/"Device"), so that it can be
// changed or cleared. The caller reads port() and device() after the dialog
// has been accepted. GUI thread.
class SelectPortDlg : public QDialog
{
    Q_OBJECT
public:
    explicit SelectPortDlg(int port, const QString& device = QString(), QWidget* parent = nullptr);
    ~SelectPortDlg() override;

    int port() const { return m_port; }
    // The overriding device, trimmed; empty when the number names the port.
    QString device() const;

public slots:
    // Stores the entered number; an empty field gives 0.
    void setPort();
    void accept() override;

private:
    std::unique_ptr<Ui::SelectPort> m_ui;
    int m_port;
};
