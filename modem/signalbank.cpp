// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/signalbank.h"

#include "modem/afcacquisition.h"
#include "modem/carrierpower.h"
#include "modem/pskrxalgorithms.h"
#include "modem/pskreceiver.h"
#include "modem/receivechannel.h"
#include "modem/signalquality.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <cmath>
#include <complex>
#include <limits>

namespace {
// Audio between judgements, and kept for a new signal's channel.
constexpr double kJudgeSeconds = 0.5;
constexpr double kHistorySeconds = 10.0;
// A new signal's channel decodes the history at once; on a full band
// the rest wait for the next judgements, so the window never stands still
// long (four starts take about 20 ms).
constexpr int kMaxStartsPerJudgement = 4;
// A carrier stands this far (dB) above the noise floor over its width.
constexpr double kThresholdDb = 6.0;
// Share of the smoothed power that three neighbouring bins may hold before
// the peak counts as an unmodulated carrier.
constexpr double kToneShare = 0.8;
// Noise floor: this quantile of the band's bins (signals fill the top).
constexpr double kNoiseQuantile = 0.3;
constexpr int kBlock = 1024;
// Squelch: text counts while the decoder's quality (0 to 31) is at least
// this. What it decodes in a dip of the quality is held back, and kept when
// the quality comes back, as long as the dip is shorter than this many
// symbols or the detector still sees the carrier; so a fade, or a drifting
// signal the AFC is still catching, costs no text, and what the decoder
// makes of the noise after a transmission, or before one, is never shown.
// A character counts only once the quality has stayed good this many symbols
// after it, as the quality, an average, lags the end of a signal.
constexpr int kGoodQuality = 16;
constexpr double kDipSymbols = 150.0;
constexpr double kConfirmSymbols = 32.0;
// At the end of an over the quality takes about this many symbols to fall.
constexpr double kEndSymbols = 12.0;
constexpr qint64 kNever = std::numeric_limits<qint64>::min() / 2;
// The least noise floor (power re a full-scale sine, -100 dB): below it lie
// only rounding and the spread of a key click over silence.
constexpr double kMinNoise = 1e-10;
// A signal falls off to a quarter of its peak (6 dB) within two symbol rates
// on at least one side; a broad hump of noise or a click does not.
// Between two neighbours 50 Hz away a signal falls off less, but on both
// sides: by half (3 dB) or more within two symbol rates.
constexpr double kValleyShare = 0.25;
constexpr double kBetweenShare = 0.55;
// The detector's spectrum is averaged over about this long, so when it no
// longer shows a carrier, what was decoded this long before is already
// from the quiet.
constexpr double kQuietLagSeconds = 1.0;
// Whether a carrier is there now: its power (CarrierPower), over half a
// second, this many times (3 dB) the power one and a half symbol rates
// beside it, or the band's noise floor where neighbours stand on both sides.
// Neighbours stand there about 50 Hz away, the closest a crowded band packs
// them: of their power beside the carrier, less than a hundredth (20 dB)
// leaks through the filter at the carrier.
constexpr double kSideSymbols = 1.5;
constexpr double kNeighbourLeak = 0.01;
// A channel that has moved this far (3 Hz at 31.25 baud) while the audio
// kept holds its start is started again where it went.
constexpr double kRetuneSymbolRates = 0.1;
constexpr double kPresentRatio = 2.0;
// The detector's spectrum: Hann-windowed frames, powers scaled by 4 / N^2
// and given relative to a full-scale sine (32768^2 / 4); white noise of
// variance v shows as 1.5 v / N in every bin.
constexpr double kSpectrumFullScale = 32768.0 * 32768.0 / 4.0;
constexpr double kHannNoiseGain = 1.5;
// A carrier may be a signal of another speed, which a channel would only
// make garbage of. Its speed shows in the audio kept: mixed down and
// averaged over a symbol of a rate (twice, for a filter that keeps the
// neighbours out), a PSK signal of that rate has its power dip at every
// phase reversal, a line at the symbol rate in the power's spectrum, over
// the last kSpeedSeconds. The carrier is taken for the mode's when that
// line is stronger by kSpeedMargin at the mode's rate than at any other
// rate of the mode table (BPSK31's line at 31.25 Hz is some four to ten
// times its line at 62.5 Hz, BPSK63's at 62.5 Hz five times its line at
// 31.25 Hz; a hump of several neighbours shows lines at many rates). One
// that is not is looked at again only after kHistorySeconds.
constexpr double kSpeedMargin = 2.0;
constexpr double kSpeedSeconds = 4.0;
constexpr double kOtherSpeedRecheckSeconds = kHistorySeconds;
// BPSK and QPSK of one speed are told apart by their phase changes: QPSK
// text turns the phase by a quarter in about half its symbols, BPSK never
// (its idle and its text alike). A channel has seen quarter turns when this
// share of the last kTurnWindow symbols of its signal were (BPSK's share at
// -15 dB is about a tenth). A BPSK channel that sees them is following a QPSK
// signal and is left out; a QPSK channel's text counts only once it has seen
// them, so a BPSK signal (or a QPSK one that only idles) never shows in QPSK.
constexpr int kTurnWindow = 64;
constexpr int kQuarterTurns = 20;
// QPSK text turns a quarter in about half its symbols; a QPSK receiver on a
// BPSK signal in noise reaches the threshold above at most.
constexpr double kQpskShare = 0.4;
constexpr double kStrongSymbol = 60.0;     // 6 dB, in hundredths of a decade
constexpr double kTurnSnrDb = -15.0;
constexpr double kPeakFallPerSecond = 20.0; // 2 dB a second
} // namespace

