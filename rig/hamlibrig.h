// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rig/rigconfig.h"
#include "rig/rigstatus.h"

#include <QList>
#include <QObject>

#include <atomic>

struct s_rig;
class QTimer;

// One entry of Hamlib's list of rig models.
struct RigModel
{
    int number = 0;
    QString manufacturer;
    QString name;
    bool serial = false; // reached over a serial device
    bool network = false; // reached at a host and port
};

// Responsibilities: everything that talks to Hamlib. It opens the rig a
// RigConfig describes, reads its dial frequency and mode once a second,
// switches push-to-talk on request, and reports each change as a RigStatus.
// A rig that fails to open or stops answering is closed, reported in words
// and opened again on the next tick, for as long as the configuration
// stands. Lives on the rig-control thread (RigControl moves it there); every
// Hamlib call, which may block for the rig's time-out, happens on that
// thread only.
class HamlibRig : public QObject
{
    Q_OBJECT
public:
    static constexpr int kPollMs = 1000;
    // rigctld answers at once or not at all; a rig behind it that is slow
    // still answers rigctld well within this.
    static constexpr int kNetworkTimeoutMs = 3000;

    explicit HamlibRig(QObject* parent = nullptr);
    // Closes the rig, releasing push-to-talk first.
    ~HamlibRig() override;

    // The whole list of models Hamlib knows, by manufacturer and name.
    // Callable from any thread.
    static QList<RigModel> models();

    // Closes the rig in use and opens the one described; kNone with a
    // serial-RTS PTT closes it for good.
    void configure(const RigConfig& config);
    // Switches push-to-talk and, when request is not 0, answers it with
    // pttAnswered(). An off request when the rig is not keyed is answered at
    // once without asking it: another program sharing the rig may be
    // transmitting. A keying that failed or went unanswered may still have
    // keyed the rig: it is released, after a reconnect if need be and again
    // on every tick, until the rig confirms it.
    void setPtt(bool on, quint64 request = 0);
    // One tick: reads the dial, or tries to open the rig again.
    void poll();

    // How long the Hamlib call in progress has been waiting for the rig; 0
    // when none is. Callable from any thread.
    qint64 busyMs() const;

signals:
    void statusChanged(const RigStatus& status);
    void pttAnswered(quint64 request, bool ok, const QString& error);

private:
    // Marks the time a Hamlib call started, for busyMs().
    class Busy
    {
    public:
        explicit Busy(HamlibRig* rig);
        ~Busy();

    private:
        HamlibRig* m_rig;
    };

    bool open();
    // Releases push-to-talk first when releasePtt and it may be keyed.
    void close(bool releasePtt);
    void lose(const QString& what, int code);
    void publish();
    // Releases push-to-talk; RIG_OK once the rig confirmed it, else the
    // release stays due (m_pttStuck).
    int release();

    s_rig* m_rig = nullptr;
    QTimer* m_timer = nullptr;
    RigConfig m_config;
    QString m_where; // the rig in messages
    RigStatus m_status;
    RigStatus m_published;
    // A keying or release that failed or went unanswered: the rig may be
    // keyed, and the release is sent until the rig confirms it.
    bool m_pttStuck = false;
    std::atomic<qint64> m_busySince{0}; // steady clock, ms; 0 when idle
};
