// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The transceiver as the window and the user meet it: its numeric commands, both receivers on
// QPSK with and without inversion, the AFC after a retune and the Morse identification of the
// longest call sign; one transmission on air (key-up, idle, characters, tail, CW identification,
// reports), checked by demodulation.
#include "modem/cwtables.h"
#include "modem/pskrxalgorithms.h"
#include "modemtesthelpers.h"

#include <QTest>

#include <cmath>
#include <complex>
#include <tuple>

using namespace ModemTest;
using ScriptSource = WordSource;

namespace {

constexpr double kRate = 32000.0;
constexpr int kBlock = 512;
constexpr int kSilent = 4;
// After "e\u00A9" with the call K1ABC: "e" in symbols 41-44, 28 of lead-in,
// then "T  K1ABC " in Morse at two symbols a unit, 156 symbols.
constexpr int kAfterMorse = 44 + 28 + 156;
// "\u00A9" first: "  K1ABC " in Morse without PSK before it, 144 symbols.
constexpr int kMorseFirst = 144;

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

class TestTransceiver : public QObject
{
    Q_OBJECT

    SettingsSandbox m_settings;

private slots:
    void initTestCase()
    {
        CwTables::clear();
        QVERIFY(CwTables::loadTable(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/ENG.cwt"), nullptr));
    }


    // Each row: commands given in turn to a new modem at 1000 Hz both ways
    // ("code=p1"; "114:text", a text command; "cs=n", the character set;
    // "QPSK" first, a QPSK modem), then one asked, with the answer the
    // command table promises (a number or a text) and, where it matters,
    // where the transmitter then stands.
    void commands_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<int>("asked");
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<double>("tx"); // -1: not checked
        const auto row = [](const char* name, const char* given, int asked, const QVariant& answer, double tx = -1) {
            QTest::newRow(name) << QString::fromLatin1(given) << asked << answer << tx;
        };
        row("level at start", "", 10, 10000);
        row("level 0 is 1", "11=0", 10, 1);
        row("level 5000", "11=5000", 10, 5000);
        row("level above the top", "11=20000", 10, 10000);
        row("nominal rate", "", 62, 11025);
        row("user value A", "104=77", 105, 77);
        row("user value D", "47=42", 48, 42);
        row("always 1", "", 26, 1);
        row("not handled", "", 200, 0);
        row("pass to owner is taken", "", 89, 1);
        row("AFC off at start", "", 52, 0);
        row("AFC on", "51=1", 52, 1);
        row("RX lock", "57=1", 58, 1);
        row("RX lock answers 67", "57=1", 67, 1);
        row("RX lock state", "57=1", 161, 1);
        row("RX lock keeps the receiver", "57=1 67=1500", 68, 1000);
        row("receive frequency", "67=1234", 68, 1234, 1000);
        row("receive frequency in tenths", "67=1234", 69, 12340);
        row("TX lock", "54=1", 55, 1);
        row("TX offset", "63=100 64=1500", 66, 1500, 1600);
        row("TX lock holds 64", "54=1 64=1500", 71, 1000, 1000);
        row("65 ignores TX lock", "54=1 65=1500", 66, 1500, 1500);
        row("unlocking moves TX to RX", "67=1300 63=50 54=1 54=0", 66, 1300, 1350);
        row("both frequencies", "70=1700", 68, 1700, 1700);
        row("both under TX lock", "54=1 70=1700", 68, 1700, 1000);
        row("squelch off at start", "", 78, 0);
        row("squelch on", "77=1", 78, 1);
        row("threshold at start", "", 81, 15);
        row("threshold", "80=20", 81, 20);
        row("squelch open at start", "", 82, 1);
        row("squelch closed", "83=0", 82, 0);
        row("BPSK is not QPSK", "", 59, 0);
        row("QPSK is QPSK", "QPSK", 59, 1);
        row("inversion off at start", "QPSK", 61, 0);
        row("inversion", "QPSK 60=1", 61, 1);
        row("not FSK", "QPSK", 84, 1);
        row("ASCII8 has 8 bits", "cs=0", 149, 8);
        row("MMVari has 16 bits", "cs=1", 149, 16);
        row("a set beyond the table is refused", "cs=0 cs=9", 149, 8);
        row("mode text", "90=6250", 23, "BPSK63");
        row("mode text with a space", "90=6250", 24, "BPSK 63");
        row("QPSK mode text", "QPSK 90=12500", 23, "QPSK125");
        row("widest IMD text", "", 132, "IMD: -88 dB");
        row("IMD text before a measurement", "", 133, "IMD:");
        row("text command RX", "114:rxfq:1500", 68, 1500);
        row("text command TX", "63=10 114:TXFQ:1200", 66, 1200, 1210);
        row("negative text command", "114:TXFQ:-5", 66, 1000);
        row("Morse call sign and unit", "43:K1ABC 44=1", 26, 1);
        row("set-up reset", "70=1700 5=0 7=0 4=0", 68, 1000, 1000);
    }
    void commands()
    {
        QFETCH(QString, given);
        QFETCH(int, asked);
        QFETCH(QVariant, answer);
        QFETCH(double, tx);
        QStringList steps = given.split(u' ', Qt::SkipEmptyParts);
        CPskTxRx modem(steps.value(0) == QLatin1String("QPSK") ? steps.takeFirst() : QStringLiteral("BPSK"));
        modem.SetFrequencies(1000.0, 1000.0);
        RecordingOwner owner;
        owner.listenTo(modem);
        std::vector<QByteArray> texts;
        for (const QString& step : std::as_const(steps)) {
            if (step.startsWith(QLatin1String("cs="))) {
                modem.setCharSet(step.mid(3).toInt());
            } else if (step.contains(u':')) { // a code with a text; a set answers 1
                texts.push_back(step.section(u':', 1).toLatin1());
                QVERIFY(modem.Command(step.section(u':', 0, 0).toInt(), reinterpret_cast<intptr_t>(texts.back().constData()), 0, 0) == 1 || step.startsWith(QLatin1String("114:")));
            } else {
                QCOMPARE(modem.Command(step.section(u'=', 0, 0).toInt(), step.section(u'=', 1).toInt(), 0, 0), intptr_t(1));
            }
        }
        const intptr_t result = modem.Command(asked, asked == ModemCommand::kSetRxFrequency ? 1500 : 0, 0, 0);
        if (answer.typeId() == QMetaType::QString)
            QCOMPARE(QString::fromLatin1(reinterpret_cast<const char*>(result)), answer.toString());
        else
            QCOMPARE(qint64(result), answer.toLongLong());
        if (asked == ModemCommand::kPassToOwner) // and the owner hears it, once
            QCOMPARE(owner.chars(asked).size(), 1);
        double rx = 0, txNow = 0;
        modem.GetFrequencies(&rx, &txNow);
        if (tx >= 0)
            QCOMPARE(txNow, tx);
    }

    // QPSK31 through each receiver, with the inversion on both sides or on
    // neither, set after the receiver was chosen or before; the other
    // setting on the receiving side garbles it.
    void qpskInversion()
    {
        const QString text = QStringLiteral("cq cq de dl1abc k");
        for (const auto& [sensitive, inverted, invertFirst] : {std::tuple{false, false, false}, {false, true, false},
                                                               {true, false, false}, {true, true, false}, {true, true, true}}) {
            CPskTxRx tx(QStringLiteral("QPSK"));
            tx.Command(ModemCommand::kSetQpskInversion, inverted, 0, 0);
            tx.SetFrequencies(1200.0, 1200.0);
            std::vector<qint16> audio = transmitFrom(tx, text);
            audio.resize(audio.size() + 11025, 0);
            for (const bool rxInverted : {inverted, !inverted}) {
                CPskTxRx rx(QStringLiteral("QPSK"));
                rx.Command(ModemCommand::kSetQpskInversion, invertFirst && rxInverted, 0, 0);
                rx.setSensitiveReceiver(sensitive);
                if (!invertFirst)
                    rx.Command(ModemCommand::kSetQpskInversion, rxInverted, 0, 0);
                rx.SetFrequencies(1200.0, 1200.0);
                const QString heard = hear(rx, audio);
                QVERIFY2(rxInverted == inverted ? heard.contains(text) : !heard.contains(QStringLiteral("dl1abc")),
                         qPrintable(heard));
            }
        }
    }

    // The AFC learns a drifting signal's rate; after a click on another,
    // steady signal the learnt rate must not carry the receiver off it.
    void afcForgetsTheDriftOnARetune()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const QString text = QStringLiteral("CQ CQ de VK2XYZ VK2XYZ pse k ").repeated(6);
        const std::vector<qint16> drifting = transmit(m, text, 1000.0, 11025.0, 1.5);
        // The standard receiver: the sensitive one copies up to about
        // 1.2 Hz/s of drift, this signal drifts faster.
        CPskTxRx rx(m.modemName());
        rx.setSensitiveReceiver(false);
        setUp(rx, m, 1000.0).Command(ModemCommand::kSetAfc, 1, 0, 0);
        QVERIFY(hear(rx, drifting).contains(text.left(60)));
        QVERIFY2(rx.rxDsp()->frequency() > 1050.0, qPrintable(QString::number(rx.rxDsp()->frequency()))); // it followed

        const std::vector<qint16> steady = transmit(m, text, 1800.0);
        rx.slotFqChanged(1800.0, 1800.0);
        double worst = 0.0;
        hear(rx, steady, [&] { worst = std::max(worst, std::abs(rx.rxDsp()->frequency() - 1800.0)); });
        QVERIFY2(worst < 1.0, qPrintable(QString::number(worst)));

        // Nor after the drifting signal has ended and another answers close
        // by, where the AFC finds it without a click.
        CPskTxRx answered(m.modemName());
        answered.setSensitiveReceiver(false);
        setUp(answered, m, 1000.0).Command(ModemCommand::kSetAfc, 1, 0, 0);
        hear(answered, drifting);
        hear(answered, std::vector<qint16>(11025 * 3, 0));
        const double there = answered.rxDsp()->frequency() + 10.0;
        const std::vector<qint16> answer = transmit(m, text, there);
        int block = 0;
        worst = 0.0;
        hear(answered, answer, [&] {
            if (++block > 100) // once it has pulled in
                worst = std::max(worst, std::abs(answered.rxDsp()->frequency() - there));
        });
        QVERIFY2(worst < 1.0, qPrintable(QString::number(worst)));
    }

