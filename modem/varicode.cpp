// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/varicode.h"


#include <QtAlgorithms>

#include <array>

namespace {

constexpr int kMaxWordBits = 21;
constexpr int kAsciiCount = 128;
// Ranks of the double-byte values: lead bytes 81h-FEh, trail bytes 40h-FFh.
constexpr int kFirstDoubleByteRank = 256;
constexpr int kTrailBytesPerLead = 192;
constexpr int kFirstLead = 0x81;
constexpr int kFirstTrail = 0x40;
constexpr int kLastSingleValue = 0x80FF;

// The character that owns each of the 128 shortest words. With the ranked
// word list this is the published PSK31 Varicode alphabet: the most frequent
// characters of English text get the shortest words.
constexpr std::array<quint8, kAsciiCount> kAsciiOfRank = {
    ' ', 'e', 't', 'o', 'a', 'i', 'n', 'r', 's', 'l', '\n', '\r', 'h', 'd', 'c', '-',
    'u', 'm', 'f', 'p', '=', '.', 'g', 'y', 'b', 'w', 'T', 'S', ',', 'E', 'v', 'A',
    'I', 'O', 'C', 'R', 'D', '0', 'M', '1', 'k', 'P', 'L', 'F', 'N', 'x', 'B', '2',
    '\t', ':', ')', '(', 'G', '3', 'H', 'U', '5', 'W', '"', '6', '_', '*', 'X', '4',
    'Y', 'K', '\'', '8', '7', '/', 'V', '9', '|', ';', 'q', 'z', '>', '$', 'Q', '+',
    'j', '<', '\\', '#', '[', ']', 'J', '!',
    // NUL Z ? } { & @ ^ % ~
    0x00, 'Z', '?', '}', '{', '&', '@', '^', '%', '~',
    // SOH FF ` EOT STX ACK DC1 DLE RS BEL
    0x01, 0x0C, '`', 0x04, 0x02, 0x06, 0x11, 0x10, 0x1E, 0x07,
    // BS ESC ETB DC4 FS ENQ NAK SYN VT SO
    0x08, 0x1B, 0x17, 0x14, 0x1C, 0x05, 0x15, 0x16, 0x0B, 0x0E,
    // ETX CAN EM US SI DC2 DC3 DEL SUB GS
    0x03, 0x18, 0x19, 0x1F, 0x0F, 0x12, 0x13, 0x7F, 0x1A, 0x1D,
};

// A character listed twice would leave another one without a word.
constexpr bool isPermutation(const std::array<quint8, kAsciiCount>& table)
{
    std::array<bool, kAsciiCount> seen{};
    for (quint8 ch : table) {
        if (ch >= kAsciiCount || seen[ch])
            return false;
        seen[ch] = true;
    }
    return true;
}
static_assert(isPermutation(kAsciiOfRank), "every ASCII character needs exactly one rank");

constexpr std::array<quint8, kAsciiCount> invertAsciiTable()
{
    std::array<quint8, kAsciiCount> inverse{};
    for (int rank = 0; rank < kAsciiCount; ++rank)
        inverse[kAsciiOfRank[rank]] = quint8(rank);
    return inverse;
}
constexpr std::array<quint8, kAsciiCount> kRankOfAscii = invertAsciiTable();

// A bit pattern of the given length (first bit set) is a word when it ends
// in 1 and no two 0 bits stand together.
constexpr bool isWord(quint32 pattern, int length)
{
    const quint32 mask = length >= 32 ? ~0u : (1u << length) - 1;
    const quint32 zeros = ~pattern & mask;
    return (pattern & 1u) && (zeros & (zeros >> 1)) == 0;
}

// The words of characters 0-255 in the "ASCII8" set, worked out at compile
// time by the same counting that builds the full list, so the encoders need
// nothing built before the audio runs.
constexpr std::array<quint16, 256> buildAscii8Words()
{
    std::array<quint16, 256> shortest{};
    int count = 0;
    for (int length = 1; count < 256; ++length) {
        for (quint32 p = 1u << (length - 1); p < (1u << length) && count < 256; ++p) {
            if (isWord(p, length))
                shortest[count++] = quint16(p);
        }
    }
    std::array<quint16, 256> words{};
    for (int ch = 0; ch < 256; ++ch)
        words[ch] = shortest[ch < kAsciiCount ? kRankOfAscii[ch] : ch];
    return words;
}
constexpr std::array<quint16, 256> kAscii8Words = buildAscii8Words();

// Word (its final 1 dropped) to byte of the "ASCII8" set, worked out at
// compile time: read-only, so decoders on any thread share it.
constexpr std::array<quint16, Varicode::kDecodeTableSize> buildDecodeTable()
{
    std::array<quint16, Varicode::kDecodeTableSize> table{};
    for (int ch = 0; ch < 256; ++ch) {
        const quint32 index = kAscii8Words[ch] >> 1;
        if (index < quint32(Varicode::kDecodeTableSize))
            table[index] = quint16(ch);
    }
    return table;
}
constexpr std::array<quint16, Varicode::kDecodeTableSize> kDecodeTable = buildDecodeTable();

} // namespace

