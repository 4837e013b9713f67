// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The AFC finding a signal the operator tuned beside: the averaged spectrum
// of the received audio, the search for a clear PSK signal near the receive
// frequency, and the transceiver retuning to it, leaving a centred signal,
// plain noise and signals beyond its reach alone. The spectrum also serves
// the snap and IMD measurements.

#include "modem/afcacquisition.h"
#include "modem/pskdecode.h"
#include "modemtesthelpers.h"

#include <QDir>
#include <QTest>

#include <array>

using namespace ModemTest;

namespace {

const double kPi = std::acos(-1.0);

std::vector<qint16> tone(double rate, double fq, double amplitude, double seconds)
{
    std::vector<qint16> out(size_t(rate * seconds));
    for (size_t n = 0; n < out.size(); ++n)
        out[n] = qint16(std::lround(amplitude * std::sin(2.0 * kPi * fq * double(n) / rate)));
    return out;
}

std::vector<qint16> whiteNoise(size_t count, double sigma, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::vector<qint16> out(count);
    for (qint16& s : out)
        s = qint16(std::clamp(std::round(gauss(rng)), -32768.0, 32767.0));
    return out;
}

// White noise through a receiver's passband, 300 to 2700 Hz with steep
// skirts (a windowed-sinc band-pass).
std::vector<qint16> passbandNoise(size_t count, double sigma, unsigned seed)
{
    constexpr int kTaps = 401;
    const double rate = 11025.0;
    std::array<double, kTaps> h{};
    for (int i = 0; i < kTaps; ++i) {
        const double n = i - (kTaps - 1) / 2.0;
        const auto lowPass = [n, rate](double fc) {
            const double w = 2.0 * fc / rate;
            return n == 0.0 ? w : std::sin(kPi * w * n) / (kPi * n);
        };
        const double phase = 2.0 * kPi * i / (kTaps - 1);
        const double blackman = 0.42 - 0.5 * std::cos(phase) + 0.08 * std::cos(2.0 * phase);
        h[size_t(i)] = (lowPass(2700.0) - lowPass(300.0)) * blackman;
    }
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::vector<double> white(count + kTaps);
    for (double& w : white)
        w = gauss(rng);
    std::vector<qint16> out(count);
    for (size_t i = 0; i < count; ++i) {
        double acc = 0.0;
        for (int k = 0; k < kTaps; ++k)
            acc += h[size_t(k)] * white[i + size_t(k)];
        out[i] = qint16(std::clamp(std::round(acc), -32768.0, 32767.0));
    }
    return out;
}

// a * x + b * y, sample by sample, over the longer of the two.
std::vector<qint16> mix(const std::vector<qint16>& x, double a, const std::vector<qint16>& y, double b)
{
    std::vector<qint16> out(std::max(x.size(), y.size()));
    for (size_t i = 0; i < out.size(); ++i) {
        const double v = (i < x.size() ? a * x[i] : 0.0) + (i < y.size() ? b * y[i] : 0.0);
        out[i] = qint16(std::clamp(std::round(v), -32768.0, 32767.0));
    }
    return out;
}

// Ordinary text while the receiver pulls in, then the text that must come
// through whole.
struct Message
{
    QString settle;
    QString text;
    QString all() const { return settle + QLatin1Char(' ') + text; }
};

Message message(const Mode& m, double settleSeconds)
{
    return {qsoText(int(settleSeconds * m.baud() / 9.0), 5), qsoText(int(1.5 * m.baud()), 3)};
}

// What a receiver did with some audio: the text and how far its frequency
// ever strayed from a reference.
struct Track
{
    QString text;
    double finalFrequency = 0.0;
    double finalTx = 0.0;
    double furthest = 0.0;
};

Track track(CPskTxRx& rx, const std::vector<qint16>& audio, double reference)
{
    Track t;
    const QMetaObject::Connection connection =
        QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [&t](QChar c) { t.text += c; });
    for (size_t at = 0; at < audio.size(); at += 1024) {
        rx.ReceiveSamples(audio.data() + at, int(std::min<size_t>(1024, audio.size() - at)));
        double fq = 0.0;
        rx.GetFrequencies(&fq, nullptr);
        t.furthest = std::max(t.furthest, std::abs(fq - reference));
    }
    rx.GetFrequencies(&t.finalFrequency, &t.finalTx);
    QObject::disconnect(connection);
    return t;
}

