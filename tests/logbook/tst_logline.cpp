// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The log line: 19 fields written from a record and read back into one.
#include "logfixtures.h"

#include <QtTest>

using namespace LogFixtures;

static QStringList fields(const CQsoData& q)
{
    return CHamLog::logLine(q).split(u';');
}

// A plausible line with one field (1-based) set to value; field 8 given apart.
static QString lineWith(int field, const QString& value, const QString& field8 = QStringLiteral("14070000"))
{
    QStringList f = {"3", "G4ABC", "20240101120000", "", "", "", "0", field8, "t9", "BPSK31", "599",
                     "589", "t13", "t14", "John", "York", "info", "t18", "t19", ""};
    f[field - 1] = value;
    return f.join(u';');
}

static CQsoData readBack(const CQsoData& q)
{
    CQsoData back;
    if (!CHamLog::parse(CHamLog::logLine(q), back))
        qFatal("a written line did not read back");
    return back;
}

class TestLogLine : public QObject
{
    Q_OBJECT
private slots:
    void goldenLine()
    {
        CQsoData q = qso(QStringLiteral("dl1abc/p"), QStringLiteral("20240315123456"));
        q.end = q.start.addSecs(12 * 60 + 59);
        q.sent = QStringLiteral("599");
        q.received = QStringLiteral("579");
        q.name = QStringLiteral("Hans");
        q.info = QStringLiteral("nice qso");
        QCOMPARE(CHamLog::logLine(q),
                 QStringLiteral("0;DL1ABC/P;20240315123456;12;;;0;14070000;;BPSK31;599;579;;;Hans;;nice qso;;;"));
    }

    void writtenFrequencies()
    {
        CQsoData q = qso(QStringLiteral("G4ABC"), QStringLiteral("20240101000000"), 7070000);
        q.frequencyA = 3580000; // A is written only when B is not set
        QCOMPARE(fields(q).mid(6, 2), QStringList({"0", "7070000"}));
        q.frequencyB = 0;
        QCOMPARE(fields(q).mid(6, 2), QStringList({"3580000", "0"}));
    }

    void readFrequencies_data()
    {
        QTest::addColumn<QString>("field7");
        QTest::addColumn<QString>("field8");
        QTest::addColumn<quint32>("a");
        QTest::addColumn<quint32>("b");
        QTest::newRow("written by us") << "0" << "14070000" << 14070000u << 14070000u;
        QTest::newRow("field 8 empty") << "7070000" << "" << 7070000u << 7070000u;
        QTest::newRow("field 8 zero") << "7070000" << "0" << 7070000u << 7070000u;
        QTest::newRow("both set") << "3580000" << "14070000" << 3580000u << 14070000u;
        QTest::newRow("not numbers") << "x" << "y" << 0u << 0u;
    }
    void readFrequencies()
    {
        QFETCH(QString, field7);
        QFETCH(QString, field8);
        CQsoData q;
        QVERIFY(CHamLog::parse(lineWith(7, field7, field8), q));
        QTEST(q.frequencyA, "a");
        QTEST(q.frequencyB, "b");
    }

    void minutes_data()
    {
        QTest::addColumn<int>("seconds");
        QTest::addColumn<QString>("field4");
        QTest::addColumn<int>("readBackSeconds");
        QTest::newRow("end before start") << -600 << "" << 0;
        QTest::newRow("end equals start") << 0 << "" << 0;
        QTest::newRow("under a minute") << 59 << "0" << 0;
        QTest::newRow("truncated") << 3599 << "59" << 3540;
        QTest::newRow("two hours") << 7200 << "120" << 7200;
    }
    void minutes()
    {
        QFETCH(int, seconds);
        CQsoData q = qso(QStringLiteral("G4ABC"), QStringLiteral("20240101235900"));
        q.end = q.start.addSecs(seconds);
        QTEST(fields(q).at(3), "field4");
        const CQsoData back = readBack(q);
        QTEST(int(back.start.secsTo(back.end)), "readBackSeconds");
    }

    void extraDates_data()
    {
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<QString>("stored");
        QTest::newRow("next day") << 86400 << "20240102";
        QTest::newRow("one second later") << 1 << "20240101";
        QTest::newRow("same time") << 0 << "";
        QTest::newRow("earlier") << -86400 << "";
    }
    void extraDates()
    {
        QFETCH(int, offsetSeconds);
        QFETCH(QString, stored);
        CQsoData q = qso(QStringLiteral("G4ABC"), QStringLiteral("20240101120000"));
        q.extraDate1 = q.start.addSecs(offsetSeconds);
        QCOMPARE(fields(q).mid(4, 2), QStringList({stored, ""}));
        const CQsoData back = readBack(q);
        QCOMPARE(back.extraDate1.date(), QDate::fromString(stored, QStringLiteral("yyyyMMdd")));
        QVERIFY(back.extraDate2.isNull());
    }

    void separatorsAndLineBreaks_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored");
        QTest::newRow("semicolon") << "Hans; Berlin" << "Hans, Berlin";
        QTest::newRow("line feed") << "first\nsecond" << "first second";
        QTest::newRow("CR LF") << "first\r\nsecond" << "first  second";
        QTest::newRow("unicode line separator") << QString::fromUtf16(u"a\u2028b") << "a b";
    }
    void separatorsAndLineBreaks()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        CQsoData q = qso(QStringLiteral("G4ABC"), QStringLiteral("20240101120000"));
        q.text9 = q.sent = q.received = q.text13 = q.text14 = typed;
        q.name = q.qth = q.info = q.text18 = q.text19 = typed;
        q.mode = QStringLiteral("BPSK31") + typed;
        const QString line = CHamLog::logLine(q);
        QVERIFY(!line.contains(u'\n') && !line.contains(u'\r'));
        QCOMPARE(line.count(u';'), 19);
        const CQsoData back = readBack(q);
        for (const QString& text : {back.text9, back.sent, back.received, back.text13, back.text14,
                                    back.name, back.qth, back.info, back.text18, back.text19})
            QCOMPARE(text, stored);
        QCOMPARE(back.mode, QStringLiteral("BPSK31") + stored);
        QCOMPARE(back.frequencyB, 14070000u);
    }

    void rejectedLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("complete") << lineWith(1, "3") << true;
        QTest::newRow("no trailing separator") << lineWith(20, "").chopped(1) << true;
        QTest::newRow("18 fields") << lineWith(1, "3").section(u';', 0, 17) << false;
        QTest::newRow("empty call") << lineWith(2, "") << false;
        QTest::newRow("empty start") << lineWith(3, "") << false;
    }
    void rejectedLines()
    {
        QFETCH(QString, line);
        CQsoData q;
        q.valid = true;
        QTEST(CHamLog::parse(line, q), "accepted");
        QTEST(q.valid, "accepted");
    }
};

QTEST_GUILESS_MAIN(TestLogLine)
#include "tst_logline.moc"
