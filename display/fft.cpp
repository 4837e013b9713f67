// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/fft.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
// The offset keeps quiet bins from falling to minus infinity; the second
// constant is deliberately not quite log10 of the first, so silence maps to a
// level of about 4e-7 rather than exactly 0.
constexpr double kPowerFloor = 28145.8;
constexpr double kLevelOffset = 4.4494132;
} // namespace

Cfft::Cfft()
{
    m_input = static_cast<float*>(fftwf_malloc(sizeof(float) * kFrameSize));
    m_output = static_cast<float*>(fftwf_malloc(sizeof(fftwf_complex) * (kBinCount + 1)));
    // FFTW_ESTIMATE leaves the arrays alone and plans in microseconds; a
    // measured plan gains little at this size and would cost every instance
    // a noticeable start-up delay.
    m_plan = fftwf_plan_dft_r2c_1d(kFrameSize, m_input, reinterpret_cast<fftwf_complex*>(m_output),
                                   FFTW_ESTIMATE);
}

Cfft::~Cfft()
{
    fftwf_destroy_plan(m_plan);
    fftwf_free(m_output);
    fftwf_free(m_input);
}

int Cfft::process(float* frame, int first, int last, float scale, float* destination)
{
    std::memcpy(m_input, frame, sizeof(float) * kFrameSize);
    fftwf_execute(m_plan);

    frame[0] = m_output[0];
    frame[1] = m_output[2 * kBinCount];
    for (int b = 1; b < kBinCount; ++b) {
        const float re = m_output[2 * b];
        const float im = m_output[2 * b + 1];
        frame[2 * b] = re;
        frame[2 * b + 1] = im;
        const float power = re * re + im * im;
        m_logPower[b] = float(std::log10(double(power) + kPowerFloor) - kLevelOffset);
    }

    first = std::max(first, 0);
    last = std::min(last, kBinCount - 1);
    for (int i = first; i <= last; ++i)
        destination[i] = m_logPower[i] * scale;
    return 0;
}
