// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared fixtures of the modem tests: real transmissions and receptions,
// a private settings file, noise, WAV reading and the peer recordings.

#include "core/settings.h"
#include "bench/benchcommon.h" // Bench::editDistance, shared with the benchmarks
#include "modem/pskinterfaces.h"
#include "modem/psktxrx.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace ModemTest {

// Keeps the settings the modem objects read and write in a throw-away file.
class SettingsSandbox
{
public:
    SettingsSandbox()
    {
        if (m_dir.isValid())
            Settings::setPath(m_dir.filePath(QStringLiteral("modemtest.ini")));
    }
    bool isValid() const { return m_dir.isValid(); }
    void setCharSet(int set) { Settings().setValue(QStringLiteral("Audio/varicode"), set); }

private:
    QTemporaryDir m_dir;
};

struct Mode
{
    QString modemName;
    int baudHundredths = 3125;
    double baud() const { return baudHundredths / 100.0; }
};

// "BPSK31" ... "QPSK250".
inline Mode mode(const QString& name)
{
    const QString rate = name.mid(4);
    return {name.startsWith(QLatin1String("QPSK")) ? QStringLiteral("QPSK") : name,
            rate == QLatin1String("31") ? 3125 : rate == QLatin1String("63") ? 6250 : rate == QLatin1String("125") ? 12500 : 25000};
}

// An owner that records the modem's reports.
class RecordingOwner : public CBruxCmdTarget
{
public:
    intptr_t Command(int code, intptr_t p1, intptr_t p2, intptr_t p3) override
    {
        if (const intptr_t r = CBruxCmdTarget::Command(code, p1, p2, p3))
            return r;
        reports.push_back({code, p1, p2});
        return 0;
    }
    void listenTo(CPskTxRx& modem) { modem.Command(0, reinterpret_cast<intptr_t>(static_cast<CBruxCmdTarget*>(this)), 0, 0); }
    // The first parameters of one report code, as characters.
    QString chars(int code) const
    {
        QString s;
        for (const auto& r : reports)
            if (r[0] == code)
                s += QChar(char16_t(r[1]));
        return s;
    }
    std::vector<std::array<intptr_t, 3>> reports;
};

// One 16-bit value per character, then the end marker.
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
        return m_next < m_values.size() ? TxWord::make(TxWord::kChar, m_values[m_next++]) : TxWord::make(TxWord::kEnd);
    }

private:
    std::vector<quint16> m_values;
    size_t m_next = 0;
};

// One whole transmission. A different outputRate models a sound card whose
// clock is off: the samples are meant to be read at 11025.
inline std::vector<qint16> transmit(const Mode& m, CTxCharSource* source, double carrier, double outputRate = 11025.0)
{
    CPskTxRx tx(m.modemName);
    tx.Command(90, m.baudHundredths, 0, 0);
    tx.SetSampleRates(outputRate, outputRate);
    tx.SetFrequencies(carrier, carrier);
    tx.Command(11, 10000, 0, 0);
    tx.setTxCharSource(source);
    tx.SetTransmit(1);
    std::vector<qint16> out;
    qint16 block[512];
    while (out.size() < size_t(outputRate) * 3600) {
        const int more = tx.GenerateTxSamples(block, 512);
        out.insert(out.end(), block, block + 512);
        if (more == 0)
            break;
    }
    tx.SetTransmit(0);
    tx.setTxCharSource(nullptr);
    return out;
}

inline std::vector<qint16> transmit(const Mode& m, const QString& text, double carrier, double outputRate = 11025.0)
{
    TextSource source(text);
    return transmit(m, &source, carrier, outputRate);
}

// Keeps the raw values of the 16-bit character sets as well.
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
    bool sensitive = false; // the sensitive receiver
};

