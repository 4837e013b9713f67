// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/cli/wavio.h"

#include <QFile>

#include <sndfile.h>

#include <algorithm>
#include <cmath>

namespace {

QString libraryError(SNDFILE* f)
{
    return QString::fromLocal8Bit(sf_strerror(f));
}

// How many bytes the data chunk of a RIFF WAVE file promises beyond the end
// of the file; 0 for a whole file, one that is no RIFF WAVE file, or one
// written as a stream (size 0 or 0xFFFFFFFF, to be filled in later).
qint64 missingDataBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE")
        return 0;
    const auto le32 = [](const QByteArray& b, int at) {
        return quint32(quint8(b[at])) | quint32(quint8(b[at + 1])) << 8 | quint32(quint8(b[at + 2])) << 16
               | quint32(quint8(b[at + 3])) << 24;
    };
    for (qint64 at = 12;;) {
        if (!file.seek(at))
            return 0;
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8)
            return 0;
        const quint32 size = le32(chunk, 4);
        const qint64 available = file.size() - (at + 8);
        if (chunk.startsWith("data"))
            return size == 0 || size == 0xFFFFFFFFu || size <= available ? 0 : qint64(size) - available;
        at += 8 + qint64(size) + (size & 1); // chunks are padded to even sizes
    }
}

} // namespace

namespace WavIo {

Reader::~Reader()
{
    if (m_file)
        sf_close(m_file);
}

bool Reader::open(const QString& path, QString* error)
{
    SF_INFO info{};
    const QByteArray name = QFile::encodeName(path);
    m_file = sf_open(name.constData(), SFM_READ, &info);
    m_path = path;
    if (!m_file) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, libraryError(nullptr));
        return false;
    }
    if (info.channels < 1 || info.samplerate < 1) {
        *error = QStringLiteral("cannot read %1: no audio in it").arg(path);
        return false;
    }
    m_rate = info.samplerate;
    m_channels = info.channels;
    if (const qint64 missing = missingDataBytes(path); missing > 0) {
        m_truncation = QStringLiteral("%1 is truncated: its last %2 bytes of audio are missing; "
                                      "decoding what is there")
                           .arg(path)
                           .arg(missing);
    }
    const int subtype = info.format & SF_FORMAT_SUBMASK;
    m_float = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    return true;
}

int Reader::read(qint16* out, int max, QString* error)
{
    if (!m_file || max < 1)
        return 0;
    const size_t values = size_t(max) * size_t(m_channels);
    sf_count_t got = 0;
    if (m_float) {
        m_floatFrames.resize(values);
        got = sf_readf_double(m_file, m_floatFrames.data(), max);
    } else {
        m_frames.resize(values);
        got = sf_readf_short(m_file, m_frames.data(), max);
    }
    if (got < 0 || sf_error(m_file) != SF_ERR_NO_ERROR) {
        *error = QStringLiteral("cannot read %1: %2").arg(m_path, libraryError(m_file));
        return -1;
    }
    for (sf_count_t i = 0; i < got; ++i) {
        const size_t at = size_t(i) * size_t(m_channels);
        if (m_float) {
            // Full scale is 1.0; beyond it clips, and NaN is silence.
            const double x = m_floatFrames[at] * 32768.0;
            out[i] = std::isnan(x) ? 0 : qint16(std::lrint(std::clamp(x, -32768.0, 32767.0)));
        } else {
            out[i] = m_frames[at];
        }
    }
    return int(got);
}

Writer::~Writer()
{
    if (m_file)
        sf_close(m_file);
}

bool Writer::open(const QString& path, int sampleRate, QString* error)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const QByteArray name = QFile::encodeName(path);
    m_path = path;
    m_file = sf_open(name.constData(), SFM_WRITE, &info);
    if (!m_file) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, libraryError(nullptr));
        return false;
    }
    return true;
}

bool Writer::write(const qint16* samples, int count, QString* error)
{
    if (m_file && sf_write_short(m_file, samples, count) == count)
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(m_path, libraryError(m_file));
    return false;
}

bool Writer::close(QString* error)
{
    SNDFILE* file = m_file;
    m_file = nullptr;
    // Closing writes the final header; a failure there loses the file too.
    if (file && sf_close(file) == 0)
        return true;
    *error = QStringLiteral("cannot write %1: %2").arg(m_path, libraryError(nullptr));
    return false;
}

} // namespace WavIo
