// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/afcacquisition.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;

// The resolution aimed at: that of a 2048-point frame at 11025 Hz, fine
// enough to place a 31-baud signal within a hertz or so, short enough
// (0.19 s) to follow a signal that comes and goes.
constexpr double kReferenceRate = 11025.0;
constexpr double kReferenceFrame = 2048.0;

// Weight of each new frame in the average. With frames every half frame
// (93 ms at 11025 Hz) the average spans about three quarters of a second:
// long enough that noise alone never looks like a signal, short enough to
// find a new one within a second. The average starts from nothing; only
// ratios between bins are judged, which that does not change.
constexpr double kAverageWeight = 1.0 / 8.0;
// A signal that ends leaves its power in the average for a while, long
// after a strong one (a tune carrier, our own over heard back): the average
// of a bin never stands more than kHoldShare above the strongest frame of
// the last kHoldFrames to 2 * kHoldFrames (0.4 to 0.75 s at 11025 Hz), so
// what is gone is forgotten within a second whatever its strength. Noise
// alone keeps a bin's frames that far below its average for that long
// hardly ever, so the floor and the signals stay as they were.
constexpr int kHoldFrames = 4;
constexpr double kHoldShare = 2.0;
// Frames averaged before the first judgement; a young average is too noisy.
constexpr quint32 kMinFrames = 8;

// A clear signal: across its band the power above the noise floor is at
// least this many times the floor (signal and noise 4.8 dB over the noise
// alone). Noise alone, averaged as above, stays far below it; a signal
// weaker than this could not be read anyway, and following it would only
// chase the noise around it.
constexpr double kClearSignal = 2.0;
// Beside a signal's band, within one more band half-width, the power above
// the floor is less than this share of the band's own: PSK keeps nearly all
// of its power within one symbol rate of the carrier.
constexpr double kFlankShare = 0.5;
// The floor is the median of the bins this many signal half-widths beyond
// the search radius on either side: wide enough that the signal itself
// covers less than half of them.
constexpr double kNoiseSpan = 3.0;
constexpr int kMinNoiseBins = 8;

// Centroid iterations; each moves the band towards the signal's centre.
constexpr int kMaxIterations = 24;
constexpr double kConverged = 0.01; // bins

// Power of a full-scale sine in one bin, with the normalisation used below.
constexpr double kFullScale = 32768.0 * 32768.0 / 4.0;
constexpr double kNoLevel = -150.0;

} // namespace

AfcAcquisition::AfcAcquisition()
    : m_frame(kMaxFrame, 0.0f)
    , m_window(kMaxFrame, 0.0f)
    , m_work(kMaxFrame / 2)
    , m_twiddle(kMaxFrame / 2)
    , m_power(kMaxFrame / 2, 0.0)
    , m_holdNow(kMaxFrame / 2, 0.0f)
    , m_holdBefore(kMaxFrame / 2, 0.0f)
    , m_scratch(kMaxFrame / 2, 0.0)
{
    setSampleRate(kReferenceRate);
}

double AfcAcquisition::searchRadius(double baud)
{
    // A click lands within a few tens of hertz of a narrow trace; a wide
    // signal is easier to miss by more.
    return std::max(40.0, 1.5 * baud);
}

double AfcAcquisition::signalHalfWidth(double baud)
{
    // PSK's main lobe reaches one symbol rate either side of the carrier.
    return baud;
}

void AfcAcquisition::setSampleRate(double rate)
{
    m_rate = 0.0;
    m_n = 0;
    if (std::isfinite(rate) && rate > 0.0) {
        const double ideal = std::log2(rate * kReferenceFrame / kReferenceRate);
        const double bits = std::clamp(std::round(ideal), std::log2(double(kMinFrame)), std::log2(double(kMaxFrame)));
        m_rate = rate;
        m_n = 1 << int(bits);
        // Periodic Hann window: overlapping halves sum to a constant.
        for (int i = 0; i < m_n; ++i)
            m_window[size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * kPi * i / m_n));
        for (int k = 0; k < m_n / 2; ++k)
            m_twiddle[size_t(k)] = std::polar(1.0, -2.0 * kPi * k / m_n);
    }
    clear();
}

