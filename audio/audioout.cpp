// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audioout.h"


#include <algorithm>
#include <cmath>

#include <portaudio.h>

namespace {

constexpr char kOwner[] = "AudioOut";

} // namespace

AudioOut::AudioOut(QObject* parent)
    : SoundStream(kOwner, AudioDevices::Direction::Output, kDefaultSampleRate, parent)
{
    m_paInitialised = AudioDevices::initialise(kOwner) == paNoError;

    OutputDevices();

    const AudioDevices::StoredChoice choice = AudioDevices::readChoice(
        AudioDevices::Direction::Output, AudioDevices::defaultDevice(AudioDevices::Direction::Output),
        kDefaultSampleRate);
    // Kept should it not be found now: it may be back later.
    chooseName(choice.name);
    CreateAudio(DeviceByName(choice.name), choice.sampleRate);
}

AudioOut::~AudioOut()
{
    Stop();
    onStream([this](PaStream*& stream) {
        closeOnSoundThread(stream);
        return 0;
    });

    if (m_paInitialised)
        AudioDevices::terminate();
}

void AudioOut::saveSettings() const
{
    AudioDevices::writeChoice(AudioDevices::Direction::Output, chosenName(), sampleRate());
}

bool AudioOut::CreateAudio(int device, int sampleRate)
{
    setShouldRun(false);
    choose(device);
    setSampleRate(sampleRate);
    const PaError err = openChosen(false);
    if (err != paNoError && reporting())
        AudioDevices::reportError(kOwner, "CreateAudio()", err);
    return err == paNoError;
}

SoundStream::Opener AudioOut::opener(int rate)
{
    const std::shared_ptr<std::atomic<int>> tailBlocks = m_tailBlocks;
    return [rate, tailBlocks](PaStream*& stream, int device, void* userData) {
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        PaStreamParameters output{};
        output.device = device;
        output.channelCount = 1;
        output.sampleFormat = paInt16;
        output.suggestedLatency = info ? info->defaultLowOutputLatency : 0.0;
        output.hostApiSpecificStreamInfo = nullptr;

        // Priming through the callback means the first buffers are already
        // the transmit signal, not silence, when playback starts.
        const PaError opened = Pa_OpenStream(&stream, nullptr, &output, rate, kFramesPerBuffer,
                                             paClipOff | paPrimeOutputBuffersUsingStreamCallback,
                                             &AudioOut::playbackCallback, userData);
        if (opened != paNoError)
            return int(opened);
        // Enough silence to push the last real block through the whole
        // output buffer, and one block more for the host's own rounding.
        const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream);
        const double latencyFrames = streamInfo ? streamInfo->outputLatency * streamInfo->sampleRate : 0.0;
        tailBlocks->store(int(std::ceil(latencyFrames / kFramesPerBuffer)) + 1);
        return int(paNoError);
    };
}

bool AudioOut::Start(bool held)
{
    if (isActive()) { // PortAudio starts only stopped streams
        AudioDevices::reportError(kOwner, "Start()", paStreamIsNotStopped);
        return true;
    }
    // Being reopened in the background, which says when it is back: a call
    // now would only wait behind it.
    if (isLost())
        return false;
    setShouldRun(false);
    // With the stream stopped the callback surely does not run; starting it
    // orders these writes before its first call.
    bool opened = false;
    const PaError err = openChosen(true, &opened, [this, held] {
        m_tailLeft = -1;
        m_ended.store(false);
        m_held.store(held);
    });
    if (err == paNoError) {
        setShouldRun(true);
        return true;
    }
    if (reporting())
        AudioDevices::reportError(kOwner, opened ? "Start()" : "CreateAudio()", err);
    // Also without any device: reopening finds the sound server once it is up.
    lose(opened ? "it did not start" : "it did not open");
    return false;
}

void AudioOut::release()
{
    m_held.store(false);
}

void AudioOut::Stop()
{
    setShouldRun(false);
    // Stopping a stream that is already stopped, or lost, is no failure.
    if (isLost())
        return;
    const PaError err = onStream([](PaStream*& stream) {
        return !stream || Pa_IsStreamStopped(stream) == 1 ? paNoError : Pa_StopStream(stream);
    });
    if (err != paNoError && err != kNoAnswer)
        AudioDevices::reportError(kOwner, "Stop()", err);
}

bool AudioOut::ChangeDevice(int device, int sampleRate)
{
    if (!isLost() && AudioDevices::deviceName(this->device()) == AudioDevices::deviceName(device)
        && sampleRate == this->sampleRate())
        return false;
    if (!isLost()) {
        const bool wasPlaying = isActive();
        if (wasPlaying)
            Stop();
        if (!isLost()) {
            CreateAudio(device, sampleRate);
            if (wasPlaying)
                Start();
            saveSettings();
            return true;
        }
    }
    // Lost, or lost on the way: the rest goes on in the background.
    choose(device);
    setSampleRate(sampleRate);
    reopenSoon();
    saveSettings();
    return true;
}

const AudioDevices::DeviceTable& AudioOut::OutputDevices()
{
    return AudioDevices::table(AudioDevices::Direction::Output, kOwner);
}

int AudioOut::DeviceByName(const QString& name)
{
    return AudioDevices::findByName(OutputDevices(), name,
                                    AudioDevices::defaultDevice(AudioDevices::Direction::Output));
}

void AudioOut::setSampleProvider(SampleProvider provider)
{
    m_provider.store(provider, std::memory_order_release);
}

bool AudioOut::render(qint16* samples, int frames)
{
    if (m_held.load()) {
        std::fill_n(samples, frames, qint16(0));
        return true;
    }
    if (m_tailLeft < 0) {
        const SampleProvider provider = m_provider.load(std::memory_order_acquire);
        if (provider && provider(samples, frames))
            return true;
        if (!provider)
            std::fill_n(samples, frames, qint16(0));
        m_tailLeft = m_tailBlocks->load();
        return true;
    }
    std::fill_n(samples, frames, qint16(0));
    if (m_tailLeft > 0) {
        --m_tailLeft;
        return true;
    }
    // PortAudio stops calling after paComplete, but should a host API call
    // once more, the end must not be signalled twice.
    if (!m_ended.load()) {
        m_ended.store(true);
        emit signalStopAudioOut();
    }
    return false;
}

int AudioOut::playbackCallback(const void*, void* output, unsigned long frames,
                               const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                               void* userData)
{
    if (!userData || !output)
        return paAbort;
    auto* self = static_cast<AudioOut*>(fromUserData(userData));
    if (!self)
        return paAbort;
    self->noteCallback();
    return self->render(static_cast<qint16*>(output), int(frames)) ? paContinue : paComplete;
}
