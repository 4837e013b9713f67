// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/audiodevices.h"

#include <QDialog>

#include <memory>

class QComboBox;

namespace Ui {
class SoundCardDialog;
}

// Lets the user choose the input and output devices, one sample rate for
// both and a clock correction in ppm for each direction. Modal; the caller
// reads the choices back after exec() and applies them (the dialog itself
// only stores "Audio"/"type"). GUI thread.
//
// The correction never changes the rate the card runs at: it tells the
// receiver, the transmitter and the waterfall what the card's true clock is,
// a positive value meaning the card runs fast.
class SoundCardDlg : public QDialog
{
    Q_OBJECT
public:
    // The rate field's validator range. Ok takes less: see rateProblem().
    static constexpr int kMinSampleRate = 8000;
    static constexpr int kMaxFieldRate = 2822400;

    // Lists the devices of the input and output device tables.
    SoundCardDlg(int inputDevice, int outputDevice, int sampleRate, QWidget* parent = nullptr);
    // Lists the given tables instead.
    SoundCardDlg(const AudioDevices::DeviceTable& inputs, const AudioDevices::DeviceTable& outputs,
                 int inputDevice, int outputDevice, int sampleRate, QWidget* parent = nullptr);
    ~SoundCardDlg() override;

    // The choices: device indices as the audio library numbers them, the
    // rate in Hz (the one passed in until Ok succeeds) and the device type
    // (0: computer sound card).
    int inputDevice() const { return m_inputDevice; }
    int outputDevice() const { return m_outputDevice; }
    int sampleRate() const { return m_sampleRate; }

    // Clock corrections in whole ppm, clamped to what the spin boxes hold.
    void setTxPpm(int ppm);
    void setRxPpm(int ppm);
    int txPpm() const;
    int rxPpm() const;

    // The true sample clock of a card that runs at rate with its clock off
    // by ppm parts per million.
    static double correctedRate(int rate, int ppm);

    // Why the rate field's text cannot be used with the RX correction rxPpm,
    // or an empty string when it can. The receiver takes clocks below
    // CPskRxAlgorithms::kMaxSampleRate only; below 8000 Hz it would never
    // fit a PSK250 signal.
    static QString rateProblem(const QString& text, int rxPpm);

public slots:
    void slotInputChanged(int index);
    void slotOutputChanged(int index);
    // Takes the rate and stores the device type; a rate that rateProblem()
    // refuses keeps the dialog open with a message instead.
    void accept() override;

private:
    static int fillDevices(QComboBox* box, const AudioDevices::DeviceTable& devices, int inUse);

    std::unique_ptr<Ui::SoundCardDialog> m_ui;
    int m_inputDevice;
    int m_outputDevice;
    int m_sampleRate;
};
