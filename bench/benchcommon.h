// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the benchmarks share: CPU time, a repeatable text, white noise at a
// given signal-to-noise ratio and the character error rate.

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <random>
#include <vector>

namespace Bench {

// CPU seconds used by this process so far.
inline double cpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// Words of an ordinary contact, drawn with a fixed seed so that every run
// sends the same text.
inline QString qsoText(int minLength, unsigned seed)
{
    static const char* const kWords[] = {
        "CQ",   "DE",    "VK2XYZ", "JA1QRP", "DL5ABC", "ur",    "RST",   "599",  "579",   "name",
        "is",   "Sam",   "QTH",    "near",   "Sydney", "rig",   "runs",  "50",   "W",     "into",
        "a",    "dipole", "wx",    "sunny",  "temp",   "22",    "C",     "tnx",  "for",   "the",
        "QSO",  "73",    "hope",   "cuagn",  "K",      "BTU",   "OM",    "good", "signal", "here",
        "on",   "20m",   "band",   "QSB",    "fading", "pse",   "rpt",   "call", "again", "?",
        "=",    "/",     "de",     "SK",     "GM",     "GE",    "pwr",   "100",  "ant",   "yagi",
    };
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pick(0, int(std::size(kWords)) - 1);
    QString text;
    while (text.size() < minLength) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QString::fromLatin1(kWords[pick(rng)]);
    }
    return text;
}

// Mean power while the transmitter is keyed (first to last non-zero sample).
inline double signalPower(const std::vector<qint16>& s)
{
    size_t first = 0;
    size_t last = s.size();
    while (first < last && s[first] == 0)
        ++first;
    while (last > first && s[last - 1] == 0)
        --last;
    double sum = 0.0;
    for (size_t i = first; i < last; ++i)
        sum += double(s[i]) * s[i];
    return last > first ? sum / double(last - first) : 0.0;
}

// Signal plus white Gaussian noise, SNR = signal power over the noise power
// in 2500 Hz; the noise over the whole band 0 to fs/2 thus has the variance
// (noise in 2500 Hz) * (fs / 2) / 2500. The sum is scaled to an RMS of 3000
// so that 16 bits hold it without clipping at any SNR.
inline std::vector<qint16> withNoise(const std::vector<qint16>& clean, double snrDb, double sampleRate,
                                     unsigned seed)
{
    const double ps = signalPower(clean);
    const double variance = ps / std::pow(10.0, snrDb / 10.0) * (sampleRate / 2.0) / 2500.0;
    const double gain = 3000.0 / std::sqrt(ps + variance);
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(variance) * gain);
    std::vector<qint16> out(clean.size());
    for (size_t i = 0; i < clean.size(); ++i)
        out[i] = qint16(std::clamp(std::round(clean[i] * gain + gauss(rng)), -32768.0, 32767.0));
    return out;
}

// Levenshtein distance (insertions, deletions, substitutions).
inline int editDistance(const QString& a, const QString& b)
{
    std::vector<int> row(size_t(b.size()) + 1);
    for (int j = 0; j <= b.size(); ++j)
        row[size_t(j)] = j;
    for (int i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= b.size(); ++j) {
            const int up = row[size_t(j)];
            const int cost = a.at(i - 1) == b.at(j - 1) ? 0 : 1;
            row[size_t(j)] = std::min({up + 1, row[size_t(j) - 1] + 1, diagonal + cost});
            diagonal = up;
        }
    }
    return row[size_t(b.size())];
}

// Edit distance from the sent text to the best-matching stretch of the
// decoded one: what is decoded before and after the transmission is free.
inline int trimmedDistance(const QString& sent, const QString& decoded)
{
    std::vector<int> row(size_t(decoded.size()) + 1, 0);
    for (int i = 1; i <= sent.size(); ++i) {
        int diagonal = row[0];
        row[0] = i;
        for (int j = 1; j <= decoded.size(); ++j) {
            const int up = row[size_t(j)];
            const int cost = sent.at(i - 1) == decoded.at(j - 1) ? 0 : 1;
            row[size_t(j)] = std::min({up + 1, row[size_t(j) - 1] + 1, diagonal + cost});
            diagonal = up;
        }
    }
    return *std::min_element(row.begin(), row.end());
}

// Edit distance from what was sent to what was decoded, per sent character.
inline double characterErrorRate(const QString& sent, const QString& decoded)
{
    return sent.isEmpty() ? 0.0 : double(editDistance(sent, decoded)) / sent.size();
}

} // namespace Bench
