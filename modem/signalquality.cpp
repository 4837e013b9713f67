// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/signalquality.h"

#include "modem/afcacquisition.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

double power(const AfcAcquisition& spectrum, double fq)
{
    return std::pow(10.0, spectrum.levelAt(fq) / 10.0);
}

double binHz(const AfcAcquisition& spectrum)
{
    return spectrum.frameSize() > 0 ? spectrum.sampleRate() / spectrum.frameSize() : 0.0;
}

// Power summed over the bins from lo to hi (Hz), less the noise in them.
double excess(const AfcAcquisition& spectrum, double lo, double hi, double noisePerBin)
{
    const double step = binHz(spectrum);
    double sum = 0.0;
    for (int k = int(std::ceil(lo / step)); k * step <= hi; ++k)
        sum += power(spectrum, k * step) - noisePerBin;
    return sum;
}

// Bins from lo to hi, as excess() counts them.
int binsIn(const AfcAcquisition& spectrum, double lo, double hi)
{
    const double step = binHz(spectrum);
    return std::max(0, int(std::floor(hi / step)) - int(std::ceil(lo / step)) + 1);
}

} // namespace

namespace SignalQuality {

double noisePerBin(const AfcAcquisition& spectrum, double lowHz, double highHz)
{
    const double step = binHz(spectrum);
    if (!(step > 0.0) || spectrum.frameCount() == 0)
        return 0.0;
    std::vector<double> band;
    for (int k = int(std::ceil(lowHz / step)); k * step <= highHz; ++k)
        band.push_back(power(spectrum, k * step));
    if (band.empty())
        return 0.0;
    auto median = band.begin() + std::ptrdiff_t(band.size() / 2);
    std::nth_element(band.begin(), median, band.end());
    return *median;
}

double snrDb(const AfcAcquisition& spectrum, double frequency, double baud, double noisePerBin)
{
    const double step = binHz(spectrum);
    if (!(noisePerBin > 0.0) || !(step > 0.0) || !(baud > 0.0))
        return kNoSignalDb;
    // Summed over the bins, the power above the noise is the signal's power
    // in units of the noise in one bin's width. Noise alone sums to about
    // nothing, now a little above, now below.
    const double ratio = excess(spectrum, frequency - baud, frequency + baud, noisePerBin) / noisePerBin * step / kBandwidthHz;
    return ratio > 0.0 ? std::max(kNoSignalDb, 10.0 * std::log10(ratio)) : kNoSignalDb;
}

double imdDb(const AfcAcquisition& spectrum, double frequency, double baud, double noisePerBin)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double step = binHz(spectrum);
    if (!(noisePerBin > 0.0) || !(step > 0.0) || !(baud > 0.0))
        return nan;
    // Each line is read over the window's main lobe, or a quarter symbol
    // rate at the higher speeds, so the lines never share a bin.
    const double half = std::max(2.0 * step, 0.25 * baud);
    auto line = [&](double offset) { return excess(spectrum, frequency + offset - half, frequency + offset + half, noisePerBin); };
    const double tones = line(-0.5 * baud) + line(0.5 * baud);
    const double noise = noisePerBin * (binsIn(spectrum, -half, half) * 2);
    if (!(tones > 0.0) || tones < noise * std::pow(10.0, kImdMarginDb / 10.0))
        return nan;
    const double products = std::max(line(-1.5 * baud) + line(1.5 * baud), noise);
    return 10.0 * std::log10(products / tones);
}

} // namespace SignalQuality
