// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Recordings made by another station's PSK program decode exactly, tuned on the carrier or 30 Hz beside it,
// and through the squelch at its default level.

#include "modemtesthelpers.h"

#include <QTest>

using namespace ModemTest;

class TestPeerRecordings : public QObject
{
    Q_OBJECT
    SettingsSandbox m_settings;

private slots:
    void decodesExactly_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("frequency");
        QTest::addColumn<bool>("afc");
        QTest::addColumn<bool>("sensitive");
        QTest::addColumn<bool>("squelch");
        const struct { const char* file; const char* mode; double carrier, offset; } recordings[] = {
            {"bpsk31_1200.wav", "BPSK31", 1200, -30}, {"bpsk63_800.wav", "BPSK63", 800, 30},
            {"bpsk125_1700.wav", "BPSK125", 1700, -30}, {"bpsk250_1500.wav", "BPSK250", 1500, 30},
            {"qpsk31_1000.wav", "QPSK31", 1000, -30}, {"qpsk63_2000.wav", "QPSK63", 2000, 30},
        };
        for (const auto& r : recordings) {
            for (int kind = 0; kind < 5; ++kind)
                QTest::addRow("%s%s%s", r.file, kind % 3 == 0 ? "" : kind % 3 == 1 ? " with AFC" : " 30 Hz beside",
                              kind > 2 ? ", sensitive receiver" : "")
                    << QString::fromLatin1(r.file) << QString::fromLatin1(r.mode)
                    << r.carrier + (kind % 3 == 2 ? r.offset : 0.0) << (kind % 3 > 0) << (kind > 2) << false;
            for (bool sensitive : {false, true})
                QTest::addRow("%s squelched%s", r.file, sensitive ? ", sensitive receiver" : "")
                    << QString::fromLatin1(r.file) << QString::fromLatin1(r.mode) << r.carrier << true << sensitive << true;
        }
    }
    void decodesExactly()
    {
        QFETCH(QString, file);
        QFETCH(QString, modeName);
        QFETCH(double, frequency);
        QFETCH(bool, afc);
        QFETCH(bool, sensitive);
        QFETCH(bool, squelch);
        const QString text = peerText();
        QVERIFY2(!text.isEmpty(), qPrintable("missing test data: " + peerDir().filePath("text_c.txt")));
        const std::vector<qint16> samples = readWav16(peerDir().filePath(file));
        QVERIFY2(!samples.empty(), qPrintable(file));
        const QString rx = receive(mode(modeName), samples, frequency, 11025.0, afc, sensitive,
                                   squelch ? SquelchGate::kDefaultLevel : std::nan(""));
        QVERIFY2(rx.contains(text), qPrintable(QStringLiteral("decoded: ") + rx));
    }
};

QTEST_GUILESS_MAIN(TestPeerRecordings)
#include "tst_peerrecordings.moc"
