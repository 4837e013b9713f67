// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

// Runs the program's PortAudio calls, one at a time and in order, on a
// thread of their own. PortAudio is not safe to call from two threads, and
// a call can block for ever when the sound server under it dies (starting a
// stream whose server connection is gone never returns), so the GUI thread
// never calls it directly: it hands the call over and waits a bounded time.
//
// A call that does not come back in time leaves its thread behind with
// whatever it holds; later calls run on a fresh thread. The caller must then
// forget the stream the call was working on, never touching it again.
class SoundThread
{
public:
    // How long the GUI thread waits for any one call. Opening, starting and
    // stopping a stream take milliseconds; a call this late has hung.
    static constexpr int kAnswerMs = 2000;
    // Starting PortAudio and listing the devices opens every device once,
    // which is slower; it happens before the window shows.
    static constexpr int kStartUpMs = 20000;

    // Runs job on the sound thread and waits for it up to timeoutMs. Answers
    // whether it finished; when it did not, the job may still finish later,
    // so it must keep what it writes alive itself (a shared pointer).
    // A call queued behind another that has run for timeoutMs moves on to a
    // new thread, the other counting as hung.
    static bool call(std::function<void()> job, int timeoutMs = kAnswerMs);
    // Runs job on the sound thread without waiting for it.
    static void post(std::function<void()> job);
    // How long the job now running has been at it, in ms; 0 when idle.
    static qint64 busyMs();

    // call() for a job with a result: the result, or fallback if the job did
    // not finish in time.
    template <typename T>
    static T ask(std::function<T()> job, T fallback, int timeoutMs = kAnswerMs)
    {
        auto result = std::make_shared<T>(fallback);
        if (!call([job, result] { *result = job(); }, timeoutMs))
            return fallback;
        return *result;
    }

    // Whether a call has ever hung. PortAudio cannot then be shut down at
    // exit: it would close the stream the hung call holds and hang too.
    static bool anyHung();
};
