// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Writing the log as ADIF, and reading the export back.
#include "log/adif.h"
#include "logfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace LogFixtures;

class TestAdifExport : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void exportedText();
    void fieldWriter_data();
    void fieldWriter();
    void frequencyText_data();
    void frequencyText();
    void roundTrip();
    void failures_data();
    void failures();

private:
    void writeVariedLog();
    QString m_log;
    QString m_adif;
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestAdifExport::init()
{
    m_dir.reset(new QTemporaryDir);
    m_log = m_dir->filePath(QStringLiteral("Velkora32.log"));
    m_adif = m_dir->filePath(QStringLiteral("out.adi"));
}

void TestAdifExport::writeVariedLog()
{
    CQsoData a = qso("DL1ABC", "20240315123456");
    a.sent = "599";
    a.received = "579";
    a.name = QString::fromUtf8("Jürgen");
    a.qth = "Köln <city>";
    a.info = "first";
    CQsoData b = qso("G4XYZ", "20240316000001", 7070123, "BPSK63");
    CQsoData c = qso("F5AAA", "20240317235959", 144300000, QString());
    c.info = "no mode";
    writeAll(m_log, line(a) + "a line that does not parse\n" + line(b) + line(c));
}

void TestAdifExport::exportedText()
{
    CQsoData a = qso("dl1abc", "20240315123456");
    a.sent = "599";
    a.received = "579";
    a.name = "Hans";
    a.qth = "Berlin";
    a.info = "nice";
    const CQsoData b = qso("G4XYZ", "20240316000001", 7070000, "BPSK63");
    writeAll(m_log, line(a) + "0;SHORT\n" + line(b));
    QVERIFY(CHamLog(m_log).exportAdif(m_adif));
    QCOMPARE(readAll(m_adif),
             QByteArray("Velkora v 1.6 log file exported to ADIF\n<EOH>\n<ADIF_VER:4>1.00\n"
                        "<CALL:6>DL1ABC<TIME_ON:6>123456<QSO_DATE:8>20240315<FREQ:6>14.070<MODE:6>BPSK31"
                        "<RST_RCVD:3>579<RST_SENT:3>599<NAME:4>Hans<QTH:6>Berlin<COMMENT:4>nice<EOR>\n"
                        "<CALL:5>G4XYZ<TIME_ON:6>000001<QSO_DATE:8>20240316<FREQ:5>7.070<MODE:6>BPSK63<EOR>\n"));
}

void TestAdifExport::fieldWriter_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("written");
    QTest::newRow("empty value writes nothing") << "" << "" << "";
    QTest::newRow("plain") << "DL1ABC" << "" << "<CALL:6>DL1ABC";
    QTest::newRow("with a type") << "20240101" << "D" << "<CALL:8:D>20240101";
    QTest::newRow("length in characters") << QString::fromUtf8("Jürgen") << "" << QString::fromUtf8("<CALL:6>Jürgen");
    QTest::newRow("tag characters in the value") << "<a>" << "" << "<CALL:3><a>";
}

void TestAdifExport::fieldWriter()
{
    QFETCH(QString, value);
    QFETCH(QString, type);
    QString out = QStringLiteral("prefix");
    Adif::writeField(out, u"CALL", value, type);
    QTEST(out.mid(6), "written");
}

void TestAdifExport::frequencyText_data()
{
    QTest::addColumn<quint32>("hz");
    QTest::addColumn<QString>("text");
    QTest::newRow("whole kHz") << 14070000u << "14.070";
    QTest::newRow("below 1 MHz") << 136000u << "0.136";
    QTest::newRow("zero") << 0u << "0.000";
    QTest::newRow("100 Hz") << 14070500u << "14.0705";
    QTest::newRow("single Hz") << 1838001u << "1.838001";
    QTest::newRow("largest") << 4294967295u << "4294.967295";
}

void TestAdifExport::frequencyText()
{
    QFETCH(quint32, hz);
    QTEST(Adif::frequencyText(hz), "text");
}

void TestAdifExport::roundTrip()
{
    writeVariedLog();
    const QByteArray before = readAll(m_log);
    CHamLog log(m_log);
    QVERIFY(log.exportAdif(m_adif));
    QVERIFY(log.importAdif(m_adif));
    QCOMPARE(log.changedLines(), 0); // nothing new to the log it came from
    QCOMPARE(readAll(m_log), before);

    const QString fresh = m_dir->filePath(QStringLiteral("fresh.log"));
    QVERIFY(CHamLog(fresh).importAdif(m_adif));
    const QList<CQsoData> original = CHamLog(m_log).search(QString());
    const QList<CQsoData> copy = CHamLog(fresh).search(QString());
    QCOMPARE(copy.size(), 3);
    for (int i = 0; i < copy.size(); ++i)
        QCOMPARE(CHamLog::logLine(copy.at(i)), CHamLog::logLine(original.at(i)));
}

void TestAdifExport::failures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::newRow("no log") << "no log";
    QTest::newRow("target is the log") << "target is the log";
    QTest::newRow("target is a folder") << "target is a folder";
    QTest::newRow("no target name") << "no target name";
}

void TestAdifExport::failures()
{
    QFETCH(QString, fault);
    writeVariedLog();
    const QByteArray before = readAll(m_log);
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
    if (fault != "no log")
        QCOMPARE(readAll(m_log), before);
}

QTEST_GUILESS_MAIN(TestAdifExport)
#include "tst_adifexport.moc"
