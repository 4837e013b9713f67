// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/codepage.h"
#include "app/settings.h"
#include "modem/pskdecode.h"
#include "modem/pskinterfaces.h"
#include "modem/pskrxalgorithms.h"
#include "modem/varicode.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

const double kPi = std::acos(-1.0);

// Published PSK31 Varicode of the characters the test texts use.
const std::map<char, const char*> kVaricode = {
    {' ', "1"},         {'e', "11"},       {'t', "101"},      {'s', "10111"},     {'r', "10101"},
    {'d', "101101"},    {'C', "10101101"}, {'Q', "111011101"}, {'V', "110110101"}, {'K', "101111101"},
    {'2', "11101101"},  {'X', "101110101"}, {'Y', "101111011"}, {'Z', "1010101101"}, {':', "11110101"},
    {'7', "110101101"}, {'3', "11111111"},
};

// The transmitter's QPSK convolutional code: phase step of each 5-bit state.
const int kQpskSteps[32] = {0, 3, 1, 2, 1, 2, 0, 3, 2, 1, 3, 0, 3, 0, 2, 1,
                            3, 0, 2, 1, 2, 1, 3, 0, 1, 2, 0, 3, 0, 3, 1, 2};

// Idle zeros, then every character as 00 and its word, then idle zeros.
std::vector<int> textBits(const QByteArray& text)
{
    std::vector<int> bits(40, 0);
    for (char c : text) {
        bits.insert(bits.end(), {0, 0});
        for (const char* b = kVaricode.at(c); *b; ++b)
            bits.push_back(*b - '0');
    }
    bits.insert(bits.end(), 40, 0);
    return bits;
}

// Phase of each symbol in quarter turns.
std::vector<int> bpskPhases(const std::vector<int>& bits)
{
    std::vector<int> phases;
    int phase = 0;
    for (int b : bits)
        phases.push_back(phase = (phase + (b ? 0 : 2)) % 4);
    return phases;
}

std::vector<int> qpskPhases(const std::vector<int>& bits)
{
    std::vector<int> phases;
    int phase = 0;
    int state = 31;
    for (int b : bits) {
        state = ((state << 1) | (1 - b)) & 31;
        phases.push_back(phase = (phase + kQpskSteps[state]) % 4);
    }
    return phases;
}

// Raised-cosine PSK after a second of silence: each symbol fades from the
// previous phase to its own, the first one from no carrier.
// mirror = -1 is the same signal on the opposite sideband.
std::vector<qint16> pskSignal(const std::vector<int>& phases, double rate, double baud, double fq,
                              int mirror = 1, double noise = 0)
{
    std::mt19937 rng(11);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    const double samplesPerSymbol = rate / baud;
    const size_t lead = size_t(rate);
    std::vector<qint16> out(lead + size_t(phases.size() * samplesPerSymbol));
    for (size_t n = lead; n < out.size(); ++n) {
        const double t = (n - lead) / samplesPerSymbol;
        const size_t k = std::min(size_t(t), phases.size() - 1);
        const double wPrev = 0.5 * (1 + std::cos(kPi * (t - k)));
        const double w = 2 * kPi * fq * n / rate;
        const double prev = k ? std::cos(w + mirror * phases[k - 1] * kPi / 2) : 0.0;
        const double cur = std::cos(w + mirror * phases[k] * kPi / 2);
        out[n] = qint16(std::lround(9000 * (wPrev * prev + (1 - wPrev) * cur)));
    }
    if (noise > 0) {
        for (auto& x : out)
            x = qint16(std::clamp(std::lround(x + gauss(rng)), -32768L, 32767L));
    }
    return out;
}

class TextSink : public CPskRecCharDone, public CSymbolReceiver
{
public:
    QString text;
    std::vector<quint16> codes;
    int lastAngle = 0;
    int lastAmplitude = 0;
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
};

