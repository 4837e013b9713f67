// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <atomic>

// Transmit DSP: turns the previous and current phase code into samples at the
// output rate, cross-fading them along a raised cosine over each symbol.
//
// Threads: NextSample, reset and the phase codes belong to the audio output
// thread (through the transceiver); the GUI thread sets frequency, rate and
// symbol rate. Those setters only publish new steps through atomics, so a
// retune while a stream runs is safe and phase-continuous.
class CPskTxAlgorithms : public QObject
{
    Q_OBJECT
public:
    explicit CPskTxAlgorithms(QObject* parent = nullptr); // reads "TxFq"
    ~CPskTxAlgorithms() override;

    void setFrequency(double fq);
    void setSampleRate(double rate);
    void setShiftAndBaud(double shift, double baud);
    void reset();

    // One sample; *needSymbol becomes 1 when a new symbol period begins.
    qint16 NextSample(int* needSymbol);

    double frequency() const { return m_frequency.load(std::memory_order_relaxed); }
    double sampleRate() const { return m_sampleRate.load(std::memory_order_relaxed); }
    double symbolRate() const { return m_symbolRate.load(std::memory_order_relaxed); }

    quint16 previousCode() const { return m_prevCode; }
    quint16 currentCode() const { return m_curCode; }
    void setPreviousCode(quint16 c) { m_prevCode = c; }
    void setCurrentCode(quint16 c) { m_curCode = c; }

    // Steps, for tests.
    quint16 centreStep() const { return quint16(m_centreStep.load(std::memory_order_relaxed)); }
    quint32 symbolStep() const { return m_symbolStep.load(std::memory_order_relaxed); }

signals:
    void signalFqChanged(double fq);

private:
    void recompute();

    std::atomic<double> m_frequency{1000.0};
    std::atomic<double> m_sampleRate{0.0};
    std::atomic<double> m_symbolRate{31.25};
    std::atomic<double> m_shift{15.625};
    std::atomic<quint32> m_centreStep{0};
    std::atomic<quint32> m_upperStep{0};
    std::atomic<quint32> m_lowerStep{0};
    std::atomic<quint32> m_symbolStep{0};
    // Audio thread only.
    quint32 m_symbolAcc = 0;
    quint16 m_carrier = 0;
    quint16 m_prevCode = 4;
    quint16 m_curCode = 4;
};
