// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

// A private PulseAudio server with a null sink whose monitor is the default
// source, started through tools/virtual-soundcard.sh for the life of one
// test program. PortAudio reaches it through ALSA's "pulse" plugin: devices
// "pulse" and "default". Call start() before the first PortAudio use in the
// process, since PortAudio lists the devices once per initialisation.
//
// The server is the test's own child and is killed with it: by the
// destructor, or by the kernel if the test dies first.
class VirtualSoundCard
{
public:
    ~VirtualSoundCard() { stop(); }

    // Whether the packages the card needs are installed; if not, why.
    bool available(QString* why)
    {
        QProcess check;
        check.start(QStringLiteral("bash"), {script(), QStringLiteral("check")});
        check.waitForFinished(10000);
        if (check.exitStatus() == QProcess::NormalExit && check.exitCode() == 0)
            return true;
        *why = QString::fromLocal8Bit(check.readAllStandardError()).trimmed();
        if (why->isEmpty())
            *why = QStringLiteral("tools/virtual-soundcard.sh check failed");
        return false;
    }

    // Starts the server and points this process's sound clients at it.
    bool start(QString* why)
    {
        if (!m_dir.isValid()) {
            *why = QStringLiteral("no temporary folder");
            return false;
        }
        m_server.setProcessChannelMode(QProcess::ForwardedChannels);
        m_server.setChildProcessModifier([] {
            // Dies with the test even when the test crashes.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        });
        m_server.start(QStringLiteral("bash"), {script(), QStringLiteral("run"), m_dir.path()});
        if (!m_server.waitForStarted(5000)) {
            *why = QStringLiteral("could not run tools/virtual-soundcard.sh");
            return false;
        }
        const QString socket = m_dir.filePath(QStringLiteral("native"));
        QDeadlineTimer deadline(10000);
        while (!QFileInfo::exists(socket)) {
            if (m_server.state() != QProcess::Running || deadline.hasExpired()) {
                *why = QStringLiteral("the PulseAudio server did not come up");
                stop();
                return false;
            }
            QThread::msleep(20);
        }
        qputenv("PULSE_SERVER", "unix:" + socket.toLocal8Bit());
        qputenv("PULSE_COOKIE", m_dir.filePath(QStringLiteral("cookie")).toLocal8Bit());
        return true;
    }

    void stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        if (!m_server.waitForFinished(3000)) {
            m_server.kill();
            m_server.waitForFinished(3000);
        }
    }

private:
    static QString script()
    {
        QString source = qEnvironmentVariable("VELKORA_SOURCE_DIR");
        if (source.isEmpty())
            source = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../..");
        return source + QStringLiteral("/tools/virtual-soundcard.sh");
    }

    QTemporaryDir m_dir;
    QProcess m_server;
};

// Starts the card in initTestCase(), or skips the whole test program with the
// reason when its packages are not installed.
#define VIRTUAL_SOUND_CARD_OR_SKIP(card)                                                          \
    do {                                                                                          \
        QString why;                                                                              \
        if (!(card).available(&why))                                                              \
            QSKIP(qPrintable(QStringLiteral("no virtual sound card: ") + why));                   \
        QVERIFY2((card).start(&why), qPrintable(why));                                            \
    } while (false)
