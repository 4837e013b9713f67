// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/psksensitiverx.h"

#include "modem/afcacquisition.h"
#include "modem/pskinterfaces.h"
#include "modem/pskrxalgorithms.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr float kTwoPi = float(2.0 * kPi);

// Decimated samples per symbol at least (the decimation is the largest whole
// factor that keeps this many).
constexpr double kMinSamplesPerSymbol = 16.0;
// The decimating low-pass: cut-off in symbol rates and length in decimated
// samples. The signal's main lobe reaches one symbol rate; what the
// decimation folds back lies beyond 14 symbol rates, far down the skirt.
constexpr double kLowPassCutoff = 6.0;
constexpr int kLowPassSpan = 12;
// The overlapping raised-cosine pulses leave a sixth of each neighbour in a
// matched-filter sample.
constexpr float kNeighbourShare = 1.0f / 6.0f;
// BPSK also decides against the symbols of an equaliser whose neighbour
// taps adapt: where two paths a little apart fade against each other, the
// channel smears each symbol into its neighbours far more than the pulses
// do. This is the step of its taps (a share of the miss per symbol).
constexpr float kTapStep = 0.1f;
// Neither tap takes more than half of a neighbour: at the bottom of a deep
// fade the taps would otherwise chase the noise and take a while to come
// back.
constexpr float kMaxTap = 0.5f;
// Time constant of the symbol timing's energy average, in symbols, and at
// least in seconds: long, because the timing's jitter costs more than a
// slow start (the average points the right way after a few symbols of a
// fresh signal). The faster modes copy at a higher S/N in 2500 Hz, where
// the same number of symbols still leaves more jitter.
constexpr double kTimingSymbols = 100.0;
constexpr double kTimingSeconds = 1.0;

// Carrier loop per symbol: a second-order phase-locked loop (natural
// frequency times symbol period, damping 0.7) and the frequency-locked loop
// that pulls it in.
constexpr float kLoopOmega = 0.045f;
constexpr float kLoopProp = 2.0f * 0.7f * kLoopOmega;
constexpr float kLoopInt = kLoopOmega * kLoopOmega;
constexpr float kFllGain = 0.02f;
constexpr float kFllAverage = 1.0f / 8.0f;
constexpr float kLockAverage = 1.0f / 32.0f;
constexpr float kLocked = 0.2f;
// A retune by more than this share of the symbol rate unsettles the loop.
constexpr double kSmallRetune = 0.02;
// The carrier loop holds an eighth of the symbol rate; the frequency it has
// found goes to the transceiver's AFC as the standard decoder's accumulator
// (Hz times 47161840 times 10 moves the receiver by 1 Hz), half at a time.
constexpr float kMaxLoopFreq = float(2.0 * kPi / 8.0);
constexpr double kAfcPerHz = 47161840.0 * 10.0 * 0.5;
// The channel forecasts of BPSK: how much of its miss each forecast takes
// on (1 forgets all but the last symbol, 0.04 remembers some twenty-five),
// how much of that goes into its trend (0: none, a level), and the average
// (per symbol) of how well each foretells the symbols. A trend carries a
// fading channel through the bottom of a fade, where its phase turns fast
// but the complex gain itself passes smoothly by zero.
constexpr float kGain[] = {1.0f, 0.5f, 0.25f, 0.1f, 0.04f, 1.0f, 0.6f, 0.4f};
constexpr float kTrendGain[] = {0.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.4f, 0.2f};
constexpr float kMisfitLeak = 1.0f / 64.0f;
// Level averages, per symbol: the slow one normalises the loop, the fast
// one notices when the level steps (a strong signal ends, a weak one
// begins after a quiet gap). A step up by more than kLevelStep, or a step
// down as far that lasts kDropSeconds, starts the level, the symbol timing
// and the carrier loop's lock afresh, so a signal far weaker than the one
// before is not measured against it. A shorter drop is a fade, after which
// the same signal comes back. In steady noise the fast average never
// strays that far from the slow.
constexpr float kLevelLeak = 0.02f;
constexpr float kFastLevelLeak = 1.0f / 8.0f;
constexpr float kLevelStep = 4.0f;
constexpr double kDropSeconds = 1.0;
// A symbol below this share of the slow level is no signal (see report()).
constexpr float kNoSignalShare = 0.1f;
// The standard receiver's I/Q scale (for the phase scope's level).
constexpr float kScopeScale = 8700.0f;

