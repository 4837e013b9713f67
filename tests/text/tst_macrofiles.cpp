// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/macros.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Macro files: one value per line, label then text, record after record.
class TestMacroFiles : public QObject
{
    Q_OBJECT

    static QList<SMacro> numbered()
    {
        QList<SMacro> list;
        for (int i = 0; i < Macros::kCount; ++i)
            list.append(SMacro{i, QStringLiteral("L%1").arg(i), QStringLiteral("CQ de <MYCALL> %1").arg(i)});
        return list;
    }
    QString write(const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(QStringLiteral("in.mac")));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write the test file");
        return f.fileName();
    }
    QTemporaryDir m_dir;

private slots:
    void all24RecordsSurviveSaveAndLoad()
    {
        QList<SMacro> saved = numbered();
        saved[2].label.clear();
        saved[4].text = QStringLiteral("  Grüße, 73!");
        saved[3].text = QStringLiteral("first\nsecond\n");
        saved[5].label = QStringLiteral("two\rrows");
        saved[7].text = QStringLiteral("dos\r\nline");
        const QString file = m_dir.filePath(QStringLiteral("all.mac"));
        QString message;
        QVERIFY(Macros::writeFile(file, saved, &message));
        QFile f(file); // line breaks inside values add no lines: still 48, each ended
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(f.readAll().split('\n').size(), 49);

        QList<SMacro> loaded = numbered();
        for (SMacro& m : loaded)
            m.label = m.text = QStringLiteral("old");
        QVERIFY(Macros::readFile(file, loaded, &message));
        QVERIFY(message.isEmpty());
        // The breaks come back as the tags that send the same characters.
        saved[3].text = QStringLiteral("first<LF>second<LF>");
        saved[5].label = QStringLiteral("two<CR>rows");
        saved[7].text = QStringLiteral("dos<CR><LF>line");
        QCOMPARE(loaded, saved);

        // A file without breaks in values is written back byte for byte.
        QByteArray original;
        for (int i = 0; i < Macros::kCount; ++i)
            original += "Key " + QByteArray::number(i) + "\n<CALL> de <MYCALL><LF> pse k<RX>\n";
        QVERIFY(Macros::readFile(write(original), loaded, &message));
        QVERIFY(Macros::writeFile(file, loaded, &message));
        QFile back(file);
        QVERIFY(back.open(QIODevice::ReadOnly | QIODevice::Text));
        QCOMPARE(back.readAll(), original);
    }

    void faultyFiles_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no such file
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("changed"); // records that took values from the file
        QByteArray tooMany;
        for (int i = 0; i < 26; ++i)
            tooMany += "label " + QByteArray::number(i) + "\ntext\n";
        QTest::newRow("empty") << QByteArray("") << true << "" << 0;
        QTest::newRow("three lines") << QByteArray("CQ\nCQ CQ\nQRZ\n") << false << "Error reading %1" << 1;
        QTest::newRow("unreadable") << QByteArray() << false << "Can't load file %1" << 0;
        QTest::newRow("more than 24 pairs") << tooMany << true << "" << 24;
    }
    void faultyFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, ok);
        QFETCH(QString, message);
        QFETCH(int, changed);
        const QString file = content.isNull() ? m_dir.filePath(QStringLiteral("none.mac")) : write(content);
        QList<SMacro> list = numbered();
        QString reported;
        QCOMPARE(Macros::readFile(file, list, &reported), ok);
        QCOMPARE(reported, message.isEmpty() ? QString() : message.arg(file));
        QCOMPARE(list.size(), Macros::kCount);
        for (int i = 0; i < Macros::kCount; ++i) {
            QCOMPARE(list.at(i).index, i);
            QCOMPARE(list.at(i) == numbered().at(i), i >= changed);
        }
    }

    void unwritableFile()
    {
        const QString file = m_dir.filePath(QStringLiteral("no-such-folder/x.mac"));
        QString message;
        QVERIFY(!Macros::writeFile(file, numbered(), &message));
        QCOMPARE(message, QStringLiteral("Can't open file %1").arg(file));
        QVERIFY(!Macros::writeFile(QStringLiteral("/dev/full"), numbered(), &message));
        QCOMPARE(message, QStringLiteral("Error writing /dev/full"));
    }
};

QTEST_GUILESS_MAIN(TestMacroFiles)
#include "tst_macrofiles.moc"
