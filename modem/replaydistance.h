// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

// How far back, in input samples, a click asks the receiver to decode again
// after a retune: the clicked line of the waterfall (2048 samples a line),
// or where a signal of the Signals dock was last there. The transceiver
// starts from where the trace passing that point began. The waterfall sets
// it just before it announces the new frequency, and the transceiver reads
// it while handling that announcement. One value for the whole process; atomic so
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