// Decodes in blocks of 1024 as the main window does, then silence to empty
// the filters.
inline RxResult receive(const Mode& m, const std::vector<qint16>& samples, const RxOptions& options)
{
    RecordingTransceiver rx(m.modemName);
    rx.Command(90, m.baudHundredths, 0, 0);
    rx.SetSampleRates(options.sampleRate, options.sampleRate);
    rx.SetFrequencies(options.frequency, options.frequency);
    rx.setSensitiveReceiver(options.sensitive);
    if (options.afc)
        rx.Command(51, 1, 0, 0);
    RxResult result;
    QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [&result](QChar c) { result.text += c; });
    std::vector<qint16> all = samples;
    all.resize(all.size() + size_t(8 * options.sampleRate / m.baud()), 0);
    for (size_t at = 0; at < all.size(); at += 1024)
        rx.ReceiveSamples(all.data() + at, int(std::min<size_t>(1024, all.size() - at)));
    rx.GetFrequencies(&result.finalFrequency, nullptr);
    result.codes = rx.codes;
    return result;
}

inline std::vector<qint16> whiteNoise(size_t count, double sigma, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::vector<qint16> out(count);
    for (qint16& s : out)
        s = qint16(std::clamp(std::round(gauss(rng)), -32768.0, 32767.0));
    return out;
}

// Scaled to an RMS of 3000 with white noise added so that the signal over
// the noise in 2500 Hz (while the signal is keyed) is snrDb.
inline std::vector<qint16> withNoise(const std::vector<qint16>& clean, double snrDb, double sampleRate, unsigned seed)
{
    const auto first = std::find_if(clean.begin(), clean.end(), [](qint16 x) { return x != 0; });
    const auto last = std::find_if(clean.rbegin(), clean.rend(), [](qint16 x) { return x != 0; }).base();
    double ps = 0.0;
    for (auto it = first; it < last; ++it)
        ps += double(*it) * *it;
    ps = last > first ? ps / double(last - first) : 0.0;
    const double variance = ps / std::pow(10.0, snrDb / 10.0) * (sampleRate / 2.0) / 2500.0;
    const double gain = 3000.0 / std::sqrt(ps + variance);
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(variance) * gain);
    std::vector<qint16> out(clean.size());
    for (size_t i = 0; i < clean.size(); ++i)
        out[i] = qint16(std::clamp(std::round(clean[i] * gain + gauss(rng)), -32768.0, 32767.0));
    return out;
}


// Words an operator might send, the same for the same seed.
inline QString qsoText(int minLength, unsigned seed)
{
    static const QStringList words = QStringLiteral(
        "CQ DE VK2XYZ JA1QRP DL5ABC ur RST 599 579 name is Sam QTH near Sydney rig runs 50 W into a dipole wx sunny "
        "temp 22 C tnx for the QSO 73 hope cuagn K BTU OM good signal here on 20m band QSB fading pse rpt call again "
        "? = / de SK GM GE pwr 100 ant yagi").split(QLatin1Char(' '));
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, int(words.size()) - 1);
    QString text;
    while (text.size() < minLength)
        text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + words[pick(rng)];
    return text;
}

// The samples of a mono 16-bit WAV file such as the peer recordings; empty on failure.
inline std::vector<qint16> readWav16(const QString& path, int* sampleRate = nullptr)
{
    QFile f(path);
    const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    const int fmt = data.indexOf("fmt "), at = data.indexOf("data");
    if (!data.startsWith("RIFF") || fmt < 0 || at < 0 || data.size() < fmt + 24 || data.size() < at + 8
        || qFromLittleEndian<quint16>(data.constData() + fmt + 10) != 1 || qFromLittleEndian<quint16>(data.constData() + fmt + 22) != 16)
        return {};
    if (sampleRate)
        *sampleRate = int(qFromLittleEndian<quint32>(data.constData() + fmt + 12));
    std::vector<qint16> out(std::min<quint32>(qFromLittleEndian<quint32>(data.constData() + at + 4), quint32(data.size() - at - 8)) / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = qFromLittleEndian<qint16>(data.constData() + at + 8 + 2 * i);
    return out;
}

// The recordings of another station's program and the text they carry.
inline QDir peerDir()
{
    return QDir(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/tests/data/peer"));
}

inline QString peerText()
{
    QFile f(peerDir().filePath(QStringLiteral("text_c.txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace ModemTest
