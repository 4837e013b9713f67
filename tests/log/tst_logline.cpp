// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The log line: 19 fields written from a record and read back into one.
#include "logfixtures.h"

#include <QtTest>

using namespace LogFixtures;

class TestLogLine : public QObject
{
    Q_OBJECT
private slots:
    void goldenLine();
    void writtenFrequencies_data();
    void writtenFrequencies();
    void readFrequencies_data();
    void readFrequencies();
    void minutes_data();
    void minutes();
    void extraDates_data();
    void extraDates();
    void callStoredInUpperCase();
    void separatorsAndLineBreaks_data();
    void separatorsAndLineBreaks();
    void rejectedLines_data();
    void rejectedLines();
    void startOnlyMask();
    void recordKey();
};

static QStringList fields(const CQsoData& q)
{
    return CHamLog::logLine(q).split(u';');
}

// A line with the given fields 7 and 8 (1-based), the others plausible.
static QString lineWith(int field, const QString& value, const QString& field8 = QStringLiteral("14070000"))
{
    QStringList f = {"3", "G4ABC", "20240101120000", "", "", "", "0", field8, "t9", "BPSK31", "599",
                     "589", "t13", "t14", "John", "York", "info", "t18", "t19", ""};
    f[field - 1] = value;
    return f.join(u';');
}

void TestLogLine::goldenLine()
{
    CQsoData q = qso(QStringLiteral("dl1abc"), QStringLiteral("20240315123456"));
    q.end = q.start.addSecs(12 * 60 + 59);
    q.sent = QStringLiteral("599");
    q.received = QStringLiteral("579");
    q.name = QStringLiteral("Hans");
    q.qth = QStringLiteral("Berlin");
    q.info = QStringLiteral("nice qso");
    QCOMPARE(CHamLog::logLine(q),
             QStringLiteral("0;DL1ABC;20240315123456;12;;;0;14070000;;BPSK31;599;579;;;Hans;Berlin;nice qso;;;"));
}

void TestLogLine::writtenFrequencies_data()
{
    QTest::addColumn<quint32>("a");
    QTest::addColumn<quint32>("b");
    QTest::addColumn<QString>("field7");
    QTest::addColumn<QString>("field8");
    QTest::newRow("B set: A written as 0") << 14070000u << 14070000u << "0" << "14070000";
    QTest::newRow("A and B differ") << 3580000u << 7070000u << "0" << "7070000";
    QTest::newRow("only A") << 7070000u << 0u << "7070000" << "0";
    QTest::newRow("none") << 0u << 0u << "0" << "0";
}

void TestLogLine::writtenFrequencies()
{
    QFETCH(quint32, a);
    QFETCH(quint32, b);
    CQsoData q = qso(QStringLiteral("G4ABC"), QStringLiteral("20240101000000"), b);
    q.frequencyA = a;
    const QStringList f = fields(q);
    QTEST(f.at(6), "field7");
    QTEST(f.at(7), "field8");
}

void TestLogLine::readFrequencies_data()
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

void TestLogLine::readFrequencies()
{
    QFETCH(QString, field7);
    QFETCH(QString, field8);
    CQsoData q;
    QVERIFY(CHamLog::parse(lineWith(7, field7, field8), q));
    QTEST(q.frequencyA, "a");
    QTEST(q.frequencyB, "b");
}

void TestLogLine::minutes_data()
{
    QTest::addColumn<int>("seconds");
    QTest::addColumn<QString>("field4");
    QTest::addColumn<int>("readBackSeconds");
    QTest::newRow("end before start") << -600 << "" << 0;
    QTest::newRow("end equals start") << 0 << "" << 0;
    QTest::newRow("under a minute") << 59 << "0" << 0;
    QTest::newRow("one minute") << 60 << "1" << 60;
    QTest::newRow("truncated") << 3599 << "59" << 3540;
    QTest::newRow("two hours") << 7200 << "120" << 7200;
}

void TestLogLine::minutes()
{
    QFETCH(int, seconds);
    CQsoData q = qso(QStringLiteral("G4ABC"), QStringLiteral("20240101235900"));
    q.end = q.start.addSecs(seconds);
    QTEST(fields(q).at(3), "field4");
    CQsoData back;
    QVERIFY(CHamLog::parse(CHamLog::logLine(q), back));
    QTEST(int(back.start.secsTo(back.end)), "readBackSeconds");
}

