// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Transmitter to receiver through the real transceivers: modes, carriers, character sets, noise, clock error.

#include "core/codepage.h"
#include "modemtesthelpers.h"

#include <QTest>

using namespace ModemTest;

namespace {

// Received double-byte values keep sending order: lead byte low.
std::vector<quint16> asReceived(std::vector<quint16> values)
{
    for (quint16& v : values)
        v = v < 256 ? v : quint16((v >> 8) | (v << 8));
    return values;
}

} // namespace

class TestLoopback : public QObject
{
    Q_OBJECT
    SettingsSandbox m_settings;

private slots:
    void initTestCase() { QVERIFY(m_settings.isValid()); }

    void text_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("carrier");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("silence"); // seconds before the transmission
        QTest::addColumn<QString>("text");
        QString ascii, upper;
        for (char16_t c = 32; c < 127; ++c)
            ascii += QChar(c);
        ascii += QStringLiteral("\r\n\tEND");
        for (int b = 128; b < 256; ++b)
            upper += CodePage::fromByte(quint8(b));
        upper += QStringLiteral(" END");
        QTest::newRow("BPSK31 at 500 Hz") << "BPSK31" << 500.0 << 11025.0 << 0.0 << ascii;
        QTest::newRow("BPSK63 at 1200 Hz") << "BPSK63" << 1200.0 << 11025.0 << 0.5 << ascii;
        QTest::newRow("BPSK125 at 1875.5 Hz") << "BPSK125" << 1875.5 << 11025.0 << 0.0 << ascii;
        QTest::newRow("BPSK250 at 2500 Hz") << "BPSK250" << 2500.0 << 11025.0 << 0.5 << ascii;
        QTest::newRow("QPSK31 at 800 Hz") << "QPSK31" << 800.0 << 11025.0 << 0.5 << ascii;
        QTest::newRow("QPSK63 at 2300 Hz") << "QPSK63" << 2300.0 << 11025.0 << 0.0 << ascii;
        QTest::newRow("QPSK250 at 1000 Hz") << "QPSK250" << 1000.0 << 11025.0 << 0.5 << ascii;
        QTest::newRow("ASCII8 upper half, BPSK125") << "BPSK125" << 1500.0 << 11025.0 << 0.5 << upper;
        QTest::newRow("ASCII8 upper half, QPSK63") << "QPSK63" << 1500.0 << 11025.0 << 0.0 << upper;
        // Full scale at the top rates: the filter sums need more than 32 bits.
        QTest::newRow("BPSK31 at 56000/s") << "BPSK31" << 1000.0 << 56000.0 << 0.5 << QStringLiteral("73 de K1ABC");
        QTest::newRow("QPSK63 at 64000/s") << "QPSK63" << 1000.0 << 64000.0 << 0.0 << QStringLiteral("73 de K1ABC");
    }
    void text()
    {
        QFETCH(QString, modeName);
        QFETCH(double, carrier);
        QFETCH(double, rate);
        QFETCH(double, silence);
        QFETCH(QString, text);
        m_settings.setCharSet(0);
        const Mode m = mode(modeName);
        std::vector<qint16> audio(size_t(silence * rate), 0);
        const std::vector<qint16> tx = transmit(m, text, carrier, rate);
        audio.insert(audio.end(), tx.begin(), tx.end());
        // Nothing before the text: the key-up is no character.
        const RxResult rx = receive(m, audio, {carrier, rate, false});
        QVERIFY2(rx.text.startsWith(text), qPrintable(QStringLiteral("decoded: ") + rx.text));
    }

    void sixteenBitSets_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<int>("txSet");
        QTest::addColumn<int>("rxSet");
        QTest::addColumn<std::vector<quint16>>("sent");
        QTest::addColumn<std::vector<quint16>>("received");
        // ASCII, the bytes that trade words with the kana in one set, the kana,
        // other double bytes and the last (21-bit) word.
        const std::vector<quint16> all = {'C',    'Q',    ' ',    0x80,   0xE9,   0xFF,   0x829F, 0x82F2, 0x8340,
                                          0x8396, 0x8140, 0x816A, 0x889F, 0x9FFC, 0xE040, 0xFEFF, ' ',    'K'};
        QTest::newRow("MMVari BPSK63") << "BPSK63" << 1 << 1 << all << asReceived(all);
        QTest::newRow("Alternate BPSK63") << "BPSK63" << 2 << 2 << all << asReceived(all);
        QTest::newRow("MMVari QPSK63") << "QPSK63" << 1 << 1 << all << asReceived(all);
        QTest::newRow("Alternate QPSK31") << "QPSK31" << 2 << 2 << all << asReceived(all);
        // Each set reads the other's kana as the upper byte half and back.
        const std::vector<quint16> kana = {0x829F, 0x82A0, 0x82F2, 0x8340, 0x8396};
        const std::vector<quint16> other = {0x80, 0x81, 0xD3, 0xD4, 0x816A};
        QTest::newRow("MMVari kana read as Alternate") << "BPSK125" << 1 << 2 << kana << asReceived(other);
        QTest::newRow("Alternate read as MMVari kana") << "BPSK125" << 2 << 1 << other << asReceived(kana);
    }
    void sixteenBitSets()
    {
        QFETCH(QString, modeName);
        QFETCH(int, txSet);
        QFETCH(int, rxSet);
        QFETCH(std::vector<quint16>, sent);
        QFETCH(std::vector<quint16>, received);
        const Mode m = mode(modeName);
        m_settings.setCharSet(txSet);
        TextSource source(sent);
        const std::vector<qint16> audio = transmit(m, &source, 1000.0);
        m_settings.setCharSet(rxSet);
        const RxResult rx = receive(m, audio, {1000.0, 11025.0, false});
        QStringList got;
        for (quint16 x : rx.codes)
            got << QString::number(x, 16);
        // Nothing before the text: a steady key-up is no word in these sets either.
        QVERIFY2(rx.codes.size() >= received.size() && std::equal(received.begin(), received.end(), rx.codes.begin()),
                 qPrintable(got.join(QLatin1Char(' '))));
    }

    void bpsk31InWhiteNoise()
    {
        m_settings.setCharSet(0);
        const Mode m = mode(QStringLiteral("BPSK31"));
        const QString text = qsoText(520, 7);
        const RxResult rx = receive(m, withNoise(transmit(m, text, 1000.0), -6.0, 11025.0, 12345), {1000.0, 11025.0, true});
        const double cer = double(Bench::editDistance(text, rx.text)) / text.size();
        QVERIFY2(cer < 0.01, qPrintable(QStringLiteral("CER %1, decoded: %2").arg(cer).arg(rx.text)));
    }

    void sampleClockError_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("ppm");
        QTest::newRow("BPSK31 300 ppm fast") << "BPSK31" << 300.0;
        QTest::newRow("BPSK31 300 ppm slow") << "BPSK31" << -300.0;
        QTest::newRow("QPSK31 300 ppm fast") << "QPSK31" << 300.0;
        QTest::newRow("BPSK250 300 ppm fast") << "BPSK250" << 300.0;
    }
    void sampleClockError()
    {
        QFETCH(QString, modeName);
        QFETCH(double, ppm);
        m_settings.setCharSet(0);
        const Mode m = mode(modeName);
        // About 3500 symbols: the clocks drift apart by more than a symbol.
        const QString text = qsoText(350, 11);
        const double trueRate = 11025.0 * (1.0 + ppm * 1e-6);
        const RxResult rx = receive(m, transmit(m, text, 1000.0, 11025.0 * 11025.0 / trueRate), {1000.0, 11025.0, true});
        QVERIFY2(rx.text.contains(text), qPrintable(QStringLiteral("decoded: ") + rx.text));
    }
};

QTEST_GUILESS_MAIN(TestLoopback)
#include "tst_loopback.moc"
