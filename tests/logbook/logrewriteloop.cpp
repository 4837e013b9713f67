// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Helper for the crash test: rewrites the log for ever, counting up the notes of "MARKER"; a line per rewrite.
#include "logbook/hamlog.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: logrewriteloop <log file>\n";
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    CQsoData marker = CHamLog(path).search(QStringLiteral("MARKER")).value(0);
    if (!marker.valid)
        return 3;
    QTextStream out(stdout);
    out << "ready" << Qt::endl;
    for (;;) {
        CQsoData next = marker;
        next.info = QString::number(marker.info.toLongLong() + 1);
        CHamLog log(path);
        if (!log.replace(marker, next) || log.changedLines() != 1) {
            QTextStream(stderr) << log.errorString() << '\n';
            return 1;
        }
        marker = next;
        out << marker.info << Qt::endl;
    }
}