// The Viterbi decoder decides the path's bit kDecisionDelay symbols back.
constexpr quint32 kDecisionBit = 1u << CSensitiveRx::kDecisionDelay;

int parity(int x)
{
    int p = 0;
    for (; x; x &= x - 1)
        p ^= 1;
    return p;
}

float wrapPi(float a)
{
    while (a > float(kPi))
        a -= kTwoPi;
    while (a < -float(kPi))
        a += kTwoPi;
    return a;
}

template<typename T>
std::complex<float> dot(const std::vector<float>& taps, const T* data)
{
    float re = 0.0f;
    float im = 0.0f;
    const size_t n = taps.size();
    for (size_t k = 0; k < n; ++k) {
        re += taps[k] * data[k].real();
        im += taps[k] * data[k].imag();
    }
    return {re, im};
}

} // namespace

CSensitiveRx::CSensitiveRx(bool qpsk)
    : m_qpsk(qpsk)
{
    for (int j = 0; j < 32; ++j)
        m_expected[size_t(j)] = 2 * parity(j & 0x19) + parity(j & 0x17);
    Reset();
}

void CSensitiveRx::configure(double sampleRate, double baud)
{
    m_sampleRate = sampleRate;
    m_baud = baud;
    m_tuned = false;
    // Without a rate there is nothing to build; the receiver then waits.
    if (!(sampleRate > 0.0 && baud > 0.0)) {
        m_lowPass.clear();
        return;
    }
    m_decimation = std::max(1, int(sampleRate / (baud * kMinSamplesPerSymbol)));
    m_samplesPerSymbol = sampleRate / (m_decimation * baud);

    // Blackman-windowed sinc, unity gain at the carrier.
    const int n = kLowPassSpan * m_decimation + 1;
    const double fc = std::min(kLowPassCutoff * baud, 0.45 * sampleRate) / sampleRate;
    m_lowPass.assign(size_t(n), 0.0f);
    double sum = 0.0;
    for (int k = 0; k < n; ++k) {
        const double t = k - (n - 1) / 2.0;
        const double x = 2.0 * fc * t;
        const double sinc = t == 0.0 ? 1.0 : std::sin(kPi * x) / (kPi * x);
        const double w = 0.42 - 0.5 * std::cos(2.0 * kPi * k / (n - 1)) + 0.08 * std::cos(4.0 * kPi * k / (n - 1));
        m_lowPass[size_t(k)] = float(sinc * w);
        sum += sinc * w;
    }
    for (float& t : m_lowPass)
        t = float(t / sum);
    m_lpRing.assign(size_t(2 * n), Complex());
    m_lpPos = 0;
    m_decCount = 0;

    // The transmitted pulse: a raised cosine two symbols long.
    const int m = std::max(3, int(std::lround(2.0 * m_samplesPerSymbol)) - 1);
    m_matched.assign(size_t(m), 0.0f);
    sum = 0.0;
    for (int k = 0; k < m; ++k) {
        const double s = std::sin(kPi * (k + 1) / (m + 1));
        m_matched[size_t(k)] = float(s * s);
        sum += s * s;
    }
    for (float& t : m_matched)
        t = float(t / sum);
    m_mfRing.assign(size_t(2 * m), Complex());
    m_mfPos = 0;

    m_energyLeak = float(1.0 / (std::max(kTimingSymbols, kTimingSeconds * baud) * m_samplesPerSymbol));
    // What the least noise taken for real leaves in a symbol.
    m_leastAmplitude = float(std::sqrt(AfcAcquisition::kLeastNoiseVariance * baud / sampleRate));
    Reset();
}