void TestLogLine::extraDates_data()
{
    QTest::addColumn<int>("offsetSeconds");
    QTest::addColumn<QString>("stored");
    QTest::newRow("next day") << 86400 << "20240102";
    QTest::newRow("one second later") << 1 << "20240101";
    QTest::newRow("same time") << 0 << "";
    QTest::newRow("earlier") << -86400 << "";
}

void TestLogLine::extraDates()
{
    QFETCH(int, offsetSeconds);
    QFETCH(QString, stored);
    CQsoData q = qso(QStringLiteral("G4ABC"), QStringLiteral("20240101120000"));
    q.extraDate1 = q.start.addSecs(offsetSeconds);
    q.extraDate2 = QDateTime();
    const QStringList f = fields(q);
    QCOMPARE(f.at(4), stored);
    QCOMPARE(f.at(5), QString());

    CQsoData back;
    QVERIFY(CHamLog::parse(CHamLog::logLine(q), back));
    QCOMPARE(back.extraDate1.isNull(), stored.isEmpty());
    if (!stored.isEmpty())
        QCOMPARE(back.extraDate1.date(), QDate::fromString(stored, QStringLiteral("yyyyMMdd")));
    QVERIFY(back.extraDate2.isNull());
}

void TestLogLine::callStoredInUpperCase()
{
    const CQsoData q = qso(QStringLiteral("dl1abc/p"), QStringLiteral("20240101120000"));
    QCOMPARE(fields(q).at(1), QStringLiteral("DL1ABC/P"));
}

void TestLogLine::separatorsAndLineBreaks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("semicolon") << "Hans; Berlin" << "Hans, Berlin";
    QTest::newRow("line feed") << "first\nsecond" << "first second";
    QTest::newRow("CR LF") << "first\r\nsecond" << "first  second";
    QTest::newRow("carriage return") << "a\rb" << "a b";
    QTest::newRow("unicode line separator") << QString::fromUtf16(u"a\u2028b") << "a b";
    QTest::newRow("only separators") << ";;\n;" << ",, ,";
}

void TestLogLine::separatorsAndLineBreaks()
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

    CQsoData back;
    QVERIFY(CHamLog::parse(line, back));
    for (const QString& text : {back.text9, back.sent, back.received, back.text13, back.text14,
                                back.name, back.qth, back.info, back.text18, back.text19})
        QCOMPARE(text, stored);
    QCOMPARE(back.mode, QStringLiteral("BPSK31") + stored);
    QCOMPARE(back.frequencyB, 14070000u);
}

void TestLogLine::rejectedLines_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("complete") << lineWith(1, "3") << true;
    QTest::newRow("no trailing separator") << lineWith(20, "").chopped(1) << true;
    QTest::newRow("18 fields") << QStringList(lineWith(1, "3").split(u';').mid(0, 18)).join(u';') << false;
    QTest::newRow("empty call") << lineWith(2, "") << false;
    QTest::newRow("empty start") << lineWith(3, "") << false;
    QTest::newRow("empty line") << "" << false;
}

void TestLogLine::rejectedLines()
{
    QFETCH(QString, line);
    QFETCH(bool, accepted);
    CQsoData q;
    q.valid = true;
    QCOMPARE(CHamLog::parse(line, q), accepted);
    QCOMPARE(q.valid, accepted);
}

void TestLogLine::startOnlyMask()
{
    CQsoData q;
    q.number = 77;
    q.call = QStringLiteral("KEEP");
    QVERIFY(CHamLog::parse(lineWith(2, ""), q, CHamLog::ParseStart));
    QCOMPARE(q.start, utc(QStringLiteral("20240101120000")));
    QCOMPARE(q.number, 77u);
    QCOMPARE(q.call, QStringLiteral("KEEP"));
    QCOMPARE(q.name, QStringLiteral("John"));
}

void TestLogLine::recordKey()
{
    CQsoData q = qso(QStringLiteral("G4ABC"), QStringLiteral("20240101120005"), 7070000);
    q.frequencyA = 7070000;
    QCOMPARE(CHamLog::recordKey(q), QStringLiteral("G4ABC;20240101120005;BPSK31;7070000"));
}

QTEST_GUILESS_MAIN(TestLogLine)
#include "tst_logline.moc"
