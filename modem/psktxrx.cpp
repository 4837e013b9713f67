// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/psktxrx.h"

#include "core/codepage.h"
#include "core/settings.h"
#include "modem/afcacquisition.h"
#include "modem/carrierpower.h"
#include "modem/pskdecode.h"
#include "modem/pskencode.h"
#include "modem/pskrxalgorithms.h"
#include "modem/pskreceiver.h"
#include "modem/receivechannel.h"
#include "modem/psktxalgorithms.h"
#include "modem/replaydistance.h"
#include "modem/signalquality.h"
#include "modem/varicode.h"

#include <QMetaMethod>

#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <numeric>

namespace {

const char* const kModeNames[] = {"BPSK", "QPSK", "FSK", "QFSK"};
constexpr int kModeCount = 4;

// The symbol rate last chosen for each mode, shared by every transceiver
// (there is one) so that a rebuilt modem comes back at the same speed.
std::array<double, kModeCount> g_symbolRates = {31.25, 31.25, 31.25, 31.25};

// Spectrum geometry of the measurements: a 2048-point FFT at 11025 Hz.
constexpr double kFftSize = 2048.0;
constexpr double kFftRate = 11025.0;

// Replay: where a trace began is found in half-second segments, by the
// carrier's power against the power kTraceSideSymbols symbol rates beside it
// (where the signal's own idle lines fall on the filter's nulls, and a
// neighbour 100 Hz away at 31.25 baud does not reach; kTraceRatio times
// more, 5 dB, is a signal: noise reaches it in about one segment of a
// thousand); a quiet spell of kTraceGapSeconds ends the trace,
// and the receiver starts kTraceLeadSymbols before its first symbol, so that
// its filters fill on the quiet. The waterfall's lines are 2048 samples each.
constexpr double kTraceSegmentSeconds = 0.5;
constexpr double kTraceSideSymbols = 1.5;
constexpr double kTraceRatio = 3.0;
constexpr double kTraceGapSeconds = 1.5;
constexpr double kTraceLeadSymbols = 6.0;
constexpr int kLineSamples = 2048;

void connectToSlot(QObject* sender, const QMetaMethod& signal, QObject* receiver, const char* slot)
{
    if (!receiver)
        return;
    const QMetaObject* meta = receiver->metaObject();
    const int index = meta->indexOfSlot(QMetaObject::normalizedSignature(slot).constData());
    if (index >= 0)
        QObject::connect(sender, signal, receiver, meta->method(index));
}

} // namespace

