// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The ground library: where the settings file lies, the band table read from
// "bands.ini", and the 8-bit code page (Windows-1252 under a UTF-8 or C
// locale; the locale's own page under a single-byte locale, checked in a
// child process since the page is fixed on first use).
#include "core/bandtable.h"
#include "core/codepage.h"
#include "core/settings.h"
#include "tests/core/fulldisk.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <clocale>

class TestCore : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    const bool m_latin9 = qEnvironmentVariableIsSet("VELKORA_LATIN9_CHILD");

    BandTable::Table loadBands(const QByteArray& file)
    {
        QFile f(m_dir.filePath(QStringLiteral("bands.ini")));
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size())
            qFatal("cannot write bands.ini");
        f.close();
        return BandTable::load(f.fileName());
    }

private slots:
    void initTestCase()
    {
        if (!m_latin9 && !std::setlocale(LC_CTYPE, "C.UTF-8"))
            std::setlocale(LC_CTYPE, "C");
        QCOMPARE(CodePage::name(), QLatin1String(m_latin9 ? "ISO-8859-15" : "Windows-1252"));
    }

    void settingsPath_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path");
        QTest::newRow("none, or in capitals") << QStringList{"-x", "-INI:/a.ini"} << "/opt/v/Velkora32.ini";
        QTest::newRow("first of two, relative kept") << QStringList{"-ini:conf/r.ini", "-ini:/b.ini"} << "conf/r.ini";
        QTest::newRow("text before, option twice in one") << QStringList{"--foo-ini:/d-ini:e"} << "/d-ini:e";
        QTest::newRow("option alone") << QStringList{"-ini:"} << "";
    }
    void settingsPath()
    {
        QFETCH(QStringList, arguments);
        QTEST(Settings::pathFromArguments(QStringList{"/opt/v/velkora32"} + arguments, "/opt/v", "Velkora32"), "path");
    }

    // A save that fails while the program runs is reported when it fails.
    void failedSaveIsSaid_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("why");
        QTest::newRow("full disk") << false << "could not be written; the disk may be full";
        QTest::newRow("folder in place of the file") << true << "is a folder";
    }
    void failedSaveIsSaid()
    {
        QFETCH(bool, folder);
        QFETCH(QString, why);
        Settings::setPath(m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentDataTag())));
        Settings().setValue(QStringLiteral("RxFq"), 1500);
        QSignalSpy failed(Settings::notifier(), &SettingsNotifier::writeFailed);
        QVERIFY(!folder || (QFile::remove(Settings::path()) && QDir().mkpath(Settings::path())));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Settings were not saved: .*" + why));
        {
            FullDisk full(folder ? RLIM_INFINITY : 16);
            Settings().setValue(QStringLiteral("Macros/Macros 0/text"), QString(100, u'x'));
            Settings().value(QStringLiteral("RxFq")); // reading alone saves nothing, says nothing
        }
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed.at(0).at(0).toString().contains(why), qPrintable(failed.at(0).at(0).toString()));
    }

    void valuesOutsideTheirRangeAreReplaced_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("used");
        for (const char* rate : {"0", "-5", "64250", "192000", "11025.5", "fast"})
            QTest::newRow(rate) << "Audio/Input/SampleRate" << rate << "11025";
        QTest::newRow("48 kHz") << "Audio/Output/SampleRate" << "48000" << "48000";
        // Every rate the sound card dialog takes is kept.
        QTest::newRow("64249 out") << "Audio/Output/SampleRate" << "64249" << "64249";
        for (const char* fq : {"nan", "-100", "1e9", "6000"})
            QTest::newRow(fq) << "TxFq" << fq << "1000";
        QTest::newRow("carrier") << "RxFq" << "1500.25" << "1500.25";
        QTest::newRow("level above full scale") << "Audio/Output/LevelDb" << "3" << "-3";
        QTest::newRow("black waterfall") << "Contrast" << "0" << "50";
        QTest::newRow("baud code") << "Comport/BaudRate" << "22" << "12";
        QTest::newRow("RTS on as 2") << "Comport/RTS" << "2" << "2"; // any value but 0 is on
        QTest::newRow("DTR on as -1") << "Comport/DTR" << "-1" << "-1";
        QTest::newRow("DTR not a number") << "Comport/DTR" << "yes" << "0";
        QTest::newRow("macro index") << "Macros/Macros 5/index" << "40" << "5";
        QTest::newRow("macro on the last key") << "Macros/Macros 5/index" << "23" << "23";
        // A correction that lifts the receive clock at the top rate to the
        // limit is what the sound card dialog refuses: it goes, the rate stays.
        QTest::newRow("15 ppm fast at the top") << "Audio/Input/ppm" << "15" << "15";
        QTest::newRow("16 ppm fast at the top") << "Audio/Input/ppm" << "16" << "0";
    }
    void valuesOutsideTheirRangeAreReplaced()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, used);
        Settings::setPath(m_dir.filePath(QStringLiteral("check.ini")));
        QFile::remove(Settings::path());
        const bool atTop = key == QLatin1String("Audio/Input/ppm");
        if (atTop)
            Settings().setValue(QStringLiteral("Audio/Input/SampleRate"), 64249);
        Settings().setValue(key, stored);
        if (used != stored)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Settings: " + QRegularExpression::escape(key)));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        Settings::validateStored();
        QCOMPARE(Settings().value(key).toString(), used);
        if (atTop)
            QCOMPARE(Settings().value(QStringLiteral("Audio/Input/SampleRate")).toInt(), 64249);
    }

    void bandLines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("table"); // "name=kHz" in name order
        QTest::newRow("one, three words, leading blank") << QByteArray("20m 14070.0\nlonely\n40m 7070 1\n 6m 50290\n") << QStringList{"20m=14070"};
        QTest::newRow("tabs and blanks, semicolon, comma") << QByteArray("30m\t \t10142.5\n6m;50290\n2m 144,1\n") << QStringList{"2m=0", "30m=10142.5", "6m=50290"};
        QTest::newRow("80 blanks separate, 81 spoil") << "80m" + QByteArray(80, ' ') + "3580\n60m" + QByteArray(81, ' ') + "5357\n" << QStringList{"80m=3580"};
        QTest::newRow("comments") << QByteArray("# HF\n;40m 7040\n  #x 1\n20m 14070\n") << QStringList{"20m=14070"};
        QTest::newRow("CR LF, later line wins") << QByteArray("20m 14070\r\n40m 7040\r\n40m 7070\r\n") << QStringList{"20m=14070", "40m=7070"};
    }
    void bandLines()
    {
        QFETCH(QByteArray, file);
        const BandTable::Table table = loadBands(file);
        QStringList items;
        for (auto it = table.cbegin(); it != table.cend(); ++it)
            items << it.key() + u'=' + QString::number(it.value());
        items.sort();
        QTEST(items, "table");
    }

    void bandBox()
    {
        QCOMPARE(BandTable::boxEntries(loadBands("2m 144000\n40m-alt 7070\n20m 14070\n40m 7070\n")),
                 QStringList({"40m", "40m", "20m", "2m"})); // one frequency, two equal entries
        // The shipped file holds the built-in bands at the same frequencies, and 70cm; its header lines are no bands.
        BandTable::Table shipped = BandTable::load(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/bands.ini"));
        QVERIFY(shipped.remove(QStringLiteral("70cm")) == 1 && shipped == BandTable::builtIn());
        QCOMPARE(BandTable::load(m_dir.filePath(QStringLiteral("none.ini"))), BandTable::builtIn());
        QCOMPARE(BandTable::load(m_dir.path()), BandTable::builtIn()); // a folder, not a file
    }

    void codePage()
    {
        const struct { char16_t character; int cp1252, latin9; } rows[] = { // '?': not in the page
            {u'é', 0xE9, 0xE9}, {u'€', 0x80, 0xA4}, {u'¤', 0xA4, '?'}, {u'Ω', '?', '?'}};
        for (const auto& row : rows) {
            const int byte = m_latin9 ? row.latin9 : row.cp1252;
            QCOMPARE(int(CodePage::toByte(QChar(row.character))), byte);
            if (byte != '?')
                QCOMPARE(CodePage::fromByte(quint8(byte)), QChar(row.character));
        }
        for (int b = 0; b < 256; ++b) // including those Windows-1252 leaves undefined
            QCOMPARE(int(CodePage::toByte(CodePage::fromByte(quint8(b)))), b);
        QCOMPARE(CodePage::fromBytes("caf\xE9 \xA4"), m_latin9 ? QStringLiteral("café €") : QStringLiteral("café ¤"));
    }

    void codePageUnderSingleByteLocale()
    {
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start("localedef", {"-i", "de_DE", "-f", "ISO-8859-15", m_dir.filePath("de_DE.ISO-8859-15")});
        run.waitForFinished(120000);
        if (!QFile::exists(m_dir.filePath("de_DE.ISO-8859-15/LC_CTYPE")))
            QSKIP(qPrintable("cannot generate the locale de_DE.ISO-8859-15 (localedef, Debian package locales): "
                             + run.errorString() + ' ' + run.readAll()));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LOCPATH", m_dir.path());
        env.insert("LC_ALL", "de_DE.ISO-8859-15");
        env.insert("VELKORA_LATIN9_CHILD", "1");
        run.setProcessEnvironment(env);
        run.start(QCoreApplication::applicationFilePath(), {"codePage"});
        QVERIFY(run.waitForFinished(60000));
        QVERIFY2(run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0, run.readAll().constData());
    }
};

QTEST_GUILESS_MAIN(TestCore)
#include "tst_core.moc"
