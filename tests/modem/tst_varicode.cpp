// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The Varicode word list, the character sets, the encoder's words and the 8-bit decode table.
#include "modem/pskencode.h"
#include "modem/varicode.h"

#include <QtTest>

#include <set>
#include <vector>

namespace {

QString binary(quint32 word)
{
    return QString::number(word, 2);
}

quint32 word(const char* text)
{
    return QByteArray(text).toUInt(nullptr, 2);
}

// Records what filling the decode table offers to an encoder.
class RecordingEncoder : public CPskBitEncode
{
public:
    void SetCode(quint32 w, int ch) override { offered.emplace_back(w, ch); }
    void Reset() override {}
    int NextSymbol(int*) override { return 0; }
    std::vector<std::pair<quint32, int>> offered;
};

} // namespace

class TestVaricode : public QObject
{
    Q_OBJECT

private slots:
    void wordListIsEveryValidWordInOrder()
    {
        const CMMVari& v = CMMVari::instance();
        std::vector<int> perLength(23, 0);
        quint32 previous = 0;
        for (int rank = 0; rank < CMMVari::kWordCount; ++rank) {
            const QString s = binary(v.wordOfRank(rank));
            QVERIFY2(s.endsWith(u'1') && !s.contains(QStringLiteral("00")), qPrintable(s));
            // Same-length words compare like numbers, so one comparison covers both keys.
            QVERIFY(v.wordOfRank(rank) > previous);
            previous = v.wordOfRank(rank);
            ++perLength[s.size()];
            QCOMPARE(v.rankOfWord(previous), rank);
        }
        for (int length = 1, a = 1, b = 1; length <= 20; ++length, b = a + b, a = b - a)
            QCOMPARE(perLength[length], a);
        QCOMPARE(perLength[21], 6738);
        QCOMPARE(binary(v.wordOfRank(CMMVari::kWordCount - 1)), QStringLiteral("110111111111101101101"));
        QCOMPARE(v.wordOfRank(CMMVari::kWordCount), 0u);
        QCOMPARE(v.wordOfRank(-1), 0u);
    }

    void unknownWordsHaveNoRankAndReadAsSpace()
    {
        const CMMVari& v = CMMVari::instance();
        for (const char* w : {"0", "100", "1001", "110111111111101101111", "1011111111111111111111"}) {
            QCOMPARE(v.rankOfWord(word(w)), -1);
            QCOMPARE(v.charOfWord(word(w), true), quint16(' '));
        }
    }