CPskTxRx::CPskTxRx(const QString& modeName, QObject* parent)
    : CSoundCardTxRx(parent)
    , m_work(kWorkSize, 0)
{
    for (int i = 0; i < kModeCount; ++i) {
        if (modeName == QLatin1String(kModeNames[i])) {
            m_mode = i;
            break;
        }
    }
    // No decoder, encoder or receive DSP exists for the frequency-shift
    // modes; they run as BPSK rather than leave the modem without its parts.
    if (m_mode != kModeQpsk)
        m_mode = kModeBpsk;

    m_charSetNames = QStringList{tr("ASCII8"), tr("MMVari"), tr("Alternate")};

    m_txDsp = std::make_unique<CPskTxAlgorithms>();
    connectToSlot(m_txDsp.get(), QMetaMethod::fromSignal(&CPskTxAlgorithms::signalFqChanged), parent,
                  "slotTxFqNotified(double)");

    if (m_mode == kModeQpsk)
        m_encoder = std::make_unique<CQpskEncode>();
    else
        m_encoder = std::make_unique<CBpskEncode>();

    double rxFq = 1000.0;
    double txFq = 1000.0;
    double inputRate = kNominalRate;
    double outputRate = kNominalRate;
    int set = kCharSetAscii8;
    QString receiver;
    {
        Settings settings;
        rxFq = settings.value(QStringLiteral("RxFq"), 1000.0).toDouble();
        receiver = settings.value(QStringLiteral("Receiver"), PskReceivers::defaultName()).toString();
        txFq = settings.value(QStringLiteral("TxFq"), 1000.0).toDouble();
        settings.beginGroup(QStringLiteral("Audio"));
        set = settings.value(QStringLiteral("varicode"), 0).toInt();
        // The audio classes default to 11025 too, so a first start without
        // stored rates receives and sends at once.
        settings.beginGroup(QStringLiteral("Input"));
        const double inPpm = settings.value(QStringLiteral("ppm"), 0).toDouble();
        const double inRate = settings.value(QStringLiteral("SampleRate"), kNominalRate).toDouble();
        settings.endGroup();
        settings.beginGroup(QStringLiteral("Output"));
        const double outPpm = settings.value(QStringLiteral("ppm"), 0).toDouble();
        const double outRate = settings.value(QStringLiteral("SampleRate"), kNominalRate).toDouble();
        settings.endGroup();
        settings.endGroup();
        inputRate = (inPpm + 1e6) * inRate / 1e6;
        outputRate = (outPpm + 1e6) * outRate / 1e6;
    }
    if (set < kCharSetAscii8 || set > kCharSetAlternate)
        set = kCharSetAscii8;
    m_charSet.store(set, std::memory_order_relaxed);

    // The receive side decodes in the set in force now; a receiver the
    // table does not know (a mistyped name) is the default one.
    m_channel = std::make_unique<ReceiveChannel>(m_mode == kModeQpsk, set, static_cast<ChannelOutput*>(this));
    connectToSlot(&m_channel->frontEnd(), QMetaMethod::fromSignal(&CPskRxAlgorithms::signalFqChanged), parent,
                  "slotRxFqNotified(double)");
    if (!m_channel->setReceiver(receiver))
        m_channel->setReceiver(PskReceivers::defaultName());
    applySampleRates(inputRate, outputRate);
    m_encoder->setCharSet(set);
    m_txDsp->setFrequency(txFq);
    m_channel->setFrequency(rxFq);
    if (m_mode == kModeQpsk)
        static_cast<CQpskEncode*>(m_encoder.get())->setInversion(false);

    const double baud = g_symbolRates[m_mode];
    m_baud.store(baud, std::memory_order_relaxed);
    m_txDsp->setShiftAndBaud(0.0, baud);
    m_channel->setBaud(baud);

    // Tables the audio thread reads are built here, before any stream runs,
    // so the callback never pays for (or races on) their first use.
    CodePage::toByte(QChar(u' '));
    CMMVari::instance();

    setOwner(this);
}

CPskTxRx::~CPskTxRx()
{
    m_txDsp.reset();
    m_encoder.reset();
    m_channel.reset();
}

void CPskTxRx::saveSettings() const
{
    Settings settings;
    settings.setValue(QStringLiteral("RxFq"), rxFrequency());
    settings.setValue(QStringLiteral("TxFq"), txFrequency());
    settings.setValue(QStringLiteral("Receiver"), m_channel->receiverName());
    settings.beginGroup(QStringLiteral("Audio"));
    settings.setValue(QStringLiteral("varicode"), charSet());
    settings.endGroup();
}

void CPskTxRx::setCharSet(int set)
{
    if (set >= kCharSetAscii8 && set <= kCharSetAlternate)
        m_charSet.store(set, std::memory_order_relaxed);
}

void CPskTxRx::setSensitiveReceiver(bool on)
{
    setReceiver(on ? QStringLiteral("sensitive") : PskReceivers::standardName());
}

bool CPskTxRx::setReceiver(const QString& name)
{
    return m_channel->setReceiver(name);
}

QString CPskTxRx::receiverName() const
{
    return m_channel->receiverName();
}

bool CPskTxRx::sensitiveReceiver() const
{
    return receiverName() == QLatin1String("sensitive");
}

