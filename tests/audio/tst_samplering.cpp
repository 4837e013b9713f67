// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/samplering.h"

#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

namespace {

std::vector<qint16> samplesOf(const QByteArray& bytes, int fromByte = 0)
{
    std::vector<qint16> out;
    out.resize(size_t(bytes.size() - fromByte) / sizeof(qint16));
    std::memcpy(out.data(), bytes.constData() + fromByte, out.size() * sizeof(qint16));
    return out;
}

// A counting source: sample n of the stream has the value n (mod 2^16).
struct Counter
{
    quint64 next = 0;

    void writeTo(SampleRing& ring, int count)
    {
        std::vector<qint16> block;
        for (int i = 0; i < count; ++i)
            block.push_back(qint16(quint16(next++)));
        ring.write(block.data(), count);
    }
};

} // namespace

// The hand-over ring between the capture callback and the GUI thread: order,
// wrap-around, loss of the oldest audio on overflow, empty reads.
class TestSampleRing : public QObject
{
    Q_OBJECT

private slots:
    void emptyRingHandsOverNothing()
    {
        SampleRing ring(64);
        QByteArray bytes("x");
        quint64 dropped = 0;
        QCOMPARE(ring.readAll(bytes, &dropped), 0);
        const qint16 block[3] = {-1, 2, -32768};
        ring.write(block, 3);
        QCOMPARE(ring.readAll(bytes, &dropped), 6);
        QCOMPARE(ring.readAll(bytes, &dropped), 0);
        QCOMPARE(bytes.at(0), 'x');
        QCOMPARE(samplesOf(bytes, 1), (std::vector<qint16>{-1, 2, -32768}));
        QCOMPARE(dropped, quint64(0));
    }

    void orderSurvivesManyWraps()
    {
        SampleRing ring(16);
        Counter source;
        quint64 expected = 0;
        // Odd block sizes move the wrap point to every slot of the ring.
        for (int round = 0; round < 200; ++round) {
            for (int w = 0; w <= round % 3; ++w)
                source.writeTo(ring, 1 + (round * 7 + w) % 5);
            QByteArray bytes;
            quint64 dropped = 0;
            ring.readAll(bytes, &dropped);
            QCOMPARE(dropped, quint64(0));
            for (qint16 s : samplesOf(bytes))
                QCOMPARE(s, qint16(quint16(expected++)));
        }
        QCOMPARE(expected, source.next);
    }

    void overflowDropsTheOldestAndCountsThem_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("blockSize");
        QTest::newRow("many blocks") << 5 << 8;
        QTest::newRow("one block longer than the ring") << 1 << 53;
    }

    void overflowDropsTheOldestAndCountsThem()
    {
        QFETCH(int, blocks);
        QFETCH(int, blockSize);
        SampleRing ring(16);
        const int capacity = ring.capacity();
        const int total = blocks * blockSize;
        Counter source;
        for (int i = 0; i < blocks; ++i)
            source.writeTo(ring, blockSize);
        QByteArray bytes;
        quint64 dropped = 0;
        ring.readAll(bytes, &dropped);
        const auto samples = samplesOf(bytes);
        QCOMPARE(int(samples.size()), capacity);
        QCOMPARE(dropped, quint64(total - capacity));
        for (int i = 0; i < capacity; ++i)
            QCOMPARE(samples[size_t(i)], qint16(total - capacity + i));

        // After the loss the stream goes on where the writer is.
        source.writeTo(ring, 2);
        bytes.clear();
        ring.readAll(bytes, &dropped);
        QCOMPARE(samplesOf(bytes), (std::vector<qint16>{qint16(total), qint16(total + 1)}));
        QCOMPARE(dropped, quint64(total - capacity));
    }

    // A writer that never waits against a reader that sometimes falls far
    // behind: whatever the reader gets is the stream in order, with a gap
    // exactly as long as the loss it is told about at the front of a read,
    // and nothing twice. A slot overwritten during a copy that went
    // unnoticed would show up here as a jump by the ring's size.
    void concurrentWriterAndSlowReaderNeverRepeat()
    {
        SampleRing ring(256);
        std::atomic<bool> stop{false};
        std::atomic<quint64> written{0};
        std::thread writer([&] {
            Counter source;
            QRandomGenerator random(7);
            while (!stop.load()) {
                source.writeTo(ring, 1 + int(random.bounded(300)));
                written.store(source.next);
                if (random.bounded(8) == 0)
                    QThread::yieldCurrentThread();
            }
        });

        QRandomGenerator random(11);
        quint64 expected = 0;
        quint64 received = 0;
        int readsWithLoss = 0;
        QDeadlineTimer deadline(3000);
        for (bool last = false; !last;) {
            if (stop.load()) {
                writer.join();
                last = true;
            }
            QByteArray bytes;
            quint64 lost = 0;
            ring.readAll(bytes, &lost);
            expected += lost;
            readsWithLoss += lost ? 1 : 0;
            for (qint16 s : samplesOf(bytes)) {
                if (s != qint16(quint16(expected)))
                    QFAIL(qPrintable(QStringLiteral("sample %1 came as %2").arg(expected).arg(s)));
                ++expected;
                ++received;
            }
            if (random.bounded(50) == 0)
                QThread::usleep(random.bounded(2000));
            if ((readsWithLoss >= 20 && received >= 100000) || deadline.hasExpired())
                stop.store(true);
        }
        QCOMPARE(expected, written.load());
        QVERIFY2(readsWithLoss > 0, "the reader never fell behind; the test proved nothing");
    }
};

QTEST_GUILESS_MAIN(TestSampleRing)
#include "tst_samplering.moc"
