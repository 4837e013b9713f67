// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/pskdecode.h"

#include <array>
#include <complex>
#include <vector>

class CPskRxAlgorithms;

// The sensitive receiver: a second receive chain, beside the standard one
// (CPskRxAlgorithms with CBpskDecode or CQpskDecode), that copies signals a
// few dB weaker. It takes the received samples itself and reports through
// the same outputs as the standard decoders (characters through the
// Varicode word assembly, the phase-scope vector, the quality figure for the
// squelch, the AFC accumulator and the run of zero bits), so the transceiver
// reads it like a decoder.
//
// The chain, in floating point:
// - a complex mixer at the receive frequency and a windowed-sinc low-pass
//   that decimates to 16 to 32 samples per symbol;
// - a filter matched to the transmitter's pulse (a raised cosine two symbols
//   long), and a three-tap equaliser at the symbol rate that removes the
//   sixth of each neighbour that the overlapping pulses leave behind;
// - symbol timing from the energy of the matched filter's output over the
//   whole symbol (its circular mean over the symbol period);
// - a decision-directed phase-locked loop, helped by a frequency-locked loop
//   while it pulls in, that tracks the carrier coherently;
// - BPSK: each symbol decided against the best of several forecasts of the
//   channel from the symbols before it (from the last symbol alone to some
//   twenty-five, some following the trend through a fade), of the fixed
//   equaliser's symbols or of those of one whose neighbour taps adapt to
//   the channel; each decided again kLookAhead symbols later, against the
//   channel measured on both sides of it, the decisions decoded
//   differentially;
// - QPSK: the phase steps as soft values into a 16-state Viterbi decoder;
//   until the loop has locked (a fresh signal, a retune) the change between
//   the received symbols decides.
// The frequency, sample rate and symbol rate are those of the standard
// receive DSP, which stays the one place that holds them.
class CSensitiveRx : public CBpskDecode
{
public:
    explicit CSensitiveRx(bool qpsk);

    // Runs count samples through the chain with the frequency, sample rate
    // and symbol rate that dsp holds now. A retune of a few hertz (the AFC)
    // keeps the carrier loop locked; a larger one starts it afresh.
    void process(const qint16* samples, int count, const CPskRxAlgorithms& dsp);

    void ReceiveSymbol(int, int, int) override {}
    void Reset() override;
    void MeasureQuality(int i, int q, int level) override;

    void setInversion(bool on) { m_inversion = on; }

    // BPSK decides each symbol a second time this many symbols later (see
    // decideAgain()), which delays its characters as long; QPSK's Viterbi
    // decoder decides kDecisionDelay symbols back, the longer of the two.
    static constexpr int kLookAhead = 16;
    static constexpr int kDecisionDelay = 24;
    bool isQpsk() const { return m_qpsk; }

private:
    using Complex = std::complex<float>;

    void configure(double sampleRate, double baud);
    void retune(double frequency);
    void decimated(Complex x);
    void symbol(Complex y);
    void decide(Complex z, Complex adapted);
    void bpskBits(Complex w, Complex wAdapted, Complex derotate);
    void decideAgain();
    void frame(float d);
    void qpskStep(Complex w, Complex z);
    void report(Complex z);

    bool m_qpsk = false;
    bool m_inversion = false;

    // Set-up the filters were built for.
    double m_sampleRate = 0.0;
    double m_baud = 0.0;
    double m_frequency = 0.0;
    bool m_tuned = false;

    // Mixer.
    double m_ncoPhase = 0.0;
    double m_ncoStep = 0.0;

    // Decimating low-pass: a ring of mixed samples, doubled so that the
    // newest taps always lie in one run.
    int m_decimation = 1;
    int m_decCount = 0;
    std::vector<float> m_lowPass;
    std::vector<Complex> m_lpRing;
    int m_lpPos = 0;

    // Matched filter at the decimated rate, the same doubled ring.
    std::vector<float> m_matched;
    std::vector<Complex> m_mfRing;
    int m_mfPos = 0;

