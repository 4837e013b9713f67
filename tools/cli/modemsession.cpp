// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/cli/modemsession.h"

#include "core/codepage.h"
#include "core/settings.h"
#include "modem/pskmodes.h"
#include "modem/psksensitiverx.h"
#include "modem/psktxrx.h"
#include "modem/varicode.h"

#include <QObject>
#include <QtAlgorithms>

#include <algorithm>
#include <cmath>

namespace ModemSession {

namespace {

const char* const kCharSets[] = {"ASCII8", "MMVari", "Alternate"};

// Block size the sound card asks the transmitter for.
constexpr int kTxBlock = 512;

// Symbols of silence after the last sample: the front end's moving sums and
// FIR hold about four symbols, the last character needs its two 0 bits, and
// the sensitive receiver decides some symbols later.
constexpr int kFlushSymbols = 8 + CSensitiveRx::kDecisionDelay;
} // namespace

QStringList modeNames()
{
    return PskModes::names();
}

bool parseMode(const QString& text, Mode* mode)
{
    const PskMode* m = PskModes::find(text, Qt::CaseInsensitive);
    if (!m)
        return false;
    *mode = Mode(*m);
    return true;
}

QStringList charSetNames()
{
    QStringList names;
    for (const char* n : kCharSets)
        names << QString::fromLatin1(n);
    return names;
}

int parseCharSet(const QString& text)
{
    for (int i = 0; i < int(std::size(kCharSets)); ++i) {
        if (text.compare(QLatin1String(kCharSets[i]), Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

PrivateSettings::PrivateSettings()
    : m_previousPath(Settings::path())
{
    if (m_dir.isValid())
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora32-cli.ini")));
}

PrivateSettings::~PrivateSettings()
{
    Settings::setPath(m_previousPath);
}

void PrivateSettings::setCharSet(int charSet)
{
    Settings settings;
    settings.beginGroup(QStringLiteral("Audio"));
    settings.setValue(QStringLiteral("varicode"), charSet);
}

quint32 TextSource::nextTxWord()
{
    if (m_next >= m_text.size())
        return TxWord::make(TxWord::kEnd);
    return TxWord::make(TxWord::kChar, m_text.at(m_next++).unicode());
}

bool transmit(const TxParams& params, const QString& text, const std::function<bool(const qint16*, int)>& sink,
              bool* complete, double maxSeconds)
{
    CPskTxRx modem(params.mode.modemName);
    modem.Command(ModemCommand::kSetSymbolRate, params.mode.baudHundredths, 0, 0);
    modem.SetSampleRates(params.sampleRate, params.sampleRate);
    modem.SetFrequencies(params.frequency, params.frequency);
    modem.Command(ModemCommand::kSetTxLevel, params.level, 0, 0);

    TextSource source(text);
    modem.setTxCharSource(&source);

    // Without a limit from the caller: generously more than the longest word
    // (21 bits plus the gap) per character, plus the key-up and the tail.
    if (maxSeconds <= 0.0)
        maxSeconds = (double(text.size()) * 24.0 + 1000.0) / params.mode.baud();
    const double limit = maxSeconds * params.sampleRate;

    qint16 block[kTxBlock];
    bool ended = false;
    bool taken = true;
    modem.SetTransmit(1);
    for (double done = 0.0; done < limit && taken && !ended; done += kTxBlock) {
        ended = modem.GenerateTxSamples(block, kTxBlock) == 0;
        taken = sink(block, kTxBlock);
    }
    modem.SetTransmit(0);
    modem.setTxCharSource(nullptr);
    if (complete)
        *complete = ended;
    return taken;
}

std::vector<qint16> transmit(const TxParams& params, const QString& text, bool* complete, double maxSeconds)
{
    std::vector<qint16> out;
    transmit(
        params, text,
        [&out](const qint16* block, int count) {
            out.insert(out.end(), block, block + count);
            return true;
        },
        complete, maxSeconds);
    return out;
}

qint64 transmissionLength(const TxParams& params, const QString& text, int charSet)
{
    // Each character is two 0 bits and its word (a missing word is sent as
    // the one-bit word); then the key-up, the tail and a symbol of slack.
    qint64 symbols = qint64(std::ceil(41.0 * params.mode.baud() / 31.25)) + 48;
    for (QChar c : text) {
        const quint32 word = charSet == kCharSetAscii8
                                 ? Varicode::ascii8Word(CodePage::toByte(c))
                                 : CMMVari::instance().codeWord(c.unicode(), charSet == kCharSetMMVari);
        symbols += 2 + std::max(1, 32 - int(qCountLeadingZeroBits(word)));
    }
    return qint64(std::ceil(double(symbols) * params.sampleRate / params.mode.baud())) + 2 * kTxBlock;
}

Receiver::Receiver(const RxParams& params, std::function<void(QChar)> onChar)
    : m_params(params)
    , m_modem(new CPskTxRx(params.mode.modemName))
{
    m_modem->Command(ModemCommand::kSetSymbolRate, params.mode.baudHundredths, 0, 0);
    m_modem->SetSampleRates(params.sampleRate, params.sampleRate);
    m_modem->SetFrequencies(params.frequency, params.frequency);
    m_modem->setSensitiveReceiver(params.sensitive);
    if (params.afc)
        m_modem->Command(ModemCommand::kSetAfc, 1, 0, 0);
    if (params.squelch >= 0) {
        m_modem->Command(ModemCommand::kSetSquelch, 1, 0, 0);
        m_modem->Command(ModemCommand::kSetSquelchThreshold, params.squelch, 0, 0);
    }
    QObject::connect(m_modem, &CPskTxRx::signalCharReceived, m_modem, std::move(onChar));
}

Receiver::~Receiver()
{
    delete m_modem;
}

void Receiver::feed(const qint16* samples, size_t count)
{
    while (count > 0) {
        const int n = int(std::min<size_t>(count, kBlockSize));
        m_modem->ReceiveSamples(samples, n);
        samples += n;
        count -= size_t(n);
    }
}

void Receiver::finish()
{
    const size_t n = size_t(std::ceil(kFlushSymbols * m_params.sampleRate / m_params.mode.baud()));
    const std::vector<qint16> silence(n, 0);
    feed(silence.data(), silence.size());
}

double Receiver::frequency() const
{
    double rx = 0.0;
    double tx = 0.0;
    m_modem->GetFrequencies(&rx, &tx);
    return rx;
}

} // namespace ModemSession
