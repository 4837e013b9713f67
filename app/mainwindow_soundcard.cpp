// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's sound card command: device, rate and clock correction
// from the sound card dialog to the streams, the transceiver and the
// waterfall.

#include "app/mainwindow.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "audio/soundcarddlg.h"
#include "display/spectrumwidget.h"
#include "modem/psktxrx.h"

#include <QLabel>
#include <QSpinBox>
#include <QStatusBar>

#include <cmath>

namespace {

const QString kAudioGroup = QStringLiteral("Audio");
const QString kInputGroup = QStringLiteral("Input");
const QString kOutputGroup = QStringLiteral("Output");
const QString kPpmKey = QStringLiteral("ppm");
const QString kLevelKey = QStringLiteral("LevelDb");

int storedPpm(const QString& direction)
{
    Settings settings;
    settings.beginGroup(kAudioGroup);
    settings.beginGroup(direction);
    const int ppm = settings.value(kPpmKey, 0).toInt();
    settings.endGroup();
    settings.endGroup();
    return ppm;
}

void storePpm(const QString& direction, int ppm)
{
    Settings settings;
    settings.beginGroup(kAudioGroup);
    settings.beginGroup(direction);
    settings.setValue(kPpmKey, ppm);
    settings.endGroup();
    settings.endGroup();
}

} // namespace

void MainWindow::slotSoundCard()
{
    if (!m_audioIn || !m_audioOut || !m_modem)
        return;

    SoundCardDlg dialog(m_audioIn->device(), m_audioOut->device(), m_audioIn->sampleRate(), this);
    dialog.setTxPpm(storedPpm(kOutputGroup));
    dialog.setRxPpm(storedPpm(kInputGroup));
    if (dialog.exec() != QDialog::Accepted) {
        statusBar()->showMessage(tr("Rejected"), 3000);
        return;
    }
    statusBar()->showMessage(tr("Accepted"), 3000);

    const int txPpm = dialog.txPpm();
    const int rxPpm = dialog.rxPpm();
    storePpm(kOutputGroup, txPpm);
    storePpm(kInputGroup, rxPpm);

    // Each stream is reopened only when its device name or the rate differs,
    // or it is lost; the output keeps playing if it was.
    const int rate = dialog.sampleRate();
    if (m_audioIn->ChangeDevice(dialog.inputDevice(), rate))
        ++m_soundCardStreamChanges.inputRestarted;
    const bool outputWasPlaying = m_audioOut->isActive();
    if (m_audioOut->ChangeDevice(dialog.outputDevice(), rate)) {
        ++m_soundCardStreamChanges.outputReopened;
        if (outputWasPlaying)
            ++m_soundCardStreamChanges.outputRestarted;
    }

    // The streams run at the nominal rate; the corrected clocks tell the
    // receiver, the transmitter and the waterfall what the card really does.
    const double rxClock = SoundCardDlg::correctedRate(rate, rxPpm);
    const double txClock = SoundCardDlg::correctedRate(rate, txPpm);
    m_modem->SetSampleRates(rxClock, txClock);
    m_spectrum->setSampleRate(int(rxClock));
}

void MainWindow::slotSoundStreamsChanged()
{
    if (!m_audioIn || !m_audioOut || !m_soundLabel)
        return;
    if (m_audioOut->isLost() && StationState::isTransmitting())
        stopAudioOut();
    QStringList lost;
    if (m_audioIn->isLost())
        lost << tr("Sound input lost, reopening");
    if (m_audioOut->isLost())
        lost << tr("Sound output lost, reopening");
    m_soundLabel->setText(QStringLiteral("<font color='red'>%1</font>").arg(lost.join(QStringLiteral("; "))));
    m_soundLabel->setVisible(!lost.isEmpty());
}

// The transmit level: the peak of the transmit audio in whole dB below full
// scale. The default leaves room for the sound system's resampler, whose
// filters overshoot a full-scale PSK signal into clipping.
QWidget* MainWindow::createTxLevelBox()
{
    int db = kDefaultTxLevelDb;
    {
        Settings settings;
        settings.beginGroup(kAudioGroup);
        settings.beginGroup(kOutputGroup);
        bool ok = false;
        db = settings.value(kLevelKey, kDefaultTxLevelDb).toInt(&ok);
        if (!ok)
            db = kDefaultTxLevelDb;
        settings.endGroup();
        settings.endGroup();
    }
    m_txLevelBox = new QSpinBox(this);
    m_txLevelBox->setObjectName(QStringLiteral("txLevel"));
    m_txLevelBox->setRange(kLowestTxLevelDb, 0);
    m_txLevelBox->setValue(db);
    m_txLevelBox->setSuffix(tr(" dB")); // beside the Tx label, which says what it is for
    m_txLevelBox->setAccessibleName(tr("Transmit level"));
    m_txLevelBox->setStatusTip(tr("Transmit level"));
    m_txLevelBox->setFocusPolicy(Qt::ClickFocus); // typing stays in the panes
    m_txLevelBox->setToolTip(tr("Transmit level: the peak of the transmit audio, in dB below full scale.\n"
                                "Keep a few dB of headroom: the sound system's resampling overshoots,\n"
                                "and clipped samples splatter on the air."));
    connect(m_txLevelBox, &QSpinBox::valueChanged, this, &MainWindow::slotTxLevel);
    return m_txLevelBox;
}

void MainWindow::slotTxLevel(int db)
{
    Settings settings;
    settings.beginGroup(kAudioGroup);
    settings.beginGroup(kOutputGroup);
    settings.setValue(kLevelKey, db);
    settings.endGroup();
    settings.endGroup();
    applyTxLevel();
}

void MainWindow::applyTxLevel()
{
    // The modem scales its samples by level / 10000; it takes effect from the
    // next block, also in the middle of a transmission.
    if (m_modem && m_txLevelBox)
        m_modem->Command(ModemCommand::kSetTxLevel, std::lround(10000.0 * std::pow(10.0, m_txLevelBox->value() / 20.0)), 0, 0);
}
