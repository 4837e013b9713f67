// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"
#include "audio/audiodevices.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "messagecatcher.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// How sound failures are reported: one warning line in a fixed form, after
// which the program goes on as if nothing happened.
class TestAudioErrors : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
        // No sound server: on a machine without sound hardware PortAudio
        // then finds no device at all.
        qputenv("PULSE_SERVER", "unix:/nonexistent/velkora-test");
    }

    void init() { QFile::remove(Settings::path()); }

    void messageForm_data()
    {
        QTest::addColumn<QString>("owner");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("invalid device")
            << "AudioIn" << "CreateAudio()" << -9996
            << "AudioIn ERROR: CreateAudio() returned    -270c <Invalid device>";
        QTest::newRow("no stream")
            << "AudioOut" << "Start()" << -9988
            << "AudioOut ERROR: Start() returned    -2704 <Invalid stream pointer>";
        QTest::newRow("not initialised")
            << "AudioIn" << "Pa_GetDeviceCount()" << -10000
            << "AudioIn ERROR: Pa_GetDeviceCount() returned    -2710 <PortAudio not initialized>";
        QTest::newRow("success") << "AudioOut" << "Stop()" << 0
                                 << "AudioOut ERROR: Stop() returned        0 <Success>";
    }

    void messageForm()
    {
        QFETCH(QString, owner);
        QFETCH(QString, label);
        QFETCH(int, code);
        QFETCH(QString, message);
        QCOMPARE(AudioDevices::errorMessage(owner.toLatin1().constData(),
                                            label.toLatin1().constData(), code),
                 message);
    }

    // Asking for the devices while no stream object holds PortAudio open.
    void deviceListWithoutPortAudioIsReportedAndEmpty()
    {
        MessageCatcher catcher;
        QVERIFY(AudioIn::InputDevices().isEmpty());
        QVERIFY(AudioOut::OutputDevices().isEmpty());
        QCOMPARE(catcher.warnings(),
                 QStringList({
                     "AudioIn ERROR: Pa_GetDeviceCount() returned    -2710 <PortAudio not initialized>",
                     "AudioOut ERROR: Pa_GetDeviceCount() returned    -2710 <PortAudio not initialized>",
                 }));
    }

    // Without a stream there is nothing to start; closing down has nothing
    // to report and stores what is in use.
    void withoutDevicesTheProgramGoesOn()
    {
        MessageCatcher catcher;
        {
            AudioIn in;
            AudioOut out;
            if (!AudioIn::InputDevices().isEmpty() || !AudioOut::OutputDevices().isEmpty())
                QSKIP("this machine has sound devices");
            in.Start();
            out.Start();
            QVERIFY(!in.isActive());
            QVERIFY(!out.isActive());
            QVERIFY(out.ChangeDevice(out.device(), 8000));
        }
        QCOMPARE(catcher.warnings(),
                 QStringList({
                     "AudioIn ERROR: CreateAudio() returned    -270c <Invalid device>",
                     "AudioOut ERROR: CreateAudio() returned    -270c <Invalid device>",
                     "AudioIn ERROR: Start() returned    -2704 <Invalid stream pointer>",
                     "AudioOut ERROR: Start() returned    -2704 <Invalid stream pointer>",
                     "AudioOut ERROR: CreateAudio() returned    -270c <Invalid device>",
                 }));
        Settings settings;
        QCOMPARE(settings.value(QStringLiteral("Audio/Input/Name")).toString(), QString());
        QCOMPARE(settings.value(QStringLiteral("Audio/Input/SampleRate")).toInt(), 11025);
        QCOMPARE(settings.value(QStringLiteral("Audio/Output/SampleRate")).toInt(), 8000);
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestAudioErrors)
#include "tst_audioerrors.moc"
