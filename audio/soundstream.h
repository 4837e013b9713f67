// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QElapsedTimer>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

typedef void PaStream;

// What AudioIn and AudioOut share: one PortAudio stream driven through the
// sound thread (SoundThread), and the watch over it.
//
// Lives on the GUI thread. The stream handle belongs to the sound thread:
// the GUI thread reaches it only through onStream(). A stream that should
// be running but has finished on its own (its sound server died, say) or
// whose callbacks stopped coming is lost: that is reported once on the
// warning output and by signalStreamLost(), the stream is closed, and it is
// reopened once a second in the background until that works again
// (signalStreamBack()). reopenNow() tries at once.
class SoundStream : public QObject
{
    Q_OBJECT
public:
    // Whether the stream is lost and being reopened in the background.
    bool isLost() const { return m_lost; }
    // Tries to reopen a lost stream now; answers whether it is back.
    bool reopenNow();

signals:
    void signalStreamLost();
    void signalStreamBack();

protected:
    // Callbacks that have not come for this long while the stream should
    // run mean it is lost.
    static constexpr int kStallMs = 3000;
    // The answer of onStream() when the sound thread did not answer.
    static constexpr int kNoAnswer = -9987; // paTimedOut

    SoundStream(const char* owner, QObject* parent);
    ~SoundStream() override;

    // Runs job on the sound thread with the stream handle, which it may
    // replace, and returns its PortAudio result. A job that hangs is left
    // behind with the handle it held, which is forgotten here; the answer is
    // then kNoAnswer and the stream is lost.
    int onStream(std::function<int(PaStream*& stream)> job);
    // Opens the stream (after closing the current one) and makes it report
    // its end to the watch. Sound thread.
    int openOnSoundThread(PaStream*& stream, const void* inputParameters, const void* outputParameters,
                          double sampleRate, unsigned long frames, unsigned long flags, void* callback);
    // Closes the stream, reporting a failure under label. Sound thread.
    void closeOnSoundThread(PaStream*& stream);

    // Starts or ends the watch: the stream should be running from now on.
    void setShouldRun(bool run);
    bool shouldRun() const { return m_shouldRun; }
    // Counts a callback; audio thread.
    void noteCallback() { m_callbacks.fetch_add(1, std::memory_order_relaxed); }
    // Whether the finished stream counts as lost; a stream that ended as
    // planned does not. GUI thread, after the stream finished.
    virtual bool endedAsPlanned() const { return false; }
    // Opens (and for input starts) the stream again; answers whether that
    // worked. Reports nothing itself while the stream is lost.
    virtual bool reopen() = 0;
    // Marks the stream lost, as the watch does.
    void lose(const char* why);
    // Whether failures should be reported: not while reopening in the
    // background, where every attempt would fail the same way.
    bool reporting() const { return !m_retrying; }

    const char* m_owner;

private:
    static void finishedCallback(void* userData);
    void watch();
    void retry();

    // Sound thread only (see onStream()).
    std::atomic<PaStream*> m_stream{nullptr};
    // Raised when a job hangs; a job left behind that comes back late then
    // leaves everything alone.
    std::shared_ptr<std::atomic<unsigned>> m_epoch = std::make_shared<std::atomic<unsigned>>(0);

    std::atomic<unsigned> m_finished{0};
    std::atomic<unsigned> m_callbacks{0};
    unsigned m_finishedSeen = 0;
    unsigned m_callbacksSeen = 0;
    QElapsedTimer m_clock;
    qint64 m_quietSince = 0;
    bool m_shouldRun = false;
    bool m_lost = false;
    bool m_retrying = false;
    QTimer m_watch;
    QTimer m_retry;
};