bool CPskTxRx::setQpsk(bool on)
{
    if (on == (m_mode == kModeQpsk))
        return true;
    if (isTransmitting())
        return false;
    m_mode = on ? kModeQpsk : kModeBpsk;
    const bool inverted = m_qpskInversion.load(std::memory_order_relaxed) != 0;
    if (on) {
        auto encoder = std::make_unique<CQpskEncode>();
        encoder->setInversion(inverted);
        m_encoder = std::move(encoder);
    } else {
        m_encoder = std::make_unique<CBpskEncode>();
    }
    m_encoder->setCharSet(m_channel->charSet());
    m_channel->setQpsk(on);
    Command(ModemCommand::kSetSymbolRate, qRound(g_symbolRates[m_mode] * 100.0), 0, 0);
    return true;
}

CPskBitDecode* CPskTxRx::rxDecoder() const
{
    return &m_channel->decoder();
}

CPskRxAlgorithms* CPskTxRx::rxDsp() const
{
    return &m_channel->frontEnd();
}

// ---------------------------------------------------------------------------
// Frequencies and rates

void CPskTxRx::applySampleRates(double inputRate, double outputRate)
{
    m_inputRateAccepted = m_channel->setSampleRate(inputRate);
    CSoundCardTxRx::SetSampleRates(m_channel->sampleRate(), outputRate);
    m_txDsp->setSampleRate(outputRate);
}

void CPskTxRx::SetSampleRates(double inputRate, double outputRate)
{
    applySampleRates(inputRate, outputRate);
}

double CPskTxRx::txFrequency() const
{
    return m_txDsp->frequency();
}

double CPskTxRx::rxFrequency() const
{
    return m_channel->frequency();
}

void CPskTxRx::setTxFrequency(double fq)
{
    m_txDsp->setFrequency(fq);
}

void CPskTxRx::setRxFrequency(double fq)
{
    m_channel->setFrequency(fq);
}

void CPskTxRx::SetupReset()
{
    setTxFrequency(1000.0);
    setRxFrequency(1000.0);
}

void CPskTxRx::GetFrequencies(double* rx, double* tx) const
{
    if (rx)
        *rx = rxFrequency();
    if (tx)
        *tx = double(qint64(txFrequency() + 0.5));
}

void CPskTxRx::SetFrequencies(double rx, double tx)
{
    setRxFrequency(rx);
    setTxFrequency(tx);
}

void CPskTxRx::slotFqChanged(double rx, double tx)
{
    const int distance = ReplayDistance::get();
    if (!txLock())
        setTxFrequency(tx);
    if (!rxLock())
        setRxFrequency(rx);
    if (distance > 0)
        replayTrace(distance);
}

void CPskTxRx::replayTrace(int clickedBack)
{
    const int back = setRingReadBack(traceStart(rxFrequency(), clickedBack));
    if (back == 0)
        return;
    // The replay starts from a clean receiver, which the quiet before the
    // trace lets settle before the first character.
    m_channel->restart();
    m_squelchGate.clear();
}

