// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audioin.h"


#include <QtDebug>

#include <algorithm>
#include <cmath>

#include <portaudio.h>

namespace {

constexpr char kOwner[] = "AudioIn";

} // namespace

AudioIn::AudioIn(QObject* parent)
    : SoundStream(kOwner, AudioDevices::Direction::Input, kDefaultSampleRate, parent)
    , m_ring(ringSizeFor(kDefaultSampleRate))
{
    m_paInitialised = AudioDevices::initialise(kOwner) == paNoError;

    InputDevices();

    const AudioDevices::StoredChoice choice = AudioDevices::readChoice(
        AudioDevices::Direction::Input, AudioDevices::defaultDevice(AudioDevices::Direction::Input),
        kDefaultSampleRate);
    // Kept should it not be found now: it may be back later.
    chooseName(choice.name);
    CreateAudio(DeviceByName(choice.name), choice.sampleRate);
}

AudioIn::~AudioIn()
{
    Stop();
    onStream([this](PaStream*& stream) {
        closeOnSoundThread(stream);
        return 0;
    });

    if (m_paInitialised)
        AudioDevices::terminate();
}

void AudioIn::saveSettings() const
{
    AudioDevices::writeChoice(AudioDevices::Direction::Input, chosenName(), sampleRate());
}

bool AudioIn::CreateAudio(int device, int sampleRate)
{
    setShouldRun(false);
    if (ringSizeFor(sampleRate) > m_ring.capacity()) {
        onStream([this](PaStream*& stream) {
            closeOnSoundThread(stream);
            return 0;
        });
        // Growing the ring is safe here: with the stream closed nothing writes.
        m_ring.reset(ringSizeFor(sampleRate));
    }
    choose(device);
    setSampleRate(sampleRate);
    const PaError err = openChosen(false);
    if (err != paNoError && reporting())
        AudioDevices::reportError(kOwner, "CreateAudio()", err);
    return err == paNoError;
}

void AudioIn::setBlockSeconds(double seconds)
{
    m_blockSeconds = std::clamp(seconds, 0.0, kMaxBlockSeconds);
    setWatchInterval(std::max(kWatchMs, int(m_blockSeconds * 1000)));
}

int AudioIn::stallMs() const
{
    return std::max(kStallMs, int(kStallBlocks * m_blockSeconds * 1000));
}

SoundStream::Opener AudioIn::opener(int rate)
{
    const double seconds = m_blockSeconds;
    const unsigned long frames = std::max<unsigned long>(kFramesPerBuffer, static_cast<unsigned long>(seconds * rate));
    return [rate, seconds, frames](PaStream*& stream, int device, void* userData) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        PaStreamParameters input{};
        input.device = device;
        input.channelCount = 1;
        input.sampleFormat = paInt16;
        input.suggestedLatency = std::max(seconds, info ? info->defaultLowInputLatency : 0.0);
        input.hostApiSpecificStreamInfo = nullptr;
        return int(Pa_OpenStream(&stream, &input, nullptr, rate, frames, paClipOff,
                                 &AudioIn::captureCallback, userData));
    };
}

bool AudioIn::Start()
{
    setShouldRun(true);
    const PaError err = onStream([](PaStream*& stream) { return Pa_StartStream(stream); });
    if (err == paNoError)
        return true;
    if (reporting())
        AudioDevices::reportError(kOwner, "Start()", err);
    // Also without any device: reopening finds the sound server once it is up.
    lose("it did not start");
    return false;
}

void AudioIn::Stop()
{
    setShouldRun(false);
    // Stopping a stream that is already stopped, or lost, is no failure. A
    // capture has nothing to play out: it is aborted, as stopping it through
    // PulseAudio's ALSA plugin can take longer than the sound thread's answer
    // and would count the stream as lost.
    if (isLost())
        return;
    const PaError err = onStream([](PaStream*& stream) {
        return !stream || Pa_IsStreamStopped(stream) == 1 ? paNoError : Pa_AbortStream(stream);
    });
    if (err != paNoError && err != kNoAnswer)
        AudioDevices::reportError(kOwner, "Stop()", err);
}

bool AudioIn::ChangeDevice(int device, int sampleRate)
{
    if (!isLost() && AudioDevices::deviceName(this->device()) == AudioDevices::deviceName(device)
        && sampleRate == this->sampleRate())
        return false;
    if (!isLost()) {
        Stop();
        if (!isLost())
            CreateAudio(device, sampleRate);
        if (!isLost()) {
            Start();
            saveSettings();
            return true;
        }
    }
    // Lost, or lost on the way (a call that did not answer): the rest goes
    // on in the background rather than wait again.
    choose(device);
    setSampleRate(sampleRate);
    reopenSoon();
    saveSettings();
    return true;
}

const AudioDevices::DeviceTable& AudioIn::InputDevices()
{
    return AudioDevices::table(AudioDevices::Direction::Input, kOwner);
}

int AudioIn::DeviceByName(const QString& name)
{
    return AudioDevices::findByName(InputDevices(), name,
                                    AudioDevices::defaultDevice(AudioDevices::Direction::Input));
}

int AudioIn::readAvailable(QByteArray& appendTo)
{
    quint64 dropped = 0;
    const int bytes = m_ring.readAll(appendTo, &dropped);
    if (dropped) {
        m_droppedSamples += dropped;
        if (!m_dropWarned) {
            m_dropWarned = true;
            qWarning("AudioIn: the receiver fell behind the sound card; dropped the oldest %llu "
                     "samples (further drops are counted, not reported)",
                     static_cast<unsigned long long>(dropped));
        }
    }
    const quint32 overflows = m_deviceOverflows.load(std::memory_order_relaxed);
    if (overflows && !m_overflowWarned) {
        m_overflowWarned = true;
        qWarning("AudioIn: the sound card reported an input overflow (further ones are counted, "
                 "not reported)");
    }
    return bytes;
}

void AudioIn::captureBlock(const qint16* samples, int frames)
{
    m_ring.write(samples, frames);
    emit notify(frames * int(sizeof(qint16)));
}

int AudioIn::captureCallback(const void* input, void*, unsigned long frames,
                             const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags statusFlags,
                             void* userData)
{
    if (!userData)
        return paAbort;
    auto* self = static_cast<AudioIn*>(fromUserData(userData));
    if (!self)
        return paAbort;
    self->noteCallback();
    if (statusFlags & paInputOverflow)
        self->m_deviceOverflows.fetch_add(1, std::memory_order_relaxed);
    if (input)
        self->captureBlock(static_cast<const qint16*>(input), int(frames));
    return paContinue;
}

int AudioIn::ringSizeFor(int sampleRate) const
{
    return std::max({sampleRate, int(kRingRate), int(std::ceil(2 * m_blockSeconds * sampleRate))});
}