struct SignalBank::Entry : ChannelOutput
{
    // Keeps what the channel decodes while the quality or the detector
    // vouches for the signal.
    void channelChar(QChar c) override
    {
        if (c.isNull())
            return;
        if ((channel->quality() >= kGoodQuality || bank->holding(*this)) && held.size() < kMaxText) {
            held += c;
            heldAt.push_back(fed);
        }
    }
    void channelSymbol(int angle, int level) override { bank->countTurn(*this, angle, level); }

    SignalBank* bank = nullptr;
    int id = 0;
    std::unique_ptr<ReceiveChannel> channel;
    QString text;
    QString held; // decoded but not yet confirmed by the quality
    std::vector<qint64> heldAt; // the samples fed before each held character
    qint64 fed = 0; // samples given to the channel
    qint64 goodUntil = kNever; // where the quality was last good
    qint64 start = 0; // samples of audio fed to the bank before its first one
    bool missed = false; // the last judgement found no carrier
    bool quiet = false;  // nor did the one before: the signal has gone
    bool present = false; // the last judgement found its carrier
    qint64 lineBreakAt = -1; // where an over ended (in `fed`), if text may follow
    double lastSeen = 0.0;
    double lastHeard = 0.0;
    double heardFrom = 0.0;
    double snrDb = 0.0;
    std::array<bool, kTurnWindow> turns{}; // whether each of the last symbols turned a quarter
    int turnsSeen = 0;
    int quarters = 0;
    bool quarterTurns = false;
    int mostQuarters = 0; // the most quarter turns in a window of kTurnWindow
    double peakLevel = -1e9; // of its symbols, falling slowly
    bool replaying = false;  // decoding the audio from before it was found
    double tunedTo = 0.0;    // where its channel started
    bool retuned = false;    // started again where its channel went
};

SignalBank::SignalBank(QObject* parent)
    : QObject(parent)
    , m_modeName(PskModes::standard().displayName())
    , m_spectrum(std::make_unique<AfcAcquisition>())
{
    clear();
}

SignalBank::~SignalBank() = default;

void SignalBank::setMode(const PskMode& mode)
{
    m_qpsk = mode.qpsk;
    m_baudHundredths = std::max(mode.baudHundredths, 1);
    m_modeName = mode.displayName();
    clear();
}

