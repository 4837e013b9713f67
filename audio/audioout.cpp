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
    : SoundStream(kOwner, parent)
{
    m_paInitialised = AudioDevices::initialise(kOwner) == paNoError;

    OutputDevices();

    const AudioDevices::StoredChoice choice = AudioDevices::readChoice(
        AudioDevices::Direction::Output, AudioDevices::defaultDevice(AudioDevices::Direction::Output),
        kDefaultSampleRate);
    CreateAudio(DeviceByName(choice.name), choice.sampleRate);
}

AudioOut::~AudioOut()
{
    Stop();
    onStream([this](PaStream*& stream) {
        closeOnSoundThread(stream);
        return 0;
    });

    AudioDevices::writeChoice(AudioDevices::Direction::Output, m_device, m_sampleRate);

    if (m_paInitialised)
        AudioDevices::terminate();
}

bool AudioOut::CreateAudio(int device, int sampleRate)
{
    setShouldRun(false);
    m_device = OutputDevices().contains(device) ? device
                                                : AudioDevices::defaultDevice(AudioDevices::Direction::Output);
    m_sampleRate = sampleRate;

    const PaError err = onStream([this, device = m_device, sampleRate](PaStream*& stream) {
        const PaDeviceInfo* info = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
        PaStreamParameters output{};
        output.device = device;
        output.channelCount = 1;
        output.sampleFormat = paInt16;
        output.suggestedLatency = info ? info->defaultLowOutputLatency : 0.0;
        output.hostApiSpecificStreamInfo = nullptr;

        // Priming through the callback means the first buffers are already
        // the transmit signal, not silence, when playback starts.
        const PaError opened = openOnSoundThread(stream, nullptr, &output, sampleRate, kFramesPerBuffer,
                                                 paClipOff | paPrimeOutputBuffersUsingStreamCallback,
                                                 reinterpret_cast<void*>(&AudioOut::playbackCallback));
        if (opened != paNoError)
            return opened;
        // Enough silence to push the last real block through the whole
        // output buffer, and one block more for the host's own rounding.
        const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream);
        const double latencyFrames = streamInfo ? streamInfo->outputLatency * streamInfo->sampleRate : 0.0;
        m_tailBlocks = int(std::ceil(latencyFrames / kFramesPerBuffer)) + 1;
        return int(paNoError);
    });
    if (err != paNoError && reporting())
        AudioDevices::reportError(kOwner, "CreateAudio()", err);
    return err == paNoError;
}

bool AudioOut::Start(bool held)
{
    if (isActive()) { // PortAudio starts only stopped streams
        AudioDevices::reportError(kOwner, "Start()", paStreamIsNotStopped);
        return true;
    }
    if (!CreateAudio(m_device, m_sampleRate)) {
        if (m_device >= 0) // with no device at all there is nothing to reopen
            lose("it did not open");
        return false;
    }
    setShouldRun(true);
    // With the stream stopped the callback surely does not run; starting it
    // orders these writes before its first call.
    const PaError err = onStream([this, held](PaStream*& stream) {
        m_tailLeft = -1;
        m_ended.store(false);
        m_held.store(held);
        return Pa_StartStream(stream);
    });
    if (err == paNoError)
        return true;
    if (reporting())
        AudioDevices::reportError(kOwner, "Start()", err);
    if (m_device >= 0) // with no device at all there is nothing to reopen
        lose("it did not start");
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
    if (err != paNoError)
        AudioDevices::reportError(kOwner, "Stop()", err);
}

bool AudioOut::ChangeDevice(int device, int sampleRate)
{
    if (!isLost() && AudioDevices::deviceName(m_device) == AudioDevices::deviceName(device)
        && sampleRate == m_sampleRate)
        return false;
    if (isLost()) {
        m_device = device;
        m_sampleRate = sampleRate;
        reopenNow();
        return true;
    }
    m_sampleRate = sampleRate;
    const bool wasPlaying = isActive();
    if (wasPlaying)
        Stop();
    CreateAudio(device, sampleRate);
    if (wasPlaying)
        Start();
    return true;
}

bool AudioOut::reopen()
{
    return CreateAudio(m_device, m_sampleRate);
}

const AudioDevices::DeviceTable& AudioOut::OutputDevices()
{
    AudioDevices::DeviceTable& devices = table();
    if (devices.isEmpty())
        AudioDevices::fillTable(devices, AudioDevices::Direction::Output, kOwner);
    return devices;
}

int AudioOut::DeviceByName(const QString& name)
{
    return AudioDevices::findByName(OutputDevices(), name,
                                    AudioDevices::defaultDevice(AudioDevices::Direction::Output));
}

bool AudioOut::isActive() const
{
    return !isLost() && const_cast<AudioOut*>(this)->onStream([](PaStream*& stream) {
        return int(stream && Pa_IsStreamActive(stream) == 1);
    }) == 1;
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
        m_tailLeft = m_tailBlocks;
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
    auto* self = static_cast<AudioOut*>(static_cast<SoundStream*>(userData));
    self->noteCallback();
    return self->render(static_cast<qint16*>(output), int(frames)) ? paContinue : paComplete;
}

AudioDevices::DeviceTable& AudioOut::table()
{
    static AudioDevices::DeviceTable devices;
    return devices;
}
