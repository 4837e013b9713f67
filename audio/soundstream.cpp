// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/soundstream.h"

#include "audio/soundthread.h"

#include <QtDebug>

#include <map>
#include <mutex>

#include <portaudio.h>

struct SoundStream::Shared
{
    // Raised when a call is given up or the object goes; a job of an older
    // epoch leaves everything alone, and so do the callbacks of its stream.
    std::atomic<unsigned> epoch{0};
    // The open stream; sound thread (and atomically swapped out on a loss).
    std::atomic<PaStream*> stream{nullptr};
    // The callbacks' user data of every open stream; sound thread.
    std::map<PaStream*, Ticket*> tickets;
    // The object, for handing results back; null once it is gone.
    std::mutex ownerLock;
    SoundStream* owner = nullptr;
};

// A stream's user data. Never freed while the stream may still call: a
// stream left with a hung call keeps its ticket for good.
struct SoundStream::Ticket
{
    std::shared_ptr<Shared> shared;
    unsigned epoch;
    SoundStream* owner;
};

namespace {

// Closes stream (sound thread), with its ticket.
template <typename Tickets>
void closeStream(Tickets& tickets, PaStream* stream, const char* owner, bool report)
{
    if (!stream)
        return;
    const PaError err = Pa_CloseStream(stream);
    // A thread left behind while closing touches nothing shared any more.
    if (!SoundThread::onCurrentThread())
        return;
    if (err != paNoError && report)
        AudioDevices::reportError(owner, "Pa_CloseStream()", err);
    const auto it = tickets.find(stream);
    if (it != tickets.end()) {
        delete it->second;
        tickets.erase(it);
    }
    AudioDevices::noteStreamClosed();
}

} // namespace

SoundStream::SoundStream(const char* owner, AudioDevices::Direction direction, int sampleRate,
                         QObject* parent)
    : QObject(parent)
    , m_owner(owner)
    , m_direction(direction)
    , m_shared(std::make_shared<Shared>())
    , m_sampleRate(sampleRate)
{
    m_shared->owner = this;
    m_clock.start();
    // Often: an output that stops moving must release the transmitter soon.
    m_watch.setInterval(kWatchMs);
    m_retry.setInterval(1000);
    connect(&m_watch, &QTimer::timeout, this, &SoundStream::watch);
    connect(&m_retry, &QTimer::timeout, this, &SoundStream::retry);
    m_watch.start();
}

SoundStream::~SoundStream()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->ownerLock);
        m_shared->owner = nullptr;
    }
    m_shared->epoch.fetch_add(1);
}

int SoundStream::onStream(std::function<int(PaStream*&)> job)
{
    const std::shared_ptr<Shared> shared = m_shared;
    const unsigned mine = shared->epoch.load();
    const auto result = std::make_shared<int>(kNoAnswer);
    const char* owner = m_owner;
    const auto run = [shared, mine, job, result, owner] {
        if (shared->epoch.load() != mine)
            return;
        // The job holds the stream alone: should it come back late, nobody
        // else has closed it meanwhile.
        PaStream* stream = shared->stream.exchange(nullptr);
        const int answer = job(stream);
        if (shared->epoch.load() != mine) {
            // Given up on: nobody will touch this stream again, so close it
            // here, unless this thread was left behind meanwhile.
            if (SoundThread::onCurrentThread())
                closeStream(shared->tickets, stream, owner, false);
            return;
        }
        shared->stream.store(stream);
        *result = answer;
    };
    const bool answered = SoundThread::call(run);
    if (answered)
        return *result;
    shared->epoch.fetch_add(1);
    lose("the sound system did not answer");
    return kNoAnswer;
}

