// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/pskinterfaces.h"

#include <QChar>
#include <QString>

#include <limits>
#include <memory>

class AfcAcquisition;
class CPskBitDecode;
class CPskRxAlgorithms;
class PskReceiver;

// Where a receive channel's results go.
class ChannelOutput
{
public:
    virtual ~ChannelOutput() = default;
    // A decoded character that passed the squelch.
    virtual void channelChar(QChar ch) = 0;
    // Each symbol's phase change (2^32 per turn) and level, for the scope.
    virtual void channelSymbol(int, int) {}
    // The AFC has moved the receiver to fq.
    virtual void channelFollowed(double) {}
};

// One signal's receive path: the front end that holds the tuning, a
// receiver chosen by name (PskReceivers), the AFC (a coarse stage that finds
// the signal in the received spectrum when it lies beside the receiver, and
// the fine stage that follows the decoder's phase drift, with the drift rate
// it learns), the squelch and the Varicode decoding. No transmitter, no
// ring of audio and no settings: the transceiver holds one, the signal
// bank one per signal. Lives on the thread that feeds it.
class ReceiveChannel : public CPskRecCharDone, public CSymbolReceiver
{
public:
    // Squelch: calls of process() the squelch stays open after the last
    // good quality figure.
    static constexpr int kSquelchHold = 20;

    ReceiveChannel(bool qpsk, int charSet, ChannelOutput* output);
    ~ReceiveChannel() override;
    ReceiveChannel(const ReceiveChannel&) = delete;
    ReceiveChannel& operator=(const ReceiveChannel&) = delete;

    // The receiver by its table name; an unknown name is refused. A
    // receiver chosen starts afresh at the present tuning.
    bool setReceiver(const QString& name);
    QString receiverName() const { return m_receiverName; }
    // BPSK or QPSK: a receiver of the other mode, of the same name.
    void setQpsk(bool qpsk);
    bool isQpsk() const { return m_qpsk; }
    void setInversion(bool on);
    // The character set it decodes in, fixed when it is built.
    int charSet() const { return m_charSet; }

    // Tuning, held by the front end.
    CPskRxAlgorithms& frontEnd() const { return *m_frontEnd; }
    double frequency() const;
    void setFrequency(double fq);
    double baud() const;
    void setBaud(double baud);
    // A rate the front end refuses, or that is not a finite, non-negative
    // number, is not applied (false); the previous one stays.
    bool setSampleRate(double rate);
    double sampleRate() const { return m_inputRate; }

    // The received audio as it arrives, for the AFC's spectrum (which shows
    // the band as it is now even while the receiver decodes older audio).
    void observe(const qint16* samples, int count);
    // Decodes count samples; then the AFC (every fourth call, unless
    // paused) and the squelch.
    void process(const qint16* samples, int count, bool paused);
    void afcStep();
    // The receiver starts afresh (a replay of older audio).
    void restart();

    void setAfc(bool on) { m_afcOn = on ? 1 : 0; }
    bool afc() const { return m_afcOn != 0; }
    qint32 afcValue() const { return m_afcOn; }
    void setAfcValue(qint32 v) { m_afcOn = v; }

    // Squelch: enabled, threshold 0 to 31, open.
    qint32 squelchEnabled() const { return m_squelchEnabled; }
    void setSquelchEnabled(qint32 on) { m_squelchEnabled = on; }
    qint32 squelchThreshold() const { return m_squelchThreshold; }
    void setSquelchThreshold(qint32 t) { m_squelchThreshold = t; }
    qint32 squelchOpen() const { return m_squelchOpen; }
    void setSquelchOpen(qint32 open);
    // While set, the owner squelches by its own rule (the transceiver's
    // squelch by level) and every character goes to the output.
    void setSquelchByOwner(bool on) { m_squelchByOwner = on; }

    // How far (Hz) the AFC may pull the receiver from where it was last
    // tuned by anything else (a click, a typed frequency); 0: no limit.
    void setAfcRange(double hz) { m_afcRange = hz > 0.0 ? hz : 0.0; }
    double afcRange() const { return m_afcRange; }

    // The receiver's decoder: quality (0 to 31), AFC error, zero run.
    CPskBitDecode& decoder() const;
    int quality() const;
    // Level in dB re a full-scale sine of the received spectrum at hz.
    double levelAt(double hz) const;
    // The averaged spectrum of the audio observed, which the AFC reads.
    const AfcAcquisition& spectrum() const { return *m_acquisition; }

    void CharReceived(int channel, QChar ch) override;
    void CodeReceived(int channel, quint16 value) override;
    void SymbolReceived(int channel, int angle, int amplitude) override;

private:
    void updateSquelch();
    bool acquireSignal();
    // Where the AFC may take the receiver: fq, or the edge of its range.
    double withinAfcRange(double fq) const;
    void learnDrift(double hzPerS);
    void moveTo(double fq);

    ChannelOutput* m_output = nullptr;
    bool m_qpsk = false;
    int m_charSet = 0;
    bool m_inversion = false;
    double m_inputRate = 0.0;
    std::unique_ptr<CPskRxAlgorithms> m_frontEnd;
    std::unique_ptr<PskReceiver> m_receiver;
    QString m_receiverName;
    std::unique_ptr<AfcAcquisition> m_acquisition;

    qint32 m_afcOn = 0;
    qint32 m_squelchEnabled = 0;
    qint32 m_squelchThreshold = 15;
    qint32 m_squelchHold = 0;
    qint32 m_squelchOpen = 1;
    bool m_squelchByOwner = false;
    quint32 m_rxBlockCounter = 0;
    // The AFC's learnt drift, the audio since its last step, the time since
    // the coarse stage last moved the receiver (negative: not since the last
    // retune), and where the AFC left the receiver (anything else there is a
    // retune, which ends the drift).
    double m_driftHzPerS = 0.0;
    double m_secondsSinceStep = -1.0;
    qint64 m_afcSamples = 0;
    double m_afcFrequency = 0.0;
    // The AFC's range, and where the receiver was tuned when it began to
    // follow (the frequency a retune left it at).
    double m_afcRange = 0.0;
    double m_afcAnchor = 0.0;
    // Frames the acquisition had analysed at its last judgement.
    quint32 m_acquisitionFrames = 0;
    // A centre found once, waiting for the next judgement to confirm it.
    double m_acquisitionPending = std::numeric_limits<double>::quiet_NaN();
    // Whether the last judgement found a signal near the receiver, how many
    // in a row found none, and whether the signal was lost so since the
    // coarse stage's last step (the step that follows then goes to another
    // signal, not after a drifting one).
    bool m_signalNear = false;
    int m_judgementsWithout = 0;
    int m_judgementsWith = 0;
    double m_followedExcess = 0.0; // the strongest the signal followed has lately been
    bool m_signalLost = false;
};