int CPskTxRx::traceStart(double fq, int clickedBack) const
{
    const double rate = inputRate();
    const double b = baud();
    const int available = ringFill();
    clickedBack = std::min(clickedBack, available);
    if (!(rate > 0.0) || !(b > 0.0) || !(fq > 0.0) || fq + kTraceSideSymbols * b >= rate / 2.0)
        return clickedBack;
    // Power at the carrier, and beside it where the signal has none
    // (CarrierPower, a block a symbol); summed over segments of half a
    // second, a segment whose carrier power stands clearly above the quieter
    // side holds the signal.
    const CarrierPower filter(rate, b);
    const int symbol = filter.symbolSamples();
    const int perSegment = std::max(4, int(std::lround(kTraceSegmentSeconds * b)));
    const int segment = symbol * perSegment;
    std::vector<qint16> audio(static_cast<size_t>(2 * segment + symbol));
    struct Powers
    {
        std::vector<double> carrier, below, above;
    };
    // Powers of the `count` blocks starting `back` samples ago.
    auto measure = [&](int back, int count) {
        copyRecent(audio.data(), (count + 1) * symbol, back);
        auto sample = [&audio](int i) { return audio[size_t(i)]; };
        Powers p;
        filter.measure(sample, count, fq, &p.carrier);
        filter.measure(sample, count, fq - kTraceSideSymbols * b, &p.below);
        filter.measure(sample, count, fq + kTraceSideSymbols * b, &p.above);
        return p;
    };
    auto total = [](const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0); };
    auto present = [&](int back) {
        const Powers p = measure(back, perSegment);
        const double carrier = total(p.carrier);
        return carrier > 0.0 && carrier > kTraceRatio * std::min(total(p.below), total(p.above));
    };

    // Is the trace there at the clicked line (or within a segment of it)?
    int at = -1;
    for (int back = std::max(clickedBack - kLineSamples, segment); back <= std::min(clickedBack + segment, available) && at < 0;
         back += segment / 2)
        if (present(back))
            at = back;
    if (at < 0)
        return clickedBack;
    // Walk back to where it began: the first of a quiet spell too long for
    // a fade or a pause between two words.
    const int gap = std::max(1, int(std::ceil(kTraceGapSeconds * rate / segment)));
    int start = at;
    int quiet = 0;
    for (int back = at + segment; back <= available && quiet < gap; back += segment) {
        if (present(back)) {
            start = back;
            quiet = 0;
        } else {
            ++quiet;
        }
    }
    // The first symbol of the signal within the oldest segment that holds
    // it: where the carrier's power, taken against a level between the
    // noise beside it and the signal's, begins to sum up the most.
    const int from = std::min(start + segment, available);
    const int count = std::min(2 * perSegment, from / symbol - 1);
    if (count >= 2) {
        const Powers p = measure(from, count);
        const double noise = std::min(total(p.below), total(p.above)) / count;
        const int newest = std::max(1, count / 4);
        const double signal = std::accumulate(p.carrier.end() - newest, p.carrier.end(), 0.0) / newest;
        const double level = std::sqrt(std::max(noise, 1.0) * std::max(signal, 1.0));
        double sum = 0.0, best = -1.0;
        int first = count - 1;
        for (int k = count - 1; k >= 0; --k) {
            sum += p.carrier[size_t(k)] - level;
            if (sum > best) {
                best = sum;
                first = k;
            }
        }
        start = from - first * symbol;
    }
    return std::min(start + int(std::lround(kTraceLeadSymbols * symbol)), available);
}

void CPskTxRx::AfcStep()
{
    m_channel->afcStep();
}

void CPskTxRx::channelFollowed(double fq)
{
    if (!txLock())
        setTxFrequency(m_txOffset + fq);
}

void CPskTxRx::channelChar(QChar ch)
{
    if (m_channel->squelchEnabled() && m_squelchByLevel && !m_replaying) {
        if (m_squelchGate.pass(ch, m_rxSeconds))
            emit signalCharReceived(ch);
        return;
    }
    emit signalCharReceived(ch);
}

void CPskTxRx::setSquelchLevel(double db)
{
    m_squelchByLevel = !std::isnan(db);
    if (m_squelchByLevel)
        m_squelchGate.setLevel(db);
    m_squelchGate.clear();
}

namespace {
// The band whose median is the noise, as the signal browser reads it.
constexpr double kNoiseLowHz = 200.0;
constexpr double kNoiseHighHz = 3500.0;
// Spectrum frames between two measurements of the band's noise (0.4 s).
constexpr quint32 kNoiseEveryFrames = 2;
// Frames averaged (about 1.5 s) before the squelch trusts the spectrum.
constexpr quint32 kMinSquelchFrames = 16;
// A signal idles, for the IMD, when its decoder has seen only reversals for
// the time the spectrum averages over (and at least this many symbols).
constexpr double kIdleSeconds = 1.0;
constexpr int kMinIdleSymbols = 32;
} // namespace

