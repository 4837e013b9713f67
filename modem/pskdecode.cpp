// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/pskdecode.h"

#include "core/codepage.h"
#include "modem/pskinterfaces.h"
#include "modem/varicode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace {

// Radians to the 32-bit phase unit of BPSK (2^31 / pi) and to the 18-bit unit
// of QPSK (2^18 / 2 pi).
constexpr double kBpskPhaseScale = 683565275.0;
constexpr double kQpskPhaseScale = 41721.0;

// Phase changes further than about 38.5 degrees from the ideal count against
// the quality.
constexpr int kQualityThreshold = 7000;
constexpr int kBpskQualityPeriod = 20;
constexpr int kQpskQualityPeriod = 30;

// Bit of the path histories that is decided: 20 symbols of decoding delay.
constexpr quint32 kDecisionBit = 1u << 20;

constexpr std::array<int, 16> kStartMetric = {9, 10, 5, 7, 7, 5, 8, 9, 7, 5, 7, 6, 5, 4, 2, 0};

// Cost of receiving phase step r (rows) when E (columns) was expected: 0 for
// agreement, 2 for a quarter turn off, 3 for a half turn off.
constexpr int kBranchMetric[4][4] = {
    {0, 2, 3, 2},
    {2, 0, 2, 3},
    {3, 2, 0, 2},
    {2, 3, 2, 0},
};

// First octant of the integer angle: entry i is atan2(i, 256) in units of
// 8192 per eighth of a turn.
std::array<quint16, 257> buildAngleTable()
{
    std::array<quint16, 257> t{};
    const double pi = std::acos(-1.0);
    for (int i = 0; i <= 256; ++i)
        t[i] = quint16(std::atan2(double(i), 256.0) / (pi / 4.0) * 8192.0);
    return t;
}
const std::array<quint16, 257> g_angleTable = buildAngleTable();

int parity(int x)
{
    int p = 0;
    for (; x; x &= x - 1)
        p ^= 1;
    return p;
}

qint32 wrapSub(qint32 a, qint32 b)
{
    return qint32(quint32(a) - quint32(b));
}

} // namespace

CPskBitDecode::CPskBitDecode() = default;

CPskBitDecode::~CPskBitDecode() = default;

quint16 CBpskDecode::integerAngle(int i, int q)
{
    const qint64 ax = std::llabs(qint64(i));
    const qint64 ay = std::llabs(qint64(q));
    if (ax == 0 && ay == 0)
        return 0;
    const qint64 small = std::min(ax, ay);
    const qint64 large = std::max(ax, ay);
    // Rounds the ratio to the nearest table step; tiny equal components would
    // round past the last entry.
    const qint64 index = std::min<qint64>((small * 256 + 128) / large, 256);
    const int t = g_angleTable[size_t(index)];
    const int octant = ax >= ay ? t : 16384 - t;
    int a;
    if (i >= 0)
        a = q >= 0 ? octant : 65536 - octant;
    else
        a = q >= 0 ? 32768 - octant : 32768 + octant;
    return quint16(a);
}

void CBpskDecode::measureQuality(int i, int q, int fold, int period)
{
    const quint16 a = integerAngle(i, q);
    const quint16 d = quint16(a - m_prevAngle);
    m_prevAngle = a;
    // Folding maps the phase steps of the mode (half turns for BPSK, quarter
    // turns for QPSK) onto 0, leaving only the deviation.
    const int v = std::abs(int(qint16(quint16(d * fold))));
    ++m_qualityCount;
    if (v >= kQualityThreshold)
        m_qualitySum += v - kQualityThreshold;
    if (m_qualityCount >= period) {
        const int x = (m_qualitySum / period) / 256;
        m_quality = 31 - std::min(x, 31);
        m_qualityCount = 0;
        m_qualitySum = 0;
    }
}

void CBpskDecode::MeasureQuality(int i, int q, int /*level*/)
{
    measureQuality(i, q, 2, kBpskQualityPeriod);
}

void CBpskDecode::ReceiveBit(int bit)
{
    m_zeroRun = bit ? 0 : m_zeroRun + 1;
    m_register = (m_register << 1) | (bit ? 1u : 0u);
    // A word ends with its final 1 followed by two 0 bits.
    if ((m_register & 7u) != 4u)
        return;
    const quint32 reg = m_register;
    m_register = 0;
    if (m_charSet == kCharSetAscii8) {
        const quint32 index = reg >> 3;
        if (index >= quint32(Varicode::kDecodeTableSize))
            return;
        const quint16 byte = Varicode::decodeTable8(int(index));
        if (m_charSink)
            m_charSink->CharReceived(m_channel, CodePage::fromByte(quint8(byte)));
        return;
    }
    // Longer than the longest word of 21 bits, as from a steady carrier: no
    // character at all.
    if (reg >> 23)
        return;
    const quint16 value = CMMVari::instance().charOfWord(reg >> 2, m_charSet == kCharSetMMVari);
    if (m_charSink)
        m_charSink->CodeReceived(m_channel, value);
}

