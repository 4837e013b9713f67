// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The bit decoders: Varicode word assembly, BPSK quality and AFC, QPSK Viterbi and inversion, the scope.
#include "core/codepage.h"
#include "core/settings.h"
#include "modem/pskdecode.h"
#include "modem/pskinterfaces.h"
#include "modem/varicode.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace {

// The transmitter's QPSK convolutional code: phase step of each 5-bit state.
const int kQpskSteps[32] = {0, 3, 1, 2, 1, 2, 0, 3, 2, 1, 3, 0, 3, 0, 2, 1,
                            3, 0, 2, 1, 2, 1, 3, 0, 1, 2, 0, 3, 0, 3, 1, 2};

class TextSink : public CPskRecCharDone, public CSymbolReceiver
{
public:
    QString text;
    std::vector<quint16> codes;
    int lastAngle = 0, lastAmplitude = 0;
    void CharReceived(int, QChar ch) override { text += ch; }
    void CodeReceived(int, quint16 value) override { codes.push_back(value); }
    void SymbolReceived(int, int angle, int amplitude) override
    {
        lastAngle = angle;
        lastAmplitude = amplitude;
    }
};

template <class Base>
class BitRecorder : public Base
{
public:
    std::vector<int> bits;
    void ReceiveBit(int bit) override
    {
        bits.push_back(bit);
        Base::ReceiveBit(bit);
    }
    bool allZero() const { return std::all_of(bits.begin(), bits.end(), [](int b) { return b == 0; }); }
};

// A strong symbol vector at an angle in degrees.
void sendAngle(CPskBitDecode& decoder, double deg)
{
    decoder.ReceiveSymbol(int(1e8 * std::cos(deg * M_PI / 180.0)), int(1e8 * std::sin(deg * M_PI / 180.0)), 40);
}

} // namespace