int SoundStream::openOnSoundThread(const std::shared_ptr<Shared>& shared, SoundStream* self, const char* owner,
                                   AudioDevices::Direction direction, PaStream*& stream, const QString& name,
                                   int* device, const Opener& open, bool report)
{
    closeStream(shared->tickets, stream, owner, report);
    stream = nullptr;
    *device = AudioDevices::current().resolve(direction, name);
    if (*device == paNoDevice)
        return paInvalidDevice;
    auto* ticket = new Ticket{shared, shared->epoch.load(), self};
    const PaError err = open(stream, *device, ticket);
    if (!SoundThread::onCurrentThread())
        return paTimedOut; // left behind while opening: the stream is forgotten
    if (err != paNoError) {
        delete ticket;
        stream = nullptr;
        return err;
    }
    shared->tickets[stream] = ticket;
    AudioDevices::noteStreamOpened();
    Pa_SetStreamFinishedCallback(stream, &SoundStream::finishedCallback);
    return paNoError;
}

void SoundStream::closeOnSoundThread(PaStream*& stream)
{
    closeStream(m_shared->tickets, stream, m_owner, true);
    stream = nullptr;
}

void SoundStream::choose(int device)
{
    const QString name = AudioDevices::deviceName(device);
    if (!name.isEmpty())
        m_choice = name;
    else if (m_choice.isEmpty())
        m_choice = AudioDevices::deviceName(AudioDevices::defaultDevice(m_direction));
}

void SoundStream::chooseName(const QString& name)
{
    m_choice = name;
}

int SoundStream::openChosen(bool start, bool* opened, const std::function<void()>& beforeStart)
{
    const auto device = std::make_shared<int>(paNoDevice);
    const auto wasOpened = std::make_shared<bool>(false);
    const QString name = m_choice;
    const bool report = reporting();
    const int rate = m_sampleRate;
    const std::shared_ptr<Shared> shared = m_shared;
    SoundStream* self = this;
    const char* owner = m_owner;
    const AudioDevices::Direction direction = m_direction;
    const Opener open = opener(rate);
    const PaError err = onStream([shared, self, owner, direction, open, name, device, wasOpened, start, beforeStart,
                                  report](PaStream*& stream) {
        PaError e = openOnSoundThread(shared, self, owner, direction, stream, name, device.get(), open, report);
        *wasOpened = e == paNoError;
        if (e == paNoError && start) {
            if (beforeStart)
                beforeStart();
            e = Pa_StartStream(stream);
        }
        return int(e);
    });
    if (err != kNoAnswer) {
        m_device = *device;
        if (*wasOpened)
            choose(m_device);
    }
    if (opened)
        *opened = *wasOpened;
    return err;
}

void SoundStream::setShouldRun(bool run)
{
    m_shouldRun = run;
    m_finishedSeen = m_finishedAtStart = m_finished.load();
    m_callbacksSeen = m_callbacksAtStart = m_callbacks.load();
    m_quietSince = m_clock.elapsed();
}

bool SoundStream::playing() const
{
    return !m_lost && m_shouldRun && m_finished.load() == m_finishedAtStart;
}

void SoundStream::lose(const char* why)
{
    if (m_lost)
        return;
    m_lost = true;
    m_shouldRun = false;
    qWarning("%s: the sound stream was lost (%s); reopening it in the background", m_owner, why);
    // Not waited for: a stream whose server died can hang in closing (the
    // sound server's client library deadlocks), and the window must not.
    // The job takes the stream with it, so nothing is written back should
    // it ever return.
    const std::shared_ptr<Shared> shared = m_shared;
    const char* owner = m_owner;
    SoundThread::post([shared, owner] { closeStream(shared->tickets, shared->stream.exchange(nullptr), owner, false); });
    m_retry.start();
    emit signalStreamLost();
}

void SoundStream::reopenSoon()
{
    if (!m_lost)
        return;
    // Asked for by the user: the sound system is looked at afresh now,
    // however long it has found nothing.
    SoundThread::post([] { AudioDevices::restartSoon(); });
    if (m_reopening) {
        // One on its way has the old device or rate: it closes what it
        // opens, and a new one starts.
        m_shared->epoch.fetch_add(1);
        m_shared->stream.store(nullptr);
        m_reopening = false;
    }
    m_retry.start();
    retry();
}

