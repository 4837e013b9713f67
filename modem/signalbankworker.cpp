// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/signalbankworker.h"

#include "modem/pskrxalgorithms.h"

#include <QElapsedTimer>

#include <algorithm>

namespace {
// While audio keeps coming, a snapshot at most this often.
constexpr qint64 kPublishMs = 100;
// With several banks, a signal's id is its bank's id for it times this,
// plus the bank's place: unique over the banks.
constexpr int kIdStride = 16;
} // namespace

SignalBankWorker::SignalBankWorker(QObject* parent)
    : QObject(parent)
{
    m_thread = std::thread([this] { run(); });
}

SignalBankWorker::~SignalBankWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_stop = true;
        m_queue.clear();
    }
    m_wake.notify_one();
    m_thread.join();
}

void SignalBankWorker::post(Message message)
{
    message.generation = m_generation.load();
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        if (message.kind == Message::Audio
            && m_queuedSamples + message.count > qint64(kMaxBacklogSeconds * m_rate)) {
            // The worker has fallen behind: the clock moves on undecoded.
            message.kind = Message::Skip;
            message.samples = {};
        }
        if (message.kind == Message::Skip && !m_queue.empty() && m_queue.back().kind == Message::Skip) {
            m_queue.back().count += message.count;
            return;
        }
        if (message.kind == Message::Audio)
            m_queuedSamples += message.count;
        m_queue.push_back(std::move(message));
    }
    m_wake.notify_one();
}

void SignalBankWorker::startAfresh()
{
    std::lock_guard<std::mutex> queueLock(m_queueLock);
    std::lock_guard<std::mutex> snapshotLock(m_snapshotLock);
    m_generation.fetch_add(1);
    m_queue.clear();
    m_queuedSamples = 0;
    m_snapshot.clear();
    m_handedOver = 0;
}

void SignalBankWorker::restart(const PskMode& mode, double rate, int charSet)
{
    restart(std::vector<PskMode>{mode}, rate, charSet);
}

void SignalBankWorker::restart(const std::vector<PskMode>& modes, double rate, int charSet)
{
    if (modes.empty() || modes.size() > size_t(kIdStride))
        return;
    startAfresh();
    // The bank keeps its rate when it takes no other.
    if (rate >= SignalBank::kMinRate && rate < CPskRxAlgorithms::kMaxSampleRate)
        m_rate = rate;
    Message m;
    m.kind = Message::Restart;
    m.modes = modes;
    m.rate = rate;
    m.charSet = charSet;
    post(std::move(m));
    emit changed();
}

void SignalBankWorker::clear()
{
    startAfresh();
    Message m;
    m.kind = Message::Clear;
    post(std::move(m));
    emit changed();
}

void SignalBankWorker::setSensitive(bool on)
{
    if (on == m_sensitive)
        return;
    m_sensitive = on;
    Message m;
    m.kind = Message::Sensitive;
    m.on = on;
    post(std::move(m));
}

void SignalBankWorker::feed(const qint16* samples, int count)
{
    if (count <= 0)
        return;
    m_handedOver += count;
    Message m;
    m.samples.assign(samples, samples + count);
    m.count = count;
    post(std::move(m));
}

void SignalBankWorker::skip(int count)
{
    if (count <= 0)
        return;
    m_handedOver += count;
    Message m;
    m.kind = Message::Skip;
    m.count = count;
    post(std::move(m));
}

std::vector<SignalBank::Signal> SignalBankWorker::signalList() const
{
    std::lock_guard<std::mutex> lock(m_snapshotLock);
    return m_snapshot;
}

bool SignalBankWorker::find(int id, SignalBank::Signal* signal) const
{
    std::lock_guard<std::mutex> lock(m_snapshotLock);
    const auto it = std::find_if(m_snapshot.begin(), m_snapshot.end(), [id](const SignalBank::Signal& s) { return s.id == id; });
    if (it == m_snapshot.end())
        return false;
    if (signal)
        *signal = *it;
    return true;
}

