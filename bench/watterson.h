// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A Watterson model of an HF channel, for the benchmarks and their tests:
// a few propagation paths of equal mean power, each delayed and multiplied
// by its own complex Gaussian tap gain (Rayleigh-fading envelope) whose
// spectrum is a Gaussian of the given Doppler spread (twice its standard
// deviation). The taps act on the analytic signal of the real audio (the
// audio plus j times its Hilbert transform); the real part of the sum is the
// received audio. The mean power gain of the channel is 1, so a signal's
// power before the channel is its mean power after it.

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace Watterson {

using Complex = std::complex<double>;

constexpr double kPi = 3.14159265358979323846;

struct Condition
{
    const char* name;
    int paths;
    double delay;  // seconds between the first path and each further one
    double spread; // Doppler spread in Hz (twice the standard deviation)
};

// The usual test conditions on two paths.
inline const Condition kGood{"good", 2, 0.5e-3, 0.1};
inline const Condition kModerate{"moderate", 2, 1.0e-3, 0.5};
inline const Condition kPoor{"poor", 2, 2.0e-3, 1.0};
inline const Condition kFlutter{"flutter", 2, 0.5e-3, 10.0};

// One path's tap gain at every one of count samples at sampleRate: complex
// white Gaussian noise at a low rate, shaped by a Gaussian filter to the
// Doppler spectrum, and interpolated linearly to sampleRate. Its mean power
// is power. Without spread the gain stays at sqrt(power).
inline std::vector<Complex> tapGains(size_t count, double sampleRate, double spread, double power, unsigned seed)
{
    std::vector<Complex> gains(count, Complex(std::sqrt(power), 0.0));
    if (!(spread > 0.0) || count == 0)
        return gains;
    // The spectrum's standard deviation; a Gaussian impulse response of
    // width s has a power spectrum of standard deviation 1 / (2 sqrt2 pi s).
    const double sigma = spread / 2.0;
    const double s = 1.0 / (2.0 * std::sqrt(2.0) * kPi * sigma);
    // 40 low-rate samples per spread leave the interpolation's images far
    // below the spectrum.
    const double rate = std::min(sampleRate, 40.0 * spread);
    const int half = int(std::ceil(4.0 * s * rate));
    std::vector<double> taps(size_t(2 * half + 1));
    double energy = 0.0;
    for (int k = -half; k <= half; ++k) {
        const double t = k / rate;
        taps[size_t(k + half)] = std::exp(-t * t / (2.0 * s * s));
        energy += taps[size_t(k + half)] * taps[size_t(k + half)];
    }
    // White input of unit power gives an output of mean power `power`.
    for (double& t : taps)
        t *= std::sqrt(power / energy);

    const size_t slow = size_t(std::ceil(double(count) / sampleRate * rate)) + 2;
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(0.5));
    std::vector<Complex> white(slow + taps.size());
    for (Complex& w : white)
        w = Complex(gauss(rng), gauss(rng));
    std::vector<Complex> shaped(slow);
    for (size_t i = 0; i < slow; ++i) {
        Complex sum;
        for (size_t k = 0; k < taps.size(); ++k)
            sum += taps[k] * white[i + k];
        shaped[i] = sum;
    }
    for (size_t n = 0; n < count; ++n) {
        const double at = double(n) / sampleRate * rate;
        const size_t i = size_t(at);
        const double frac = at - double(i);
        gains[n] = shaped[i] + frac * (shaped[i + 1] - shaped[i]);
    }
    return gains;
}

// The Hilbert transform of x by a Blackman-windowed FIR of 2 * half + 1
// taps, aligned with x (the filter's delay taken out, the ends zero-padded).
// Flat to a fraction of a per cent from about 200 Hz to fs/2 - 200 Hz at
// 11025 Hz.
inline std::vector<double> hilbert(const std::vector<double>& x, int half = 128)
{
    std::vector<double> h(size_t(2 * half + 1), 0.0);
    for (int k = -half; k <= half; ++k) {
        if (k % 2 == 0)
            continue;
        const double w = 0.42 + 0.5 * std::cos(kPi * k / (half + 1)) + 0.08 * std::cos(2.0 * kPi * k / (half + 1));
        h[size_t(k + half)] = 2.0 / (kPi * k) * w;
    }
    // Zero-padded on both sides so that the inner loop needs no bounds.
    std::vector<double> padded(x.size() + size_t(2 * half), 0.0);
    std::copy(x.begin(), x.end(), padded.begin() + half);
    // The odd taps only (the even ones are 0), reversed for the sum.
    std::vector<double> odd;
    for (int k = half; k >= -half; --k)
        if (k % 2 != 0)
            odd.push_back(h[size_t(k + half)]);
    const int first = half % 2 != 0 ? 0 : 1; // offset of the first odd k in padded
    std::vector<double> y(x.size(), 0.0);
    for (size_t i = 0; i < x.size(); ++i) {
        // y[i] = sum_k h[k] x[i - k]; x[i - k] is padded[i + half - k].
        const double* in = padded.data() + i + size_t(first);
        double sum = 0.0;
        for (size_t m = 0; m < odd.size(); ++m)
            sum += odd[m] * in[2 * m];
        y[i] = sum;
    }
    return y;
}

// The analytic signal of real audio.
inline std::vector<Complex> analytic(const std::vector<double>& x)
{
    const std::vector<double> q = hilbert(x);
    std::vector<Complex> a(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        a[i] = Complex(x[i], q[i]);
    return a;
}

// The delay of path p in whole samples (rounded to the nearest one).
inline int pathDelay(const Condition& c, int p, double sampleRate)
{
    return int(std::lround(p * c.delay * sampleRate));
}

// The audio after the channel: each path's delayed copy of the analytic
// signal times its tap gains (seed + path number), summed; the real part.
// Path p lies p delays behind the first. The output is as long as the input.
inline std::vector<double> fade(const std::vector<Complex>& signal, double sampleRate, const Condition& c,
                                unsigned seed)
{
    std::vector<double> out(signal.size(), 0.0);
    for (int p = 0; p < c.paths; ++p) {
        const std::vector<Complex> g = tapGains(signal.size(), sampleRate, c.spread, 1.0 / c.paths, seed + unsigned(p));
        const size_t d = size_t(pathDelay(c, p, sampleRate));
        for (size_t i = d; i < signal.size(); ++i)
            out[i] += (g[i] * signal[i - d]).real();
    }
    return out;
}

} // namespace Watterson
