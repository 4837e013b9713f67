// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <array>

class CPskBitDecode;

// Receive DSP: mixes the input down at the receive frequency with a 16-bit
// NCO, low-passes with two cascaded moving sums, decimates to 16 samples per
// symbol, runs a fixed 64-tap FIR and recovers the symbol clock from the phase
// transitions; each symbol's filtered I/Q and a coarse level go to the symbol
// decoder. Integer arithmetic after the mixer. Lives on the thread of the
// channel that owns it (the GUI thread, or the signal bank's worker).
class CPskRxAlgorithms : public QObject
{
    Q_OBJECT
public:
    // The moving sums hold 128 values: a rate needs N = (250 + rate) / 500
    // of them, so rates from this one up are refused.
    static constexpr double kMaxSampleRate = 64250.0;

    explicit CPskRxAlgorithms(QObject* parent = nullptr); // at 1000 Hz; reads no settings
    ~CPskRxAlgorithms() override;

    virtual void SetBaud(double baud);
    void setFrequency(double fq);
    // Refuses (returns false, changes nothing) a rate of kMaxSampleRate or
    // more, a negative rate and NaN.
    bool setSampleRate(double rate);
    void reset();
    void setSymbolSink(CPskBitDecode* sink) { m_sink = sink; }
    void ProcessSamples(const qint16* samples, int count);

    double frequency() const { return m_frequency; }
    double sampleRate() const { return m_sampleRate; }
    double symbolRate() const { return m_symbolRate; }

    // Internals exposed for tests.
    quint16 ncoStep() const { return m_ncoStep; }
    quint16 decimationStep() const { return m_decStep; }
    quint16 symbolStep() const { return m_symStep; }
    int movingSumLength() const { return m_n; }
    int timingCorrection() const { return m_correction; }
    // Candidate symbol clock (before the pull) at the last detected transition.
    int lastTransitionClock() const { return m_lastTransitionClock; }

signals:
    void signalFqChanged(double fq);

private:
    void decimatedSample();
    void setMovingSumLength(int n);

    CPskBitDecode* m_sink = nullptr;
    double m_frequency = 1000.0;
    double m_sampleRate = 0.0;
    double m_symbolRate = 31.25;
    int m_decimatedRate = 500;
    quint16 m_ncoPhase = 0;
    quint16 m_ncoStep = 0;
    quint16 m_decClock = 0;
    quint16 m_decStep = 0;
    int m_n = 0;
    int m_k = 0;
    qint32 m_sumI1 = 0, m_sumI2 = 0, m_sumQ1 = 0, m_sumQ2 = 0;
    std::array<qint32, 128> m_bufI1{}, m_bufI2{}, m_bufQ1{}, m_bufQ2{};
    std::array<qint32, 64> m_histI{}, m_histQ{};
    int m_firIndex = 0;
    quint16 m_symClock = 0;
    quint16 m_symStep = 4096;
    int m_correction = 0;
    int m_sinceTransition = 0;
    qint64 m_prevU = 0, m_prevV = 0;
    quint8 m_transitionSeen = 0;
    int m_lastTransitionClock = 0;
};
