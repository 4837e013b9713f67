// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Shared fixtures of the modem tests: real transmissions and receptions,
// a private settings file, WAV reading and the peer recordings.

#include "bench/benchcommon.h"
#include "bench/watterson.h"
#include "core/settings.h"
#include "modem/pskinterfaces.h"
#include "modem/pskmodes.h"
#include "modem/psktxrx.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <functional>
#include <random>
#include <tuple>
#include <vector>

namespace ModemTest {

// clean through a fading channel, then white noise at snrDb in 2500 Hz
// against the signal's mean power.
inline std::vector<qint16> faded(const std::vector<qint16>& clean, const Watterson::Condition& channel, double snrDb, unsigned seed)
{
    const double power = Bench::signalPower(clean);
    const std::vector<double> y = Watterson::fade(Watterson::analytic(std::vector<double>(clean.begin(), clean.end())), 11025.0, channel, seed);
    const double variance = power / std::pow(10.0, snrDb / 10.0) * 5512.5 / 2500.0, gain = 3000.0 / std::sqrt(power + variance);
    std::normal_distribution<double> gauss(0.0, std::sqrt(variance));
    std::mt19937 rng(seed);
    std::vector<qint16> out(y.size());
    for (size_t i = 0; i < y.size(); ++i)
        out[i] = qint16(std::clamp(std::round((y[i] + gauss(rng)) * gain), -32768.0, 32767.0));
    return out;
}

// Keeps the settings the modem objects read and write in a throw-away file,
// holding values while it lives.
class SettingsSandbox
{
public:
    explicit SettingsSandbox(const QVariantMap& values = {})
    {
        if (m_dir.isValid())
            Settings::setPath(m_dir.filePath(QStringLiteral("modemtest.ini")));
        Settings settings;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }

private:
    QTemporaryDir m_dir;
};

using Mode = PskMode;

// "BPSK31" ... "QPSK250".
inline const Mode& mode(const QString& name)
{
    const PskMode* m = PskModes::find(name);
    Q_ASSERT(m);
    return *m;
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
        return code == ModemCommand::kTailEnded ? tailAnswer : 0;
    }
    void listenTo(CPskTxRx& modem) { modem.Command(ModemCommand::kSetOwner, reinterpret_cast<intptr_t>(static_cast<CBruxCmdTarget*>(this)), 0, 0); }
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
    intptr_t tailAnswer = 0; // to "go on?" at the end of a tail
};

// Hands out a list of words, then nothing. In a script "\u00A9" and
// "\u00AE" stand for the Morse identification and the end marker.
class WordSource : public CTxCharSource
{
public:
    WordSource& text(const QString& s, bool script = false)
    {
        for (QChar c : s)
            m_words.push_back(TxWord::make(!script ? TxWord::kChar : c == u'\u00A9' ? TxWord::kCwId
                                                   : c == u'\u00AE' ? TxWord::kEnd : TxWord::kChar, c.unicode()));
        return *this;
    }
    WordSource& word(TxWord::Kind kind, int count = 1)
    {
        m_words.insert(m_words.end(), count, TxWord::make(kind));
        return *this;
    }
    quint32 nextTxWord() override
    {
        const quint32 w = peekTxWord();
        if (!m_words.empty())
            m_words.pop_front();
        return w;
    }
    quint32 peekTxWord() override { return m_words.empty() ? 0 : m_words.front(); }
    QString left() const
    {
        QString s;
        for (quint32 w : m_words)
            s += QChar(TxWord::ch(w));
        return s;
    }

private:
    std::deque<quint32> m_words;
};

// Everything a set-up modem sends of its source, from key-up to tail (an
// hour at most); with a drift, the carrier moves from carrier on between blocks.
inline std::vector<qint16> transmitFrom(CPskTxRx& tx, CTxCharSource& source, double outputRate = 11025.0,
                                        double carrier = 0.0, double driftHzPerS = 0.0)
{
    tx.setTxCharSource(&source);
    tx.SetTransmit(1);
    std::vector<qint16> out;
    qint16 block[512];
    for (int more = 1; more && out.size() < size_t(outputRate) * 3600;) {
        if (driftHzPerS != 0.0)
            tx.SetFrequencies(carrier + driftHzPerS * out.size() / outputRate, carrier + driftHzPerS * out.size() / outputRate);
        more = tx.GenerateTxSamples(block, 512);
        out.insert(out.end(), block, block + 512);
    }
    tx.SetTransmit(0);
    tx.setTxCharSource(nullptr);
    return out;
}

// The text, then the end marker.
inline std::vector<qint16> transmitFrom(CPskTxRx& tx, const QString& text, double outputRate = 11025.0,
                                        double carrier = 0.0, double driftHzPerS = 0.0)
{
    WordSource source;
    source.text(text).word(TxWord::kEnd);
    return transmitFrom(tx, source, outputRate, carrier, driftHzPerS);
}

// A modem in mode m at carrier and rate, both ways.
inline CPskTxRx& setUp(CPskTxRx& modem, const Mode& m, double carrier, double rate = 11025.0)
{
    modem.Command(ModemCommand::kSetSymbolRate, m.baudHundredths, 0, 0);
    modem.SetSampleRates(rate, rate);
    modem.SetFrequencies(carrier, carrier);
    return modem;
}