void CSensitiveRx::Reset()
{
    m_register = 0;
    m_symPhase = 0.0;
    m_energyMean = {};
    m_prevY = {};
    m_prevOffset = 0.0;
    m_sinceSymbol = 0;
    m_y1 = m_y2 = {};
    m_symbolsSeen = 0;
    m_phase = 0.0f;
    m_freq = 0.0f;
    m_amplitude = 0.0f;
    m_fastAmplitude = 0.0f;
    m_lowSymbols = 0;
    m_prevZ = {};
    m_fll = {};
    m_lock = m_lockAlign = 0.0f;
    m_lockStrength = 1.0f;
    for (size_t e = 0; e < kEqualisers; ++e) {
        m_estimate[e].fill(Complex());
        m_trend[e].fill(Complex());
        m_misfit[e].fill(0.0f);
    }
    m_tapOld = m_tapNew = Complex(-kNeighbourShare, 0.0f);
    m_eqOld = m_eqNew = {};
    m_held.fill(Held{});
    m_heldPos = 0;
    m_heldCount = 0;
    m_restarted = false;
    for (auto& misfit : m_spanMisfit)
        misfit.fill(0.0f);
    m_prevD = 1.0f;
    m_framed = false;
    m_prevBit = 1;
    m_prevW = {};
    m_metric.fill(0.0f);
    // Every older path bit 1 stands for idle: the first decisions give no
    // characters.
    m_path.fill(0xFFFFFFFFu);
}

void CSensitiveRx::retune(double frequency)
{
    const double delta = frequency - m_frequency;
    if (m_tuned && std::abs(delta) <= m_baud / 4.0) {
        // The AFC moved the mixer: the loop gives up what the mixer took.
        m_freq = std::clamp(m_freq - float(2.0 * kPi * delta / m_baud), -kMaxLoopFreq, kMaxLoopFreq);
        // The symbols still in the filters turn the phase by the old amount;
        // after more than a small step the loop counts as unlocked, so the
        // decisions go by the change between symbols until it settles.
        if (std::abs(delta) > kSmallRetune * m_baud)
            m_lock = m_lockAlign = 0.0f;
    } else {
        m_freq = 0.0f;
        m_fll = {};
    }
    m_frequency = frequency;
    m_ncoStep = 2.0 * kPi * frequency / m_sampleRate;
    m_tuned = true;
}

void CSensitiveRx::process(const qint16* samples, int count, const CPskRxAlgorithms& dsp)
{
    if (!samples || count < 1)
        return;
    if (dsp.sampleRate() != m_sampleRate || dsp.symbolRate() != m_baud)
        configure(dsp.sampleRate(), dsp.symbolRate());
    if (m_lowPass.empty())
        return;
    if (!m_tuned || dsp.frequency() != m_frequency)
        retune(dsp.frequency());

    const int n = int(m_lowPass.size());
    // A rotator, renewed from the phase at every call so rounding cannot
    // build up.
    Complex osc(float(std::cos(m_ncoPhase)), float(-std::sin(m_ncoPhase)));
    const Complex step(float(std::cos(m_ncoStep)), float(-std::sin(m_ncoStep)));
    for (int s = 0; s < count; ++s) {
        const Complex x = osc * float(samples[s]);
        osc *= step;
        if ((s & 255) == 255)
            osc /= std::abs(osc);
        m_lpRing[size_t(m_lpPos)] = x;
        m_lpRing[size_t(m_lpPos + n)] = x;
        if (++m_lpPos >= n)
            m_lpPos = 0;
        if (++m_decCount >= m_decimation) {
            m_decCount = 0;
            decimated(dot(m_lowPass, m_lpRing.data() + m_lpPos));
        }
    }
    m_ncoPhase = std::fmod(m_ncoPhase + m_ncoStep * count, 2.0 * kPi);
}

