// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>

struct fftwf_plan_s;

// The display transform: one frame of 2048 real samples in, a logarithmic
// power level per frequency bin out, scaled for the waterfall's palette.
// The transform is planned once at construction; process() allocates
// nothing. Not thread-safe (FFTW's planner is not); the waterfall uses it on
// the GUI thread only.
class Cfft
{
public:
    static constexpr int kFrameSize = 2048;
    static constexpr int kBinCount = kFrameSize / 2;

    Cfft();
    virtual ~Cfft();
    Cfft(const Cfft&) = delete;
    Cfft& operator=(const Cfft&) = delete;

    // Transforms the frame (unnormalised forward DFT) and writes
    // destination[i] = level(bin i) * scale for i = first ... last (clipped to
    // 0 ... 1023). The level of bin b is log10(|X_b|^2 + 28145.8) - 4.4494132,
    // which is about 0 for silence; bin 0 (DC) always has level 0.
    // The frame is overwritten with the packed spectrum: frame[0] = DC,
    // frame[1] = the Nyquist term, frame[2b], frame[2b + 1] = real and
    // imaginary part of bin b. Returns 0.
    int process(float* frame, int first, int last, float scale, float* destination);

private:
    float* m_input = nullptr;  // kFrameSize floats, SIMD-aligned for FFTW
    float* m_output = nullptr; // kBinCount + 1 complex values
    fftwf_plan_s* m_plan = nullptr;
    std::array<float, kBinCount> m_logPower{};
};
