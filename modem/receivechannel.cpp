// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/receivechannel.h"

#include "core/codepage.h"
#include "modem/afcacquisition.h"
#include "modem/pskdecode.h"
#include "modem/pskreceiver.h"
#include "modem/pskrxalgorithms.h"

#include <algorithm>
#include <cmath>

namespace {

// AFC: the decoder's accumulator is in 2^32 per turn per symbol, scaled by
// its averaging; this turns it into Hz at the reference rate.
constexpr double kAfcScale = 47161840.0;

// The fine AFC steers from the phase drift per symbol, which it reads
// unambiguously within a quarter turn for BPSK (the decision removes the
// reversals) and an eighth for QPSK (the quarter turns): a quarter or an
// eighth of the symbol rate in Hz. The coarse stage retunes when a signal's
// centre lies more than a sixteenth of the symbol rate away, so it hands
// over well inside the range the fine stage holds; but never for less than
// a few hertz, which the spectrum cannot place a weak signal more closely
// than, so that it leaves centred signals alone.
constexpr double kAcquireShare = 1.0 / 16.0;
constexpr double kAcquireMinHz = 3.5;
// Drift: the phase steering alone lags a signal whose frequency moves by a
// few hertz a second, and the coarse stage then pulls the receiver back and
// forth after it. So the AFC also learns the rate at which the signal moves,
// from its own corrections and from the coarse stage's steps (a step's
// length over the time since the last one), and moves the receiver at that
// rate between them. It learns and moves only while the spectrum shows a
// signal near the receiver, so noise cannot send the receiver wandering, and
// the rate forgets itself within about a minute.
constexpr double kDriftGain = 0.08;
constexpr double kDriftStepGain = 1.0;
constexpr double kDriftMinStepSeconds = 4.0;
constexpr double kDriftMemorySeconds = 60.0;
constexpr double kMaxDriftHzPerS = 3.0;
// About 0.4 s of audio between judgements (frames come every 93 ms at
// 11025 Hz).
constexpr quint32 kAcquireEveryFrames = 4;
// A signal that the judgements miss this many times in a row (over a
// second) has gone; a weak one that only dips below for a moment has not.
constexpr int kLostJudgements = 3;
constexpr double kNoPendingCentre = std::numeric_limits<double>::quiet_NaN();
// At the bottom of a fade the signal's phase turns fast and its spectrum
// smears sideways, so for a moment the judgements find its centre a few
// hertz off while it is weak. A centre elsewhere counts only when it is
// no more than kFadeDepth (in power) below the strongest the signal
// followed has lately been; that memory fades by kFadeForgetDbPerS, and a
// judgement that finds no signal at all (the one followed has gone)
// empties it.
constexpr double kFadeDepth = 10.0;
constexpr double kFadeForgetDbPerS = 1.0;
// Nor does a signal that has just begun move the receiver by less than an
// eighth of its symbol rate, which the fine stage pulls in by itself: a
// key-up's reversals are two lines either side of the carrier, which a
// fade makes unequal, so the first judgements of a fresh signal may place
// it a few hertz off. (One tuned further off is taken at once.)
constexpr int kSettleJudgements = 5;
constexpr double kFreshShare = 1.0 / 8.0;

} // namespace

ReceiveChannel::ReceiveChannel(bool qpsk, int charSet, ChannelOutput* output)
    : m_output(output)
    , m_qpsk(qpsk)
    , m_charSet(charSet)
    , m_frontEnd(std::make_unique<CPskRxAlgorithms>())
    , m_acquisition(std::make_unique<AfcAcquisition>())
{
    setReceiver(PskReceivers::standardName());
}

ReceiveChannel::~ReceiveChannel() = default;

bool ReceiveChannel::setReceiver(const QString& name)
{
    if (m_receiver && name == m_receiverName)
        return true;
    std::unique_ptr<PskReceiver> receiver = PskReceivers::make(name, m_qpsk);
    if (!receiver)
        return false;
    m_receiver = std::move(receiver);
    m_receiverName = name;
    m_receiver->setOutputs(this, this, m_charSet);
    m_receiver->attach(*m_frontEnd);
    m_receiver->setInversion(m_inversion);
    return true;
}

