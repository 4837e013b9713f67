// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audiodevices.h"

#include "core/settings.h"

#include "core/codepage.h"
#include "audio/soundthread.h"

#include <QElapsedTimer>
#include <QtDebug>

#include <portaudio.h>

#include <algorithm>

namespace AudioDevices {

namespace {

// The GUI thread's copy of the tables.
Snapshot g_gui;

// Sound thread only.
Snapshot g_sound;
int g_initialised = 0; // successful Pa_Initialize calls not yet terminated
int g_openStreams = 0;
QElapsedTimer g_sinceRestart;

// A restart loads and unloads the sound system's plug-ins, a burst of work
// (and of mapping and unmapping memory) that holds up the program's other
// threads. While restarts find no device at all, the wait between them
// doubles, up to kRestartAtMostMs.
constexpr int kRestartEveryMs = 2000;
constexpr int kRestartAtMostMs = 16000;
int g_restartWaitMs = kRestartEveryMs;

// Lists one direction into table; answers false, with the error in *code,
// when PortAudio cannot tell its devices.
bool scan(DeviceTable& table, Direction direction, int* code)
{
    table.clear();
    const PaHostApiIndex hostApi = Pa_GetDefaultHostApi();
    const PaHostApiInfo* hostInfo = Pa_GetHostApiInfo(hostApi);
    // Without host API information the index itself is the error code
    // (paNotInitialized, say), so it is reported like a negative count.
    const int count = hostInfo ? hostInfo->deviceCount : int(hostApi);
    if (count < 0) {
        *code = count;
        return false;
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
    return true;
}

void scanDefaults(Snapshot& snapshot)
{
    const int in = Pa_GetDefaultInputDevice();
    const int out = Pa_GetDefaultOutputDevice();
    snapshot.defaultInput = snapshot.inputs.contains(in) ? in : paNoDevice;
    snapshot.defaultOutput = snapshot.outputs.contains(out) ? out : paNoDevice;
}

} // namespace

int Snapshot::resolve(Direction d, const QString& name) const
{
    return findByName(table(d), name, defaultDevice(d));
}

// Whether a direction was listed in this PortAudio session; later lists
// come only with a restart, so no lookup waits on the sound thread.
static bool g_listed[2] = {false, false};

const DeviceTable& table(Direction direction, const char* owner)
{
    if (!g_gui.table(direction).isEmpty() || g_listed[int(direction)])
        return g_gui.table(direction);
    struct Filled
    {
        Snapshot snapshot;
        int code = 0;
    };
    const Filled filled = SoundThread::ask<Filled>([direction] {
        SoundThread::expectSlow();
        Filled f;
        DeviceTable& table = direction == Direction::Input ? g_sound.inputs : g_sound.outputs;
        if (!scan(table, direction, &f.code))
            table.clear();
        scanDefaults(g_sound);
        f.snapshot = g_sound;
        return f;
    }, Filled{g_gui, 0}, SoundThread::kStartUpMs);
    if (filled.code < 0)
        reportError(owner, "Pa_GetDeviceCount()", filled.code);
    else
        g_listed[int(direction)] = true;
    (direction == Direction::Input ? g_gui.inputs : g_gui.outputs) = filled.snapshot.table(direction);
    g_gui.defaultInput = filled.snapshot.defaultInput;
    g_gui.defaultOutput = filled.snapshot.defaultOutput;
    return g_gui.table(direction);
}

const DeviceTable& known(Direction direction)
{
    return g_gui.table(direction);
}

void adopt(const Snapshot& snapshot)
{
    g_gui = snapshot;
}

int initialise(const char* owner)
{
    const int err = SoundThread::ask<int>([] {
        SoundThread::expectSlow();
        const PaError e = Pa_Initialize();
        if (e == paNoError)
            ++g_initialised;
        return int(e);
    }, int(paTimedOut), SoundThread::kStartUpMs);
    if (err != paNoError)
        reportError(owner, "Pa_Initialize()", err);
    return err;
}

void terminate()
{
    // A hung call holds a stream that shutting down would try to close.
    if (SoundThread::anyHung())
        return;
    const int left = SoundThread::ask<int>([] {
        Pa_Terminate();
        if (--g_initialised <= 0) {
            g_initialised = 0;
            g_sound = Snapshot();
        }
        return g_initialised;
    }, 1, SoundThread::kHungMs);
    if (left == 0) {
        g_gui = Snapshot();
        g_listed[0] = g_listed[1] = false;
    }
}

int defaultDevice(Direction direction)
{
    return g_gui.defaultDevice(direction);
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
    if (g_gui.inputs.contains(device))
        return g_gui.inputs.value(device).name;
    return g_gui.outputs.value(device).name;
}

const Snapshot& current()
{
    return g_sound;
}

void noteStreamOpened()
{
    ++g_openStreams;
}

void noteStreamClosed()
{
    --g_openStreams;
}

bool restartIfIdle()
{
    if (g_openStreams > 0 || SoundThread::anyHung()
        || (g_sinceRestart.isValid() && g_sinceRestart.elapsed() < g_restartWaitMs))
        return false;
    g_sinceRestart.start();
    SoundThread::expectSlow();
    const int sessions = std::max(g_initialised, 1);
    for (; g_initialised > 0; --g_initialised)
        Pa_Terminate();
    for (int i = 0; i < sessions; ++i)
        if (Pa_Initialize() == paNoError)
            ++g_initialised;
    int code = 0;
    if (!scan(g_sound.inputs, Direction::Input, &code))
        g_sound.inputs.clear();
    if (!scan(g_sound.outputs, Direction::Output, &code))
        g_sound.outputs.clear();
    scanDefaults(g_sound);
    const bool found = !g_sound.inputs.isEmpty() || !g_sound.outputs.isEmpty();
    g_restartWaitMs = found ? kRestartEveryMs : std::min(2 * g_restartWaitMs, kRestartAtMostMs);
    return true;
}

void restartSoon()
{
    g_sinceRestart.invalidate();
    g_restartWaitMs = kRestartEveryMs;
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

void writeChoice(Direction direction, const QString& name, int sampleRate)
{
    Settings settings;
    enterGroup(settings, direction);
    if (!name.isEmpty())
        settings.setValue(QStringLiteral("Name"), name);
    settings.setValue(QStringLiteral("SampleRate"), sampleRate);
}

} // namespace AudioDevices
