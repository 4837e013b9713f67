// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// ADIF read from hostile files and merged into the log in time order once; the ADIF 3.1 export
// and its round trip; merging a second log; the same through velkora32-cli.
#include "logbook/adif.h"
#include "logfixtures.h"
#include "tests/core/fulldisk.h"

#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace LogFixtures;

static const QByteArray kRest = "<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:6>14.070";

// "CALL|start|Hz|mode|name|qth|info" for every record of the log, or "CALL|name|qth|info".
static QStringList summary(const QString& logPath, bool brief = false)
{
    QStringList out;
    for (const CQsoData& q : CHamLog(logPath).search(QString())) {
        const QStringList head = brief ? QStringList{q.call}
                                       : QStringList{q.call, q.start.toString("yyyyMMddhhmmss"), QString::number(q.frequencyB), q.mode};
        out << (head + QStringList{q.name, q.qth, q.info}).join(u'|');
    }
    return out;
}

// A log from "CALL@hhmm" items on 2024-01-01; "junk" gives a malformed line.
static QByteArray makeLog(const QStringList& items)
{
    QByteArray out;
    for (const QString& item : items)
        out += item == "junk" ? QByteArray("junk line\n")
                              : line(qso(item.section(u'@', 0, 0), "20240101" + item.section(u'@', 1) + "00"));
    return out;
}

class TestAdif : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_log;
    QString m_adif;

