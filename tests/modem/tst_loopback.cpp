// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Transmitter to receiver through the real transceivers: every mode across
// the audio band, every character class of the three character sets, and the
// impairments of a real path (noise, a mistuned receiver, a sound card whose
// clock is off).

#include "app/codepage.h"
#include "modemtesthelpers.h"

#include <QTest>

using namespace ModemTest;

namespace {

QString printableAsciiText()
{
    QString s;
    for (char16_t c = 32; c < 127; ++c)
        s += QChar(c);
    // Line ends and tabs travel as characters of their own.
    return s + QStringLiteral("\r\n\tEND");
}

// The receiver shows double-byte values with the lead byte low (sending order
// in memory).
quint16 asReceived(quint16 value)
{
    return value < 256 ? value : quint16((value >> 8) | (value << 8));
}

bool containsSequence(const std::vector<quint16>& haystack, const std::vector<quint16>& needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

QString hexList(const std::vector<quint16>& v)
{
    QStringList parts;
    for (quint16 x : v)
        parts << QString::number(x, 16);
    return parts.join(QLatin1Char(' '));
}

} // namespace

class TestLoopback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void printableAscii_data();
    void printableAscii();
    void eightBitBytes_data();
    void eightBitBytes();
    void sixteenBitSets_data();
    void sixteenBitSets();
    void kanaSwapOnTheAir_data();
    void kanaSwapOnTheAir();
    void whiteNoise();
    void mistunedReceiverWithAfc_data();
    void mistunedReceiverWithAfc();
    void sampleClockError_data();
    void sampleClockError();

private:
    std::unique_ptr<SettingsSandbox> m_settings;
};

void TestLoopback::initTestCase()
{
    m_settings = std::make_unique<SettingsSandbox>();
    QVERIFY(m_settings->isValid());
}

void TestLoopback::cleanup()
{
    m_settings->setCharSet(0);
}

void TestLoopback::printableAscii_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("carrier");
    QTest::newRow("BPSK31 at 500 Hz") << "BPSK31" << 500.0;
    QTest::newRow("BPSK31 at 2500 Hz") << "BPSK31" << 2500.0;
    QTest::newRow("BPSK63 at 1200 Hz") << "BPSK63" << 1200.0;
    QTest::newRow("BPSK125 at 1875.5 Hz") << "BPSK125" << 1875.5;
    QTest::newRow("BPSK250 at 2500 Hz") << "BPSK250" << 2500.0;
    QTest::newRow("BPSK250 at 500 Hz") << "BPSK250" << 500.0;
    QTest::newRow("QPSK31 at 800 Hz") << "QPSK31" << 800.0;
    QTest::newRow("QPSK63 at 2300 Hz") << "QPSK63" << 2300.0;
    QTest::newRow("QPSK125 at 1500 Hz") << "QPSK125" << 1500.0;
    QTest::newRow("QPSK250 at 1000 Hz") << "QPSK250" << 1000.0;
}

void TestLoopback::printableAscii()
{
    QFETCH(QString, modeName);
    QFETCH(double, carrier);
    const Mode m = mode(modeName);
    const QString text = printableAsciiText();

    const RxResult rx = receive(m, transmit(m, text, carrier), {carrier, 11025.0, false});
    QVERIFY2(rx.text.contains(text), qPrintable(QStringLiteral("decoded: ") + rx.text));
}

void TestLoopback::eightBitBytes_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::newRow("BPSK125") << "BPSK125";
    QTest::newRow("QPSK63") << "QPSK63";
}

void TestLoopback::eightBitBytes()
{
    QFETCH(QString, modeName);
    const Mode m = mode(modeName);
    // Every byte of the upper half, as the characters of the local code page
    // that stand for them; they come back through the same code page.
    QString text;
    for (int b = 128; b < 256; ++b)
        text += CodePage::fromByte(quint8(b));
    text += QStringLiteral(" END");

    const RxResult rx = receive(m, transmit(m, text, 1500.0), {1500.0, 11025.0, false});
    QVERIFY2(rx.text.contains(text), qPrintable(QStringLiteral("decoded: ") + rx.text));
}

