// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Reading ".cwt" Morse tables and looking up the code of a character.
#include "modem/cwtables.h"

#include <QtTest>

namespace {

// A minimal complete table; tests append their own lines.
const QString kHeader = QStringLiteral("[Name]\r\nTEST\r\n[CharSet]\r\nlatin\r\n[TX]\r\n");

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// UTF-16 little-endian behind its byte order mark.
QByteArray utf16Le(const QString& text)
{
    return QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// Back from a code to the pattern it was read from.
QString patternOf(CwCode code)
{
    QString pattern;
    for (; code > 3; code >>= 2)
        pattern += (code & 3) == 0 ? u'.' : (code & 3) == 1 ? u'-' : u'_';
    return code == 3 ? pattern : QStringLiteral("<no end marker>");
}

} // namespace

class TestCwTables : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<CCwTableMessage> m_messages;

    QString write(const QString& name, const QString& text)
    {
        const QString path = m_dir.filePath(name);
        writeFile(path, utf16Le(text));
        return path;
    }

    // Loads the text as a table's file; null when it was skipped.
    const CCwTable* load(const QString& text)
    {
        CwTables::clear();
        m_messages.clear();
        return CwTables::loadTable(write(QStringLiteral("t.cwt"), text), &m_messages)
                   ? &CwTables::tables().back()
                   : nullptr;
    }

private slots:
    void init()
    {
        CwTables::clear();
        m_messages.clear();
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir.path()));
    }

    void patternCode_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<CwCode>("code");
        QTest::newRow("dot dash") << ".-" << CwCode(52);
        QTest::newRow("gaps") << "._-" << CwCode(0b11'01'10'00);
        QTest::newRow("space is a gap") << ". -" << CwCode(0b11'01'10'00);
        QTest::newRow("carriage return skipped") << ".-\r" << CwCode(52);
        QTest::newRow("other character") << ".x-" << CwCode(0);
        QTest::newRow("fifteen elements") << QString(15, u'.') << CwCode(3u << 30);
        QTest::newRow("sixteen elements") << QString(16, u'.') << CwCode(0);
    }

    void patternCode()
    {
        QFETCH(QString, pattern);
        QFETCH(CwCode, code);
        QCOMPARE(CwTables::patternCode(pattern), code);
    }

    void sectionsFillTheTable()
    {
        const CCwTable* t = load(QStringLiteral(
            "A comment before any section\r\n[Name]\r\nFIRST\r\nENG\r\n[CharSet]\r\nlatin\r\n"
            "[StartCode]\r\n-.-.-\r\n[EndCode]\r\n.-.-.\r\n[TX]\r\n  comment\r\nA  .-\r\nB  -...\r\n"
            "[RX]\r\nE  .\r\n[End]\r\nZ  --..\r\n"));
        QVERIFY(t);
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(t->name, QStringLiteral("ENG"));
        QCOMPARE(t->charSet, QStringLiteral("LATIN"));
        QCOMPARE(patternOf(t->startCode), QStringLiteral("-.-.-"));
        QCOMPARE(patternOf(t->endCode), QStringLiteral(".-.-."));
        QCOMPARE(int(t->txEntries.size()), 2);
        QCOMPARE(t->txEntries[0].text, QStringLiteral("A"));
        QCOMPARE(t->txEntries[0].code, CwCode(52));
        QCOMPARE(t->txEntries[1].text, QStringLiteral("B"));
        QCOMPARE(t->txEntries[1].code, CwCode(769));
        QCOMPARE(int(t->rxEntries.size()), 1);
        QCOMPARE(patternOf(t->rxEntries[0].code), QStringLiteral("."));
    }

    void entryNeedsTwoSpacesAndAValidPattern()
    {
        const CCwTable* t = load(kHeader + QStringLiteral("A .-\nB  -x.\nC  \n  D  -..\nE\t .\nF  ..-.\n")
                                 + QChar(0) + QStringLiteral("H  ....\nG  --.  "));
        QVERIFY(t);
        QCOMPARE(int(t->txEntries.size()), 1);
        QCOMPARE(t->txEntries[0].text, QStringLiteral("F"));
    }

    void eightBitFileIsSkippedWithAWarning()
    {
        const QString path = m_dir.filePath(QStringLiteral("ansi.cwt"));
        writeFile(path, kHeader.toLatin1() + "A  .-\r\n");
        QVERIFY(!CwTables::loadTable(path, &m_messages));
        QVERIFY(CwTables::tables().empty());
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].severity, CCwTableMessage::Warning);
        QCOMPARE(m_messages[0].title, QStringLiteral("Load CW table"));
        QCOMPARE(m_messages[0].text, path + QStringLiteral(" is not a Unicode file!"));

        // A file that cannot be opened passes without a word.
        QVERIFY(!CwTables::loadTable(m_dir.filePath(QStringLiteral("none.cwt")), &m_messages));
        QCOMPARE(m_messages.size(), 1);
    }

    void incompleteTableIsSkippedWithAWarning_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("no name") << "[CharSet]\nLATIN\n[TX]\nA  .-\n";
        QTest::newRow("no character set") << "[Name]\nX\n[TX]\nA  .-\n";
        QTest::newRow("no entries") << "[Name]\nX\n[CharSet]\nLATIN\n[TX]\nA  .y\n";
        QTest::newRow("no line feed after the only entry") << "[Name]\nX\n[CharSet]\nLATIN\n[TX]\nA  .-";
    }

    void incompleteTableIsSkippedWithAWarning()
    {
        QFETCH(QString, text);
        QVERIFY(!load(text));
        QVERIFY(CwTables::tables().empty());
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("Load CW table"));
        QCOMPARE(m_messages[0].text, QStringLiteral("Error loading %1!").arg(m_dir.filePath(QStringLiteral("t.cwt"))));
    }

    void firstTableByFileNameWins()
    {
        // Case-blind file order: a.cwt before B.cwt.
        write(QStringLiteral("B.cwt"), QStringLiteral("[Name]\nENG\n[CharSet]\nX\n[TX]\nE  -\n"));
        write(QStringLiteral("a.cwt"), QStringLiteral("[Name]\nENG\n[CharSet]\nX\n[TX]\nE  .\n"));
        write(QStringLiteral("c.txt"), QStringLiteral("[Name]\nOTHER\n[CharSet]\nX\n[TX]\nE  .\n"));
        QVERIFY(CwTables::loadAll(m_dir.path(), &m_messages));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(int(CwTables::tables().size()), 2);
        QCOMPARE(patternOf(CwTables::codeForChar(u'E', CwTables::kEnglishTable)), QStringLiteral("."));
        QVERIFY(!CwTables::find(u"OTHER"));
    }

    void missingEnglishTableIsFatal()
    {
        write(QStringLiteral("de.cwt"), QStringLiteral("[Name]\nDEU\n[CharSet]\nX\n[TX]\nA  .-\n"));
        write(QStringLiteral("ENG.cwt"), QStringLiteral("[Name]\nENG\n[TX]\nA  .-\n"));
        QVERIFY(!CwTables::loadAll(m_dir.path(), &m_messages));
        QCOMPARE(m_messages.size(), 2);
        QCOMPARE(m_messages[1].severity, CCwTableMessage::Critical);
        QCOMPARE(m_messages[1].title, QStringLiteral("Load CW tables"));
        QCOMPARE(m_messages[1].text, QStringLiteral("Cannot load ENG.cwt! Velkora32 will now exit."));
    }

    void codeFallsBackToEnglish()
    {
        write(QStringLiteral("1.cwt"), QStringLiteral("[Name]\nDEU\n[CharSet]\nX\n[TX]\nAB  -\nA  --\nA  ---\n"));
        write(QStringLiteral("2.cwt"), QStringLiteral("[Name]\nENG\n[CharSet]\nX\n[TX]\nA  .-\nK  -.-\n"));
        QVERIFY(CwTables::loadAll(m_dir.path(), &m_messages));
        QCOMPARE(patternOf(CwTables::codeForChar(u'A', u"DEU")), QStringLiteral("--"));
        QCOMPARE(patternOf(CwTables::codeForChar(u'K', u"DEU")), QStringLiteral("-.-"));
        QCOMPARE(patternOf(CwTables::codeForChar(u'K', u"NONE")), QStringLiteral("-.-"));
        QCOMPARE(CwTables::codeForChar(u'Q', u"DEU"), CwCode(0));
        QCOMPARE(CwTables::codeForChar(u'K', u"deu"), CwTables::codeForChar(u'K', u"ENG"));
    }

    void shippedEnglishTableHoldsInternationalMorse()
    {
        const QString source = qEnvironmentVariable("VELKORA_SOURCE_DIR");
        QVERIFY(!source.isEmpty());
        QVERIFY(CwTables::loadAll(source + QStringLiteral("/resources"), &m_messages));
        QVERIFY(m_messages.isEmpty());
        const char* expected[] = {".-", "-...", "-.-.", "-..", ".", "..-.", "--.", "....", "..", ".---",
                                  "-.-", ".-..", "--", "-.", "---", ".--.", "--.-", ".-.", "...", "-",
                                  "..-", "...-", ".--", "-..-", "-.--", "--.."};
        for (int i = 0; i < 26; ++i) {
            const QChar upper(u'A' + i);
            QCOMPARE(patternOf(CwTables::codeForChar(upper, u"ENG")), QString::fromLatin1(expected[i]));
            QCOMPARE(CwTables::codeForChar(upper.toLower(), u"ENG"), CwTables::codeForChar(upper, u"ENG"));
        }
        for (int d = 0; d <= 9; ++d) {
            const QString pattern = d <= 5 ? QString(d, u'.') + QString(5 - d, u'-')
                                           : QString(d - 5, u'-') + QString(10 - d, u'.');
            QCOMPARE(patternOf(CwTables::codeForChar(QChar(u'0' + d), u"ENG")), pattern);
        }
        for (QChar c : QStringLiteral(".,?/=+-@"))
            QVERIFY2(CwTables::codeForChar(c, u"ENG") != 0, qPrintable(QString(c)));
    }
};

QTEST_GUILESS_MAIN(TestCwTables)
#include "tst_cwtables.moc"
