// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the display tests: a private settings file and tones at 11025 Hz.
#pragma once

#include "core/settings.h"

#include <QTemporaryDir>
#include <QVariantMap>

#include <array>
#include <cmath>

namespace DisplayTest {

constexpr int kBlock = 2048;
constexpr double kRate = 11025.0;
constexpr double kBinHz = kRate / kBlock;
constexpr double kFullScale = 32767.0;
using Block = std::array<float, kBlock>;

// Points the settings store at a fresh file holding `values` while it lives.
struct ScopedSettings
{
    explicit ScopedSettings(const QVariantMap& values = {})
    {
        Settings::setPath(dir.filePath(QStringLiteral("display.ini")));
        Settings settings;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(it.key(), it.value());
    }
    QTemporaryDir dir;
};

// A cosine at a (possibly fractional) bin of the 2048-point frame.
inline Block tone(double bin, double amplitude, double phase = 0.0)
{
    Block block{};
    for (int n = 0; n < kBlock; ++n)
        block[n] = float(amplitude * std::cos(2.0 * M_PI * bin * n / kBlock + phase));
    return block;
}

} // namespace DisplayTest