void TestLoopback::sixteenBitSets_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<int>("charSet");
    QTest::newRow("MMVari BPSK63") << "BPSK63" << 1;
    QTest::newRow("Alternate BPSK63") << "BPSK63" << 2;
    QTest::newRow("MMVari QPSK63") << "QPSK63" << 1;
    QTest::newRow("Alternate QPSK31") << "QPSK31" << 2;
}

void TestLoopback::sixteenBitSets()
{
    QFETCH(QString, modeName);
    QFETCH(int, charSet);
    const Mode m = mode(modeName);
    // ASCII, the byte range that trades words with the kana block in one of
    // the two sets, the kana block itself, ordinary double-byte values and the
    // very last one (a 21-bit word).
    const std::vector<quint16> sent = {'C',    'Q',    ' ',    0x80,   0xE9,   0xFF,   0x829F, 0x82F2,
                                       0x8340, 0x8396, 0x8140, 0x816A, 0x889F, 0x9FFC, 0xE040, 0xFEFF,
                                       ' ',    'K'};
    std::vector<quint16> expected;
    for (quint16 v : sent)
        expected.push_back(asReceived(v));

    m_settings->setCharSet(charSet);
    TextSource source(sent);
    const std::vector<qint16> audio = transmit(m, &source, 1000.0);
    const RxResult rx = receive(m, audio, {1000.0, 11025.0, false});
    QVERIFY2(containsSequence(rx.codes, expected), qPrintable(QStringLiteral("decoded: ") + hexList(rx.codes)));
}

void TestLoopback::kanaSwapOnTheAir_data()
{
    QTest::addColumn<int>("txSet");
    QTest::addColumn<int>("rxSet");
    QTest::addColumn<std::vector<quint16>>("sent");
    QTest::addColumn<std::vector<quint16>>("received");
    // "MMVari" gives the kana the short words that "Alternate" (and ASCII8)
    // use for the upper byte half, and the other way round; a station using
    // the other set reads the one as the other.
    const std::vector<quint16> kana = {0x829F, 0x82A0, 0x82F2, 0x8340, 0x8396};
    const std::vector<quint16> other = {0x80, 0x81, 0xD3, 0xD4, 0x816A};
    std::vector<quint16> kanaAsReceived;
    std::vector<quint16> otherAsReceived;
    for (size_t i = 0; i < kana.size(); ++i) {
        kanaAsReceived.push_back(asReceived(kana[i]));
        otherAsReceived.push_back(asReceived(other[i]));
    }
    QTest::newRow("MMVari kana read as Alternate") << 1 << 2 << kana << otherAsReceived;
    QTest::newRow("Alternate read as MMVari kana") << 2 << 1 << other << kanaAsReceived;
}

void TestLoopback::kanaSwapOnTheAir()
{
    QFETCH(int, txSet);
    QFETCH(int, rxSet);
    QFETCH(std::vector<quint16>, sent);
    QFETCH(std::vector<quint16>, received);
    const Mode m = mode(QStringLiteral("BPSK125"));

    m_settings->setCharSet(txSet);
    TextSource source(sent);
    const std::vector<qint16> audio = transmit(m, &source, 1000.0);
    m_settings->setCharSet(rxSet);
    const RxResult rx = receive(m, audio, {1000.0, 11025.0, false});
    QVERIFY2(containsSequence(rx.codes, received), qPrintable(QStringLiteral("decoded: ") + hexList(rx.codes)));
}

