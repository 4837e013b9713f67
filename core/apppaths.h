// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Where the program finds its data files and keeps the files it writes.
//
// Read-only data ("ENG.cwt" and the other Morse tables, "bands.ini") lie
// beside the executable in a build tree or a portable copy; an installed
// program finds them in the installation's data directory.
//
// Written files (settings, log with its companions, default macro file) are
// kept beside the executable when that directory is writable, as in a build
// tree or a portable copy. An installed program's directory (/usr/bin) is
// not, so they then go to the per-user data directory instead of being lost.
namespace AppPaths {

QString dataDirectory();
QString writableDirectory();

// Tests point both at a folder of their own.
void setDataDirectory(const QString& dir);
void setWritableDirectory(const QString& dir);

} // namespace AppPaths
