// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transceiver as the main window sees it: the command table, frequencies
// and locks, the receive ring and replay, squelch and AFC.
#include "modem/pskdecode.h"
#include "modem/pskencode.h"
#include "modem/pskrxalgorithms.h"
#include "modem/psktxalgorithms.h"
#include "modem/replaydistance.h"
#include "modemtesthelpers.h"

#include <QSignalSpy>
#include <QTest>

#include <map>

using ModemTest::RecordingOwner;

namespace {

// A parent window that wants to hear about frequency changes.
class FrequencyListener : public QObject
{
    Q_OBJECT
public:
    std::vector<double> rx, tx;
public slots:
    void slotRxFqNotified(double fq) { rx.push_back(fq); }
    void slotTxFqNotified(double fq) { tx.push_back(fq); }
};

// A transceiver with a spectrum and a scripted decoder quality.
class ScriptedTxRx : public CPskTxRx
{
public:
    ScriptedTxRx() : CPskTxRx(QStringLiteral("BPSK31")) {}
    std::map<int, double> bins;
    int quality = 0;

protected:
    double binMagnitude(int bin) const override { return bins.count(bin) ? bins.at(bin) : 0.0; }
    int decoderQuality() const override { return quality; }
};

intptr_t cmd(CPskTxRx& m, int code, intptr_t p1 = 0)
{
    return m.Command(code, p1, 0, 0);
}

QString textCmd(CPskTxRx& m, int code, intptr_t p1 = 0)
{
    return QString::fromLatin1(reinterpret_cast<const char*>(m.Command(code, p1, 0, 0)));
}

double frequency(const CPskTxRx& m, int which)
{
    double fq[2];
    m.GetFrequencies(&fq[0], &fq[1]);
    return fq[which];
}
double rxOf(const CPskTxRx& m) { return frequency(m, 0); }
double txOf(const CPskTxRx& m) { return frequency(m, 1); }

void receiveCalls(CPskTxRx& m, int count)
{
    for (int n = 0; n < count; ++n)
        m.ReceiveSamples(nullptr, 0);
}

} // namespace

