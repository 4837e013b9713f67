// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/cwtables.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

namespace {

constexpr CwCode kDot = 0;
constexpr CwCode kDash = 1;
constexpr CwCode kGap = 2;
constexpr CwCode kEndMarker = 3;

enum class Section { None, CharSet, Name, StartCode, EndCode, Tx, Rx };

struct Header
{
    QStringView tag;
    Section section;
};

constexpr Header kHeaders[] = {
    {u"[CharSet]", Section::CharSet}, {u"[Name]", Section::Name},
    {u"[StartCode]", Section::StartCode}, {u"[EndCode]", Section::EndCode},
    {u"[TX]", Section::Tx}, {u"[RX]", Section::Rx},
};

std::vector<CCwTable>& tableList()
{
    static std::vector<CCwTable> list;
    return list;
}

QString tr(const char* text)
{
    return QCoreApplication::translate("CwTables", text);
}

void report(QList<CCwTableMessage>* messages, CCwTableMessage::Severity severity,
            const QString& title, const QString& text)
{
    if (messages)
        messages->append({severity, title, text});
}

// UTF-16LE after the byte order mark, up to the end or the first NUL.
QString decodeUtf16Le(const QByteArray& bytes)
{
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const char16_t unit = char16_t(quint8(bytes[i]) | (quint8(bytes[i + 1]) << 8));
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

void readLine(QStringView line, Section section, CCwTable* table)
{
    QStringView text;
    QStringView pattern;
    const qsizetype split = line.indexOf(u"  ");
    if (split >= 0) {
        text = line.left(split).trimmed();
        pattern = line.mid(split + 2).trimmed();
    } else if (line.startsWith(u'.') || line.startsWith(u'-')) {
        pattern = line.trimmed();
    } else {
        text = line.trimmed();
    }

    switch (section) {
    case Section::CharSet:
        if (!text.isEmpty())
            table->charSet = text.toString().toUpper();
        break;
    case Section::Name:
        if (!text.isEmpty())
            table->name = text.toString();
        break;
    case Section::StartCode:
    case Section::EndCode:
        if (const CwCode code = CwTables::patternCode(pattern))
            (section == Section::StartCode ? table->startCode : table->endCode) = code;
        break;
    case Section::Tx:
    case Section::Rx:
        if (const CwCode code = CwTables::patternCode(pattern); code && !text.isEmpty())
            (section == Section::Tx ? table->txEntries : table->rxEntries).push_back({text.toString(), code});
        break;
    case Section::None:
        break;
    }
}

void readLines(const QString& content, CCwTable* table)
{
    Section section = Section::None;
    qsizetype start = 0;
    // Text after the last line feed is not a line: a file cut short loses it.
    for (qsizetype lf = content.indexOf(u'\n'); lf >= 0; lf = content.indexOf(u'\n', start)) {
        const QStringView line = QStringView(content).mid(start, lf - start);
        start = lf + 1;
        // A leading space marks a comment.
        if (line.startsWith(u' '))
            continue;
        if (line.startsWith(u"[End]"))
            return;
        bool isHeader = false;
        for (const Header& h : kHeaders) {
            if (line.startsWith(h.tag)) {
                section = h.section;
                isHeader = true;
                break;
            }
        }
        if (!isHeader)
            readLine(line, section, table);
    }
}

CwCode txCode(const CCwTable& table, QChar c)
{
    for (const CCwEntry& e : table.txEntries) {
        if (e.text.size() == 1 && e.text.at(0) == c)
            return e.code;
    }
    return 0;
}

} // namespace

namespace CwTables {

CwCode patternCode(QStringView pattern)
{
    CwCode code = kEndMarker;
    int elements = 0;
    for (qsizetype i = pattern.size() - 1; i >= 0; --i) {
        CwCode element;
        switch (pattern[i].unicode()) {
        case u'\r':
            continue;
        case u'.':
            element = kDot;
            break;
        case u'-':
            element = kDash;
            break;
        case u' ':
        case u'_':
            element = kGap;
            break;
        default:
            return 0;
        }
        if (++elements > kMaxElements)
            return 0;
        code = (code << 2) | element;
    }
    return elements ? code : 0;
}

bool readTable(const QString& path, CCwTable* table, QList<CCwTableMessage>* messages)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.read(2) != QByteArray("\xFF\xFE", 2)) {
        report(messages, CCwTableMessage::Warning, tr("Load CW table"),
               tr("%1 is not a Unicode file!").arg(path));
        return false;
    }
    readLines(decodeUtf16Le(file.readAll()), table);
    if (table->name.isEmpty() || table->charSet.isEmpty()
        || (table->txEntries.empty() && table->rxEntries.empty())) {
        report(messages, CCwTableMessage::Warning, tr("Load CW table"),
               tr("Error loading %1!").arg(path));
        return false;
    }
    return true;
}

bool loadTable(const QString& path, QList<CCwTableMessage>* messages)
{
    CCwTable table;
    if (!readTable(path, &table, messages))
        return false;
    tableList().push_back(std::move(table));
    return true;
}

bool loadAll(const QString& directory, QList<CCwTableMessage>* messages)
{
    clear();
    QString prefix = directory;
    if (!prefix.endsWith(u'/'))
        prefix += u'/';
    const QStringList names = QDir(directory).entryList({QStringLiteral("*.cwt")}, QDir::Files,
                                                        QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        loadTable(prefix + name, messages);
    if (!find(kEnglishTable)) {
        report(messages, CCwTableMessage::Critical, tr("Load CW tables"),
               tr("Cannot load ENG.cwt! Velkora32 will now exit."));
        return false;
    }
    return true;
}

const std::vector<CCwTable>& tables()
{
    return tableList();
}

const CCwTable* find(QStringView name)
{
    for (const CCwTable& t : tableList()) {
        if (t.name == name)
            return &t;
    }
    return nullptr;
}

CwCode codeForChar(QChar c, QStringView tableName)
{
    if (const CCwTable* table = find(tableName)) {
        if (const CwCode code = txCode(*table, c))
            return code;
    }
    if (const CCwTable* eng = find(kEnglishTable))
        return txCode(*eng, c);
    return 0;
}

void clear()
{
    tableList().clear();
}

} // namespace CwTables