void feedBits(CPskBitDecode& decoder, const QByteArray& bits)
{
    for (char b : bits)
        decoder.ReceiveBit(b - '0');
}

// Symbol vector at an angle (degrees) of size 1e8, about a strong signal.
void sendAngle(CPskBitDecode& decoder, double deg)
{
    const double r = deg * kPi / 180.0;
    decoder.ReceiveSymbol(int(1e8 * std::cos(r)), int(1e8 * std::sin(r)), 40);
}

QString decodeSignal(const std::vector<qint16>& samples, double rate, double baud, double fq, bool qpsk,
                     bool inversion)
{
    CPskRxAlgorithms rx;
    std::unique_ptr<CBpskDecode> decoder(qpsk ? new CQpskDecode : new CBpskDecode);
    if (qpsk)
        static_cast<CQpskDecode*>(decoder.get())->setInversion(inversion);
    Varicode::fillDecodeTable(nullptr);
    TextSink sink;
    decoder->setCharSink(&sink);
    rx.setSymbolSink(decoder.get());
    rx.setSampleRate(rate);
    rx.SetBaud(baud);
    rx.setFrequency(fq);
    for (size_t at = 0; at < samples.size(); at += 4096)
        rx.ProcessSamples(samples.data() + at, int(std::min<size_t>(4096, samples.size() - at)));
    return sink.text;
}

} // namespace