void SignalBank::setSampleRate(double rate)
{
    if (!(rate >= kMinRate && rate < CPskRxAlgorithms::kMaxSampleRate) || rate == m_rate)
        return;
    m_rate = rate;
    clear();
}

void SignalBank::setSensitive(bool on)
{
    if (on == m_sensitive)
        return;
    m_sensitive = on;
    for (auto& e : m_entries)
        e->channel->setReceiver(receiverName());
}

void SignalBank::setCharSet(int set)
{
    m_charSet = set;
}

QString SignalBank::receiverName() const
{
    return m_sensitive ? QStringLiteral("sensitive") : PskReceivers::standardName();
}

void SignalBank::clear()
{
    m_entries.clear();
    m_candidates.clear();
    m_otherSpeed.clear();
    m_noisePerBin = m_noiseFloorPerBin = 0.0;
    m_spectrum->setSampleRate(m_rate);
    m_history.assign(size_t(kHistorySeconds * m_rate), 0);
    m_historyHead = 0;
    m_samples = 0;
    m_nextJudgement = qint64(kJudgeSeconds * m_rate);
    emit changed();
}

void SignalBank::feed(const qint16* samples, int count)
{
    while (count > 0) {
        const int n = std::min(count, kBlock);
        m_spectrum->addSamples(samples, n);
        for (auto& e : m_entries)
            receive(*e, samples, n);
        for (int i = 0; i < n; ++i) {
            m_history[m_historyHead] = samples[i];
            if (++m_historyHead == m_history.size())
                m_historyHead = 0;
        }
        m_samples += n;
        samples += n;
        count -= n;
        if (m_samples >= m_nextJudgement) {
            m_nextJudgement += qint64(kJudgeSeconds * m_rate);
            judge();
        }
    }
}

void SignalBank::skip(int count)
{
    if (count <= 0)
        return;
    // The history keeps its place in time, with quiet where nothing came.
    for (int i = 0; i < std::min<qint64>(count, qint64(m_history.size())); ++i) {
        m_history[m_historyHead] = 0;
        if (++m_historyHead == m_history.size())
            m_historyHead = 0;
    }
    m_historyHead = size_t((m_historyHead + size_t(std::max<qint64>(0, count - qint64(m_history.size())))) % m_history.size());
    m_samples += count;
    for (auto& e : m_entries)
        e->start += count; // their audio resumes at the new time
    while (m_nextJudgement <= m_samples)
        m_nextJudgement += qint64(kJudgeSeconds * m_rate);
}

void SignalBank::finish()
{
    const std::vector<qint16> silence(size_t(8 * m_rate * 100 / m_baudHundredths), 0);
    for (auto& e : m_entries)
        for (size_t i = 0; i < silence.size(); i += kBlock)
            receive(*e, silence.data() + i, int(std::min<size_t>(kBlock, silence.size() - i)));
}

void SignalBank::receive(Entry& e, const qint16* samples, int count)
{
    e.channel->observe(samples, count);
    e.channel->process(samples, count, false);
    e.fed += count;
    if (e.channel->quality() >= kGoodQuality) {
        // With its carrier gone, a good quality is its neighbours' leaking
        // in, or the start of its next over: held until the carrier is back.
        e.goodUntil = e.fed;
        if (!e.quiet)
            confirm(e, e.fed - symbolsToSamples(kConfirmSymbols));
    } else if (!holding(e)) {
        e.held.clear();
        e.heldAt.clear();
    }
}

