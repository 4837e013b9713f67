// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audioin.h"


#include <QtDebug>

#include <algorithm>

#include <portaudio.h>

namespace {

constexpr char kOwner[] = "AudioIn";

} // namespace

AudioIn::AudioIn(QObject* parent)
    : QObject(parent)
    , m_ring(ringSizeFor(kDefaultSampleRate))
{
    const PaError err = Pa_Initialize();
    m_paInitialised = err == paNoError;
    if (!m_paInitialised)
        AudioDevices::reportError(kOwner, "Pa_Initialize()", err);

    InputDevices();

    const AudioDevices::StoredChoice choice =
        AudioDevices::readChoice(AudioDevices::Direction::Input, Pa_GetDefaultInputDevice(), kDefaultSampleRate);
    CreateAudio(DeviceByName(choice.name), choice.sampleRate);
}

AudioIn::~AudioIn()
{
    if (m_stream)
        Stop();
    closeStream();

    AudioDevices::writeChoice(AudioDevices::Direction::Input, m_device, m_sampleRate);

    if (m_paInitialised)
        Pa_Terminate();
}

void AudioIn::CreateAudio(int device, int sampleRate)
{
    closeStream();
    // Growing the ring is safe here: with the stream closed nothing writes.
    if (ringSizeFor(sampleRate) > m_ring.capacity())
        m_ring.reset(ringSizeFor(sampleRate));

    m_device = InputDevices().contains(device) ? device : Pa_GetDefaultInputDevice();
    m_sampleRate = sampleRate;

    const PaDeviceInfo* info = m_device >= 0 ? Pa_GetDeviceInfo(m_device) : nullptr;
    PaStreamParameters input{};
    input.device = m_device;
    input.channelCount = 1;
    input.sampleFormat = paInt16;
    input.suggestedLatency = info ? info->defaultLowInputLatency : 0.0;
    input.hostApiSpecificStreamInfo = nullptr;

    const PaError err = Pa_OpenStream(&m_stream, &input, nullptr, sampleRate, kFramesPerBuffer,
                                      paClipOff, &AudioIn::captureCallback, this);
    if (err != paNoError) {
        m_stream = nullptr;
        AudioDevices::reportError(kOwner, "CreateAudio()", err);
    }
}

void AudioIn::Start()
{
    const PaError err = Pa_StartStream(m_stream);
    if (err != paNoError)
        AudioDevices::reportError(kOwner, "Start()", err);
}

void AudioIn::Stop()
{
    // Stopping a stream that is already stopped is no failure.
    if (m_stream && Pa_IsStreamStopped(m_stream) == 1)
        return;
    const PaError err = Pa_StopStream(m_stream);
    if (err != paNoError)
        AudioDevices::reportError(kOwner, "Stop()", err);
}

bool AudioIn::ChangeDevice(int device, int sampleRate)
{
    if (AudioDevices::deviceName(m_device) == AudioDevices::deviceName(device)
        && sampleRate == m_sampleRate)
        return false;
    m_sampleRate = sampleRate;
    Stop();
    CreateAudio(device, sampleRate);
    Start();
    return true;
}

const AudioDevices::DeviceTable& AudioIn::InputDevices()
{
    AudioDevices::DeviceTable& devices = table();
    if (devices.isEmpty())
        AudioDevices::fillTable(devices, AudioDevices::Direction::Input, kOwner);
    return devices;
}

int AudioIn::DeviceByName(const QString& name)
{
    return AudioDevices::findByName(InputDevices(), name, Pa_GetDefaultInputDevice());
}

bool AudioIn::isActive() const
{
    return m_stream && Pa_IsStreamActive(m_stream) == 1;
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
    auto* self = static_cast<AudioIn*>(userData);
    if (statusFlags & paInputOverflow)
        self->m_deviceOverflows.fetch_add(1, std::memory_order_relaxed);
    if (input)
        self->captureBlock(static_cast<const qint16*>(input), int(frames));
    return paContinue;
}

AudioDevices::DeviceTable& AudioIn::table()
{
    static AudioDevices::DeviceTable devices;
    return devices;
}

void AudioIn::closeStream()
{
    if (!m_stream)
        return;
    const PaError err = Pa_CloseStream(m_stream);
    if (err != paNoError)
        AudioDevices::reportError(kOwner, "Pa_CloseStream()", err);
    m_stream = nullptr;
}

int AudioIn::ringSizeFor(int sampleRate)
{
    return std::max(sampleRate, int(kRingRate));
}
