// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/soundthread.h"

#include <QtDebug>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace {

struct Worker;
thread_local Worker* t_worker = nullptr;

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// One thread and its queue. Shared between the program and the thread, so
// a thread left behind keeps its own queue alive.
struct Worker
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> jobs;
    bool abandoned = false;
    // When the running job began (nowMs()), 0 while waiting for work.
    std::atomic<qint64> busySince{0};
    // How long the running job may take before it counts as hung.
    std::atomic<int> hungAfterMs{SoundThread::kHungMs};

    static void run(std::shared_ptr<Worker> self);
};

std::mutex g_mutex; // guards g_worker
std::shared_ptr<Worker> g_worker;
std::atomic<bool> g_anyHung{false};
// Threads left behind since a job last finished on the current one.
std::atomic<int> g_hungInARow{0};
std::atomic<int> g_abandonments{0};

void Worker::run(std::shared_ptr<Worker> self)
{
    t_worker = self.get();
    std::unique_lock<std::mutex> lock(self->mutex);
    for (;;) {
        self->wake.wait(lock, [&] { return self->abandoned || !self->jobs.empty(); });
        if (self->abandoned)
            return;
        std::function<void()> job = std::move(self->jobs.front());
        self->jobs.pop_front();
        lock.unlock();
        self->hungAfterMs.store(SoundThread::kHungMs);
        self->busySince.store(std::max<qint64>(nowMs(), 1));
        job();
        job = nullptr;
        self->busySince.store(0);
        lock.lock();
        if (!self->abandoned)
            g_hungInARow.store(0);
    }
}

std::shared_ptr<Worker> currentWorker()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    if (!g_worker) {
        g_worker = std::make_shared<Worker>();
        // Never joined: it waits for work until the process ends, and one
        // that hung cannot be joined at all.
        std::thread(&Worker::run, g_worker).detach();
    }
    return g_worker;
}

} // namespace

bool SoundThread::call(std::function<void()> job, int timeoutMs)
{
    if (t_worker) { // a job asking for more: it is already in order
        job();
        return true;
    }
    struct Done
    {
        std::mutex mutex;
        std::condition_variable signal;
        bool done = false;
    };
    auto done = std::make_shared<Done>();
    post([job = std::move(job), done] {
        job();
        std::lock_guard<std::mutex> doneLock(done->mutex);
        done->done = true;
        done->signal.notify_all();
    });
    std::unique_lock<std::mutex> lock(done->mutex);
    return done->signal.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return done->done; });
}

void SoundThread::post(std::function<void()> job)
{
    if (t_worker) {
        job();
        return;
    }
    const std::shared_ptr<Worker> worker = currentWorker();
    std::lock_guard<std::mutex> lock(worker->mutex);
    worker->jobs.push_back(std::move(job));
    worker->wake.notify_one();
}

qint64 SoundThread::busyMs()
{
    const qint64 since = currentWorker()->busySince.load();
    return since ? std::max<qint64>(nowMs() - since, 1) : 0;
}

bool SoundThread::abandonIfHung()
{
    const std::shared_ptr<Worker> hung = currentWorker();
    const int inARow = std::min(g_hungInARow.load(), 4);
    const qint64 since = hung->busySince.load();
    if (!since || nowMs() - since < qint64(hung->hungAfterMs.load()) << inARow)
        return false;
    std::deque<std::function<void()>> waiting;
    {
        std::lock_guard<std::mutex> lock(hung->mutex);
        if (hung->abandoned)
            return false;
        hung->abandoned = true;
        waiting.swap(hung->jobs);
    }
    qWarning("The sound system stopped answering; its call is left behind");
    g_anyHung.store(true);
    g_hungInARow.fetch_add(1);
    g_abandonments.fetch_add(1);
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_worker == hung)
            g_worker.reset();
    }
    const std::shared_ptr<Worker> next = currentWorker();
    std::lock_guard<std::mutex> lock(next->mutex);
    for (auto& job : waiting)
        next->jobs.push_back(std::move(job));
    next->wake.notify_one();
    return true;
}

void SoundThread::expectSlow()
{
    if (t_worker)
        t_worker->hungAfterMs.store(kStartUpMs);
}

int SoundThread::abandonments()
{
    return g_abandonments.load();
}

bool SoundThread::onCurrentThread()
{
    if (!t_worker)
        return false;
    std::lock_guard<std::mutex> lock(t_worker->mutex);
    return !t_worker->abandoned;
}

bool SoundThread::anyHung()
{
    return g_anyHung.load();
}
