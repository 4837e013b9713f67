// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <functional>
#include <memory>

// Runs the program's PortAudio calls, one at a time and in order, on a
// thread of their own. PortAudio is not safe to call from two threads, and
// a call can block for as long as the sound server under it hangs (a server
// stopped, not dead, answers nothing) or for ever (starting a stream whose
// server connection is gone never returns), so the GUI thread never calls it
// directly: it hands the call over and waits a short time at most.
//
// Waiting and hanging are apart: a caller that stops waiting leaves its job
// to finish whenever it can. Only a job that has run for the hang time
// counts as hung, and only abandonIfHung() (called from a timer, never
// waited for) then leaves its thread behind with whatever it holds; later
// calls run on a fresh thread. A caller that stopped waiting must forget
// the stream its job was working on, never touching it again.
class SoundThread
{
public:
    // The longest the GUI thread waits for any one call. Opening, starting
    // and stopping a stream take milliseconds, a few hundred on a sound
    // server that is busy starting its streams.
    static constexpr int kAnswerMs = 1000;
    // A job that has run this long has hung (the second one in a row gets
    // twice as long, and so on, so a server that stays stopped costs few
    // threads).
    static constexpr int kHungMs = 2000;
    // Starting PortAudio and listing the devices opens every device once,
    // which is slower; it happens before the window shows.
    static constexpr int kStartUpMs = 20000;

    // Runs job on the sound thread and waits for it up to timeoutMs from
    // now. Answers whether it finished; when it did not, the job may still
    // run later, so it must keep what it writes alive itself (a shared
    // pointer).
    static bool call(std::function<void()> job, int timeoutMs = kAnswerMs);
    // Runs job on the sound thread without waiting for it.
    static void post(std::function<void()> job);
    // How long the job now running has been at it, in ms; 0 when idle.
    static qint64 busyMs();
    // Leaves the sound thread behind when its job has hung, and moves the
    // jobs queued behind it to a new one; answers whether it did. Never
    // waits.
    static bool abandonIfHung();
    // Marks the job now running as one that starts PortAudio or lists the
    // devices, which opens every device once: it counts as hung only after
    // kStartUpMs. Leaving it behind sooner would let a second thread call
    // PortAudio while it still runs.
    static void expectSlow();
    // How many threads were left behind so far.
    static int abandonments();
    // Whether the caller runs on the sound thread and has not been left
    // behind: only then may it still call PortAudio.
    static bool onCurrentThread();

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

    // Whether a call has ever hung. PortAudio cannot then be shut down or
    // restarted: that would close the stream the hung call holds and hang
    // too, or pull PortAudio away under it.
    static bool anyHung();
};
