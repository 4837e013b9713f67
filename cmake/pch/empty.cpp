// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The carrier of a shared precompiled header; it compiles nothing of its own.
