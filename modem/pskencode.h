// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>
#include <atomic>

// Bit encoders: a character's Varicode word into one phase code per symbol.
//
// The register holds the bits still to send, next bit in bit 31: two 0 bits,
// then the word. Each symbol shifts one bit out; a 0 bit turns the phase by
// half a turn (BPSK) or enters the convolutional code (QPSK), so an empty
// register sends the idle reversals.
//
// Threads: everything runs on the audio output thread through the
// transceiver, except that the GUI thread may flip the QPSK inversion flag,
// which is atomic for that reason. The character set is fixed at creation.
class CPskBitEncode
{
public:
    virtual ~CPskBitEncode();
    // 8-bit path ("ASCII8"): a value of 256 or more loads nothing.
    virtual void LoadChar(int ch);
    virtual void Reset() = 0;
    virtual int NextSymbol(int* done) = 0;
    // 16-bit path ("MMVari" and "Alternate"; kana swap with set 1).
    void LoadCode16(quint16 value);

    void setCharSet(int set) { m_charSet = set; }
    // Drops the bits of a character that a stop cut off.
    void clearRegister() { m_register = 0; }
    quint32 shiftRegister() const { return m_register; }
    int phaseState() const { return m_phase; }

protected:
    void loadWord(quint32 word);
    quint32 m_register = 0;
    int m_phase = 0;
    int m_differential = 1;
    int m_charSet = 0;
};

class CBpskEncode : public CPskBitEncode
{
public:
    void Reset() override;
    int NextSymbol(int* done) override;
};

class CQpskEncode : public CBpskEncode
{
public:
    CQpskEncode();
    void Reset() override;
    int NextSymbol(int* done) override;
    void setInversion(bool on) { m_inversion.store(on, std::memory_order_relaxed); }
    bool inversion() const { return m_inversion.load(std::memory_order_relaxed); }

private:
    std::atomic<bool> m_inversion{false};
    std::array<int, 32> m_table{};
    int m_state = 0;
};