void AfcAcquisition::clear()
{
    m_fill = 0;
    m_frames = 0;
    std::fill(m_power.begin(), m_power.end(), 0.0);
    std::fill(m_holdNow.begin(), m_holdNow.end(), 0.0f);
    std::fill(m_holdBefore.begin(), m_holdBefore.end(), 0.0f);
    m_holdFill = 0;
}

void AfcAcquisition::addSamples(const qint16* samples, int count)
{
    if (m_n == 0 || !samples)
        return;
    while (count > 0) {
        const int take = std::min(count, m_n - m_fill);
        std::copy(samples, samples + take, m_frame.begin() + m_fill);
        samples += take;
        count -= take;
        m_fill += take;
        if (m_fill == m_n) {
            analyseFrame();
            // Half-frame overlap: the Hann window would otherwise ignore
            // the audio at the frame edges.
            std::copy(m_frame.begin() + m_n / 2, m_frame.begin() + m_n, m_frame.begin());
            m_fill = m_n / 2;
        }
    }
}

void AfcAcquisition::analyseFrame()
{
    const int half = m_n / 2;
    for (int k = 0; k < half; ++k) {
        const size_t e = size_t(2 * k);
        m_work[size_t(k)] = {double(m_frame[e] * m_window[e]), double(m_frame[e + 1] * m_window[e + 1])};
    }
    transform();

    // Unpack the real frame's spectrum from the half-length complex one, and
    // normalise so that a sine of amplitude A on a bin reads A^2 / 4. The
    // arithmetic is spelled out: it runs once per bin and frame.
    const double scale = 4.0 / (double(m_n) * m_n);
    for (int k = 0; k < half; ++k) {
        // X[k] = E[k] + w^k O[k], with E and O the spectra of the even and
        // odd samples: E = (Z[k] + conj Z[-k]) / 2, O = (Z[k] - conj Z[-k]) / 2i.
        const std::complex<double> z = m_work[size_t(k)];
        const std::complex<double> mirror = std::conj(m_work[size_t((half - k) % half)]);
        const std::complex<double> even = 0.5 * (z + mirror);
        const std::complex<double> d = z - mirror;
        const double oddRe = 0.5 * d.imag();
        const double oddIm = -0.5 * d.real();
        const std::complex<double> w = m_twiddle[size_t(k)];
        const double re = even.real() + w.real() * oddRe - w.imag() * oddIm;
        const double im = even.imag() + w.real() * oddIm + w.imag() * oddRe;
        const double p = (re * re + im * im) * scale;
        float& held = m_holdNow[size_t(k)];
        held = std::max(held, float(p));
        double& average = m_power[size_t(k)];
        average += kAverageWeight * (p - average);
        average = std::min(average, kHoldShare * std::max(held, m_holdBefore[size_t(k)]));
    }
    ++m_frames;
    if (++m_holdFill == kHoldFrames) {
        m_holdNow.swap(m_holdBefore);
        std::fill(m_holdNow.begin(), m_holdNow.begin() + half, 0.0f);
        m_holdFill = 0;
    }
}

void AfcAcquisition::transform()
{
    // Iterative radix-2 FFT of m_n / 2 points in place.
    const int m = m_n / 2;
    std::complex<double>* a = m_work.data();
    for (int i = 1, j = 0; i < m; ++i) {
        int bit = m >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(a[i], a[j]);
    }
    for (int len = 2; len <= m; len <<= 1) {
        const int half = len / 2;
        const int stride = m_n / len; // e^(-2 pi i k / len) = twiddle[k * n / len]
        for (int i = 0; i < m; i += len) {
            for (int k = 0; k < half; ++k) {
                const std::complex<double> v = a[i + k + half] * m_twiddle[size_t(k * stride)];
                a[i + k + half] = a[i + k] - v;
                a[i + k] += v;
            }
        }
    }
}

double AfcAcquisition::levelAt(double fq) const
{
    if (m_n == 0 || m_frames == 0 || !std::isfinite(fq))
        return kNoLevel;
    const double x = fq * m_n / m_rate;
    const int top = m_n / 2 - 1;
    if (!(x >= 0.0 && x <= top))
        return kNoLevel;
    const int i = std::min(int(x), top - 1);
    const double f = x - i;
    const double p = m_power[size_t(i)] * (1.0 - f) + m_power[size_t(i + 1)] * f;
    return p > 0.0 ? std::max(kNoLevel, 10.0 * std::log10(p / kFullScale)) : kNoLevel;
}

