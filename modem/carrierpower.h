// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

// The power of the received audio at one frequency through a filter about
// one symbol rate wide: the audio in blocks two symbols long, a symbol
// apart, each weighted with a Hann window and correlated with the frequency.
// The window's low side lobes keep out a neighbour 100 Hz away at 31.25 baud
// (a plain one-symbol sum lets it in 17 dB down), and a PSK signal's idle
// lines, half a symbol rate either side of its carrier, fall on the nulls of
// a filter one and a half symbol rates away. Used to tell whether a signal
// is there at a moment, where the averaged spectrum remembers it for
// seconds. White noise of variance v gives 0.75 v times the symbol's samples
// per block on average (noisePerBlock()).
class CarrierPower
{
public:
    CarrierPower(double rate, double baud)
        : m_rate(rate)
        , m_symbol(std::max(8, int(std::lround(rate / baud))))
        , m_window(size_t(2 * m_symbol))
    {
        for (int n = 0; n < 2 * m_symbol; ++n)
            m_window[size_t(n)] = 0.5 - 0.5 * std::cos(M_PI * n / m_symbol);
    }

    int symbolSamples() const { return m_symbol; }
    double noisePerBlock(double variance) const { return 0.75 * m_symbol * variance; }

    // The powers at hz of `blocks` blocks over the samples 0 ... (blocks + 1)
    // symbols, sample(i) giving sample i.
    template <typename Sample>
    void measure(const Sample& sample, int blocks, double hz, std::vector<double>* powers) const
    {
        powers->assign(size_t(std::max(blocks, 0)), 0.0);
        const std::complex<double> step = std::polar(1.0, -2.0 * M_PI * hz / m_rate);
        for (int k = 0; k < blocks; ++k) {
            std::complex<double> turn(1.0, 0.0), sum;
            const int first = k * m_symbol;
            for (int n = 0; n < 2 * m_symbol; ++n) {
                sum += m_window[size_t(n)] * double(sample(first + n)) * turn;
                turn *= step;
            }
            (*powers)[size_t(k)] = std::norm(sum);
        }
    }

private:
    double m_rate;
    int m_symbol;
    std::vector<double> m_window;
};
