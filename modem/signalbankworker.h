// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/pskmodes.h"
#include "modem/signalbank.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A signal bank on a thread of its own, for the window: the GUI thread hands
// audio blocks and setup over as messages (a short lock on a queue, never a
// wait for the bank's work), the worker runs the bank through them in order
// and publishes a snapshot of its signals, which the GUI thread reads.
//
// Starting afresh (restart(), clear()) is a message too: the published
// signals and the audio not yet taken go at once, and nothing the worker
// was busy with when it came is published after it. The worker never
// touches the settings. Made, used and deleted on one thread (the GUI's);
// the destructor waits for the block in hand only.
class SignalBankWorker : public QObject
{
    Q_OBJECT
public:
    // Audio handed over and not yet taken is held up to this long; more
    // moves the bank's clock on undecoded, as skip() does.
    static constexpr double kMaxBacklogSeconds = 30.0;

    explicit SignalBankWorker(QObject* parent = nullptr);
    ~SignalBankWorker() override;

    // Starts afresh looking for signals of mode in audio at rate (see
    // SignalBank::setSampleRate), decoding in the character set; with
    // several modes, a bank for each (each leaves the others' signals out),
    // and the snapshot holds the signals of all, each with its mode.
    void restart(const PskMode& mode, double rate, int charSet);
    void restart(const std::vector<PskMode>& modes, double rate, int charSet);
    void setSensitive(bool on);
    void feed(const qint16* samples, int count);
    void skip(int count);
    // Forgets every signal and the audio not yet taken.
    void clear();

    // The signals of the last snapshot, sorted by frequency.
    std::vector<SignalBank::Signal> signalList() const;
    bool find(int id, SignalBank::Signal* signal) const;
    // Seconds of audio handed over (fed or skipped) since the last start:
    // the clock of the signals' lastSeen and lastHeard.
    double now() const { return m_handedOver / m_rate; }
    // Whether the worker has worked through everything handed over.
    bool idle() const;

signals:
    // A new snapshot (on the GUI thread, at most one waiting at a time).
    void changed();
    // A signal the bank dropped since the last start.
    void dropped(const SignalBank::Signal& signal);

private:
    struct Message
    {
        enum Kind { Audio, Skip, Restart, Sensitive, Clear } kind = Audio;
        std::vector<qint16> samples;
        int count = 0;
        std::vector<PskMode> modes;
        double rate = 0.0;
        int charSet = 0;
        bool on = false;
        quint64 generation = 0;
    };
    void post(Message message);
    // Drops the waiting messages and the snapshot; a new generation.
    void startAfresh();
    void run();
    void publish(const std::vector<std::unique_ptr<SignalBank>>& banks, quint64 generation);

    // GUI thread only.
    double m_rate = 11025.0;
    qint64 m_handedOver = 0;
    bool m_sensitive = false;

    // Shared; m_generation is written under both locks.
    std::atomic<quint64> m_generation{0};
    std::atomic<bool> m_changePosted{false};
    mutable std::mutex m_queueLock;
    std::condition_variable m_wake;
    std::deque<Message> m_queue;
    qint64 m_queuedSamples = 0;
    bool m_busy = false;
    bool m_stop = false;
    mutable std::mutex m_snapshotLock;
    std::vector<SignalBank::Signal> m_snapshot;

    std::thread m_thread;
};
