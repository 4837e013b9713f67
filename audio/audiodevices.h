// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QString>

// What the input and output sides share: the device tables of PortAudio's
// default host API, device names as text, the restart of PortAudio that
// finds a sound server which was not there before, and the one form in
// which a PortAudio failure is reported.
//
// The tables exist twice: the sound thread's own, which its jobs resolve
// device names against, and the GUI thread's copy, which the dialog lists
// and device names are looked up in without asking PortAudio (so no
// lookup ever waits on a hung sound server). A restart on the sound thread
// hands its new tables to the GUI thread with its result.
namespace AudioDevices {

// A copy of the fields of PortAudio's device record that the program uses.
// A copy rather than PortAudio's own pointer, so a table outlives the
// Pa_Initialize/Pa_Terminate pair that filled it.
struct DeviceInfo
{
    QString name; // decoded from the local 8-bit code page
    int maxInputChannels = 0;
    int maxOutputChannels = 0;
    double defaultLowInputLatency = 0.0;
    double defaultLowOutputLatency = 0.0;
    double defaultSampleRate = 0.0;
};

// PortAudio device index to its record, in index order.
using DeviceTable = QMap<int, DeviceInfo>;

enum class Direction { Input, Output };

// Both tables and the default devices of one PortAudio session.
struct Snapshot
{
    DeviceTable inputs;
    DeviceTable outputs;
    int defaultInput = -1; // paNoDevice
    int defaultOutput = -1;

    const DeviceTable& table(Direction d) const { return d == Direction::Input ? inputs : outputs; }
    int defaultDevice(Direction d) const { return d == Direction::Input ? defaultInput : defaultOutput; }
    // The first device of the table called exactly name, else the default.
    int resolve(Direction d, const QString& name) const;
};

// GUI thread. The table of one direction, filled through the sound thread
// on first use: every device of the default host API with at least one
// channel in that direction. A failure is reported under the owner's name
// ("AudioIn", "AudioOut") with the label "Pa_GetDeviceCount()".
const DeviceTable& table(Direction direction, const char* owner);
// GUI thread: the table as it is, never filled here.
const DeviceTable& known(Direction direction);
// GUI thread: takes over the tables of a restart.
void adopt(const Snapshot& snapshot);

// Pa_Initialize, reported as "Pa_Initialize()" under the owner's name; the
// PortAudio result.
int initialise(const char* owner);
// Pa_Terminate, for each successful initialise(); the last one empties the
// tables, whose indices mean nothing to the next session.
void terminate();
// PortAudio's default device in that direction as last listed, or
// paNoDevice.
int defaultDevice(Direction direction);

// The first device of the table, in index order, whose name equals the given
// one exactly (case-sensitive); fallback when none does.
int findByName(const DeviceTable& table, const QString& name, int fallback);

// The name of a listed device, or an empty string for an index not listed
// (paNoDevice among them). Never asks PortAudio.
QString deviceName(int device);

// Sound thread: the tables its jobs resolve names against.
const Snapshot& current();
// Sound thread: counts the streams open, so PortAudio is restarted only
// when it would close none.
void noteStreamOpened();
void noteStreamClosed();
// Sound thread: shuts PortAudio down and starts it again, which lists the
// devices afresh (a sound server that was not running when PortAudio
// started stays unseen until then). Only when no stream is open, no call
// has hung and the last restart is two seconds old (while restarts find no
// device at all, the wait doubles each time, up to 16 seconds); answers
// whether it restarted.
bool restartIfIdle();
// Sound thread: the next restartIfIdle() may restart at once, and the wait
// is two seconds again (the user asked for the device).
void restartSoon();

// "<owner> ERROR: <label> returned <code> <<PortAudio's text>>", the code in
// hexadecimal right-aligned in 8 characters.
QString errorMessage(const char* owner, const char* label, int code);

// Writes errorMessage() to the warning output. The caller goes on.
void reportError(const char* owner, const char* label, int code);

// The device name and rate stored under "Audio"/<direction> ("Input" or
// "Output"): the default device's name and defaultRate when absent.
struct StoredChoice
{
    QString name;
    int sampleRate;
};
StoredChoice readChoice(Direction direction, int defaultDevice, int defaultRate);
// An empty name is not written: the stored choice stays.
void writeChoice(Direction direction, const QString& name, int sampleRate);

} // namespace AudioDevices
