// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The log line of 19 fields written and read back, and appending to, searching, deleting from
// and replacing in the log; what the log bar makes of it: the worked-before hint, and the
// report suggested from a measured S/N (readability and strength rise with it, the edges land
// on the right side, no signal suggests nothing).
#include "logbook/hamlog.h"
#include "logbook/rstsuggestion.h"
#include "logbook/workedbefore.h"
#include "tests/core/fulldisk.h"
#include "tests/logbook/logfixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace LogFixtures;

static const QByteArray kShort = "0;DL1ABC;short line\n";
static const CQsoData kF5aaa = qso("F5AAA", "20240103100000", 3580000, "BPSK63");

// A record twice, a short line, notes to find and an 8-bit line from an older program.
static QByteArray sampleLog()
{
    CQsoData a = qso("DL1ABC", "20240101100000"), b = qso("G4XYZ", "20240102100000", 7070000);
    b.info = "Contest exchange 001";
    return line(a) + kShort + line(b) + line(a)
           + "0;OE1LAT;20240104100000;;;;0;14070000;;BPSK31;599;599;;;J\xF6rg;Wien;;;;\n" + line(kF5aaa);
}

class TestLogFile : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_log;

private slots:
    void init() { m_dir.reset(new QTemporaryDir), m_log = m_dir->filePath(QStringLiteral("Velkora32.log")); }

    void lineRoundTripWithHostileTexts()
    {
        CQsoData q = qso("dl1abc/p", "20240315235959");
        q.end = q.start.addSecs(12 * 60 + 59);
        q.extraDate1 = q.extraDate2 = q.start.addSecs(1); // dates only
        q.frequencyA = 3580000; // not written while B is set
        q.name = "Hans; Berlin";
        q.qth = "first\r\nsecond";
        q.info = QString::fromUtf16(u"a\u2028b");
        q.mode = "BPSK31\n";
        const QString written = CHamLog::logLine(q);
        QCOMPARE(written, "0;DL1ABC/P;20240315235959;12;20240316;20240316;0;14070000;;BPSK31 ;;;;;Hans, Berlin;first  second;a b;;;");
        QVERIFY(CHamLog::logLine(qso("G4XYZ", "20240315235959")).startsWith("0;G4XYZ;20240315235959;;")); // no length: no minutes
        CQsoData back;
        QVERIFY(CHamLog::parse(written, back));
        QCOMPARE(std::pair(back.frequencyA, back.start.secsTo(back.end)), std::pair(14070000u, qint64(720)));
        QCOMPARE(CHamLog::logLine(back), written);
        QStringList fields = written.split(u';'); // each field kept, those the window never fills too
        for (int i : {0, 8, 10, 11, 12, 13, 17, 18}) // and a number, which only other programs write
            fields[i] = i ? QStringLiteral("f%1").arg(i) : QStringLiteral("7");
        QVERIFY(CHamLog::parse(fields.join(u';'), back) && CHamLog::logLine(back) == fields.join(u';'));
        back.clear(); // then cleared, it keeps none of them
        QCOMPARE(CHamLog::logLine(back).section(u';', 6), CHamLog::logLine(CQsoData()).section(u';', 6));
        QVERIFY(CHamLog::parse(QString(written).replace(";0;14070000;", ";7070000;;").chopped(1), back) && back.frequencyB == 7070000u); // older lines
        for (const QString& bad : {written.section(u';', 0, 17), QString(written).replace(";DL1ABC/P;", ";;"),
                                   QString(written).replace(";20240315235959;", ";;")})
            QVERIFY(!CHamLog::parse(bad, back) && !back.valid);
    }

    void appendAndSearch()
    {
        writeAll(m_log, sampleLog().replace("\n", "\r\n").chopped(2)); // CR LF, the last line without its end
        CHamLog log(m_log);
        QVERIFY(log.append(qso("G4NEW", "20240105110000")));
        QCOMPARE(calls(log.search(QString())), QStringList({"DL1ABC", "G4XYZ", "DL1ABC", "OE1LAT", "F5AAA", "G4NEW"}));
        QCOMPARE(calls(log.search("CONTEST")), QStringList({"G4XYZ"}));
        QVERIFY(calls(log.search(QString::fromUtf8("jörg"))) == QStringList({"OE1LAT"}) && log.search("short line").isEmpty());

        // A full disk: the failed append is reported and leaves the file as it was.
        const QByteArray before = readAll(m_log);
        CQsoData big = kF5aaa;
        big.info = QString(200, u'x');
        {
            FullDisk full(before.size() + 100);
            QVERIFY(!log.append(big));
        }
        QVERIFY(log.errorString().contains(m_log) && readAll(m_log) == before);
    }

    void deleteRecordsInFileOrder()
    {
        writeAll(m_log, sampleLog());
        const QList<CQsoData> all = CHamLog(m_log).search(QString());
        QVERIFY(CHamLog(m_log).deleteRecords({all.at(2), all.at(4), all.at(1)}, 3)); // a target out of order stops the rest
        QVERIFY(calls(CHamLog(m_log).search(QString())) == QStringList({"G4XYZ", "DL1ABC", "OE1LAT"}) && readAll(m_log).contains(kShort));
    }

    void replaceAndCountChangesPerOperation()
    {
        QByteArray expected = sampleLog();
        writeAll(m_log, expected);
        CQsoData edited = kF5aaa;
        edited.call = "F5AAB";
        CHamLog log(m_log); // one object, several operations: each counts only its own lines
        QVERIFY(log.replace(kF5aaa, edited) && log.changedLines() == 1);
        QCOMPARE(readAll(m_log), expected.replace(line(kF5aaa), line(edited)));
        QVERIFY(log.replace(kF5aaa, edited) && log.changedLines() == 0);
        CQsoData other = CHamLog(m_log).search("G4XYZ").value(0);
        other.end = other.end.addSecs(60); // start, end, call and mode must all match
        QVERIFY(log.replace(other, edited) && log.changedLines() == 0 && log.deleteRecords({edited}, 1) && log.changedLines() == 1);
        other.start = other.start.addSecs(60); // the same call at another time is another contact
        QVERIFY(log.deleteRecords({other}, 1) && log.changedLines() == 0);
    }

    // The report suggested for an SNR: none without a signal, readability 3 from -10 dB, 4 from -7,
    // 5 from -3, S5 at 0 dB and S9 from +20 dB on.
    void fromSnr()
    {
        for (const auto& [snr, rst] : {std::pair{-99.0, ""}, {-40.0, "119"}, {-12.0, "229"}, {-10.0, "339"}, {-7.01, "339"},
                                       {-5.0, "449"}, {-3.0, "549"}, {0.0, "559"}, {20.0, "599"}, {45.0, "599"}})
            QVERIFY2(RstSuggestion::fromSnr(snr) == QLatin1String(rst), qPrintable(QString::number(snr)));
    }

    // Counted in any letter case, the latest contact whatever the file order;
    // the program's own saves are added without reading, a file changed
    // behind its back is read again, a missing log is an empty one.
    void countsAndFollowsTheLog()
    {
        WorkedBefore worked(m_log);
        QCOMPARE(worked.lookUp(QStringLiteral("JA1QRP")).count, 0);

        CHamLog log(m_log);
        QVERIFY(log.append(qso(QStringLiteral("JA1QRP"), QStringLiteral("20250301140500"))) && log.append(qso(QStringLiteral("ja1qrp"), QStringLiteral("20240101000000"))));
        QVERIFY(log.append(qso(QStringLiteral("G4XYZ"), QStringLiteral("20250401000000"), 7040000)));
        WorkedBefore::Summary s = worked.lookUp(QStringLiteral(" Ja1Qrp"));
        QCOMPARE(std::pair(s.count, s.last.start), std::pair(2, QDateTime(QDate(2025, 3, 1), QTime(14, 5), Qt::UTC)));
        QCOMPARE(WorkedBefore::hint(s), QStringLiteral("Worked before: 2 QSO(s), last 2025-03-01 14:05 UTC, BPSK31, 14070.0 kHz"));
        QCOMPARE(WorkedBefore::hint(worked.lookUp(QStringLiteral("VK2ABC"))), QString());

        CQsoData now = qso(QStringLiteral("G4XYZ"), QStringLiteral("20260101000000"));
        QVERIFY(log.append(now));
        worked.added(now);
        QCOMPARE(worked.lookUp(QStringLiteral("G4XYZ")).count, 2);
        WorkedBefore fresh(m_log); // told of a save before its first question, it still reads the log
        fresh.added(now);
        QCOMPARE(fresh.lookUp(QStringLiteral("JA1QRP")).count, 2);

        // Another program (or an import) rewrites the log.
        writeAll(m_log, line(qso(QStringLiteral("G4XYZ"), QStringLiteral("20200101000000"))));
        QCOMPARE(std::pair(worked.lookUp(QStringLiteral("G4XYZ")).count, worked.lookUp(QStringLiteral("JA1QRP")).count), std::pair(1, 0));
    }
};

QTEST_GUILESS_MAIN(TestLogFile)
#include "tst_logfile.moc"
