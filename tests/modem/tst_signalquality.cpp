// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the receiver says of the tuned signal and how far it lets noise and
// the AFC go: the S/N and IMD readout against signals of known S/N and
// distortion, the squelch by level on noise and on weak signals, and the
// AFC's range.

#include "modem/pskrxalgorithms.h"
#include "modemtesthelpers.h"

#include <QTest>

#include <cmath>
#include <random>

using namespace ModemTest;

namespace {
constexpr double kRate = 11025.0;
constexpr double kPi = 3.14159265358979323846;

// An idling BPSK signal is two tones half the symbol rate either side of
// the carrier; distortion adds the third-order pair 1.5 symbol rates out,
// imdDb below them. White noise at snrDb in 2500 Hz (none when above 90).
std::vector<qint16> idle(double carrier, double baud, double seconds, double imdDb, double snrDb, unsigned seed)
{
    const double tone = 2000.0;
    const double product = tone * std::pow(10.0, imdDb / 20.0);
    const double power = tone * tone + product * product; // two tones of each
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, snrDb > 90.0 ? 0.0 : std::sqrt(power / std::pow(10.0, snrDb / 10.0) * kRate / 2.0 / 2500.0));
    std::vector<qint16> out(size_t(seconds * kRate));
    for (size_t i = 0; i < out.size(); ++i) {
        const double t = i / kRate;
        double x = 0.0;
        for (double k : {-0.5, 0.5})
            x += tone * std::cos(2 * kPi * (carrier + k * baud) * t);
        for (double k : {-1.5, 1.5})
            x += product * std::cos(2 * kPi * (carrier + k * baud) * t);
        out[i] = qint16(std::clamp(std::round(x + gauss(rng)), -32768.0, 32767.0));
    }
    return out;
}

std::vector<qint16> withNoise(std::vector<qint16> clean, double snrDb, unsigned seed)
{
    double power = 0.0;
    for (qint16 x : clean)
        power += double(x) * x;
    power /= double(std::max<size_t>(1, clean.size()));
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, std::sqrt(power / std::pow(10.0, snrDb / 10.0) * kRate / 2.0 / 2500.0));
    for (qint16& x : clean)
        x = qint16(std::clamp(std::round(x + gauss(rng)), -32768.0, 32767.0));
    return clean;
}
} // namespace

