// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"
#include "audio/audioin.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

// Captured audio crossing from the sound card's thread to the GUI thread.
class TestCaptureHandOver : public QObject
{
    Q_OBJECT

private slots:
    // A plain thread, as PortAudio's own is, captures a counting signal
    // (sample n is n mod 2^16) without ever waiting; the GUI thread reads
    // it with stalls of random length, until the writer is up to two rings
    // ahead, so now and then longer than the ring. It gets the
    // signal in order, with gaps exactly as long as the loss counted, and
    // nothing twice.
    void slowReaderGetsTheSignalInOrder()
    {
        QTemporaryDir dir;
        Settings::setPath(dir.filePath(QStringLiteral("velkora.ini")));
        qputenv("PULSE_SERVER", "unix:/nonexistent/velkora-test"); // no stream is ever started
        AudioIn in;
        std::atomic<bool> stop{false};
        std::atomic<quint64> written{0};
        std::thread soundCard([&] {
            std::vector<qint16> block(AudioIn::kFramesPerBuffer);
            QRandomGenerator random(7);
            for (quint64 next = 0; !stop.load(); written.store(next)) {
                const int count = 1 + int(random.bounded(AudioIn::kFramesPerBuffer));
                for (int i = 0; i < count; ++i)
                    block[size_t(i)] = qint16(quint16(next++));
                in.captureBlock(block.data(), count);
            }
        });
        quint64 expected = 0, lostBefore = 0, reads = 0;
        QRandomGenerator stalls(11);
        QDeadlineTimer deadline(3000);
        for (bool last = false; !last;) {
            if (stop.load())
                soundCard.join(), last = true;
            QByteArray bytes;
            in.readAvailable(bytes);
            expected += in.droppedSamples() - lostBefore;
            lostBefore = in.droppedSamples();
            const auto* s = reinterpret_cast<const qint16*>(bytes.constData());
            for (int i = 0; i < bytes.size() / 2; ++i, ++expected)
                if (s[i] != qint16(quint16(expected)))
                    QFAIL(qPrintable(QStringLiteral("sample %1 is %2").arg(expected).arg(s[i])));
            if (++reads % 50 == 0) // a stall: until the writer is this far ahead
                for (const quint64 ahead = stalls.bounded(2 * AudioIn::kRingRate);
                     written.load() < expected + ahead && !deadline.hasExpired();)
                    std::this_thread::yield();
            if ((lostBefore > 0 && expected > 1000000) || deadline.hasExpired())
                stop.store(true);
        }
        QCOMPARE(expected, written.load());
        QVERIFY(in.droppedSamples() > 0);
    }
};

QTEST_GUILESS_MAIN(TestCaptureHandOver)
#include "tst_capturehandover.moc"
