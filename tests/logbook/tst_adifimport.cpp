// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Reading ADIF records and merging them into the log in time order.
#include "logbook/adif.h"
#include "logfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace LogFixtures;

static const QByteArray kRest = "<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:6>14.070";

// "CALL|start|Hz|mode|name|qth|info" for every record of the log.
static QStringList summary(const QString& logPath)
{
    QStringList out;
    for (const CQsoData& q : CHamLog(logPath).search(QString()))
        out << QStringList{q.call, q.start.toString(QStringLiteral("yyyyMMddhhmmss")),
                           QString::number(q.frequencyB), q.mode, q.name, q.qth, q.info}
                   .join(u'|');
    return out;
}

class TestAdifImport : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_log;
    QString m_adif;

    QStringList import(const QByteArray& adif)
    {
        writeAll(m_adif, adif);
        CHamLog(m_log).importAdif(m_adif);
        return summary(m_log);
    }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_log = m_dir->filePath(QStringLiteral("Velkora32.log"));
        m_adif = m_dir->filePath(QStringLiteral("in.adi"));
    }

    void records_data()
    {
        QTest::addColumn<QByteArray>("adif");
        QTest::addColumn<QStringList>("expected");
        const QString g4abc = QStringLiteral("G4ABC|20240101120000|14070000|");
        const QByteArray longText(400, 'x');
        const QByteArray text300(300, 'y');

        QTest::newRow("lower-case tags")
            << QByteArray("<call:5>G4ABC<qso_date:8>20240101<time_on:6>120000<freq:6>14.070<mode:6>BPSK31<eor>")
            << QStringList{g4abc + "BPSK31|||"};
        QTest::newRow("record over several lines, end tag in mixed case")
            << QByteArray("<CALL:5>G4ABC\n<QSO_DATE:8>20240101\r\n<TIME_ON:6>120000\n<FREQ:6>14.070\n<EoR>\n")
            << QStringList{g4abc + "|||"};
        QTest::newRow("own-station fields beside CALL and NAME")
            << "<MY_NAME:4>Otto<STATION_CALLSIGN:6>DL0XYZ<OPERATOR:6>DL9OPR<CALL:5>G4ABC<NAME:4>John" + kRest
                   + "<EOR><NAME:4>Jane<CALL:5>G4DEF<MY_NAME:4>Otto<OWNER_CALLSIGN:5>DL1AA" + kRest + "<EOR>"
            << QStringList{g4abc + "|John||", "G4DEF|20240101120000|14070000||Jane||"};
        QTest::newRow("tag text inside a value")
            << "<COMMENT:20>see <CALL:5>WRONG ok<CALL:5>G4ABC" + kRest + "<EOR>"
            << QStringList{g4abc + "|||see <CALL:5>WRONG ok"};
        QTest::newRow("typed tags")
            << QByteArray("<CALL:5:S>G4ABC<QSO_DATE:8:D>20240101<TIME_ON:6:T>120000<FREQ:6:N>14.070<EOR>")
            << QStringList{g4abc + "|||"};
        QTest::newRow("time without seconds")
            << QByteArray("<CALL:5>G4ABC<QSO_DATE:8>20240101<TIME_ON:4>1234<FREQ:6>14.070<EOR>")
            << QStringList{"G4ABC|20240101123400|14070000||||"};
        QTest::newRow("band in lower case without FREQ")
            << QByteArray("<CALL:5>G4ABC<QSO_DATE:8>20240101<TIME_ON:6>120000<BAND:3>20m<EOR>")
            << QStringList{g4abc + "|||"};
        QTest::newRow("unreadable FREQ, usable BAND")
            << QByteArray("<CALL:5>G4ABC<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:3>abc<BAND:3>40M<EOR>")
            << QStringList{"G4ABC|20240101120000|7070000||||"};
        QTest::newRow("value over 300 characters is left out")
            << "<COMMENT:400>" + longText + "<CALL:5>G4ABC" + kRest + "<EOR><CALL:5>G4DEF<NAME:300>" + text300 + kRest
                   + "<EOR>"
            << QStringList{g4abc + "|||", "G4DEF|20240101120000|14070000||" + QString::fromLatin1(text300) + "||"};
        QTest::newRow("call over 300 characters")
            << "<CALL:301>" + QByteArray(301, 'C') + kRest + "<EOR>" << QStringList{};
        QTest::newRow("header with fields and a stray <")
            << "Exported <today> by another program\n<PROGRAMID:4>TEST<CALL:4>HDR1" + kRest
                   + "\n<EOH>\n<CALL:5>G4ABC" + kRest + "<EOR>"
            << QStringList{g4abc + "|||"};
        QTest::newRow("invalid records skipped")
            << "<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:6>14.070<EOR>"
               "<CALL:4>BAD1<QSO_DATE:8>20241301<TIME_ON:6>120000<FREQ:6>14.070<EOR>"
               "<CALL:4>BAD2<QSO_DATE:8>20240101<TIME_ON:6>250000<FREQ:6>14.070<EOR>"
               "<CALL:4>BAD3<QSO_DATE:8>20240101<TIME_ON:6>120000<EOR>"
               "<CALL:4>BAD4<QSO_DATE:8>20240101<TIME_ON:6>120000<BAND:3>11M<EOR>"
               "<CALL:4>BAD5<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:2>-1<EOR>"
               "<CALL:5>G4ABC" + kRest + "<EOR><CALL:4>LAST" + kRest
            << QStringList{g4abc + "|||"};
        QTest::newRow("separators and line breaks in values")
            << "<CALL:5>G4ABC<NAME:12>Hans; Berlin<QTH:9>York\nCity" + kRest + "<EOR>"
            << QStringList{g4abc + "|Hans, Berlin|YorkCity|"};
        QTest::newRow("control characters, line end not counted")
            << QByteArray("<CALL:5>G4\nABC<NAME:6>J\0o\x7Fhn<QTH:3>a\tb", 38) + kRest + "<EOR>"
            << QStringList{g4abc + "|John|a b|"};
        QTest::newRow("length not a number hides nothing")
            << "<CALL:x>G4ABC<CALL:0><NAME:x><CALL:5>G4ABC<NAME:4>John" + kRest + "<EOR>"
            << QStringList{g4abc + "|John||"};
        QTest::newRow("mode and submode")
            << "<CALL:2>A1<MODE:3>PSK<SUBMODE:5>PSK63" + kRest + "<EOR><CALL:2>A2<MODE:3>psk<SUBMODE:6>QPSK31"
                   + kRest + "<EOR><CALL:2>A3<MODE:6>PSK125" + kRest + "<EOR><CALL:2>A4<MODE:3>SSB" + kRest + "<EOR>"
            << QStringList{"A1|20240101120000|14070000|BPSK63|||", "A2|20240101120000|14070000|QPSK31|||",
                           "A3|20240101120000|14070000|BPSK125|||", "A4|20240101120000|14070000|SSB|||"};
        QTest::newRow("UTF-8, length in bytes") << "<CALL:5>G4ABC<NAME:7>J\xC3\xBCrgen" + kRest + "<EOR>"
                                                << QStringList{g4abc + QString::fromUtf8("|Jürgen||")};
        QTest::newRow("UTF-8, length in characters") << "<CALL:5>G4ABC<NAME:6>J\xC3\xBCrgen" + kRest + "<EOR>"
                                                     << QStringList{g4abc + QString::fromUtf8("|Jürgen||")};
        QTest::newRow("8-bit code page") << "<CALL:5>G4ABC<NAME:6>J\xFCrgen" + kRest + "<EOR>"
                                         << QStringList{g4abc + QString::fromUtf8("|Jürgen||")};
    }

    void records()
    {
        QFETCH(QByteArray, adif);
        QTEST(import(adif), "expected");
    }

    void frequencyExactToTheHertz()
    {
        QCOMPARE(import("<CALL:5>G4ABC<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:7>14.0705<EOR>").value(0),
                 QStringLiteral("G4ABC|20240101120000|14070500||||"));
        Adif::Fields fields{{"CALL", "G4ABC"}, {"QSO_DATE", "20240101"}, {"TIME_ON", "120000"}};
        CQsoData q;
        for (quint32 hz = 14000000; hz < 15000000; hz += 100) {
            fields.insert(QStringLiteral("FREQ"), QString::asprintf("%u.%04u", hz / 1000000, hz % 1000000 / 100));
            QVERIFY(Adif::decodeRecord(fields, q));
            QCOMPARE(q.frequencyB, hz);
            QCOMPARE(q.frequencyA, hz);
        }
    }

    void largeFile() // several read-ahead chunks; sanitizer builds see any stale view into them
    {
        QByteArray adif = "header\n<EOH>\n";
        for (int i = 0; i < 2000; ++i)
            adif += "<CALL:6>G" + QByteArray::number(10000 + i) + kRest + "<COMMENT:200>" + QByteArray(200, 'x') + "<EOR>\n";
        writeAll(m_adif, adif);
        CHamLog log(m_log);
        QVERIFY(log.importAdif(m_adif));
        QCOMPARE(log.changedLines(), 2000);
        QCOMPARE(summary(m_log).value(1999), "G11999|20240101120000|14070000||||" + QString(200, u'x'));
    }

    void mergedInTimeOrderOnce()
    {
        writeAll(m_log, line(qso("OWN1", "20240101100000")) + "a malformed line\n"
                            + line(qso("OWN3", "20240101120000")));
        const QByteArray adif = "<CALL:3>IN0<QSO_DATE:8>20240101<TIME_ON:6>090000<FREQ:6>14.070<EOR>\n"
                                "<CALL:3>IN2<QSO_DATE:8>20240101<TIME_ON:6>110000<FREQ:6>14.070<EOR>\n"
                                "<CALL:3>IN3<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:6>14.070<EOR>\n"
                                "<CALL:3>IN4<QSO_DATE:8>20240101<TIME_ON:6>130000<FREQ:6>14.070<EOR>\n";
        writeAll(m_adif, adif + adif.left(adif.indexOf('\n') + 1).replace("IN0", "in0")); // twice, once in lower case
        CHamLog log(m_log);
        QVERIFY(log.importAdif(m_adif));
        QCOMPARE(log.changedLines(), 4);
        QStringList calls;
        for (const QByteArray& l : readAll(m_log).split('\n'))
            calls << QString::fromUtf8(l.split(';').value(1));
        QCOMPARE(calls, QStringList({"IN0", "OWN1", "", "IN2", "OWN3", "IN3", "IN4", ""}));
        const QByteArray once = readAll(m_log);
        QVERIFY(log.importAdif(m_adif)); // nothing new the second time
        QCOMPARE(log.changedLines(), 0);
        QCOMPARE(readAll(m_log), once);
    }

    void nothingToImport_data()
    {
        QTest::addColumn<QByteArray>("adif");
        QTest::newRow("empty file") << QByteArray();
        QTest::newRow("header only") << QByteArray("header\n<ADIF_VER:5>3.1.4<EOH>\n");
        QTest::newRow("only invalid records") << QByteArray("<CALL:5>G4ABC<EOR>");
        QTest::newRow("last record without end tag") << "<CALL:5>G4ABC" + kRest;
        QTest::newRow("missing file") << QByteArray("missing");
    }

    void nothingToImport()
    {
        QFETCH(QByteArray, adif);
        const QByteArray before = line(qso("OWN1", "20240101100000"));
        writeAll(m_log, before);
        writeAll(m_adif, adif);
        if (adif == "missing")
            QFile::remove(m_adif);
        CHamLog log(m_log);
        QVERIFY(!log.importAdif(m_adif));
        QVERIFY2(log.errorString().contains(m_adif), qPrintable(log.errorString()));
        QCOMPARE(readAll(m_log), before);
        QVERIFY(!QFile::exists(m_log + ".bak"));
    }
};

QTEST_GUILESS_MAIN(TestAdifImport)
#include "tst_adifimport.moc"
