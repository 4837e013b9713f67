// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/soundstream.h"

#include "audio/audiodevices.h"
#include "audio/soundthread.h"

#include <QtDebug>

#include <portaudio.h>

SoundStream::SoundStream(const char* owner, QObject* parent)
    : QObject(parent)
    , m_owner(owner)
{
    m_clock.start();
    m_watch.setInterval(500);
    m_retry.setInterval(1000);
    connect(&m_watch, &QTimer::timeout, this, &SoundStream::watch);
    connect(&m_retry, &QTimer::timeout, this, &SoundStream::retry);
    m_watch.start();
}

SoundStream::~SoundStream()
{
    m_epoch->fetch_add(1);
}

bool SoundStream::reopenNow()
{
    if (m_lost)
        retry();
    return !m_lost;
}

int SoundStream::onStream(std::function<int(PaStream*&)> job)
{
    const std::shared_ptr<std::atomic<unsigned>> epoch = m_epoch;
    const unsigned mine = epoch->load();
    const auto result = std::make_shared<int>(kNoAnswer);
    const auto run = [this, job, epoch, mine, result] {
        if (epoch->load() != mine)
            return;
        PaStream* stream = m_stream.load();
        const int answer = job(stream);
        if (epoch->load() != mine)
            return; // left behind: this object has forgotten the stream
        m_stream.store(stream);
        *result = answer;
    };
    if (SoundThread::call(run))
        return *result;
    // The hung call keeps the stream; it is never touched again.
    epoch->fetch_add(1);
    m_stream.store(nullptr);
    lose("the sound system did not answer");
    return kNoAnswer;
}

int SoundStream::openOnSoundThread(PaStream*& stream, const void* inputParameters,
                                   const void* outputParameters, double sampleRate, unsigned long frames,
                                   unsigned long flags, void* callback)
{
    closeOnSoundThread(stream);
    const PaError err = Pa_OpenStream(&stream, static_cast<const PaStreamParameters*>(inputParameters),
                                      static_cast<const PaStreamParameters*>(outputParameters), sampleRate,
                                      frames, flags, reinterpret_cast<PaStreamCallback*>(callback), this);
    if (err != paNoError) {
        stream = nullptr;
        return err;
    }
    Pa_SetStreamFinishedCallback(stream, &SoundStream::finishedCallback);
    return paNoError;
}

void SoundStream::closeOnSoundThread(PaStream*& stream)
{
    if (!stream)
        return;
    const PaError err = Pa_CloseStream(stream);
    if (err != paNoError && reporting())
        AudioDevices::reportError(m_owner, "Pa_CloseStream()", err);
    stream = nullptr;
}

void SoundStream::setShouldRun(bool run)
{
    m_shouldRun = run;
    m_finishedSeen = m_finished.load();
    m_callbacksSeen = m_callbacks.load();
    m_quietSince = m_clock.elapsed();
}

void SoundStream::lose(const char* why)
{
    if (m_lost)
        return;
    m_lost = true;
    m_shouldRun = false;
    qWarning("%s: the sound stream was lost (%s); reopening it in the background", m_owner, why);
    m_retrying = true;
    // Not waited for: a stream whose server died can hang in closing (the
    // sound server's client library deadlocks), and the window must not.
    // The job takes the stream with it, so nothing is written back should
    // it ever return.
    const std::shared_ptr<std::atomic<unsigned>> epoch = m_epoch;
    const unsigned mine = epoch->load();
    SoundThread::post([this, epoch, mine] {
        if (epoch->load() == mine)
            Pa_CloseStream(m_stream.exchange(nullptr));
    });
    m_retry.start();
    emit signalStreamLost();
}

void SoundStream::finishedCallback(void* userData)
{
    static_cast<SoundStream*>(userData)->m_finished.fetch_add(1);
}

void SoundStream::watch()
{
    if (!m_shouldRun || m_lost)
        return;
    const unsigned finished = m_finished.load();
    if (finished != m_finishedSeen) {
        m_finishedSeen = finished;
        if (!endedAsPlanned())
            lose("it stopped on its own");
        return;
    }
    const unsigned callbacks = m_callbacks.load(std::memory_order_relaxed);
    if (callbacks != m_callbacksSeen || endedAsPlanned()) {
        m_callbacksSeen = callbacks;
        m_quietSince = m_clock.elapsed();
    } else if (m_clock.elapsed() - m_quietSince > kStallMs) {
        lose("its callbacks stopped");
    }
}

void SoundStream::retry()
{
    // A close that has not finished yet gets its full time before it counts
    // as hung, and the window does not wait for it meanwhile.
    const qint64 busy = SoundThread::busyMs();
    if (busy > 0 && busy < SoundThread::kAnswerMs)
        return;
    if (!reopen())
        return;
    m_lost = false;
    m_retrying = false;
    m_retry.stop();
    qInfo("%s: the sound stream is back", m_owner);
    emit signalStreamBack();
}
