// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the log as ADIF (frequencies exact to the Hz), and reading the export back.
#include "logfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace LogFixtures;

class TestAdifExport : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_log;
    QString m_adif;

    QByteArray writeVariedLog()
    {
        CQsoData a = qso("DL1ABC", "20240315123456");
        a.sent = "599";
        a.received = "579";
        a.name = QString::fromUtf8("Jürgen");
        a.qth = "Köln <city>";
        CQsoData c = qso("F5AAA", "20240317235959", 144300001, QString());
        c.info = "no mode";
        const QByteArray log = line(a) + "a line that does not parse\n"
                               + line(qso("G4XYZ", "20240316000001", 7070123, "BPSK63")) + line(c);
        writeAll(m_log, log);
        return log;
    }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_log = m_dir->filePath(QStringLiteral("Velkora32.log"));
        m_adif = m_dir->filePath(QStringLiteral("out.adi"));
    }

    void exportedText()
    {
        CQsoData a = qso("dl1abc", "20240315123456");
        a.sent = "599";
        a.received = "579";
        a.name = "Hans";
        a.qth = QString::fromUtf8("Tōkyō");
        a.info = "nice";
        writeAll(m_log, line(a) + "0;SHORT\n" + line(qso("G4XYZ", "20240316000001", 7070001, "QPSK63"))
                            + line(qso("F5AAA", "20240316000002", 123, "RTTY")));
        QVERIFY(CHamLog(m_log).exportAdif(m_adif));
        const QByteArray adif = readAll(m_adif);
        const QByteArray header = adif.left(adif.indexOf("<EOH>\n") + 6);
        QVERIFY2(QRegularExpression("^[^<].*\n<ADIF_VER:5>3.1.4<PROGRAMID:9>Velkora32<PROGRAMVERSION:\\d+>[^<]+"
                                    "<CREATED_TIMESTAMP:15>\\d{8} \\d{6}\n<EOH>\n$")
                     .match(QString::fromUtf8(header)).hasMatch(), header.constData());
        QCOMPARE(adif.mid(header.size()),
                 QByteArray("<CALL:6>DL1ABC<QSO_DATE:8>20240315<TIME_ON:6>123456<BAND:3>20m<FREQ:9>14.070000"
                            "<MODE:3>PSK<SUBMODE:5>PSK31<RST_RCVD:3>579<RST_SENT:3>599<NAME:4>Hans"
                            "<QTH:7>T\xC5\x8Dky\xC5\x8D<COMMENT:4>nice<EOR>\n"
                            "<CALL:5>G4XYZ<QSO_DATE:8>20240316<TIME_ON:6>000001<BAND:3>40m<FREQ:8>7.070001"
                            "<MODE:3>PSK<SUBMODE:6>QPSK63<EOR>\n"
                            "<CALL:5>F5AAA<QSO_DATE:8>20240316<TIME_ON:6>000002<FREQ:8>0.000123<MODE:4>RTTY<EOR>\n"));
    }

    void importOfTheExportAddsNothing()
    {
        const QByteArray before = writeVariedLog();
        CHamLog log(m_log);
        QVERIFY(log.exportAdif(m_adif));
        QVERIFY(log.importAdif(m_adif));
        QCOMPARE(log.changedLines(), 0);
        QCOMPARE(readAll(m_log), before);

        const QString fresh = m_dir->filePath(QStringLiteral("fresh.log"));
        QVERIFY(CHamLog(fresh).importAdif(m_adif));
        QCOMPARE(readAll(fresh), QByteArray(before).replace("a line that does not parse\n", ""));
    }

    void failureLeavesTheLog_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char* fault : {"no log", "target is the log", "target is a folder", "no target name"})
            QTest::newRow(fault) << fault;
    }
    void failureLeavesTheLog()
    {
        QFETCH(QString, fault);
        const QByteArray before = writeVariedLog();
        QString target = m_adif;
        if (fault == "no log")
            QFile::remove(m_log);
        else if (fault == "target is the log")
            target = m_dir->path() + "/./Velkora32.log";
        else if (fault == "target is a folder")
            QVERIFY(QDir().mkpath(target));
        else
            target.clear();
        CHamLog log(m_log);
        QVERIFY(!log.exportAdif(target));
        QVERIFY(!log.errorString().isEmpty());
        QCOMPARE(readAll(m_log), fault == "no log" ? QByteArray("<missing>") : before);
    }
};

QTEST_GUILESS_MAIN(TestAdifExport)
#include "tst_adifexport.moc"
