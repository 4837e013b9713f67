// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audiodevices.h"

#include "core/settings.h"

#include "core/codepage.h"
#include "audio/soundthread.h"

#include <QtDebug>

#include <portaudio.h>

namespace AudioDevices {

namespace {
void fillOnSoundThread(DeviceTable& table, Direction direction, const char* owner)
{
    const PaHostApiIndex hostApi = Pa_GetDefaultHostApi();
    const PaHostApiInfo* hostInfo = Pa_GetHostApiInfo(hostApi);
    // Without host API information the index itself is the error code
    // (paNotInitialized, say), so it is reported like a negative count.
    const int count = hostInfo ? hostInfo->deviceCount : int(hostApi);
    if (count < 0) {
        reportError(owner, "Pa_GetDeviceCount()", count);
        return;
    }
    for (int i = 0; i < count; ++i) {
        const PaDeviceIndex device = Pa_HostApiDeviceIndexToDeviceIndex(hostApi, i);
        const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
        if (!info)
            continue;
        const int channels =
            direction == Direction::Input ? info->maxInputChannels : info->maxOutputChannels;
        if (channels <= 0)
            continue;
        DeviceInfo copy;
        copy.name = CodePage::fromBytes(QByteArray(info->name));
        copy.maxInputChannels = info->maxInputChannels;
        copy.maxOutputChannels = info->maxOutputChannels;
        copy.defaultLowInputLatency = info->defaultLowInputLatency;
        copy.defaultLowOutputLatency = info->defaultLowOutputLatency;
        copy.defaultSampleRate = info->defaultSampleRate;
        table.insert(device, copy);
    }
}
} // namespace

void fillTable(DeviceTable& table, Direction direction, const char* owner)
{
    table = SoundThread::ask<DeviceTable>([direction, owner] {
        DeviceTable filled;
        fillOnSoundThread(filled, direction, owner);
        return filled;
    }, table, SoundThread::kStartUpMs);
}

int initialise(const char* owner)
{
    const int err =
        SoundThread::ask<int>([] { return int(Pa_Initialize()); }, int(paTimedOut), SoundThread::kStartUpMs);
    if (err != paNoError)
        reportError(owner, "Pa_Initialize()", err);
    return err;
}

void terminate()
{
    // A hung call holds a stream that shutting down would try to close.
    if (!SoundThread::anyHung())
        SoundThread::call([] { Pa_Terminate(); }, SoundThread::kStartUpMs);
}

int defaultDevice(Direction direction)
{
    return SoundThread::ask<int>([direction] {
        return int(direction == Direction::Input ? Pa_GetDefaultInputDevice() : Pa_GetDefaultOutputDevice());
    }, int(paNoDevice));
}

int findByName(const DeviceTable& table, const QString& name, int fallback)
{
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (it.value().name == name)
            return it.key();
    }
    return fallback;
}

QString deviceName(int device)
{
    const QByteArray name = SoundThread::ask<QByteArray>([device] {
        const PaDeviceInfo* info = device >= 0 ? Pa_GetDeviceInfo(device) : nullptr;
        return info ? QByteArray(info->name) : QByteArray();
    }, QByteArray());
    return CodePage::fromBytes(name);
}

QString errorMessage(const char* owner, const char* label, int code)
{
    return QStringLiteral("%1 ERROR: %2 returned %3 <%4>")
        .arg(QLatin1String(owner), QLatin1String(label))
        .arg(code, 8, 16, QLatin1Char(' '))
        .arg(QString::fromUtf8(Pa_GetErrorText(code)));
}

void reportError(const char* owner, const char* label, int code)
{
    qWarning().noquote() << errorMessage(owner, label, code);
}

namespace {
void enterGroup(Settings& settings, Direction direction)
{
    settings.beginGroup(QStringLiteral("Audio"));
    settings.beginGroup(direction == Direction::Input ? QStringLiteral("Input") : QStringLiteral("Output"));
}
} // namespace

StoredChoice readChoice(Direction direction, int defaultDevice, int defaultRate)
{
    Settings settings;
    enterGroup(settings, direction);
    return {settings.value(QStringLiteral("Name"), deviceName(defaultDevice)).toString(),
            settings.value(QStringLiteral("SampleRate"), defaultRate).toInt()};
}

void writeChoice(Direction direction, int device, int sampleRate)
{
    Settings settings;
    enterGroup(settings, direction);
    settings.setValue(QStringLiteral("Name"), deviceName(device));
    settings.setValue(QStringLiteral("SampleRate"), sampleRate);
}

} // namespace AudioDevices