class TestDecoders : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("dec.ini")));
    }

    void ascii8Words_data()
    {
        QTest::addColumn<QByteArray>("bits");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("zeroRun");
        QTest::newRow("space") << QByteArray("100") << QStringLiteral(" ") << 2;
        QTest::newRow("e") << QByteArray("1100") << QStringLiteral("e") << 2;
        QTest::newRow("idle zeros") << QByteArray("00000000") << QString() << 8;
        QTest::newRow("one zero is not the end") << QByteArray("110") << QString() << 1;
        QTest::newRow("two words") << QByteArray("0011001010011") << QStringLiteral("et") << 0;
        QTest::newRow("byte 255") << QByteArray("10110101101100") << QString(CodePage::fromByte(255)) << 2;
        QTest::newRow("byte 128") << QByteArray("111011110100") << QString(CodePage::fromByte(128)) << 2;
        QTest::newRow("word no byte owns") << QByteArray("10110101110100") << QString(QChar(0)) << 2;
        QTest::newRow("word too long") << QByteArray("11111111111100") << QString() << 2;
    }
    void ascii8Words()
    {
        QFETCH(QByteArray, bits);
        QFETCH(QString, text);
        QFETCH(int, zeroRun);
        CBpskDecode decoder;
        Varicode::fillDecodeTable(nullptr);
        TextSink sink;
        decoder.setCharSink(&sink);
        feedBits(decoder, bits);
        QCOMPARE(sink.text, text);
        QCOMPARE(decoder.zeroRun(), zeroRun);
        QVERIFY(sink.codes.empty());
    }

    void sixteenBitWords_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<QByteArray>("bits");
        QTest::addColumn<int>("value");
        QTest::newRow("Alternate e") << 2 << QByteArray("1100") << 0x65;
        QTest::newRow("Alternate 80h") << 2 << QByteArray("111011110100") << 0x80;
        // 829Fh, lead byte in the low 8 bits.
        QTest::newRow("MMVari kana") << 1 << QByteArray("111011110100") << 0x9F82;
        QTest::newRow("not in the list") << 1 << QByteArray(22, '1') + "00" << 0x20;
    }
    void sixteenBitWords()
    {
        QFETCH(int, set);
        QFETCH(QByteArray, bits);
        QFETCH(int, value);
        CBpskDecode decoder;
        decoder.setCharSet(set);
        TextSink sink;
        decoder.setCharSink(&sink);
        feedBits(decoder, bits);
        QCOMPARE(sink.codes.size(), size_t(1));
        QCOMPARE(int(sink.codes[0]), value);
        QVERIFY(sink.text.isEmpty());
    }

    void integerAngleFollowsAtan2()
    {
        for (double scale : {300.0, 5e4, 2e9}) {
            for (int deg10 = 0; deg10 < 3600; ++deg10) {
                const double r = deg10 * kPi / 1800.0;
                const int i = int(scale * std::cos(r));
                const int q = int(scale * std::sin(r));
                const double exact = std::atan2(double(q), double(i)) * 65536.0 / (2 * kPi);
                const double diff = std::remainder(CBpskDecode::integerAngle(i, q) - exact, 65536.0);
                // Within one step of the table (atan(1/256), 40.7 units).
                QVERIFY2(std::abs(diff) <= 41, qPrintable(QStringLiteral("%1 %2").arg(i).arg(q)));
            }
        }
        QCOMPARE(int(CBpskDecode::integerAngle(0, 0)), 0);
    }

    void bpskIdleGivesZeros()
    {
        BitRecorder<CBpskDecode> decoder;
        TextSink sink;
        decoder.setCharSink(&sink);
        for (int k = 1; k <= 40; ++k) {
            sendAngle(decoder, 180.0 * k);
            QCOMPARE(decoder.zeroRun(), k);
            if (k == 20)
                QCOMPARE(decoder.quality(), 31);
        }
        QVERIFY(std::all_of(decoder.bits.begin(), decoder.bits.end(), [](int b) { return b == 0; }));
        QVERIFY(sink.text.isEmpty());
    }

    void bpskQualityFallsWithPhaseError_data()
    {
        QTest::addColumn<double>("error");
        QTest::addColumn<int>("least");
        QTest::addColumn<int>("most");
        QTest::newRow("10 degrees") << 10.0 << 31 << 31;
        QTest::newRow("25 degrees") << 25.0 << 1 << 30;
        QTest::newRow("60 degrees") << 60.0 << 0 << 0;
    }
    void bpskQualityFallsWithPhaseError()
    {
        QFETCH(double, error);
        QFETCH(int, least);
        QFETCH(int, most);
        CBpskDecode decoder;
        for (int k = 0; k < 41; ++k)
            sendAngle(decoder, 180.0 * k + (k % 2 ? error : 0));
        QVERIFY2(decoder.quality() >= least && decoder.quality() <= most,
                 qPrintable(QString::number(decoder.quality())));
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
        // Whatever arrives, the start values decide the first 16 bits; silence,
        // a steady carrier and idle keep to 0 for the whole 20-symbol delay.
        std::mt19937 rng(3);
        for (int run = 0; run < 200; ++run) {
            BitRecorder<CQpskDecode> decoder;
            for (int pass = 0; pass < 2; ++pass) {
                decoder.bits.clear();
                const int kind = run % 4;
                const int count = kind == 3 ? 16 : 20;
                for (int k = 0; k < count; ++k) {
                    if (kind == 0)
                        decoder.ReceiveSymbol(0, 0, 30);
                    else
                        sendAngle(decoder, kind == 1 ? 0.0 : kind == 2 ? 180.0 * k : 90.0 * (rng() % 4));
                }
                QVERIFY(std::all_of(decoder.bits.begin(), decoder.bits.end(), [](int b) { return b == 0; }));
                decoder.Reset();
            }
        }
    }

    void qpskViterbiCorrectsSymbolErrors_data()
    {
        QTest::addColumn<int>("mirror");
        QTest::addColumn<bool>("inversion");
        QTest::newRow("same sideband") << 1 << false;
        QTest::newRow("opposite sideband, inverted") << -1 << true;
    }
    void qpskViterbiCorrectsSymbolErrors()
    {
        QFETCH(int, mirror);
        QFETCH(bool, inversion);
        std::mt19937 rng(5);
        std::vector<int> bits(40, 0);
        for (int k = 0; k < 400; ++k)
            bits.push_back(int(rng() & 1));
        bits.insert(bits.end(), 30, 0);
        const std::vector<int> phases = qpskPhases(bits);
        BitRecorder<CQpskDecode> decoder;
        decoder.setInversion(inversion);
        for (size_t k = 0; k < phases.size(); ++k) {
            // One symbol in 25 a quarter turn off; the receiver sees the
            // transmitter's phase mirrored.
            const int wrong = k % 25 == 12 ? 1 : 0;
            sendAngle(decoder, -mirror * 90.0 * (phases[k] + wrong));
        }
        QCOMPARE(decoder.bits.size(), bits.size());
        for (size_t k = 20; k < bits.size(); ++k)
            QVERIFY2(decoder.bits[k] == bits[k - 20], qPrintable(QString::number(k)));
    }

    void textThroughTheReceiver_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("baud");
        QTest::addColumn<double>("txBaud");
        QTest::addColumn<double>("txFq");
        QTest::addColumn<bool>("qpsk");
        QTest::addColumn<int>("mirror");
        QTest::addColumn<bool>("inversion");
        QTest::addColumn<double>("noise");
        QTest::addColumn<bool>("decodes");
        const auto row = [](const char* name, double rate, double baud, double txBaud, double txFq, bool qpsk,
                            int mirror, bool inversion, double noise, bool decodes) {
            QTest::newRow(name) << rate << baud << txBaud << txFq << qpsk << mirror << inversion << noise << decodes;
        };
        // The receiver listens at 1000 Hz.
        row("BPSK31", 11025, 31.25, 31.25, 1000, false, 1, false, 0, true);
        row("BPSK63 at 8000", 8000, 62.5, 62.5, 1000, false, 1, false, 0, true);
        row("BPSK125 at 48000", 48000, 125, 125, 1000, false, 1, false, 0, true);
        row("BPSK250", 11025, 250, 250, 1000, false, 1, false, 0, true);
        row("BPSK31, clock 1% off", 11025, 31.25, 31.5625, 1000, false, 1, false, 0, true);
        row("BPSK31, 3 Hz off", 11025, 31.25, 31.25, 1003, false, 1, false, 0, true);
        row("BPSK31 in noise", 11025, 31.25, 31.25, 1000, false, 1, false, 15000, true);
        row("QPSK31", 11025, 31.25, 31.25, 1000, true, 1, false, 0, true);
        row("QPSK63 opposite sideband, inverted", 11025, 62.5, 62.5, 1000, true, -1, true, 0, true);
        row("QPSK31 opposite sideband, not inverted", 11025, 31.25, 31.25, 1000, true, -1, false, 0, false);
        row("QPSK31 same sideband, inverted", 11025, 31.25, 31.25, 1000, true, 1, true, 0, false);
    }
    void textThroughTheReceiver()
    {
        QFETCH(double, rate);
        QFETCH(double, baud);
        QFETCH(double, txBaud);
        QFETCH(double, txFq);
        QFETCH(bool, qpsk);
        QFETCH(int, mirror);
        QFETCH(bool, inversion);
        QFETCH(double, noise);
        QFETCH(bool, decodes);
        const QByteArray text("CQ de VK2XYZ: test 73");
        const std::vector<int> bits = textBits(text);
        const auto phases = qpsk ? qpskPhases(bits) : bpskPhases(bits);
        const auto samples = pskSignal(phases, rate, txBaud, txFq, mirror, noise);
        const QString got = decodeSignal(samples, rate, baud, 1000, qpsk, inversion);
        // The start of a signal, or noise before it, may decode as a stray
        // character or two; the text itself must come out exactly.
        const int stray = noise > 0 ? 10 : 2;
        if (decodes)
            QVERIFY2(got.endsWith(QString::fromLatin1(text)) && got.size() <= text.size() + stray, qPrintable(got));
        else
            QVERIFY2(!got.contains(QLatin1String("VK2XYZ")), qPrintable(got));
    }
};

QTEST_GUILESS_MAIN(TestDecoders)
#include "tst_decoders.moc"
