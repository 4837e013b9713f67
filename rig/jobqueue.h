// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// Runs functions on the thread of the object it is given, in the order they
// were posted. The functions (and what they carry) pass through a standard
// mutex, not only through Qt's event queue: Qt's own locking is invisible to
// ThreadSanitizer, which then takes every hand-over for a race. Posting is
// callable from any thread, also while or after the queue is destroyed: a
// function posted then is dropped.
class JobQueue : public QObject
{
    Q_OBJECT

    struct State
    {
        std::mutex mutex;
        std::deque<std::function<void()>> jobs;
        JobQueue* queue = nullptr;
    };

public:
    // A handle for posting that may outlive the queue.
    class Poster
    {
    public:
        void post(std::function<void()> job) const
        {
            const std::lock_guard<std::mutex> lock(m_state->mutex);
            if (!m_state->queue)
                return;
            m_state->jobs.push_back(std::move(job));
            QMetaObject::invokeMethod(m_state->queue, "runJobs", Qt::QueuedConnection);
        }

    private:
        friend class JobQueue;
        std::shared_ptr<State> m_state;
    };

    explicit JobQueue(QObject* parent = nullptr)
        : QObject(parent)
        , m_state(std::make_shared<State>())
    {
        m_state->queue = this;
    }
    ~JobQueue() override
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->queue = nullptr;
        m_state->jobs.clear();
    }

    Poster poster() const
    {
        Poster p;
        p.m_state = m_state;
        return p;
    }
    void post(std::function<void()> job) const { poster().post(std::move(job)); }

private:
    Q_INVOKABLE void runJobs()
    {
        for (;;) {
            std::function<void()> job;
            {
                const std::lock_guard<std::mutex> lock(m_state->mutex);
                if (m_state->jobs.empty())
                    return;
                job = std::move(m_state->jobs.front());
                m_state->jobs.pop_front();
            }
            job();
        }
    }

    std::shared_ptr<State> m_state;
};