void AfcAcquisition::bandMoments(double lo, double hi, double noise, double* sum, double* moment) const
{
    double s = 0.0;
    double m = 0.0;
    const int first = std::max(1, int(std::floor(lo + 0.5)));
    const int last = std::min(m_n / 2 - 1, int(std::ceil(hi - 0.5)));
    for (int b = first; b <= last; ++b) {
        // The share of bin b (b - 0.5 to b + 0.5) inside the band.
        const double share = std::min(b + 0.5, hi) - std::max(b - 0.5, lo);
        if (share <= 0.0)
            continue;
        const double excess = share * (m_power[size_t(b)] - noise);
        s += excess;
        m += excess * b;
    }
    *sum = s;
    *moment = m;
}

double AfcAcquisition::noiseFloor(int from, int to) const
{
    from = std::max(from, 1);
    to = std::min(to, m_n / 2 - 1);
    const int count = to - from + 1;
    if (count < kMinNoiseBins)
        return -1.0;
    std::copy(m_power.begin() + from, m_power.begin() + to + 1, m_scratch.begin());
    auto middle = m_scratch.begin() + count / 2;
    std::nth_element(m_scratch.begin(), middle, m_scratch.begin() + count);
    // Digital silence has no floor at all (white noise of variance v shows
    // as 1.5 v / N in every bin).
    return std::max(*middle, 1.5 * kLeastNoiseVariance / m_n);
}

bool AfcAcquisition::findCentre(double fq, double baud, double* centre, double* excess) const
{
    if (m_n == 0 || m_frames < kMinFrames || !std::isfinite(fq) || !(baud > 0.0))
        return false;
    const double binHz = m_rate / m_n;
    const double x0 = fq / binHz;
    const double radius = searchRadius(baud) / binHz;
    const double width = signalHalfWidth(baud) / binHz;
    const double span = radius + kNoiseSpan * width;
    const double top = m_n / 2 - 1;
    // A receive frequency far outside the spectrum has nothing near it.
    if (!(x0 + radius >= 1.0 && x0 - radius <= top))
        return false;

    const double noise =
        noiseFloor(int(std::floor(std::max(x0 - span, 0.0))), int(std::ceil(std::min(x0 + span, top))));
    if (noise < 0.0)
        return false;

    // The band with the most power above the noise, then its centroid,
    // which a symmetric spectrum shares with its carrier; recentring the
    // band on the centroid each time removes what the first band cut off.
    double best = -1.0;
    double x = x0;
    const int lo = int(std::ceil(std::max(x0 - radius, 1.0)));
    const int hi = int(std::floor(std::min(x0 + radius, top)));
    for (int b = lo; b <= hi; ++b) {
        double sum = 0.0;
        double moment = 0.0;
        bandMoments(b - width, b + width, noise, &sum, &moment);
        if (sum > best) {
            best = sum;
            x = b;
        }
    }
    if (best <= 0.0)
        return false;

    double sum = 0.0;
    for (int i = 0; i < kMaxIterations; ++i) {
        double moment = 0.0;
        bandMoments(x - width, x + width, noise, &sum, &moment);
        if (sum <= 0.0)
            return false;
        const double next = moment / sum;
        const bool done = std::abs(next - x) < kConverged;
        x = next;
        if (done)
            break;
    }
    const double above = sum / (2.0 * width);
    if (above < kClearSignal * noise)
        return false;
    // A signal stands out on both sides. Where the receiver's passband ends,
    // or the noise floor slopes, a stretch of noise looks like a band above
    // the floor too, but its flank towards the passband is as high as it.
    double lower = 0.0;
    double upper = 0.0;
    double unused = 0.0;
    bandMoments(x - 2.0 * width, x - width, noise, &lower, &unused);
    bandMoments(x + width, x + 2.0 * width, noise, &upper, &unused);
    if (std::max(lower, upper) / width > kFlankShare * above)
        return false;
    if (std::abs(x - x0) > radius)
        return false;
    *centre = x * binHz;
    if (excess)
        *excess = above;
    return true;
}
