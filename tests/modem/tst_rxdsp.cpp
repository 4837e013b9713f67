// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The receive DSP refuses the rates its moving sums cannot hold.
#include "modemtesthelpers.h"
#include "modem/pskrxalgorithms.h"

#include <QTest>

#include <cmath>

class TestRxDsp : public QObject
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
};

QTEST_GUILESS_MAIN(TestRxDsp)
#include "tst_rxdsp.moc"
