// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Brux Software"));
    QCoreApplication::setApplicationName(QStringLiteral("Velkora32"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("velkora32.org"));
    QCoreApplication::setApplicationVersion(QStringLiteral("4.0"));

    Settings::setPath(Settings::pathFromArguments(QCoreApplication::arguments(),
                                                  QCoreApplication::applicationDirPath(),
                                                  QCoreApplication::applicationName()));

    QMainWindow window;
    window.setObjectName(QStringLiteral("MainWindow"));
    window.setWindowTitle(QStringLiteral("Velkora32"));
    window.setCentralWidget(new QLabel(QObject::tr("Velkora32"), &window));
    window.resize(900, 600);
    window.show();
    return app.exec();
}
