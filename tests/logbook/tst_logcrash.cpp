// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// SIGKILL at random moments of rewrites of a large log: the log stays one whole generation, ".bak" the one before.
#include "logfixtures.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace LogFixtures;

static QByteArray s_head, s_tail; // the lines around the record the helper rewrites

static QByteArray markerLine(qint64 n)
{
    CQsoData q = qso("MARKER", "20240601120000");
    q.info = QString::number(n);
    return line(q);
}

// Waits until the helper has printed count lines in all.
static bool waitForLines(QProcess& child, int count)
{
    QDeadlineTimer deadline(120000);
    while (child.peek(1 << 20).count('\n') < count)
        if (deadline.hasExpired() || (!child.waitForReadyRead(1000) && child.state() != QProcess::Running))
            return false;
    return true;
}

// The generation number if content is exactly one generation, else -1.
static qint64 generationOf(const QByteArray& content)
{
    if (!content.startsWith(s_head) || !content.endsWith(s_tail))
        return -1;
    const QByteArray middle = content.mid(s_head.size(), content.size() - s_head.size() - s_tail.size());
    CQsoData q;
    const bool ok = CHamLog::parse(QString::fromUtf8(middle).trimmed(), q);
    return ok && middle == markerLine(q.info.toLongLong()) ? q.info.toLongLong() : -1;
}

class TestLogCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedRewriteLeavesCompleteLog()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("crash.log");
        for (int i = 0; i < 24000; ++i) { // about 2 MB, so a kill can fall inside a rewrite
            CQsoData q = qso(QStringLiteral("G%1XYZ").arg(i), "20240101000000");
            q.start = q.end = q.start.addSecs(i * 300);
            q.info = QStringLiteral("padding to make the line longer %1").arg(i);
            (i < 12000 ? s_head : s_tail) += line(q);
        }
        writeAll(log, s_head + markerLine(0) + s_tail);

        // The kills are spread over about three rewrites.
        QProcess timing;
        timing.start(QStringLiteral(LOG_REWRITE_LOOP), {log});
        QVERIFY(waitForLines(timing, 1));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(waitForLines(timing, 4));
        const qint64 rewriteMs = qMax<qint64>(timer.elapsed() / 3, 1);
        timing.kill(), timing.waitForFinished();
        qint64 last = generationOf(readAll(log));
        QVERIFY(last >= 3);
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("one rewrite takes %lld ms; random delays from seed %u", rewriteMs, seed);
        QRandomGenerator random(seed);
        const qint64 first = last;
        int killedMidRewrite = 0;
        for (int round = 0; round < 30; ++round) {
            QProcess child;
            child.start(QStringLiteral(LOG_REWRITE_LOOP), {log});
            QVERIFY(waitForLines(child, 1));
            QThread::msleep(random.bounded(3 * rewriteMs));
            QCOMPARE(child.state(), QProcess::Running); // it never stops by itself
            child.kill();
            QVERIFY(child.waitForFinished());
            const qint64 now = generationOf(readAll(log));
            const qint64 bak = generationOf(readAll(log + ".bak"));
            QVERIFY2(now >= last && (now == 0 || bak == now - 1 || bak == now),
                     qPrintable(QStringLiteral("round %1: log %2, backup %3").arg(round).arg(now).arg(bak)));
            killedMidRewrite += now > 0 && (bak == now || QFile::exists(log + ".tmp"));
            last = now;
        }
        qInfo("reached generation %lld; %d kills fell inside a rewrite", last, killedMidRewrite);
        QVERIFY(last > first && killedMidRewrite > 0);
    }
};

QTEST_GUILESS_MAIN(TestLogCrash)
#include "tst_logcrash.moc"
