// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMap>
#include <QString>

// What the input and output sides share: the device tables of PortAudio's
// default host API, device names as text, and the one form in which a
// PortAudio failure is reported. Everything here is called on the GUI thread
// and reaches PortAudio through the sound thread (SoundThread).
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

// Adds every device of the default host API with at least one channel in
// the given direction. A failure is reported under the owner's name
// ("AudioIn", "AudioOut") with the label "Pa_GetDeviceCount()".
void fillTable(DeviceTable& table, Direction direction, const char* owner);

// Pa_Initialize, reported as "Pa_Initialize()" under the owner's name; the
// PortAudio result.
int initialise(const char* owner);
// Pa_Terminate, for each successful initialise().
void terminate();
// PortAudio's default device in that direction, or paNoDevice.
int defaultDevice(Direction direction);

// The first device of the table, in index order, whose name equals the given
// one exactly (case-sensitive); fallback when none does.
int findByName(const DeviceTable& table, const QString& name, int fallback);

// The name PortAudio gives the device, or an empty string for an index it
// does not know (paNoDevice among them).
QString deviceName(int device);

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
void writeChoice(Direction direction, int device, int sampleRate);

} // namespace AudioDevices
