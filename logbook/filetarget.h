// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QWidget;

// Whether a report, macro or ADIF file may be written at path, asked in the
// window before the file is opened: never over the log or one of its
// companion files or anything but a regular file (a warning says so), and
// over an existing file only when the operator agrees to replace it. GUI
// thread.
bool mayWriteFile(QWidget* parent, const QString& path, const QString& logFileName);
