// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Where the settings file lies ("-ini:") and that it keeps what was written.
#include "core/settings.h"

#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void pathFromArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path");
        QTest::newRow("no options") << QStringList{} << "/opt/velkora/Velkora32.ini";
        QTest::newRow("absolute path") << QStringList{"-ini:/home/op/radio.ini"} << "/home/op/radio.ini";
        QTest::newRow("relative path kept") << QStringList{"-ini:conf/r.ini"} << "conf/r.ini";
        QTest::newRow("first of two") << QStringList{"-ini:/a.ini", "-ini:/b.ini"} << "/a.ini";
        QTest::newRow("others ignored") << QStringList{"-x", "-ini:/a.ini"} << "/a.ini";
        QTest::newRow("text before the option") << QStringList{"--foo-ini:/c.ini"} << "/c.ini";
        QTest::newRow("option twice in one") << QStringList{"-ini:/d-ini:e"} << "/d-ini:e";
        QTest::newRow("option alone") << QStringList{"-ini:"} << "";
        QTest::newRow("capitals") << QStringList{"-INI:/a.ini"} << "/opt/velkora/Velkora32.ini";
    }
    void pathFromArguments()
    {
        QFETCH(QStringList, arguments);
        arguments.prepend(QStringLiteral("/opt/velkora/velkora32"));
        QTEST(Settings::pathFromArguments(arguments, QStringLiteral("/opt/velkora"), QStringLiteral("Velkora32")),
              "path");
    }

    void readsBackWhatItWrote()
    {
        const QString path = m_dir.filePath(QStringLiteral("sub.ini"));
        Settings::setPath(path);
        {
            Settings s;
            QCOMPARE(s.value(QStringLiteral("RxFq"), 1000.0).toDouble(), 1000.0);
            s.setValue(QStringLiteral("RxFq"), 1234.5);
            s.setValue(QStringLiteral("Audio/Input/ppm"), -42);
        }
        Settings s;
        QCOMPARE(s.format(), QSettings::IniFormat);
        QCOMPARE(s.fileName(), path);
        QVERIFY(QFile::exists(path));
        QCOMPARE(s.value(QStringLiteral("RxFq")).toDouble(), 1234.5);
        QCOMPARE(s.value(QStringLiteral("Audio/Input/ppm")).toInt(), -42);
    }

    void valuesOutsideTheirRangeAreReplaced_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("used");
        for (const char* rate : {"0", "-5", "64250", "192000", "11025.5", "fast"})
            QTest::newRow(rate) << "Audio/Input/SampleRate" << rate << "11025";
        QTest::newRow("48 kHz") << "Audio/Output/SampleRate" << "48000" << "48000";
        for (const char* fq : {"nan", "-100", "1e9", "6000"})
            QTest::newRow(fq) << "TxFq" << fq << "1000";
        QTest::newRow("carrier") << "RxFq" << "1500.25" << "1500.25";
        QTest::newRow("black waterfall") << "Contrast" << "0" << "50";
        QTest::newRow("baud code") << "Comport/BaudRate" << "22" << "12";
        QTest::newRow("macro index") << "Macros/Macros 5/index" << "40" << "5";
    }
    void valuesOutsideTheirRangeAreReplaced()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, used);
        Settings::setPath(m_dir.filePath(QStringLiteral("check.ini")));
        QFile::remove(Settings::path());
        Settings().setValue(key, stored);
        if (used != stored)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Settings: " + QRegularExpression::escape(key)));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        Settings::validateStored();
        QCOMPARE(Settings().value(key).toString(), used);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