private slots:
    void init() { m_dir.reset(new QTemporaryDir), m_log = m_dir->filePath("Velkora32.log"), m_adif = m_dir->filePath("in.adi"); }

    void records_data()
    {
        QTest::addColumn<QByteArray>("adif");
        QTest::addColumn<QStringList>("expected");
        const QString g4abc = "G4ABC|20240101120000|14070000|";
        QTest::newRow("header, lower case, typed tags, lines, tag text in a value")
            << "Exported <today>\n<CALL:4>HDR1" + kRest + "<EOH>\n<call:5:S>G4ABC\n<qso_date:8:D>20240101\r\n"
                   "<TIME_ON:4>1200<FREQ:7>14.0705<COMMENT:20>see <CALL:5>WRONG ok<EoR>"
            << QStringList{"G4ABC|20240101120000|14070500||||see <CALL:5>WRONG ok"};
        QTest::newRow("invalid records and values over 300 bytes")
            << "<CALL:4>BAD1<QSO_DATE:8>20241301<TIME_ON:6>120000<FREQ:6>14.070<EOR>"
               "<CALL:4>BAD2<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:3>abc<BAND:3>11M<EOR>"
               "<CALL:301>" + QByteArray(301, 'C') + kRest + "<EOR><COMMENT:400>" + QByteArray(400, 'x') + "<CALL:5>G4ABC"
                   + kRest + "<EOR><CALL:4>LAST" + kRest
            << QStringList{g4abc + "|||"};
        QTest::newRow("dates and times of digits only")
            << QByteArray("<CALL:2>A9<QSO_DATE:8>20241229<TIME_ON:6>195959<FREQ:6>14.070<EOR>"
                          "<CALL:2>B9<QSO_DATE:8>20241229<TIME_ON:6>1959a9<FREQ:6>14.070<EOR>")
            << QStringList{"A9|20241229195959|14070000||||"};
        QTest::newRow("control characters, line end not counted, separators")
            << QByteArray("<CALL:5>G4\nABC<NAME:6>J\0o\x7Fhn<QTH:10>a\tb; York\nX", 47) + kRest + "<EOR>"
            << QStringList{g4abc + "|John|a b, YorkX|"};
        QTest::newRow("a length that fits no reading is taken in bytes") << "<CALL:5>G4ABC<NAME:5>Jo\nhnny" + kRest + "<EOR>" << QStringList{g4abc + "|John||"};
        QTest::newRow("length not a number, or an empty value, hides nothing")
            << "<CALL:x>G4ABC<CALL:0><NAME:x><CALL:5>G4ABC<NAME:4>John" + kRest + "<EOR>" << QStringList{g4abc + "|John||"};
        QTest::newRow("mode and submode, band without FREQ")
            << "<CALL:2>A1<MODE:3>psk<SUBMODE:6>QPSK31" + kRest + "<EOR><CALL:2>A2<MODE:6>PSK125<BAND:3>40m"
                   "<QSO_DATE:8>20240101<TIME_ON:6>120000<EOR>"
            << QStringList{"A1|20240101120000|14070000|QPSK31|||", "A2|20240101120000|7070000|BPSK125|||"};
        QTest::newRow("UTF-8 counted in bytes and in characters")
            << "<CALL:2>A1<NAME:7>J\xC3\xBCrgen" + kRest + "<EOR><CALL:2>A2<NAME:6>J\xC3\xBCrgen" + kRest + "<EOR>"
            << QStringList{"A1|20240101120000|14070000||J\u00fcrgen||", "A2|20240101120000|14070000||J\u00fcrgen||"};
        QTest::newRow("UTF-8 with byte order mark") << "\xEF\xBB\xBF<CALL:5>G4ABC" + kRest + "<EOR>" << QStringList{g4abc + "|||"};
        QTest::newRow("8-bit code page, some of it valid UTF-8") << "<CALL:5>G4ABC<NAME:6>J\xFCrgen<QTH:2>\xC2\xB0" + kRest + "<EOR>"
                                         << QStringList{g4abc + "|J\u00fcrgen|\u00c2\u00b0|"};
        // Longer than the 64 KiB pieces it is read in, each later piece beginning as a text of the
        // other byte order would: all are read in the byte order of the first.
        const QString utf16 = "<APP_X_PAD:40000>" + QString(40000, u'\u0100') + "<CALL:5>G4ABC<NAME:6>J\u00fcrgen" + QString::fromLatin1(kRest) + "<EOR>";
        QTest::newRow("UTF-16 with byte order mark")
            << "\xFF\xFE" + QByteArray(QStringEncoder(QStringConverter::Utf16LE).encode(utf16))
            << QStringList{g4abc + "|J\u00fcrgen||"};
        QTest::newRow("UTF-16 without one") << QByteArray(QStringEncoder(QStringConverter::Utf16BE).encode(utf16))
                                            << QStringList{g4abc + "|J\u00fcrgen||"};
    }
    void records()
    {
        QFETCH(QByteArray, adif);
        writeAll(m_adif, adif);
        CHamLog(m_log).importAdif(m_adif);
        QTEST(summary(m_log), "expected");
    }

    void damagedLengthsAreRepaired_data()
    {
        QTest::addColumn<QByteArray>("adif");
        QTest::addColumn<QStringList>("expected"); // "CALL|name|qth|info"
        QTest::addColumn<int>("repaired");
        auto record = [](const QByteArray& call, const QByteArray& fields = QByteArray()) {
            return "<CALL:" + QByteArray::number(call.size()) + ">" + call + kRest + fields + "<EOR>\n";
        };
        QByteArray four;
        for (const char* call : {"B1", "B2", "B3", "B4"})
            four += record(call, "<NAME:3>Bob");
        const QStringList rest = {"B1|Bob||", "B2|Bob||", "B3|Bob||", "B4|Bob||"};
        for (int length : {301, 99999, 500000, 1048576, 1048577})
            QTest::addRow("COMMENT:%d", length) << record("A1", "<COMMENT:" + QByteArray::number(length) + ">short") + four
                                                << QStringList{"A1|||short"} + rest << 1;
        QTest::newRow("length runs into the next field") << record("A1", "<NAME:10>John<QTH:4>York") + four
                                                         << QStringList{"A1|John|York|"} + rest << 1;
        QTest::newRow("length runs into the next record") << record("A1", "<NAME:30>John") + four
                                                          << QStringList{"A1|John||"} + rest << 1;
        // A value of over a mebibyte is dropped as it is read (in 64 KiB pieces); the bytes after the drop are no value either.
        const QByteArray huge = "<COMMENT:2000000>", dropped = record("A1", huge + QByteArray(17 * 65536 + 106 - record("A1", huge).size(), 'x'));
        QTest::newRow("a value dropped as it is read, then cut short") << dropped + four << QStringList{"A1|||"} + rest << 1;
        QByteArray tags = "<CALL:5>WRONG<QSO_DATE:8>20240101<TIME_ON:6>120000<FREQ:3>7.0 ";
        QTest::newRow("a long value holding tags is taken by its length")
            << "<APP_X_DUMP:1048577>" + tags + QByteArray(1048577 - tags.size(), 'x') + record("A1") + four
            << QStringList{"A1|||"} + rest << 0;
    }
    void damagedLengthsAreRepaired()
    {
        QFETCH(QByteArray, adif);
        QFETCH(int, repaired);
        writeAll(m_adif, adif);
        CHamLog log(m_log);
        QVERIFY2(log.importAdif(m_adif), qPrintable(log.errorString()));
        QTEST(summary(m_log, true), "expected");
        QCOMPARE(log.importNotes().contains(QStringLiteral("%1 record(s) with a damaged field length repaired").arg(repaired)),
                 repaired > 0);
    }

    void legacyModeNamesAreTheSameContact()
    {
        CQsoData old = qso("G4ABC", "20240101120000", 14070000, "PSK31");
        writeAll(m_log, line(old));
        writeAll(m_adif, "<CALL:5>G4ABC" + kRest + "<MODE:5>PSK31<EOR>");
        CHamLog log(m_log);
        QVERIFY(log.importAdif(m_adif) && log.changedLines() == 0 && readAll(m_log) == line(old));
    }

    void importSaysWhatItLeftOutAndKeepsDateOrder()
    {
        writeAll(m_log, makeLog({"A@1000"}));
        writeAll(m_adif, "<CALL:1>C<QSO_DATE:8>20240101<TIME_ON:4>1300<TIME_OFF:4>1312<FREQ:6>14.070"
                         "<GRIDSQUARE:4>JO62<TX_PWR:2>50<QSL_SENT:1>Y<NOTES:5>notes<COMMENT:2>hi<EOR>\n"
                         "<CALL:1>B<QSO_DATE:8>20240101<TIME_ON:4>1100<BAND:3>40M<NOTES:4>kept<GRIDSQUARE:3>JO6<TX_PWR:1>0<EOR>\n"
                         "<CALL:1>X<QSO_DATE:8>20240101<EOR>\n<CALL:1>Y<QSO_DATE:8>20240101<TIME_ON:4>1400<FREQ:1>?<BAND:3>11M<EOR>\n");
        CHamLog log(m_log);
        QVERIFY(log.importAdif(m_adif) && log.changedLines() == 2 && calls(CHamLog(m_log).search(QString())) == QStringList({"A", "B", "C"}));
        QCOMPARE(log.importNotes(), "2 record(s) left out: no call, date, time or usable frequency or band. Fields not "
                                    "kept (in how many records): GRIDSQUARE (1), NOTES (1), QSL_SENT (1), TX_PWR (1).");
        QVERIFY(!log.importAdif(m_dir->filePath("gone.adi")) && log.importNotes().isEmpty()); // none left from before
        QCOMPARE(CHamLog(m_log).search("kept").value(0).frequencyB, 7070000u);
        // The band alone gives no FREQ on export; the end of the contact goes out again.
        QVERIFY(CHamLog(m_log).exportAdif(m_adif));
        const QByteArray adif = readAll(m_adif);
        QVERIFY2(adif.contains("<CALL:1>B<QSO_DATE:8>20240101<TIME_ON:6>110000<BAND:3>40m<COMMENT:4>kept<EOR>")
                     && adif.contains("<TIME_ON:6>130000<TIME_OFF:6>131200<BAND:3>20m<FREQ:9>14.070000")
                     && adif.contains("<COMMENT:2>hi<GRIDSQUARE:4>JO62<TX_PWR:2>50<EOR>"),
                 adif.constData());
        writeAll(m_log, QByteArray());
        QVERIFY(log.importAdif(m_adif) && log.changedLines() == 3 && log.importNotes().isEmpty());
        QCOMPARE(CHamLog::logLine(CHamLog(m_log).search("hi").value(0)).section(u';', 17), "JO62;50;");
        QCOMPARE(CHamLog(m_log).exportAdif(m_adif), true);
        QCOMPARE(readAll(m_adif).mid(readAll(m_adif).indexOf("<EOH>")), adif.mid(adif.indexOf("<EOH>")));
    }

    void exportWritesNoDeviceOver()
    {
        writeAll(m_log, makeLog({"A@1000"}));
        const QString fifo = m_dir->filePath("pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        CHamLog log(m_log);
        QVERIFY2(log.exportAdif(fifo), qPrintable(log.errorString()));
        char buffer[4096];
        const ssize_t got = ::read(reader, buffer, sizeof buffer);
        ::close(reader);
        QVERIFY(QByteArray(buffer, int(qMax<ssize_t>(got, 0))).contains("<CALL:1>A"));
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile() && !log.exportAdif("/dev/full"));
        QVERIFY2(log.errorString().contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(log.errorString()));
        QVERIFY(!QFileInfo("/dev/full").isFile());
        writeAll(m_adif, "old"); // a file export that fails leaves the file as it was
        {
            FullDisk full;
            QVERIFY2(!log.exportAdif(m_adif) && log.errorString().endsWith("the disk may be full"), qPrintable(log.errorString()));
        }
        QCOMPARE(readAll(m_adif), QByteArray("old"));
    }

    void importMergesInTimeOrderOnce()
    {
        writeAll(m_log, makeLog({"OWN1@1000", "junk", "OWN3@1200"}));
        QByteArray adif;
        for (const char* record : {"IN0@0900", "IN2@1100", "IN3@1200", "in0@0900"}) // the last again, in lower case
            adif += QByteArray("<CALL:3>") + QByteArray(record).left(3) + "<QSO_DATE:8>20240101<TIME_ON:4>"
                    + QByteArray(record).mid(4) + "<FREQ:6>14.070<MODE:3>PSK<SUBMODE:5>PSK31<EOR>\n";
        writeAll(m_adif, adif);
        CHamLog log(m_log);
        QVERIFY(log.importAdif(m_adif) && log.changedLines() == 3);
        QCOMPARE(readAll(m_log), makeLog({"IN0@0900", "OWN1@1000", "junk", "IN2@1100", "OWN3@1200", "IN3@1200"}));
        const QByteArray once = readAll(m_log);
        QVERIFY(log.importAdif(m_adif) && log.changedLines() == 0 && readAll(m_log) == once);
        for (const QByteArray& bad : {QByteArray(), QByteArray("header\n<EOH>\n"), "<CALL:5>G4ABC" + kRest}) {
            writeAll(m_adif, bad);
            QVERIFY(!log.importAdif(m_adif) && log.errorString().contains(m_adif));
        }
        QVERIFY(!log.importAdif(m_dir->filePath("missing.adi")) && readAll(m_log) == once);
        // A log that cannot be read takes nothing in, and says so.
        const QString folder = m_dir->filePath(QStringLiteral("folder.log"));
        QVERIFY(QDir().mkpath(folder));
        writeAll(m_adif, "<CALL:5>G4ABC" + kRest);
        CHamLog unreadable(folder);
        QVERIFY(!unreadable.importAdif(m_adif));
        QVERIFY2(unreadable.errorString().contains(folder), qPrintable(unreadable.errorString()));
    }

    void exportFollowsAdif31AndReadsBack()
    {
        CQsoData a = qso("dl1abc", "20240315123456", 14350000), b = qso("G4XYZ", "20240316000001", 7000000, "QPSK63"); // band edges
        a.sent = "599", a.received = "579", a.qth = QString::fromUtf8("Tōkyō"), a.locator = "JO62qm", a.power = "2.5";
        b.locator = "QSL via", b.power = "bureau"; // an older program's texts: kept in the log, not exported
        writeAll(m_log, line(a) + "0;SHORT\n" + line(b)
                            + line(qso("F5AAA", "20240316000002", 123, "RTTY")));
        const QByteArray before = readAll(m_log);
        QVERIFY(CHamLog(m_log).exportAdif(m_adif));
        const QByteArray adif = readAll(m_adif);
        const QByteArray header = adif.left(adif.indexOf("<EOH>\n") + 6);
        QVERIFY2(QRegularExpression("^[^<].*\n<ADIF_VER:5>3.1.4<PROGRAMID:9>Velkora32<PROGRAMVERSION:\\d+>[^<]+"
                                    "<CREATED_TIMESTAMP:15>\\d{8} \\d{6}\n<EOH>\n$")
                     .match(QString::fromUtf8(header)).hasMatch(), header.constData());
        QCOMPARE(adif.mid(header.size()),
                 QByteArray("<CALL:6>DL1ABC<QSO_DATE:8>20240315<TIME_ON:6>123456<BAND:3>20m<FREQ:9>14.350000"
                            "<MODE:3>PSK<SUBMODE:5>PSK31<RST_RCVD:3>579<RST_SENT:3>599<QTH:7>T\xC5\x8Dky\xC5\x8D<GRIDSQUARE:6>JO62qm<TX_PWR:3>2.5<EOR>\n"
                            "<CALL:5>G4XYZ<QSO_DATE:8>20240316<TIME_ON:6>000001<BAND:3>40m<FREQ:8>7.000000"
                            "<MODE:3>PSK<SUBMODE:6>QPSK63<EOR>\n"
                            "<CALL:5>F5AAA<QSO_DATE:8>20240316<TIME_ON:6>000002<FREQ:8>0.000123<MODE:4>RTTY<EOR>\n"));
        CHamLog log(m_log);
        QVERIFY(log.importAdif(m_adif) && log.changedLines() == 0 && readAll(m_log) == before);
        // Into a new log, the first record comes back field for field.
        QVERIFY(CHamLog(m_dir->filePath("new.log")).importAdif(m_adif) && readAll(m_dir->filePath("new.log")).startsWith(line(a)));
        QVERIFY(!log.exportAdif(m_dir->path() + "/./Velkora32.log.bak") && !log.exportAdif(m_dir->path()));
        QCOMPARE(readAll(m_log), before);
    }

    void mergeSecondLog()
    {
        const QString other = m_dir->filePath("other.log");
        writeAll(m_log, makeLog({"A@1000", "C@1200", "junk", "E@1400"}));
        writeAll(other, makeLog({"junk", "B@1100", "C@1200", "D@1300", "D@1300", "F@1500"}));
        CHamLog log(m_log), second(other);
        QVERIFY2(log.merge(second) && log.changedLines() == 3, qPrintable(log.errorString()));
        QCOMPARE(readAll(m_log), makeLog({"A@1000", "B@1100", "C@1200", "junk", "D@1300", "E@1400", "F@1500"}));
        CHamLog missing(m_dir->filePath("missing.log"));
        QVERIFY(!log.merge(missing) && log.errorString().contains("missing.log"));
    }

    void commandLine() // velkora32-cli log export|import|merge
    {
        QByteArray err;
        auto cli = [&err](const QStringList& args, const QStringList& runner = {}) {
            const QStringList argv = runner + QStringList{VELKORA_CLI, "log"} + args;
            QProcess p;
            p.start(argv.first(), argv.mid(1));
            p.waitForFinished(60000);
            err = p.readAllStandardError();
            return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        };
        const QByteArray merged = makeLog({"A@1000", "B@1100"});
        writeAll(m_log, makeLog({"A@1000"}));
        writeAll(m_dir->filePath("other.log"), makeLog({"B@1100"}));
        // The exit codes in turn (a braced list runs its calls in order).
        QCOMPARE((QList<int>{cli({"merge", m_log, m_dir->filePath("other.log")}), cli({"export", m_log, m_adif}),
                             cli({"import", m_dir->filePath("fresh.log"), m_adif})}), (QList<int>{0, 0, 0}));
        QCOMPARE(readAll(m_dir->filePath("fresh.log")), merged);

        QCOMPARE((QList<int>{cli({"merge", m_log, m_dir->path()}), cli({"export", m_log, m_log + ".bak"}), cli({"import", m_log})}),
                 (QList<int>{1, 1, 2}));
        QCOMPARE(readAll(m_log), merged);

        // Someone who may not write the log's folder is told what to do.
        if (::geteuid() != 0 || !QFileInfo::exists("/usr/bin/setpriv"))
            QSKIP("needs root to run the tool as another user");
        QFile::setPermissions(m_dir->path(), QFile::permissions(m_dir->path()) | QFile::ReadOther | QFile::ExeOther);
        writeAll(m_adif, "<CALL:2>C1" + kRest + "<EOR>");
        QCOMPARE(cli({"import", m_log, m_adif}, {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}), 1);
        QVERIFY2(err.contains("the folder " + QFile::encodeName(m_dir->path()) + " is not writable"), err.constData());
        QCOMPARE(readAll(m_log), merged);
    }
};

QTEST_GUILESS_MAIN(TestAdif)
#include "tst_adif.moc"
