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
        a.qth = "Berlin";
        a.info = "nice";
        writeAll(m_log, line(a) + "0;SHORT\n" + line(qso("G4XYZ", "20240316000001", 7070000, "BPSK63")));
        QVERIFY(CHamLog(m_log).exportAdif(m_adif));
        QCOMPARE(readAll(m_adif),
                 QByteArray("Velkora v 1.6 log file exported to ADIF\n<EOH>\n<ADIF_VER:4>1.00\n"
                            "<CALL:6>DL1ABC<TIME_ON:6>123456<QSO_DATE:8>20240315<FREQ:6>14.070<MODE:6>BPSK31"
                            "<RST_RCVD:3>579<RST_SENT:3>599<NAME:4>Hans<QTH:6>Berlin<COMMENT:4>nice<EOR>\n"
                            "<CALL:5>G4XYZ<TIME_ON:6>000001<QSO_DATE:8>20240316<FREQ:5>7.070<MODE:6>BPSK63<EOR>\n"));
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
