// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/settings.h"

#include <QTemporaryDir>
#include <QVariantMap>

#include <array>
#include <cmath>
#include <random>
#include <vector>

// Shared pieces of the display tests: a private settings file and test
// signals at the display's sample rate.
namespace DisplayTest {

constexpr int kBlock = 2048;
constexpr double kRate = 11025.0;
constexpr double kBinHz = kRate / kBlock;
constexpr double kFullScale = 32767.0;

// Points the settings store at a fresh file (optionally with some keys) for
// as long as it lives.
class ScopedSettings
{
public:
    explicit ScopedSettings(const QVariantMap& values = {})
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("display.ini")));
        Settings settings;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }
    bool isValid() const { return m_dir.isValid(); }

private:
    QTemporaryDir m_dir;
};

// A cosine at the given (possibly fractional) bin of the 2048-point frame.
inline std::array<float, kBlock> tone(double bin, double amplitude, double phase = 0.0)
{
    std::array<float, kBlock> block{};
    for (int n = 0; n < kBlock; ++n)
        block[n] = float(amplitude * std::cos(2.0 * M_PI * bin * n / kBlock + phase));
    return block;
}

// Idle: the reversals a PSK station sends between characters (two lines on
// the waterfall, either side of the carrier). Random: data bits (one band
// peaking at the carrier).
enum class Bits { Idle, Random };

// BPSK at the given symbol rate and carrier: a phase reversal with a
// cosine-shaped amplitude for each 0 bit, as on the air.
inline std::vector<float> bpsk(double carrierHz, double baud, int samples, double amplitude,
                               Bits bits, unsigned seed = 1)
{
    std::mt19937 random(seed);
    std::vector<float> out(samples);
    const double symbolLength = kRate / baud;
    double sign = 1.0;
    int symbol = -1;
    bool reversal = false;
    for (int n = 0; n < samples; ++n) {
        const int s = int(n / symbolLength);
        if (s != symbol) {
            if (reversal)
                sign = -sign;
            symbol = s;
            reversal = bits == Bits::Idle || (random() & 1) == 0;
        }
        const double t = n / symbolLength - s; // 0 ... 1 within the symbol
        const double envelope = reversal ? sign * std::cos(M_PI * t) : sign;
        out[n] = float(amplitude * envelope * std::cos(2.0 * M_PI * carrierHz * n / kRate));
    }
    return out;
}

} // namespace DisplayTest