void CSensitiveRx::decimated(Complex x)
{
    const int m = int(m_matched.size());
    m_mfRing[size_t(m_mfPos)] = x;
    m_mfRing[size_t(m_mfPos + m)] = x;
    if (++m_mfPos >= m)
        m_mfPos = 0;
    const Complex y = dot(m_matched, m_mfRing.data() + m_mfPos);

    // The energy's circular mean over the symbol period points at the
    // sampling instant.
    m_symPhase += 1.0 / m_samplesPerSymbol;
    if (m_symPhase >= 1.0)
        m_symPhase -= 1.0;
    const float angle = float(2.0 * kPi * m_symPhase);
    m_energyMean += m_energyLeak * (std::norm(y) * Complex(std::cos(angle), std::sin(angle)) - m_energyMean);
    const double instant = std::arg(m_energyMean) / (2.0 * kPi);
    double offset = m_symPhase - instant;
    offset -= std::floor(offset + 0.5); // -0.5 to 0.5

    ++m_sinceSymbol;
    const bool crossed = m_prevOffset < 0.0 && offset >= 0.0 && offset - m_prevOffset < 0.5;
    if ((crossed && m_sinceSymbol * 2 >= m_samplesPerSymbol) || m_sinceSymbol >= 1.5 * m_samplesPerSymbol) {
        // Linear interpolation between the two samples around the instant.
        const float mu = crossed ? float(-m_prevOffset / (offset - m_prevOffset)) : 1.0f;
        symbol(m_prevY + mu * (y - m_prevY));
        m_sinceSymbol = 0;
    }
    m_prevOffset = offset;
    m_prevY = y;
}

void CSensitiveRx::symbol(Complex y)
{
    // Equaliser: the middle sample less a sixth of each neighbour. For
    // BPSK, beside it, one whose neighbour taps adapt to the channel.
    const Complex z = m_y1 - kNeighbourShare * (m_y2 + y);
    const Complex adapted = m_y1 + m_tapOld * m_y2 + m_tapNew * y;
    m_eqOld = m_y2;
    m_eqNew = y;
    m_y2 = m_y1;
    m_y1 = y;
    // The first two hold no whole symbol yet.
    if (m_symbolsSeen < 2)
        ++m_symbolsSeen;
    else
        decide(z, adapted);
}

