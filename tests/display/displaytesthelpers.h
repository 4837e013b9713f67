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

// A cosine at a (possibly fractional) bin of the 2048-point frame, at 1/300 of full scale.
inline Block tone(double bin)
{
    Block block{};
    for (int n = 0; n < kBlock; ++n)
        block[n] = float(32767.0 / 300 * std::cos(2.0 * M_PI * bin * n / kBlock));
    return block;
}

} // namespace DisplayTest
