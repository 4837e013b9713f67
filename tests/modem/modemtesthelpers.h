// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for the end-to-end modem tests: a transmission from one real
// transceiver, decoded by another, with a private settings file, noise and
// plain WAV reading. Everything single-threaded: the tests call
// GenerateTxSamples themselves instead of an audio callback.

#include "app/settings.h"
#include "modem/pskinterfaces.h"
#include "modem/psktxrx.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace ModemTest {

// The modem objects read their keys when built and write them when
// destroyed; this keeps all of that in a throw-away file. Build one before
// any transceiver and keep it until the last one is gone.
class SettingsSandbox
{
public:
    SettingsSandbox()
    {
        if (m_dir.isValid())
            Settings::setPath(m_dir.filePath(QStringLiteral("modemtest.ini")));
    }
    bool isValid() const { return m_dir.isValid(); }

    // The character set the next transceiver is built with.
    void setCharSet(int set)
    {
        Settings s;
        s.setValue(QStringLiteral("Audio/varicode"), set);
    }

private:
    QTemporaryDir m_dir;
};

struct Mode
{
    QString modemName;
    int baudHundredths = 3125;
    double baud() const { return baudHundredths / 100.0; }
};

// "BPSK31" ... "QPSK250" as the transceiver is built and set for it.
inline Mode mode(const QString& name)
{
    Mode m;
    m.modemName = name.startsWith(QLatin1String("QPSK")) ? QStringLiteral("QPSK") : name;
    const QString rate = name.mid(4);
    m.baudHundredths = rate == QLatin1String("31")    ? 3125
                       : rate == QLatin1String("63")  ? 6250
                       : rate == QLatin1String("125") ? 12500
                                                      : 25000;
    return m;
}

// Hands the transmitter one 16-bit value per character, then the end marker.
class TextSource : public CTxCharSource
{
public:
    explicit TextSource(std::vector<quint16> values) : m_values(std::move(values)) {}
    explicit TextSource(const QString& text)
    {
        for (QChar c : text)
            m_values.push_back(c.unicode());
    }
    quint32 nextTxWord() override
    {
        if (m_next >= m_values.size())
            return TxWord::make(TxWord::kEnd);
        return TxWord::make(TxWord::kChar, m_values[m_next++]);
    }

private:
    std::vector<quint16> m_values;
    size_t m_next = 0;
};

// One whole transmission at the given carrier. outputRate is the rate the
// transmitter believes it runs at; the samples are meant to be read at
// 11025 unless the caller says otherwise, so a different outputRate models
// a sound card whose clock is off.
inline std::vector<qint16> transmit(const Mode& m, CTxCharSource* source, double carrier,
                                    double outputRate = 11025.0, int level = 10000)
{
    CPskTxRx tx(m.modemName);
    tx.Command(90, m.baudHundredths, 0, 0);
    tx.SetSampleRates(outputRate, outputRate);
    tx.SetFrequencies(carrier, carrier);
    tx.Command(11, level, 0, 0);
    tx.setTxCharSource(source);
    tx.SetTransmit(1);

    std::vector<qint16> out;
    qint16 block[512];
    // A guard against a sequencer that never ends: an hour of audio.
    const size_t limit = size_t(outputRate) * 3600;
    while (out.size() < limit) {
        const int more = tx.GenerateTxSamples(block, 512);
        out.insert(out.end(), block, block + 512);
        if (more == 0)
            break;
    }
    tx.SetTransmit(0);
    tx.setTxCharSource(nullptr);
    return out;
}

inline std::vector<qint16> transmit(const Mode& m, const QString& text, double carrier,
                                    double outputRate = 11025.0)
{
    TextSource source(text);
    return transmit(m, &source, carrier, outputRate);
}

// A transceiver that also keeps the raw values of the 16-bit character sets,
// which its character signal can only show through the 8-bit code page.
class RecordingTransceiver : public CPskTxRx
{
public:
    using CPskTxRx::CPskTxRx;
    void CodeReceived(int channel, quint16 value) override
    {
        codes.push_back(value);
        CPskTxRx::CodeReceived(channel, value);
    }
    std::vector<quint16> codes;
};

struct RxResult
{
    QString text;
    std::vector<quint16> codes;
    double finalFrequency = 0.0;
};

struct RxOptions
{
    double frequency = 1000.0;
    double sampleRate = 11025.0;
    bool afc = false;
};

