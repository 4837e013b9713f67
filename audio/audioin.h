// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/audiodevices.h"
#include "audio/samplering.h"
#include "audio/soundstream.h"

#include <QByteArray>

#include <algorithm>
#include <atomic>

struct PaStreamCallbackTimeInfo;

// Captures the receive audio: one PortAudio input stream of 16-bit mono
// samples in blocks of 1024 frames (or longer, see setBlockSeconds), the choice of input device and sample
// rate, and their settings under "Audio"/"Input".
//
// Lives on the GUI thread; the stream is driven through the sound thread,
// and a lost stream is reopened and restarted in the background
// (SoundStream). The capture callback runs on PortAudio's audio thread and
// only copies each block into a preallocated ring and emits notify(); the
// GUI thread then drains the ring with readAvailable(). The ring is plain
// memory of this object, so two programs, or a program started after one
// that crashed, never meet in it.
class AudioIn : public SoundStream
{
    Q_OBJECT
public:
    static constexpr int kFramesPerBuffer = 1024;
    static constexpr int kDefaultSampleRate = 11025;
    // The ring holds one second of audio at this rate, or at the stream's
    // rate when that is higher, and at least two blocks: the GUI thread may
    // stall that long before the oldest audio is dropped.
    static constexpr int kRingRate = 64000;
    static constexpr double kMaxBlockSeconds = 2.0;

    explicit AudioIn(QObject* parent = nullptr);
    ~AudioIn() override;
    // Stores the device chosen and its rate: when the user changes them
    // (ChangeDevice) and when the window closes.
    void saveSettings() const;

    // Blocks of at least this length, and as much input latency, from the
    // next open on. Receiving alone (a skimmer) takes long blocks: the
    // program and the sound server then wake a few times a second instead
    // of a hundred. 0 (the default): blocks of kFramesPerBuffer at the
    // device's low latency, as the window needs. At most kMaxBlockSeconds;
    // the ring grows to hold two blocks. The watch over the stream then
    // looks once a block, not ten times a second, and counts it lost only
    // after kStallBlocks blocks without a callback: the watch and the
    // callbacks keep the same beat, so a callback a little late can fall
    // after a second look, and a sound server that is busy delivers late.
    void setBlockSeconds(double seconds);
    static constexpr int kStallBlocks = 4;

    // Opens the input stream on device (the default input device when it is
    // not an input device of the default host API) at sampleRate. The
    // stream is not started. Answers whether it opened.
    bool CreateAudio(int device, int sampleRate);
    // A stream that fails to start is lost (see SoundStream).
    bool Start();
    void Stop();

    // Reopens and restarts the stream when the requested device has another
    // name or the rate differs, or the stream is lost (then in the
    // background); answers whether it did.
    bool ChangeDevice(int device, int sampleRate);

    // The input devices of the default host API, filled on first use.
    static const AudioDevices::DeviceTable& InputDevices();
    // The first input device called exactly name, else the default input
    // device.
    static int DeviceByName(const QString& name);

    // Whether the stream runs, as far as the GUI thread knows; asks nothing.
    bool isActive() const { return playing(); }

    // Appends every captured sample not yet handed over (16-bit, native
    // byte order, oldest first) and returns the number of bytes appended.
    // GUI thread. Each sample is handed over exactly once; if the caller
    // fell more than the ring behind, the oldest samples are dropped,
    // counted and warned about once.
    int readAvailable(QByteArray& appendTo);
    // Samples dropped so far because the GUI thread fell behind.
    quint64 droppedSamples() const { return m_droppedSamples; }
    // Input overflows the sound card reported so far.
    quint32 deviceOverflows() const { return m_deviceOverflows.load(std::memory_order_relaxed); }

    // What the capture callback does with each buffer: stores it and emits
    // notify(frames * 2). Audio thread; a stand-in source may call it too,
    // from one thread at a time and never while the stream runs.
    void captureBlock(const qint16* samples, int frames);

signals:
    // Bytes of the block just captured; connect queued and read them with
    // readAvailable().
    void notify(int numBytes);

private:
    static int captureCallback(const void* input, void* output, unsigned long frames,
                               const PaStreamCallbackTimeInfo* timeInfo,
                               unsigned long statusFlags, void* userData);
    bool runsWhenOpened() const override { return true; }
    Opener opener(int rate) override;
    int stallMs() const override;
    int ringSizeFor(int sampleRate) const;

    bool m_paInitialised = false;
    double m_blockSeconds = 0.0;
    SampleRing m_ring;
    quint64 m_droppedSamples = 0;
    bool m_dropWarned = false;
    std::atomic<quint32> m_deviceOverflows{0};
    bool m_overflowWarned = false;
};