void TestLoopback::whiteNoise()
{
    // -6 dB in 2500 Hz is a weak but perfectly readable BPSK31 signal.
    const Mode m = mode(QStringLiteral("BPSK31"));
    const QString text = qsoText(520, 7);
    const std::vector<qint16> noisy = withNoise(transmit(m, text, 1000.0), -6.0, 11025.0, 12345);

    const RxResult rx = receive(m, noisy, {1000.0, 11025.0, true});
    const double cer = double(levenshtein(text, rx.text)) / text.size();
    QVERIFY2(cer < 0.01, qPrintable(QStringLiteral("character error rate %1, decoded: %2").arg(cer).arg(rx.text)));
}

void TestLoopback::mistunedReceiverWithAfc_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("settleSeconds");
    // An operator's click lands a few tens of hertz beside the trace: the
    // AFC must find the signal there and the text come through after a
    // short settling time.
    QTest::newRow("BPSK31 30 Hz high") << "BPSK31" << 30.0 << 3.0;
    QTest::newRow("BPSK31 30 Hz low") << "BPSK31" << -30.0 << 3.0;
    QTest::newRow("BPSK63 30 Hz low") << "BPSK63" << -30.0 << 3.0;
    QTest::newRow("BPSK125 30 Hz high") << "BPSK125" << 30.0 << 3.0;
    QTest::newRow("BPSK250 30 Hz low") << "BPSK250" << -30.0 << 3.0;
    QTest::newRow("QPSK31 30 Hz low") << "QPSK31" << -30.0 << 3.0;
    QTest::newRow("QPSK63 30 Hz high") << "QPSK63" << 30.0 << 3.0;
    QTest::newRow("QPSK125 30 Hz low") << "QPSK125" << -30.0 << 3.0;
    QTest::newRow("QPSK250 30 Hz high") << "QPSK250" << 30.0 << 3.0;
}

void TestLoopback::mistunedReceiverWithAfc()
{
    QFETCH(QString, modeName);
    QFETCH(double, offset);
    QFETCH(double, settleSeconds);
    const Mode m = mode(modeName);
    // Ordinary text while the receiver pulls in (about 9 bits a character),
    // then the text that must come through without a fault.
    const QString settle = qsoText(int(settleSeconds * m.baud() / 9.0), 5);
    const QString text = qsoText(int(2 * m.baud()), 3);
    const double carrier = 1500.0;

    const RxResult rx =
        receive(m, transmit(m, settle + QLatin1Char(' ') + text, carrier), {carrier - offset, 11025.0, true});
    QVERIFY2(rx.text.contains(text), qPrintable(QStringLiteral("decoded: ") + rx.text));
    // The receiver must have ended on the carrier.
    QVERIFY2(std::abs(rx.finalFrequency - carrier) < 1.0,
             qPrintable(QStringLiteral("receiver ended at %1 Hz").arg(rx.finalFrequency)));
}

void TestLoopback::sampleClockError_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("ppm");
    QTest::newRow("BPSK31 300 ppm fast") << "BPSK31" << 300.0;
    QTest::newRow("BPSK31 300 ppm slow") << "BPSK31" << -300.0;
    QTest::newRow("QPSK31 300 ppm fast") << "QPSK31" << 300.0;
    QTest::newRow("BPSK250 300 ppm fast") << "BPSK250" << 300.0;
}

void TestLoopback::sampleClockError()
{
    QFETCH(QString, modeName);
    QFETCH(double, ppm);
    const Mode m = mode(modeName);
    // About 3500 symbols: at 300 ppm the clocks drift apart by more than a
    // whole symbol over the transmission.
    const QString text = qsoText(350, 11);

    // The transmitting card believes it runs at 11025 but its samples are
    // played ppm faster; the receiving card is exact.
    const double trueRate = 11025.0 * (1.0 + ppm * 1e-6);
    const std::vector<qint16> audio = transmit(m, text, 1000.0, 11025.0 * 11025.0 / trueRate);
    const RxResult rx = receive(m, audio, {1000.0, 11025.0, true});
    QVERIFY2(rx.text.contains(text), qPrintable(QStringLiteral("decoded: ") + rx.text));
}

QTEST_GUILESS_MAIN(TestLoopback)
#include "tst_loopback.moc"
