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
    : QObject(parent)
{
    const PaError err = Pa_Initialize();
    m_paInitialised = err == paNoError;
    if (!m_paInitialised)
        AudioDevices::reportError(kOwner, "Pa_Initialize()", err);

    OutputDevices();

    const AudioDevices::StoredChoice choice =
        AudioDevices::readChoice(AudioDevices::Direction::Output, Pa_GetDefaultOutputDevice(), kDefaultSampleRate);
    CreateAudio(DeviceByName(choice.name), choice.sampleRate);
}

AudioOut::~AudioOut()
{
    if (m_stream)
        Stop();
    closeStream();

    AudioDevices::writeChoice(AudioDevices::Direction::Output, m_device, m_sampleRate);

    if (m_paInitialised)
        Pa_Terminate();
}

void AudioOut::CreateAudio(int device, int sampleRate)
{
    closeStream();
    m_device = OutputDevices().contains(device) ? device : Pa_GetDefaultOutputDevice();
    m_sampleRate = sampleRate;

    const PaDeviceInfo* info = m_device >= 0 ? Pa_GetDeviceInfo(m_device) : nullptr;
    PaStreamParameters output{};
    output.device = m_device;
    output.channelCount = 1;
    output.sampleFormat = paInt16;
    output.suggestedLatency = info ? info->defaultLowOutputLatency : 0.0;
    output.hostApiSpecificStreamInfo = nullptr;

    // Priming through the callback means the first buffers are already the
    // transmit signal, not silence, when playback starts.
    const PaError err =
        Pa_OpenStream(&m_stream, nullptr, &output, sampleRate, kFramesPerBuffer,
                      paClipOff | paPrimeOutputBuffersUsingStreamCallback,
                      &AudioOut::playbackCallback, this);
    if (err != paNoError) {
        m_stream = nullptr;
        AudioDevices::reportError(kOwner, "CreateAudio()", err);
        return;
    }
    // Enough silence to push the last real block through the whole output
    // buffer, and one block more for the host's own rounding.
    const PaStreamInfo* stream = Pa_GetStreamInfo(m_stream);
    const double latencyFrames = stream ? stream->outputLatency * stream->sampleRate : 0.0;
    m_tailBlocks = int(std::ceil(latencyFrames / kFramesPerBuffer)) + 1;
}

void AudioOut::Start()
{
    // A stream that completed on its own is inactive but not yet stopped,
    // and PortAudio starts only stopped streams.
    if (m_stream && Pa_IsStreamStopped(m_stream) == 0 && Pa_IsStreamActive(m_stream) == 0)
        Pa_StopStream(m_stream);
    // Only a stopped stream starts, and only then is the callback surely
    // not running; starting the stream orders these writes before its first
    // call. Starting a running stream just reports PortAudio's refusal.
    if (m_stream && Pa_IsStreamStopped(m_stream) == 1) {
        m_tailLeft = -1;
        m_ended = false;
    }
    const PaError err = Pa_StartStream(m_stream);
    if (err != paNoError)
        AudioDevices::reportError(kOwner, "Start()", err);
}

void AudioOut::Stop()
{
    // Stopping a stream that is already stopped is no failure.
    if (m_stream && Pa_IsStreamStopped(m_stream) == 1)
        return;
    const PaError err = Pa_StopStream(m_stream);
    if (err != paNoError)
        AudioDevices::reportError(kOwner, "Stop()", err);
}

bool AudioOut::ChangeDevice(int device, int sampleRate)
{
    if (AudioDevices::deviceName(m_device) == AudioDevices::deviceName(device)
        && sampleRate == m_sampleRate)
        return false;
    m_sampleRate = sampleRate;
    const bool wasPlaying = isActive();
    if (wasPlaying)
        Stop();
    CreateAudio(device, sampleRate);
    if (wasPlaying)
        Start();
    return true;
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
    return AudioDevices::findByName(OutputDevices(), name, Pa_GetDefaultOutputDevice());
}

bool AudioOut::isActive() const
{
    return m_stream && Pa_IsStreamActive(m_stream) == 1;
}

void AudioOut::setSampleProvider(SampleProvider provider)
{
    m_provider.store(provider, std::memory_order_release);
}

bool AudioOut::render(qint16* samples, int frames)
{
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
    if (!m_ended) {
        m_ended = true;
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
    auto* self = static_cast<AudioOut*>(userData);
    return self->render(static_cast<qint16*>(output), int(frames)) ? paContinue : paComplete;
}

AudioDevices::DeviceTable& AudioOut::table()
{
    static AudioDevices::DeviceTable devices;
    return devices;
}

void AudioOut::closeStream()
{
    if (!m_stream)
        return;
    const PaError err = Pa_CloseStream(m_stream);
    if (err != paNoError)
        AudioDevices::reportError(kOwner, "Pa_CloseStream()", err);
    m_stream = nullptr;
}