double CPskTxRx::squelchSnr()
{
    const AfcAcquisition& spectrum = m_channel->spectrum();
    const quint32 frames = spectrum.frameCount();
    // A young average (it starts from nothing) grows faster than any noise
    // measured on it a moment ago would say.
    if (frames < kMinSquelchFrames)
        return SignalQuality::kNoSignalDb;
    if (frames < m_noiseFrames || frames - m_noiseFrames >= kNoiseEveryFrames || m_noisePerBin <= 0.0) {
        m_noisePerBin = SignalQuality::noisePerBin(spectrum, kNoiseLowHz, kNoiseHighHz);
        m_noiseFrames = frames;
    }
    return SignalQuality::snrDb(spectrum, rxFrequency(), baud(), m_noisePerBin);
}

CPskTxRx::SignalReport CPskTxRx::signalReport() const
{
    const AfcAcquisition& spectrum = m_channel->spectrum();
    const double noise = SignalQuality::noisePerBin(spectrum, kNoiseLowHz, kNoiseHighHz);
    const double fq = rxFrequency();
    const double b = baud();
    SignalReport r{SignalQuality::snrDb(spectrum, fq, b, noise), std::numeric_limits<double>::quiet_NaN()};
    if (rxDecoder()->zeroRun() >= std::max(double(kMinIdleSymbols), kIdleSeconds * b))
        r.imdDb = SignalQuality::imdDb(spectrum, fq, b, noise);
    return r;
}

void CPskTxRx::channelSymbol(int angle, int amplitude)
{
    emit signalPskSymbol(long(angle), long(amplitude));
}

// ---------------------------------------------------------------------------
// Receive

void CPskTxRx::ReceiveSamples(const qint16* samples, int count)
{
    if (samples && count > 0) {
        CSoundCardTxRx::ReceiveSamples(samples, count);
        // What comes in while we transmit is our own signal or a muted
        // receiver, neither of which the AFC should find afterwards.
        if (!isTransmitting())
            m_channel->observe(samples, count);
    }
    const int n = takeFromRing(m_work.data(), kWorkSize);
    // The spectrum shows the band as it is now: while the receiver catches
    // up on older audio (a replay) the decoder's quality decides instead.
    m_replaying = ringReadIndex() != ringWriteIndex();
    const bool byLevel = m_channel->squelchEnabled() && m_squelchByLevel && !m_replaying;
    m_channel->setSquelchByOwner(byLevel);
    if (byLevel) {
        // Noise reads higher over a wider signal's band (its scatter grows
        // with the root of the bins summed): the level holds for BPSK31 and
        // rises by 1.5 dB with each doubling of the speed.
        const double widerBand = 5.0 * std::log10(std::max(1.0, baud() / 31.25));
        for (QChar ch : m_squelchGate.update(squelchSnr() - widerBand, m_rxSeconds))
            emit signalCharReceived(ch);
    }
    m_channel->process(m_work.data(), n, isTransmitting());
    if (inputRate() > 0.0)
        m_rxSeconds += n / inputRate();
}

int CPskTxRx::decoderQuality() const
{
    return m_channel->quality();
}

void CPskTxRx::CharReceived(int channel, QChar ch)
{
    m_channel->CharReceived(channel, ch);
}

void CPskTxRx::CodeReceived(int channel, quint16 value)
{
    m_channel->CodeReceived(channel, value);
}

void CPskTxRx::SymbolReceived(int channel, int angle, int amplitude)
{
    m_channel->SymbolReceived(channel, angle, amplitude);
}

// ---------------------------------------------------------------------------
// Spectrum measurements

double CPskTxRx::binMagnitude(int bin) const
{
    return m_channel->levelAt(bin * kFftRate / kFftSize);
}

double CPskTxRx::bin(int index) const
{
    return (index < 0 || index > 1023) ? 0.0 : binMagnitude(index);
}

