// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "audio/soundthread.h"

#include <QTemporaryDir>
#include <QTest>

#include <thread>

// Sound failures: one warning line in a fixed form, and the program goes on.
class TestAudioErrors : public QObject
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
            QVERIFY(!in.Start() && !out.Start() && !out.isActive());
            QVERIFY(out.ChangeDevice(out.device(), 8000));
        }
        QCOMPARE(Settings().value(QStringLiteral("Audio/Output/SampleRate")).toInt(), 8000);
    }

    // A sound call that never comes back holds up a caller at most for its
    // time-out, and one behind it no longer once it counts as hung and is
    // left behind; later calls run on a new thread. Last: PortAudio is then
    // never shut down.
    void hungCallIsLeftBehind()
    {
        const auto released = std::make_shared<std::atomic<bool>>(false);
        const auto hang = [released] {
            while (!released->load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        QVERIFY(!SoundThread::call(hang, 50));
        QVERIFY(!SoundThread::call([] {}, 50) && !SoundThread::abandonIfHung());
        QTRY_VERIFY_WITH_TIMEOUT(SoundThread::busyMs() >= SoundThread::kHungMs, 3 * SoundThread::kHungMs);
        QVERIFY(SoundThread::abandonIfHung() && SoundThread::anyHung());
        QCOMPARE(SoundThread::ask<int>([] { return 8; }, 0, 5000), 8);
        released->store(true);
    }
};

QTEST_GUILESS_MAIN(TestAudioErrors)
#include "tst_audioerrors.moc"
