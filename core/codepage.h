// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QChar>
#include <QString>

// The local 8-bit code page: the one-byte character set in which "ASCII8"
// text travels on air and device names come from the sound library.
//
// It is the locale's own character set when that is a full single-byte
// encoding (ISO-8859-x, KOI8-R, CP125x ...). UTF-8 locales, where a character
// is not one byte, and the 7-bit C/POSIX locale use Windows-1252, the code
// page PSK stations use on air (Latin-1 from A0 to FF). The table is built on
// first use and never changes afterwards, so it may be read from any thread.
namespace CodePage {

// The byte for a character; '?' when the code page has no byte for it.
quint8 toByte(QChar c);

// The character for a byte. Bytes the code page leaves undefined come back
// as the Unicode character of the same value, so nothing is lost.
QChar fromByte(quint8 b);

// A string of code-page bytes (a device name, say) as text.
QString fromBytes(const QByteArray& bytes);

// Name of the code page in force, for messages and tests.
QString name();

} // namespace CodePage