void CSensitiveRx::decide(Complex z, Complex adapted)
{
    const float mag = std::abs(z);
    m_amplitude += kLevelLeak * (mag - m_amplitude);
    m_fastAmplitude += kFastLevelLeak * (mag - m_fastAmplitude);
    m_lowSymbols = kLevelStep * m_fastAmplitude < m_amplitude ? m_lowSymbols + 1 : 0;
    if (m_fastAmplitude > kLevelStep * m_amplitude || m_lowSymbols > kDropSeconds * m_baud) {
        m_lowSymbols = 0;
        m_amplitude = m_fastAmplitude;
        m_energyMean = {};
        m_lock = m_lockAlign = 0.0f;
        m_lockStrength = 1.0f;
        m_fll = {};
        // Nor is its carrier where the loop had wandered on the noise (or
        // another signal's leak) before it, and what the loop had handed
        // to the AFC from there would pull the mixer off the new signal.
        m_freq = 0.0f;
        m_afc = 0;
        // A new signal: its words are framed afresh from its first symbol
        // (when that is decided again), so that the noise before it and its
        // key-up carrier make no character.
        m_restarted = true;
    }
    const float a = std::max(m_amplitude, 1e-3f);

    const Complex derotate(std::cos(m_phase), -std::sin(m_phase));
    const Complex w = z * derotate;
    Complex ref;
    if (m_qpsk)
        ref = std::abs(w.real()) >= std::abs(w.imag()) ? Complex(w.real() >= 0.0f ? 1.0f : -1.0f, 0.0f)
                                                       : Complex(0.0f, w.imag() >= 0.0f ? 1.0f : -1.0f);
    else
        ref = Complex(w.real() >= 0.0f ? 1.0f : -1.0f, 0.0f);
    const float err = std::clamp((w * std::conj(ref)).imag() / a, -1.0f, 1.0f);

    // Frequency detector on the change between the symbols as received
    // (so that it does not depend on the loop's own guess), the modulation
    // folded away by squaring (BPSK) or raising to the fourth (QPSK); its
    // average against the loop's frequency gives the error. For BPSK only
    // the change of phase counts: against the level, the noise before a
    // signal (while the level still rises from a restart) would swing the
    // loop far off, and a signal arriving then would lose its first words
    // while the loop came back. QPSK keeps the level's weight, with which
    // it copies better in fades, and its Viterbi decoder did not lose those
    // words.
    const int fold = m_qpsk ? 4 : 2;
    Complex v = z * std::conj(m_prevZ) / (m_qpsk ? a * a : std::max(std::abs(z) * std::abs(m_prevZ), 1e-12f));
    v *= v;
    if (m_qpsk)
        v *= v;
    m_fll += kFllAverage * (v - m_fll);
    const float turn = float(fold) * m_freq;
    const float ferr = std::clamp((m_fll * Complex(std::cos(turn), -std::sin(turn))).imag(), -1.0f, 1.0f) / float(fold);

    // Lock: how well the symbols line up on the constellation's axes; the
    // frequency-locked loop only helps while that is poor. For BPSK, the
    // symbols' alignment over their strength, so that a fade, where the
    // symbols are weak, does not count as a loss of lock.
    Complex folded = w * w / (a * a);
    if (m_qpsk) {
        folded *= folded;
        m_lock += kLockAverage * (std::clamp(folded.real(), -1.0f, 1.0f) - m_lock);
    } else {
        m_lockAlign += kLockAverage * (folded.real() - m_lockAlign);
        m_lockStrength += kLockAverage * (std::abs(folded) - m_lockStrength);
        m_lock = m_lockAlign / std::max(m_lockStrength, 1e-6f);
    }
    const float fllGain = m_lock < kLocked ? kFllGain : 0.0f;
    m_freq = std::clamp(m_freq + kLoopInt * err + fllGain * ferr, -kMaxLoopFreq, kMaxLoopFreq);
    m_phase = wrapPi(m_phase + m_freq + kLoopProp * err);

    report(z);
    if (m_qpsk)
        qpskStep(w, z);
    else
        bpskBits(w, adapted * derotate, derotate);
    m_prevW = w;
    m_prevZ = z;

    // The transceiver's AFC reads this like the standard decoder's
    // accumulator; a signal above the mixer turns the phase forward. Only a
    // locked loop knows a frequency: noise would only make the mixer wander.
    // Nor does a loop locked on digital silence's crumbs, such as a strong
    // signal's leak from a few hundred hertz away.
    const bool heard = m_lock >= kLocked && m_amplitude > m_leastAmplitude;
    const double hz = heard ? double(m_freq) * m_baud / (2.0 * kPi) : 0.0;
    m_afc = qint32(std::clamp(-hz * kAfcPerHz, -2.0e9, 2.0e9));
}

