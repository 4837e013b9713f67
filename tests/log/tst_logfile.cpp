// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Appending to, searching, deleting from and replacing in the log file.
#include "logfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using namespace LogFixtures;

class TestLogFile : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void appendAddsOneLineEach();
    void appendAfterLastLineWithoutLineEnd();
    void appendFailureNamesTheFile();
    void appendOnFullDiskLeavesFileAsItWas();
    void search_data();
    void search();
    void searchOfMissingLog();
    void deleteRecords_data();
    void deleteRecords();
    void replace_data();
    void replace();
    void replaceCopiesOtherLinesByteForByte();

private:
    QByteArray sampleLog() const;
    QString m_log;
    QScopedPointer<QTemporaryDir> m_dir;
};

// Lines with identical start, call and mode twice (A), a malformed line, an
// 8-bit line from an older program and a line with notes only.
QByteArray TestLogFile::sampleLog() const
{
    CQsoData a = qso(QStringLiteral("DL1ABC"), QStringLiteral("20240101100000"));
    CQsoData a2 = a;
    a2.name = QStringLiteral("second copy");
    CQsoData b = qso(QStringLiteral("G4XYZ"), QStringLiteral("20240102100000"), 7070000);
    b.info = QStringLiteral("Contest exchange 001");
    CQsoData c = qso(QStringLiteral("F5AAA"), QStringLiteral("20240103100000"), 3580000, QStringLiteral("BPSK63"));
    return line(a) + "0;DL1ABC;short line\n" + line(b) + line(a2)
           + "0;OE1LAT;20240104100000;;;;0;14070000;;BPSK31;599;599;;;J\xF6rg;Wien;;;;\n" + line(c)
           + "0;;20240105100000;;;;0;1;;BPSK31;;;;;;;;;;\n";
}

void TestLogFile::init()
{
    m_dir.reset(new QTemporaryDir);
    m_log = m_dir->filePath(QStringLiteral("Velkora32.log"));
}

void TestLogFile::appendAddsOneLineEach()
{
    CHamLog log(m_log);
    QVERIFY(log.append(qso(QStringLiteral("DL1ABC"), QStringLiteral("20240101100000"))));
    QVERIFY(log.append(qso(QStringLiteral("G4XYZ"), QStringLiteral("20240101110000"))));
    QCOMPARE(readAll(m_log).count('\n'), 2);
    QCOMPARE(listing(m_log), QStringList({"DL1ABC@20240101100000", "G4XYZ@20240101110000"}));
}

void TestLogFile::appendAfterLastLineWithoutLineEnd()
{
    QByteArray first = line(qso(QStringLiteral("DL1ABC"), QStringLiteral("20240101100000")));
    first.chop(1);
    writeAll(m_log, first);
    QVERIFY(CHamLog(m_log).append(qso(QStringLiteral("G4XYZ"), QStringLiteral("20240101110000"))));
    QCOMPARE(listing(m_log), QStringList({"DL1ABC@20240101100000", "G4XYZ@20240101110000"}));
}

void TestLogFile::appendFailureNamesTheFile()
{
    const QString path = m_dir->filePath(QStringLiteral("no such folder/x.log"));
    CHamLog log(path);
    QVERIFY(!log.append(qso(QStringLiteral("DL1ABC"), QStringLiteral("20240101100000"))));
    QVERIFY2(log.errorString().contains(path), qPrintable(log.errorString()));
}

void TestLogFile::appendOnFullDiskLeavesFileAsItWas()
{
    const QByteArray before = sampleLog();
    writeAll(m_log, before);
    CQsoData big = qso(QStringLiteral("DL1ABC"), QStringLiteral("20240201100000"));
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

void TestLogFile::search_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("empty lists every readable line")
        << "" << QStringList{"DL1ABC", "G4XYZ", "DL1ABC", "OE1LAT", "F5AAA"};
    QTest::newRow("any letter case") << "dl1abc" << QStringList{"DL1ABC", "DL1ABC"};
    QTest::newRow("text only in the notes") << "CONTEST" << QStringList{"G4XYZ"};
    QTest::newRow("malformed line not listed") << "short line" << QStringList{};
    QTest::newRow("8-bit text") << QString::fromUtf8("jörg") << QStringList{"OE1LAT"};
    QTest::newRow("mode") << "bpsk63" << QStringList{"F5AAA"};
}

void TestLogFile::search()
{
    QFETCH(QString, pattern);
    writeAll(m_log, sampleLog());
    QStringList calls;
    for (const CQsoData& q : CHamLog(m_log).search(pattern)) {
        QVERIFY(q.valid);
        calls << q.call;
    }
    QTEST(calls, "found");
}

