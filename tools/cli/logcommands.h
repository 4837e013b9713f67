// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// "velkora32-cli log ...": the logbook's export, import and merge for
// scripts, with the rules and messages of the menu entries and the same
// locked, crash-safe rewrite of the log. arguments holds the program name
// followed by what came after "log". Returns the exit code: 0 done, 1 failed
// (the log unchanged, the reason on standard error), 2 wrong usage.
int runLogCommand(const QStringList& arguments);