SoundStream* SoundStream::fromUserData(void* userData)
{
    const auto* ticket = static_cast<const Ticket*>(userData);
    if (!ticket || ticket->shared->epoch.load(std::memory_order_acquire) != ticket->epoch)
        return nullptr;
    return ticket->owner;
}

void SoundStream::finishedCallback(void* userData)
{
    if (SoundStream* self = fromUserData(userData))
        self->m_finished.fetch_add(1);
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
    const qint64 now = m_clock.elapsed();
    if (callbacks != m_callbacksSeen || endedAsPlanned()) {
        if (m_callbacksSeen == m_callbacksAtStart)
            m_movingSince = now;
        m_callbacksSeen = callbacks;
        m_quietSince = now;
        return;
    }
    // A sound server may take a while to start a stream and to settle into
    // its pace: the stream's own, shorter limit holds once it has moved for
    // a while.
    if (now - m_quietSince > (isSettled() ? stallMs() : std::max(kStallMs, stallMs())))
        lose("its callbacks stopped");
}

void SoundStream::retry()
{
    SoundThread::abandonIfHung();
    if (m_reopening) {
        if (SoundThread::abandonments() == m_reopenGeneration && m_shared->epoch.load() == m_reopenEpoch)
            return; // still on its way
        // A thread was left behind since, perhaps with the reopening, or a
        // call was given up, which the reopening then leaves alone: its
        // stream is forgotten and the reopening starts over.
        m_shared->epoch.fetch_add(1);
        m_shared->stream.store(nullptr);
    }
    m_reopening = true;
    m_reopenGeneration = SoundThread::abandonments();
    const std::shared_ptr<Shared> shared = m_shared;
    const unsigned mine = shared->epoch.load();
    m_reopenEpoch = mine;
    const QString name = m_choice;
    const int rate = m_sampleRate;
    const bool start = runsWhenOpened();
    const char* owner = m_owner;
    SoundStream* self = this;
    const AudioDevices::Direction direction = m_direction;
    const Opener open = opener(rate);
    // The job may run after this object is gone: it holds nothing of it but
    // its address for the callbacks' ticket, and reaches the object only
    // through the owner the shared state keeps under its lock.
    SoundThread::post([self, shared, mine, name, open, direction, start, owner] {
        if (shared->epoch.load() != mine)
            return;
        PaStream* stream = shared->stream.exchange(nullptr);
        int device = paNoDevice;
        PaError err = openOnSoundThread(shared, self, owner, direction, stream, name, &device, open, false);
        // No device at all: PortAudio may not know a sound server that
        // came up after it started.
        bool restarted = false;
        if (device == paNoDevice && AudioDevices::restartIfIdle()) {
            restarted = true;
            err = openOnSoundThread(shared, self, owner, direction, stream, name, &device, open, false);
        }
        if (err == paNoError && start)
            err = Pa_StartStream(stream);
        if (shared->epoch.load() != mine) {
            if (SoundThread::onCurrentThread())
                closeStream(shared->tickets, stream, owner, false);
            return;
        }
        shared->stream.store(stream);
        const AudioDevices::Snapshot devices = AudioDevices::current();
        std::lock_guard<std::mutex> lock(shared->ownerLock);
        if (SoundStream* alive = shared->owner) {
            QMetaObject::invokeMethod(
                alive, [alive, err, device, restarted, devices] { alive->reopened(err, device, restarted, devices); },
                Qt::QueuedConnection);
        }
    });
}

void SoundStream::reopened(int err, int device, bool restarted, const AudioDevices::Snapshot& devices)
{
    m_reopening = false;
    if (restarted || AudioDevices::known(m_direction).isEmpty())
        AudioDevices::adopt(devices);
    if (!m_lost || err != paNoError)
        return; // the timer tries again
    m_device = device;
    choose(device);
    m_lost = false;
    m_retry.stop();
    setShouldRun(runsWhenOpened());
    qInfo("%s: the sound stream is back", m_owner);
    emit signalStreamBack();
}
