// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rig/rigconfig.h"
#include "rig/rigstatus.h"

#include <QObject>

#include <functional>

class HamlibRig;
class QThread;

// Responsibilities: the rig as the rest of the program sees it. It keeps
// the rig configuration (settings group "Rig"), runs HamlibRig on a thread of
// its own, hands on each RigStatus that thread reports, and keys the
// transmitter the configured way: the serial port's RTS line through the
// function it is given, or Hamlib (CAT or a device's RTS/DTR line).
// GUI thread; nothing here waits on the rig except pttUp(), for at most
// kPttAnswerMs.
class RigControl : public QObject
{
    Q_OBJECT
public:
    using SerialRts = std::function<void(bool on)>;

    // A rig that does not confirm push-to-talk in this time is taken as not
    // answering: the window must not stand still for longer.
    static constexpr int kPttAnswerMs = 80;

    // Reads the configuration and starts the rig thread on it.
    explicit RigControl(SerialRts serialRts, QObject* parent = nullptr);
    // Releases Hamlib push-to-talk, closes the rig and ends the thread.
    ~RigControl() override;

    const RigConfig& config() const { return m_config; }
    // Stores the configuration and applies it at once.
    void setConfig(const RigConfig& config);
    const RigStatus& status() const { return m_status; }

    // Keys the transmitter. False, with the reason in words, when the
    // configured way cannot key it: the caller must not transmit then. The
    // serial RTS line keys blindly, as it always has.
    bool pttUp(QString* why);
    // Releases what pttUp() keyed; without Hamlib keying, drops RTS.
    void pttDown();
    bool keyedThroughHamlib() const { return m_keyed == Keyed::Hamlib; }

    // Sets the rig's dial, and its mode unless mode is empty.
    void tune(double hz, const QString& mode = QString());

signals:
    void statusChanged(const RigStatus& status);

private:
    enum class Keyed { None, Serial, Hamlib };

    SerialRts m_serialRts;
    RigConfig m_config;
    RigStatus m_status;
    Keyed m_keyed = Keyed::None;
    QThread* m_thread = nullptr;
    HamlibRig* m_worker = nullptr;
};
