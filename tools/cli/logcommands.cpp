// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/cli/logcommands.h"

#include "logbook/hamlog.h"

#include <cstdio>

namespace {

const char kLogHelp[] =
    "Usage: velkora32-cli log export LOG OUT.adi\n"
    "       velkora32-cli log import LOG IN.adi\n"
    "       velkora32-cli log merge LOG OTHER.log\n"
    "\n"
    "  export   writes every contact of LOG to an ADIF file (an existing regular\n"
    "           file of that name is replaced, never the log or its companions;\n"
    "           a pipe or character device is written to)\n"
    "  import   merges the contacts of an ADIF file into LOG in time order,\n"
    "           leaving out those already there, and says which records and\n"
    "           fields it left out or repaired\n"
    "  merge    does the same with a second log in Velkora32's format\n"
    "\n"
    "LOG is created by import and merge when it does not exist. On failure the\n"
    "log is left as it was and the exit code is 1.\n";

void print(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stream, "%s\n", bytes.constData());
}

int failed(const QString& text, const QString& reason)
{
    print(stderr, QStringLiteral("velkora32-cli: %1 %2").arg(text, reason));
    return 1;
}

} // namespace

int runLogCommand(const QStringList& arguments)
{
    const QString command = arguments.value(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        std::fputs(kLogHelp, stdout);
        return 0;
    }
    if (arguments.size() != 4
        || (command != QLatin1String("export") && command != QLatin1String("import")
            && command != QLatin1String("merge"))) {
        print(stderr, QStringLiteral("velkora32-cli: log needs export, import or merge and two file names"));
        std::fputs(kLogHelp, stderr);
        return 2;
    }
    const QString file = arguments.at(3);
    CHamLog log(arguments.at(2));
    if (command == QLatin1String("export")) {
        if (!log.exportAdif(file))
            return failed(QStringLiteral("Export to %1 failed.").arg(file), log.errorString());
        print(stdout, QStringLiteral("Log exported to %1").arg(file));
    } else if (command == QLatin1String("import")) {
        if (!log.importAdif(file))
            return failed(QStringLiteral("Import from %1 failed.").arg(file), log.errorString());
        print(stdout, QStringLiteral("%1 QSO(s) imported from %2").arg(log.changedLines()).arg(file));
        if (!log.importNotes().isEmpty())
            print(stdout, log.importNotes());
    } else {
        CHamLog other(file);
        if (!log.merge(other))
            return failed(QStringLiteral("Merging %1 into the log failed.").arg(file), log.errorString());
        print(stdout, QStringLiteral("%1 QSO(s) merged from %2").arg(log.changedLines()).arg(file));
    }
    return 0;
}