void setUp(CPskTxRx& rx, const Mode& m, double fq)
{
    rx.Command(90, m.baudHundredths, 0, 0);
    rx.SetSampleRates(11025.0, 11025.0);
    rx.SetFrequencies(fq, fq);
}

// How often findCentre, asked after every block (more often than the
// transceiver asks), finds a centre.
int centresFound(const std::vector<qint16>& audio, double fq, double baud, double* last = nullptr)
{
    AfcAcquisition acquisition;
    int found = 0;
    for (size_t at = 0; at < audio.size(); at += 1024) {
        acquisition.addSamples(audio.data() + at, int(std::min<size_t>(1024, audio.size() - at)));
        double centre = 0.0;
        if (acquisition.findCentre(fq, baud, &centre)) {
            ++found;
            if (last)
                *last = centre;
        }
    }
    return found;
}

// The transceiver with its measurement spectrum in reach.
class MeasuringTxRx : public CPskTxRx
{
public:
    using CPskTxRx::CPskTxRx;
    double level(int bin) const { return binMagnitude(bin); }
};

} // namespace

class TestAfcAcquisition : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void spectrumPlacesASine_data();
    void spectrumPlacesASine();
    void findsTheCentreOfAPskSignal_data();
    void findsTheCentreOfAPskSignal();
    void noiseAndSilenceAreNoSignal();
    void signalBeyondTheSearchIsIgnored();

    void pullsInFromThirtyHertz_data();
    void pullsInFromThirtyHertz();
    void centredSignalStaysPut_data();
    void centredSignalStaysPut();
    void noiseAloneDoesNotDrag_data();
    void noiseAloneDoesNotDrag();
    void strongerSignalOutsideDoesNotCapture();
    void afcOffNeverMoves();
    void transmitterFollowsUnlessLocked();
    void pausedWhileTransmitting();

    void peerRecordingBesideTheTrace_data();
    void peerRecordingBesideTheTrace();

    void snapFindsTheReceivedSignal();
    void imdOfAnIdleSignal();

private:
    std::unique_ptr<SettingsSandbox> m_settings;
};

void TestAfcAcquisition::initTestCase()
{
    m_settings = std::make_unique<SettingsSandbox>();
    QVERIFY(m_settings->isValid());
    m_settings->setCharSet(0);
}

void TestAfcAcquisition::spectrumPlacesASine_data()
{
    QTest::addColumn<double>("rate");
    QTest::newRow("8000") << 8000.0;
    QTest::newRow("11025") << 11025.0;
    QTest::newRow("48000") << 48000.0;
}

void TestAfcAcquisition::spectrumPlacesASine()
{
    QFETCH(double, rate);
    AfcAcquisition acquisition;
    acquisition.setSampleRate(rate);
    const std::vector<qint16> audio = tone(rate, 1234.5, 8192.0, 3.0);
    acquisition.addSamples(audio.data(), int(audio.size()));

    double peakFq = 0.0;
    double peak = -1000.0;
    for (double fq = 1100.0; fq <= 1400.0; fq += 0.25) {
        if (acquisition.levelAt(fq) > peak) {
            peak = acquisition.levelAt(fq);
            peakFq = fq;
        }
    }
    const double binHz = rate / acquisition.frameSize();
    QVERIFY2(binHz < 6.0, qPrintable(QString::number(binHz)));
    QVERIFY2(std::abs(peakFq - 1234.5) <= binHz / 2, qPrintable(QString::number(peakFq)));
    // A quarter of full scale is -12 dB; the window loses at most 1.5 dB
    // between bins.
    QVERIFY2(peak <= -12.0 && peak >= -13.6, qPrintable(QString::number(peak)));
    // Nothing leaks far: neither to the side nor to the mirror frequency.
    QVERIFY(acquisition.levelAt(1234.5 + 150.0) < peak - 60.0);
    QVERIFY(acquisition.levelAt(rate / 2.0 - 1234.5) < peak - 60.0);
}

void TestAfcAcquisition::findsTheCentreOfAPskSignal_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("carrier");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("BPSK31 30 Hz high") << "BPSK31" << 1530.0 << 1.0;
    QTest::newRow("BPSK31 38 Hz low") << "BPSK31" << 1462.0 << 1.0;
    QTest::newRow("BPSK250 300 Hz high") << "BPSK250" << 1800.0 << 2.0;
    // QPSK's spectrum is only symmetric on average.
    QTest::newRow("QPSK63 25 Hz low") << "QPSK63" << 1475.0 << 3.0;
}