void TestLogFile::searchOfMissingLog()
{
    CHamLog log(m_log);
    QVERIFY(log.search(QString()).isEmpty());
    QVERIFY(log.errorString().contains(m_log));
}

void TestLogFile::deleteRecords_data()
{
    QTest::addColumn<QList<int>>("targets"); // indexes into the full search result
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("left");
    const QStringList all{"DL1ABC", "G4XYZ", "DL1ABC", "OE1LAT", "F5AAA"};
    QTest::newRow("first of two identical") << QList<int>{0} << 1 << QStringList{"G4XYZ", "DL1ABC", "OE1LAT", "F5AAA"};
    QTest::newRow("second copy names the same line") << QList<int>{2} << 1 << QStringList{"G4XYZ", "DL1ABC", "OE1LAT", "F5AAA"};
    QTest::newRow("both copies") << QList<int>{0, 2} << 2 << QStringList{"G4XYZ", "OE1LAT", "F5AAA"};
    QTest::newRow("count limits the list") << QList<int>{1, 4} << 1 << QStringList{"DL1ABC", "DL1ABC", "OE1LAT", "F5AAA"};
    QTest::newRow("three in file order") << QList<int>{1, 3, 4} << 3 << QStringList{"DL1ABC", "DL1ABC"};
    QTest::newRow("out of order stops later targets") << QList<int>{4, 1} << 2 << QStringList{"DL1ABC", "G4XYZ", "DL1ABC", "OE1LAT"};
    QTest::newRow("nothing") << QList<int>{} << 0 << all;
}

void TestLogFile::deleteRecords()
{
    QFETCH(QList<int>, targets);
    QFETCH(int, count);
    const QByteArray before = sampleLog();
    writeAll(m_log, before);
    const QList<CQsoData> all = CHamLog(m_log).search(QString());
    QList<CQsoData> list;
    for (int i : targets)
        list << all.at(i);

    CHamLog log(m_log);
    QVERIFY(log.deleteRecords(list, count));
    QStringList calls;
    for (const CQsoData& q : CHamLog(m_log).search(QString()))
        calls << q.call;
    QTEST(calls, "left");
    // The malformed lines stay, byte for byte.
    const QByteArray after = readAll(m_log);
    QVERIFY(QByteArray("\n" + after).contains("\n0;DL1ABC;short line\n"));
    QVERIFY(after.contains("\n0;;20240105100000;;;;0;1;;BPSK31;;;;;;;;;;\n"));
    if (calls.contains("OE1LAT"))
        QVERIFY(after.contains("J\xF6rg;Wien"));
    QCOMPARE(QFile::exists(m_log + ".bak"), log.changedLines() > 0);
    QVERIFY(!QFile::exists(m_log + ".tmp"));
    if (log.changedLines() == 0)
        QCOMPARE(after, before);
}

void TestLogFile::replace_data()
{
    QTest::addColumn<QString>("change"); // what differs in the old record from the stored one
    QTest::addColumn<int>("replaced");
    QTest::newRow("same") << "" << 2;
    QTest::newRow("start") << "start" << 0;
    QTest::newRow("end") << "end" << 0;
    QTest::newRow("mode") << "mode" << 0;
    QTest::newRow("call in lower case") << "case" << 0;
    QTest::newRow("name does not matter") << "name" << 2;
}

void TestLogFile::replace()
{
    QFETCH(QString, change);
    QFETCH(int, replaced);
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
    edited.number = 4;

    CHamLog log(m_log);
    QVERIFY(log.replace(old, edited));
    QCOMPARE(log.changedLines(), replaced);
    QCOMPARE(CHamLog(m_log).search(QStringLiteral("DL1ABD")).size(), qsizetype(replaced));
    QCOMPARE(CHamLog(m_log).search(QString()).size(), 5);
    QVERIFY(readAll(m_log).contains("\n0;DL1ABC;short line\n"));
}

void TestLogFile::replaceCopiesOtherLinesByteForByte()
{
    const QByteArray before = sampleLog();
    writeAll(m_log, before);
    const CQsoData old = CHamLog(m_log).search(QStringLiteral("F5AAA")).first();
    CQsoData edited = old;
    edited.info = QStringLiteral("edited");
    QVERIFY(CHamLog(m_log).replace(old, edited));
    QByteArray expected = before;
    expected.replace(line(qso(QStringLiteral("F5AAA"), QStringLiteral("20240103100000"), 3580000,
                              QStringLiteral("BPSK63"))),
                     line(edited));
    QCOMPARE(readAll(m_log), expected);
}

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
