// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/pskrxalgorithms.h"

#include "modem/pskdecode.h"
#include "modem/sinetable.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr double kDefaultSampleRate = 11025.0;
constexpr double kDefaultFrequency = 1000.0;
constexpr double kNominalBaud = 31.25;
constexpr int kMaxMovingSum = 128;
constexpr int kFirTaps = 64;
constexpr int kMaxCorrection = 128;
// The clock value half-way between two sampling instants.
constexpr int kClockMiddle = 32767;
// Keeps 16 * count far from overflow on an endless carrier.
constexpr int kMaxSinceTransition = 1 << 24;

// Low-pass after the decimation; symmetric, so the tap order does not matter
// for the result, but tap 0 meets the oldest history entry.
constexpr qint32 kFir[kFirTaps] = {
    0,    5,    21,   44,   71,   96,   114,  121,  112,  86,   40,   -23,  -98,  -181, -262, -333,
    -384, -405, -389, -328, -220, -63,  140,  383,  656,  946,  1242, 1526, 1784, 2001, 2166, 2269,
    2304, 2269, 2166, 2001, 1784, 1526, 1242, 946,  656,  383,  140,  -63,  -220, -328, -389, -405,
    -384, -333, -262, -181, -98,  -23,  40,   86,   112,  121,  114,  96,   71,   44,   21,   5,
};

// trunc(x) reduced to its low 16 bits, as the 16-bit steps store it. fmod
// keeps huge values in range of the integer conversion; NaN and infinities
// give 0 rather than undefined behaviour.
quint16 low16(double x)
{
    if (!std::isfinite(x))
        return 0;
    return quint16(qint64(std::fmod(std::trunc(x), 65536.0)));
}

} // namespace

CPskRxAlgorithms::CPskRxAlgorithms(QObject* parent)
    : QObject(parent)
{
    m_symbolRate = kNominalBaud;
    m_decimatedRate = 500;
    m_frequency = kDefaultFrequency;
    setSampleRate(kDefaultSampleRate);
    setFrequency(m_frequency);
    reset();
    m_correction = 0;
    m_sinceTransition = 0;
    m_prevU = 0;
    m_prevV = 0;
    m_transitionSeen = 0;
}

CPskRxAlgorithms::~CPskRxAlgorithms() = default;

void CPskRxAlgorithms::SetBaud(double baud)
{
    m_symbolRate = baud;
    if (m_sampleRate > 0.0)
        m_decStep = low16(baud * m_decimatedRate * 65536.0 / (m_sampleRate * kNominalBaud));
}

void CPskRxAlgorithms::setFrequency(double fq)
{
    m_ncoStep = 0;
    m_frequency = fq;
    if (m_sampleRate > 0.0)
        m_ncoStep = low16(fq / m_sampleRate * 65536.0);
    emit signalFqChanged(fq);
}

bool CPskRxAlgorithms::setSampleRate(double rate)
{
    // Negative rates and NaN have no moving-sum length either.
    if (!(rate >= 0.0 && rate < kMaxSampleRate))
        return false;
    m_sampleRate = rate;
    setMovingSumLength(int((250.0 + rate) / m_decimatedRate));
    if (rate > 0.0) {
        m_decStep = low16(m_decimatedRate * 65536.0 * m_symbolRate / (rate * kNominalBaud));
        m_symStep = quint16(2048000 / m_decimatedRate);
    }
    m_ncoStep = 0;
    if (rate > 0.0)
        m_ncoStep = low16(m_frequency / rate * 65536.0);
    return true;
}

void CPskRxAlgorithms::setMovingSumLength(int n)
{
    // The running sums always equal the sum of their whole buffers. Entries
    // beyond a shorter length would never be subtracted again and would stay
    // in the sums as a false carrier at the receive frequency, so they leave.
    for (int k = n; k < kMaxMovingSum; ++k) {
        m_sumI1 -= m_bufI1[k];
        m_sumI2 -= m_bufI2[k];
        m_sumQ1 -= m_bufQ1[k];
        m_sumQ2 -= m_bufQ2[k];
        m_bufI1[k] = m_bufI2[k] = m_bufQ1[k] = m_bufQ2[k] = 0;
    }
    m_n = n;
    if (m_k >= m_n)
        m_k = 0;
}

