// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QList>

#include <functional>
#include <memory>

namespace Ui {
class SelectPort;
}

// Asks for the push-to-talk serial port: by name from the ports this
// computer has (with the one stored, even when it is not there now), by its
// number, or as a device that overrides the number ("Comport"/"Device").
// A port chosen by name is stored as its number where it has one, so older
// settings files keep working. The caller reads port() and device() after
// the dialog has been accepted. GUI thread.
class SelectPortDlg : public QDialog
{
    Q_OBJECT
public:
    struct PortInfo
    {
        QString device;      // "/dev/ttyUSB0", "COM3"
        QString description; // as the system names the adapter; may be empty
    };
    using PortLister = std::function<QList<PortInfo>()>;
    // Where the list of ports comes from: Qt SerialPort unless replaced
    // (tests); an empty lister restores it.
    static void setPortLister(PortLister lister);
    // The ports this computer has now (or the replaced list).
    static QList<PortInfo> ports();

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
    // Fills the number or the device from the port chosen by name.
    void takeChosenPort(int index);
    // Selects the name of the port that the number and device give.
    void showChosenPort();

    std::unique_ptr<Ui::SelectPort> m_ui;
    int m_port;
};
