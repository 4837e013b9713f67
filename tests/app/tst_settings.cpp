// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"

#include <QtTest>

// Where the settings file lies and what it keeps.
class TestSettings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void pathFromArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("path");
        const QString program = QStringLiteral("/opt/velkora/velkora32");
        QTest::newRow("no options") << QStringList{program} << "/opt/velkora/Velkora32.ini";
        QTest::newRow("absolute path") << QStringList{program, "-ini:/home/op/radio.ini"} << "/home/op/radio.ini";
        QTest::newRow("relative path kept") << QStringList{program, "-ini:conf/r.ini"} << "conf/r.ini";
        QTest::newRow("first of two") << QStringList{program, "-ini:/a.ini", "-ini:/b.ini"} << "/a.ini";
        QTest::newRow("others ignored") << QStringList{program, "-x", "-ini:/a.ini"} << "/a.ini";
        QTest::newRow("text before the option") << QStringList{program, "--foo-ini:/c.ini"} << "/c.ini";
        QTest::newRow("option twice in one") << QStringList{program, "-ini:/d-ini:e"} << "/d-ini:e";
        QTest::newRow("option alone") << QStringList{program, "-ini:"} << "";
        QTest::newRow("capitals") << QStringList{program, "-INI:/a.ini"} << "/opt/velkora/Velkora32.ini";
    }

    void pathFromArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, path);
        QCOMPARE(Settings::pathFromArguments(arguments, QStringLiteral("/opt/velkora"), QStringLiteral("Velkora32")),
                 path);
    }

    void readsBackWhatItWrote()
    {
        const QString path = m_dir.filePath(QStringLiteral("sub.ini"));
        Settings::setPath(path);
        QCOMPARE(Settings::path(), path);
        {
            Settings s;
            QCOMPARE(s.value(QStringLiteral("RxFq"), 1000.0).toDouble(), 1000.0);
            s.setValue(QStringLiteral("RxFq"), 1234.5);
            s.beginGroup(QStringLiteral("Personal data"));
            s.setValue(QStringLiteral("call"), QStringLiteral("DL1ABC"));
            s.endGroup();
            s.beginGroup(QStringLiteral("Audio"));
            s.beginGroup(QStringLiteral("Input"));
            s.setValue(QStringLiteral("ppm"), -42);
            s.endGroup();
            s.endGroup();
        }
        QVERIFY(QFile::exists(path));

        Settings s;
        QCOMPARE(s.format(), QSettings::IniFormat);
        QCOMPARE(s.fileName(), path);
        QCOMPARE(s.value(QStringLiteral("RxFq"), 1000.0).toDouble(), 1234.5);
        QCOMPARE(s.value(QStringLiteral("Personal data/call")).toString(), QStringLiteral("DL1ABC"));
        QCOMPARE(s.value(QStringLiteral("Audio/Input/ppm"), 0).toInt(), -42);
        QCOMPARE(s.value(QStringLiteral("Macros/Macros 3/label"), QStringLiteral("none")).toString(),
                 QStringLiteral("none"));
        QVERIFY(qobject_cast<Settings*>(static_cast<QObject*>(&s)));
        QCOMPARE(s.metaObject()->className(), "Settings");
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
