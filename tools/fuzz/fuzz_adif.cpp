// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for ADIF reading. Any bytes as an ADIF file must read
// without harm, and every record that decodes must become a log line that
// reads back. Values taken from the input, written with the field writer,
// must read back unchanged but for control characters (or as absent when
// over 300 bytes), unless one of them holds an end-of-record tag.
#include "logbook/adif.h"
#include "logbook/hamlog.h"

#include <QBuffer>
#include <QRegularExpression>

#include <algorithm>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

// A value as the reader gives it: control characters and line breaks
// dropped, a tab made a blank.
QString cleaned(const QString& value)
{
    QString out;
    for (QChar c : value) {
        if (c == u'\t')
            out += u' ';
        else if (c.category() != QChar::Other_Control && c.category() != QChar::Separator_Line
                 && c.category() != QChar::Separator_Paragraph)
            out += c;
    }
    return out;
}

void readAnyFile(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    AdifReader reader(&buffer);
    Adif::Fields fields;
    while (reader.nextFields(fields)) {
        for (const QString& value : fields)
            check(value.size() <= Adif::kMaxValueLength);
        CQsoData q;
        if (!Adif::decodeRecord(fields, q))
            continue;
        check(q.valid && !q.call.isEmpty() && q.start.isValid());
        const QString line = CHamLog::logLine(q);
        check(line.count(u';') == CHamLog::kFieldCount && !line.contains(u'\n'));
        CQsoData back;
        check(CHamLog::parse(line, back));
        check(back.start == q.start && back.frequencyB == q.frequencyB);
    }
}

void writeAndReadBack(const QByteArray& bytes)
{
    const QList<QByteArray> pieces = bytes.split('\x01');
    QString text = QStringLiteral("header <x>\n<EOH>\n");
    QStringList values;
    for (const QByteArray& piece : pieces) {
        values << CHamLog::lineText(piece);
        Adif::writeField(text, QStringLiteral("F%1").arg(values.size() - 1), values.last(),
                         values.size() % 2 ? QStringView(u"S") : QStringView());
    }
    text += QStringLiteral("<eor>");
    // A value never holds the end of a record: a length that would take one
    // in is read as damaged, and the reader picks up again at the tag.
    static const QRegularExpression kRecordEnd(QStringLiteral("<\\s*eo[rh]\\s*>"),
                                               QRegularExpression::CaseInsensitiveOption);
    const bool holdsRecordEnd = std::any_of(values.cbegin(), values.cend(),
                                            [](const QString& v) { return kRecordEnd.match(v).hasMatch(); });
    QBuffer buffer;
    buffer.setData(text.toUtf8());
    buffer.open(QIODevice::ReadOnly);
    AdifReader reader(&buffer);
    Adif::Fields fields;
    if (holdsRecordEnd) {
        while (reader.nextFields(fields)) {
        }
        return;
    }
    check(reader.nextFields(fields));
    for (int i = 0; i < values.size(); ++i) {
        const QString& value = values.at(i);
        const QString key = QStringLiteral("F%1").arg(i);
        if (value.isEmpty() || value.toUtf8().size() > Adif::kMaxValueLength)
            check(!fields.contains(key));
        else
            check(fields.value(key) == cleaned(value));
    }
    check(!reader.nextFields(fields));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    readAnyFile(bytes);
    writeAndReadBack(bytes);
    return 0;
}
