// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rig/rigconfig.h"
#include "rig/rigstatus.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class HamlibRig;
class JobQueue;
class QThread;
class QTimer;

// Responsibilities: the rig as the rest of the program sees it. It keeps
// the rig configuration (settings group "Rig"), runs HamlibRig on a thread of
// its own, hands on each RigStatus that thread reports, and keys the
// transmitter the configured way: the serial port's RTS line through the
// function it is given, or Hamlib (CAT or a device's RTS/DTR line).
// GUI thread; nothing here waits on the rig: a Hamlib keying is confirmed
// later through pttAnswered().
class RigControl : public QObject
{
    Q_OBJECT
public:
    using SerialRts = std::function<void(bool on)>;

    enum class PttStart {
        Keyed, // keyed now (the serial RTS line)
        Waiting, // asked; pttAnswered() follows within the configured wait
        Refused, // cannot key; the reason is given
    };

    // Reads the configuration and starts the rig thread on it.
    explicit RigControl(SerialRts serialRts, QObject* parent = nullptr);
    // Releases Hamlib push-to-talk, closes the rig and ends the thread.
    ~RigControl() override;

    const RigConfig& config() const { return m_config; }
    // Stores the configuration and applies it at once.
    void setConfig(const RigConfig& config);
    const RigStatus& status() const { return m_status; }

    // Keys the transmitter. The serial RTS line keys blindly, as it always
    // has. Hamlib keying is asked of the rig thread and answered by
    // pttAnswered(); a rig that does not confirm within the configured wait
    // is refused and released. Refused, with the reason in words, when the
    // configured way cannot key: the caller must not transmit then.
    PttStart pttUp(QString* why);
    // Releases what pttUp() keyed or is waiting for; without Hamlib keying,
    // drops RTS.
    void pttDown();
    bool keyedThroughHamlib() const { return m_keyed == Keyed::Hamlib; }
    bool waitingForPtt() const { return m_keyed == Keyed::Waiting; }

signals:
    void statusChanged(const RigStatus& status);
    // The answer to a pttUp() that was Waiting: keyed, or not with why.
    void pttAnswered(bool keyed, const QString& why);

private:
    enum class Keyed { None, Serial, Waiting, Hamlib };

    void answerPtt(quint64 request, bool ok, const QString& error);
    void pttNotConfirmed();

    SerialRts m_serialRts;
    RigConfig m_config;
    RigStatus m_status;
    Keyed m_keyed = Keyed::None;
    QThread* m_thread = nullptr;
    HamlibRig* m_worker = nullptr;
    quint64 m_request = 0; // the keying waited for; 0 when none
    quint64 m_lastRequest = 0;
    QTimer* m_pttTimer = nullptr;
    // Work for the rig thread and its reports back pass through these
    // queues, whose hand-over ThreadSanitizer can follow.
    JobQueue* m_replies = nullptr; // on this thread
    JobQueue* m_jobs = nullptr; // on the rig thread
    // Counts the rig thread's start and end, so that this thread sees all it
    // did before going on.
    struct Gate
    {
        std::mutex mutex;
        std::condition_variable changed;
        int state = 0;
        void open();
        bool waitOpen(int count = 1, int ms = 10000);
    };
    std::shared_ptr<Gate> m_gate;
};