class TestDecoders : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("dec.ini")));
    }

    void wordAssembly_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<QByteArray>("bits");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("zeroRun"); // ASCII8; the 16-bit sets give one code
        QTest::addColumn<int>("code");
        QTest::newRow("space") << 0 << QByteArray("100") << QStringLiteral(" ") << 2 << -1;
        QTest::newRow("e") << 0 << QByteArray("1100") << QStringLiteral("e") << 2 << -1;
        QTest::newRow("idle zeros") << 0 << QByteArray("00000000") << QString() << 8 << -1;
        QTest::newRow("one zero is not the end") << 0 << QByteArray("110") << QString() << 1 << -1;
        QTest::newRow("two words") << 0 << QByteArray("0011001010011") << QStringLiteral("et") << 0 << -1;
        QTest::newRow("byte 255") << 0 << QByteArray("10110101101100") << QString(CodePage::fromByte(255)) << 2 << -1;
        QTest::newRow("byte 128") << 0 << QByteArray("111011110100") << QString(CodePage::fromByte(128)) << 2 << -1;
        QTest::newRow("word no byte owns") << 0 << QByteArray("10110101110100") << QString(QChar(0)) << 2 << -1;
        QTest::newRow("word too long") << 0 << QByteArray("11111111111100") << QString() << 2 << -1;
        QTest::newRow("Alternate e") << 2 << QByteArray("1100") << QString() << 0 << 0x65;
        QTest::newRow("Alternate 80h") << 2 << QByteArray("111011110100") << QString() << 0 << 0x80;
        QTest::newRow("MMVari kana 829F, lead byte low") << 1 << QByteArray("111011110100") << QString() << 0 << 0x9F82;
        QTest::newRow("not in the list") << 1 << QByteArray(21, '1') + "00" << QString() << 0 << 0x20;
        // A steady carrier: longer than any word, so no character.
        QTest::newRow("longer than a word") << 1 << QByteArray(24, '1') + "00" << QString() << 0 << -1;
    }
    void wordAssembly()
    {
        QFETCH(int, set);
        QFETCH(QByteArray, bits);
        QFETCH(QString, text);
        QFETCH(int, zeroRun);
        QFETCH(int, code);
        CBpskDecode decoder;
        decoder.setCharSet(set);
        if (set == 0)
            Varicode::fillDecodeTable(nullptr);
        TextSink sink;
        decoder.setCharSink(&sink);
        for (char b : bits)
            decoder.ReceiveBit(b - '0');
        QCOMPARE(sink.text, text);
        if (set == 0) {
            QCOMPARE(decoder.zeroRun(), zeroRun);
            QVERIFY(sink.codes.empty());
        } else {
            QCOMPARE(sink.codes, code < 0 ? std::vector<quint16>() : std::vector<quint16>{quint16(code)});
        }
    }

    void integerAngleFollowsAtan2()
    {
        for (double scale : {300.0, 5e4, 2e9}) {
            for (int deg10 = 0; deg10 < 3600; ++deg10) {
                const int i = int(scale * std::cos(deg10 * M_PI / 1800.0));
                const int q = int(scale * std::sin(deg10 * M_PI / 1800.0));
                const double exact = std::atan2(double(q), double(i)) * 65536.0 / (2 * M_PI);
                // Within one step of the table (atan(1/256), 40.7 units).
                QVERIFY(std::abs(std::remainder(CBpskDecode::integerAngle(i, q) - exact, 65536.0)) <= 41);
            }
        }
        QCOMPARE(int(CBpskDecode::integerAngle(0, 0)), 0);
    }

    void bpskQualityAndZeroRun_data()
    {
        QTest::addColumn<double>("error");
        QTest::addColumn<int>("least");
        QTest::addColumn<int>("most");
        QTest::newRow("clean") << 0.0 << 31 << 31;
        QTest::newRow("10 degrees") << 10.0 << 31 << 31;
        QTest::newRow("25 degrees") << 25.0 << 1 << 30;
        QTest::newRow("60 degrees") << 60.0 << 0 << 0;
    }
    void bpskQualityAndZeroRun()
    {
        QFETCH(double, error);
        QFETCH(int, least);
        QFETCH(int, most);
        BitRecorder<CBpskDecode> decoder;
        TextSink sink;
        decoder.setCharSink(&sink);
        for (int k = 1; k <= 41; ++k) {
            sendAngle(decoder, 180.0 * k + (k % 2 ? 0 : error));
            if (error == 0.0) // the first symbol has none before it to differ from
                QCOMPARE(decoder.zeroRun(), k - 1);
        }
        QVERIFY2(decoder.quality() >= least && decoder.quality() <= most, qPrintable(QString::number(decoder.quality())));
        QVERIFY(error > 0 || (decoder.allZero() && sink.text.isEmpty()));
    }

    void bpskAfcSettlesAtTwoThirdsOfTheDrift_data()
    {
        QTest::addColumn<double>("drift");
        QTest::addColumn<int>("bit");
        QTest::newRow("idle, +12 degrees") << 12.0 << 0;
        QTest::newRow("idle, -40 degrees") << -40.0 << 0;
        QTest::newRow("ones, +60 degrees") << 60.0 << 1;
    }
    void bpskAfcSettlesAtTwoThirdsOfTheDrift()
    {
        QFETCH(double, drift);
        QFETCH(int, bit);
        BitRecorder<CBpskDecode> decoder;
        for (int k = 0; k < 600; ++k)
            sendAngle(decoder, k * (drift + (bit ? 0.0 : 180.0)));
        const double expected = 2.0 / 3.0 * drift / 180.0 * 2147483648.0;
        QVERIFY2(std::abs(decoder.afcAccumulator() - expected) < 0.02 * std::abs(expected),
                 qPrintable(QString::number(decoder.afcAccumulator())));
        QVERIFY(std::all_of(decoder.bits.begin() + 1, decoder.bits.end(), [&](int b) { return b == bit; }));
    }

    void scopeGetsPhaseChangeAndLevel()
    {
        CBpskDecode bpsk;
        CQpskDecode qpsk;
        TextSink sink;
        for (CBpskDecode* decoder : {&bpsk, static_cast<CBpskDecode*>(&qpsk)}) {
            decoder->setSymbolSink(&sink);
            sendAngle(*decoder, 10.0);
            sendAngle(*decoder, 100.0);
            QVERIFY2(std::abs(sink.lastAngle - (1 << 30)) < (1 << 20), qPrintable(QString::number(sink.lastAngle)));
            sendAngle(*decoder, -80.0); // a half turn: either sign will do
            QVERIFY(std::abs(std::abs(double(sink.lastAngle)) - 2147483648.0) < (1 << 20));
        }
        // Two decades of power per tenfold amplitude, in hundredths; never below 10.
        bpsk.ReceiveSymbol(30000, 0, 0);
        const int low = sink.lastAmplitude;
        bpsk.ReceiveSymbol(300000, 0, 0);
        QVERIFY(std::abs(sink.lastAmplitude - low - 200) <= 1);
        bpsk.ReceiveSymbol(0, 0, 0);
        QCOMPARE(sink.lastAmplitude, 10);
        bpsk.ReceiveSymbol(10, -10, 0);
        QCOMPARE(sink.lastAmplitude, 10);
    }

    void qpskStartsWithZeroBits()
    {
        // The start values decide the first 16 bits whatever arrives; silence,
        // a steady carrier and idle keep to 0 for the whole 20-symbol delay.
        std::mt19937 rng(3);
        for (int run = 0; run < 200; ++run) {
            BitRecorder<CQpskDecode> decoder;
            for (int pass = 0; pass < 2; ++pass) {
                decoder.bits.clear();
                const int kind = run % 4;
                for (int k = 0; k < (kind == 3 ? 16 : 20); ++k) {
                    if (kind == 0)
                        decoder.ReceiveSymbol(0, 0, 30);
                    else
                        sendAngle(decoder, kind == 1 ? 0.0 : kind == 2 ? 180.0 * k : 90.0 * (rng() % 4));
                }
                QVERIFY(decoder.allZero());
                decoder.Reset();
            }
        }
    }

    void qpskViterbiCorrectsSymbolErrors_data()
    {
        QTest::addColumn<int>("mirror");
        QTest::addColumn<bool>("inversion");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("same sideband") << 1 << false << true;
        QTest::newRow("opposite sideband, inverted") << -1 << true << true;
        QTest::newRow("opposite sideband, not inverted") << -1 << false << false;
    }
    void qpskViterbiCorrectsSymbolErrors()
    {
        QFETCH(int, mirror);
        QFETCH(bool, inversion);
        QFETCH(bool, decodes);
        std::mt19937 rng(5);
        std::vector<int> bits(40, 0);
        for (int k = 0; k < 400; ++k)
            bits.push_back(int(rng() & 1));
        bits.insert(bits.end(), 30, 0);
        BitRecorder<CQpskDecode> decoder;
        decoder.setInversion(inversion);
        int phase = 0, state = 31;
        for (size_t k = 0; k < bits.size(); ++k) {
            state = ((state << 1) | (1 - bits[k])) & 31;
            phase = (phase + kQpskSteps[state]) % 4;
            // One symbol in 25 a quarter turn off; the receiver sees the phase mirrored.
            sendAngle(decoder, -mirror * 90.0 * (phase + (k % 25 == 12)));
        }
        QCOMPARE(decoder.bits.size(), bits.size());
        int wrong = 0;
        for (size_t k = 20; k < bits.size(); ++k)
            wrong += decoder.bits[k] != bits[k - 20];
        QVERIFY2(decodes ? wrong == 0 : wrong > 50, qPrintable(QString::number(wrong)));
    }
};

QTEST_GUILESS_MAIN(TestDecoders)
#include "tst_decoders.moc"
