// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The report suggested from a measured S/N: readability and strength rise
// with it, the edges land on the right side, and no signal suggests nothing.

#include "logbook/rstsuggestion.h"

#include <QTest>

class TestRstSuggestion : public QObject
{
    Q_OBJECT
private slots:
    void fromSnr_data()
    {
        QTest::addColumn<double>("snr");
        QTest::addColumn<QString>("rst");
        QTest::newRow("no signal") << -99.0 << QString();
        QTest::newRow("far below the noise") << -40.0 << "119";
        QTest::newRow("barely there") << -12.0 << "229";
        QTest::newRow("readability 3 from -10 dB") << -10.0 << "339";
        QTest::newRow("just under readability 4") << -7.01 << "339";
        QTest::newRow("readability 4") << -5.0 << "449";
        QTest::newRow("fully readable") << -3.0 << "549";
        QTest::newRow("S5 at 0 dB") << 0.0 << "559";
        QTest::newRow("S8") << 15.0 << "589";
        QTest::newRow("S9 at +20 dB") << 20.0 << "599";
        QTest::newRow("S9 is the top") << 45.0 << "599";
    }
    void fromSnr()
    {
        QFETCH(double, snr);
        QFETCH(QString, rst);
        QCOMPARE(RstSuggestion::fromSnr(snr), rst);
    }
};

QTEST_GUILESS_MAIN(TestRstSuggestion)
#include "tst_rstsuggestion.moc"