int CPskTxRx::spectrumCentre() const
{
    const double c = rxFrequency() * kFftSize / kFftRate + 0.5;
    // Out-of-range (also negative) frequencies read as "beyond the spectrum".
    if (!(c >= 0.0 && c < 1024.0))
        return -1;
    return int(c);
}

double CPskTxRx::spectrumPeak(int c, double m) const
{
    const int span = int(0.5 + kFftSize * 16.0 * m / kFftRate);
    double peak = bin(c);
    for (int i = 1; i <= span; ++i)
        peak = qMax(peak, qMax(bin(c - i), bin(c + i)));
    return peak;
}

double CPskTxRx::imdLevel(int c, double m) const
{
    const int from = int(43.0 * m * kFftSize / kFftRate);
    const int to = int(0.5 + kFftSize * 55.0 * m / kFftRate);
    double level = -std::numeric_limits<double>::infinity();
    for (int i = from; i <= to; ++i)
        level = qMax(level, qMax(bin(c - i), bin(c + i)));
    return std::isfinite(level) ? level : 0.0;
}

double CPskTxRx::noiseLevel(int c, double m) const
{
    const int from = int(60.0 * m * kFftSize / kFftRate);
    const int to = int(0.5 + kFftSize * 70.0 * m / kFftRate);
    double sum = 0.0;
    int n = 0;
    for (int i = from; i <= to; ++i, ++n)
        sum += bin(c - i) + bin(c + i);
    return n ? sum / (2.0 * n) : 0.0;
}

int CPskTxRx::measureImd()
{
    const int c = spectrumCentre();
    if (c < 0)
        return 0;
    const double m = baud() / 31.25;
    const int x = int(imdLevel(c, m) - spectrumPeak(c, m));
    // While the other station idles (long runs of zero bits) the two tones
    // stand alone and the figure is taken as it is; otherwise its sign turns.
    return rxDecoder()->zeroRun() < 21 ? -x : x;
}

const char* CPskTxRx::imdText(int p1)
{
    if (m_mode == kModeFsk) {
        m_imdText[0] = '\0';
        return m_imdText;
    }
    const int x = int(Command(ModemCommand::kMeasureImd, 0, 0, 0));
    if (x < -7 || p1 != 0)
        std::snprintf(m_imdText, sizeof m_imdText, "IMD: %d dB", -std::abs(x));
    else
        std::snprintf(m_imdText, sizeof m_imdText, "IMD:");
    return m_imdText;
}

int CPskTxRx::snapFrequency(int fq) const
{
    const int c = int(double(fq) * kFftSize / kFftRate);
    if (quint32(c - 50) > 925u)
        return fq;

    double peak = bin(c);
    for (int i = 1; i <= 3; ++i)
        peak = qMax(peak, qMax(bin(c - i), bin(c + i)));
    double around = 0.0;
    for (int i = 3; i <= 7; ++i)
        around += bin(c - i) + bin(c + i);
    around /= 10.0;
    if (peak < around + 6.0)
        return fq;

    // Linear interpolation between neighbouring bins.
    auto s = [this](double x) {
        const int i = int(std::floor(x));
        const double f = x - i;
        return bin(i) * (1.0 - f) + bin(i + 1) * f;
    };
    // The centre about which the spectrum is most symmetric.
    double bestX = c;
    double bestMismatch = std::numeric_limits<double>::infinity();
    for (int step = 0; step <= 26; ++step) {
        const double x = c - 4 + step * 0.3;
        double mismatch = 0.0;
        for (int k = 0; k * 0.3 < 10.0; ++k) {
            const double d = k * 0.3;
            const double diff = s(x + d) - s(x - d);
            mismatch += diff * diff;
        }
        if (mismatch < bestMismatch) {
            bestMismatch = mismatch;
            bestX = x;
        }
    }
    return int(bestX * kFftRate / kFftSize);
}

// ---------------------------------------------------------------------------
// Commands

