// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transmit side of CPskTxRx: what goes on air, symbol by symbol.
//
// The symbol counter S both counts and marks the phase of a transmission:
//   1 .. P-1           key-up carrier (code 0, the first symbol fading in)
//   P .. L-1           idle reversals from the empty encoder
//   L .. FF000000h-1   running: one count per character (or idle symbol)
//   FF000000h + t      tail: t < 10 encoder, t < 46 steady carrier, 46 off;
//                      QPSK: t < 46 encoder
//   FF00001Ch and up   CW identification after its 28-symbol lead-in
//   FF00002Eh          CW identification keying
//   FFF00000h          the end marker came first: straight to the end
// L scales with the symbol rate (41 symbols at 31.25 baud); P is 25 symbols up
// to 125 baud, and 40 at 250 baud.
#include "modem/psktxrx.h"

#include "core/codepage.h"
#include "modem/cwtables.h"
#include "modem/pskencode.h"
#include "modem/psktxalgorithms.h"
#include "modem/varicode.h"

namespace {

constexpr quint32 kTailStart = 0xFF000000u;
constexpr quint32 kCwLeadInEnd = 0xFF00001Cu;
constexpr quint32 kCwKeying = 0xFF00002Eu;
constexpr quint32 kEndAtOnce = 0xFFF00000u;
// Never reached by counting; the encoder is stepped everywhere else below
// the tail's steady carrier.
constexpr quint32 kNoEncoderMark = 0x0FFFFFFFu;

constexpr quint32 kTailEncoderSymbols = 10;
constexpr quint32 kTailCarrierEnd = 46;
// Longer than any Varicode word (21 bits).
constexpr quint32 kKeyUpSymbols = 24;

constexpr int kNoCarrier = 4;
constexpr int kCodeModulo = 12;

constexpr char16_t kCwIdPrefix[] = u"  ";
constexpr char16_t kCwIdMidText[] = u"T  ";
constexpr char16_t kCwIdSuffix[] = u" ";
constexpr char16_t kCwIdEchoHead[] = u"\n\rCWID: ";
constexpr char16_t kCwIdEchoTail[] = u"\r";

template <int N>
constexpr int textLength(const char16_t (&)[N])
{
    return N - 1;
}

} // namespace

void CPskTxRx::SetTransmit(int on)
{
    // The callback may still be running (a restart while the stream plays),
    // so the reset is left to it: it applies the request at its next block.
    if (on && !isTransmitting())
        m_restartRequested.store(true, std::memory_order_release);
    m_transmitting.store(on, std::memory_order_relaxed);
    CommandToOwner(ModemCommand::kTxSwitched, on, 0, 0);
}

void CPskTxRx::restartTransmit()
{
    // A stop may come at any point, in the middle of a character or of a
    // Morse element: nothing of the cut-off transmission may carry over.
    m_tx = TxState();
    m_encoder->clearRegister();
    // QPSK's convolution state as after the 1 bits of the key-up carrier.
    m_encoder->Reset();
    m_txDsp->reset();
}

quint32 CPskTxRx::fetchWord()
{
    // A restart applies at the next block; until then nothing more is taken
    // for the transmission it cuts off, so it all goes to the new one.
    if (m_restartRequested.load(std::memory_order_acquire))
        return 0;
    CTxCharSource* source = m_txSource.load(std::memory_order_acquire);
    return source ? source->nextTxWord() : 0;
}

quint32 CPskTxRx::peekWord()
{
    if (m_restartRequested.load(std::memory_order_acquire))
        return 0;
    CTxCharSource* source = m_txSource.load(std::memory_order_acquire);
    return source ? source->peekTxWord() : 0;
}

quint16 CPskTxRx::takeLineBreak(quint16 after)
{
    // A line break is "\r", "\n" or "\r\n"; after is the part already taken.
    const quint32 word = peekWord();
    if (TxWord::kind(word) != TxWord::kChar)
        return 0;
    const char16_t c = TxWord::ch(word);
    if (!(c == u'\n' && (after == 0 || after == u'\r')) && !(c == u'\r' && after == 0))
        return 0;
    // The operator may have changed the head in between: then nothing.
    return fetchWord() == word ? c : 0;
}

