// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

// How many recent input samples the receiver decodes again after a retune.
// The waterfall sets it (2048 samples per row above the clicked one) just
// before it announces the new frequency, and the transceiver reads it while
// handling that announcement. One value for the whole process; atomic so
// that no thread can see a torn value.
namespace ReplayDistance {

inline std::atomic<int>& storage()
{
    static std::atomic<int> distance{0};
    return distance;
}

inline int get() { return storage().load(std::memory_order_relaxed); }
inline void set(int samples) { storage().store(samples, std::memory_order_relaxed); }

} // namespace ReplayDistance
