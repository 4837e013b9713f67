// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

typedef struct sf_private_tag SNDFILE;

// Sound files through libsndfile: any format and rate it reads comes in as
// 16-bit samples of the first channel; what we write is 16-bit mono WAV.
namespace WavIo {

// Reads a sound file block by block, so that a long recording never has to
// fit in memory.
class Reader
{
public:
    Reader() = default;
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // On failure returns false with a message naming the file in *error.
    bool open(const QString& path, QString* error);
    int sampleRate() const { return m_rate; }
    int channels() const { return m_channels; }
    // For a WAV file cut short (its data chunk promises more bytes than the
    // file holds, as after a full disk or an interrupted copy): a sentence
    // saying so, naming the file; empty otherwise. What is there still reads.
    QString truncation() const { return m_truncation; }
    // Up to max samples of the first channel into out; 0 at the end of the
    // file. On a read error returns -1 with *error set.
    int read(qint16* out, int max, QString* error);

private:
    SNDFILE* m_file = nullptr;
    QString m_path;
    QString m_truncation;
    int m_rate = 0;
    int m_channels = 0;
    // Floating-point files come in as doubles: libsndfile hands their samples
    // to a 16-bit reader unscaled, which leaves -1, 0 and 1.
    bool m_float = false;
    std::vector<short> m_frames;
    std::vector<double> m_floatFrames;
};

// Writes 16-bit PCM mono WAV block by block, so that a long transmission
// never has to fit in memory.
class Writer
{
public:
    // The most samples a WAV file can hold: its sizes are 32-bit byte counts.
    static constexpr qint64 kMaxSamples = 0x7FFF0000;

    Writer() = default;
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // On failure these return false with a message naming the file in *error.
    bool open(const QString& path, int sampleRate, QString* error);
    bool write(const qint16* samples, int count, QString* error);
    // Writes the final header; the file is complete only after this.
    bool close(QString* error);

private:
    SNDFILE* m_file = nullptr;
    QString m_path;
};

} // namespace WavIo
