// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Varicode words against the published table, and every character's word back.
#include "modem/varicode.h"

#include <QTest>


class TestVaricode : public QObject
{
    Q_OBJECT

private slots:
    void publishedWords_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("word");
        QTest::newRow("space") << 0x20 << "1";
        QTest::newRow("e") << int('e') << "11";
        QTest::newRow("NUL") << 0 << "1010101011";
        QTest::newRow("DEL") << 0x7F << "1110110101";
        QTest::newRow("128") << 128 << "1110111101";
        QTest::newRow("143") << 143 << "10101010101";
        QTest::newRow("255") << 255 << "101101011011";
    }

    void publishedWords()
    {
        QFETCH(int, value);
        QFETCH(QString, word);
        QCOMPARE(QString::number(Varicode::ascii8Word(value), 2), word);
        QCOMPARE(Varicode::ascii8Word(value), CMMVari::instance().codeWord(quint16(value), false));
    }

    void everyCharacterRoundTrips()
    {
        const CMMVari& v = CMMVari::instance();
        for (bool swap : {false, true}) {
            for (int value = 0; value < 256; ++value)
                QCOMPARE(v.charOfWord(v.codeWord(quint16(value), swap), swap), quint16(value));
            for (int lead = 0x81; lead <= 0xFE; ++lead) {
                for (int trail = 0x40; trail <= 0xFF; ++trail) {
                    const quint32 w = v.codeWord(quint16(lead << 8 | trail), swap);
                    // Received double bytes keep sending order: lead byte low.
                    QCOMPARE(v.charOfWord(w, swap), quint16(trail << 8 | lead));
                }
            }
            // Values whose rank lies beyond the list have no word.
            for (int value : {CMMVari::kWordCount, 0x80FF, 0xFF40, 0xFFFF})
                QCOMPARE(v.codeWord(quint16(value), swap), 0u);
        }
    }

};

QTEST_GUILESS_MAIN(TestVaricode)
#include "tst_varicode.moc"