void CPskTxRx::takeEndAfterCwId()
{
    // The Morse ends the transmission. An end marker right behind it (the
    // <CWID><RX> of a macro) belongs to this transmission, and so does the
    // line break after that; neither may end the next one or lead it.
    const quint32 kind = TxWord::kind(peekWord());
    if (kind != TxWord::kEnd && kind != TxWord::kEndNotify)
        return;
    if (TxWord::kind(fetchWord()) == TxWord::kEndNotify)
        m_tx.endNotify = 1;
    if (takeLineBreak(0) == u'\r')
        takeLineBreak(u'\r');
}

quint16 CPskTxRx::wordChar(quint32 word) const
{
    const QChar ch(TxWord::ch(word));
    // "ASCII8" sends the character's byte in the local code page.
    if (charSet() == kCharSetAscii8)
        return CodePage::toByte(ch);
    return ch.unicode();
}

void CPskTxRx::appendCwText(const char16_t* text, int length)
{
    TxState& t = m_tx;
    // The text is only ever filled while empty, so it starts at the front.
    if (t.cwLength == 0)
        t.cwHead = 0;
    const int room = int(t.cwText.size()) - (t.cwHead + t.cwLength);
    const int n = qMin(length, room);
    for (int i = 0; i < n; ++i)
        t.cwText[t.cwHead + t.cwLength + i] = text[i];
    t.cwLength += n;
}

void CPskTxRx::appendCallSignToCw()
{
    char16_t call[kMaxCallSign];
    const int n = readCallSign(call);
    appendCwText(call, n);
}

void CPskTxRx::echoCwId()
{
    char16_t call[kMaxCallSign];
    const int n = readCallSign(call);
    for (char16_t c : kCwIdEchoHead) {
        if (c)
            CommandToOwner(ModemCommand::kTxEchoByte, c, 0, 0);
    }
    for (int i = 0; i < n; ++i)
        CommandToOwner(ModemCommand::kTxEchoByte, call[i], 0, 0);
    for (char16_t c : kCwIdEchoTail) {
        if (c)
            CommandToOwner(ModemCommand::kTxEchoByte, c, 0, 0);
    }
}

bool CPskTxRx::cwStep(int k)
{
    TxState& t = m_tx;
    if (t.cwPattern == 0 && t.cwLength == 0 && t.cwCounter == 0)
        return false;

    if (t.cwCounter == 0) {
        if (t.cwPattern == 0) {
            const QChar ch(t.cwText[t.cwHead]);
            ++t.cwHead;
            --t.cwLength;
            t.cwPattern = CwTables::codeForChar(ch, QStringView(CwTables::kEnglishTable));
        }
        // Two bits per element, lowest first: 00 dot, 01 dash, 10 and the
        // 11 end marker silence.
        const quint32 u = t.cwPattern;
        if (u == 0) {
            t.nextCode = kNoCarrier;
            t.cwCounter = 2 * k;
        } else {
            switch (u % 4) {
            case 0:
                t.nextCode = 0;
                t.cwCounter = 2 * k;
                break;
            case 1:
                t.nextCode = 0;
                t.cwCounter = 4 * k;
                break;
            default:
                t.nextCode = kNoCarrier;
                t.cwCounter = 2 * k;
                break;
            }
            t.cwPattern = u / 4;
        }
    }

    --t.cwCounter;
    t.charBoundary = 1;
    t.needSymbol = 0;
    // The last unit of every element is silent: that is the gap after it.
    if (t.cwCounter <= k - 1)
        t.nextCode = kNoCarrier;
    t.s = kCwKeying;
    return true;
}

void CPskTxRx::startFetch()
{
    TxState& t = m_tx;
    t.charPending = 0;
    t.pendingKind = 0;
    quint16 ch = 0;
    quint32 kind = TxWord::kNothing;
    if (!t.stopFetching) {
        const quint32 word = fetchWord();
        ch = wordChar(word);
        kind = TxWord::kind(word);
    }
    if (kind == TxWord::kEndNotify)
        t.endNotify = 1;

    if (kind == TxWord::kNothing && !t.stopFetching)
        return; // nothing yet: the key-up goes ahead
    if (kind == TxWord::kEnd || kind == TxWord::kEndNotify) {
        t.s = kEndAtOnce;
        t.nextCode = kNoCarrier;
        t.needSymbol = 1;
        t.charBoundary = 1;
        return;
    }
    if (kind == TxWord::kCwId && m_callSignLength.load(std::memory_order_relaxed) > 0) {
        appendCwText(kCwIdPrefix, textLength(kCwIdPrefix));
        appendCallSignToCw();
        appendCwText(kCwIdSuffix, textLength(kCwIdSuffix));
        t.needSymbol = 1;
        t.cwCounter = 0;
        t.cwIdAfterText = 1;
        t.s = kCwKeying;
        echoCwId();
        return;
    }
    if (kind == TxWord::kCwId) {
        // Without a call sign the marker goes out as character 0.
        ch = 0;
        kind = TxWord::kNothing;
    }
    t.needSymbol = 1;
    t.charBoundary = 1;
    t.charPending = 1;
    t.pendingChar = ch;
    t.pendingKind = quint16(kind);
}

