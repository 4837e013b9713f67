// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <array>

class CPskRecCharDone;
class CSymbolReceiver;

// Symbol decoders: one filtered I/Q value per symbol in, decided bits through
// the Varicode word assembly out as characters. They also keep the signal
// quality (0-31) for the squelch, the AFC accumulator and the run of zero
// bits for the transceiver. On the thread of the channel that owns them;
// the 8-bit table they share is a constant.
class CPskBitDecode
{
public:
    CPskBitDecode();
    virtual ~CPskBitDecode();

    // Varicode word assembly; decided characters go to the character sink.
    virtual void ReceiveBit(int bit) = 0;
    virtual void ReceiveSymbol(int i, int q, int level) = 0;
    virtual void Reset() = 0;
    virtual void MeasureQuality(int i, int q, int level) = 0;

    void setCharSink(CPskRecCharDone* sink) { m_charSink = sink; }
    void setSymbolSink(CSymbolReceiver* sink) { m_symbolSink = sink; }
    void setCharSet(int set) { m_charSet = set; }
    int charSet() const { return m_charSet; }

    int quality() const { return m_quality; }
    qint32 afcAccumulator() const { return m_afc; }
    void setAfcAccumulator(qint32 a) { m_afc = a; }
    int zeroRun() const { return m_zeroRun; }

protected:
    int m_quality = 0;
    qint32 m_afc = 0;
    qint32 m_prevPhase = 0;
    quint16 m_prevAngle = 0;
    int m_qualitySum = 0;
    int m_qualityCount = 0;
    int m_zeroRun = 0;
    bool m_prevSilent = true; // no symbol before the first
    quint16 m_channel = 0;
    quint32 m_register = 0;
    int m_charSet = 0;
    CPskRecCharDone* m_charSink = nullptr;
    CSymbolReceiver* m_symbolSink = nullptr;
};

// BPSK: differential phase detection with a drift-compensated decision.
class CBpskDecode : public CPskBitDecode
{
public:
    void ReceiveBit(int bit) override;
    void ReceiveSymbol(int i, int q, int level) override;
    void Reset() override;
    void MeasureQuality(int i, int q, int level) override;

    // 16-bit angle of a vector (65536 per turn) without floating point.
    static quint16 integerAngle(int i, int q);

protected:
    // Shared quality measure: fold = 2 (BPSK) or 4 (QPSK), period 20 or 30.
    void measureQuality(int i, int q, int fold, int period);
};

// QPSK: 16-state Viterbi decoder over the hard-decided phase changes.
class CQpskDecode : public CBpskDecode
{
public:
    CQpskDecode();
    void ReceiveSymbol(int i, int q, int level) override;
    void Reset() override;
    void MeasureQuality(int i, int q, int level) override;

    void setInversion(bool on) { m_inversion = on; }
    bool inversion() const { return m_inversion; }

private:
    void resetTrellis();
    qint32 m_prevA = 0, m_prevB = 0;
    std::array<int, 32> m_expected{};
    std::array<qint32, 16> m_metric{};
    std::array<quint32, 16> m_path{};
    bool m_inversion = false;
};