bool SignalBankWorker::idle() const
{
    std::lock_guard<std::mutex> lock(m_queueLock);
    return m_queue.empty() && !m_busy;
}

void SignalBankWorker::publish(const std::vector<std::unique_ptr<SignalBank>>& banks, quint64 generation)
{
    std::vector<SignalBank::Signal> list;
    for (size_t i = 0; i < banks.size(); ++i) {
        for (SignalBank::Signal& s : banks[i]->signalList()) {
            s.id = s.id * kIdStride + int(i);
            list.push_back(std::move(s));
        }
    }
    if (banks.size() > 1)
        list = SignalBank::acrossModes(std::move(list));
    {
        std::lock_guard<std::mutex> lock(m_snapshotLock);
        // Started afresh since: what the banks found before is stale.
        if (generation != m_generation.load())
            return;
        m_snapshot.swap(list);
    }
    if (!m_changePosted.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_changePosted = false;
                emit changed();
            },
            Qt::QueuedConnection);
    }
}

// The worker thread: the banks are made here, so they and their channels
// belong to this thread.
void SignalBankWorker::run()
{
    std::vector<std::unique_ptr<SignalBank>> banks;
    bool dirty = false;
    quint64 generation = 0;
    bool sensitive = false;
    double rate = 11025.0; // kept when a restart brings a rate the banks do not take
    auto makeBanks = [&](const std::vector<PskMode>& modes, int charSet) {
        banks.clear();
        for (size_t i = 0; i < modes.size(); ++i) {
            auto bank = std::make_unique<SignalBank>();
            bank->setSampleRate(rate);
            bank->setCharSet(charSet);
            bank->setMode(modes[i]);
            bank->setSensitive(sensitive);
            SignalBank* raw = bank.get();
            connect(raw, &SignalBank::changed, raw, [&dirty] { dirty = true; }, Qt::DirectConnection);
            connect(
                raw, &SignalBank::dropped, raw,
                [this, &generation, i](SignalBank::Signal s) {
                    const quint64 from = generation;
                    s.id = s.id * kIdStride + int(i);
                    QMetaObject::invokeMethod(
                        this,
                        [this, s, from] {
                            if (from == m_generation.load())
                                emit dropped(s);
                        },
                        Qt::QueuedConnection);
                },
                Qt::DirectConnection);
            banks.push_back(std::move(bank));
        }
    };
    makeBanks({PskModes::standard()}, 0);
    QElapsedTimer sincePublished;
    sincePublished.start();
    for (;;) {
        Message m;
        {
            std::unique_lock<std::mutex> lock(m_queueLock);
            m_busy = false;
            m_wake.wait(lock, [this] { return m_stop || !m_queue.empty(); });
            if (m_stop)
                return;
            m = std::move(m_queue.front());
            m_queue.pop_front();
            if (m.kind == Message::Audio)
                m_queuedSamples -= m.count;
            m_busy = true;
        }
        generation = m.generation;
        switch (m.kind) {
        case Message::Audio:
            for (auto& bank : banks)
                bank->feed(m.samples.data(), m.count);
            break;
        case Message::Skip:
            for (auto& bank : banks)
                bank->skip(m.count);
            break;
        case Message::Restart:
            if (m.rate >= SignalBank::kMinRate && m.rate < CPskRxAlgorithms::kMaxSampleRate)
                rate = m.rate;
            makeBanks(m.modes, m.charSet);
            break;
        case Message::Sensitive:
            sensitive = m.on;
            for (auto& bank : banks)
                bank->setSensitive(m.on);
            break;
        case Message::Clear:
            for (auto& bank : banks)
                bank->clear();
            break;
        }
        bool more = false;
        {
            std::lock_guard<std::mutex> lock(m_queueLock);
            more = !m_queue.empty();
        }
        if (dirty && (!more || sincePublished.elapsed() >= kPublishMs)) {
            dirty = false;
            publish(banks, generation);
            sincePublished.restart();
        }
    }
}
