// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/psktxalgorithms.h"

#include "core/settings.h"
#include "modem/sinetable.h"

#include <cmath>

namespace {

constexpr double kDefaultRate = 11025.0;

// Sine and cosine weight of each phase code: codes 0-3 are the carrier
// advanced by that many quarter turns, 4 is no carrier. Codes 5-11 belong
// to the frequency-shift modes and carry no PSK weight.
constexpr int kCodeCount = 12;
constexpr qint32 kSinWeight[kCodeCount] = {0, -1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0};
constexpr qint32 kCosWeight[kCodeCount] = {1, 0, -1, 0, 0, 0, 0, 0, 0, 0, 0, 0};

// The low bits of trunc(v); 0 for a value that has no integer part to keep
// (NaN, infinity, beyond 64 bits), so odd rates never reach undefined casts.
quint64 truncatedLowBits(double v)
{
    if (!std::isfinite(v) || std::fabs(v) >= 9.2e18)
        return 0;
    return quint64(qint64(v));
}

int codeIndex(quint16 code)
{
    return code % kCodeCount;
}

} // namespace

CPskTxAlgorithms::CPskTxAlgorithms(QObject* parent)
    : QObject(parent)
{
    {
        Settings settings;
        m_frequency.store(settings.value(QStringLiteral("TxFq"), 1000.0).toDouble(),
                          std::memory_order_relaxed);
    }
    m_sampleRate.store(kDefaultRate, std::memory_order_relaxed);
    recompute();
    emit signalFqChanged(frequency());
}

CPskTxAlgorithms::~CPskTxAlgorithms() = default;

void CPskTxAlgorithms::setFrequency(double fq)
{
    m_frequency.store(fq, std::memory_order_relaxed);
    recompute();
    emit signalFqChanged(fq);
}

void CPskTxAlgorithms::setSampleRate(double rate)
{
    m_sampleRate.store(rate, std::memory_order_relaxed);
    recompute();
}

void CPskTxAlgorithms::setShiftAndBaud(double shift, double baud)
{
    m_shift.store(shift, std::memory_order_relaxed);
    m_symbolRate.store(baud, std::memory_order_relaxed);
    recompute();
}

void CPskTxAlgorithms::reset()
{
    m_symbolAcc = 0;
    m_carrier = 0;
    m_prevCode = 4;
    m_curCode = 4;
}

void CPskTxAlgorithms::recompute()
{
    const double rate = sampleRate();
    quint32 centre = 0, upper = 0, lower = 0, symbol = 0;
    if (rate > 0) {
        const double fq = frequency();
        const double halfShift = m_shift.load(std::memory_order_relaxed) * 0.5;
        centre = quint32(truncatedLowBits(fq / rate * 65536.0) & 0xFFFF);
        upper = quint32(truncatedLowBits((fq + halfShift) / rate * 65536.0) & 0xFFFF);
        lower = quint32(truncatedLowBits((fq - halfShift) / rate * 65536.0) & 0xFFFF);
        symbol = quint32(truncatedLowBits(symbolRate() * 4294967296.0 / rate));
    }
    m_centreStep.store(centre, std::memory_order_relaxed);
    m_upperStep.store(upper, std::memory_order_relaxed);
    m_lowerStep.store(lower, std::memory_order_relaxed);
    m_symbolStep.store(symbol, std::memory_order_relaxed);
}

qint16 CPskTxAlgorithms::NextSample(int* needSymbol)
{
    using SineTable::cos16;
    using SineTable::sin16;

    // Over one symbol the accumulator's top 15 bits run from 0 to 32767, a
    // half turn, so the envelope falls along half a cosine.
    const qint32 e = cos16(quint16(m_symbolAcc >> 17));
    qint32 sample;
    if (m_curCode < 5 || m_prevCode < 5) {
        const qint32 wPrev = 32767 + e;
        const qint32 wCur = 32767 - e;
        const int cur = codeIndex(m_curCode);
        const int prev = codeIndex(m_prevCode);
        const qint64 a = qint64(kSinWeight[cur]) * wCur + qint64(kSinWeight[prev]) * wPrev;
        const qint64 b = qint64(kCosWeight[cur]) * wCur + qint64(kCosWeight[prev]) * wPrev;
        sample = qint32((sin16(m_carrier) * a + cos16(m_carrier) * b) >> 16);
        m_carrier = quint16(m_carrier + m_centreStep.load(std::memory_order_relaxed));
    } else {
        // Frequency-shift keying, kept for completeness: odd codes mark the
        // upper tone, even codes the lower one.
        sample = cos16(m_carrier);
        const quint32 step = (m_curCode & 1) ? m_upperStep.load(std::memory_order_relaxed)
                                             : m_lowerStep.load(std::memory_order_relaxed);
        m_carrier = quint16(m_carrier + step);
    }

    const quint32 before = m_symbolAcc;
    m_symbolAcc += m_symbolStep.load(std::memory_order_relaxed);
    if (needSymbol)
        *needSymbol = m_symbolAcc < before ? 1 : 0;
    return qint16(sample);
}