void ReceiveChannel::setQpsk(bool qpsk)
{
    if (qpsk == m_qpsk)
        return;
    m_qpsk = qpsk;
    m_receiver.reset();
    setReceiver(m_receiverName);
}

void ReceiveChannel::setInversion(bool on)
{
    m_inversion = on;
    m_receiver->setInversion(on);
}

double ReceiveChannel::frequency() const
{
    return m_frontEnd->frequency();
}

void ReceiveChannel::setFrequency(double fq)
{
    m_frontEnd->setFrequency(fq);
}

double ReceiveChannel::baud() const
{
    return m_frontEnd->symbolRate();
}

void ReceiveChannel::setBaud(double baud)
{
    m_frontEnd->SetBaud(baud);
}

bool ReceiveChannel::setSampleRate(double rate)
{
    const bool usable = std::isfinite(rate) && rate >= 0.0;
    const bool accepted = usable && m_frontEnd->setSampleRate(rate);
    if (accepted)
        m_inputRate = rate;
    // A new rate starts the spectrum afresh; the same rate again keeps it.
    if (m_acquisition->sampleRate() != m_inputRate)
        m_acquisition->setSampleRate(m_inputRate);
    return accepted;
}

void ReceiveChannel::observe(const qint16* samples, int count)
{
    if (samples && count > 0)
        m_acquisition->addSamples(samples, count);
}

void ReceiveChannel::process(const qint16* samples, int count, bool paused)
{
    m_receiver->process(samples, count, *m_frontEnd);
    if (m_afcOn && !paused) {
        m_afcSamples += count;
        ++m_rxBlockCounter;
        if ((m_rxBlockCounter & 3) == 0)
            afcStep();
    } else {
        // A centre seen before the AFC was switched off or a transmission
        // began is old news and confirms nothing afterwards.
        m_acquisitionPending = kNoPendingCentre;
    }
    updateSquelch();
}

void ReceiveChannel::restart()
{
    // The filters, the symbol clock and the half-assembled character belong
    // to other audio.
    m_frontEnd->reset();
    m_receiver->restart();
    decoder().setAfcAccumulator(0);
    m_acquisitionPending = kNoPendingCentre;
}

void ReceiveChannel::moveTo(double fq)
{
    m_frontEnd->setFrequency(fq);
    if (m_output)
        m_output->channelFollowed(fq);
}

void ReceiveChannel::setSquelchOpen(qint32 open)
{
    m_squelchOpen = open;
    m_squelchHold = open ? kSquelchHold : 0;
}

CPskBitDecode& ReceiveChannel::decoder() const
{
    return m_receiver->decoder();
}

int ReceiveChannel::quality() const
{
    return decoder().quality();
}

double ReceiveChannel::levelAt(double hz) const
{
    return m_acquisition->levelAt(hz);
}

void ReceiveChannel::afcStep()
{
    const double seconds = m_afcSamples / std::max(m_inputRate, 1.0);
    m_afcSamples = 0;
    if (frequency() != m_afcFrequency) { // tuned elsewhere since the last step
        m_afcAnchor = frequency();
        m_followedExcess = 0.0;
        m_driftHzPerS = 0.0;
        m_secondsSinceStep = -1.0;
        m_signalLost = false;
        m_judgementsWithout = 0;
    }
    m_driftHzPerS *= 1.0 - std::min(1.0, seconds / kDriftMemorySeconds);
    if (m_secondsSinceStep >= 0.0)
        m_secondsSinceStep += seconds;
    const double before = frequency();
    if (acquireSignal()) {
        // A signal found after the one followed had gone (a strong carrier
        // has ended, a weak station answers beside it) says nothing of a
        // drift, and the drift learnt belonged to the one gone.
        if (m_signalLost)
            m_driftHzPerS = 0.0;
        else if (m_secondsSinceStep >= kDriftMinStepSeconds)
            learnDrift(kDriftStepGain * (frequency() - before) / m_secondsSinceStep);
        m_secondsSinceStep = 0.0;
        m_signalLost = false;
    } else if (seconds > 0.0) {
        const qint32 a = decoder().afcAccumulator();
        const double correction = -a / kAfcScale / 10.0;
        decoder().setAfcAccumulator(a / 2);
        if (m_signalNear)
            learnDrift(kDriftGain * correction / seconds);
        const double wanted = before + correction + (m_signalNear ? m_driftHzPerS * seconds : 0.0);
        const double fq = withinAfcRange(wanted);
        if (fq != wanted)
            m_driftHzPerS = 0.0; // at the edge: a drift learnt would only push on
        moveTo(fq);
    }
    m_afcFrequency = frequency();
}

