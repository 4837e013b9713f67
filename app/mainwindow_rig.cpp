// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's side of rig control: the status-bar field with the dial
// or the fault, the band box following the dial, and the rig dialog.

#include "app/mainwindow.h"

#include "core/stationstate.h"
#include "logbook/logbar.h"
#include "modem/psktxrx.h"
#include "rig/rigcontrol.h"
#include "rig/rigcontroldlg.h"

#include <QComboBox>
#include <QLabel>
#include <QStatusBar>

void MainWindow::setUpRig()
{
    m_rigLabel = new QLabel(this);
    m_rigLabel->setObjectName(QStringLiteral("rigLabel"));
    m_rigLabel->hide();
    statusBar()->addPermanentWidget(m_rigLabel);
    m_rig = new RigControl([this](bool on) { m_comport.ptt(on); }, this);
    connect(m_rig, &RigControl::statusChanged, this, &MainWindow::showRigStatus);
    connect(m_rig, &RigControl::pttAnswered, this, &MainWindow::slotPttAnswered);
}

void MainWindow::slotPttAnswered(bool keyed, const QString& why)
{
    if (!keyed) {
        refuseTransmission(why);
    } else if (isOutputActive()) {
        beginTransmission();
    } else {
        // The output went while the rig was asked: nothing to send.
        m_rig->pttDown();
        m_modem->SetTransmit(0);
    }
}

void MainWindow::showRigStatus(const RigStatus& status)
{
    if (status.pttUnsure != m_rigPttUnsure) {
        m_rigPttUnsure = status.pttUnsure;
        if (status.pttUnsure)
            statusBar()->showMessage(tr("The rig may still be keyed: push-to-talk is released as soon as it answers"));
        else
            statusBar()->showMessage(tr("The rig confirmed push-to-talk off"), 10000);
    }
    m_rigLabel->setText(status.text());
    m_rigLabel->setToolTip(status.message);
    m_rigLabel->setVisible(status.link != RigStatus::Link::Off);

    // Keying through Hamlib is gone with the link: stop rather than send
    // into a rig in an unknown state.
    if (status.link != RigStatus::Link::Up && m_rig->keyedThroughHamlib() && StationState::isTransmitting()) {
        stopAudioOut();
        statusBar()->showMessage(tr("Transmission stopped: %1").arg(status.message), 10000);
    }

    if (!status.hasDial() || !m_logBar)
        return;
    // Only a move to another band turns the box, so a band chosen by hand
    // stays until the dial leaves its band.
    const QString band = BandTable::bandForDial(m_bandTable, status.dialHz);
    if (!band.isEmpty() && band != m_dialBand)
        m_logBar->bandBox()->setCurrentText(band);
    m_dialBand = band;
}

quint32 MainWindow::rigQsoFrequency() const
{
    if (!m_rig || !m_modem)
        return 0;
    double rx = 0.0;
    double tx = 0.0;
    m_modem->GetFrequencies(&rx, &tx);
    return m_rig->status().qsoFrequency(rx);
}

void MainWindow::slotRigControl()
{
    RigControlDlg dialog(m_rig->config(), HamlibRig::models(), this);
    if (dialog.exec() != QDialog::Accepted) {
        statusBar()->showMessage(tr("Rejected"), 3000);
        return;
    }
    m_rig->setConfig(dialog.config());
}