void CBpskDecode::ReceiveSymbol(int i, int q, int level)
{
    MeasureQuality(i, q, level);

    const double di = i;
    const double dq = q;
    const qint32 phase = qint32(std::atan2(dq, di) * kBpskPhaseScale);
    const int dB = int((std::log10(di * di + dq * dq + 1.0) - 3.5) * 100.0);
    qint32 delta = wrapSub(phase, m_prevPhase);

    if (m_symbolSink)
        m_symbolSink->SymbolReceived(m_channel, delta, std::max(dB, 10));

    // Decide against the drift-corrected phase change: a 1 keeps the phase
    // within a quarter turn, a 0 reverses it.
    const qint32 e = wrapSub(delta, m_afc);
    const int bit = (e > -(1 << 30) && e < (1 << 30)) ? 1 : 0;
    // A symbol of no signal at all (silence before the filters fill) has no
    // phase, nor has the one before the first: a bit decided against it is
    // noise, and a 1 there before the 0 0 of the filters' start would print
    // a space.
    const bool silent = i == 0 && q == 0;

    if (!silent && !m_prevSilent)
        ReceiveBit(bit);
    m_prevSilent = silent;

    // Leaky average of the residual phase change per symbol: it settles at
    // two thirds of a steady drift.
    qint64 afc = qint64(m_afc) - (m_afc >> 7) - (m_afc >> 6);
    if (!bit)
        delta = qint32(quint32(delta) - 0x80000000u);
    m_prevPhase = phase;
    afc += delta >> 6;
    m_afc = qint32(afc);
}

void CBpskDecode::Reset()
{
    m_register = 0;
}

CQpskDecode::CQpskDecode()
{
    // The transmitter's convolutional code: the expected phase step of each
    // 5-bit encoder state.
    for (int j = 0; j < 32; ++j)
        m_expected[size_t(j)] = 2 * parity(j & 0x19) + parity(j & 0x17);
    resetTrellis();
}

void CQpskDecode::resetTrellis()
{
    for (int s = 0; s < 16; ++s) {
        m_metric[size_t(s)] = kStartMetric[size_t(s)];
        // Every older path bit 1 stands for idle, so the decisions made from
        // the start values are 0 bits.
        m_path[size_t(s)] = 0xFFFFFFF0u + quint32(s);
    }
}

void CQpskDecode::Reset()
{
    m_register = 0;
    m_prevA = 0;
    m_prevB = 0;
    resetTrellis();
}

void CQpskDecode::MeasureQuality(int i, int q, int /*level*/)
{
    measureQuality(i, q, 4, kQpskQualityPeriod);
}

void CQpskDecode::ReceiveSymbol(int i, int q, int level)
{
    MeasureQuality(i, q, level);

    const double di = i;
    const double dq = q;
    const qint32 phase = qint32(std::atan2(dq, di) * kQpskPhaseScale);
    if (m_symbolSink) {
        // 2^18 units per turn times 2^14 gives the 2^32 of the scope; the
        // product wraps like the angle it stands for.
        const qint32 angle = qint32(quint32(wrapSub(phase, m_prevPhase)) * 16384u);
        const int amplitude = (int(std::log10(di * di + dq * dq + 1.0)) - 7) * 100;
        m_symbolSink->SymbolReceived(m_channel, angle, amplitude);
    }

    // The phase change modulo a quarter turn drives the AFC.
    const int s = qint16(quint16(quint16(phase) - quint16(m_prevPhase)));
    m_afc = qint32(qint64(m_afc) - (m_afc >> 8) - (m_afc >> 7) + 200 * s);
    m_prevPhase = phase;

    // Hard decision of the phase step in quarter turns. The mixer mirrors the
    // phase: a step of +1 quarter turn at the transmitter arrives as -90
    // degrees, which the order of this table undoes.
    static constexpr int kStepOfSector[4] = {0, 3, 1, 2};
    const qint32 a = i >> 17;
    const qint32 b = q >> 17;
    const qint64 dot = qint64(m_prevA) * a + qint64(m_prevB) * b;
    const qint64 cross = qint64(m_prevA) * b - qint64(m_prevB) * a;
    const int sector = (dot - cross < 0 ? 1 : 0) + (dot + cross < 0 ? 2 : 0);
    int r = kStepOfSector[sector];
    m_prevA = a;
    m_prevB = b;
    if (m_inversion)
        r = (4 - r) & 3;

    // Viterbi step: transition j runs from state j >> 1 to state j & 15 with
    // path bit j & 1.
    std::array<int, 32> metric;
    std::array<quint32, 32> history;
    int least = 255;
    for (int j = 0; j < 32; ++j) {
        metric[size_t(j)] = m_metric[size_t(j >> 1)] + kBranchMetric[r][m_expected[size_t(j)]];
        history[size_t(j)] = (m_path[size_t(j >> 1)] << 1) | quint32(j & 1);
        least = std::min(least, metric[size_t(j)]);
    }
    int ones = 0;
    for (int state = 0; state < 16; ++state) {
        const int j = metric[size_t(state)] < metric[size_t(state + 16)] ? state : state + 16;
        m_metric[size_t(state)] = metric[size_t(j)] - least;
        m_path[size_t(state)] = history[size_t(j)];
        if (m_path[size_t(state)] & kDecisionBit)
            ++ones;
    }
    // The encoder enters complemented bits: a path bit of 1 is a data 0.
    ReceiveBit(ones < 8 ? 1 : 0);
}
