// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transceiver as the window and the user meet it: its numeric commands,
// both receivers on QPSK with and without inversion, the AFC after a retune
// and the Morse identification of the longest call sign.

#include "modem/cwtables.h"
#include "modem/pskrxalgorithms.h"
#include "modemtesthelpers.h"

#include <QTest>

#include <cmath>
#include <tuple>

using namespace ModemTest;

class TestTransceiver : public QObject
{
    Q_OBJECT
    SettingsSandbox m_settings;

private slots:
    void initTestCase() { QVERIFY(CwTables::loadTable(qEnvironmentVariable("VELKORA_SOURCE_DIR") + "/resources/ENG.cwt", nullptr)); }

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
        row("mode text", "90=6250", 23, "BPSK63");
        row("mode text with a space", "90=6250", 24, "BPSK 63");
        row("QPSK mode text", "QPSK 90=12500", 23, "QPSK125");
        row("widest IMD text", "", 132, "IMD: -88 dB");
        row("text command RX", "114:rxfq:1500", 68, 1500);
        row("text command TX", "63=10 114:TXFQ:1200", 66, 1200, 1210);
        row("negative text command", "114:TXFQ:-5", 66, 1000);
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
        std::vector<QByteArray> texts;
        for (const QString& step : std::as_const(steps)) {
            if (step.startsWith(QLatin1String("cs="))) {
                modem.setCharSet(step.mid(3).toInt());
            } else if (step.startsWith(QLatin1String("114:"))) {
                texts.push_back(step.mid(4).toLatin1());
                modem.Command(ModemCommand::kTextCommand, reinterpret_cast<intptr_t>(texts.back().constData()), 0, 0);
            } else {
                QCOMPARE(modem.Command(step.section(u'=', 0, 0).toInt(), step.section(u'=', 1).toInt(), 0, 0), intptr_t(1));
            }
        }
        const intptr_t result = modem.Command(asked, asked == ModemCommand::kSetRxFrequency ? 1500 : 0, 0, 0);
        if (answer.typeId() == QMetaType::QString)
            QCOMPARE(QString::fromLatin1(reinterpret_cast<const char*>(result)), answer.toString());
        else
            QCOMPARE(qint64(result), answer.toLongLong());
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
        CPskTxRx rx(m.modemName);
        rx.SetFrequencies(1000.0, 1000.0);
        rx.Command(ModemCommand::kSetAfc, 1, 0, 0);
        QVERIFY(hear(rx, drifting).contains(text.left(60)));
        QVERIFY2(rx.rxDsp()->frequency() > 1050.0, qPrintable(QString::number(rx.rxDsp()->frequency()))); // it followed

        const std::vector<qint16> steady = transmit(m, text, 1800.0);
        rx.slotFqChanged(1800.0, 1800.0);
        double worst = 0.0;
        hear(rx, steady, [&] { worst = std::max(worst, std::abs(rx.rxDsp()->frequency() - 1800.0)); });
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
};

QTEST_GUILESS_MAIN(TestTransceiver)
#include "tst_transceiver.moc"
