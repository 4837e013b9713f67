// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The AFC finding a signal tuned beside it, the spectrum behind it, and snap.

#include "modem/afcacquisition.h"
#include "modem/pskdecode.h"
#include "modemtesthelpers.h"

#include <QTest>

using namespace ModemTest;

namespace {

std::vector<qint16> tone(double rate, double fq, double amplitude, double seconds)
{
    std::vector<qint16> out(size_t(rate * seconds));
    for (size_t n = 0; n < out.size(); ++n)
        out[n] = qint16(std::lround(amplitude * std::sin(2.0 * M_PI * fq * double(n) / rate)));
    return out;
}

// a * x + b * y over the longer of the two.
std::vector<qint16> mix(const std::vector<qint16>& x, double a, const std::vector<qint16>& y, double b)
{
    std::vector<qint16> out(std::max(x.size(), y.size()));
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = qint16(std::clamp(std::round((i < x.size() ? a * x[i] : 0.0) + (i < y.size() ? b * y[i] : 0.0)),
                                   -32768.0, 32767.0));
    return out;
}

// Ordinary text while the receiver pulls in, then the text that must come through whole.
struct Message
{
    QString settle, text;
    QString all() const { return settle + QLatin1Char(' ') + text; }
};

Message message(const Mode& m) { return {qsoText(int(3.0 * m.baud() / 9.0), 5), qsoText(int(1.5 * m.baud()), 3)}; }

struct Track
{
    QString text;
    double finalFrequency = 0.0;
    double furthest = 0.0; // from the reference, ever
};

Track track(CPskTxRx& rx, const std::vector<qint16>& audio, double reference)
{
    Track t;
    const auto connection = QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [&t](QChar c) { t.text += c; });
    for (size_t at = 0; at < audio.size(); at += 1024) {
        rx.ReceiveSamples(audio.data() + at, int(std::min<size_t>(1024, audio.size() - at)));
        rx.GetFrequencies(&t.finalFrequency, nullptr);
        t.furthest = std::max(t.furthest, std::abs(t.finalFrequency - reference));
    }
    QObject::disconnect(connection);
    return t;
}

// The transceiver with its measurement spectrum in reach.
class MeasuringTxRx : public CPskTxRx
{
public:
    MeasuringTxRx(const ModemTest::Mode& m, double fq, bool afc) : CPskTxRx(m.modemName)
    {
        Command(90, m.baudHundredths, 0, 0);
        SetSampleRates(11025.0, 11025.0);
        SetFrequencies(fq, fq);
        Command(51, afc, 0, 0);
    }
    double level(int bin) const { return binMagnitude(bin); }
};

// How often findCentre, asked after every block, finds a centre.
int centresFound(const std::vector<qint16>& audio, double fq, double baud, double* last = nullptr)
{
    AfcAcquisition acquisition;
    int found = 0;
    double centre = 0.0;
    for (size_t at = 0; at < audio.size(); at += 1024) {
        acquisition.addSamples(audio.data() + at, int(std::min<size_t>(1024, audio.size() - at)));
        if (acquisition.findCentre(fq, baud, &centre) && ++found && last)
            *last = centre;
    }
    return found;
}

} // namespace

class TestAfcAcquisition : public QObject
{
    Q_OBJECT
    SettingsSandbox m_settings;

private slots:
    void initTestCase() { QVERIFY(m_settings.isValid()); }

    void spectrumPlacesASine_data()
    {
        QTest::addColumn<double>("rate");
        QTest::newRow("8000") << 8000.0;
        QTest::newRow("48000") << 48000.0;
    }
    void spectrumPlacesASine()
    {
        QFETCH(double, rate);
        AfcAcquisition acquisition;
        acquisition.setSampleRate(rate);
        const std::vector<qint16> audio = tone(rate, 1234.5, 8192.0, 3.0);
        acquisition.addSamples(audio.data(), int(audio.size()));
        double peakFq = 0.0, peak = -1000.0;
        for (double fq = 1100.0; fq <= 1400.0; fq += 0.25) {
            if (acquisition.levelAt(fq) > peak) {
                peak = acquisition.levelAt(fq);
                peakFq = fq;
            }
        }
        const double binHz = rate / acquisition.frameSize();
        QVERIFY(binHz < 6.0);
        QVERIFY2(std::abs(peakFq - 1234.5) <= binHz / 2, qPrintable(QString::number(peakFq)));
        QVERIFY2(peak <= -12.0 && peak >= -13.6, qPrintable(QString::number(peak))); // a quarter of full scale
        QVERIFY(acquisition.levelAt(1234.5 + 150.0) < peak - 60.0);
        QVERIFY(acquisition.levelAt(rate / 2.0 - 1234.5) < peak - 60.0);
    }

