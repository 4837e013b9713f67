// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transmit DSP: steps, the sine table, raised-cosine shaping, QPSK phase codes.
#include "core/settings.h"
#include "modem/pskencode.h"
#include "modem/psktxalgorithms.h"
#include "modem/sinetable.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One symbol (256 samples) of a 1000 Hz carrier at 8000 samples a second,
// 8 samples a cycle, going from one phase code to another.
std::vector<int> oneSymbol(quint16 previous, quint16 current, int* needAt = nullptr)
{
    CPskTxAlgorithms dsp;
    dsp.setSampleRate(8000.0);
    dsp.setShiftAndBaud(0.0, 31.25);
    dsp.setFrequency(1000.0);
    dsp.reset();
    dsp.setPreviousCode(previous);
    dsp.setCurrentCode(current);
    std::vector<int> x;
    for (int n = 0, need = 0; n < 256; ++n) {
        x.push_back(dsp.NextSample(&need));
        if (need && needAt && *needAt < 0)
            *needAt = n;
    }
    return x;
}

// Amplitude of the carrier over the cycle that starts at first.
double cycleAmplitude(const std::vector<int>& x, int first)
{
    double i = 0, q = 0;
    for (int n = 0; n < 8; ++n) {
        i += x[first + n] * std::cos(M_PI * (first + n) / 4.0);
        q += x[first + n] * std::sin(M_PI * (first + n) / 4.0);
    }
    return std::sqrt(i * i + q * q) / 4.0;
}

} // namespace

class TestTxDsp : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("txdsp.ini")));
    }

    void sineTableQuarterWave()
    {
        QCOMPARE(SineTable::table[16384], 32767);
        QCOMPARE(SineTable::table[8192], 23169);
        for (int a = 0; a < 65536; a += 97) {
            QCOMPARE(SineTable::cos16(quint16(a)), SineTable::sin16(quint16(a + 16384)));
            QVERIFY(std::abs(SineTable::sin16(quint16(a)) - 32767 * std::sin(a * M_PI / 32768)) <= 1.5);
        }
    }

    void steps_data()
    {
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("frequency");
        QTest::addColumn<double>("baud");
        QTest::addColumn<int>("centreStep");
        QTest::addColumn<quint32>("symbolStep");
        QTest::newRow("1000 Hz, 31.25 baud at 11025") << 11025.0 << 1000.0 << 31.25 << 5944 << 12173943u;
        QTest::newRow("1000 Hz, 31.25 baud at 8000") << 8000.0 << 1000.0 << 31.25 << 8192 << 16777216u;
        QTest::newRow("4000 Hz, 250 baud at 32000") << 32000.0 << 4000.0 << 250.0 << 8192 << 33554432u;
        QTest::newRow("no rate, no steps") << 0.0 << 1000.0 << 31.25 << 0 << 0u;
    }

    void steps()
    {
        QFETCH(double, rate);
        QFETCH(double, frequency);
        QFETCH(double, baud);
        QFETCH(int, centreStep);
        QFETCH(quint32, symbolStep);
        CPskTxAlgorithms dsp;
        dsp.setSampleRate(rate);
        dsp.setShiftAndBaud(0.0, baud);
        dsp.setFrequency(frequency);
        QCOMPARE(int(dsp.centreStep()), centreStep);
        QCOMPARE(dsp.symbolStep(), symbolStep);
    }

    void riseFromSilenceIsRaisedCosine()
    {
        int needAt = -1;
        const std::vector<int> x = oneSymbol(4, 0, &needAt);
        QCOMPARE(needAt, 255); // the next symbol is due after the last sample
        QCOMPARE(x[0], 0);
        for (int first = 0; first + 8 <= 256; first += 8) {
            const double expected = 32766.0 * (1.0 - std::cos(M_PI * (first + 3.5) / 256.0)) / 2.0;
            QVERIFY2(std::abs(cycleAmplitude(x, first) - expected) < 330.0, qPrintable(QString::number(first)));
        }
    }

    void reversalAndPeak()
    {
        const std::vector<int> reversal = oneSymbol(0, 2);
        QVERIFY(cycleAmplitude(reversal, 124) < 700.0);
        // Code 2 is the carrier turned by half a turn: the sign flips.
        QVERIFY(reversal[0] > 32000 && reversal[248] < -32000);
        const std::vector<int> steady = oneSymbol(0, 0);
        QCOMPARE(*std::max_element(steady.begin(), steady.end()), 32766);
        // The arithmetic shift rounds the troughs down by one.
        QCOMPARE(*std::min_element(steady.begin(), steady.end()), -32767);
    }

    void qpskIdleAndInversion()
    {
        // Idle: once five zero bits fill the state, half a turn per symbol,
        // inverted or not. Data: the inverted encoder turns the other way.
        CQpskEncode normal, inverted;
        inverted.setInversion(true);
        int done = 0, pN = 0, pI = 0;
        for (int s = 0; s < 5; ++s) {
            pN = normal.NextSymbol(&done);
            pI = inverted.NextSymbol(&done);
        }
        normal.LoadChar('a');
        inverted.LoadChar('a');
        QString steps;
        for (int s = 0; s < 20; ++s) {
            const int n = normal.NextSymbol(&done);
            const int i = inverted.NextSymbol(&done);
            steps += QChar(u'0' + (n - pN + 4) % 4);
            QCOMPARE((i - pI + 4) % 4, (4 - (n - pN + 4) % 4) % 4);
            pN = n;
            pI = i;
        }
        QVERIFY(steps.left(12) != QString(12, QLatin1Char('2')));
        QCOMPARE(steps.right(6), QString(6, QLatin1Char('2')));
    }
};

QTEST_GUILESS_MAIN(TestTxDsp)
#include "tst_txdsp.moc"
