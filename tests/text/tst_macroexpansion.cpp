// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/core/fulldisk.h"
#include "text/macros.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

// Expanding macro tags, with a program stand-in that logs what it is asked, in order.
class RecordingHost : public MacroHost
{
public:
    bool askReport(QString& report) override
    {
        events << "ask " + report;
        report = QStringLiteral("449"); // also when cancelled: then to be ignored
        return confirm;
    }
    void setSentReport(const QString& report) override { events << "keep " + report; }
    bool isOutputActive() const override { return active; }
    void setModemTransmit(bool on) override { events << (on ? "on" : "off"); }
    void startAudioOut() override { events << "start"; }
    void stopAudioOut() override { events << "stop"; }
    void changeMode(const QString& mode) override { events << mode; }
    bool confirm = true, active = false;
    QStringList events;
};

class TestMacroExpansion : public QObject
{
    Q_OBJECT

private slots:
    void expand_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sending"); // the output stream is running
        QTest::addColumn<bool>("confirm"); // answer to the report prompt ("449")
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("events");
        const QStringList none;
        const QString rx = QStringLiteral("\u00AE\r\n");
        QTest::newRow("example") << "<CALL> de <MYCALL> k<RX>" << false << true << "C de M k" + rx << none;
        QTest::newRow("own data") << "<MYNAME>,<MYQTH>,<MYRST>" << false << true << "Anna,Wien,589" << none;
        QTest::newRow("entry bar") << "<NAME>,<QTH>,<NOTES>,<CALL> <CALL>" << false << true << "Bernd,Hamburg,1st,C C" << none;
        QTest::newRow("line tags") << "a<CR>b<LF>c<CRLF>d" << false << true << "a\rb\nc\r\nd" << none;
        // Half past midnight two hours east of Greenwich is the evening before in UTC.
        QTest::newRow("time and date") << "<DATE> <TIME>z" << false << true << "2026-02-28 22:30z" << none;
        QTest::newRow("lower case") << "<time> <call> <tx> <rst>" << false << true << "<time> <call> <tx> <rst>" << none;
        QTest::newRow("report asked") << "ur <RST> <RST>" << false << true << "ur 449 449" << QStringList{"ask 599", "keep 449"};
        QTest::newRow("report cancelled") << "ur <RST>." << false << false << "ur ." << QStringList{"ask 599"};
        QTest::newRow("TX at the end") << "pse k<RX><TX>" << false << true << "pse k" + rx << QStringList{"start"};
        QTest::newRow("CW identification") << "de <MYCALL> <CWID><RX>" << false << true << "de M \u00A9" + rx << none;
        QTest::newRow("TX while sending") << "<TX>again<TX>" << true << true << "again" << QStringList{"off", "start"};
        QTest::newRow("TXTOGGLE idle") << "73<TXTOGGLE>" << false << true << "73" << QStringList{"start"};
        QTest::newRow("TXTOGGLE sending") << "<TXTOGGLE>73" << true << true << "73" << QStringList{"stop"};
        QTest::newRow("modes, each once, in speed order")
            << "<BPSK250>qsy<BPSK31> <BPSK250>" << false << true << "qsy " << QStringList{"BPSK31", "BPSK250"};
    }
    void expand()
    {
        QFETCH(QString, text);
        QFETCH(bool, sending);
        QFETCH(bool, confirm);
        MacroFields f;
        f.myCall = "M", f.myName = "Anna", f.myQth = "Wien", f.myRst = "589";
        f.call = "C", f.name = "Bernd", f.qth = "Hamburg", f.notes = "1st";
        RecordingHost host;
        host.confirm = confirm, host.active = sending;
        QTEST(Macros::expand(text, f, host, QDateTime(QDate(2026, 3, 1), QTime(0, 30), QTimeZone(2 * 3600))), "expected");
        QTEST(host.events, "events");
    }

    // The report prompt offers the report suggested from the signal's S/N.
    void reportPromptOffersTheSuggestion()
    {
        MacroFields f;
        f.suggestedRst = QStringLiteral("339");
        RecordingHost host;
        QCOMPARE(Macros::expand(QStringLiteral("ur <RST>"), f, host, QDateTime::currentDateTimeUtc()), QStringLiteral("ur 449"));
        QCOMPARE(host.events, QStringList({"ask 339", "keep 449"}));
    }

    // A macro file that cannot be read whole, or written whole, changes
    // nothing: neither the buttons nor the file that was there.
    void fileFailuresChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << QByteArray() << false << "Can't load file";
        QTest::newRow("last label without text") << QByteArray("L1\nT1\nL2\nT2\nL3\n") << false << "Error reading";
        QTest::newRow("full disk") << QByteArray("Old\nold text\n") << true << "Error writing";
    }
    void fileFailuresChangeNothing()
    {
        QFETCH(QByteArray, onDisk);
        QFETCH(bool, write);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("v.mac"));
        QFile file(path);
        QVERIFY(onDisk.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(onDisk) == onDisk.size()));
        file.close();
        QList<SMacro> macros;
        for (int i = 0; i < Macros::kCount; ++i)
            macros.append({i, QStringLiteral("label %1").arg(i), QStringLiteral("text %1").arg(i)});
        const QList<SMacro> before = macros;
        QString said;
        if (write) {
            FullDisk full;
            QVERIFY(!Macros::writeFile(path, macros, &said));
        } else {
            QVERIFY(!Macros::readFile(path, macros, &said));
        }
        QCOMPARE(said, message + QLatin1Char(' ') + path);
        QCOMPARE(macros, before);
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), onDisk);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), onDisk.isEmpty() ? 0 : 1);
    }
};

QTEST_GUILESS_MAIN(TestMacroExpansion)
#include "tst_macroexpansion.moc"
