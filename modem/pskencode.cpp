// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/pskencode.h"

#include "modem/varicode.h"

namespace {

int parity(int x)
{
    int p = 0;
    for (; x; x &= x - 1)
        p ^= 1;
    return p;
}

} // namespace

CPskBitEncode::~CPskBitEncode() = default;

void CPskBitEncode::LoadChar(int ch)
{
    if (ch < 0 || ch >= 256)
        return;
    loadWord(Varicode::ascii8Word(ch));
}

void CPskBitEncode::LoadCode16(quint16 value)
{
    loadWord(CMMVari::instance().codeWord(value, m_charSet == kCharSetMMVari));
}

void CPskBitEncode::loadWord(quint32 word)
{
    // A character without a word still has to go out as something the
    // receiver can frame: the shortest word, a single 1.
    quint32 v = word ? word : 0x80000000u;
    while (!(v & 0x80000000u))
        v <<= 1;
    // Two zero bits in front separate this word from the previous one.
    m_register = (v >> 2) & 0x3FFFFFFFu;
}

void CBpskEncode::Reset()
{
    m_register = 0;
}

int CBpskEncode::NextSymbol(int* done)
{
    const bool one = m_register & 0x80000000u;
    m_register <<= 1;
    m_phase = (m_phase - (one ? 0 : 2)) & 3;
    if (done)
        *done = m_register == 0 ? 1 : 0;
    return m_phase;
}

CQpskEncode::CQpskEncode()
{
    // Rate-1/2 code with generators 19h and 17h; the two output bits pick
    // one of four phase steps.
    for (int x = 0; x < 32; ++x)
        m_table[x] = 2 * parity(x & 0x19) + parity(x & 0x17);
}

void CQpskEncode::Reset()
{
    m_state = 0;
}

int CQpskEncode::NextSymbol(int* done)
{
    const int bit = (m_register & 0x80000000u) ? 1 : 0;
    // The complement of the data bit enters, so idle zeros fill the state
    // with ones, whose output is a half turn per symbol.
    m_state = (m_state * 2 + (1 - bit)) & 31;
    m_register <<= 1;
    int s = m_table[m_state];
    if (inversion())
        s = 4 - s;
    m_phase = (m_phase + s) & 3;
    if (done)
        *done = m_register == 0 ? 1 : 0;
    return m_phase;
}
