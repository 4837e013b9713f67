// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/apppaths.h"
#include "app/mainwindow.h"
#include "app/settings.h"

#include <QApplication>

#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brux Software"));
    QCoreApplication::setApplicationName(QStringLiteral("Velkora32"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velkora32.org"));
    QCoreApplication::setApplicationVersion(QStringLiteral("4.0"));

    Settings::setPath(Settings::pathFromArguments(QCoreApplication::arguments(),
                                                  AppPaths::writableDirectory(),
                                                  QCoreApplication::applicationName()));

    auto window = std::make_unique<MainWindow>();
    if (!window->startedOk())
        return 1;
    window->show();
    const int code = app.exec();
    window.reset(); // writes the remaining settings before the application goes
    return code;
}
