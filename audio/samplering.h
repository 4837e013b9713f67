// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <atomic>
#include <memory>

// A single-producer, single-consumer ring of 16-bit samples between the
// sound-input callback (producer) and the GUI thread (consumer).
//
// The producer never waits and never looks at the consumer: it always writes
// and publishes how far it has written. If the consumer falls more than a
// ring behind, the producer has overwritten the oldest unread samples; the
// consumer notices that from the positions alone, skips what was
// overwritten and counts it, so audio is dropped oldest first and never
// handed over twice.
//
// Positions are 64-bit sample counts since reset() and never wrap. Every
// slot is an atomic written with release and read with acquire ordering, so
// a slot that is overwritten while the consumer copies it is neither a data
// race nor undetected: having seen the newer value, the consumer also sees
// the claim the producer made before writing it.
class SampleRing
{
public:
    // Room for at least minCapacity samples (rounded up to a power of two).
    explicit SampleRing(int minCapacity);

    int capacity() const { return int(m_mask + 1); }

    // Empties the ring and gives it room for at least minCapacity samples.
    // Only while no producer runs.
    void reset(int minCapacity);

    // Producer side; lock-free and allocation-free.
    void write(const qint16* samples, int count);

    // Consumer side: appends every sample not yet read, oldest first, in
    // native byte order, and returns the number of bytes appended. Samples
    // overwritten before they could be read are added to *dropped.
    int readAll(QByteArray& appendTo, quint64* dropped);


private:
    std::unique_ptr<std::atomic<qint16>[]> m_slots;
    quint64 m_mask = 0;
    // End of the block the producer is writing; stored before any of its
    // slots.
    std::atomic<quint64> m_claimed{0};
    // End of the last block the producer has finished.
    std::atomic<quint64> m_published{0};
    // Consumer's own position.
    quint64 m_readPos = 0;
};
