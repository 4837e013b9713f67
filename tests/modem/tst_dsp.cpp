// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receive DSP refuses the rates its moving sums cannot hold; the
// transmit DSP shapes a symbol as a raised cosine.
#include "modemtesthelpers.h"
#include "modem/pskrxalgorithms.h"
#include "modem/psktxalgorithms.h"

#include <QTest>

#include <cmath>

class TestDsp : public QObject
{
    Q_OBJECT
    ModemTest::SettingsSandbox m_settings;

private slots:
    void ratesBeyondTheSumBuffersAreRefused()
    {
        CPskRxAlgorithms rx;
        rx.setFrequency(1500);
        for (double bad : {64250.0, -8000.0, std::nan("")}) {
            QVERIFY(!rx.setSampleRate(bad));
            QCOMPARE(rx.movingSumLength(), 22);
        }
        QVERIFY(rx.setSampleRate(64249.0));
        QCOMPARE(rx.movingSumLength(), 128);
    }

    void riseFromSilenceIsRaisedCosine()
    {
        // One symbol (256 samples) of 1000 Hz at 8000 samples a second, from no carrier to code 0.
        CPskTxAlgorithms dsp;
        dsp.setSampleRate(8000.0);
        dsp.setShiftAndBaud(0.0, 31.25);
        dsp.setFrequency(1000.0);
        dsp.reset();
        dsp.setCurrentCode(0);
        std::vector<int> x;
        int needAt = -1;
        for (int n = 0, need = 0; n < 256; ++n) {
            x.push_back(dsp.NextSample(&need));
            if (need && needAt < 0)
                needAt = n;
        }
        QCOMPARE(needAt, 255); // the next symbol is due after the last sample
        QCOMPARE(x[0], 0);
        for (int first = 0; first + 8 <= 256; first += 8) {
            double i = 0, q = 0;
            for (int n = first; n < first + 8; ++n) {
                i += x[n] * std::cos(M_PI * n / 4.0);
                q += x[n] * std::sin(M_PI * n / 4.0);
            }
            const double expected = 32766.0 * (1.0 - std::cos(M_PI * (first + 3.5) / 256.0)) / 2.0;
            QVERIFY2(std::abs(std::hypot(i, q) / 4.0 - expected) < 330.0, qPrintable(QString::number(first)));
        }
    }
};

QTEST_GUILESS_MAIN(TestDsp)
#include "tst_dsp.moc"