CMMVari::CMMVari()
{
    m_words.reserve(kWordCount);
    for (int length = 1; length <= kMaxWordBits && int(m_words.size()) < kWordCount; ++length) {
        const quint32 end = 1u << length;
        for (quint32 p = 1u << (length - 1); p < end && int(m_words.size()) < kWordCount; ++p) {
            if (isWord(p, length))
                m_words.push_back(p);
        }
    }

    // Node 0 is the root, the leading 1 every word shares; a child index of
    // 0 therefore means "no child".
    m_trie.assign(2, 0);
    m_rankAt.assign(1, -1);
    for (int rank = 0; rank < int(m_words.size()); ++rank) {
        const quint32 word = m_words[rank];
        const int length = 32 - qCountLeadingZeroBits(word);
        int node = 0;
        for (int bit = length - 2; bit >= 0; --bit) {
            const int slot = 2 * node + int((word >> bit) & 1u);
            if (m_trie[slot] == 0) {
                m_trie[slot] = int(m_rankAt.size());
                m_rankAt.push_back(-1);
                m_trie.push_back(0);
                m_trie.push_back(0);
            }
            node = m_trie[slot];
        }
        m_rankAt[node] = rank;
    }
}

CMMVari::~CMMVari() = default;

const CMMVari& CMMVari::instance()
{
    static const CMMVari s;
    return s;
}

quint32 CMMVari::wordOfRank(int rank) const
{
    if (rank < 0 || rank >= int(m_words.size()))
        return 0;
    return m_words[rank];
}

int CMMVari::rankOfWord(quint32 word) const
{
    if (word == 0)
        return -1;
    const int length = 32 - qCountLeadingZeroBits(word);
    if (length > kMaxWordBits)
        return -1;
    int node = 0;
    for (int bit = length - 2; bit >= 0; --bit) {
        node = m_trie[2 * node + int((word >> bit) & 1u)];
        if (node == 0)
            return -1;
    }
    return m_rankAt[node];
}

int CMMVari::rankOfChar(quint16 value, bool kanaSwap)
{
    if (value < kAsciiCount)
        return kRankOfAscii[value];
    int rank;
    if (value <= kLastSingleValue) {
        rank = value;
    } else {
        const int lead = value >> 8;
        const int trail = value & 0xFF;
        // Such a pair is not a valid double-byte character; it goes out as a space.
        if (trail < kFirstTrail)
            return 0;
        rank = (lead - kFirstLead) * kTrailBytesPerLead + (trail - kFirstTrail) + kFirstDoubleByteRank;
    }
    return kanaSwap ? kanaSwapRank(rank) : rank;
}

quint16 CMMVari::charOfRank(int rank, bool kanaSwap)
{
    // Nothing beyond the list can be received; treat it like a word not in it.
    if (rank < 0 || rank >= kWordCount)
        rank = 0;
    if (rank < kAsciiCount)
        return kAsciiOfRank[rank];
    if (kanaSwap)
        rank = kanaSwapRank(rank);
    if (rank < kFirstDoubleByteRank)
        return quint16(rank);
    const int offset = rank - kFirstDoubleByteRank;
    const int lead = kFirstLead + offset / kTrailBytesPerLead;
    const int trail = kFirstTrail + offset % kTrailBytesPerLead;
    // Lead byte first in memory: the two bytes keep their sending order.
    return quint16(lead | (trail << 8));
}

int CMMVari::kanaSwapRank(int rank)
{
    // Gives the Japanese kana (double-byte 829Fh-82F2h and 8340h-8396h) the
    // short words that bytes 80h-FFh and 8140h-816Ah would otherwise hold.
    constexpr int kHiraganaShift = 415;
    constexpr int kKatakanaShift = 428;
    if (rank >= 128 && rank <= 211)
        return rank + kHiraganaShift;
    if (rank >= 128 + kHiraganaShift && rank <= 211 + kHiraganaShift)
        return rank - kHiraganaShift;
    if (rank >= 212 && rank <= 298)
        return rank + kKatakanaShift;
    if (rank >= 212 + kKatakanaShift && rank <= 298 + kKatakanaShift)
        return rank - kKatakanaShift;
    return rank;
}

quint16 CMMVari::charOfWord(quint32 word, bool kanaSwap) const
{
    const int rank = rankOfWord(word);
    return charOfRank(rank < 0 ? 0 : rank, kanaSwap);
}


namespace Varicode {

quint32 ascii8Word(int ch)
{
    return ch >= 0 && ch < 256 ? kAscii8Words[ch] : 0;
}

quint16 decodeTable8(int index)
{
    return index >= 0 && index < kDecodeTableSize ? kDecodeTable[index] : 0;
}

} // namespace Varicode