void SignalBank::countTurn(Entry& e, int angle, int level)
{
    // Only the signal's symbols: in QPSK while the quality is good; in BPSK
    // (whose quality a QPSK signal spoils) as they come, not the audio from
    // before it was found, while the detector sees it at a copyable level,
    // and while they are strong (within 6 dB of its strongest of late; level
    // in hundredths of a decade), not the noise after the end of an over.
    if (e.quarterTurns && !m_qpsk)
        return;
    if (m_qpsk ? e.channel->quality() < kGoodQuality : (e.replaying || !e.present || e.snrDb < kTurnSnrDb))
        return;
    if (!m_qpsk) {
        e.peakLevel = std::max(double(level), e.peakLevel - kPeakFallPerSecond * 100.0 / m_baudHundredths);
        if (level < e.peakLevel - kStrongSymbol)
            return;
    }
    // 2^32 a turn: the quarter nearest the change is odd for a quarter turn.
    const bool quarter = ((quint32(angle) + 0x20000000u) >> 30 & 1u) != 0;
    bool& slot = e.turns[size_t(e.turnsSeen % kTurnWindow)];
    e.quarters += int(quarter) - int(e.turnsSeen >= kTurnWindow && slot);
    slot = quarter;
    ++e.turnsSeen;
    if (e.turnsSeen >= kTurnWindow)
        e.mostQuarters = std::max(e.mostQuarters, e.quarters);
    if (!e.quarterTurns && e.turnsSeen >= kTurnWindow && e.quarters >= kQuarterTurns) {
        e.quarterTurns = true;
        if (m_qpsk)
            confirm(e, e.fed - symbolsToSamples(kConfirmSymbols));
    }
}

void SignalBank::confirm(Entry& e, qint64 upTo)
{
    if (m_qpsk && !e.quarterTurns)
        return;
    const auto n = std::upper_bound(e.heldAt.begin(), e.heldAt.end(), upTo) - e.heldAt.begin();
    if (n == 0)
        return;
    for (auto i = 0; i < n; ++i) {
        if (e.lineBreakAt >= 0 && e.heldAt[size_t(i)] >= e.lineBreakAt) {
            if (!e.text.isEmpty() && !e.text.endsWith(u'\n'))
                e.text += u'\n';
            e.lineBreakAt = -1;
        }
        e.text += e.held.at(i);
    }
    e.held.remove(0, int(n));
    e.heldAt.erase(e.heldAt.begin(), e.heldAt.begin() + n);
    if (e.text.size() > kMaxText)
        e.text.remove(0, e.text.size() - kMaxText);
    emit changed();
}

qint64 SignalBank::symbolsToSamples(double symbols) const
{
    return qint64(symbols * m_rate * 100 / m_baudHundredths);
}

bool SignalBank::holding(const Entry& e) const
{
    return e.goodUntil != kNever && !e.quiet
           && (e.fed - e.goodUntil <= symbolsToSamples(kDipSymbols)
               || now() - e.lastSeen <= 2 * kJudgeSeconds);
}

