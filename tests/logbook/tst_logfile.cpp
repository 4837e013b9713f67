// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Appending to, searching, deleting from and replacing in the log file.
#include "logfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace LogFixtures;

static const QByteArray kShort = "0;DL1ABC;short line\n";
static const QByteArray kNoCall = "0;;20240105100000;;;;0;1;;BPSK31;;;;;;;;;;\n";
static const CQsoData kF5aaa = qso(QStringLiteral("F5AAA"), QStringLiteral("20240103100000"), 3580000,
                                   QStringLiteral("BPSK63"));

// A record twice with different names, lines of fewer than 19 fields or no
// call, an 8-bit line from an older program and notes text to find.
static QByteArray sampleLog()
{
    CQsoData a = qso(QStringLiteral("DL1ABC"), QStringLiteral("20240101100000"));
    CQsoData a2 = a;
    a2.name = QStringLiteral("second copy");
    CQsoData b = qso(QStringLiteral("G4XYZ"), QStringLiteral("20240102100000"), 7070000);
    b.info = QStringLiteral("Contest exchange 001");
    return line(a) + kShort + line(b) + line(a2)
           + "0;OE1LAT;20240104100000;;;;0;14070000;;BPSK31;599;599;;;J\xF6rg;Wien;;;;\n" + line(kF5aaa) + kNoCall;
}

static QStringList callsIn(const QList<CQsoData>& records)
{
    QStringList calls;
    for (const CQsoData& q : records)
        calls << q.call;
    return calls;
}