    void findsTheCentreOfAPskSignal_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("carrier");
        QTest::addColumn<double>("tolerance");
        QTest::newRow("BPSK31 30 Hz high") << "BPSK31" << 1530.0 << 1.0;
        QTest::newRow("BPSK250 300 Hz high") << "BPSK250" << 1800.0 << 2.0;
        QTest::newRow("QPSK63 25 Hz low") << "QPSK63" << 1475.0 << 3.0;
    }
    void findsTheCentreOfAPskSignal()
    {
        QFETCH(QString, modeName);
        QFETCH(double, carrier);
        QFETCH(double, tolerance);
        const Mode m = mode(modeName);
        const auto audio = withNoise(transmit(m, qsoText(int(4 * m.baud() / 9.0), 1), carrier), 10.0, 11025.0, 21);
        double centre = 0.0;
        QVERIFY(centresFound(audio, 1500.0, m.baud(), &centre) > 0);
        QVERIFY2(std::abs(centre - carrier) <= tolerance, qPrintable(QString::number(centre)));
        // Beyond the search there is nothing to find.
        if (modeName == QLatin1String("BPSK31"))
            QCOMPARE(centresFound(transmit(m, qsoText(10, 1), 1620.0), 1500.0, m.baud()), 0);
    }

    void noiseAndSilenceAreNoSignal()
    {
        const std::vector<qint16> noise = whiteNoise(size_t(11025 * 60), 2000.0, 8);
        for (double baud : {31.25, 62.5, 125.0, 250.0})
            QCOMPARE(centresFound(noise, 1500.0, baud), 0);
        QCOMPARE(centresFound(std::vector<qint16>(11025 * 5, 0), 1500.0, 31.25), 0);
    }

    void pullsInFromThirtyHertz_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("offset");
        QTest::addColumn<double>("snr");
        QTest::addColumn<double>("rate");
        QTest::newRow("BPSK31 above") << "BPSK31" << 30.0 << 99.0 << 11025.0;
        QTest::newRow("BPSK31 below at -6 dB") << "BPSK31" << -30.0 << -6.0 << 11025.0;
        QTest::newRow("BPSK31 above at 48000") << "BPSK31" << 30.0 << 99.0 << 48000.0;
        QTest::newRow("BPSK63 below at 8000") << "BPSK63" << -30.0 << 99.0 << 8000.0;
        QTest::newRow("BPSK125 above") << "BPSK125" << 30.0 << 99.0 << 11025.0;
        QTest::newRow("BPSK250 below") << "BPSK250" << -30.0 << 99.0 << 11025.0;
        QTest::newRow("QPSK31 above at -6 dB") << "QPSK31" << 30.0 << -6.0 << 11025.0;
        QTest::newRow("QPSK63 above") << "QPSK63" << 30.0 << 99.0 << 11025.0;
        QTest::newRow("QPSK125 below") << "QPSK125" << -30.0 << 99.0 << 11025.0;
        QTest::newRow("QPSK250 above") << "QPSK250" << 30.0 << 99.0 << 11025.0;
    }
    void pullsInFromThirtyHertz()
    {
        QFETCH(QString, modeName);
        QFETCH(double, offset);
        QFETCH(double, snr);
        QFETCH(double, rate);
        const Mode m = mode(modeName);
        const Message msg = message(m);
        std::vector<qint16> audio = transmit(m, msg.all(), 1500.0, rate);
        if (snr < 50.0)
            audio = withNoise(audio, snr, rate, 31);
        const RxResult rx = receive(m, audio, {1500.0 - offset, rate, true});
        QVERIFY2(rx.text.contains(msg.text), qPrintable(QStringLiteral("decoded: ") + rx.text));
        QVERIFY2(std::abs(rx.finalFrequency - 1500.0) < 1.0, qPrintable(QString::number(rx.finalFrequency)));
    }

    void staysPut_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("snr"); // 99: no signal, noise only
        QTest::addColumn<double>("limit");
        QTest::newRow("centred BPSK31 at -6 dB") << "BPSK31" << -6.0 << 0.3;
        QTest::newRow("centred QPSK63 at 0 dB") << "QPSK63" << 0.0 << 0.3;
        QTest::newRow("noise, BPSK31") << "BPSK31" << 99.0 << 3.0;
        QTest::newRow("noise, BPSK250") << "BPSK250" << 99.0 << 8.0;
        QTest::newRow("noise, QPSK63") << "QPSK63" << 99.0 << 3.0;
    }
    void staysPut()
    {
        QFETCH(QString, modeName);
        QFETCH(double, snr);
        QFETCH(double, limit);
        const Mode m = mode(modeName);
        const auto audio = snr < 50.0 ? withNoise(transmit(m, qsoText(int(20 * m.baud() / 9.0), 2), 1500.0), snr, 11025.0, 41)
                                      : whiteNoise(size_t(11025 * 40), 1500.0, 3);
        MeasuringTxRx rx(m, 1500.0, true);
        const Track t = track(rx, audio, 1500.0);
        QVERIFY2(t.furthest < limit, qPrintable(QStringLiteral("strayed %1 Hz").arg(t.furthest)));
    }

    void strongerSignalOutsideDoesNotCapture()
    {
        // Tuned 30 Hz below a weak station; 110 Hz above it one 20 dB stronger.
        const Mode m = mode(QStringLiteral("BPSK31"));
        const Message msg = message(m);
        const auto weak = transmit(m, msg.all(), 1530.0);
        const auto strong = transmit(m, qsoText(int(msg.all().size() * 1.2), 9), 1640.0);
        MeasuringTxRx rx(m, 1500.0, true);
        const Track t = track(rx, withNoise(mix(weak, 0.05, strong, 0.5), 20.0, 11025.0, 51), 1500.0);
        QVERIFY2(std::abs(t.finalFrequency - 1530.0) < 0.5, qPrintable(QString::number(t.finalFrequency)));
        QVERIFY2(t.furthest < 31.0, qPrintable(QString::number(t.furthest)));
        QVERIFY2(t.text.contains(msg.text), qPrintable(QStringLiteral("decoded: ") + t.text));
    }

    void neverMovesWhenOffOrTransmitting()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const auto audio = transmit(m, message(m).all(), 1500.0);
        for (bool transmitting : {false, true}) {
            MeasuringTxRx rx(m, 1470.0, transmitting);
            rx.SetTransmit(transmitting);
            QCOMPARE(track(rx, audio, 1470.0).furthest, 0.0);
            // Afterwards the signal 30 Hz away must not pull either.
            rx.SetTransmit(0);
            QVERIFY(track(rx, std::vector<qint16>(11025 * 3, 0), 1470.0).furthest < 2.0);
        }
    }

    void snapFindsTheReceivedSignal()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        MeasuringTxRx rx(m, 1000.0, false);
        QCOMPARE(rx.Command(49, 995, 0, 0), intptr_t(995)); // no audio, nothing to snap to
        track(rx, withNoise(transmit(m, qsoText(30, 6), 1003.0), 10.0, 11025.0, 61), 1000.0);
        for (int from : {995, 1010})
            QVERIFY2(std::abs(int(rx.Command(49, from, 0, 0)) - 1003) <= 2, qPrintable(QString::number(from)));
        QVERIFY(rx.level(186) > rx.level(300) + 20.0);
    }
};

QTEST_GUILESS_MAIN(TestAfcAcquisition)
#include "tst_afcacquisition.moc"