    void asciiTakesTheShortestWords()
    {
        std::set<quint32> ascii, shortest;
        for (int c = 0; c < 128; ++c) {
            QCOMPARE(CMMVari::rankOfAscii(CMMVari::asciiOfRank(c)), c);
            ascii.insert(Varicode::ascii8Word(c));
            shortest.insert(CMMVari::instance().wordOfRank(c));
        }
        QVERIFY(ascii == shortest);
    }

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
        QCOMPARE(binary(Varicode::ascii8Word(value)), word);
        QCOMPARE(Varicode::ascii8Word(value), CMMVari::instance().codeWord(quint16(value), false));
    }

    void charactersGoOnAirBehindTwoZeros_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("set");
        QTest::addColumn<QString>("sent");
        QTest::newRow("space") << 0x20 << int(kCharSetAscii8) << "001";
        QTest::newRow("a") << int('a') << int(kCharSetAscii8) << "001011";
        QTest::newRow("byte 255") << 255 << int(kCharSetAscii8) << "00101101011011";
        QTest::newRow("a, 16-bit") << int('a') << int(kCharSetAlternate) << "001011";
        QTest::newRow("829F MMVari") << 0x829F << int(kCharSetMMVari) << "001110111101";
        QTest::newRow("80 Alternate") << 0x80 << int(kCharSetAlternate) << "001110111101";
        QTest::newRow("80 MMVari") << 0x80 << int(kCharSetMMVari) << "00" + binary(CMMVari::instance().wordOfRank(543));
        QTest::newRow("8100 as space") << 0x8100 << int(kCharSetMMVari) << "001";
        QTest::newRow("no word: one bit") << 0x7000 << int(kCharSetAlternate) << "001";
    }

    void charactersGoOnAirBehindTwoZeros()
    {
        QFETCH(int, value);
        QFETCH(int, set);
        QFETCH(QString, sent);
        CBpskEncode encoder;
        encoder.setCharSet(set);
        set == kCharSetAscii8 ? encoder.LoadChar(value) : encoder.LoadCode16(quint16(value));
        for (int wide : {256, -1, 0x10000}) // no 8-bit character: ignored
            set == kCharSetAscii8 ? encoder.LoadChar(wide) : void();
        QString bits;
        for (int i = 0, done = 0; i < 32 && !done; ++i) {
            bits += (encoder.shiftRegister() & 0x80000000u) ? u'1' : u'0';
            encoder.NextSymbol(&done);
        }
        QCOMPARE(bits, sent);
    }

    void rankOfCharacter_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<int>("mmvari");
        QTest::addColumn<int>("alternate");
        QTest::newRow("kana 829F") << 0x829F << 128 << 543;
        QTest::newRow("byte 80") << 0x80 << 543 << 128;
        QTest::newRow("kana 8340") << 0x8340 << 212 << 640;
        QTest::newRow("kana 8396") << 0x8396 << 298 << 726;
        QTest::newRow("8140") << 0x8140 << 256 + 428 << 256;
        QTest::newRow("8240 unswapped") << 0x8240 << 448 << 448;
        QTest::newRow("last FEFF") << 0xFEFF << 24447 << 24447;
        QTest::newRow("8100") << 0x8100 << 0 << 0;
        QTest::newRow("813F") << 0x813F << 0 << 0;
        QTest::newRow("FE3F") << 0xFE3F << 0 << 0;
    }

    void rankOfCharacter()
    {
        QFETCH(int, value);
        QFETCH(int, mmvari);
        QFETCH(int, alternate);
        QCOMPARE(CMMVari::rankOfChar(quint16(value), true), mmvari);
        QCOMPARE(CMMVari::rankOfChar(quint16(value), false), alternate);
        QCOMPARE(CMMVari::instance().codeWord(quint16(value), true), CMMVari::instance().wordOfRank(mmvari));
    }

    void kanaSwapOnlyTradesPairs()
    {
        int moved = 0;
        for (int rank = 0; rank < CMMVari::kWordCount; ++rank) {
            const int swapped = CMMVari::kanaSwapRank(rank);
            QCOMPARE(CMMVari::kanaSwapRank(swapped), rank);
            moved += swapped != rank;
        }
        QCOMPARE(moved, 2 * 171);
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

    void decodeTableHoldsEveryByte()
    {
        Varicode::clearDecodeTable();
        for (int i = 0; i < Varicode::kDecodeTableSize; ++i)
            QCOMPARE(Varicode::decodeTable8(i), quint16(0));

        RecordingEncoder encoder;
        Varicode::fillDecodeTable(&encoder);
        QCOMPARE(int(encoder.offered.size()), 256);
        for (int c = 0; c < 256; ++c) {
            const quint32 w = Varicode::ascii8Word(c);
            QCOMPARE(encoder.offered[c], std::make_pair(w, c));
            QCOMPARE(Varicode::decodeTable8(int(w >> 1)), quint16(c));
        }
        int owned = 0;
        for (int i = -1; i <= Varicode::kDecodeTableSize; ++i)
            owned += Varicode::decodeTable8(i) != 0;
        QCOMPARE(owned, 255); // byte 0 owns its entry with the value 0
    }
};

QTEST_GUILESS_MAIN(TestVaricode)
#include "tst_varicode.moc"
