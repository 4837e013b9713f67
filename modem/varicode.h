// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <vector>

// Character sets, as stored under "Audio"/"varicode".
enum VaricodeCharSet { kCharSetAscii8 = 0, kCharSetMMVari = 1, kCharSetAlternate = 2 };

// The Varicode word list and the mapping between characters and words.
//
// Words are 1 to 21 bits, begin and end with 1 and never hold "00". They are
// ranked by length, then by value; the list holds every word of up to 20 bits
// and the first 6738 of 21 bits, 24448 in all. A word is stored as an unsigned
// number whose highest set bit is the word's first bit.
//
// One instance for the whole program, built on first use (call instance()
// before any audio runs) and read-only afterwards, so any thread may use it.
class CMMVari
{
public:
    static constexpr int kWordCount = 24448;

    static const CMMVari& instance();
    virtual ~CMMVari();

    // The word of a rank; 0 for a rank outside the list (never read past it).
    quint32 wordOfRank(int rank) const;
    // The rank of a word; -1 when it is not in the list.
    int rankOfWord(quint32 word) const;

    // Rank of a 16-bit character value (ASCII rank table below 128, the value
    // itself up to 80FFh, the double-byte rule above, kana swap when asked).
    // May lie beyond the list: wordOfRank then answers 0.
    static int rankOfChar(quint16 value, bool kanaSwap);
    // Character value of a rank: a byte value below 256, or a double-byte
    // value with the lead byte in the low 8 bits and the trail byte in the
    // high 8 bits (sending order in memory).
    static quint16 charOfRank(int rank, bool kanaSwap);
    // The kana swap of the "MMVari" set on a rank of 128 or more.
    static int kanaSwapRank(int rank);

    // The word of a character; 0 when it has none.
    quint32 codeWord(quint16 value, bool kanaSwap) const { return wordOfRank(rankOfChar(value, kanaSwap)); }
    // The character of a received word; a word not in the list counts as rank 0.
    quint16 charOfWord(quint32 word, bool kanaSwap) const;

private:
    CMMVari();
    std::vector<quint32> m_words;
    // Binary trie over the bits after the leading 1: node n has children
    // m_trie[2n] (bit 0) and m_trie[2n+1] (bit 1); m_rankAt[n] is the rank of
    // the word ending at n, or -1.
    std::vector<qint32> m_trie;
    std::vector<qint32> m_rankAt;
};

namespace Varicode {

// The words of the "ASCII8" set, characters 0 to 255, without the kana swap.
quint32 ascii8Word(int ch);

// The 8-bit decode table: 2047 entries indexed by a received word shifted
// right by one (its final 1 dropped); 0 for words no byte owns. A constant
// built at compile time, so any thread may read it.
constexpr int kDecodeTableSize = 2047;
quint16 decodeTable8(int index);

} // namespace Varicode
