// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QtGlobal>

// What a symbol decoder reports decided characters to (the transceiver).
class CPskRecCharDone
{
public:
    virtual ~CPskRecCharDone() = default;
    // A character of the "ASCII8" set, already through the 8-bit code page.
    virtual void CharReceived(int channel, QChar ch) = 0;
    // A value of the "MMVari" or "Alternate" set (byte or double-byte).
    virtual void CodeReceived(int channel, quint16 value) = 0;
    virtual void Unused() {}
};

// What a symbol decoder reports each symbol's phase change and level to.
class CSymbolReceiver
{
public:
    virtual ~CSymbolReceiver() = default;
    // angle: 2^32 per turn, signed; amplitude: a small integer for the scope.
    virtual void SymbolReceived(int channel, int angle, int amplitude) = 0;
};

// Where the transmit sequencer takes the next word from. Called on the audio
// output thread, so an implementation must be thread-safe and must not block.
//
// The word has a kind in its upper 16 bits (0 nothing to send, 1 a character,
// 2 the CW identification marker, 3 end of transmission, 4 as 3 and also
// reported at the end of the block) and a UTF-16 code unit in the lower 16.
class CTxCharSource
{
public:
    virtual ~CTxCharSource() = default;
    virtual quint32 nextTxWord() = 0;
    // The word nextTxWord() would hand out now, left in place; 0 where the
    // source cannot tell. The sequencer looks ahead only at what belongs to
    // an end: the line break after an end marker, the end marker after a
    // Morse identification.
    virtual quint32 peekTxWord() { return 0; }
};

namespace TxWord {
enum Kind : quint32 { kNothing = 0, kChar = 1, kCwId = 2, kEnd = 3, kEndNotify = 4 };
inline quint32 make(Kind kind, char16_t ch = 0) { return (quint32(kind) << 16) | ch; }
inline quint32 kind(quint32 word) { return word >> 16; }
inline char16_t ch(quint32 word) { return char16_t(word & 0xFFFF); }
} // namespace TxWord
