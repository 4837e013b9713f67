// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One transmission on air: key-up, idle, characters, tail, CW identification,
// reports, checked by demodulation.
#include "modem/cwtables.h"
#include "modemtesthelpers.h"

#include <QTest>

#include <complex>

using ModemTest::RecordingOwner;
using ScriptSource = ModemTest::WordSource;

namespace {

constexpr double kRate = 32000.0;
constexpr int kBlock = 512;
constexpr int kSilent = 4;

// The output of one transmission at 4000 Hz and 32000 samples a second:
// 8 samples a carrier cycle, starting at phase 0.
struct Transmission
{
    std::vector<qint16> samples;
    int endBlock = -1; // the block that answered 0
    int period = 0;    // samples a symbol

    // Phase code of symbol n (from 1) at its end, where the shaping leaves
    // the symbol's own code alone: 0-3 quarter turns, or no carrier.
    int code(int n) const
    {
        std::complex<double> z;
        for (int k = n * period - 8; k < n * period; ++k)
            z += double(samples[k]) * std::polar(1.0, M_PI * k / 4.0);
        if (std::abs(z) / 4.0 < 3000.0)
            return kSilent;
        return (int(std::lround(std::arg(std::conj(z)) / (M_PI / 2))) + 4) % 4;
    }
    // Per symbol from..to: differential bits (a kept phase is 1), or carrier on (1) / off (0).
    QString bits(int from, int to, bool keying = false) const
    {
        QString s;
        for (int n = from; n <= to; ++n)
            s += QLatin1Char(keying ? (code(n) == kSilent ? '0' : '1') : (code(n) == code(n - 1) ? '1' : '0'));
        return s;
    }
    int endBlockAfter(int symbols) const { return symbols * period / kBlock; }
};

Transmission transmit(CPskTxRx& modem, ScriptSource& source, int hundredths = 3125, RecordingOwner* owner = nullptr)
{
    modem.SetSampleRates(kRate, kRate);
    modem.Command(ModemCommand::kForceTxFrequency, 4000, 0, 0);
    modem.Command(ModemCommand::kSetSymbolRate, hundredths, 0, 0);
    if (owner)
        owner->listenTo(modem);
    Transmission tx{ModemTest::transmitFrom(modem, source, kRate), -1, int(kRate * 100 / hundredths)};
    if (tx.samples.size() < size_t(kRate) * 3600) // it ended
        tx.endBlock = int(tx.samples.size()) / kBlock - 1;
    return tx;
}

} // namespace