void CSensitiveRx::bpskBits(Complex w, Complex wAdapted, Complex derotate)
{
    // Doppler spread turns the phase faster than the carrier loop may
    // follow without losing in white noise. So each symbol is decided
    // against that forecast of the channel which has lately foretold the
    // symbols best: from the past symbols (the modulation taken off by
    // their decisions), with a memory from one symbol (differential
    // detection, for fast fading) to some twenty-five (near coherent, for a
    // steady carrier in noise), and with or without their trend. The
    // forecasts follow the phase themselves, so they decide whether the
    // carrier loop has locked or not (a fresh signal, or one that the loop
    // lost in a fade): the shortest one is then the change between the
    // symbols. Each forecast is kept for the symbols of either equaliser,
    // the fixed one and the adaptive one, and the best of all decides.
    const Complex input[kEqualisers] = {w, wAdapted};
    size_t best[kEqualisers] = {};
    for (size_t e = 0; e < kEqualisers; ++e)
        for (size_t c = 1; c < kEstimates; ++c)
            if (m_misfit[e][c] < m_misfit[e][best[e]])
                best[e] = c;
    const size_t eq = m_misfit[1][best[1]] < m_misfit[0][best[0]] ? 1 : 0;
    const float d = (input[eq] * std::conj(m_estimate[eq][best[eq]])).real() >= 0.0f ? 1.0f : -1.0f;
    const float a2 = std::max(m_fastAmplitude * m_fastAmplitude, 1e-6f);
    m_held[size_t(m_heldPos)] = Held{{w, wAdapted}, d, d, a2, m_restarted, m_quality, m_lock >= kLocked};
    m_restarted = false;
    m_heldPos = (m_heldPos + 1) % int(m_held.size());
    decideAgain();

    // The misses against the level of the last few symbols: in a long fade
    // the forecast that follows the faded channel best wins.
    // The adaptive equaliser's taps move against its miss (normalised
    // least mean squares), turned back to the received symbols' phase.
    const Complex miss = (wAdapted - d * m_estimate[1][best[1]]) * std::conj(derotate);
    const float power = std::norm(m_eqOld) + std::norm(m_eqNew) + 1e-12f;
    m_tapOld -= kTapStep * miss * std::conj(m_eqOld) / power;
    m_tapNew -= kTapStep * miss * std::conj(m_eqNew) / power;
    for (Complex* tap : {&m_tapOld, &m_tapNew})
        if (std::abs(*tap) > kMaxTap)
            *tap *= kMaxTap / std::abs(*tap);
    for (size_t e = 0; e < kEqualisers; ++e) {
        const Complex clean = input[e] * d;
        for (size_t c = 0; c < kEstimates; ++c) {
            const Complex miss = clean - m_estimate[e][c];
            m_misfit[e][c] += kMisfitLeak * (std::norm(miss) / a2 - m_misfit[e][c]);
            m_trend[e][c] += kGain[c] * kTrendGain[c] * miss;
            m_estimate[e][c] += kGain[c] * miss + m_trend[e][c];
        }
    }
}

void CSensitiveRx::decideAgain()
{
    // The held symbols: the newest kLookAhead back from the write position,
    // the one decided again kLookAhead before it, and as many before that.
    // Those after it still carry the forecasts' decisions, those before it
    // their second ones. Until there is one to decide, there is nothing to
    // frame; before a signal the held symbols are zero and add nothing.
    if (m_heldCount <= kLookAhead) {
        ++m_heldCount;
        return;
    }
    const int n = int(m_held.size());
    const auto held = [&](int back) -> Held& { return m_held[size_t((m_heldPos + 2 * n - 1 - back) % n)]; };
    Held& middle = held(kLookAhead);
    // A new signal: how well each span fitted the one before says nothing
    // of it.
    if (middle.restart) {
        for (auto& misfit : m_spanMisfit)
            misfit.fill(0.0f);
        m_framed = false;
    }
    float bestMisfit = 0.0f;
    float decided = middle.forecast;
    for (size_t e = 0; e < kEqualisers; ++e) {
        Complex sum;
        int k = 1;
        for (size_t s = 0; s < kHalfSpans.size(); ++s) {
            for (; k <= kHalfSpans[s]; ++k) {
                const Held& before = held(kLookAhead + k);
                const Held& after = held(kLookAhead - k);
                sum += before.w[e] * before.decided + after.w[e] * after.forecast;
            }
            const Complex channel = sum / float(2 * kHalfSpans[s]);
            float& misfit = m_spanMisfit[e][s];
            if ((e == 0 && s == 0) || misfit < bestMisfit) {
                bestMisfit = misfit;
                decided = (middle.w[e] * std::conj(channel)).real() >= 0.0f ? 1.0f : -1.0f;
            }
            misfit += kMisfitLeak * (std::norm(middle.w[e] * middle.forecast - channel) / middle.a2 - misfit);
        }
    }
    // While the carrier loop pulls in, the symbols turn from one to the
    // next, and a span's mean points the wrong way; the forecasts follow
    // the turn.
    if (middle.locked)
        middle.decided = decided;
    MeasureQuality(middle.quality[0], middle.quality[1], 0);
    frame(middle.decided);
}