class TestTransceiver : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("modem%1.ini").arg(++m_settingsFile)));
        ReplayDistance::set(0);
    }

    void modes_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<QString>("compact");
        QTest::addColumn<QString>("spaced");
        // Exact names only; the frequency-shift modes run as BPSK.
        const auto row = [](const char* mode, int hundredths, const char* compact) {
            QTest::addRow("%s %d", mode, hundredths) << QString::fromLatin1(mode) << hundredths << QString::fromLatin1(compact)
                                                     << QString::fromLatin1(compact).insert(4, u' ');
        };
        row("BPSK31", 3125, "BPSK31");
        row("BPSK31", 6250, "BPSK63");
        row("BPSK", 12500, "BPSK125");
        row("FSK", 25000, "BPSK250");
        row("QPSK", 6250, "QPSK63");
        row("qpsk", 3125, "BPSK31");
        row("QFSK", 3125, "BPSK31");
        row("", 3125, "BPSK31");
    }
    void modes()
    {
        QFETCH(QString, mode);
        QFETCH(int, hundredths);
        QFETCH(QString, compact);
        QFETCH(QString, spaced);
        const bool qpsk = mode == QLatin1String("QPSK");
        {
            CPskTxRx modem(mode);
            QCOMPARE(cmd(modem, 59), intptr_t(qpsk));
            QCOMPARE(cmd(modem, 84), intptr_t(1));
            QCOMPARE(dynamic_cast<CQpskEncode*>(modem.encoder()) != nullptr, qpsk);
            QCOMPARE(dynamic_cast<CQpskDecode*>(modem.decoder()) != nullptr, qpsk);
            QCOMPARE(cmd(modem, 1), reinterpret_cast<intptr_t>(static_cast<CBruxCmdTarget*>(&modem)));
            QCOMPARE(cmd(modem, 90, hundredths), intptr_t(1));
            QCOMPARE(modem.txDsp()->symbolRate(), hundredths / 100.0);
            QCOMPARE(textCmd(modem, 23), compact);
            QCOMPARE(textCmd(modem, 24), spaced);
            cmd(modem, 90, 0); // would stop the symbol clock: ignored
        }
        CPskTxRx again(mode); // the rate outlives the modem
        QCOMPARE(again.rxDsp()->symbolRate(), hundredths / 100.0);
        cmd(again, 90, 3125);
    }

    void sampleRates()
    {
        QCOMPARE(CPskTxRx(QStringLiteral("BPSK31")).rxDsp()->sampleRate(), 11025.0); // nothing stored
        {
            Settings s;
            s.setValue(QStringLiteral("Audio/Input/SampleRate"), 8000);
            s.setValue(QStringLiteral("Audio/Input/ppm"), -500);
            s.setValue(QStringLiteral("Audio/Output/SampleRate"), 8000);
            s.setValue(QStringLiteral("Audio/Output/ppm"), 1000);
        }
        CPskTxRx modem(QStringLiteral("BPSK31"));
        QCOMPARE(modem.rxDsp()->sampleRate(), 7996.0);
        QCOMPARE(modem.txDsp()->sampleRate(), 8008.0);
        QVERIFY(modem.inputRateAccepted());
        modem.SetSampleRates(96000.0, 48000.0);
        QVERIFY(!modem.inputRateAccepted());
        QCOMPARE(modem.inputRate(), 7996.0);
        QCOMPARE(modem.rxDsp()->sampleRate(), 7996.0);
        QCOMPARE(modem.txDsp()->sampleRate(), 48000.0);
        modem.SetSampleRates(std::nan(""), 8000.0);
        QCOMPARE(modem.rxDsp()->sampleRate(), 7996.0);
        modem.SetSampleRates(11025.0, 11025.0);
        QVERIFY(modem.inputRateAccepted());
        QCOMPARE(modem.rxDsp()->sampleRate(), 11025.0);
        QCOMPARE(cmd(modem, 62), intptr_t(11025));
    }

    void frequenciesOffsetAndLocks()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        cmd(modem, 63, 100);
        cmd(modem, 64, 1500);
        QCOMPARE(cmd(modem, 66), intptr_t(1500));
        QCOMPARE(cmd(modem, 71), intptr_t(1500));
        QCOMPARE(txOf(modem), 1600.0);

        cmd(modem, 54, 1);
        QCOMPARE(cmd(modem, 55), intptr_t(1));
        cmd(modem, 64, 2000);
        QCOMPARE(cmd(modem, 66), intptr_t(1500));
        QCOMPARE(modem.TextCommand("txfq:1700"), static_cast<const char*>(nullptr));
        QCOMPARE(cmd(modem, 66), intptr_t(1500));
        cmd(modem, 65, 2000);
        QCOMPARE(cmd(modem, 66), intptr_t(2000));
        cmd(modem, 70, 1200);
        QCOMPARE(cmd(modem, 68), intptr_t(1200));
        QCOMPARE(cmd(modem, 66), intptr_t(2000));
        // Unlocking brings the transmitter back onto the receiver.
        cmd(modem, 54, 0);
        QCOMPARE(txOf(modem), 1300.0);
        QCOMPARE(modem.TextCommand("txfq:1250"), static_cast<const char*>(nullptr));
        QCOMPARE(txOf(modem), 1350.0);
        const char* negative = "TXFQ:-5";
        QCOMPARE(modem.TextCommand(negative), negative);

        // The receive lock stops Command 67 (answered by the lock) and clicks.
        cmd(modem, 57, 1);
        QCOMPARE(cmd(modem, 67, 900), intptr_t(1));
        QCOMPARE(modem.TextCommand("RXFQ:900"), static_cast<const char*>(nullptr));
        modem.slotFqChanged(1700.0, 1750.0);
        QCOMPARE(rxOf(modem), 1200.0);
        QCOMPARE(txOf(modem), 1750.0);
        cmd(modem, 57, 0);
        cmd(modem, 54, 1);
        modem.slotFqChanged(800.0, 800.0);
        QCOMPARE(rxOf(modem), 800.0);
        QCOMPARE(txOf(modem), 1750.0);

        modem.SetFrequencies(1234.56, 1499.6);
        QCOMPARE(cmd(modem, 68), intptr_t(1235));
        QCOMPARE(cmd(modem, 69), intptr_t(12345));
        QCOMPARE(txOf(modem), 1500.0);
        QCOMPARE(cmd(modem, 4), intptr_t(1));
        QCOMPARE(rxOf(modem), 1000.0);
        QCOMPARE(txOf(modem), 1000.0);
    }

    void plainCommands()
    {
        CPskTxRx modem(QStringLiteral("QPSK"));
        for (int code : {5, 6, 7, 8, 25, 26, 27, 46, 50, 53, 56, 72, 76, 86, 88, 89, 151})
            QCOMPARE(cmd(modem, code), intptr_t(1));
        for (int code : {32, 33, 42, 45, 73, 3, 999, -1})
            QCOMPARE(cmd(modem, code), intptr_t(0));
        for (auto [set, get] : {std::pair{47, 48}, {51, 52}, {80, 81}, {77, 78}, {104, 105}, {60, 61}}) {
            QCOMPARE(cmd(modem, set, 1), intptr_t(1));
            QCOMPARE(cmd(modem, get), intptr_t(1));
        }
        QVERIFY(static_cast<CQpskEncode*>(modem.encoder())->inversion());
        QVERIFY(static_cast<CQpskDecode*>(modem.decoder())->inversion());
        // Transmit level: 0 is the least, 10000 and more (unsigned) the most.
        for (auto [set, level] : {std::pair{0, 1}, {20000, 10000}, {5000, 5000}, {-1, 10000}}) {
            cmd(modem, 11, set);
            QCOMPARE(cmd(modem, 10), intptr_t(level));
        }
        QCOMPARE(textCmd(modem, 132), QStringLiteral("IMD: -88 dB"));
        cmd(modem, 43, reinterpret_cast<intptr_t>("DL1ABC"));
        QCOMPARE(modem.cwCallSign(), QStringLiteral("DL1ABC"));
        const QByteArray tooLong(40, 'K');
        cmd(modem, 43, reinterpret_cast<intptr_t>(tooLong.constData()));
        QCOMPARE(modem.cwCallSign(), QString(CPskTxRx::kMaxCallSign, QLatin1Char('K')));
        cmd(modem, 43, 0);
        QCOMPARE(modem.cwCallSign(), QString());
    }

    void characterSets()
    {
        Settings().setValue(QStringLiteral("Audio/varicode"), 2);
        {
            CPskTxRx modem(QStringLiteral("BPSK31"));
            QCOMPARE(modem.charSetNames(), QStringList({"ASCII8", "MMVari", "Alternate"}));
            QCOMPARE(modem.decoder()->charSet(), 2);
            modem.setCharSet(0);
            QCOMPARE(cmd(modem, 149), intptr_t(8));
            modem.setCharSet(7);
            QCOMPARE(modem.charSet(), 0);
            modem.setCharSet(1);
            QCOMPARE(cmd(modem, 149), intptr_t(16));
            // The receiver keeps the set it was built with until a restart.
            QCOMPARE(modem.decoder()->charSet(), 2);
        }
        CPskTxRx again(QStringLiteral("BPSK31"));
        QCOMPARE(again.decoder()->charSet(), 1);
    }

    void spectrumMeasurements()
    {
        ScriptedTxRx modem;
        RecordingOwner owner;
        owner.listenTo(modem);
        // Without a spectrum everything measures 0.
        QCOMPARE(cmd(modem, 49, 1000), intptr_t(1000));
        QCOMPARE(cmd(modem, 85), intptr_t(0));
        QCOMPARE(textCmd(modem, 133, 1), QStringLiteral("IMD: 0 dB"));
        QCOMPARE(cmd(modem, 2), intptr_t(1));
        QCOMPARE(owner.reports.back(), (std::array<intptr_t, 3>{73, 0, 0}));

        // A peak at 1000 Hz (bin 185.8), IMD products 8 bins out, noise 11 to 13 out.
        modem.bins[186] = 50.0;
        modem.bins[178] = modem.bins[194] = 25.0;
        for (int i = 11; i <= 13; ++i)
            modem.bins[186 - i] = modem.bins[186 + i] = 4.0;
        // Not idle (no run of zeros): the sign turns.
        QCOMPARE(cmd(modem, 85), intptr_t(25));
        QCOMPARE(textCmd(modem, 133, 0), QStringLiteral("IMD:"));
        QCOMPARE(textCmd(modem, 133, 1), QStringLiteral("IMD: -25 dB"));
        QCOMPARE(cmd(modem, 2), intptr_t(1));
        QCOMPARE(owner.reports.back(), (std::array<intptr_t, 3>{73, 50, 4}));
        cmd(modem, 67, 6000); // beyond the spectrum
        QCOMPARE(cmd(modem, 85), intptr_t(0));
        QCOMPARE(cmd(modem, 2), intptr_t(0));

        // Snap to a symmetric peak centred on 1000 Hz.
        modem.bins.clear();
        for (int b = 150; b < 220; ++b)
            modem.bins[b] = qMax(0.0, 60.0 - 10.0 * std::abs(b - 1000.0 * 2048.0 / 11025.0));
        for (int from : {990, 1010})
            QVERIFY(std::abs(cmd(modem, 49, from) - 1000) <= 2);
        for (int far : {100, 5400, -30})
            QCOMPARE(cmd(modem, 49, far), intptr_t(far));
        for (int b = 0; b < 1024; ++b)
            modem.bins[b] = 20.0; // nothing stands out
        QCOMPARE(cmd(modem, 49, 990), intptr_t(990));
    }

    void squelchHoldsTwentyCalls()
    {
        ScriptedTxRx modem;
        QSignalSpy chars(&modem, &CPskTxRx::signalCharReceived);
        cmd(modem, 77, 1);
        QString open;
        auto call = [&](int quality, int times = 1) {
            for (int n = 0; n < times; ++n) {
                modem.quality = quality;
                modem.ReceiveSamples(nullptr, 0);
                open += QChar(u'0' + int(cmd(modem, 82)));
                modem.CharReceived(0, QChar(u'x'));
            }
        };
        // Threshold 15: 16 opens; it closes on the 21st call after the last good figure.
        for (auto [quality, times] : {std::pair{15, 1}, {16, 1}, {0, 21}, {31, 1}, {0, 10}, {20, 1}, {0, 21}})
            call(quality, times);
        const QString expected = QStringLiteral("0") + QString(21, QLatin1Char('1')) + QStringLiteral("0")
                                 + QString(32, QLatin1Char('1')) + QStringLiteral("0");
        QCOMPARE(open, expected);
        QCOMPARE(chars.count(), int(open.count(QLatin1Char('1'))));
        QCOMPARE(cmd(modem, 79), intptr_t(0));

        // Opened by command it holds as long; disabled, everything passes.
        cmd(modem, 83, 1);
        call(0, 20);
        QCOMPARE(cmd(modem, 82), intptr_t(1));
        cmd(modem, 83, 0);
        const int before = chars.count();
        modem.CharReceived(0, QChar(u'x'));
        cmd(modem, 77, 0);
        modem.CodeReceived(0, 'x');
        QCOMPARE(chars.count(), before + 1);
    }

    void receivedCodesAndSymbols()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        QSignalSpy chars(&modem, &CPskTxRx::signalCharReceived);
        QSignalSpy symbols(&modem, &CPskTxRx::signalPskSymbol);
        modem.CharReceived(0, QChar(0x20AC));
        modem.CodeReceived(0, 0xE9);
        modem.CodeReceived(0, 0x4083); // a double-byte value no code page shows
        QCOMPARE(chars.count(), 3);
        QCOMPARE(chars[0][0].value<QChar>(), QChar(0x20AC));
        QCOMPARE(chars[1][0].value<QChar>(), QChar(0xE9));
        QCOMPARE(chars[2][0].value<QChar>(), QChar(u'?'));
        modem.SymbolReceived(0, -1073741824, 250);
        QCOMPARE(symbols.count(), 1);
        QCOMPARE(symbols[0][0].value<long>(), -1073741824L);
        QCOMPARE(symbols[0][1].value<long>(), 250L);
    }

    void afcEveryFourthCall()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        cmd(modem, 63, 10);
        cmd(modem, 51, 1);
        // 471618400 in the accumulator is 1 Hz of error.
        modem.decoder()->setAfcAccumulator(471618400);
        receiveCalls(modem, 3);
        QCOMPARE(rxOf(modem), 1000.0);
        receiveCalls(modem, 1);
        QCOMPARE(rxOf(modem), 999.0);
        QCOMPARE(txOf(modem), 1009.0);
        QCOMPARE(modem.decoder()->afcAccumulator(), 235809200);

        // Never while transmitting.
        RecordingOwner owner;
        owner.listenTo(modem);
        modem.decoder()->setAfcAccumulator(-471618400);
        modem.SetTransmit(1);
        QCOMPARE(owner.reports.back(), (std::array<intptr_t, 3>{27, 1, 0}));
        receiveCalls(modem, 8);
        QCOMPARE(rxOf(modem), 999.0);
        modem.SetTransmit(0);

        // The receive lock does not hold it back; the transmit lock holds the transmitter.
        cmd(modem, 57, 1);
        cmd(modem, 54, 1);
        receiveCalls(modem, 4);
        QCOMPARE(rxOf(modem), 1000.0);
        QCOMPARE(txOf(modem), 1009.0);
        cmd(modem, 51, 0);
        modem.decoder()->setAfcAccumulator(471618400);
        receiveCalls(modem, 8);
        QCOMPARE(rxOf(modem), 1000.0);
    }

    void ringAndReplay()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        std::vector<qint16> block(10000, 0);
        // At most 4096 samples go to the receiver per call.
        modem.ReceiveSamples(block.data(), int(block.size()));
        for (int expected : {4096, 8192, 10000}) {
            QCOMPARE(modem.ringReadIndex(), expected);
            modem.ReceiveSamples(block.data(), 0);
        }
        modem.ReceiveSamples(block.data(), -5);
        QCOMPARE(modem.ringWriteIndex(), 10000);

        modem.slotFqChanged(1200.0, 1200.0);
        QCOMPARE(modem.ringReadIndex(), 10000);
        modem.ReceiveSamples(block.data(), int(block.size()));
        modem.ReceiveSamples(block.data(), int(block.size()));
        for (int n = 0; n < 4; ++n)
            modem.ReceiveSamples(block.data(), 0);
        QCOMPARE(modem.ringReadIndex(), 30000);
        // A waterfall click ten rows up decodes their audio again.
        ReplayDistance::set(20480);
        modem.slotFqChanged(1500.0, 1500.0);
        QCOMPARE(rxOf(modem), 1500.0);
        for (int expected : {9520, 13616, 17712, 21808, 25904, 30000, 30000}) {
            QCOMPARE(modem.ringReadIndex(), expected);
            modem.ReceiveSamples(block.data(), 0);
        }

        // One sample more than the ring holds.
        std::vector<qint16> lots(CSoundCardTxRx::kRingSize + 1 - 30000, 7);
        modem.ReceiveSamples(lots.data(), int(lots.size()));
        QCOMPARE(modem.ringFill(), CSoundCardTxRx::kRingSize);
        QCOMPARE(modem.ringWriteIndex(), 1);
    }

    void parentHearsFrequencies()
    {
        {
            Settings s;
            s.setValue(QStringLiteral("RxFq"), 1400.0);
            s.setValue(QStringLiteral("TxFq"), 1450.0);
        }
        FrequencyListener window;
        auto* modem = new CPskTxRx(QStringLiteral("BPSK31"), &window);
        QCOMPARE(window.rx.back(), 1400.0);
        QCOMPARE(window.tx.back(), 1450.0);
        cmd(*modem, 64, 1700);
        QCOMPARE(window.tx.back(), 1700.0);
        cmd(*modem, 67, 900);
        QCOMPARE(window.rx.back(), 900.0);
        // A parent without those slots is fine too.
        QObject plain;
        auto* other = new CPskTxRx(QStringLiteral("QPSK"), &plain);
        cmd(*other, 64, 1700);
        QCOMPARE(cmd(*other, 66), intptr_t(1700));
    }

private:
    QTemporaryDir m_dir;
    int m_settingsFile = 0;
};

QTEST_GUILESS_MAIN(TestTransceiver)
#include "tst_transceiver.moc"
