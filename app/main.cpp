// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/apppaths.h"
#include "app/mainwindow.h"
#include "core/settings.h"

#include <QApplication>
#include <QSocketNotifier>

#include <memory>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// SIGTERM (logout, kill, a service manager) and SIGINT close the window as
// the user would, so the settings written at close are kept. A signal
// handler may do next to nothing, so it only writes a byte that the event
// loop then reads.
int g_signalSocket[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    // A full socket already holds a byte waiting, which is enough.
    [[maybe_unused]] const ssize_t written = ::write(g_signalSocket[1], &byte, 1);
}

// Called before anything else, so a signal that arrives while the window is
// still being built waits in the socket instead of killing the program.
void catchTerminationSignals()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, g_signalSocket) != 0)
        return;
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

} // namespace

int main(int argc, char* argv[])
{
    catchTerminationSignals();
    QApplication app(argc, argv);
    std::unique_ptr<QSocketNotifier> signalNotifier;
    if (g_signalSocket[0] >= 0) {
        signalNotifier = std::make_unique<QSocketNotifier>(g_signalSocket[0], QSocketNotifier::Read);
        QObject::connect(signalNotifier.get(), &QSocketNotifier::activated, [] {
            char bytes[16];
            while (::read(g_signalSocket[0], bytes, sizeof bytes) > 0) {
            }
            QApplication::closeAllWindows();
            QCoreApplication::quit();
        });
    }
    QCoreApplication::setOrganizationName(QStringLiteral("Brux Software"));
    QCoreApplication::setApplicationName(QStringLiteral("Velkora32"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velkora32.org"));
    QCoreApplication::setApplicationVersion(QStringLiteral("4.0"));

    Settings::setPath(Settings::pathFromArguments(QCoreApplication::arguments(),
                                                  AppPaths::writableDirectory(),
                                                  QCoreApplication::applicationName()));
    Settings::validateStored();

    auto window = std::make_unique<MainWindow>();
    if (!window->startedOk())
        return 1;
    window->show();
    const int code = app.exec();
    window.reset(); // writes the remaining settings before the application goes
    return code;
}