std::vector<double> SignalBank::findCarriers()
{
    const double binHz = m_rate / m_spectrum->frameSize();
    const double baud = m_baudHundredths / 100.0;
    const int lo = int(std::ceil(kLowHz / binHz));
    const int hi = std::min(int(kHighHz / binHz), m_spectrum->frameSize() / 2 - 2);
    const int half = std::max(1, int(std::lround(0.6 * baud / binHz))); // smoothing: the idle lines
    const int apart = std::max(2, int(std::lround(baud / binHz)));     // peaks at least a lobe apart
    if (hi - lo < 4 * apart)
        return {};
    std::vector<double> p(size_t(hi + half + 2), 0.0);
    for (int k = std::max(0, lo - half - 1); k < int(p.size()); ++k)
        p[size_t(k)] = std::pow(10.0, m_spectrum->levelAt(k * binHz) / 10.0);
    std::vector<double> band(p.begin() + lo, p.begin() + hi + 1);
    auto q = band.begin() + std::ptrdiff_t(band.size() * kNoiseQuantile);
    std::nth_element(band.begin(), q, band.end());
    const double noise = std::max(*q, kMinNoise);
    m_noiseFloorPerBin = noise;
    m_noisePerBin = std::max(SignalQuality::noisePerBin(*m_spectrum, kLowHz, kHighHz), kMinNoise);
    std::vector<double> s(p.size(), 0.0);
    for (int k = lo; k <= hi; ++k) {
        for (int j = k - half; j <= k + half; ++j)
            s[size_t(k)] += p[size_t(j)];
        s[size_t(k)] /= 2 * half + 1;
    }
    const double threshold = noise * std::pow(10.0, kThresholdDb / 10.0);
    std::vector<double> found;
    for (int k = lo; k <= hi; ++k) {
        const double v = s[size_t(k)];
        if (v < threshold)
            continue;
        bool peak = true;
        for (int j = std::max(lo, k - apart / 2 - 1); j <= std::min(hi, k + apart / 2 + 1) && peak; ++j)
            peak = j == k || s[size_t(j)] < v || (s[size_t(j)] == v && j > k);
        if (!peak)
            continue;
        double left = v, right = v;
        for (int j = std::max(lo, k - 2 * apart); j <= k - apart / 2; ++j)
            left = std::min(left, s[size_t(j)]);
        for (int j = k + apart / 2; j <= std::min(hi, k + 2 * apart); ++j)
            right = std::min(right, s[size_t(j)]);
        if (std::min(left, right) > kValleyShare * v && std::max(left, right) > kBetweenShare * v)
            continue;
        // The centre: the centroid of the power above the noise over the lobe.
        double sum = 0.0, moment = 0.0, top = 0.0;
        for (int j = std::max(lo, k - apart); j <= std::min(hi, k + apart); ++j) {
            const double e = std::max(0.0, p[size_t(j)] - noise);
            sum += e;
            moment += e * j;
            top = std::max(top, p[size_t(j - 1)] + p[size_t(j)] + p[size_t(j + 1)] - 3 * noise);
        }
        if (sum <= 0.0 || top > kToneShare * sum)
            continue;
        found.push_back(moment / sum * binHz);
    }
    return found;
}

double SignalBank::signalToNoise(double frequency) const
{
    if (m_noisePerBin <= 0.0 || !m_spectrum)
        return SignalQuality::kNoSignalDb; // nothing judged yet
    return SignalQuality::snrDb(*m_spectrum, frequency, m_baudHundredths / 100.0, m_noisePerBin);
}

bool SignalBank::carrierAt(double frequency, qint64 at) const
{
    // Over the half second before `at`. Not the detector's spectrum: its
    // average remembers a strong signal for seconds after it has gone.
    const double baud = m_baudHundredths / 100.0;
    const CarrierPower filter(m_rate, baud);
    const int symbol = filter.symbolSamples();
    const int blocks = std::max(4, int(std::lround(kJudgeSeconds * baud)));
    const qint64 size = qint64(m_history.size());
    const qint64 from = at - qint64(blocks + 1) * symbol;
    if (from < std::max<qint64>(0, m_samples - size) || at > m_samples || frequency - kSideSymbols * baud <= 0.0
        || frequency + kSideSymbols * baud >= m_rate / 2.0)
        return true; // cannot tell
    const qint64 first = ((qint64(m_historyHead) - (m_samples - from)) % size + size) % size;
    auto sample = [&](int i) { return m_history[size_t((first + i) % size)]; };
    std::vector<double> powers;
    std::array<double, 3> total{};
    const std::array<double, 3> hz = {frequency, frequency - kSideSymbols * baud, frequency + kSideSymbols * baud};
    for (size_t f = 0; f < hz.size(); ++f) {
        filter.measure(sample, blocks, hz[f], &powers);
        total[f] = std::accumulate(powers.begin(), powers.end(), 0.0);
    }
    // The noise from the detector's floor, once it has one; between two
    // neighbours, what of them leaks through the filter.
    const double variance = m_noiseFloorPerBin * kSpectrumFullScale * m_spectrum->frameSize() / kHannNoiseGain;
    const double floor = std::max(m_noiseFloorPerBin > kMinNoise ? blocks * filter.noisePerBlock(variance) : total[1],
                                  kNeighbourLeak * std::max(total[1], total[2]));
    // Nor is anything a carrier that the least noise taken for real hides.
    const double least = blocks * filter.noisePerBlock(AfcAcquisition::kLeastNoiseVariance);
    return total[0] > kPresentRatio * std::max(std::min({total[1], total[2], floor}), least);
}