class TestTxSequence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        CwTables::clear();
        QVERIFY(CwTables::loadTable(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/ENG.cwt"), nullptr));
    }

    void keyUpIdleAndTail_data()
    {
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<int>("idleFrom"); // first symbol of the idle reversals
        QTest::addColumn<int>("textFrom"); // first symbol of the first character
        QTest::newRow("31.25") << 3125 << 25 << 41;
        QTest::newRow("250") << 25000 << 40 << 328;
    }

    void keyUpIdleAndTail()
    {
        QFETCH(int, hundredths);
        QFETCH(int, idleFrom);
        QFETCH(int, textFrom);
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        ScriptSource source;
        // The first word is taken before the key-up, so three idle fetches
        // while the view is empty hold "e" back by two symbols.
        source.word(TxWord::kNothing, 3).text(QStringLiteral("e")).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source, hundredths, &owner);
        const int e = textFrom + 2;

        // Steady carrier at code 0, the first symbol fading in from silence.
        QCOMPARE(tx.samples[0], qint16(0));
        for (int n = 1; n < idleFrom; ++n)
            QCOMPARE(tx.code(n), 0);
        // Reversals until the character: two zero bits, then "11".
        QCOMPARE(tx.bits(idleFrom, e - 1), QString(e - idleFrom, QLatin1Char('0')));
        QCOMPARE(tx.bits(e, e + 3), QStringLiteral("0011"));
        // Tail at every rate: 10 symbols from the empty encoder, 36 of
        // steady carrier at code 0, one fading out, then the end.
        const int tail = e + 4;
        QCOMPARE(tx.bits(tail, tail + 9), QString(10, QLatin1Char('0')));
        for (int n = tail + 10; n < tail + 46; ++n)
            QCOMPARE(tx.code(n), 0);
        QCOMPARE(tx.code(tail + 46), kSilent);
        QCOMPARE(tx.endBlock, tx.endBlockAfter(tail + 46));
        QCOMPARE(owner.chars(ModemCommand::kTxEchoByte), QStringLiteral("e"));
    }

    void qpskTailIsIdle()
    {
        // A receiver with a long Viterbi delay prints the last character
        // only after many idle symbols, so there is no steady carrier.
        CPskTxRx modem(QStringLiteral("QPSK"));
        ScriptSource source;
        source.text(QStringLiteral("e")).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source);
        QCOMPARE(tx.bits(50, 90), QString(41, QLatin1Char('0')));
        QCOMPARE(tx.code(91), kSilent);
        QCOMPARE(tx.endBlock, tx.endBlockAfter(91));
    }

    void cwIdKeysTheCallInMorse()
    {
        // First word: two spaces, the call, a space, at one symbol a unit and
        // without PSK before it; dot 1 on, dash 3 on, 1 off after each, 2
        // more after each letter.
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>("AB"), 0, 0);
        modem.Command(ModemCommand::kSetCwUnit, 1, 0, 0);
        ScriptSource source;
        source.word(TxWord::kCwId).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source, 3125, &owner);
        const QString expected = QStringLiteral("0000" "10111000" "111010101000" "00");
        QCOMPARE(tx.bits(1, int(expected.size()), true), expected);
        QCOMPARE(tx.endBlock, tx.endBlockAfter(int(expected.size())));
        QCOMPARE(owner.chars(ModemCommand::kTxEchoByte), QStringLiteral("\n\rCWID: AB\r"));
    }

    // The Morse identification ends the transmission, taking an end marker
    // right behind it along; an end marker takes its line break along.
    // Whatever follows waits for the next transmission.
    void whatEndsATransmission_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("left");
        QTest::addColumn<int>("symbols"); // to the end, when known
        // "e" in symbols 41-44, 28 of lead-in, then "T  K1ABC " in Morse at
        // two symbols a unit: 156 symbols.
        const int afterMorse = 44 + 28 + 156;
        QTest::newRow("Morse") << "e\u00A9" << "e" << "" << afterMorse;
        QTest::newRow("Morse, end") << "e\u00A9\u00AE" << "e" << "" << afterMorse;
        QTest::newRow("Morse, end, line break") << "e\u00A9\u00AE\r\nabc" << "e" << "abc" << afterMorse;
        QTest::newRow("Morse, text") << "e\u00A9abc" << "e" << "abc" << afterMorse;
        QTest::newRow("Morse first, end") << "\u00A9\u00AEx" << "\n\rCWID: K1ABC\r" << "x" << 0;
        QTest::newRow("end, CR LF") << "e\u00AE\r\nabc" << "e\r\n" << "abc" << 0;
        QTest::newRow("end, LF") << "e\u00AE\n\nabc" << "e\n" << "\nabc" << 0;
        QTest::newRow("end, text") << "e\u00AEabc" << "e" << "abc" << 45 + 46;
    }
    void whatEndsATransmission()
    {
        QFETCH(QString, words);
        QFETCH(QString, sent);
        QFETCH(QString, left);
        QFETCH(int, symbols);
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>("K1ABC"), 0, 0);
        ScriptSource source;
        source.text(words, true);
        const Transmission tx = transmit(modem, source, 3125, &owner);
        QVERIFY(tx.endBlock >= 0);
        if (symbols)
            QCOMPARE(tx.endBlock, tx.endBlockAfter(symbols));
        QCOMPARE(owner.chars(ModemCommand::kTxEchoByte), sent);
        QCOMPARE(source.left(), left);
    }

    // The last character before a Morse identification in the middle of the
    // text is ended by zero bits like any other, so a receiver prints it.
    void characterBeforeTheMorseArrives_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("heard");
        QTest::newRow("BPSK31") << "BPSK31" << "abc mid\u00A9def" << "abc mid";
        QTest::newRow("BPSK63, space") << "BPSK63" << "sk \u00A9" << "sk ";
        QTest::newRow("QPSK31") << "QPSK31" << "abc mid\u00A9" << "abc mid";
    }
    void characterBeforeTheMorseArrives()
    {
        QFETCH(QString, mode);
        QFETCH(QString, text);
        QFETCH(QString, heard);
        const ModemTest::Mode m = ModemTest::mode(mode);
        CPskTxRx modem(m.modemName);
        modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>("K1ABC"), 0, 0);
        ScriptSource source;
        const QString received =
            ModemTest::receive(m, ModemTest::transmitFrom(ModemTest::setUp(modem, m, 1000.0), source.text(text, true)), 1000.0);
        QVERIFY2(received.startsWith(heard), qPrintable(received));
    }

    // A stop in the middle of the Morse leaves the next transmission its
    // key-up, text and tail.
    void afterAStopInTheMorseTheNextTransmissionIsClean()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>("AB"), 0, 0);
        ScriptSource source;
        source.word(TxWord::kCwId);
        modem.setTxCharSource(&source);
        std::vector<qint16> block(kBlock);
        modem.SetTransmit(1);
        for (int n = 0; n < 25; ++n) // into the first dot
            modem.GenerateTxSamples(block.data(), kBlock);
        modem.SetTransmit(0);
        source.text(QStringLiteral("e")).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source, 3125);
        QCOMPARE(tx.bits(1, 4, true), QStringLiteral("1111"));
        QCOMPARE(tx.bits(41, 44), QStringLiteral("0011"));
        QCOMPARE(tx.endBlock, tx.endBlockAfter(44 + 47));
    }

private:
    ModemTest::SettingsSandbox m_settings;
};

QTEST_GUILESS_MAIN(TestTxSequence)
#include "tst_txsequence.moc"