void TestAfcAcquisition::findsTheCentreOfAPskSignal()
{
    QFETCH(QString, modeName);
    QFETCH(double, carrier);
    QFETCH(double, tolerance);
    const Mode m = mode(modeName);
    const std::vector<qint16> audio = withNoise(transmit(m, qsoText(int(4 * m.baud() / 9.0), 1), carrier), 10.0,
                                                11025.0, 21);
    double centre = 0.0;
    QVERIFY(centresFound(audio, 1500.0, m.baud(), &centre) > 0);
    QVERIFY2(std::abs(centre - carrier) <= tolerance, qPrintable(QString::number(centre)));
}

void TestAfcAcquisition::noiseAndSilenceAreNoSignal()
{
    const std::vector<qint16> noise = whiteNoise(size_t(11025 * 60), 2000.0, 8);
    for (double baud : {31.25, 62.5, 125.0, 250.0})
        QCOMPARE(centresFound(noise, 1500.0, baud), 0);
    const std::vector<qint16> silence(11025 * 5, 0);
    QCOMPARE(centresFound(silence, 1500.0, 31.25), 0);

    // At the edges of the receiver's passband the noise drops away; the
    // noise inside is no signal either.
    const std::vector<qint16> band = passbandNoise(size_t(11025 * 20), 3000.0, 9);
    for (double fq : {290.0, 2690.0, 2720.0}) {
        for (double baud : {62.5, 125.0, 250.0})
            QVERIFY2(centresFound(band, fq, baud) == 0, qPrintable(QStringLiteral("%1 Hz, %2 baud").arg(fq).arg(baud)));
    }
}

void TestAfcAcquisition::signalBeyondTheSearchIsIgnored()
{
    const Mode m = mode(QStringLiteral("BPSK31"));
    const std::vector<qint16> audio = transmit(m, qsoText(10, 1), 1620.0);
    QCOMPARE(centresFound(audio, 1500.0, m.baud()), 0);
    QVERIFY(centresFound(audio, 1600.0, m.baud()) > 0);
}

void TestAfcAcquisition::pullsInFromThirtyHertz_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("offset");
    QTest::addColumn<double>("snr");
    QTest::addColumn<double>("rate");
    QTest::newRow("BPSK31 above") << "BPSK31" << 30.0 << 99.0 << 11025.0;
    QTest::newRow("BPSK31 below") << "BPSK31" << -30.0 << 99.0 << 11025.0;
    QTest::newRow("BPSK31 above at -6 dB") << "BPSK31" << 30.0 << -6.0 << 11025.0;
    QTest::newRow("BPSK31 below at -6 dB") << "BPSK31" << -30.0 << -6.0 << 11025.0;
    QTest::newRow("QPSK31 above at -6 dB") << "QPSK31" << 30.0 << -6.0 << 11025.0;
    QTest::newRow("BPSK31 above at 48000") << "BPSK31" << 30.0 << 99.0 << 48000.0;
    QTest::newRow("BPSK63 below at 8000") << "BPSK63" << -30.0 << 99.0 << 8000.0;
}

void TestAfcAcquisition::pullsInFromThirtyHertz()
{
    QFETCH(QString, modeName);
    QFETCH(double, offset);
    QFETCH(double, snr);
    QFETCH(double, rate);
    const Mode m = mode(modeName);
    const Message msg = message(m, 3.0);
    const double carrier = 1500.0;
    std::vector<qint16> audio = transmit(m, msg.all(), carrier, rate);
    if (snr < 50.0)
        audio = withNoise(audio, snr, rate, 31);

    const RxResult rx = receive(m, audio, {carrier - offset, rate, true});
    QVERIFY2(rx.text.contains(msg.text), qPrintable(QStringLiteral("decoded: ") + rx.text));
    QVERIFY2(std::abs(rx.finalFrequency - carrier) < 0.5,
             qPrintable(QStringLiteral("receiver ended at %1 Hz").arg(rx.finalFrequency)));
}

void TestAfcAcquisition::centredSignalStaysPut_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("snr");
    QTest::newRow("BPSK31 at -6 dB") << "BPSK31" << -6.0;
    QTest::newRow("QPSK31") << "QPSK31" << 99.0;
    QTest::newRow("QPSK63 at 0 dB") << "QPSK63" << 0.0;
}

