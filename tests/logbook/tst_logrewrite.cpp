// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A rewrite of the log succeeds with the previous content in ".bak", or fails, says so and loses
// nothing; a read-only log is refused, a symlinked one rewritten at its target, a locked one waited
// for; SIGKILL at random moments of rewrites of a large log leaves the log one whole generation,
// ".bak" the one before.
#include "logfixtures.h"
#include "tests/core/fulldisk.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <atomic>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace LogFixtures;

static const QStringList kOperations = {"append", "delete", "replace", "import", "merge"};

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

class TestLogRewrite : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_log;
    QByteArray m_content;

    bool run(const QString& operation, QString& error)
    {
        CHamLog log(m_log), other(m_dir->filePath("other.log"));
        const CQsoData old = CHamLog(m_log).search("DL7AB").value(0);
        CQsoData edited = old;
        edited.name += "e";
        const bool ok = operation == "append"   ? log.append(qso("G4APP", "20240107120000"))
                        : operation == "delete" ? log.deleteRecords(CHamLog(m_log).search("DL5AB"), 1)
                        : operation == "replace" ? log.replace(old, edited)
                        : operation == "import"  ? log.importAdif(m_dir->filePath("new.adi"))
                                                 : log.merge(other);
        error = log.errorString();
        return ok;
    }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_log = m_dir->filePath("station.log");
        m_content.clear();
        for (int i = 0; i < 2000; ++i) { // more than the 64 KiB size limit below
            CQsoData q = qso(QStringLiteral("DL%1AB").arg(i), "20240101000000");
            q.start = q.end = q.start.addSecs(i * 600);
            q.info = QStringLiteral("record %1").arg(i);
            m_content += line(q);
        }
        writeAll(m_log, m_content);
        writeAll(m_log + ".bak", "older content\n");
        writeAll(m_dir->filePath("new.adi"), "<CALL:5>G4NEW<QSO_DATE:8>20240105<TIME_ON:6>120000<FREQ:6>14.070<EOR>\n");
        writeAll(m_dir->filePath("other.log"), line(qso("G4OTHER", "20240106120000")));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("blocked"); // a folder in the way of the rename, or "" for a full disk
        for (const QString& operation : kOperations.mid(1))
            for (const char* blocked : {".tmp", ".bak", ""})
                QTest::addRow("%s, %s", qPrintable(operation), *blocked ? blocked : "file size limit") << operation << blocked;
    }
    void faults()
    {
        QFETCH(QString, operation);
        QFETCH(QString, blocked);
        if (!blocked.isEmpty()) {
            QFile::remove(m_log + blocked);
            QVERIFY(QDir().mkpath(m_log + blocked + "/inside"));
        }
        QString error;
        {
            FullDisk full(blocked.isEmpty() ? 64 * 1024 : RLIM_INFINITY);
            QVERIFY(!run(operation, error));
        }
        QVERIFY2(error.contains("station.log"), qPrintable(error));
        QVERIFY(readAll(m_log) == m_content && !QFileInfo(m_log + ".tmp").isFile());
    }

    void readOnlySymlinkedOrLockedLog()
    {
        QFile::setPermissions(m_log, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        QString error;
        for (const QString& operation : kOperations) {
            QVERIFY(!run(operation, error));
            QVERIFY2(error.contains("station.log for writing"), qPrintable(operation + ": " + error));
        }
        QCOMPARE(readAll(m_log), m_content);
        QCOMPARE(readAll(m_log + ".bak"), QByteArray("older content\n"));
        QFile::setPermissions(m_log, QFile::ReadOwner | QFile::WriteOwner);

        // A symbolic link to the log stays one; the file it points to is rewritten beside it, with the
        // previous content in ".bak", its permissions kept and no temporary file left.
        QVERIFY(QDir().mkpath(m_dir->filePath("synced")));
        const QString target = m_dir->filePath("synced/station.log");
        QVERIFY(QFile::rename(m_log, target) && QFile::link(target, m_log));
        writeAll(target + ".tmp", "stale temporary content\n");
        const QFile::Permissions permissions = QFile::permissions(target);
        for (const QString& operation : kOperations) {
            const QByteArray before = readAll(target);
            QVERIFY2(run(operation, error), qPrintable(operation + ": " + error));
            QVERIFY(QFileInfo(m_log).isSymLink() && readAll(target) != before);
            QVERIFY(operation == "append" || (readAll(target + ".bak") == before && !QFile::exists(target + ".tmp")));
            QCOMPARE(QFile::permissions(target), permissions);
        }

        // A second writer holding the lock: a writer waits for it, or fails with a message and writes nothing.
        auto held = std::make_unique<LogLock>(m_log);
        QVERIFY(held->acquire());
        const QByteArray before = readAll(m_log);
        QVERIFY(!run("append", error));
        QVERIFY2(error.contains("another instance"), qPrintable(error));
        QCOMPARE(readAll(m_log), before);
        // The holder lets go once the writer has the lock file open too, i.e. is waiting for it.
        const auto lockOpenings = [lock = QFile::encodeName(target + ".lock")] {
            const QStringList fds = QDir("/proc/self/fd").entryList(QDir::Files | QDir::System);
            return std::count_if(fds.cbegin(), fds.cend(), [&lock](const QString& fd) {
                char to[PATH_MAX] = {};
                return ::readlink(qPrintable("/proc/self/fd/" + fd), to, sizeof to - 1) > 0 && lock == to;
            });
        };
        for (const QString& operation : kOperations) {
            held = std::make_unique<LogLock>(m_log);
            QVERIFY(held->acquire());
            std::atomic<bool> released{false};
            std::thread other([&] {
                for (QDeadlineTimer bound(1500); lockOpenings() < 2 && !bound.hasExpired();)
                    std::this_thread::yield();
                released = true;
                held.reset();
            });
            const bool ok = run(operation, error);
            other.join();
            QVERIFY2(ok, qPrintable(operation + ": " + error));
            QVERIFY2(released, qPrintable(operation)); // it did not write under another's lock
        }
        QCOMPARE(CHamLog(m_log).search("G4APP").size(), 2);
    }

    void sharedLogKeepsGroupAndLockIsNoLink()
    {
        // A log shared through its group keeps owner, group and mode.
        const QByteArray name = QFile::encodeName(m_log);
        const bool root = ::geteuid() == 0;
        const gid_t group = root ? gid_t(65534) : ::getegid();
        QVERIFY(::chown(name.constData(), root ? uid_t(65534) : ::geteuid(), group) == 0 && ::chmod(name.constData(), 0640) == 0);
        QString error;
        for (const QString& operation : kOperations.mid(1)) {
            QVERIFY2(run(operation, error), qPrintable(operation + ": " + error));
            struct stat st{};
            QVERIFY(::stat(name.constData(), &st) == 0 && st.st_gid == group && (st.st_mode & 07777) == 0640);
        }
        // A link at the lock file's name is refused, not followed.
        const QString elsewhere = m_dir->filePath("elsewhere");
        QVERIFY(QFile::remove(m_log + ".lock") && QFile::link(elsewhere, m_log + ".lock"));
        for (const QString& operation : kOperations)
            QVERIFY2(!run(operation, error) && error.contains("symbolic link"), qPrintable(operation + ": " + error));
        QVERIFY(!QFileInfo::exists(elsewhere));
        QVERIFY(QFile::remove(m_log + ".lock") && QDir().mkdir(m_log + ".lock")); // any other failure says what it is
        QVERIFY2(!run(kOperations[0], error) && error.contains("Can't open the lock file"), qPrintable(error));
    }

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

QTEST_GUILESS_MAIN(TestLogRewrite)
#include "tst_logrewrite.moc"