double ReceiveChannel::withinAfcRange(double fq) const
{
    if (m_afcRange <= 0.0)
        return fq;
    return std::clamp(fq, m_afcAnchor - m_afcRange, m_afcAnchor + m_afcRange);
}

void ReceiveChannel::learnDrift(double hzPerS)
{
    m_driftHzPerS = std::clamp(m_driftHzPerS + hzPerS, -kMaxDriftHzPerS, kMaxDriftHzPerS);
}

bool ReceiveChannel::acquireSignal()
{
    // Judgements are spaced by audio, not by calls: however the input is cut
    // into blocks, two in a row then rest on mostly different frames.
    const quint32 frames = m_acquisition->frameCount();
    if (frames - m_acquisitionFrames < kAcquireEveryFrames)
        return false;
    // Frames overlap by half.
    const double seconds = (frames - m_acquisitionFrames) * 0.5 * m_acquisition->frameSize() / m_acquisition->sampleRate();
    m_acquisitionFrames = frames;

    const double fq = frequency();
    const double b = baud();
    const double threshold = std::max(kAcquireMinHz, kAcquireShare * b);
    double centre = 0.0;
    double excess = 0.0;
    m_signalNear = m_acquisition->findCentre(fq, b, &centre, &excess);
    m_judgementsWithout = m_signalNear ? 0 : m_judgementsWithout + 1;
    m_judgementsWith = m_signalNear ? std::min(m_judgementsWith + 1, kSettleJudgements) : 0;
    m_signalLost = m_signalLost || m_judgementsWithout >= kLostJudgements;
    m_followedExcess = m_signalNear ? m_followedExcess * std::pow(10.0, -kFadeForgetDbPerS * seconds / 10.0) : 0.0;
    if (m_signalNear && std::abs(centre - fq) <= threshold)
        m_followedExcess = std::max(m_followedExcess, excess);
    // A signal beyond the AFC's range is not the one the operator tuned to.
    if (!m_signalNear || std::abs(centre - fq) <= threshold || withinAfcRange(centre) != centre
        || excess * kFadeDepth < m_followedExcess
        || (m_judgementsWith < kSettleJudgements && std::abs(centre - fq) <= kFreshShare * b)) {
        m_acquisitionPending = kNoPendingCentre;
        return false;
    }
    // A weak signal's spectrum can look lopsided for a moment; two judgements
    // in a row that agree are a signal that really lies elsewhere.
    if (!(std::abs(centre - m_acquisitionPending) <= threshold)) {
        m_acquisitionPending = centre;
        return false;
    }
    m_acquisitionPending = kNoPendingCentre;
    // The drift the decoder has gathered belongs to the old frequency.
    decoder().setAfcAccumulator(0);
    moveTo(centre);
    m_followedExcess = excess;
    return true;
}

void ReceiveChannel::updateSquelch()
{
    const bool good = quality() >= 31 - m_squelchThreshold;
    if (m_squelchHold == 0)
        m_squelchOpen = 0;
    else
        --m_squelchHold;
    if (good) {
        m_squelchOpen = 1;
        m_squelchHold = kSquelchHold;
    }
}

void ReceiveChannel::CharReceived(int, QChar ch)
{
    if (m_squelchEnabled && !m_squelchOpen && !m_squelchByOwner)
        return;
    if (m_output)
        m_output->channelChar(ch);
}

void ReceiveChannel::CodeReceived(int, quint16 value)
{
    if (m_squelchEnabled && !m_squelchOpen && !m_squelchByOwner)
        return;
    // Byte values are shown as Latin-1; a double-byte value goes through the
    // local code page, which mostly has no byte for it and shows '?'.
    const quint8 byte = value < 256 ? quint8(value) : CodePage::toByte(QChar(value));
    if (m_output)
        m_output->channelChar(QChar::fromLatin1(char(byte)));
}

void ReceiveChannel::SymbolReceived(int, int angle, int amplitude)
{
    if (m_output)
        m_output->channelSymbol(angle, amplitude);
}