    // Symbol clock: phase within the symbol (0 to 1) of the newest
    // decimated sample, its step, the energy's circular mean and the
    // previous output and its phase offset from the sampling instant.
    double m_samplesPerSymbol = 16.0;
    double m_symPhase = 0.0;
    Complex m_energyMean{0.0f, 0.0f};
    float m_energyLeak = 0.0f;
    float m_leastAmplitude = 0.0f;
    std::array<Complex, 16> m_turn{};
    Complex m_prevY{0.0f, 0.0f};
    double m_prevOffset = 0.0;
    int m_sinceSymbol = 0;

    // Equaliser: the two last matched-filter symbols.
    Complex m_y1{0.0f, 0.0f}, m_y2{0.0f, 0.0f};
    // The adaptive equaliser's neighbour taps and the neighbours of the
    // symbol being decided.
    Complex m_tapOld{0.0f, 0.0f}, m_tapNew{0.0f, 0.0f};
    Complex m_eqOld{0.0f, 0.0f}, m_eqNew{0.0f, 0.0f};
    int m_symbolsSeen = 0;

    // Carrier loop (radians, per symbol) and levels.
    float m_phase = 0.0f;
    float m_freq = 0.0f;
    float m_amplitude = 0.0f;
    float m_fastAmplitude = 0.0f;
    int m_lowSymbols = 0;
    Complex m_prevZ{0.0f, 0.0f};
    Complex m_fll{0.0f, 0.0f};
    float m_lock = 0.0f;
    // BPSK's lock: averages of the symbols' alignment and of their strength
    // (both against the level).
    float m_lockAlign = 0.0f;
    float m_lockStrength = 1.0f;

    // BPSK: forecasts of the channel (the symbol with the modulation taken
    // off) with short to long memories, some following its trend, the
    // trends, how well each has foretold the symbols (each for the fixed
    // and for the adaptive equaliser), and the previous decision against
    // the best.
    static constexpr int kEstimates = 8;
    static constexpr size_t kEqualisers = 2;
    std::array<std::array<Complex, kEstimates>, kEqualisers> m_estimate{};
    std::array<std::array<Complex, kEstimates>, kEqualisers> m_trend{};
    std::array<std::array<float, kEstimates>, kEqualisers> m_misfit{};
    float m_prevD = 1.0f;
    bool m_framed = false;
    bool m_worstStep = false;
    int m_prevBit = 1;
    // BPSK's second look: each symbol decided again once the symbols after
    // it have come, against the channel measured on both sides of it over
    // so many symbols each way (the span that has fitted best lately
    // decides). Across the bottom of a fade the channel turns along a
    // nearly straight line, and the mean of the symbols on both sides lies
    // on it, where a forecast from one side has to guess the turn.
    static constexpr std::array<int, 3> kHalfSpans = {2, 4, kLookAhead};
    // The last 2 kLookAhead + 1 symbols of both equalisers, each with the
    // forecasts' decision and its second one, the level it was measured
    // against, whether a new signal began with it, its input to the quality
    // figure and whether the carrier loop was locked; and how well the
    // channel measured on both sides of a symbol over each span has fitted
    // it lately.
    struct Held
    {
        std::array<Complex, kEqualisers> w{};
        float forecast = 1.0f;
        float decided = 1.0f;
        float a2 = 1.0f;
        bool restart = false;
        std::array<int, 2> quality{};
        bool locked = false;
    };
    std::array<Held, 2 * kLookAhead + 1> m_held{};
    int m_heldPos = 0;
    int m_heldCount = 0;
    bool m_restarted = false;
    // The newest symbol's input to the quality figure.
    std::array<int, 2> m_quality{};
    std::array<std::array<float, kHalfSpans.size()>, kEqualisers> m_spanMisfit{};

    // QPSK: previous coherent symbol and the Viterbi decoder (metrics are
    // correlations, larger is better).
    Complex m_prevW{0.0f, 0.0f};
    std::array<int, 32> m_expected{};
    std::array<float, 16> m_metric{};
    std::array<quint32, 16> m_path{};
};
