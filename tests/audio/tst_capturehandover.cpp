// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"
#include "audio/audioin.h"
#include "audio/samplering.h"
#include "messagecatcher.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A counting signal: sample n has the value n (mod 2^16).
struct Counter
{
    quint64 next = 0;
    std::vector<qint16> block(int count)
    {
        std::vector<qint16> b(static_cast<size_t>(count));
        for (auto& s : b)
            s = qint16(quint16(next++));
        return b;
    }
    void writeTo(SampleRing& ring, int count) { ring.write(block(count).data(), count); }
    void feed(AudioIn& in, int count) { in.captureBlock(block(count).data(), count); }
};

// Empty when bytes hold the counting signal from sample first on.
QString gap(const QByteArray& bytes, quint64 first)
{
    const auto* s = reinterpret_cast<const qint16*>(bytes.constData());
    for (int i = 0; i < bytes.size() / 2; ++i)
        if (s[i] != qint16(quint16(first + quint64(i))))
            return QStringLiteral("sample %1 is %2").arg(first + quint64(i)).arg(s[i]);
    return {};
}

} // namespace

// Captured audio crossing to the GUI thread: the ring's order, wrap, overflow
// and underflow, and AudioIn's notifications, stall tolerance and loss warning.
class TestCaptureHandOver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
        qputenv("PULSE_SERVER", "unix:/nonexistent/velkora-test"); // no stream is ever started
    }

    void ringUnderflowAndWrap()
    {
        SampleRing ring(16);
        Counter source;
        QByteArray bytes("x");
        quint64 dropped = 0;
        QCOMPARE(ring.readAll(bytes, &dropped), 0);
        // Odd block sizes move the wrap point to every slot of the ring.
        for (int round = 0; round < 200; ++round) {
            for (int w = 0; w <= round % 3; ++w)
                source.writeTo(ring, 1 + (round * 7 + w) % 5);
            ring.readAll(bytes, &dropped);
            QCOMPARE(ring.readAll(bytes, &dropped), 0);
        }
        QCOMPARE(bytes.at(0), 'x');
        QCOMPARE(gap(bytes.mid(1), 0), QString());
        QCOMPARE(quint64(bytes.size() / 2), source.next);
        QCOMPARE(dropped, quint64(0));
    }

    void ringOverflowDropsTheOldest_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("blockSize");
        QTest::newRow("many blocks") << 5 << 8;
        QTest::newRow("one block longer than the ring") << 1 << 53;
    }

    void ringOverflowDropsTheOldest()
    {
        QFETCH(int, blocks);
        QFETCH(int, blockSize);
        SampleRing ring(16);
        const int total = blocks * blockSize, capacity = ring.capacity();
        Counter source;
        for (int i = 0; i < blocks; ++i)
            source.writeTo(ring, blockSize);
        QByteArray bytes;
        quint64 dropped = 0;
        ring.readAll(bytes, &dropped);
        QCOMPARE(bytes.size(), capacity * 2);
        QCOMPARE(dropped, quint64(total - capacity));
        QCOMPARE(gap(bytes, quint64(total - capacity)), QString());
        source.writeTo(ring, 2); // the stream goes on where the writer is
        bytes.clear();
        ring.readAll(bytes, &dropped);
        QCOMPARE(gap(bytes, quint64(total)), QString());
        QCOMPARE(bytes.size(), 4);
    }

    // A reader falling far behind a writer that never waits gets the stream
    // in order, with gaps exactly as long as the loss reported, nothing twice.
    void ringConcurrentSlowReader()
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
            }
        });
        QRandomGenerator random(11);
        quint64 expected = 0, received = 0;
        int readsWithLoss = 0;
        QDeadlineTimer deadline(3000);
        for (bool last = false; !last;) {
            if (stop.load())
                writer.join(), last = true;
            QByteArray bytes;
            quint64 lost = 0;
            ring.readAll(bytes, &lost);
            expected += lost;
            readsWithLoss += lost ? 1 : 0;
            if (!gap(bytes, expected).isEmpty())
                QFAIL(qPrintable(gap(bytes, expected)));
            expected += quint64(bytes.size() / 2);
            received += quint64(bytes.size() / 2);
            if (random.bounded(50) == 0)
                QThread::usleep(random.bounded(2000));
            if ((readsWithLoss >= 20 && received >= 100000) || deadline.hasExpired())
                stop.store(true);
        }
        QCOMPARE(expected, written.load());
        QVERIFY(readsWithLoss > 0);
    }

    void eachBlockIsAnnounced()
    {
        AudioIn in;
        QSignalSpy spy(&in, &AudioIn::notify);
        Counter source;
        for (int i = 0; i < 3; ++i)
            source.feed(in, AudioIn::kFramesPerBuffer);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(2).at(0).toInt(), 2048);
        QByteArray accumulator;
        QCOMPARE(in.readAvailable(accumulator), 3 * 2048);
        QCOMPARE(in.readAvailable(accumulator), 0);
    }

    // The main window's way at 48000 Hz: notify() queued to the GUI thread,
    // which freezes once for 500 ms.
    void halfASecondStallLosesNothing()
    {
        constexpr int kRate = 48000, kBlocks = 70;
        AudioIn in;
        MessageCatcher catcher;
        QByteArray accumulator;
        int largestRead = 0;
        bool stalled = false;
        QObject gui;
        connect(&in, &AudioIn::notify, &gui, [&] {
            if (!stalled && accumulator.size() >= kRate / 2)
                stalled = true, QThread::msleep(500);
            largestRead = std::max(largestRead, in.readAvailable(accumulator));
        }, Qt::QueuedConnection);
        std::atomic<bool> done{false};
        std::thread soundCard([&] { // a plain thread, as PortAudio's own is
            Counter source;
            QElapsedTimer clock;
            clock.start();
            for (int block = 0; block < kBlocks; ++block) {
                const qint64 wait = qint64(block) * AudioIn::kFramesPerBuffer * 1000000 / kRate
                    - clock.nsecsElapsed() / 1000;
                QThread::usleep(quint64(std::max<qint64>(wait, 0)));
                source.feed(in, AudioIn::kFramesPerBuffer);
            }
            done.store(true);
        });
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 20000);
        soundCard.join();
        QCoreApplication::processEvents();
        in.readAvailable(accumulator);
        QVERIFY2(largestRead >= kRate * 2 * 4 / 10, qPrintable(QString::number(largestRead)));
        QCOMPARE(accumulator.size(), kBlocks * AudioIn::kFramesPerBuffer * 2);
        QCOMPARE(gap(accumulator, 0), QString());
        QCOMPARE(in.droppedSamples(), quint64(0));
        QCOMPARE(catcher.warnings(), QStringList());
    }

    void longerStallDropsTheOldestAndWarnsOnce()
    {
        AudioIn in;
        MessageCatcher catcher;
        Counter source;
        quint64 total = 0; // a second overflow is counted but not reported again
        for (int round = 0; round < 2; ++round) {
            for (int i = 0; i < 200; ++i)
                source.feed(in, AudioIn::kFramesPerBuffer);
            QByteArray accumulator;
            const quint64 received = quint64(in.readAvailable(accumulator) / 2);
            total += received;
            QVERIFY(total < source.next);
            QCOMPARE(in.droppedSamples() + total, source.next);
            QCOMPARE(gap(accumulator, source.next - received), QString());
            QCOMPARE(catcher.warnings().size(), 1);
        }
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCaptureHandOver)
#include "tst_capturehandover.moc"
