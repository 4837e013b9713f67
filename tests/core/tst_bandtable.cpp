// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The band table read from "bands.ini", its fallback and the band box order.
#include "core/bandtable.h"

#include <QTemporaryDir>
#include <QtTest>

class TestBandTable : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    BandTable::Table load(const QByteArray& file)
    {
        QFile f(m_dir.filePath(QStringLiteral("bands.ini")));
        if (!f.open(QIODevice::WriteOnly) || f.write(file) != file.size())
            qFatal("cannot write bands.ini");
        f.close();
        return BandTable::load(f.fileName());
    }

private slots:
    void fileLines_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QStringList>("table"); // "name=kHz" in name order
        QTest::newRow("band line and a single word") << QByteArray("20m 14070.0\nlonely\n") << QStringList{"20m=14070"};
        QTest::newRow("name and two numbers") << QByteArray("20m 14070 14071\n40m 7070\n") << QStringList{"40m=7070"};
        QTest::newRow("leading blank") << QByteArray(" 20m 14070\n") << QStringList{};
        QTest::newRow("trailing blank") << QByteArray("20m 14070 \n") << QStringList{};
        QTest::newRow("tabs and runs of blanks") << QByteArray("30m\t \t10142.5\n") << QStringList{"30m=10142.5"};
        QTest::newRow("semicolon") << QByteArray("6m;50290\n") << QStringList{"6m=50290"};
        QTest::newRow("comments") << QByteArray("# HF\n;40m 7040\n  #x 1\n20m 14070\n") << QStringList{"20m=14070"};
        QTest::newRow("later line wins") << QByteArray("40m 7040\n40m 7070\n") << QStringList{"40m=7070"};
        QTest::newRow("number that does not read") << QByteArray("2m abc\n") << QStringList{"2m=0"};
        QTest::newRow("decimal comma does not read") << QByteArray("2m 144,138\n") << QStringList{"2m=0"};
        QTest::newRow("80 blanks separate") << "80m" + QByteArray(80, ' ') + "3580\n" << QStringList{"80m=3580"};
        QTest::newRow("81 blanks spoil the line") << "80m" + QByteArray(81, ' ') + "3580\n" << QStringList{};
        QTest::newRow("Windows line ends") << QByteArray("20m 14070\r\n40m 7070\r\n") << QStringList{"20m=14070", "40m=7070"};
    }
    void fileLines()
    {
        QFETCH(QByteArray, file);
        const BandTable::Table table = load(file);
        QStringList items;
        for (auto it = table.cbegin(); it != table.cend(); ++it)
            items << it.key() + u'=' + QString::number(it.value());
        items.sort();
        QTEST(items, "table");
    }

    void unreadableFileGivesBuiltInTable()
    {
        const QString folder = m_dir.filePath(QStringLiteral("missing.ini"));
        QCOMPARE(BandTable::load(folder), BandTable::builtIn());
        QVERIFY(QDir().mkpath(folder));
        const BandTable::Table table = BandTable::load(folder); // not a file
        QCOMPARE(table, BandTable::builtIn());
        QCOMPARE(BandTable::boxEntries(table),
                 QStringList({"160m", "80m", "40m", "30m", "20m", "17m", "15m", "12m", "10m", "6m", "2m"}));
        QCOMPARE(BandTable::frequencyKHz(table, QStringLiteral("160m")), 1838.0);
        QCOMPARE(BandTable::frequencyKHz(table, QStringLiteral("2m")), 144000.0);
        QCOMPARE(BandTable::frequencyKHz(table, QStringLiteral("20M")), 0.0); // names match exactly
    }

    void boxIsOrderedByFrequency()
    {
        QCOMPARE(BandTable::boxEntries(load("2m 144000\n160m 1838\n20m 14070\n40m 7070\n")),
                 QStringList({"160m", "40m", "20m", "2m"}));
        // Two bands with one frequency give two equal entries.
        QCOMPARE(BandTable::boxEntries(load("40m 7070\n40m-alt 7070\n20m 14070\n")), QStringList({"40m", "40m", "20m"}));
        QCOMPARE(BandTable::boxEntries(load("")), QStringList());
    }

    void shippedFile()
    {
        const QString path = qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/bands.ini");
        // Its header lines must not turn into bands.
        QCOMPARE(BandTable::boxEntries(BandTable::load(path)),
                 BandTable::boxEntries(BandTable::builtIn()) << QStringLiteral("70cm"));
    }
};

QTEST_GUILESS_MAIN(TestBandTable)
#include "tst_bandtable.moc"