// One whole transmission of text. A different outputRate models a sound
// card whose clock is off: the samples are meant to be read at 11025.
inline std::vector<qint16> transmit(const Mode& m, const QString& text, double carrier, double outputRate = 11025.0,
                                    double driftHzPerS = 0.0)
{
    CPskTxRx tx(m.modemName());
    return transmitFrom(setUp(tx, m, carrier, outputRate), text, outputRate, carrier, driftHzPerS);
}

// White noise of the standard deviation, clipped to 16 bits.
inline std::vector<qint16> noise(size_t count, double sigma, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::vector<qint16> out(count);
    for (qint16& s : out)
        s = qint16(std::clamp(std::round(gauss(rng)), -32768.0, 32767.0));
    return out;
}

// Stations (mode, text, carrier) on the air at once, each at a third of its
// level, after lead samples of silence; at least minSize samples in all.
inline std::vector<qint16> band(std::initializer_list<std::tuple<QString, QString, double>> stations, size_t lead = 0,
                                size_t minSize = 0)
{
    std::vector<qint16> mix(minSize, 0);
    for (const auto& [name, text, hz] : stations) {
        const std::vector<qint16> audio = transmit(mode(name), text, hz);
        mix.resize(std::max(mix.size(), lead + audio.size()), 0);
        for (size_t i = 0; i < audio.size(); ++i)
            mix[lead + i] += audio[i] / 3;
    }
    return mix;
}

// What the receiver prints of the audio, handed over in blocks of 1024 as
// the main window does; afterBlock runs after each.
inline QString hear(CPskTxRx& rx, const std::vector<qint16>& audio, const std::function<void()>& afterBlock = {})
{
    QString text;
    auto c = QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [&text](QChar ch) { text += ch; });
    for (size_t at = 0; at < audio.size(); at += 1024) {
        rx.ReceiveSamples(audio.data() + at, int(std::min<size_t>(1024, audio.size() - at)));
        if (afterBlock)
            afterBlock();
    }
    QObject::disconnect(c);
    return text;
}

// The text decoded, then silence to empty the filters; with a squelch level
// (dB), through the squelch at that level.
inline QString receive(const Mode& m, const std::vector<qint16>& samples, double frequency, double sampleRate = 11025.0,
                       bool afc = false, bool sensitive = false, double squelchLevel = std::nan(""))
{
    CPskTxRx rx(m.modemName());
    rx.setSensitiveReceiver(sensitive);
    setUp(rx, m, frequency, sampleRate).Command(ModemCommand::kSetAfc, afc, 0, 0);
    rx.Command(ModemCommand::kSetSquelch, !std::isnan(squelchLevel), 0, 0);
    rx.setSquelchLevel(squelchLevel);
    std::vector<qint16> all = samples;
    all.resize(all.size() + size_t(800 * sampleRate / m.baudHundredths), 0);
    return hear(rx, all);
}

// The samples of a mono 16-bit WAV file at 11025/s such as the peer recordings; empty otherwise.
inline std::vector<qint16> readWav16(const QString& path)
{
    QFile f(path);
    const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    const int fmt = data.indexOf("fmt "), at = data.indexOf("data");
    if (fmt < 0 || at < 0 || data.size() < at + 8 || data.mid(fmt + 8, 16) != QByteArray::fromHex("01000100112b0000" "2256000002001000"))
        return {};
    std::vector<qint16> out(std::min<quint32>(qFromLittleEndian<quint32>(data.constData() + at + 4), quint32(data.size() - at - 8)) / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = qFromLittleEndian<qint16>(data.constData() + at + 8 + 2 * i);
    return out;
}

// The recordings of another station's program and the text they carry.
inline QDir peerDir() { return QDir(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/tests/data/peer")); }

inline QString peerText()
{
    QFile f(peerDir().filePath(QStringLiteral("text_c.txt")));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Compares a trace of numbers with the one tests/data/fingerprints/NAME.txt
// keeps on one line: its length and sixteen stretches, each summed and
// summed in squares, so that a difference says where it began. Answers what differs
// (empty when nothing does). What is pinned this way changes only on
// purpose: VELKORA_WRITE_FINGERPRINTS=1 writes the new file instead, and
// the commit says why.
inline QString fingerprintMismatch(const QString& name, const std::vector<double>& trace)
{
    constexpr size_t kStretches = 16;
    QStringList now{QString::number(trace.size())};
    for (size_t s = 0; s < kStretches; ++s) {
        double sum = 0.0, squares = 0.0;
        for (size_t i = trace.size() * s / kStretches; i < trace.size() * (s + 1) / kStretches; ++i)
            sum += trace[i], squares += trace[i] * trace[i];
        now << QString::number(sum, 'g', 12) + u' ' + QString::number(squares, 'g', 12);
    }
    QFile f(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/tests/data/fingerprints/%1.txt").arg(name));
    if (qEnvironmentVariableIsSet("VELKORA_WRITE_FINGERPRINTS"))
        return f.open(QIODevice::WriteOnly) && f.write(now.join(QStringLiteral(" / ")).toUtf8() + '\n') > 0 ? QString() : f.fileName() + QStringLiteral(" not written");
    const QStringList was = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().trimmed()).split(QStringLiteral(" / ")) : QStringList();
    for (qsizetype i = 0; i < now.size(); ++i)
        if (was.value(i) != now[i])
            return QStringLiteral("%1, %2 %3: was \"%4\", is \"%5\"").arg(name, i ? QStringLiteral("stretch") : QStringLiteral("length"))
                .arg(i).arg(was.value(i), now[i]);
    return {};
}

} // namespace ModemTest
