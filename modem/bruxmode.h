// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/modemcommands.h"

#include <QObject>

#include <atomic>
#include <cstdint>
#include <vector>

// The modem class chain every sound-card mode shares.
//
// CBruxCmdTarget: the numeric command interface, Command(code, p1, p2, p3),
// with the codes named in modem/modemcommands.h.
// A result of 0 means "not handled" (or a genuine 0). Each level of the chain
// lets its base answer first and handles a code only when the base said 0.
// Texts travel as const char* in p1 and come back as const char* cast to the
// result, so arguments and results are pointer-sized (intptr_t); plain codes
// and frequencies fit in the low 32 bits.
class CBruxCmdTarget : public QObject
{
    Q_OBJECT
public:
    explicit CBruxCmdTarget(QObject* parent = nullptr);
    ~CBruxCmdTarget() override;

    virtual intptr_t Command(int code, intptr_t p1, intptr_t p2, intptr_t p3);
    // Passes the command to the owner; 0 when there is none.
    virtual intptr_t CommandToOwner(int code, intptr_t p1, intptr_t p2, intptr_t p3);

    CBruxCmdTarget* owner() const { return m_owner.load(std::memory_order_acquire); }

protected:
    void setOwner(CBruxCmdTarget* owner) { m_owner.store(owner, std::memory_order_release); }

private:
    // Read from the audio output thread (reports during transmission).
    std::atomic<CBruxCmdTarget*> m_owner{nullptr};
};

// An abstract mode: adds the user values and the mode-level commands.
class CBruxMode : public CBruxCmdTarget
{
public:
    explicit CBruxMode(QObject* parent = nullptr);

    intptr_t Command(int code, intptr_t p1, intptr_t p2, intptr_t p3) override;
    virtual const char* TextCommand(const char* text) = 0;

protected:
    qint32 m_userA = 0;
    qint32 m_userB = 0;
    qint32 m_profile = 0;
    qint32 m_userC = 0;
};

// The sound-card modem base: sample rates, transmit offset, locks, level and
// the receive ring, which lets the receiver decode recent audio again after a
// retune. All of it lives on the GUI thread except what GenerateTxSamples
// reads on the audio output thread (the level), which is atomic.
class CSoundCardTxRx : public CBruxMode
{
public:
    static constexpr int kRingSize = 2097152;
    static constexpr int kNominalRate = 11025;

    explicit CSoundCardTxRx(QObject* parent = nullptr);
    ~CSoundCardTxRx() override;

    intptr_t Command(int code, intptr_t p1, intptr_t p2, intptr_t p3) override;
    const char* TextCommand(const char* text) override;

    virtual void SetupReset() {}
    virtual void SetupShow() {}
    virtual void SetupClose() {}
    virtual void SetSampleRates(double inputRate, double outputRate);
    virtual void AfcStep() {}
    virtual void ReceiveSamples(const qint16* samples, int count);
    virtual void Unused(qint32, qint32) {}
    virtual int GenerateTxSamples(qint16* out, int count);
    virtual void SetTransmit(int on);
    virtual void Service() {}

    double inputRate() const { return m_inputRate; }
    double outputRate() const { return m_outputRate; }
    int txLevel() const { return m_txLevel.load(std::memory_order_relaxed); }
    int txOffset() const { return m_txOffset; }
    bool txLock() const { return m_txLock != 0; }
    bool rxLock() const { return m_rxLock != 0; }

    // Receive ring, for the transceiver and for tests.
    int ringWriteIndex() const { return m_writeIndex; }
    int ringReadIndex() const { return m_readIndex; }
    int ringFill() const { return m_fill; }

protected:
    // Copies up to max samples from the read index into dst, advancing it.
    int takeFromRing(qint16* dst, int max);
    // Puts the read index `back` samples before the newest one, forwards or
    // backwards, but no further back than the ring holds; returns how far
    // back it now is.
    int setRingReadBack(int back);
    // Copies count samples starting `back` samples before the newest one;
    // samples the ring does not hold (too old, or not yet come) read 0.
    void copyRecent(qint16* dst, int count, int back) const;

    double m_inputRate = 0.0;
    double m_outputRate = 0.0;
    qint32 m_txOffset = 0;
    qint32 m_txLock = 0;
    qint32 m_rxLock = 0;
    std::atomic<qint32> m_txLevel{10000};

private:
    std::vector<qint16> m_ring;
    int m_writeIndex = 0;
    int m_readIndex = 0;
    int m_fill = 0;
};