void CPskRxAlgorithms::reset()
{
    m_bufI1.fill(0);
    m_bufI2.fill(0);
    m_bufQ1.fill(0);
    m_bufQ2.fill(0);
    m_sumI1 = m_sumI2 = m_sumQ1 = m_sumQ2 = 0;
    m_k = 0;
    m_ncoPhase = 0;
    m_decClock = 0;
    m_symClock = 0;
    m_firIndex = 0;
    if (m_sink)
        m_sink->Reset();
}

void CPskRxAlgorithms::ProcessSamples(const qint16* samples, int count)
{
    if (!samples || count < 1)
        return;
    for (int s = 0; s < count; ++s) {
        const qint32 x = samples[s];
        m_ncoPhase = quint16(m_ncoPhase + m_ncoStep);
        // |table| <= 32767 and |x| <= 32768: the products fit in 32 bits.
        const qint32 i = SineTable::cos16(m_ncoPhase) * x / 65536;
        const qint32 q = SineTable::sin16(m_ncoPhase) * x / 65536;

        // Two cascaded boxcars of length N: |S1| <= 2^21, |S2| <= 2^28.
        if (m_n > 0) {
            m_sumI1 += i - m_bufI1[m_k];
            m_bufI1[m_k] = i;
            m_sumI2 += m_sumI1 - m_bufI2[m_k];
            m_bufI2[m_k] = m_sumI1;
            m_sumQ1 += q - m_bufQ1[m_k];
            m_bufQ1[m_k] = q;
            m_sumQ2 += m_sumQ1 - m_bufQ2[m_k];
            m_bufQ2[m_k] = m_sumQ1;
            if (++m_k >= m_n)
                m_k = 0;
        }

        const quint32 dec = quint32(m_decClock) + m_decStep;
        m_decClock = quint16(dec);
        if (dec > 0xFFFF)
            decimatedSample();
    }
}

void CPskRxAlgorithms::decimatedSample()
{
    m_histI[m_firIndex] = m_sumI2 / 1024;
    m_histQ[m_firIndex] = m_sumQ2 / 1024;
    m_firIndex = (m_firIndex + 1) & (kFirTaps - 1);

    // Wide sums: at the top rates a full-scale signal reaches about 2^34.
    qint64 fi = 0;
    qint64 fq = 0;
    for (int j = 0; j < kFirTaps; ++j) {
        const int h = (m_firIndex + j) & (kFirTaps - 1);
        fi += qint64(kFir[j]) * m_histI[h];
        fq += qint64(kFir[j]) * m_histQ[h];
    }

    const qint64 a = fi >> 16;
    const qint64 b = fq >> 16;
    qint64 p = a * a + b * b;
    int level = 30;
    while (p > 0) {
        p >>= 1;
        ++level;
    }

    const qint64 u = fi / 65536;
    const qint64 v = fq / 65536;
    int c = int(m_symClock) + int(m_symStep) + m_correction;

    if (!m_transitionSeen) {
        const qint64 dot = m_prevU * u + m_prevV * v;
        const qint64 cross = m_prevV * u - m_prevU * v;
        // Turned by more than 45 degrees since the last symbol: a transition,
        // which belongs in the middle between two sampling instants.
        if (dot - std::llabs(cross) < 0) {
            const int target = ((3 * c + kClockMiddle) >> 2) & 0xFFFF;
            m_lastTransitionClock = c;
            m_transitionSeen = 1;
            if (m_sinceTransition != 0) {
                const int error = int((target - c) / (16 * qint64(m_sinceTransition)));
                m_correction = (error + 31 * m_correction) >> 5;
            }
            m_correction = std::clamp(m_correction, -kMaxCorrection, kMaxCorrection);
            c = target;
            m_sinceTransition = 0;
        }
    }

    m_symClock = quint16(c);
    if (c > 0xFFFF) {
        if (m_sinceTransition < kMaxSinceTransition)
            ++m_sinceTransition;
        m_transitionSeen = 0;
        if (m_sink) {
            // The decoders take 32-bit values and look only at the phase, so
            // a symbol beyond that range is scaled down, both parts alike.
            int shift = 0;
            while (std::max(std::llabs(fi), std::llabs(fq)) >> shift > INT32_MAX)
                ++shift;
            m_sink->ReceiveSymbol(int(fi >> shift), int(fq >> shift), level);
        }
        m_prevU = u;
        m_prevV = v;
    }
}
