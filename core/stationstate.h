// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>

// Process-wide station flags owned by the main window and read by the
// displays and text panes: whether a transmission is running and whether sent
// text is echoed into the receive pane. Atomic because the audio output thread
// may read them too.
namespace StationState {

inline std::atomic<bool>& transmittingFlag()
{
    static std::atomic<bool> flag{false};
    return flag;
}

inline std::atomic<bool>& txEchoFlag()
{
    static std::atomic<bool> flag{true};
    return flag;
}

inline bool isTransmitting() { return transmittingFlag().load(std::memory_order_relaxed); }
inline void setTransmitting(bool on) { transmittingFlag().store(on, std::memory_order_relaxed); }
inline bool txEchoEnabled() { return txEchoFlag().load(std::memory_order_relaxed); }
inline void setTxEchoEnabled(bool on) { txEchoFlag().store(on, std::memory_order_relaxed); }

} // namespace StationState