const char* CPskTxRx::modeText(const char* format, double add)
{
    int rate = int(m_channel->baud() + add);
    // 62.5 baud is known on air as "63".
    if (rate == 62)
        rate = 63;
    std::snprintf(m_modeText, sizeof m_modeText, format, kModeNames[m_mode], rate);
    return m_modeText;
}

void CPskTxRx::setCallSign(const char* text)
{
    char16_t buffer[kMaxCallSign];
    int n = 0;
    if (text) {
        for (; n < kMaxCallSign && text[n]; ++n)
            buffer[n] = CodePage::fromByte(quint8(text[n])).unicode();
    }
    // Release stores after the odd count: a reader that sees any new
    // character also sees the count changed and takes its copy again.
    const quint32 version = m_callSignVersion.load(std::memory_order_relaxed);
    m_callSignVersion.store(version + 1, std::memory_order_relaxed);
    for (int i = 0; i < n; ++i)
        m_callSign[i].store(buffer[i], std::memory_order_release);
    m_callSignLength.store(n, std::memory_order_release);
    m_callSignVersion.store(version + 2, std::memory_order_release);
}

int CPskTxRx::readCallSign(char16_t* dst) const
{
    int n = 0;
    // A copy made while the GUI thread was writing is taken again; after a
    // few tries the last copy is used as it is (still a valid string).
    for (int attempt = 0; attempt < 4; ++attempt) {
        const quint32 before = m_callSignVersion.load(std::memory_order_acquire);
        n = qBound(0, m_callSignLength.load(std::memory_order_acquire), int(kMaxCallSign));
        for (int i = 0; i < n; ++i)
            dst[i] = m_callSign[i].load(std::memory_order_acquire);
        const quint32 after = m_callSignVersion.load(std::memory_order_relaxed);
        if (before == after && !(before & 1))
            break;
    }
    return n;
}

