// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/audiodevices.h"

#include <QObject>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

typedef void PaStream;

// What AudioIn and AudioOut share: one PortAudio stream driven through the
// sound thread (SoundThread), the device it runs on, and the watch over it.
//
// Lives on the GUI thread, which never waits on the sound thread longer
// than SoundThread::kAnswerMs. The stream handle belongs to the sound
// thread: the GUI thread reaches it only through onStream(). A stream that
// should be running but has finished on its own (its sound server died,
// say), whose callbacks stopped coming, or whose call did not answer in
// time is lost: that is reported once on the warning output and by
// signalStreamLost(), the stream is closed, and it is reopened once a
// second in the background, without the GUI thread waiting, until that
// works again (signalStreamBack()). When no device can be found at all
// (the sound server was not running when PortAudio started), the reopening
// restarts PortAudio so that it sees the server once it is back.
//
// The device is chosen by name: the name the user chose, or that of the
// device opened for it. A stream opened while no device was found keeps the
// chosen name, so it is found once it is back and it is never stored
// empty.
class SoundStream : public QObject
{
    Q_OBJECT
public:
    // Whether the stream is lost and being reopened in the background.
    bool isLost() const { return m_lost; }
    // Whether the running stream has kept its pace for a while, so that a
    // stall of stallMs() counts as lost (before that a sound server may
    // still be starting it). GUI thread.
    bool isSettled() const
    {
        return m_shouldRun && m_callbacksSeen != m_callbacksAtStart && m_quietSince - m_movingSince >= kSettleMs;
    }
    int device() const { return m_device; }
    int sampleRate() const { return m_sampleRate; }
    // The device name to open and to store.
    QString chosenName() const { return m_choice; }

signals:
    void signalStreamLost();
    void signalStreamBack();

protected:
    // Callbacks that have not come for this long (or stallMs(), if longer)
    // while the stream should run mean it is lost; stallMs() once the
    // stream has moved for kSettleMs.
    static constexpr int kStallMs = 3000;
    static constexpr int kSettleMs = 300;
    // How often the stream is looked at, unless setWatchInterval() says
    // otherwise.
    static constexpr int kWatchMs = 100;
    // The answer of onStream() when the sound thread did not answer.
    static constexpr int kNoAnswer = -9987; // paTimedOut

    SoundStream(const char* owner, AudioDevices::Direction direction, int sampleRate, QObject* parent);
    ~SoundStream() override;

    // Runs job on the sound thread with the stream handle, which it may
    // replace, and returns its PortAudio result, waiting kAnswerMs at most.
    // A job that does not answer in time is left to itself: should it
    // finish later it closes what it opened; the handle is forgotten here,
    // the answer is kNoAnswer and the stream is lost.
    int onStream(std::function<int(PaStream*& stream)> job);
    using Opener = std::function<int(PaStream*& stream, int device, void* userData)>;
    // Sound thread: closes the stream.
    void closeOnSoundThread(PaStream*& stream);

    // Chooses the device to open next by its index in the GUI thread's
    // table; an index that is not listed keeps the name chosen before.
    void choose(int device);
    void chooseName(const QString& name);
    void setSampleRate(int rate) { m_sampleRate = rate; }
    // Opens the stream afresh on the chosen device at the rate, starting it
    // when start is set (after beforeStart, on the sound thread), as one
    // call; answers the PortAudio result and in *opened whether it opened.
    int openChosen(bool start, bool* opened = nullptr, const std::function<void()>& beforeStart = {});

    // Looks at the stream every ms instead; far below the stall limits.
    void setWatchInterval(int ms) { m_watch.setInterval(ms); }
    // Starts or ends the watch: the stream should be running from now on.
    void setShouldRun(bool run);
    bool shouldRun() const { return m_shouldRun; }
    // Started, not stopped, not finished on its own and not lost, as far as
    // the GUI thread knows; asks nothing.
    bool playing() const;
    // Whether the stream is opened running (input) or stopped (output).
    virtual bool runsWhenOpened() const = 0;
    // PortAudio's open call with this side's parameters, made on the GUI
    // thread and run on the sound thread, perhaps after this object is gone
    // (a call left behind): it holds nothing of the object.
    virtual Opener opener(int rate) = 0;
    // Whether the finished stream counts as lost; a stream that ended as
    // planned does not. GUI thread, after the stream finished.
    virtual bool endedAsPlanned() const { return false; }
    // How long callbacks may stop while the stream should run.
    virtual int stallMs() const { return kStallMs; }
    // Marks the stream lost, as the watch does.
    void lose(const char* why);
    // Starts reopening a lost stream now, after a change of device or rate.
    void reopenSoon();
    // Whether failures should be reported: not while reopening in the
    // background, where every attempt would fail the same way.
    bool reporting() const { return !m_lost; }

    // The stream's owner from a callback's user data, or nullptr when the
    // stream belongs to a call left behind (it is then to stop at once).
    static SoundStream* fromUserData(void* userData);
    // Counts a callback; audio thread.
    void noteCallback() { m_callbacks.fetch_add(1, std::memory_order_relaxed); }

    const char* m_owner;
    const AudioDevices::Direction m_direction;

private:
    struct Shared;
    struct Ticket;
    static void finishedCallback(void* userData);
    // Sound thread: opens a stream (after closing the current one) on the
    // device called name, or the default device, and makes it report its
    // callbacks and its end to the watch. The device opened goes to
    // *device. Closes it again when the caller has stopped waiting. Uses
    // nothing of the stream object but its address, for the callbacks'
    // ticket, which they only follow while the object is there.
    static int openOnSoundThread(const std::shared_ptr<Shared>& shared, SoundStream* self, const char* owner,
                                 AudioDevices::Direction direction, PaStream*& stream, const QString& name,
                                 int* device, const Opener& open, bool report);
    void watch();
    void retry();
    void reopened(int err, int device, bool restarted, const AudioDevices::Snapshot& devices);

    // What the sound thread's jobs share with this object; it outlives it,
    // so a job that comes back late finds it.
    std::shared_ptr<Shared> m_shared;

    int m_device = -1;
    int m_sampleRate;
    QString m_choice;
    std::atomic<unsigned> m_finished{0};
    std::atomic<unsigned> m_callbacks{0};
    unsigned m_finishedSeen = 0;
    unsigned m_finishedAtStart = 0;
    unsigned m_callbacksSeen = 0;
    unsigned m_callbacksAtStart = 0;
    QElapsedTimer m_clock;
    qint64 m_quietSince = 0;
    qint64 m_movingSince = 0;
    bool m_shouldRun = false;
    bool m_lost = false;
    bool m_reopening = false;
    int m_reopenGeneration = 0;
    unsigned m_reopenEpoch = 0;
    QTimer m_watch;
    QTimer m_retry;
};