void CSensitiveRx::frame(float d)
{
    // Differential decoding of the decisions: no reversal is a 1. Words
    // are framed by two 0 bits; what comes before the first two (a
    // transmitter's carrier before its preamble, the middle of a word when
    // the receiver starts) is no character, though an 8-bit character set
    // would print it as one.
    const int bit = d == m_prevD ? 1 : 0;
    if (m_framed) {
        ReceiveBit(bit);
    } else if (bit == 0 && m_prevBit == 0) {
        m_framed = true;
        m_register = 0;
    }
    m_prevBit = bit;
    m_prevD = d;
}

void CSensitiveRx::qpskStep(Complex w, Complex z)
{
    // Soft metric of each phase step: how well this symbol, turned back by
    // the step, adds to the previous one on the nearest axis.
    static const Complex kTurn[4] = {{1.0f, 0.0f}, {0.0f, -1.0f}, {-1.0f, 0.0f}, {0.0f, 1.0f}};
    // Until the carrier loop has locked, how well they add at all.
    const bool locked = m_lock >= kLocked;
    std::array<float, 4> branch;
    for (int e = 0; e < 4; ++e) {
        const int k = m_inversion ? (4 - e) & 3 : e;
        const Complex u = locked ? m_prevW + w * kTurn[k] : m_prevZ + z * kTurn[k];
        branch[size_t(e)] = locked ? std::max(std::abs(u.real()), std::abs(u.imag())) : std::abs(u);
    }

    std::array<float, 32> metric;
    std::array<quint32, 32> history;
    for (int j = 0; j < 32; ++j) {
        metric[size_t(j)] = m_metric[size_t(j >> 1)] + branch[size_t(m_expected[size_t(j)])];
        history[size_t(j)] = (m_path[size_t(j >> 1)] << 1) | quint32(j & 1);
    }
    float best = -1e30f;
    int bestState = 0;
    for (int state = 0; state < 16; ++state) {
        const int j = metric[size_t(state)] > metric[size_t(state + 16)] ? state : state + 16;
        m_metric[size_t(state)] = metric[size_t(j)];
        m_path[size_t(state)] = history[size_t(j)];
        if (metric[size_t(j)] > best) {
            best = metric[size_t(j)];
            bestState = state;
        }
    }
    for (float& m : m_metric)
        m -= best;
    // The encoder enters complemented bits: a path bit of 1 is a data 0.
    ReceiveBit((m_path[size_t(bestState)] & kDecisionBit) ? 0 : 1);
}

void CSensitiveRx::report(Complex z)
{
    const float a = std::max(m_amplitude, 1e-3f);
    // The quality figure from the phase steps of the filtered symbols, as
    // the standard decoders measure it. A symbol below a tenth of the level
    // is no signal: the end of a transmission, where the filters' dying
    // tail keeps a steady phase that would pass for a good one. It counts as
    // the worst step (a quarter turn for BPSK, an eighth for QPSK), so that
    // what is decoded from it is never taken for text. BPSK measures it when
    // the symbol is decided again, so that the squelch opens and closes with
    // the characters decoded from the same symbols.
    if (std::abs(z) < kNoSignalShare * a) {
        m_worstStep = !m_worstStep;
        m_quality = {m_worstStep && !m_qpsk ? 0 : 8192, m_worstStep ? 8192 : 0};
    } else {
        m_quality = {int(z.real() / a * 8192.0f), int(z.imag() / a * 8192.0f)};
    }
    if (m_qpsk)
        MeasureQuality(m_quality[0], m_quality[1], 0);

    if (!m_symbolSink)
        return;
    const double di = double(z.real()) * kScopeScale;
    const double dq = double(z.imag()) * kScopeScale;
    const double turn = double(std::arg(z) - std::arg(m_prevZ));
    const qint32 angle = qint32(quint32(qint64(std::llround(turn * 683565275.0))));
    const double power = di * di + dq * dq + 1.0;
    const int amplitude = m_qpsk ? (int(std::log10(power)) - 7) * 100 : std::max(int((std::log10(power) - 3.5) * 100.0), 10);
    m_symbolSink->SymbolReceived(m_channel, angle, amplitude);
}

void CSensitiveRx::MeasureQuality(int i, int q, int)
{
    measureQuality(i, q, m_qpsk ? 4 : 2, m_qpsk ? 30 : 20);
}