intptr_t CPskTxRx::Command(int code, intptr_t p1, intptr_t p2, intptr_t p3)
{
    if (const intptr_t r = CSoundCardTxRx::Command(code, p1, p2, p3))
        return r;

    // Frequencies arrive as whole Hz, taken unsigned.
    const double fq = double(quint32(p1));
    const qint32 value = qint32(p1);
    switch (code) {
    case ModemCommand::kMeasureSnr: {
        const int c = spectrumCentre();
        if (c < 0)
            return 0;
        const double m = baud() / 31.25;
        CommandToOwner(ModemCommand::kSnrResult, intptr_t(spectrumPeak(c, m)), intptr_t(noiseLevel(c, m)), 0);
        return 1;
    }
    case ModemCommand::kSetupReset:
        SetupReset();
        return 1;
    case ModemCommand::kSetupShow:
        SetupShow();
        return 1;
    case ModemCommand::kSetupClose:
        SetupClose();
        return 1;
    case ModemCommand::kReserved6:
    case ModemCommand::kReserved8:
    case ModemCommand::kReserved25:
    case ModemCommand::kTxSwitched:
    case ModemCommand::kReserved46:
    case ModemCommand::kReserved50:
    case ModemCommand::kReserved53:
    case ModemCommand::kReserved56:
    case ModemCommand::kReserved72:
    case ModemCommand::kReserved76:
    case ModemCommand::kReserved86:
        return 1;
    case ModemCommand::kModeText:
        return reinterpret_cast<intptr_t>(modeText("%s%i", 0.0001));
    case ModemCommand::kModeTextSpaced:
        return reinterpret_cast<intptr_t>(modeText("%s %i", 0.6));
    case ModemCommand::kSetCwCallSign:
        setCallSign(reinterpret_cast<const char*>(p1));
        return 1;
    case ModemCommand::kSetCwUnit:
        m_cwUnit.store(value, std::memory_order_relaxed);
        return 1;
    case ModemCommand::kSetUserD:
        m_userD = value;
        return 1;
    case ModemCommand::kUserD:
        return m_userD;
    case ModemCommand::kSnapFrequency:
        return snapFrequency(value);
    case ModemCommand::kSetAfc:
        m_channel->setAfcValue(value);
        return 1;
    case ModemCommand::kAfc:
        return m_channel->afcValue();
    case ModemCommand::kSetTxLock:
        m_txLock = value;
        if (value == 0)
            setTxFrequency(m_txOffset + rxFrequency());
        return 1;
    case ModemCommand::kTxLock:
        return m_txLock;
    case ModemCommand::kSetRxLock:
        m_rxLock = value;
        return 1;
    case ModemCommand::kRxLock:
        return m_rxLock;
    case ModemCommand::kIsQpsk:
        return m_mode == kModeQpsk ? 1 : 0;
    case ModemCommand::kSetQpskInversion:
        m_qpskInversion.store(value, std::memory_order_relaxed);
        if (m_mode == kModeQpsk)
            static_cast<CQpskEncode*>(m_encoder.get())->setInversion(value != 0);
        m_channel->setInversion(value != 0);
        return 1;
    case ModemCommand::kQpskInversion:
        return m_qpskInversion.load(std::memory_order_relaxed);
    case ModemCommand::kSetTxFrequency:
        if (!txLock())
            setTxFrequency(fq + m_txOffset);
        return 1;
    case ModemCommand::kForceTxFrequency:
        setTxFrequency(fq + m_txOffset);
        return 1;
    case ModemCommand::kTxFrequency:
    case ModemCommand::kTxFrequencyToo:
        return qint64(txFrequency() + 0.5) - m_txOffset;
    case ModemCommand::kSetRxFrequency:
        // The receive lock refuses the retune and is the answer.
        if (rxLock())
            return m_rxLock;
        setRxFrequency(fq);
        return 1;
    case ModemCommand::kRxFrequency:
        return qint64(rxFrequency() + 0.5);
    case ModemCommand::kRxFrequencyTenths:
        return qint64(rxFrequency() * 10.0);
    case ModemCommand::kSetBothFrequencies:
        if (!txLock())
            setTxFrequency(fq + m_txOffset);
        setRxFrequency(fq);
        return 1;
    case ModemCommand::kSetSquelch:
        m_channel->setSquelchEnabled(value);
        return 1;
    case ModemCommand::kSquelch:
        return m_channel->squelchEnabled();
    case ModemCommand::kQuality:
        return (m_mode == kModeBpsk || m_mode == kModeQpsk) ? decoderQuality() : m_channel->squelchOpen();
    case ModemCommand::kSetSquelchThreshold:
        m_channel->setSquelchThreshold(value);
        return 1;
    case ModemCommand::kSquelchThreshold:
        return m_channel->squelchThreshold();
    case ModemCommand::kSquelchOpen:
        return m_channel->squelchOpen();
    case ModemCommand::kSetSquelchOpen:
        m_channel->setSquelchOpen(value);
        return 1;
    case ModemCommand::kNotFsk:
        return m_mode != kModeFsk ? 1 : 0;
    case ModemCommand::kMeasureImd:
        return measureImd();
    case ModemCommand::kSetSymbolRate: {
        // A rate of zero or below would stop the symbol clock for good.
        if (value <= 0)
            return 1;
        const double baud = value * 0.01;
        m_baud.store(baud, std::memory_order_relaxed);
        m_txDsp->setShiftAndBaud(0.0, baud);
        m_channel->setBaud(baud);
        g_symbolRates[m_mode] = baud;
        return 1;
    }
    case ModemCommand::kWidestImdText: {
        static const char kWidest[] = "IMD: -88 dB";
        static const char kEmpty[] = "";
        return reinterpret_cast<intptr_t>(m_mode == kModeFsk ? kEmpty : kWidest);
    }
    case ModemCommand::kImdText:
        return reinterpret_cast<intptr_t>(imdText(value));
    case ModemCommand::kBitsPerChar:
        return charSet() != kCharSetAscii8 ? 16 : 8;
    default:
        return 0;
    }
}