void CPskTxRx::takeWord()
{
    TxState& t = m_tx;
    quint32 kind = TxWord::kNothing;
    quint16 ch = 0;
    const bool afterLineBreak = t.endLineBreak != 0;
    if (afterLineBreak) {
        // The line break after the end marker has gone out: its second half,
        // or the end.
        ch = t.endLineBreak == u'\r' ? takeLineBreak(u'\r') : 0;
        t.endLineBreak = ch;
        if (ch) {
            loadChar(ch, TxWord::kChar);
            return;
        }
        kind = TxWord::kEnd;
    } else if (t.charPending) {
        kind = t.pendingKind;
        ch = t.pendingChar;
    } else if (!t.stopFetching) {
        const quint32 word = fetchWord();
        kind = TxWord::kind(word);
        ch = wordChar(word);
        if (kind == TxWord::kNothing)
            return; // idle: the encoder sends reversals
    }
    if (t.stopFetching)
        ch = 0;
    t.charPending = 0;
    if (kind == TxWord::kEndNotify) {
        t.endNotify = 1;
        kind = TxWord::kEnd;
    }

    if (kind == TxWord::kCwId && m_callSignLength.load(std::memory_order_relaxed) > 0) {
        // The tail's lead-in of carrier, then the identification.
        appendCwText(kCwIdMidText, textLength(kCwIdMidText));
        appendCallSignToCw();
        appendCwText(kCwIdSuffix, textLength(kCwIdSuffix));
        t.s = kTailStart;
        t.needSymbol = 0;
        t.charBoundary = 1;
        t.cwCounter = 0;
        t.cwIdAfterText = 1;
        return;
    }
    if (kind == TxWord::kEnd && t.cwIdAfterText == 0 && !afterLineBreak) {
        // The line break that follows the end marker (<RX> leaves "\r\n")
        // goes out with this transmission instead of leading the next one.
        if (const quint16 lineBreak = takeLineBreak(0)) {
            t.endLineBreak = lineBreak;
            loadChar(lineBreak, TxWord::kChar);
            return;
        }
    }
    if (kind == TxWord::kEnd) {
        t.stopFetching = 1;
        if (t.cwIdAfterText == 0) {
            t.charBoundary = 1;
            t.s = kTailStart;
            t.needSymbol = 0;
        } else {
            t.needSymbol = 1;
            t.charBoundary = 1;
            t.s = kEndAtOnce;
            t.nextCode = kNoCarrier;
        }
        t.cwIdAfterText = 0;
        return;
    }
    if (kind == TxWord::kCwId) {
        ch = 0;
        kind = TxWord::kNothing;
    }
    loadChar(ch, kind);
}

void CPskTxRx::loadChar(quint16 ch, quint32 kind)
{
    TxState& t = m_tx;
    t.charBoundary = 0;
    const int set = charSet();
    if (set == kCharSetAscii8)
        m_encoder->LoadChar(ch);
    else
        m_encoder->LoadCode16(ch);
    CommandToOwner(set == kCharSetAscii8 ? ModemCommand::kTxEchoByte : ModemCommand::kTxEchoWide, ch, 0, 0);
    t.cwIdAfterText = kind == TxWord::kCwId ? 1 : 0;
}

quint32 CPskTxRx::tailEncoderSymbols() const
{
    // A QPSK receiver prints a character only some symbols after it, when
    // its Viterbi decoder has decided: the whole tail is idle there.
    return mode() == kModeQpsk ? kTailCarrierEnd : kTailEncoderSymbols;
}

