// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/audiodevices.h"
#include "audio/soundstream.h"

#include <atomic>
#include <memory>

struct PaStreamCallbackTimeInfo;

// Plays the transmit audio: one PortAudio output stream of 16-bit mono
// samples in blocks of 512 frames, the choice of output device and sample
// rate, and their settings under "Audio"/"Output".
//
// Lives on the GUI thread; the stream is driven through the sound thread
// (SoundStream). Each start opens the stream afresh, because starting a
// stream whose sound server has gone hangs for ever; a start that fails
// makes the output lost, and it is then reopened in the background until
// that works again. Nothing is buffered here: the playback callback,
// on PortAudio's audio thread, asks the sample provider to write each block
// straight into PortAudio's buffer. When the provider reports the end, the
// stream plays silence for as long as the output latency, then completes
// and emits signalStopAudioOut() once, from the audio thread, so it must be
// connected queued. The silence is there because some host APIs (ALSA on a
// sound server among them) drop what is still buffered when a stream
// completes, which would cut off the end of a transmission; with it, the
// transmitter is released only after the last sample has left the card.
class AudioOut : public SoundStream
{
    Q_OBJECT
public:
    static constexpr int kFramesPerBuffer = 512;
    static constexpr int kDefaultSampleRate = 11025;

    // Writes count samples of the transmit signal into samples and answers
    // whether the transmission goes on; the block of the last call is still
    // played. Runs on the audio thread, so it must neither block nor
    // allocate. In the program it is the main window's transmit-sample hook.
    using SampleProvider = bool (*)(qint16* samples, int count);

    explicit AudioOut(QObject* parent = nullptr);
    ~AudioOut() override;
    // Stores the device chosen and its rate: when the user changes them
    // (ChangeDevice) and when the window closes.
    void saveSettings() const;

    // Opens the output stream on device (the default output device when it
    // is not an output device of the default host API) at sampleRate. The
    // stream is not started. Answers whether it opened.
    bool CreateAudio(int device, int sampleRate);
    // Opens the stream afresh and starts it, as one call to the sound thread
    // that the GUI thread waits for a short time at most; answers whether it
    // plays. A held stream plays silence, leaving the sample provider
    // alone, until release(): the transmitter is keyed in between, once the
    // stream surely runs and before the first sample of the transmission.
    // While the output is lost (and being reopened) it answers false at once.
    bool Start(bool held = false);
    void release();
    void Stop();

    // Reopens the stream when the requested device has another name or the
    // rate differs, or the stream is lost, keeping it playing if it was;
    // answers whether it did.
    bool ChangeDevice(int device, int sampleRate);

    // The output devices of the default host API, filled on first use.
    static const AudioDevices::DeviceTable& OutputDevices();
    // The first output device called exactly name, else the default output
    // device.
    static int DeviceByName(const QString& name);

    // Whether the stream is playing: started and not yet finished, as far
    // as the GUI thread knows; asks nothing.
    bool isActive() const { return playing(); }

    // Without a provider every block is silence and the transmission ends
    // at once. May be changed while the stream plays.
    void setSampleProvider(SampleProvider provider);

signals:
    void signalStopAudioOut();

private:
    static int playbackCallback(const void* input, void* output, unsigned long frames,
                                const PaStreamCallbackTimeInfo* timeInfo,
                                unsigned long statusFlags, void* userData);
    bool render(qint16* samples, int frames);
    bool endedAsPlanned() const override { return m_ended.load(); }
    bool runsWhenOpened() const override { return false; }
    Opener opener(int rate) override;
    // An output that stops moving leaves the transmitter keyed with nothing
    // to send: it is lost after this long without a callback.
    int stallMs() const override { return kOutputStallMs; }
    static constexpr int kOutputStallMs = 500;

    bool m_paInitialised = false;
    std::atomic<SampleProvider> m_provider{nullptr};
    // Blocks of silence after the provider's last block; set when the stream
    // is opened (on the sound thread, through the opener, which shares it),
    // read by the callback only while the stream runs.
    std::shared_ptr<std::atomic<int>> m_tailBlocks = std::make_shared<std::atomic<int>>(0);
    // Audio-thread state of one transmission, reset by Start() while the
    // stream is stopped: blocks of silence still to play after the end
    // (-1 before the end), and whether the end has been signalled (read by
    // the GUI thread's watch too).
    int m_tailLeft = -1;
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_held{false};
};
