// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the log bar suggests: the report from a measured S/N (readability and
// strength rise with it, the edges land on the right side, no signal
// suggests nothing) and what the log holds of a call.
#include "logbook/hamlog.h"
#include "logbook/rstsuggestion.h"
#include "logbook/workedbefore.h"
#include "tests/logbook/logfixtures.h"

#include <QTemporaryDir>
#include <QTest>

using namespace LogFixtures;

class TestLogHints : public QObject
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

    // Counted in any letter case, the latest contact whatever the file order;
    // the program's own saves are added without reading, a file changed
    // behind its back is read again, a missing log is an empty one.
    void countsAndFollowsTheLog()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("test.log"));
        WorkedBefore worked(path);
        QCOMPARE(worked.lookUp(QStringLiteral("JA1QRP")).count, 0);

        CHamLog log(path);
        QVERIFY(log.append(qso(QStringLiteral("JA1QRP"), QStringLiteral("20250301140500"))));
        QVERIFY(log.append(qso(QStringLiteral("ja1qrp"), QStringLiteral("20240101000000"))));
        QVERIFY(log.append(qso(QStringLiteral("G4XYZ"), QStringLiteral("20250401000000"), 7040000)));
        WorkedBefore::Summary s = worked.lookUp(QStringLiteral(" Ja1Qrp"));
        QCOMPARE(s.count, 2);
        QCOMPARE(s.last.start, QDateTime(QDate(2025, 3, 1), QTime(14, 5), Qt::UTC));
        QCOMPARE(WorkedBefore::hint(s), QStringLiteral("Worked before: 2 QSO(s), last 2025-03-01 14:05 UTC, BPSK31, 14070.0 kHz"));
        QCOMPARE(WorkedBefore::hint(worked.lookUp(QStringLiteral("VK2ABC"))), QString());

        CQsoData now = qso(QStringLiteral("G4XYZ"), QStringLiteral("20260101000000"));
        QVERIFY(log.append(now));
        worked.added(now);
        QCOMPARE(worked.lookUp(QStringLiteral("G4XYZ")).count, 2);

        // Another program (or an import) rewrites the log.
        writeAll(path, CHamLog::logLine(qso(QStringLiteral("G4XYZ"), QStringLiteral("20200101000000"))).toUtf8() + '\n');
        QCOMPARE(worked.lookUp(QStringLiteral("G4XYZ")).count, 1);
        QCOMPARE(worked.lookUp(QStringLiteral("JA1QRP")).count, 0);
    }
};

QTEST_GUILESS_MAIN(TestLogHints)
#include "tst_loghints.moc"