bool CPskTxRx::tailSymbol(int k, int* result)
{
    TxState& t = m_tx;
    const quint32 tail = t.s - kTailStart;
    if (t.cwLength > 0 && t.s >= kCwLeadInEnd) {
        // The identification follows its 28 lead-in symbols (10 from the
        // encoder, 18 at code 0; QPSK: all 28 from the encoder) at once.
        cwStep(k);
        return false;
    }
    if (tail < tailEncoderSymbols()) {
        t.charBoundary = 1;
        t.needSymbol = 0;
    } else if (tail < kTailCarrierEnd) {
        t.charBoundary = 1;
        t.needSymbol = 0;
        t.nextCode = 0;
    } else if (tail == kTailCarrierEnd) {
        t.needSymbol = 0;
        t.nextCode = kNoCarrier;
    } else if (t.cwLength == 0) {
        t.needSymbol = 0;
        t.nextCode = kNoCarrier;
        if (t.cwIdAfterText && !t.cwIdEndTaken) {
            // What follows the marker waits for the next transmission.
            t.cwIdEndTaken = 1;
            takeEndAfterCwId();
        }
        const quint32 answer = quint32(CommandToOwner(ModemCommand::kTailEnded, 0, 0, 0));
        const quint32 verdict = answer >> 16;
        if (verdict == TxWord::kEndNotify) {
            t.endNotify = 1;
            *result = 0;
        } else if (verdict == TxWord::kEnd || answer == 0 || t.cwIdAfterText == 0) {
            *result = 0;
        } else {
            // The owner asked for more after an identification.
            t.cwIdAfterText = 0;
            t.cwIdEndTaken = 0;
            t.s = 0;
            return false;
        }
    }
    return true;
}

bool CPskTxRx::countSymbol(int k, int* result)
{
    TxState& t = m_tx;
    // Saturate rather than wrap back into a new transmission if a finished
    // stream is never stopped.
    if (t.s != 0xFFFFFFFFu)
        ++t.s;
    const double baud = this->baud();
    // The key-up carrier lasts at least 128 ms, for the rig, and at least
    // kKeyUpSymbols: a receiver takes it for a run of 1 bits, which the
    // first reversals end; that long a run is no character anywhere.
    const quint32 keyUpEnd = qMax(quint32(5.0 * baud / 31.25), kKeyUpSymbols + 1);
    const quint32 textStart = quint32(41.0 * baud / 31.25);
    if (t.s < keyUpEnd) {
        if (t.s == 1)
            m_txDsp->setPreviousCode(kNoCarrier); // fade in from silence
        t.needSymbol = 0;
        t.nextCode = 0;
        return false;
    }
    if (t.s < textStart)
        return true;
    if (t.s < kTailStart) {
        takeWord();
        return true;
    }
    return tailSymbol(k, result);
}

void CPskTxRx::nextSymbol(int k, int* result)
{
    TxState& t = m_tx;
    bool encoderStep = true;
    if (t.charBoundary) {
        if ((t.s == kCwKeying || t.s >= kCwLeadInEnd) && cwStep(k))
            encoderStep = false;
        else
            encoderStep = countSymbol(k, result);
    }
    // Before a Morse identification in the middle of the text the encoder
    // still gives the first symbols of the lead-in: their zero bits end the
    // last character, which a receiver otherwise never prints.
    if (encoderStep && t.s >= 5 && t.s < kTailStart + tailEncoderSymbols() && t.s != kNoEncoderMark && t.cwPattern == 0
        && (t.cwLength == 0 || t.s < kCwLeadInEnd) && t.cwCounter == 0) {
        int done = 0;
        t.nextCode = m_encoder->NextSymbol(&done);
        if (done)
            t.charBoundary = 1;
    }
    m_txDsp->setPreviousCode(m_txDsp->currentCode());
    m_txDsp->setCurrentCode(quint16(t.nextCode % kCodeModulo));
}

int CPskTxRx::GenerateTxSamples(qint16* out, int count)
{
    if (m_restartRequested.exchange(false, std::memory_order_acq_rel))
        restartTransmit();
    if (!out || count <= 0)
        return 1;

    TxState& t = m_tx;
    const int k = m_cwUnit.load(std::memory_order_relaxed) == 1 ? 1 : 2;
    const qint32 level = txLevel();
    int result = 1;
    for (int i = 0; i < count; ++i) {
        // The first word is taken before the key-up, so that an end or CW
        // identification marker skips the PSK preamble.
        if (t.s == 0 && t.cwLength == 0)
            startFetch();
        if (t.needSymbol)
            nextSymbol(k, &result);
        const qint32 sample = m_txDsp->NextSample(&t.needSymbol);
        out[i] = qint16(level * sample / 10000);
    }

    if (t.endNotify)
        CommandToOwner(ModemCommand::kEndNotified, 0, 0, 0);
    t.endNotify = 0;
    return result;
}
