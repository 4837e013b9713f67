// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/callextractor.h"

#include <QTest>

class TestCallExtractor : public QObject
{
    Q_OBJECT
private slots:
    void callSigns_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("valid");
        const char* good[] = {"DL1ABC", "W1AW", "K1A", "2E0ABC", "9A1A", "4X4AA", "3DA0RU", "VK2ABC", "ja1xyz",
                              "DL1ABC/P", "F/DL1ABC", "VE3/W1AW/QRP", "OH0A", "A61AB", "KH6ABCD"};
        const char* bad[] = {"599", "5NN", "73", "QRZ", "QSL", "CQ", "DE", "14070KHZ", "ABC1", "1ST", "DL1", "W1",
                             "DL1ABCDE", "E", "12345", "DL1ABC/P/Q/R", "DL1ABC/LONGER", "X/Y/DL1AB", "Q1"};
        for (const char* w : good)
            QTest::newRow(w) << QString::fromLatin1(w) << true;
        for (const char* w : bad)
            QTest::newRow(w) << QString::fromLatin1(w) << false;
    }

    void callSigns()
    {
        QFETCH(QString, word);
        QFETCH(bool, valid);
        QCOMPARE(CallExtractor::isCallSign(word), valid);
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("calls");
        const QStringList dl{QStringLiteral("DL1ABC")};
        QTest::newRow("de twice") << "ge om de DL1ABC DL1ABC pse k\n" << dl;
        QTest::newRow("cq then twice") << "CQ CQ CQ DL1ABC DL1ABC\n" << dl;
        QTest::newRow("cq pse then twice") << "cq cq test pse DL1ABC DL1ABC ar\n" << dl;
        QTest::newRow("de once and again") << "ur rst 599 de DL1ABC name is Hans hw DL1ABC \n" << dl;
        QTest::newRow("repeat in over once") << "CQ de DL1ABC DL1ABC DL1ABC DL1ABC\n" << dl;
        QTest::newRow("once only") << "de DL1ABC pse k\n" << QStringList();
        QTest::newRow("twice without de or cq") << "DL1ABC DL1ABC ur 599\n" << QStringList();
        QTest::newRow("twice apart, no de") << "cq DL1ABC tnx DL1ABC \n" << QStringList();
        QTest::newRow("over ends between") << "de DL1ABC pse kn DL1ABC \n" << QStringList();
        QTest::newRow("own call") << "de W1OWN W1OWN k cq de DL1ABC DL1ABC \n" << dl;
        QTest::newRow("two stations") << "W1AW de DL1ABC DL1ABC k\nDL1ABC de W1AW W1AW \n"
                                      << QStringList{QStringLiteral("DL1ABC"), QStringLiteral("W1AW")};
        QTest::newRow("noise") << "e t ie5e ie5e tt n1e tn DE e1e?t1e tnmatt 59 59 5nn 5nn qrz qrz eetie \n"
                               << QStringList();
        QTest::newRow("noise, de then long junk")
            << "de DL1ABCTEEETIEEETNEEETAAAETEN DL1ABCTEEETIEEETNEEETAAAETEN \n" << QStringList();
        QTest::newRow("word not finished") << "de DL1ABC DL1ABC" << QStringList();
        QTest::newRow("punctuation") << "CQ de DL1ABC,DL1ABC.\n" << dl;
    }

    void patterns()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, calls);
        // All at once and one character at a time give the same.
        CallExtractor whole, single;
        QStringList bySingle;
        for (CallExtractor* x : {&whole, &single})
            x->setOwnCall(QStringLiteral("w1own"));
        for (const QChar c : text)
            bySingle += single.feed(1400, QStringView(&c, 1));
        QVERIFY(whole.feed(1400, text) == calls && bySingle == calls);
    }

    void channelsAndOvers()
    {
        CallExtractor x;
        // "de CALL" on one channel and the call again on another is no pattern.
        QVERIFY(x.feed(500, u"de DL1ABC ").isEmpty());
        QVERIFY(x.feed(900, u"DL1ABC ").isEmpty());
        QCOMPARE(x.feed(500, u"DL1ABC "), QStringList{QStringLiteral("DL1ABC")});
        // A lost signal ends the over.
        QVERIFY(x.feed(900, u"de W1AW ").isEmpty());
        x.endOver(900);
        QVERIFY(x.feed(900, u"W1AW ").isEmpty());
        QCOMPARE(x.channelCount(), 2);
        // A very long over is cut, so one over never grows without end.
        const QString talk = QStringLiteral("bla ").repeated(CallExtractor::kMaxWords);
        QVERIFY(x.feed(700, QStringLiteral("de DL2XYZ ") + talk + QStringLiteral("DL2XYZ ")).isEmpty());
        x.clear();
        QCOMPARE(x.channelCount(), 0);
    }

    void textTail()
    {
        TextTail t;
        QString text = QStringLiteral("cq de W1AW");
        QCOMPARE(t.advance(text), text);
        QCOMPARE(t.advance(text), QString());
        // Grows at the end while the oldest part is cut off, as a long text is.
        for (int i = 0; i < 3000; ++i) {
            const QString more = QStringLiteral(" %1").arg(i);
            text += more;
            if (text.size() > 1000)
                text.remove(0, text.size() - 1000);
            QCOMPARE(t.advance(text), more);
        }
        // A text that starts afresh gives nothing old again.
        QCOMPARE(t.advance(QStringLiteral("new")), QString());
        QCOMPARE(t.advance(QStringLiteral("new de K1A")), QStringLiteral(" de K1A"));
    }
};

QTEST_APPLESS_MAIN(TestCallExtractor)
#include "tst_callextractor.moc"