class TestSignalQuality : public QObject
{
    Q_OBJECT
    SettingsSandbox m_settings;

private slots:
    // An idle of known S/N and IMD, received for a few seconds at 1000 Hz.
    void readout_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("imd"); // of the signal; 0: none
        QTest::addColumn<double>("snr"); // of the signal in 2500 Hz
        QTest::addColumn<double>("imdLow"); // the readout's bounds; NaN: "not measurable"
        QTest::addColumn<double>("imdHigh");
        const double nan = std::nan("");
        QTest::newRow("clean, +20 dB") << "BPSK31" << -200.0 << 20.0 << -99.0 << -25.0;
        QTest::newRow("clean, strong, BPSK125") << "BPSK125" << -200.0 << 30.0 << -99.0 << -25.0;
        QTest::newRow("IMD -20 dB") << "BPSK31" << -20.0 << 25.0 << -21.5 << -18.5;
        QTest::newRow("IMD -15 dB, BPSK63") << "BPSK63" << -15.0 << 25.0 << -16.5 << -13.5;
        QTest::newRow("S/N 0 dB") << "BPSK31" << -200.0 << 0.0 << nan << nan;
        QTest::newRow("S/N -10 dB") << "BPSK31" << -200.0 << -10.0 << nan << nan;
        QTest::newRow("S/N -5 dB, QPSK63") << "QPSK63" << -200.0 << -5.0 << nan << nan;
    }
    void readout()
    {
        QFETCH(QString, modeName);
        QFETCH(double, imd);
        QFETCH(double, snr);
        QFETCH(double, imdLow);
        QFETCH(double, imdHigh);
        const Mode m = mode(modeName);
        CPskTxRx rx(m.modemName);
        setUp(rx, m, 1000.0);
        hear(rx, idle(1000.0, m.baudHundredths / 100.0, 6.0, imd, snr, 5u));
        const CPskTxRx::SignalReport r = rx.signalReport();
        QVERIFY2(std::abs(r.snrDb - snr) <= 1.5, qPrintable(QStringLiteral("S/N %1 dB").arg(r.snrDb)));
        if (std::isnan(imdLow))
            QVERIFY2(std::isnan(r.imdDb), qPrintable(QStringLiteral("IMD %1 dB").arg(r.imdDb)));
        else
            QVERIFY2(r.imdDb >= imdLow && r.imdDb <= imdHigh, qPrintable(QStringLiteral("IMD %1 dB").arg(r.imdDb)));
    }

    // The same through the command interface: IMD (its sign turned while
    // text goes, when no long run of zeros shows an idle), its text, S/N
    // to the owner, the quality, and the frequency snapped onto the signal
    // from 12 Hz off (but not away from it, nor below the band).
    void commandInterfaceReadout()
    {
        struct Owner : CBruxCmdTarget {
            intptr_t peak = 0, noise = 0;
            intptr_t Command(int code, intptr_t p1, intptr_t p2, intptr_t) override
            {
                return code == ModemCommand::kSnrResult ? (peak = p1, noise = p2, 1) : 0;
            }
        } owner;
        CPskTxRx rx(QStringLiteral("BPSK31"));
        rx.Command(ModemCommand::kSetOwner, reinterpret_cast<intptr_t>(&owner), 0, 0);
        rx.SetFrequencies(1000.0, 1000.0);
        hear(rx, idle(1000.0, 31.25, 5.0, -26.0, 40.0, 5u));
        const auto text = [&rx](int p1) { return QString::fromLatin1(reinterpret_cast<const char*>(rx.Command(ModemCommand::kImdText, p1, 0, 0))); };
        const intptr_t imd = rx.Command(ModemCommand::kMeasureImd, 0, 0, 0);
        QVERIFY2(imd >= -29 && imd <= -23 && text(0) == QStringLiteral("IMD: %1 dB").arg(imd), qPrintable(text(0)));
        QVERIFY(rx.Command(ModemCommand::kMeasureSnr, 0, 0, 0) == 1 && owner.peak - owner.noise > 40);
        QVERIFY(rx.Command(ModemCommand::kQuality, 0, 0, 0) >= 25);
        for (const auto& [from, to] : {std::pair{1012, 1000}, {988, 1000}, {2500, 2500}, {100, 100}})
            QVERIFY2(std::abs(rx.Command(ModemCommand::kSnapFrequency, from, 0, 0) - to) <= 2, qPrintable(QString::number(from)));
        std::vector<qint16> sending = transmit(mode(QStringLiteral("BPSK31")), QString(40, u'e'), 1000.0);
        sending.resize(size_t(kRate * 4));
        hear(rx, sending);
        const intptr_t turned = rx.Command(ModemCommand::kMeasureImd, 0, 0, 0);
        QVERIFY2(turned > 7 && text(0) == QStringLiteral("IMD:") && text(1) == QStringLiteral("IMD: %1 dB").arg(-turned), qPrintable(text(1)));
        rx.SetFrequencies(5600.0, 5600.0); // tuned off the top: nothing
        QCOMPARE(rx.Command(ModemCommand::kMeasureImd, 0, 0, 0) + rx.Command(ModemCommand::kMeasureSnr, 0, 0, 0), intptr_t(0));
    }

    // Text, not an idle: no IMD figure, whatever the S/N.
    void noImdWhileSendingText()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        CPskTxRx rx(m.modemName);
        setUp(rx, m, 1000.0);
        hear(rx, transmit(m, QStringLiteral("the quick brown fox jumps over the lazy dog"), 1000.0));
        QVERIFY(std::isnan(rx.signalReport().imdDb));
    }

    // Squelch at its default level: 20 s of noise prints (almost) nothing,
    // a weak signal that the receiver copies without it prints as much.
    void squelch_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<bool>("sensitive");
        QTest::addColumn<double>("snr"); // of the signal; above 90: noise alone
        QTest::newRow("noise, BPSK31") << "BPSK31" << false << 99.0;
        QTest::newRow("noise, BPSK250, sensitive") << "BPSK250" << true << 99.0;
        QTest::newRow("noise, QPSK63") << "QPSK63" << false << 99.0;
        QTest::newRow("BPSK31 at -9 dB") << "BPSK31" << false << -9.0;
        QTest::newRow("BPSK31 at -12 dB, sensitive") << "BPSK31" << true << -12.0;
        QTest::newRow("QPSK31 at -12 dB, sensitive") << "QPSK31" << true << -12.0;
        QTest::newRow("BPSK250 at -1 dB") << "BPSK250" << false << -1.0;
    }
    void squelch()
    {
        QFETCH(QString, modeName);
        QFETCH(bool, sensitive);
        QFETCH(double, snr);
        const Mode m = mode(modeName);
        const QString text = QStringLiteral("cq cq de vk2xyz vk2xyz pse k ").repeated(m.baudHundredths / 3125 * 3);
        std::vector<qint16> audio;
        if (snr > 90.0) {
            std::mt19937 rng(11u);
            std::normal_distribution<double> gauss(0.0, 3000.0);
            audio.resize(size_t(20 * kRate));
            for (qint16& x : audio)
                x = qint16(std::clamp(std::round(gauss(rng)), -32768.0, 32767.0));
        } else {
            audio = withNoise(transmit(m, text, 1500.0), snr, 12u);
        }
        auto decode = [&](bool squelched) {
            CPskTxRx rx(m.modemName);
            rx.setSensitiveReceiver(sensitive);
            setUp(rx, m, 1500.0).Command(ModemCommand::kSetAfc, 1, 0, 0);
            rx.Command(ModemCommand::kSetSquelch, squelched, 0, 0);
            rx.setSquelchLevel(SquelchGate::kDefaultLevel);
            return hear(rx, audio);
        };
        const QString gated = decode(true);
        if (snr > 90.0) {
            QVERIFY2(gated.size() <= 2, qPrintable(gated));
        } else {
            const QString open = decode(false);
            QVERIFY2(open.size() >= text.size() * 0.9, qPrintable(open));
            QVERIFY2(gated.size() >= open.size() - 3, qPrintable(gated + QStringLiteral(" | ") + open));
        }
    }

    // A signal drifting away at 1.5 Hz/s: the AFC follows it no further than
    // its range from where the receiver was tuned, with either receiver.
    void afcRange_data()
    {
        QTest::addColumn<bool>("sensitive");
        QTest::addColumn<double>("range");
        QTest::newRow("15 Hz") << false << 15.0;
        QTest::newRow("15 Hz, sensitive") << true << 15.0;
        QTest::newRow("50 Hz, sensitive") << true << 50.0;
        QTest::newRow("no limit") << false << 0.0;
    }
    void afcRange()
    {
        QFETCH(bool, sensitive);
        QFETCH(double, range);
        const Mode m = mode(QStringLiteral("BPSK31"));
        static const std::vector<qint16> drifting =
            transmit(m, QStringLiteral("CQ CQ de VK2XYZ VK2XYZ pse k ").repeated(8), 1000.0, kRate, 1.5);
        CPskTxRx rx(m.modemName);
        rx.setSensitiveReceiver(sensitive);
        setUp(rx, m, 1000.0).Command(ModemCommand::kSetAfc, 1, 0, 0);
        rx.setAfcRange(range);
        double furthest = 0.0;
        hear(rx, drifting, [&] { furthest = std::max(furthest, rx.rxDsp()->frequency() - 1000.0); });
        const QString where = QString::number(furthest);
        if (range > 0.0)
            QVERIFY2(furthest <= range + 0.01 && furthest >= range - 2.0, qPrintable(where));
        else
            QVERIFY2(furthest > 50.0, qPrintable(where));
    }
};

QTEST_GUILESS_MAIN(TestSignalQuality)
#include "tst_signalquality.moc"
