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
    : SoundStream(kOwner, parent)
    , m_ring(ringSizeFor(kDefaultSampleRate))
{
    m_paInitialised = AudioDevices::initialise(kOwner) == paNoError;

    InputDevices();

    const AudioDevices::StoredChoice choice = AudioDevices::readChoice(
        AudioDevices::Direction::Input, AudioDevices::defaultDevice(AudioDevices::Direction::Input),
        kDefaultSampleRate);
    CreateAudio(DeviceByName(choice.name), choice.sampleRate);
}

AudioIn::~AudioIn()
{
    Stop();
    onStream([this](PaStream*& stream) {
        closeOnSoundThread(stream);
        return 0;
    });

    AudioDevices::writeChoice(AudioDevices::Direction::Input, m_device, m_sampleRate);

    if (m_paInitialised)
        AudioDevices::terminate();
}

bool AudioIn::CreateAudio(int device, int sampleRate)
{
    setShouldRun(false);
    onStream([this](PaStream*& stream) {
        closeOnSoundThread(stream);
        return 0;
    });
    // Growing the ring is safe here: with the stream closed nothing writes.
    if (ringSizeFor(sampleRate) > m_ring.capacity())
        m_ring.reset(ringSizeFor(sampleRate));

    m_device = InputDevices().contains(device) ? device
                                               : AudioDevices::defaultDevice(AudioDevices::Direction::Input);
    m_sampleRate = sampleRate;

    const PaError err = onStream([this, device = m_device, sampleRate](PaStream*& stream) {
        const PaDeviceInfo* info = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
        PaStreamParameters input{};
        input.device = device;
        input.channelCount = 1;
        input.sampleFormat = paInt16;
        input.suggestedLatency = info ? info->defaultLowInputLatency : 0.0;
        input.hostApiSpecificStreamInfo = nullptr;
        return openOnSoundThread(stream, &input, nullptr, sampleRate, kFramesPerBuffer, paClipOff,
                                 reinterpret_cast<void*>(&AudioIn::captureCallback));
    });
    if (err != paNoError && reporting())
        AudioDevices::reportError(kOwner, "CreateAudio()", err);
    return err == paNoError;
}

bool AudioIn::Start()
{
    setShouldRun(true);
    const PaError err = onStream([](PaStream*& stream) { return Pa_StartStream(stream); });
    if (err == paNoError)
        return true;
    if (reporting())
        AudioDevices::reportError(kOwner, "Start()", err);
    if (m_device >= 0) // with no device at all there is nothing to reopen
        lose("it did not start");
    return false;
}

void AudioIn::Stop()
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

bool AudioIn::ChangeDevice(int device, int sampleRate)
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
    Stop();
    CreateAudio(device, sampleRate);
    Start();
    return true;
}

bool AudioIn::reopen()
{
    return CreateAudio(m_device, m_sampleRate) && Start();
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
    return AudioDevices::findByName(InputDevices(), name,
                                    AudioDevices::defaultDevice(AudioDevices::Direction::Input));
}

bool AudioIn::isActive() const
{
    return !isLost() && const_cast<AudioIn*>(this)->onStream([](PaStream*& stream) {
        return int(stream && Pa_IsStreamActive(stream) == 1);
    }) == 1;
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
    auto* self = static_cast<AudioIn*>(static_cast<SoundStream*>(userData));
    self->noteCallback();
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

int AudioIn::ringSizeFor(int sampleRate)
{
    return std::max(sampleRate, int(kRingRate));
}
