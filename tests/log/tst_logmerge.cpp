// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Merging a second log in this program's format into the log.
#include "logfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace LogFixtures;

class TestLogMerge : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void merge_data();
    void merge();
    void mergeWithItselfChangesNothing();
    void missingSecondLog();

private:
    QString m_log;
    QString m_other;
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestLogMerge::init()
{
    m_dir.reset(new QTemporaryDir);
    m_log = m_dir->filePath(QStringLiteral("Velkora32.log"));
    m_other = m_dir->filePath(QStringLiteral("other.log"));
}

// A log from "CALL@hhmm" items (2024-01-01); "junk" gives a malformed line.
static QByteArray makeLog(const QStringList& items)
{
    QByteArray out;
    for (const QString& item : items) {
        if (item == "junk")
            out += "junk line\n";
        else
            out += line(qso(item.section(u'@', 0, 0), "20240101" + item.section(u'@', 1) + "00"));
    }
    return out;
}

void TestLogMerge::merge_data()
{
    QTest::addColumn<QStringList>("own");
    QTest::addColumn<QStringList>("other");
    QTest::addColumn<QStringList>("merged");
    QTest::addColumn<int>("added");
    QTest::newRow("interleaved, one record in both")
        << QStringList{"A@1000", "C@1200", "E@1400"} << QStringList{"B@1100", "C@1200", "D@1300", "F@1500"}
        << QStringList{"A@1000", "B@1100", "C@1200", "D@1300", "E@1400", "F@1500"} << 3;
    QTest::newRow("same start, other call: own line first")
        << QStringList{"A@1000"} << QStringList{"B@1000"} << QStringList{"A@1000", "B@1000"} << 1;
    QTest::newRow("twice in the second log") << QStringList{"A@1000"} << QStringList{"B@1100", "B@1100"}
                                             << QStringList{"A@1000", "B@1100"} << 1;
    QTest::newRow("own duplicates are kept") << QStringList{"A@1000", "A@1000"} << QStringList{"A@1000"}
                                             << QStringList{"A@1000", "A@1000"} << 0;
    QTest::newRow("malformed lines: ours kept, theirs left out")
        << QStringList{"A@1000", "junk", "C@1200"} << QStringList{"junk", "B@1100"}
        << QStringList{"A@1000", "junk", "B@1100", "C@1200"} << 1;
    QTest::newRow("own log not in time order")
        << QStringList{"C@1200", "A@1000"} << QStringList{"A@1000", "B@1100"}
        << QStringList{"B@1100", "C@1200", "A@1000"} << 1;
    QTest::newRow("empty own log") << QStringList{} << QStringList{"B@1100", "A@1000"}
                                   << QStringList{"B@1100", "A@1000"} << 2;
}

void TestLogMerge::merge()
{
    QFETCH(QStringList, own);
    QFETCH(QStringList, other);
    QFETCH(QStringList, merged);
    if (!own.isEmpty())
        writeAll(m_log, makeLog(own));
    writeAll(m_other, makeLog(other));
    CHamLog log(m_log);
    CHamLog second(m_other);
    QVERIFY2(log.merge(second), qPrintable(log.errorString()));
    QTEST(log.changedLines(), "added");
    QCOMPARE(readAll(m_log), makeLog(merged));
}

void TestLogMerge::mergeWithItselfChangesNothing()
{
    const QByteArray content = makeLog({"A@1000", "junk", "B@1100"});
    writeAll(m_log, content);
    CHamLog log(m_log);
    CHamLog same(m_log);
    QVERIFY(log.merge(same));
    QCOMPARE(readAll(m_log), content);
    QVERIFY(!QFile::exists(m_log + ".bak"));
}

void TestLogMerge::missingSecondLog()
{
    writeAll(m_log, makeLog({"A@1000"}));
    CHamLog log(m_log);
    CHamLog second(m_other);
    QVERIFY(!log.merge(second));
    QVERIFY(log.errorString().contains(m_other));
    QCOMPARE(readAll(m_log), makeLog({"A@1000"}));
}

QTEST_GUILESS_MAIN(TestLogMerge)
#include "tst_logmerge.moc"
