// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The bit decoders: Varicode word assembly, BPSK quality, QPSK Viterbi.
#include "core/codepage.h"
#include "modemtesthelpers.h"
#include "modem/pskdecode.h"
#include "modem/pskinterfaces.h"
#include "modem/varicode.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// The transmitter's QPSK convolutional code: phase step of each 5-bit state.
const int kQpskSteps[32] = {0, 3, 1, 2, 1, 2, 0, 3, 2, 1, 3, 0, 3, 0, 2, 1,
                            3, 0, 2, 1, 2, 1, 3, 0, 1, 2, 0, 3, 0, 3, 1, 2};

// Characters, and the values of the 16-bit sets as characters too.
class TextSink : public CPskRecCharDone
{
public:
    QString text;
    void CharReceived(int, QChar ch) override { text += ch; }
    void CodeReceived(int, quint16 value) override { text += QChar(value); }
};

class BitRecorder : public CQpskDecode
{
public:
    std::vector<int> bits;
    void ReceiveBit(int bit) override
    {
        bits.push_back(bit);
        CQpskDecode::ReceiveBit(bit);
    }
};

} // namespace

class TestDecoders : public QObject
{
    Q_OBJECT
    ModemTest::SettingsSandbox m_settings;

private slots:
    void wordAssembly_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<QByteArray>("bits");
        QTest::addColumn<QString>("text");
        QTest::newRow("space") << 0 << QByteArray("100") << QStringLiteral(" ");
        QTest::newRow("two words") << 0 << QByteArray("0011001010011") << QStringLiteral("et");
        QTest::newRow("byte 255") << 0 << QByteArray("10110101101100") << QString(CodePage::fromByte(255));
        QTest::newRow("word too long") << 0 << QByteArray("11111111111100") << QString();
        QTest::newRow("MMVari kana 829F, lead byte low") << 1 << QByteArray("111011110100") << QString(QChar(0x9F82));
        QTest::newRow("not in the list") << 1 << QByteArray(21, '1') + "00" << QStringLiteral(" ");
        // A steady carrier: longer than any word, so no character.
        QTest::newRow("longer than a word") << 1 << QByteArray(24, '1') + "00" << QString();
    }
    void wordAssembly()
    {
        QFETCH(int, set);
        QFETCH(QByteArray, bits);
        QFETCH(QString, text);
        CBpskDecode decoder;
        decoder.setCharSet(set);
        Varicode::fillDecodeTable(nullptr);
        TextSink sink;
        decoder.setCharSink(&sink);
        for (char b : bits)
            decoder.ReceiveBit(b - '0');
        QCOMPARE(sink.text, text);
    }

    void qpskViterbiCorrectsSymbolErrors()
    {
        std::mt19937 rng(5);
        std::vector<int> bits(40, 0);
        for (int k = 0; k < 400; ++k)
            bits.push_back(int(rng() & 1));
        bits.insert(bits.end(), 30, 0);
        BitRecorder decoder;
        int phase = 0, state = 31;
        for (size_t k = 0; k < bits.size(); ++k) {
            state = ((state << 1) | (1 - bits[k])) & 31;
            phase = (phase + kQpskSteps[state]) % 4;
            // One symbol in 25 a quarter turn off; the receiver sees the phase mirrored.
            const double deg = -90.0 * (phase + (k % 25 == 12));
            decoder.ReceiveSymbol(int(1e8 * std::cos(deg * M_PI / 180.0)), int(1e8 * std::sin(deg * M_PI / 180.0)), 40);
        }
        QCOMPARE(decoder.bits.size(), bits.size());
        // 20 symbols of decoding delay.
        QVERIFY(std::equal(bits.begin(), bits.end() - 20, decoder.bits.begin() + 20));
    }
};

QTEST_GUILESS_MAIN(TestDecoders)
#include "tst_decoders.moc"
