// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Merging a second log in this program's format into the log, in time order.
#include "logfixtures.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace LogFixtures;

// A log from "CALL@hhmm" items on 2024-01-01; "junk" gives a malformed line.
static QByteArray makeLog(const QStringList& items)
{
    QByteArray out;
    for (const QString& item : items)
        out += item == "junk" ? QByteArray("junk line\n")
                              : line(qso(item.section(u'@', 0, 0), "20240101" + item.section(u'@', 1) + "00"));
    return out;
}

class TestLogMerge : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const QString m_log = m_dir.filePath(QStringLiteral("Velkora32.log"));
    const QString m_other = m_dir.filePath(QStringLiteral("other.log"));

private slots:
    void init()
    {
        QFile::remove(m_log);
        QFile::remove(m_log + ".bak");
        QFile::remove(m_other);
    }

    void merge_data()
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
        QTest::newRow("own log not in time order") << QStringList{"C@1200", "A@1000"} << QStringList{"A@1000", "B@1100"}
                                                   << QStringList{"B@1100", "C@1200", "A@1000"} << 1;
        QTest::newRow("empty own log") << QStringList{} << QStringList{"B@1100", "A@1000"}
                                       << QStringList{"B@1100", "A@1000"} << 2;
    }
    void merge()
    {
        QFETCH(QStringList, own);
        QFETCH(QStringList, other);
        if (!own.isEmpty())
            writeAll(m_log, makeLog(own));
        writeAll(m_other, makeLog(other));
        CHamLog log(m_log);
        CHamLog second(m_other);
        QVERIFY2(log.merge(second), qPrintable(log.errorString()));
        QTEST(log.changedLines(), "added");
        QFETCH(QStringList, merged);
        QCOMPARE(readAll(m_log), makeLog(merged));
    }

    void mergeWithItselfOrAMissingLogChangesNothing()
    {
        const QByteArray content = makeLog({"A@1000", "junk", "B@1100"});
        writeAll(m_log, content);
        CHamLog log(m_log);
        CHamLog same(m_log);
        QVERIFY(log.merge(same));
        CHamLog missing(m_other);
        QVERIFY(!log.merge(missing));
        QVERIFY(log.errorString().contains(m_other));
        QCOMPARE(readAll(m_log), content);
        QVERIFY(!QFile::exists(m_log + ".bak"));
    }

    void commandLine() // velkora32-cli log export|import|merge
    {
        QByteArray err;
        auto cli = [&err](const QStringList& args) {
            QProcess p;
            p.start(QStringLiteral(VELKORA_CLI), QStringList{"log"} + args);
            p.waitForFinished(60000);
            err = p.readAllStandardError();
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        writeAll(m_log, makeLog({"A@1000", "B@1100"}));
        const QString adif = m_dir.filePath(QStringLiteral("out.adi"));
        const QString fresh = m_dir.filePath(QStringLiteral("fresh.log"));
        QFile::remove(fresh);
        QCOMPARE(cli({"export", m_log, adif}), 0);
        QCOMPARE(cli({"import", fresh, adif}), 0);
        QCOMPARE(readAll(fresh), readAll(m_log));
        QCOMPARE(cli({"import", m_log, adif}), 0); // nothing new
        writeAll(m_other, makeLog({"C@1200"}));
        QCOMPARE(cli({"merge", m_log, m_other}), 0);
        const QByteArray merged = makeLog({"A@1000", "B@1100", "C@1200"});
        QCOMPARE(readAll(m_log), merged);

        writeAll(adif, "not ADIF at all");
        QCOMPARE(cli({"import", m_log, adif}), 1);
        QVERIFY2(err.contains("Import from") && err.contains("out.adi"), err.constData());
        QCOMPARE(cli({"merge", m_log, m_dir.filePath(QStringLiteral("missing.log"))}), 1);
        QCOMPARE(cli({"merge", m_log, m_dir.path()}), 1);
        QCOMPARE(cli({"export", m_log, m_log + ".bak"}), 1);
        QCOMPARE(cli({"import", m_log}), 2);
        QCOMPARE(readAll(m_log), merged);
    }
};

QTEST_GUILESS_MAIN(TestLogMerge)
#include "tst_logmerge.moc"