// Decodes the samples the way the main window hands them over (blocks of
// 1024), then a little silence so that the filters empty.
inline RxResult receive(const Mode& m, const std::vector<qint16>& samples, const RxOptions& options)
{
    RecordingTransceiver rx(m.modemName);
    rx.Command(90, m.baudHundredths, 0, 0);
    rx.SetSampleRates(options.sampleRate, options.sampleRate);
    rx.SetFrequencies(options.frequency, options.frequency);
    if (options.afc)
        rx.Command(51, 1, 0, 0);

    RxResult result;
    QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [&result](QChar c) { result.text += c; });
    std::vector<qint16> all = samples;
    all.resize(all.size() + size_t(8 * options.sampleRate / m.baud()), 0);
    for (size_t at = 0; at < all.size(); at += 1024)
        rx.ReceiveSamples(all.data() + at, int(std::min<size_t>(1024, all.size() - at)));

    double tx = 0.0;
    rx.GetFrequencies(&result.finalFrequency, &tx);
    result.codes = rx.codes;
    return result;
}

// Mean power of the samples from the first to the last non-zero one: the
// signal's power while it is on the air.
inline double signalPower(const std::vector<qint16>& s)
{
    size_t first = 0;
    size_t last = s.size();
    while (first < last && s[first] == 0)
        ++first;
    while (last > first && s[last - 1] == 0)
        --last;
    double sum = 0.0;
    for (size_t i = first; i < last; ++i)
        sum += double(s[i]) * s[i];
    return last > first ? sum / double(last - first) : 0.0;
}

// The signal scaled and mixed with white Gaussian noise so that the signal
// power over the noise power in a 2500 Hz band is snrDb. The total is held
// well inside 16 bits so that nothing clips.
inline std::vector<qint16> withNoise(const std::vector<qint16>& clean, double snrDb, double sampleRate,
                                     unsigned seed)
{
    const double ps = signalPower(clean);
    const double noiseIn2500 = ps / std::pow(10.0, snrDb / 10.0);
    const double variance = noiseIn2500 * (sampleRate / 2.0) / 2500.0;
    // Scale so that signal plus noise has an RMS of 3000: clipping at
    // 32767 is then beyond 10 standard deviations.
    const double gain = 3000.0 / std::sqrt(ps + variance);
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(variance) * gain);
    std::vector<qint16> out(clean.size());
    for (size_t i = 0; i < clean.size(); ++i) {
        const double v = std::round(clean[i] * gain + gauss(rng));
        out[i] = qint16(std::clamp(v, -32768.0, 32767.0));
    }
    return out;
}

// Edit distance between two texts (insertions, deletions, substitutions).
inline int levenshtein(const QString& a, const QString& b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            row[size_t(j)] = std::min({up + 1, row[size_t(j) - 1] + 1, diagonal + cost});
            diagonal = up;
        }
    }
    return row[size_t(b.size())];
}

// A text of words an operator might send, the same for the same seed.
inline QString qsoText(int minLength, unsigned seed)
{
    static const char* const kWords[] = {
        "CQ",   "DE",    "VK2XYZ", "JA1QRP", "DL5ABC", "ur",    "RST",   "599",  "579",   "name",
        "is",   "Sam",   "QTH",    "near",   "Sydney", "rig",   "runs",  "50",   "W",     "into",
        "a",    "dipole", "wx",    "sunny",  "temp",   "22",    "C",     "tnx",  "for",   "the",
        "QSO",  "73",    "hope",   "cuagn",  "K",      "BTU",   "OM",    "good", "signal", "here",
        "on",   "20m",   "band",   "QSB",    "fading", "pse",   "rpt",   "call", "again", "?",
        "=",    "/",     "de",     "SK",     "GM",     "GE",    "pwr",   "100",  "ant",   "yagi",
    };
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, int(std::size(kWords)) - 1);
    QString text;
    while (text.size() < minLength) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QString::fromLatin1(kWords[pick(rng)]);
    }
    return text;
}

// The samples of a 16-bit PCM WAV file (first channel); empty on failure.
inline std::vector<qint16> readWav16(const QString& path, int* sampleRate)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = f.readAll();
    if (data.size() < 12 || !data.startsWith("RIFF") || data.mid(8, 4) != "WAVE")
        return {};
    int channels = 0;
    int bits = 0;
    int at = 12;
    while (at + 8 <= data.size()) {
        const QByteArray id = data.mid(at, 4);
        const quint32 size = qFromLittleEndian<quint32>(data.constData() + at + 4);
        const int body = at + 8;
        if (size > quint32(data.size() - body))
            return {};
        if (id == "fmt " && size >= 16) {
            const char* p = data.constData() + body;
            if (qFromLittleEndian<quint16>(p) != 1)
                return {};
            channels = qFromLittleEndian<quint16>(p + 2);
            *sampleRate = int(qFromLittleEndian<quint32>(p + 4));
            bits = qFromLittleEndian<quint16>(p + 14);
        } else if (id == "data" && channels > 0 && bits == 16) {
            std::vector<qint16> out(size / 2 / quint32(channels));
            for (size_t i = 0; i < out.size(); ++i)
                out[i] = qFromLittleEndian<qint16>(data.constData() + body + i * 2 * size_t(channels));
            return out;
        }
        at = body + int(size) + int(size & 1);
    }
    return {};
}

} // namespace ModemTest
