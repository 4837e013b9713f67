// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/prctl.h>

// A private PulseAudio server with a null sink (tools/virtual-soundcard.sh),
// reached through ALSA's "pulse" plugin as devices "pulse" and "default".
// Start it before the first PortAudio use; it dies with the test. kill()
// and start() again stand for a sound server that crashes and comes back.
class VirtualSoundCard
{
public:
    ~VirtualSoundCard() { kill(); }

    static bool available(QString* why)
    {
        QProcess check;
        check.start(QStringLiteral("bash"), {script(), QStringLiteral("check")});
        check.waitForFinished(10000);
        *why = QString::fromLocal8Bit(check.readAllStandardError()).trimmed();
        return check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0;
    }

    bool start(QString* why)
    {
        const QString socket = m_dir.filePath(QStringLiteral("native"));
        QFile::remove(socket); // left by a killed server
        m_server.setProcessChannelMode(QProcess::ForwardedChannels);
        m_server.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        m_server.start(QStringLiteral("bash"), {script(), QStringLiteral("run"), m_dir.path()});
        (void)QTest::qWaitFor([&socket] { return QFileInfo::exists(socket); }, 10000); // checked below
        *why = QStringLiteral("the PulseAudio server did not come up");
        qputenv("PULSE_SERVER", "unix:" + socket.toLocal8Bit());
        qputenv("PULSE_COOKIE", m_dir.filePath(QStringLiteral("cookie")).toLocal8Bit());
        return QFileInfo::exists(socket);
    }

    // A server that hangs (stopped, not dead) and goes on again.
    void pause(bool stopped) { ::kill(pid_t(m_server.processId()), stopped ? SIGSTOP : SIGCONT); }

    void kill()
    {
        m_server.kill();
        m_server.waitForFinished(3000);
    }

private:
    // Found as every test finds its data: through VELKORA_SOURCE_DIR, which ctest sets.
    static QString script() { return qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/tools/virtual-soundcard.sh"); }

    QTemporaryDir m_dir;
    QProcess m_server;
};

// In initTestCase(): starts the card, or skips the program when it cannot be had. Where the
// set-up installed the sound server (VELKORA_REQUIRE_SOUND_SERVER=1, as ./test does), a card
// that cannot be had is a failure instead.
#define VIRTUAL_SOUND_CARD_OR_SKIP(card)                                                          \
    do {                                                                                          \
        QString why;                                                                              \
        if (!VirtualSoundCard::available(&why)) {                                                 \
            if (qEnvironmentVariableIntValue("VELKORA_REQUIRE_SOUND_SERVER"))                     \
                QFAIL(qPrintable(QStringLiteral("no virtual sound card: ") + why));               \
            QSKIP(qPrintable(QStringLiteral("no virtual sound card: ") + why));                   \
        }                                                                                         \
        QVERIFY2((card).start(&why), qPrintable(why));                                            \
    } while (false)
