// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the log line. Any bytes, read as a line, must parse
// or be refused without harm; a record that parsed, written back, must be one
// line of 19 fields that reads as the same record. Any bytes, typed into a
// record's texts, must still give one line of 19 fields.
#include "logbook/hamlog.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkOneLine(const QString& line)
{
    check(line.count(u';') == CHamLog::kFieldCount);
    check(!line.contains(u'\n') && !line.contains(u'\r'));
}

void readAnyLine(const QByteArray& bytes)
{
    const QString line = CHamLog::lineText(bytes);
    for (int mask : {0, int(CHamLog::ParseStart), int(CHamLog::ParseAll)}) {
        CQsoData q;
        CHamLog::parse(line, q, mask);
    }
    CQsoData q;
    if (!CHamLog::parse(line, q) || !q.start.isValid())
        return;
    const QString written = CHamLog::logLine(q);
    checkOneLine(written);
    CQsoData back;
    check(CHamLog::parse(written, back));
    check(back.start == q.start && back.frequencyB == q.frequencyB && back.mode.size() == q.mode.size());
    check(back.name.size() == q.name.size() && back.info.size() == q.info.size());
    check(CHamLog::logLine(back) == written);
}

void typeIntoTexts(const QByteArray& bytes)
{
    const QList<QByteArray> pieces = bytes.split('\0');
    CQsoData q;
    q.start = QDateTime(QDate(2024, 1, 1), QTime(12, 0), Qt::UTC);
    q.end = q.start.addSecs(pieces.size() * 61);
    QString* texts[] = {&q.call, &q.mode, &q.sent, &q.received, &q.name, &q.qth,
                        &q.info, &q.text9, &q.text13, &q.text14, &q.locator, &q.power};
    for (int i = 0; i < pieces.size() && i < int(std::size(texts)); ++i)
        *texts[i] = CHamLog::lineText(pieces.at(i));
    const QString written = CHamLog::logLine(q);
    checkOneLine(written);
    if (q.call.toUpper().isEmpty())
        return;
    CQsoData back;
    check(CHamLog::parse(written, back));
    check(back.name.size() == q.name.size() && back.info.size() == q.info.size());
    check(back.power.size() == q.power.size() && back.mode.size() == q.mode.size());
    check(back.start.secsTo(back.end) == (q.start.secsTo(q.end) / 60) * 60);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    readAnyLine(bytes);
    typeIntoTexts(bytes);
    return 0;
}
