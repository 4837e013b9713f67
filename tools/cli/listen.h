// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

// "velkora32-cli listen": a receive-only station. Decodes every signal of
// the mode from a sound-card input until Ctrl+C or SIGTERM, prints one line
// per over and can report the calls it copies to PSK Reporter.
int runListen(const QStringList& arguments);