class TestLogFile : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_log;

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_log = m_dir->filePath(QStringLiteral("Velkora32.log"));
    }

    void appendAddsOneLineEach()
    {
        writeAll(m_log, line(qso(QStringLiteral("DL1ABC"), QStringLiteral("20240101100000"))).chopped(1));
        CHamLog log(m_log);
        QVERIFY(log.append(qso(QStringLiteral("G4XYZ"), QStringLiteral("20240101110000"))));
        QVERIFY(log.append(qso(QStringLiteral("F5AAA"), QStringLiteral("20240101120000"))));
        QCOMPARE(readAll(m_log).count('\n'), 3);
        QCOMPARE(callsIn(CHamLog(m_log).search(QString())), QStringList({"DL1ABC", "G4XYZ", "F5AAA"}));

        CHamLog nowhere(m_dir->filePath(QStringLiteral("no such folder/x.log")));
        QVERIFY(!nowhere.append(kF5aaa));
        QVERIFY(nowhere.errorString().contains(QStringLiteral("no such folder/x.log")));
    }

    void appendOnFullDiskLeavesFileAsItWas()
    {
        const QByteArray before = sampleLog();
        writeAll(m_log, before);
        CQsoData big = kF5aaa;
        big.info = QString(200, u'x');
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = before.size() + 100; // room for part of the line only
        setrlimit(RLIMIT_FSIZE, &small);
        CHamLog log(m_log);
        const bool ok = log.append(big);
        setrlimit(RLIMIT_FSIZE, &saved);
        QVERIFY(!ok);
        QVERIFY(log.errorString().contains(m_log));
        QCOMPARE(readAll(m_log), before);
    }

    void search_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("empty lists every readable line")
            << "" << QStringList{"DL1ABC", "G4XYZ", "DL1ABC", "OE1LAT", "F5AAA"};
        QTest::newRow("any letter case") << "dl1abc" << QStringList{"DL1ABC", "DL1ABC"};
        QTest::newRow("text only in the notes") << "CONTEST" << QStringList{"G4XYZ"};
        QTest::newRow("short line not listed") << "short line" << QStringList{};
        QTest::newRow("8-bit text") << QString::fromUtf8("jörg") << QStringList{"OE1LAT"};
    }
    void search()
    {
        QFETCH(QString, pattern);
        writeAll(m_log, sampleLog());
        QTEST(callsIn(CHamLog(m_log).search(pattern)), "found");
        QVERIFY(CHamLog(m_dir->filePath(QStringLiteral("none.log"))).search(pattern).isEmpty());
    }

    void deleteRecords_data()
    {
        QTest::addColumn<QList<int>>("targets"); // indexes into the full search result
        QTest::addColumn<int>("count");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("first of two identical") << QList<int>{0} << 1 << QStringList{"G4XYZ", "DL1ABC", "OE1LAT", "F5AAA"};
        QTest::newRow("second copy names the same line") << QList<int>{2} << 1 << QStringList{"G4XYZ", "DL1ABC", "OE1LAT", "F5AAA"};
        QTest::newRow("both copies") << QList<int>{0, 2} << 2 << QStringList{"G4XYZ", "OE1LAT", "F5AAA"};
        QTest::newRow("count limits the list") << QList<int>{1, 4} << 1 << QStringList{"DL1ABC", "DL1ABC", "OE1LAT", "F5AAA"};
        QTest::newRow("out of order stops later targets") << QList<int>{4, 1} << 2 << QStringList{"DL1ABC", "G4XYZ", "DL1ABC", "OE1LAT"};
    }
    void deleteRecords()
    {
        QFETCH(QList<int>, targets);
        QFETCH(int, count);
        writeAll(m_log, sampleLog());
        const QList<CQsoData> all = CHamLog(m_log).search(QString());
        QList<CQsoData> list;
        for (int i : targets)
            list << all.at(i);
        QVERIFY(CHamLog(m_log).deleteRecords(list, count));
        QTEST(callsIn(CHamLog(m_log).search(QString())), "left");
        const QByteArray after = readAll(m_log);
        QVERIFY(after.contains("\n" + kShort) || after.startsWith(kShort));
        QVERIFY(after.endsWith(kNoCall));
        QVERIFY(QFile::exists(m_log + ".bak") && !QFile::exists(m_log + ".tmp"));
    }

    void replace_data()
    {
        QTest::addColumn<QString>("change"); // how the old record differs from the stored one
        QTest::addColumn<int>("replaced");
        QTest::newRow("same") << "" << 2;
        QTest::newRow("start") << "start" << 0;
        QTest::newRow("end") << "end" << 0;
        QTest::newRow("mode") << "mode" << 0;
        QTest::newRow("call in lower case") << "case" << 0;
        QTest::newRow("name does not matter") << "name" << 2;
    }
    void replace()
    {
        QFETCH(QString, change);
        writeAll(m_log, sampleLog());
        CQsoData old = CHamLog(m_log).search(QStringLiteral("DL1ABC")).first();
        if (change == "start")
            old.start = old.start.addSecs(1);
        else if (change == "end")
            old.end = old.end.addSecs(60);
        else if (change == "mode")
            old.mode = QStringLiteral("BPSK63");
        else if (change == "case")
            old.call = old.call.toLower();
        else if (change == "name")
            old.name = QStringLiteral("whoever");
        CQsoData edited = old;
        edited.call = QStringLiteral("DL1ABD");
        CHamLog log(m_log);
        QVERIFY(log.replace(old, edited));
        QTEST(log.changedLines(), "replaced");
        QTEST(int(CHamLog(m_log).search(QStringLiteral("DL1ABD")).size()), "replaced");
        QCOMPARE(CHamLog(m_log).search(QString()).size(), 5);
        QVERIFY(readAll(m_log).contains("\n" + kShort));
    }

    void replaceCopiesOtherLinesByteForByte()
    {
        QByteArray expected = sampleLog();
        writeAll(m_log, expected);
        CQsoData edited = kF5aaa;
        edited.info = QStringLiteral("edited");
        edited.call = QStringLiteral("F5AAB");
        CHamLog log(m_log); // one object, several operations: each counts its own lines
        QVERIFY(log.replace(kF5aaa, edited));
        QCOMPARE(log.changedLines(), 1);
        QCOMPARE(readAll(m_log), expected.replace(line(kF5aaa), line(edited)));
        QVERIFY(log.replace(kF5aaa, edited) && log.changedLines() == 0);
        QVERIFY(log.deleteRecords({edited}, 1) && log.changedLines() == 1);
        QVERIFY(log.deleteRecords({edited}, 1) && log.changedLines() == 0);
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