void SignalBank::applyJudgement(Entry& e, bool present, qint64 at)
{
    const qint64 before = at - e.start - qint64(kQuietLagSeconds * m_rate);
    auto drop = [&e](qint64 upTo) {
        const auto n = std::upper_bound(e.heldAt.begin(), e.heldAt.end(), upTo) - e.heldAt.begin();
        e.held.remove(0, int(n));
        e.heldAt.erase(e.heldAt.begin(), e.heldAt.begin() + n);
    };
    e.present = present;
    if (present)
        e.lastHeard = double(at) / m_rate;
    if (present && e.quiet)
        drop(before); // back after a quiet spell: held from the quiet is noise
    // Gone when missed at two judgements in a row.
    const bool wasQuiet = e.quiet;
    e.quiet = !present && e.missed;
    e.missed = !present;
    if (!e.quiet || wasQuiet)
        return;
    // The carrier has gone. What was decoded while the quality was still
    // good, but for the last symbols the quality takes to fall, was the end
    // of the over; what came later is noise, but for the last second, which
    // stays held in case it was the start of the next over.
    if (e.goodUntil != kNever)
        confirm(e, e.goodUntil - symbolsToSamples(kEndSymbols));
    drop(before);
    // The over has ended: what is decoded from here on starts a new line
    // (what came before may still be confirmed, and goes before it).
    if (e.lineBreakAt < 0 && !(e.held.isEmpty() && (e.text.isEmpty() || e.text.endsWith(u'\n'))))
        e.lineBreakAt = at - e.start;
}

void SignalBank::judge()
{
    const double t = now();
    const double baud = m_baudHundredths / 100.0;
    std::vector<Candidate> next;
    int started = 0;
    const double same = 0.6 * baud; // a carrier this close is the same signal
    const std::vector<double> carriers = findCarriers();
    for (auto& e : m_entries) {
        const double rx = e->channel->frequency();
        if (std::any_of(carriers.begin(), carriers.end(), [&](double f) { return std::abs(f - rx) <= same; }))
            e->lastSeen = t;
        applyJudgement(*e, carrierAt(rx, m_samples), m_samples);
        retune(e);
        e->snrDb = signalToNoise(e->channel->frequency());
    }
    m_otherSpeed.erase(std::remove_if(m_otherSpeed.begin(), m_otherSpeed.end(),
                                      [t](const Candidate& c) { return c.until <= t; }),
                       m_otherSpeed.end());
    for (double f : carriers) {
        bool known = false;
        for (auto& e : m_entries)
            known = known || std::abs(e->channel->frequency() - f) <= same;
        for (const Candidate& c : m_otherSpeed)
            known = known || std::abs(c.frequency - f) <= same;
        if (known)
            continue;
        int hits = 1;
        for (const Candidate& c : m_candidates)
            if (std::abs(c.frequency - f) <= 0.25 * baud + 2.0)
                hits = c.hits + 1;
        if (hits >= 2 && int(m_entries.size()) < kMaxSignals && started < kMaxStartsPerJudgement) {
            if (ownSpeed(f))
                startSignal(f);
            else
                m_otherSpeed.push_back({f, hits, t + kOtherSpeedRecheckSeconds});
            ++started;
        } else {
            next.push_back({f, hits, 0.0});
        }
    }
    m_candidates = std::move(next);

    // Drop the signals gone quiet, and one of two decoders that the AFC has
    // brought onto the same signal (the younger).
    std::sort(m_entries.begin(), m_entries.end(), [](const auto& a, const auto& b) { return a->id < b->id; });
    for (size_t i = 0; i < m_entries.size();) {
        const double fi = m_entries[i]->channel->frequency();
        bool duplicate = false;
        for (size_t j = 0; j < i && !duplicate; ++j)
            duplicate = std::abs(fi - m_entries[j]->channel->frequency()) < 0.3 * baud;
        // Never one that has text: the turns may be the noise at its end.
        const bool qpskSignal = !m_qpsk && m_entries[i]->quarterTurns && m_entries[i]->text.isEmpty();
        if (qpskSignal)
            m_otherSpeed.push_back({fi, 0, t + kOtherSpeedRecheckSeconds});
        if (duplicate || qpskSignal || t - m_entries[i]->lastSeen > kDropSeconds) {
            const Signal gone = snapshot(*m_entries[i]);
            m_entries.erase(m_entries.begin() + std::ptrdiff_t(i));
            if (!duplicate && !qpskSignal)
                emit dropped(gone);
        } else {
            ++i;
        }
    }
    emit changed();
}

