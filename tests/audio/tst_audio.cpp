// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Sound failures: one warning line in a fixed form, and the program goes on.
// Captured audio crossing from the sound card's thread to the GUI thread.
#include "core/settings.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "audio/soundthread.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

class TestAudio : public QObject
{
    Q_OBJECT

private slots:
    void withoutDevicesTheProgramGoesOn()
    {
        QTemporaryDir dir;
        Settings::setPath(dir.filePath(QStringLiteral("velkora.ini")));
        qputenv("PULSE_SERVER", "unix:/nonexistent/velkora-test"); // no sound server
        const QString invalid = QStringLiteral("CreateAudio() returned    -270c <Invalid device>");
        for (const QString& warning :
             QStringList{"AudioIn ERROR: Pa_GetDeviceCount() returned    -2710 <PortAudio not initialized>",
              "AudioIn ERROR: " + invalid, "AudioOut ERROR: " + invalid,
              "AudioIn ERROR: Start() returned    -2704 <Invalid stream pointer>", "AudioOut ERROR: " + invalid})
            QTest::ignoreMessage(QtWarningMsg, qPrintable(warning));
        QVERIFY(AudioIn::InputDevices().isEmpty()); // PortAudio not open yet
        {
            AudioIn in;
            AudioOut out;
            if (!AudioIn::InputDevices().isEmpty() || !AudioOut::OutputDevices().isEmpty())
                QSKIP("this machine has sound devices");
            QVERIFY(!in.Start() && !out.Start() && !out.isActive() && out.ChangeDevice(out.device(), 8000));
        }
        QCOMPARE(Settings().value(QStringLiteral("Audio/Output/SampleRate")).toInt(), 8000);
    }

    // A sound call that never comes back holds up a caller at most for its
    // time-out, and one behind it no longer once it counts as hung and is
    // left behind; later calls run on a new thread. Listing the devices may
    // take longer first. Last: PortAudio is then never shut down.
    void hungCallIsLeftBehind()
    {
        const auto released = std::make_shared<std::atomic<bool>>(false);
        const auto hang = [released] {
            while (!released->load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        SoundThread::post([hang] { SoundThread::expectSlow(), hang(); });
        QTRY_VERIFY_WITH_TIMEOUT(SoundThread::busyMs() > SoundThread::kHungMs, 3 * SoundThread::kHungMs);
        QVERIFY(!SoundThread::abandonIfHung());
        released->store(true);
        QVERIFY(SoundThread::call([released] { released->store(false); }));
        QTRY_COMPARE(SoundThread::busyMs(), qint64(0)); // idle, and so never hung
        QVERIFY(!SoundThread::call(hang, 50) && !SoundThread::call([] {}, 50) && !SoundThread::abandonIfHung());
        QTRY_VERIFY_WITH_TIMEOUT(SoundThread::busyMs() >= SoundThread::kHungMs, 3 * SoundThread::kHungMs);
        QVERIFY(SoundThread::abandonIfHung() && SoundThread::anyHung() && SoundThread::ask<int>([] { return 8; }, 0, 5000) == 8);
        released->store(true);
    }

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
        QVERIFY(expected == written.load() && in.droppedSamples() > 0);
    }
};

QTEST_GUILESS_MAIN(TestAudio)
#include "tst_audio.moc"
