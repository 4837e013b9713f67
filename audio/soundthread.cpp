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

thread_local bool t_onSoundThread = false;

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

    static void run(std::shared_ptr<Worker> self)
    {
        t_onSoundThread = true;
        std::unique_lock<std::mutex> lock(self->mutex);
        for (;;) {
            self->wake.wait(lock, [&] { return self->abandoned || !self->jobs.empty(); });
            if (self->abandoned)
                return;
            std::function<void()> job = std::move(self->jobs.front());
            self->jobs.pop_front();
            lock.unlock();
            self->busySince.store(std::max<qint64>(nowMs(), 1));
            job();
            job = nullptr;
            self->busySince.store(0);
            lock.lock();
        }
    }
};

std::mutex g_mutex; // guards g_worker
std::shared_ptr<Worker> g_worker;
std::atomic<bool> g_anyHung{false};

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

// The current thread hung: it gets no more work, and the queue behind the
// hung call moves to a new thread.
void abandon(const std::shared_ptr<Worker>& hung)
{
    std::deque<std::function<void()>> waiting;
    {
        std::lock_guard<std::mutex> lock(hung->mutex);
        if (hung->abandoned)
            return;
        hung->abandoned = true;
        waiting.swap(hung->jobs);
    }
    qWarning("The sound system stopped answering; its call is left behind");
    g_anyHung.store(true);
    std::shared_ptr<Worker> next;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_worker == hung)
            g_worker.reset();
    }
    next = currentWorker();
    std::lock_guard<std::mutex> lock(next->mutex);
    for (auto& job : waiting)
        next->jobs.push_back(std::move(job));
    next->wake.notify_one();
}

} // namespace

bool SoundThread::call(std::function<void()> job, int timeoutMs)
{
    if (t_onSoundThread) { // a job asking for more: it is already in order
        job();
        return true;
    }
    struct Done
    {
        std::mutex mutex;
        std::condition_variable signal;
        qint64 startedAt = 0;
        bool done = false;
    };
    auto done = std::make_shared<Done>();
    std::shared_ptr<Worker> worker = currentWorker();
    {
        std::lock_guard<std::mutex> lock(worker->mutex);
        worker->jobs.push_back([job = std::move(job), done] {
            {
                std::lock_guard<std::mutex> doneLock(done->mutex);
                done->startedAt = nowMs();
            }
            job();
            std::lock_guard<std::mutex> doneLock(done->mutex);
            done->done = true;
            done->signal.notify_all();
        });
        worker->wake.notify_one();
    }
    // The job gets timeoutMs from its own start. While it waits behind
    // another one, that one gets timeoutMs from its start, and then the
    // thread is left behind and the queue moves on.
    const qint64 queuedAt = nowMs();
    std::unique_lock<std::mutex> lock(done->mutex);
    for (;;) {
        if (done->signal.wait_for(lock, std::chrono::milliseconds(20), [&] { return done->done; }))
            return true;
        const qint64 now = nowMs();
        if (done->startedAt) {
            if (now - done->startedAt >= timeoutMs)
                break;
            continue;
        }
        const qint64 since = worker->busySince.load();
        if ((since && now - since >= timeoutMs) || now - queuedAt >= 2 * qint64(timeoutMs)) {
            lock.unlock();
            abandon(worker);
            worker = currentWorker();
            lock.lock();
        }
    }
    lock.unlock();
    abandon(worker);
    return false;
}

void SoundThread::post(std::function<void()> job)
{
    if (t_onSoundThread) {
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

bool SoundThread::anyHung()
{
    return g_anyHung.load();
}
