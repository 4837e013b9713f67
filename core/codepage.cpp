// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/codepage.h"

#include <QByteArray>
#include <QHash>

#include <array>
#include <clocale>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>

namespace {

// Windows-1252 from 80 to 9F; the five undefined positions keep their value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

struct Table
{
    QString name;
    std::array<char16_t, 256> toUnicode{};
    QHash<char16_t, quint8> toByte;

    Table()
    {
        if (!fromLocale())
            windows1252();
        for (int b = 255; b >= 0; --b)
            toByte.insert(toUnicode[b], quint8(b));
    }

    void windows1252()
    {
        name = QStringLiteral("Windows-1252");
        for (int b = 0; b < 256; ++b)
            toUnicode[b] = (b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b);
    }

    // The locale's character set, when it is a full single-byte encoding.
    bool fromLocale()
    {
        const char* ctype = std::setlocale(LC_CTYPE, nullptr);
        if (!ctype || !std::strcmp(ctype, "C") || !std::strcmp(ctype, "POSIX"))
            return false;
        const QByteArray codeset = nl_langinfo(CODESET);
        const QByteArray upper = codeset.toUpper();
        if (upper.isEmpty() || upper.contains("UTF") || upper == "ANSI_X3.4-1968"
            || upper == "ASCII" || MB_CUR_MAX != 1)
            return false;
        iconv_t cd = iconv_open("UTF-16LE", codeset.constData());
        if (cd == iconv_t(-1))
            return false;
        for (int b = 0; b < 256; ++b) {
            char in = char(b);
            char out[8] = {};
            char* pin = &in;
            char* pout = out;
            size_t inLeft = 1, outLeft = sizeof out;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
            if (iconv(cd, &pin, &inLeft, &pout, &outLeft) == size_t(-1) || outLeft != 6)
                toUnicode[b] = char16_t(b); // undefined in this code page
            else
                toUnicode[b] = char16_t(quint8(out[0]) | (quint8(out[1]) << 8));
        }
        iconv_close(cd);
        name = QString::fromLatin1(codeset);
        return true;
    }
};

const Table& table()
{
    static const Table t;
    return t;
}

} // namespace

namespace CodePage {

quint8 toByte(QChar c)
{
    const Table& t = table();
    const auto it = t.toByte.constFind(c.unicode());
    return it == t.toByte.cend() ? quint8('?') : it.value();
}

QChar fromByte(quint8 b)
{
    return QChar(table().toUnicode[b]);
}

QString fromBytes(const QByteArray& bytes)
{
    QString s;
    s.reserve(bytes.size());
    for (char c : bytes)
        s.append(fromByte(quint8(c)));
    return s;
}

QString name()
{
    return table().name;
}

} // namespace CodePage
