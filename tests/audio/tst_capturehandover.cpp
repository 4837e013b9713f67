// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"
#include "audio/audioin.h"
#include "messagecatcher.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <thread>
#include <cstring>
#include <vector>

namespace {

// Stands in for the sound card: blocks of a counting signal, sample n having
// the value n (mod 2^16), fed through the capture callback's own path.
struct CountingSource
{
    quint64 next = 0;

    void feed(AudioIn& in, int frames)
    {
        std::vector<qint16> block(static_cast<size_t>(frames));
        for (auto& s : block)
            s = qint16(quint16(next++));
        in.captureBlock(block.data(), frames);
    }
};

// Checks that bytes hold the counting signal from sample first on, without
// a gap or a repeat, and tells the first mismatch.
QString continuityError(const QByteArray& bytes, quint64 first)
{
    const qint16* samples = reinterpret_cast<const qint16*>(bytes.constData());
    const int count = int(bytes.size() / 2);
    for (int i = 0; i < count; ++i) {
        if (samples[i] != qint16(quint16(first + quint64(i))))
            return QStringLiteral("sample %1 is %2").arg(first + quint64(i)).arg(samples[i]);
    }
    return {};
}

} // namespace

// How captured audio crosses from the audio thread to the GUI thread: one
// notification per block, every sample handed over exactly once, and the
// oldest audio dropped, counted and reported once when the GUI thread stalls
// longer than the ring holds.
class TestCaptureHandOver : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
        // Keep away from any sound server of the machine: these tests never
        // start a stream and feed the capture path themselves.
        qputenv("PULSE_SERVER", "unix:/nonexistent/velkora-test");
    }

    // Every test starts without stored settings: at 11025 Hz.
    void init() { QFile::remove(Settings::path()); }

    void eachBlockIsAnnouncedWithItsBytes()
    {
        AudioIn in;
        QSignalSpy spy(&in, &AudioIn::notify);
        CountingSource source;
        for (int i = 0; i < 3; ++i)
            source.feed(in, AudioIn::kFramesPerBuffer);
        QCOMPARE(spy.count(), 3);
        for (const auto& arguments : spy)
            QCOMPARE(arguments.at(0).toInt(), 2048);

        QByteArray accumulator("\x01", 1);
        QCOMPARE(in.readAvailable(accumulator), 3 * 2048);
        QCOMPARE(in.readAvailable(accumulator), 0);
        QCOMPARE(accumulator.at(0), '\x01');
        QCOMPARE(continuityError(accumulator.mid(1), 0), QString());
    }

    // The main window's way: notify() queued to the GUI thread, which drains
    // everything each time. The sound card runs at 48000 Hz in blocks of
    // 1024 while the GUI thread freezes for 500 ms once.
    void halfASecondStallLosesNothing()
    {
        constexpr int kRate = 48000;
        constexpr int kBlocks = 70; // about 1.5 s
        AudioIn in;
        MessageCatcher catcher;

        QByteArray accumulator;
        int largestRead = 0;
        bool stalled = false;
        QObject gui;
        connect(
            &in, &AudioIn::notify, &gui,
            [&](int) {
                if (!stalled && accumulator.size() >= kRate / 4 * 2) {
                    stalled = true;
                    QThread::msleep(500);
                }
                largestRead = std::max(largestRead, in.readAvailable(accumulator));
            },
            Qt::QueuedConnection);

        std::atomic<bool> producerDone{false};
        // A plain thread, as PortAudio's own is.
        std::thread soundCard([&] {
            CountingSource source;
            QElapsedTimer clock;
            clock.start();
            for (int block = 0; block < kBlocks; ++block) {
                const qint64 due = qint64(block) * AudioIn::kFramesPerBuffer * 1000000 / kRate;
                const qint64 wait = due - clock.nsecsElapsed() / 1000;
                if (wait > 0)
                    QThread::usleep(quint64(wait));
                source.feed(in, AudioIn::kFramesPerBuffer);
            }
            producerDone.store(true);
        });
        QTRY_VERIFY_WITH_TIMEOUT(producerDone.load(), 20000);
        soundCard.join();
        QCoreApplication::processEvents();
        in.readAvailable(accumulator);

        QVERIFY(stalled);
        // The stall really piled up close to half a second of audio.
        QVERIFY2(largestRead >= kRate * 2 * 4 / 10, qPrintable(QString::number(largestRead)));
        QCOMPARE(accumulator.size(), kBlocks * AudioIn::kFramesPerBuffer * 2);
        QCOMPARE(continuityError(accumulator, 0), QString());
        QCOMPARE(in.droppedSamples(), quint64(0));
        QCOMPARE(catcher.warnings(), QStringList());
    }

    // One second at 64000 Hz fits by default, and a faster card gets a
    // larger ring.
    void theRingHoldsASecondAtTheHighestRates()
    {
        AudioIn in;
        CountingSource source;
        for (int rate : {64000, 192000}) {
            if (rate > in.sampleRate())
                in.CreateAudio(in.device(), rate);
            QByteArray accumulator;
            const quint64 first = source.next;
            for (int i = 0; i < rate / 1000; ++i)
                source.feed(in, 1000);
            in.readAvailable(accumulator);
            QCOMPARE(accumulator.size(), rate * 2);
            QCOMPARE(continuityError(accumulator, first), QString());
        }
        QCOMPARE(in.droppedSamples(), quint64(0));
    }

    void longerStallDropsTheOldestAndWarnsOnce()
    {
        AudioIn in;
        MessageCatcher catcher;
        CountingSource source;
        QByteArray accumulator;

        // Far more than the ring holds, with nobody reading.
        for (int i = 0; i < 200; ++i)
            source.feed(in, AudioIn::kFramesPerBuffer);
        const int bytes = in.readAvailable(accumulator);
        const quint64 received = quint64(bytes / 2);
        QVERIFY(received < source.next);
        QCOMPARE(in.droppedSamples() + received, source.next);
        // What arrives is the newest audio, in order.
        QCOMPARE(continuityError(accumulator, source.next - received), QString());
        QCOMPARE(catcher.warnings().size(), 1);

        // A second overflow is counted but not reported again.
        const quint64 droppedBefore = in.droppedSamples();
        for (int i = 0; i < 200; ++i)
            source.feed(in, AudioIn::kFramesPerBuffer);
        accumulator.clear();
        in.readAvailable(accumulator);
        QVERIFY(in.droppedSamples() > droppedBefore);
        QCOMPARE(continuityError(accumulator, source.next - quint64(accumulator.size() / 2)), QString());
        QCOMPARE(catcher.warnings().size(), 1);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCaptureHandOver)
#include "tst_capturehandover.moc"