double SignalBank::symbolLine(double frequency, double rate) const
{
    // The latest seconds only: a short signal in a longer quiet still shows.
    const size_t n = size_t(std::min<qint64>({m_samples, qint64(m_history.size()), qint64(kSpeedSeconds * m_rate)}));
    const size_t symbol = size_t(std::max(2L, std::lround(m_rate / rate)));
    if (n < 6 * symbol)
        return 0.0;
    const size_t from = (m_historyHead + m_history.size() - n) % m_history.size();
    const std::complex<double> turn = std::polar(1.0, -2.0 * M_PI * frequency / m_rate);
    const std::complex<double> lineTurn = std::polar(1.0, -2.0 * M_PI * rate / m_rate);
    std::vector<std::complex<double>> mixed(symbol), once(symbol);
    std::complex<double> oscillator(1.0, 0.0), lineOscillator(1.0, 0.0), first(0.0, 0.0), sum(0.0, 0.0), line(0.0, 0.0);
    double total = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const std::complex<double> x = double(m_history[(from + i) % m_history.size()]) * oscillator;
        first += x - mixed[i % symbol];
        mixed[i % symbol] = x;
        sum += first - once[i % symbol];
        once[i % symbol] = first;
        oscillator *= turn;
        lineOscillator *= lineTurn;
        if (i % 1024 == 0) { // keep the oscillators on the unit circle
            oscillator /= std::abs(oscillator);
            lineOscillator /= std::abs(lineOscillator);
        }
        if (i + 1 < 2 * symbol)
            continue;
        const double power = std::norm(sum);
        total += power;
        line += power * lineOscillator;
    }
    return total > 0.0 ? std::abs(line) / total : 0.0;
}

bool SignalBank::ownSpeed(double frequency) const
{
    const double own = symbolLine(frequency, m_baudHundredths / 100.0);
    for (const PskMode& mode : PskModes::all()) {
        if (mode.qpsk == m_qpsk && mode.baudHundredths != m_baudHundredths
            && kSpeedMargin * symbolLine(frequency, mode.baud()) > own)
            return false;
    }
    return true;
}

void SignalBank::startSignal(double frequency)
{
    m_entries.push_back(replayed(m_nextId++, frequency));
}

// The detector's centre may lie a few hertz off, towards a close neighbour,
// and the channel's AFC then takes seconds to pull in, which costs the
// over's first words. A channel that has moved away while the audio kept
// still holds its start is started again where it went, over that audio;
// of the two, the one with more text is kept.
void SignalBank::retune(std::unique_ptr<Entry>& e)
{
    const double now = e->channel->frequency();
    if (e->retuned || m_samples - e->start > qint64(m_history.size())
        || std::abs(now - e->tunedTo) <= kRetuneSymbolRates * m_baudHundredths / 100.0)
        return;
    std::unique_ptr<Entry> again = replayed(e->id, now);
    again->retuned = e->retuned = true;
    if (again->text.size() > e->text.size())
        e = std::move(again);
}