void TestAfcAcquisition::centredSignalStaysPut()
{
    QFETCH(QString, modeName);
    QFETCH(double, snr);
    const Mode m = mode(modeName);
    std::vector<qint16> audio = transmit(m, qsoText(int(20 * m.baud() / 9.0), 2), 1500.0);
    if (snr < 50.0)
        audio = withNoise(audio, snr, 11025.0, 41);

    CPskTxRx rx(m.modemName);
    setUp(rx, m, 1500.0);
    rx.Command(51, 1, 0, 0);
    const Track t = track(rx, audio, 1500.0);
    QVERIFY2(t.furthest < 0.3, qPrintable(QStringLiteral("strayed %1 Hz").arg(t.furthest)));
}

void TestAfcAcquisition::noiseAloneDoesNotDrag_data()
{
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("limit");
    // The fine AFC wanders a little on noise, more at the faster rates.
    QTest::newRow("BPSK31") << "BPSK31" << 3.0;
    QTest::newRow("BPSK250") << "BPSK250" << 8.0;
    QTest::newRow("QPSK63") << "QPSK63" << 3.0;
}

void TestAfcAcquisition::noiseAloneDoesNotDrag()
{
    QFETCH(QString, modeName);
    QFETCH(double, limit);
    const Mode m = mode(modeName);
    CPskTxRx rx(m.modemName);
    setUp(rx, m, 1500.0);
    rx.Command(51, 1, 0, 0);
    const Track t = track(rx, whiteNoise(size_t(11025 * 40), 1500.0, 3), 1500.0);
    QVERIFY2(t.furthest < limit, qPrintable(QStringLiteral("strayed %1 Hz").arg(t.furthest)));
}

void TestAfcAcquisition::strongerSignalOutsideDoesNotCapture()
{
    // The operator tuned 30 Hz below a weak station; 110 Hz above it a
    // station 20 dB stronger is working someone else.
    const Mode m = mode(QStringLiteral("BPSK31"));
    const Message msg = message(m, 3.0);
    const std::vector<qint16> weak = transmit(m, msg.all(), 1530.0);
    const std::vector<qint16> strong = transmit(m, qsoText(int(msg.all().size() * 1.2), 9), 1640.0);
    const std::vector<qint16> band = withNoise(mix(weak, 0.05, strong, 0.5), 20.0, 11025.0, 51);

    CPskTxRx rx(m.modemName);
    setUp(rx, m, 1500.0);
    rx.Command(51, 1, 0, 0);
    const Track t = track(rx, band, 1500.0);
    QVERIFY2(std::abs(t.finalFrequency - 1530.0) < 0.5, qPrintable(QString::number(t.finalFrequency)));
    QVERIFY2(t.furthest < 31.0, qPrintable(QString::number(t.furthest)));
    QVERIFY2(t.text.contains(msg.text), qPrintable(QStringLiteral("decoded: ") + t.text));
}

void TestAfcAcquisition::afcOffNeverMoves()
{
    const Mode m = mode(QStringLiteral("BPSK31"));
    CPskTxRx rx(m.modemName);
    setUp(rx, m, 1470.0);
    const Track t = track(rx, transmit(m, message(m, 3.0).all(), 1500.0), 1470.0);
    QCOMPARE(t.furthest, 0.0);
}

void TestAfcAcquisition::transmitterFollowsUnlessLocked()
{
    const Mode m = mode(QStringLiteral("BPSK31"));
    const std::vector<qint16> audio = transmit(m, qsoText(20, 4), 1500.0);
    for (bool locked : {false, true}) {
        CPskTxRx rx(m.modemName);
        setUp(rx, m, 1470.0);
        rx.Command(63, 100, 0, 0); // transmit 100 Hz above the receiver
        rx.Command(65, 1470, 0, 0);
        rx.Command(54, locked ? 1 : 0, 0, 0);
        rx.Command(51, 1, 0, 0);
        const Track t = track(rx, audio, 1470.0);
        QVERIFY2(std::abs(t.finalFrequency - 1500.0) < 0.5, qPrintable(QString::number(t.finalFrequency)));
        if (locked)
            QCOMPARE(t.finalTx, 1570.0);
        else
            QCOMPARE(t.finalTx, double(qint64(t.finalFrequency + 100.0 + 0.5)));
    }
}

