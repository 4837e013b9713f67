// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/cli/wavio.h"

#include <QFile>

#include <sndfile.h>

namespace {

QString libraryError(SNDFILE* f)
{
    return QString::fromLocal8Bit(sf_strerror(f));
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
    return true;
}

int Reader::read(qint16* out, int max, QString* error)
{
    if (!m_file || max < 1)
        return 0;
    m_frames.resize(size_t(max) * size_t(m_channels));
    const sf_count_t got = sf_readf_short(m_file, m_frames.data(), max);
    if (got < 0 || sf_error(m_file) != SF_ERR_NO_ERROR) {
        *error = QStringLiteral("cannot read %1: %2").arg(m_path, libraryError(m_file));
        return -1;
    }
    for (sf_count_t i = 0; i < got; ++i)
        out[i] = m_frames[size_t(i) * size_t(m_channels)];
    return int(got);
}

bool write(const QString& path, const std::vector<qint16>& samples, int sampleRate, QString* error)
{
    SF_INFO info{};
    info.samplerate = sampleRate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const QByteArray name = QFile::encodeName(path);
    SNDFILE* file = sf_open(name.constData(), SFM_WRITE, &info);
    if (!file) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, libraryError(nullptr));
        return false;
    }
    const sf_count_t count = sf_count_t(samples.size());
    const bool written = sf_write_short(file, samples.data(), count) == count;
    if (!written)
        *error = QStringLiteral("cannot write %1: %2").arg(path, libraryError(file));
    // Closing writes the final header; a failure there loses the file too.
    if (sf_close(file) != 0 && written) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, libraryError(nullptr));
        return false;
    }
    return written;
}

} // namespace WavIo