std::unique_ptr<SignalBank::Entry> SignalBank::replayed(int id, double frequency)
{
    auto e = std::make_unique<Entry>();
    e->id = id;
    e->lastSeen = e->lastHeard = now();
    e->bank = this;
    e->tunedTo = frequency;
    // A channel of its own: the receiver the bank uses, at the bank's rate,
    // with the AFC on so that it follows the drift.
    e->channel = std::make_unique<ReceiveChannel>(m_qpsk, m_charSet, e.get());
    ReceiveChannel& c = *e->channel;
    c.setReceiver(receiverName());
    c.setBaud(m_baudHundredths * 0.01);
    c.setSampleRate(m_rate);
    c.setFrequency(frequency);
    c.setAfc(true);
    // The audio from before the signal was found, oldest first, with what
    // the detector saw of it then.
    const size_t n = size_t(std::min<qint64>(m_samples, qint64(m_history.size())));
    e->start = m_samples - qint64(n);
    e->heardFrom = double(e->start) / m_rate;
    e->snrDb = signalToNoise(frequency);
    const qint64 step = qint64(kJudgeSeconds * m_rate);
    qint64 judgement = (e->start / step + 1) * step;
    size_t from = (m_historyHead + m_history.size() - n) % m_history.size();
    e->replaying = true;
    for (size_t done = 0; done < n;) {
        const size_t run = std::min({size_t(kBlock), n - done, m_history.size() - from});
        receive(*e, m_history.data() + from, int(run));
        done += run;
        from = (from + run) % m_history.size();
        for (; judgement <= e->start + e->fed; judgement += step)
            applyJudgement(*e, carrierAt(frequency, judgement), judgement);
    }
    e->replaying = false;
    return e;
}

SignalBank::Signal SignalBank::snapshot(const Entry& e) const
{
    Signal s;
    s.id = e.id;
    s.frequency = e.channel->frequency();
    s.quality = e.channel->quality();
    s.snrDb = e.snrDb;
    s.text = e.text;
    s.lastSeen = e.lastSeen;
    s.lastHeard = e.lastHeard;
    s.heardFrom = e.heardFrom;
    s.mode = m_modeName;
    s.kindKnown = e.quarterTurns || e.turnsSeen >= kTurnWindow;
    s.quarterShare = double(e.mostQuarters) / kTurnWindow;
    return s;
}

std::vector<SignalBank::Signal> SignalBank::acrossModes(std::vector<Signal> list)
{
    auto speakers = [](const Signal& s) { return !s.text.trimmed().isEmpty(); };
    // The same signal in the other kind's bank of the same speed, with text.
    auto twin = [&](const Signal& a) -> const Signal* {
        const PskMode* am = PskModes::find(a.mode);
        for (const Signal& b : list) {
            const PskMode* bm = PskModes::find(b.mode);
            if (am && bm && bm->qpsk != am->qpsk && bm->baudHundredths == am->baudHundredths && speakers(b)
                && std::abs(b.frequency - a.frequency) < 0.5 * am->baud())
                return &b;
        }
        return nullptr;
    };
    std::vector<Signal> kept;
    for (const Signal& s : list) {
        const PskMode* m = PskModes::find(s.mode);
        const Signal* other = speakers(s) && m ? twin(s) : nullptr;
        const Signal* qpsk = m && m->qpsk ? &s : other;
        const bool qpskWins = other && (qpsk->quarterShare >= kQpskShare || !(m->qpsk ? other : &s)->kindKnown);
        const bool yields = other && (m->qpsk ? !qpskWins : qpskWins);
        if (speakers(s) && !yields)
            kept.push_back(s);
    }
    std::stable_sort(kept.begin(), kept.end(), [](const Signal& a, const Signal& b) { return a.frequency < b.frequency; });
    return kept;
}

std::vector<SignalBank::Signal> SignalBank::signalList() const
{
    std::vector<Signal> list;
    for (const auto& e : m_entries)
        list.push_back(snapshot(*e));
    std::sort(list.begin(), list.end(), [](const Signal& a, const Signal& b) { return a.frequency < b.frequency; });
    return list;
}
