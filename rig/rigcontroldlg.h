// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rig/hamlibrig.h"
#include "rig/rigconfig.h"

#include <QDialog>

#include <memory>

namespace Ui {
class RigControl;
}

// Chooses how the program reaches the rig: "None", "Hamlib network
// (rigctld)" with host and port, or one of Hamlib's rig models (searchable)
// with its serial device and baud rate; and how the transmitter is keyed.
// The caller reads config() after the dialog has been accepted. GUI thread.
class RigControlDlg : public QDialog
{
    Q_OBJECT
public:
    RigControlDlg(const RigConfig& config, const QList<RigModel>& models, QWidget* parent = nullptr);
    ~RigControlDlg() override;

    RigConfig config() const;

private:
    // Shows the list entries whose text holds every word typed.
    void filter(const QString& text);
    // Enables the fields that the chosen rig and PTT way use.
    void updateFields();
    int chosenModel() const;

    std::unique_ptr<Ui::RigControl> m_ui;
    QList<RigModel> m_models;
    RigConfig m_initial;
};
