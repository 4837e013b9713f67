// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Rig control's cost to the program: the CPU time of polling the dial once a
// second (Hamlib's dummy rig in process, and a rigctld on this machine), and
// the longest the GUI thread's event loop stands still while the rigctld
// stops answering (SIGSTOP) or goes away (SIGKILL) and transmissions are
// tried meanwhile. The event loop's stillness is measured as the largest
// gap between the ticks of a 5 ms timer on that thread.
//
//   bench_rigpoll [seconds per case, default 10]

#include "benchcommon.h"
#include "core/settings.h"
#include "rig/rigcontrol.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

struct Result
{
    double cpuPercent = 0.0;
    double longestGapMs = 0.0;
    int refused = 0;
    int keyed = 0;
    double longestPttMs = 0.0; // the longest pttUp() call on the GUI thread
};

// Runs the event loop for seconds with rig control on, optionally trying a
// transmission every half second; during the run, at its first third,
// disturb() is called once. The gap timer costs CPU time of its own, so the
// CPU figure is taken only in runs without it.
Result run(int seconds, bool transmit, const std::function<void()>& disturb = {}, bool gaps = true)
{
    Result r;
    RigControl rig([](bool) {});
    QElapsedTimer wall;
    QElapsedTimer sinceTick;
    const double cpu0 = Bench::cpuSeconds();
    wall.start();
    sinceTick.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        r.longestGapMs = std::max(r.longestGapMs, sinceTick.nsecsElapsed() / 1e6);
        sinceTick.restart();
    });
    if (gaps)
        tick.start(5);
    QTimer tx;
    QObject::connect(&rig, &RigControl::pttAnswered, [&](bool keyed, const QString&) {
        if (keyed) {
            ++r.keyed;
            rig.pttDown();
        } else {
            ++r.refused;
        }
    });
    QObject::connect(&tx, &QTimer::timeout, [&] {
        QString why;
        QElapsedTimer t;
        t.start();
        const RigControl::PttStart start = rig.pttUp(&why);
        r.longestPttMs = std::max(r.longestPttMs, t.nsecsElapsed() / 1e6);
        if (start == RigControl::PttStart::Keyed) {
            ++r.keyed;
            rig.pttDown();
        } else if (start == RigControl::PttStart::Refused) {
            ++r.refused;
        }
    });
    if (transmit)
        tx.start(500);
    if (disturb)
        QTimer::singleShot(seconds * 1000 / 3, disturb);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    // The first ticks include the start-up of the thread, not polling.
    QTimer::singleShot(100, [&] { r.longestGapMs = 0; });
    loop.exec();
    r.cpuPercent = 100.0 * (Bench::cpuSeconds() - cpu0) / (wall.nsecsElapsed() / 1e9);
    return r;
}

void configure(int model, int port)
{
    Settings s;
    s.setValue(QStringLiteral("Rig/Model"), model);
    s.setValue(QStringLiteral("Rig/Port"), port);
    s.setValue(QStringLiteral("Rig/Ptt"), QStringLiteral("Cat"));
}

void print(const char* name, const Result& r, bool gaps = true)
{
    if (!gaps)
        std::printf("%-44s %8.3f %% %13s %6d %6d\n", name, r.cpuPercent, "-", r.keyed, r.refused);
    else
        std::printf("%-44s %10s %10.1f ms %6d %6d %8.1f ms\n", name, "-", r.longestGapMs, r.keyed, r.refused,
                    r.longestPttMs);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 10;
    QTemporaryDir dir;
    Settings::setPath(dir.filePath(QStringLiteral("bench.ini")));

    int port = 0;
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        port = probe.serverPort();
    }
    QProcess rigctld;
    const auto startRigctld = [&] {
        rigctld.start(QStringLiteral("rigctld"), {"-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t", QString::number(port)});
        rigctld.waitForStarted();
        for (int i = 0; i < 50; ++i) {
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, quint16(port));
            if (s.waitForConnected(100))
                return;
            QThread::msleep(100);
        }
    };

    std::printf("%-44s %10s %13s %6s %6s %11s\n", "case", "CPU/core", "longest gap", "keyed", "refused",
                "longest PTT");
    configure(RigConfig::kNone, port);
    print("no rig control", run(seconds, false, {}, false), false);
    print("no rig control", run(seconds, false));
    configure(RigConfig::kDummy, port);
    print("dummy rig in process, polling", run(seconds, false, {}, false), false);
    print("dummy rig in process, polling", run(seconds, false));
    configure(RigConfig::kNetwork, port);
    startRigctld();
    print("rigctld, polling", run(seconds, false, {}, false), false);
    print("rigctld, polling", run(seconds, false));
    print("rigctld, polling, transmitting", run(seconds, true));
    print("rigctld stops answering (SIGSTOP), tx tried", run(seconds, true, [&] { ::kill(pid_t(rigctld.processId()), SIGSTOP); }));
    ::kill(pid_t(rigctld.processId()), SIGCONT);
    print("rigctld killed, tx tried", run(seconds, true, [&] { rigctld.kill(); }));
    rigctld.waitForFinished();
    return 0;
}
