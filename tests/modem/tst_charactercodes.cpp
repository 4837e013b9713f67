// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The character codes on air: the Varicode words against the published
// table and every character's word back; reading ".cwt" Morse tables.
#include "modem/cwtables.h"
#include "modem/varicode.h"

#include <QTest>

namespace {

// A minimal complete table; tests append their own lines.
const QString kHeader = QStringLiteral("[Name]\r\nTEST\r\n[CharSet]\r\nlatin\r\n[TX]\r\n");

// UTF-16 little-endian behind its byte order mark.
QByteArray utf16Le(const QString& text)
{
    return QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

class TestCharacterCodes : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<CCwTableMessage> m_messages;

    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(f.fileName()));
        return f.fileName();
    }

private slots:
    void publishedWords_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("word");
        QTest::newRow("space") << 0x20 << "1";
        QTest::newRow("e") << int('e') << "11";
        QTest::newRow("NUL") << 0 << "1010101011";
        QTest::newRow("DEL") << 0x7F << "1110110101";
        QTest::newRow("128") << 128 << "1110111101";
        QTest::newRow("143") << 143 << "10101010101";
        QTest::newRow("255") << 255 << "101101011011";
    }

    void publishedWords()
    {
        QFETCH(int, value);
        QFETCH(QString, word);
        QCOMPARE(QString::number(Varicode::ascii8Word(value), 2), word);
        QCOMPARE(Varicode::ascii8Word(value), CMMVari::instance().codeWord(quint16(value), false));
    }

    void everyCharacterRoundTrips()
    {
        const CMMVari& v = CMMVari::instance();
        for (bool swap : {false, true}) {
            for (int value = 0; value < 256; ++value)
                QCOMPARE(v.charOfWord(v.codeWord(quint16(value), swap), swap), quint16(value));
            for (int lead = 0x81; lead <= 0xFE; ++lead) {
                for (int trail = 0x40; trail <= 0xFF; ++trail) {
                    const quint32 w = v.codeWord(quint16(lead << 8 | trail), swap);
                    // Received double bytes keep sending order: lead byte low.
                    QCOMPARE(v.charOfWord(w, swap), quint16(trail << 8 | lead));
                }
            }
            // Values whose rank lies beyond the list have no word.
            for (int value : {CMMVari::kWordCount, 0x80FF, 0xFF40, 0xFFFF})
                QCOMPARE(v.codeWord(quint16(value), swap), 0u);
        }
    }

    void badFilesAreSkippedWithAWarning()
    {
        const QString ansi = write(QStringLiteral("ansi.cwt"), kHeader.toLatin1() + "A  .-\r\n");
        QVERIFY(!CwTables::loadTable(ansi, &m_messages));
        QCOMPARE(m_messages.value(0).text, ansi + QStringLiteral(" is not a Unicode file!"));
        const QString bad = write(QStringLiteral("t.cwt"), utf16Le(QStringLiteral("[Name]\nX\n[CharSet]\nLATIN\n[TX]\nA  .-")));
        m_messages.clear();
        QVERIFY(!CwTables::loadTable(bad, &m_messages));
        QCOMPARE(m_messages.value(0).text, QStringLiteral("Error loading %1!").arg(bad));
        QVERIFY(CwTables::tables().empty());
        // Without an "ENG" table the program cannot start.
        write(QStringLiteral("ENG.cwt"), utf16Le(QStringLiteral("[Name]\nENG\n[TX]\nA  .-\n")));
        QVERIFY(!CwTables::loadAll(m_dir.path(), &m_messages));
        QCOMPARE(m_messages.back().severity, CCwTableMessage::Critical);
    }
};

QTEST_GUILESS_MAIN(TestCharacterCodes)
#include "tst_charactercodes.moc"
