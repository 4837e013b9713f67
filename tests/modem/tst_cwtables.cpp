// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Reading ".cwt" Morse tables and looking up the code of a character.
#include "modem/cwtables.h"

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

class TestCwTables : public QObject
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

QTEST_GUILESS_MAIN(TestCwTables)
#include "tst_cwtables.moc"