    // The longest call sign is keyed whole, as the first word and after
    // text: 32 E, 32 dots of one symbol each.
    void longestCallSignIsKeyedWhole()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        const QByteArray call(CPskTxRx::kMaxCallSign, 'E');
        modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>(call.constData()), 0, 0);
        modem.Command(ModemCommand::kSetCwUnit, 1, 0, 0);
        modem.SetSampleRates(8000.0, 8000.0);
        modem.Command(ModemCommand::kForceTxFrequency, 2000, 0, 0); // four samples a cycle, 256 a symbol
        QList<qsizetype> silences; // the word space after the call
        for (const char16_t* words : {u"\u00A9", u"e\u00A9"}) {
            WordSource source;
            const std::vector<qint16> out = transmitFrom(modem, source.text(QString::fromUtf16(words), true), 8000.0);
            QString keying; // the carrier on (1) or off (0) at each symbol's end
            for (size_t end = 512; end <= out.size(); end += 256)
                keying += QLatin1Char(std::abs(out[end - 1]) + std::abs(out[end - 2]) > 6000 ? '1' : '0');
            QCOMPARE(keying.count(QStringLiteral("010")), qsizetype(CPskTxRx::kMaxCallSign));
            silences << keying.size() - keying.lastIndexOf(u'1');
        }
        QCOMPARE(silences[0], silences[1]);
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
        QCOMPARE((QStringList{tx.bits(idleFrom, e - 1), tx.bits(e, e + 3)}), (QStringList{QString(e - idleFrom, QLatin1Char('0')), "0011"}));
        // Tail at every rate: 10 symbols from the empty encoder, 36 of
        // steady carrier at code 0, one fading out, then the end.
        const int tail = e + 4;
        QCOMPARE(tx.bits(tail, tail + 9), QString(10, QLatin1Char('0')));
        for (int n = tail + 10; n < tail + 46; ++n)
            QCOMPARE(tx.code(n), 0);
        QCOMPARE(std::pair(tx.code(tail + 46), tx.endBlock), std::pair(kSilent, tx.endBlockAfter(tail + 46)));
        QCOMPARE(owner.chars(ModemCommand::kTxEchoByte), QStringLiteral("e"));
    }

    // The Morse identification ends the transmission, taking an end marker
    // right behind it along; an end marker takes its line break along.
    // Whatever follows waits for the next transmission, unless the owner
    // asks for more after the identification: then the text behind it
    // follows in the same transmission, after a new key-up.
    void whatEndsATransmission_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("left");
        QTest::addColumn<int>("symbols"); // to the end, when known
        QTest::addColumn<int>("answer"); // the owner's answer at the end of a tail
        QTest::newRow("Morse") << "e\u00A9" << "e" << "" << kAfterMorse << 0;
        QTest::newRow("Morse, end") << "e\u00A9\u00AE" << "e" << "" << kAfterMorse << 0;
        QTest::newRow("Morse, end, line break") << "e\u00A9\u00AE\r\nabc" << "e" << "abc" << kAfterMorse << 0;
        QTest::newRow("Morse, text") << "e\u00A9abc" << "e" << "abc" << kAfterMorse << 0;
        QTest::newRow("Morse, text, owner goes on") << "e\u00A9abc" << "eabc" << "" << 0 << int(TxWord::kChar);
        QTest::newRow("Morse twice, end, owner goes on") << "e\u00A9a\u00A9\u00AEbc" << "eabc" << "" << 0 << int(TxWord::kChar);
        QTest::newRow("Morse, text, owner ends and is told") << "e\u00A9abc" << "e" << "abc" << kAfterMorse << int(TxWord::kEndNotify);
        QTest::newRow("Morse first, end") << "\u00A9\u00AEx" << "\n\rCWID: K1ABC\r" << "x" << kMorseFirst << 0;
        QTest::newRow("end, CR LF") << "e\u00AE\r\nabc" << "e\r\n" << "abc" << 0 << 0;
        QTest::newRow("end, LF") << "e\u00AE\n\nabc" << "e\n" << "\nabc" << 0 << 0;
        QTest::newRow("end, text") << "e\u00AEabc" << "e" << "abc" << 45 + 46 << 0;
    }
    void whatEndsATransmission()
    {
        QFETCH(QString, words);
        QFETCH(QString, sent);
        QFETCH(QString, left);
        QFETCH(int, symbols);
        QFETCH(int, answer);
        const bool goOn = answer == TxWord::kChar;
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        owner.tailAnswer = intptr_t(answer) << 16;
        modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>("K1ABC"), 0, 0);
        ScriptSource source;
        source.text(words, true);
        const Transmission tx = transmit(modem, source, 3125, &owner);
        QVERIFY(goOn || tx.endBlock >= 0); // an owner that always goes on keeps it running
        if (symbols)
            QCOMPARE(tx.endBlock, tx.endBlockAfter(symbols));
        QCOMPARE(owner.chars(ModemCommand::kTxEchoByte), sent);
        QCOMPARE(std::pair(source.left(), int(owner.chars(ModemCommand::kEndNotified).size())), std::pair(left, int(answer == TxWord::kEndNotify)));
        if (goOn) // the new key-up right after the Morse
            QCOMPARE(tx.bits(kAfterMorse + 2, kAfterMorse + 5, true), QStringLiteral("1111"));
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
        CPskTxRx modem(m.modemName());
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
        QCOMPARE(tx.bits(1, 4, true) + u' ' + tx.bits(41, 44), QStringLiteral("1111 0011"));
        QCOMPARE(tx.endBlock, tx.endBlockAfter(44 + 47));
    }
};

QTEST_GUILESS_MAIN(TestTransceiver)
#include "tst_transceiver.moc"