void TestAfcAcquisition::pausedWhileTransmitting()
{
    // Whatever reaches the input while we transmit is not a station to go
    // to, then or afterwards.
    const Mode m = mode(QStringLiteral("BPSK31"));
    const std::vector<qint16> audio = transmit(m, qsoText(20, 4), 1500.0);
    CPskTxRx rx(m.modemName);
    setUp(rx, m, 1470.0);
    rx.Command(51, 1, 0, 0);
    rx.SetTransmit(1);
    Track t = track(rx, audio, 1470.0);
    QCOMPARE(t.furthest, 0.0);
    // The fine AFC may still spend the drift the decoder saw meanwhile,
    // a fraction of a hertz; the signal 30 Hz away must not pull.
    rx.SetTransmit(0);
    t = track(rx, std::vector<qint16>(11025 * 3, 0), 1470.0);
    QVERIFY2(t.furthest < 2.0, qPrintable(QString::number(t.furthest)));
}

void TestAfcAcquisition::peerRecordingBesideTheTrace_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("rxFrequency");
    // Each carrier with the receiver 30 Hz to one side of it.
    QTest::newRow("BPSK31") << "bpsk31_1200.wav" << "BPSK31" << 1170.0;
    QTest::newRow("BPSK63") << "bpsk63_800.wav" << "BPSK63" << 830.0;
    QTest::newRow("BPSK125") << "bpsk125_1700.wav" << "BPSK125" << 1670.0;
    QTest::newRow("BPSK250") << "bpsk250_1500.wav" << "BPSK250" << 1530.0;
    QTest::newRow("QPSK31") << "qpsk31_1000.wav" << "QPSK31" << 970.0;
    QTest::newRow("QPSK63") << "qpsk63_2000.wav" << "QPSK63" << 2030.0;
}

void TestAfcAcquisition::peerRecordingBesideTheTrace()
{
    // Another station's program: its text must come through whole although
    // the operator clicked beside its trace.
    QFETCH(QString, file);
    QFETCH(QString, modeName);
    QFETCH(double, rxFrequency);
    const QDir dir(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/../shared/testdata/peer"));
    if (!dir.exists())
        QSKIP("the peer recordings are not present");
    QFile textFile(dir.filePath(QStringLiteral("text_c.txt")));
    QVERIFY(textFile.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(textFile.readAll());
    int rate = 0;
    const std::vector<qint16> samples = readWav16(dir.filePath(file), &rate);
    QVERIFY2(!samples.empty(), qPrintable(file));

    const RxResult rx = receive(mode(modeName), samples, {rxFrequency, double(rate), true});
    QVERIFY2(rx.text.contains(text), qPrintable(QStringLiteral("decoded: ") + rx.text));
}

void TestAfcAcquisition::snapFindsTheReceivedSignal()
{
    const Mode m = mode(QStringLiteral("BPSK31"));
    MeasuringTxRx rx(m.modemName);
    setUp(rx, m, 1000.0);
    // Without audio there is nothing to snap to.
    QCOMPARE(rx.Command(49, 995, 0, 0), intptr_t(995));

    const std::vector<qint16> audio = withNoise(transmit(m, qsoText(30, 6), 1003.0), 10.0, 11025.0, 61);
    track(rx, audio, 1000.0);
    for (int from : {995, 1010})
        QVERIFY2(std::abs(int(rx.Command(49, from, 0, 0)) - 1003) <= 2,
                 qPrintable(QString::number(rx.Command(49, from, 0, 0))));
    // The levels are the received audio's: the signal stands high above the
    // noise a few hundred hertz away.
    QVERIFY(rx.level(186) > rx.level(300) + 20.0);
}

void TestAfcAcquisition::imdOfAnIdleSignal()
{
    // Idle reversals are two tones half the symbol rate either side of the
    // carrier; a transmitter driven too hard adds third-order products at
    // three halves, here 20 dB down.
    const double rate = 11025.0;
    const double fc = 1000.0;
    const double half = 31.25 / 2.0;
    std::vector<qint16> audio = tone(rate, fc - half, 8000.0, 6.0);
    for (const auto& [fq, amplitude] : std::vector<std::pair<double, double>>{
             {fc + half, 8000.0}, {fc - 3 * half, 800.0}, {fc + 3 * half, 800.0}})
        audio = mix(audio, 1.0, tone(rate, fq, amplitude, 6.0), 1.0);

    const Mode m = mode(QStringLiteral("BPSK31"));
    MeasuringTxRx rx(m.modemName);
    setUp(rx, m, fc);
    track(rx, audio, fc);
    QVERIFY2(rx.decoder()->zeroRun() >= 21, "the receiver should have seen idle reversals");
    const int imd = int(rx.Command(85, 0, 0, 0));
    QVERIFY2(imd >= -22 && imd <= -18, qPrintable(QString::number(imd)));
}

QTEST_GUILESS_MAIN(TestAfcAcquisition)
#include "tst_afcacquisition.moc"
