// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/samplering.h"

#include <algorithm>
#include <cstring>

namespace {

quint64 roundUpToPowerOfTwo(int n)
{
    quint64 size = 1;
    while (size < quint64(std::max(n, 1)))
        size <<= 1;
    return size;
}

} // namespace

SampleRing::SampleRing(int minCapacity)
{
    reset(minCapacity);
}

void SampleRing::reset(int minCapacity)
{
    const quint64 size = roundUpToPowerOfTwo(minCapacity);
    if (!m_slots || size != m_mask + 1) {
        m_slots.reset(new std::atomic<qint16>[size]);
        m_mask = size - 1;
    }
    for (quint64 i = 0; i < size; ++i)
        m_slots[i].store(0, std::memory_order_relaxed);
    m_claimed.store(0, std::memory_order_relaxed);
    m_published.store(0, std::memory_order_release);
    m_readPos = 0;
}

void SampleRing::write(const qint16* samples, int count)
{
    if (count <= 0)
        return;
    const quint64 start = m_published.load(std::memory_order_relaxed);
    const quint64 end = start + quint64(count);
    m_claimed.store(end, std::memory_order_relaxed);
    // Of a block longer than the ring only its tail can survive; the head
    // counts as overwritten on the consumer side.
    const quint64 capacity = m_mask + 1;
    const quint64 skip = quint64(count) > capacity ? quint64(count) - capacity : 0;
    for (quint64 i = skip; i < quint64(count); ++i)
        m_slots[(start + i) & m_mask].store(samples[i], std::memory_order_release);
    m_published.store(end, std::memory_order_release);
}

int SampleRing::readAll(QByteArray& appendTo, quint64* dropped)
{
    const quint64 capacity = m_mask + 1;
    const quint64 end = m_published.load(std::memory_order_acquire);
    quint64 from = m_readPos;
    quint64 lost = 0;
    if (end - from > capacity) {
        lost += end - capacity - from;
        from = end - capacity;
    }
    const qsizetype base = appendTo.size();
    const quint64 count = end - from;
    appendTo.resize(base + qsizetype(count * sizeof(qint16)));
    char* out = appendTo.data() + base;
    for (quint64 i = 0; i < count; ++i) {
        const qint16 sample = m_slots[(from + i) & m_mask].load(std::memory_order_acquire);
        std::memcpy(out + i * sizeof(qint16), &sample, sizeof(qint16));
    }
    // Anything the producer claimed up to now may have landed on the slots
    // just copied: those below claimed - capacity are no longer the samples
    // that were asked for. They form the front of the copy.
    const quint64 claimed = m_claimed.load(std::memory_order_relaxed);
    if (claimed > capacity && claimed - capacity > from) {
        const quint64 stale = std::min(claimed - capacity - from, count);
        appendTo.remove(base, qsizetype(stale * sizeof(qint16)));
        lost += stale;
    }
    m_readPos = end;
    if (dropped)
        *dropped += lost;
    return int(appendTo.size() - base);
}
