// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transceiver as the window and the user meet it: its numeric commands,
// both receivers on QPSK with and without inversion, the AFC after a retune
// and the Morse identification of the longest call sign.

#include "modem/cwtables.h"
#include "modemtesthelpers.h"

#include <QTest>

#include <cmath>
#include <deque>

using namespace ModemTest;

class TestTransceiver : public QObject
{
    Q_OBJECT
    SettingsSandbox m_settings;

    // Decodes audio at the transceiver's frequency; afc as the AFC box.
    static QString hear(CPskTxRx& rx, const std::vector<qint16>& audio)
    {
        QString text;
        auto c = QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [&text](QChar ch) { text += ch; });
        for (size_t at = 0; at < audio.size(); at += 1024)
            rx.ReceiveSamples(audio.data() + at, int(std::min<size_t>(1024, audio.size() - at)));
        QObject::disconnect(c);
        return text;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_settings.isValid());
        QVERIFY(CwTables::loadTable(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/ENG.cwt"), nullptr));
    }

    // Each row: commands given in turn ("code=p1", "114:text" for a text
    // command, "cs=n" for the character set), then one asked, with the answer
    // the command table promises and, where it matters, where the
    // transmitter then stands. A new modem starts at 1000 Hz both ways.
    void commands_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("given");
        QTest::addColumn<int>("asked");
        QTest::addColumn<qint64>("answer");
        QTest::addColumn<QString>("text"); // when the answer is a text
        QTest::addColumn<double>("tx");    // -1: not checked
        const auto row = [](const char* name, const char* mode, const char* given, int asked, qint64 answer,
                            const char* text = "", double tx = -1) {
            QTest::newRow(name) << QString::fromLatin1(mode) << QString::fromLatin1(given) << asked << answer
                                << QString::fromLatin1(text) << tx;
        };
        row("level at start", "BPSK", "", 10, 10000);
        row("level 0 is 1", "BPSK", "11=0", 10, 1);
        row("level 5000", "BPSK", "11=5000", 10, 5000);
        row("level above the top", "BPSK", "11=20000", 10, 10000);
        row("nominal rate", "BPSK", "", 62, 11025);
        row("user value A", "BPSK", "104=77", 105, 77);
        row("user value D", "BPSK", "47=42", 48, 42);
        row("always 1", "BPSK", "", 26, 1);
        row("not handled", "BPSK", "", 200, 0);
        row("AFC off at start", "BPSK", "", 52, 0);
        row("AFC on", "BPSK", "51=1", 52, 1);
        row("RX lock", "BPSK", "57=1", 58, 1);
        row("RX lock answers 67", "BPSK", "57=1", 67, 1);
        row("RX lock keeps the receiver", "BPSK", "57=1 67=1500", 68, 1000);
        row("receive frequency", "BPSK", "67=1234", 68, 1234, "", 1000);
        row("receive frequency in tenths", "BPSK", "67=1234", 69, 12340);
        row("TX lock", "BPSK", "54=1", 55, 1);
        row("TX offset", "BPSK", "63=100 64=1500", 66, 1500, "", 1600);
        row("TX lock holds 64", "BPSK", "54=1 64=1500", 71, 1000, "", 1000);
        row("65 ignores TX lock", "BPSK", "54=1 65=1500", 66, 1500, "", 1500);
        row("unlocking moves TX to RX", "BPSK", "67=1300 63=50 54=1 54=0", 66, 1300, "", 1350);
        row("both frequencies", "BPSK", "70=1700", 68, 1700, "", 1700);
        row("both under TX lock", "BPSK", "54=1 70=1700", 68, 1700, "", 1000);
        row("squelch off at start", "BPSK", "", 78, 0);
        row("squelch on", "BPSK", "77=1", 78, 1);
        row("threshold at start", "BPSK", "", 81, 15);
        row("threshold", "BPSK", "80=20", 81, 20);
        row("squelch open at start", "BPSK", "", 82, 1);
        row("squelch closed", "BPSK", "83=0", 82, 0);
        row("BPSK is not QPSK", "BPSK", "", 59, 0);
        row("QPSK is QPSK", "QPSK", "", 59, 1);
        row("inversion off at start", "QPSK", "", 61, 0);
        row("inversion", "QPSK", "60=1", 61, 1);
        row("not FSK", "QPSK", "", 84, 1);
        row("ASCII8 has 8 bits", "BPSK", "cs=0", 149, 8);
        row("MMVari has 16 bits", "BPSK", "cs=1", 149, 16);
        row("mode text", "BPSK", "90=6250", 23, 0, "BPSK63");
        row("mode text with a space", "BPSK", "90=6250", 24, 0, "BPSK 63");
        row("QPSK mode text", "QPSK", "90=12500", 23, 0, "QPSK125");
        row("widest IMD text", "BPSK", "", 132, 0, "IMD: -88 dB");
        row("text command RX", "BPSK", "114:rxfq:1500", 68, 1500);
        row("text command TX", "BPSK", "63=10 114:TXFQ:1200", 66, 1200, "", 1210);
        row("negative text command", "BPSK", "114:TXFQ:-5", 66, 1000);
    }
    void commands()
    {
        QFETCH(QString, mode);
        QFETCH(QString, given);
        QFETCH(int, asked);
        QFETCH(qint64, answer);
        QFETCH(QString, text);
        QFETCH(double, tx);
        CPskTxRx modem(mode);
        modem.SetFrequencies(1000.0, 1000.0);
        std::vector<QByteArray> texts;
        for (const QString& step : given.split(u' ', Qt::SkipEmptyParts)) {
            if (step.startsWith(QLatin1String("cs="))) {
                modem.setCharSet(step.mid(3).toInt());
            } else if (step.startsWith(QLatin1String("114:"))) {
                texts.push_back(step.mid(4).toLatin1());
                modem.Command(114, reinterpret_cast<intptr_t>(texts.back().constData()), 0, 0);
            } else {
                const QStringList parts = step.split(u'=');
                QCOMPARE(modem.Command(parts[0].toInt(), parts[1].toInt(), 0, 0), intptr_t(1));
            }
        }
        const intptr_t result = modem.Command(asked, asked == 67 ? 1500 : 0, 0, 0);
        if (text.isEmpty())
            QCOMPARE(qint64(result), answer);
        else
            QCOMPARE(QString::fromLatin1(reinterpret_cast<const char*>(result)), text);
        double rx = 0, txNow = 0;
        modem.GetFrequencies(&rx, &txNow);
        if (tx >= 0)
            QCOMPARE(txNow, tx);
    }

    // QPSK31 through each receiver, with the inversion on both sides or on
    // neither; the inversion set before or after the receiver is chosen.
    void qpskInversion_data()
    {
        QTest::addColumn<bool>("sensitive");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<bool>("invertFirst");
        QTest::newRow("standard") << false << false << false;
        QTest::newRow("standard, inverted") << false << true << false;
        QTest::newRow("sensitive") << true << false << false;
        QTest::newRow("sensitive, inverted") << true << true << false;
        QTest::newRow("sensitive, inverted before choosing it") << true << true << true;
    }
    void qpskInversion()
    {
        QFETCH(bool, sensitive);
        QFETCH(bool, inverted);
        QFETCH(bool, invertFirst);
        const QString text = QStringLiteral("cq cq de dl1abc k");
        CPskTxRx tx(QStringLiteral("QPSK"));
        tx.Command(60, inverted, 0, 0);
        tx.SetSampleRates(11025.0, 11025.0);
        tx.SetFrequencies(1200.0, 1200.0);
        std::vector<qint16> audio = transmitFrom(tx, text);
        audio.resize(audio.size() + 11025, 0);
        const auto decode = [&](bool rxInverted) {
            CPskTxRx rx(QStringLiteral("QPSK"));
            if (invertFirst)
                rx.Command(60, rxInverted, 0, 0);
            rx.setSensitiveReceiver(sensitive);
            if (!invertFirst)
                rx.Command(60, rxInverted, 0, 0);
            rx.SetSampleRates(11025.0, 11025.0);
            rx.SetFrequencies(1200.0, 1200.0);
            return hear(rx, audio);
        };
        const QString heard = decode(inverted);
        QVERIFY2(heard.contains(text), qPrintable(heard));
        const QString wrong = decode(!inverted); // the other sideband's view
        QVERIFY2(!wrong.contains(QStringLiteral("dl1abc")), qPrintable(wrong));
    }

    // The AFC learns a drifting signal's rate; after a click on another,
    // steady signal the learnt rate must not carry the receiver off it.
    void afcForgetsTheDriftOnARetune()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const QString text = QStringLiteral("CQ CQ de VK2XYZ VK2XYZ pse k ").repeated(6);
        const std::vector<qint16> drifting = transmit(m, text, 1000.0, 11025.0, 1.5);
        CPskTxRx rx(m.modemName);
        rx.SetSampleRates(11025.0, 11025.0);
        rx.SetFrequencies(1000.0, 1000.0);
        rx.Command(51, 1, 0, 0);
        QVERIFY(hear(rx, drifting).contains(text.left(60)));
        double before = 0, unused = 0;
        rx.GetFrequencies(&before, &unused);
        QVERIFY2(before > 1050.0, qPrintable(QString::number(before))); // it followed

        const std::vector<qint16> steady = transmit(m, text, 1800.0);
        rx.slotFqChanged(1800.0, 1800.0);
        double worst = 0.0;
        for (size_t at = 0; at < steady.size(); at += 1024) {
            rx.ReceiveSamples(steady.data() + at, int(std::min<size_t>(1024, steady.size() - at)));
            double now = 0;
            rx.GetFrequencies(&now, &unused);
            worst = std::max(worst, std::abs(now - 1800.0));
        }
        QVERIFY2(worst < 1.0, qPrintable(QString::number(worst)));
    }

    // The longest call sign is keyed whole, as the first word and after
    // text: 32 E, 32 dots of one symbol each.
    void longestCallSignIsKeyedWhole()
    {
        struct Words : CTxCharSource
        {
            std::deque<quint32> words;
            quint32 nextTxWord() override
            {
                const quint32 w = words.empty() ? TxWord::make(TxWord::kEnd) : words.front();
                if (!words.empty())
                    words.pop_front();
                return w;
            }
        };
        CPskTxRx modem(QStringLiteral("BPSK31"));
        const QByteArray call(CPskTxRx::kMaxCallSign, 'E');
        modem.Command(43, reinterpret_cast<intptr_t>(call.constData()), 0, 0);
        modem.Command(44, 1, 0, 0);
        modem.SetSampleRates(8000.0, 8000.0);
        modem.Command(65, 2000, 0, 0); // four samples a cycle, 256 a symbol
        std::vector<int> silences;
        for (const bool afterText : {false, true}) {
            Words source;
            source.words = {TxWord::make(TxWord::kCwId)};
            if (afterText)
                source.words.push_front(TxWord::make(TxWord::kChar, 'e'));
            std::vector<qint16> out(512);
            modem.setTxCharSource(&source);
            modem.SetTransmit(1);
            for (int n = 0; n < 4000 && modem.GenerateTxSamples(out.data() + out.size() - 512, 512); ++n)
                out.resize(out.size() + 512);
            modem.SetTransmit(0);
            // The lengths of the carrier's runs in symbols, judged at each
            // symbol's end, and the silence after the last.
            std::vector<int> runs{0};
            int silence = 0;
            for (size_t end = 512; end <= out.size(); end += 256) {
                const bool on = std::abs(out[end - 1]) + std::abs(out[end - 2]) > 6000;
                silence = on ? 0 : silence + 1;
                if (on)
                    ++runs.back();
                else if (runs.back())
                    runs.push_back(0);
            }
            QCOMPARE(std::count(runs.begin(), runs.end(), 1), std::ptrdiff_t(CPskTxRx::kMaxCallSign));
            silences.push_back(silence); // the word space after the call
        }
        QCOMPARE(silences[0], silences[1]);
    }
};

QTEST_GUILESS_MAIN(TestTransceiver)
#include "tst_transceiver.moc"
