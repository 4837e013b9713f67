// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// A rewrite of the log succeeds with the previous content in ".bak", or fails and loses nothing.
#include "logfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <thread>
#include <sys/resource.h>
#include <unistd.h>

using namespace LogFixtures;

class TestLogRewrite : public QObject
{
    Q_OBJECT

    QScopedPointer<QTemporaryDir> m_dir;
    QString m_log;
    QByteArray m_content;

    bool runOperation(const QString& operation, QString* error = nullptr)
    {
        CHamLog log(m_log);
        bool ok = false;
        if (operation == "delete") {
            ok = log.deleteRecords(CHamLog(m_log).search(QStringLiteral("DL5AB")), 1);
        } else if (operation == "replace") {
            const CQsoData old = CHamLog(m_log).search(QStringLiteral("DL7AB")).value(0);
            CQsoData edited = old;
            edited.name = QStringLiteral("edited");
            ok = log.replace(old, edited);
        } else if (operation == "append") {
            ok = log.append(qso(QStringLiteral("G4APP"), QStringLiteral("20240107120000")));
        } else if (operation == "import") {
            ok = log.importAdif(m_dir->filePath(QStringLiteral("new.adi")));
        } else {
            CHamLog other(m_dir->filePath(QStringLiteral("other.log")));
            ok = log.merge(other);
        }
        if (error)
            *error = log.errorString();
        return ok;
    }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_log = m_dir->filePath(QStringLiteral("station.log"));
        m_content.clear();
        for (int i = 0; i < 2000; ++i) { // more than the 64 KiB size limit below
            CQsoData q = qso(QStringLiteral("DL%1AB").arg(i), QStringLiteral("20240101000000"));
            q.start = q.end = q.start.addSecs(i * 600);
            q.info = QStringLiteral("record %1").arg(i);
            m_content += line(q);
        }
        writeAll(m_log, m_content);
        writeAll(m_log + ".bak", "older content\n");
        writeAll(m_dir->filePath(QStringLiteral("new.adi")),
                 "<CALL:5>G4NEW<QSO_DATE:8>20240105<TIME_ON:6>120000<FREQ:6>14.070<EOR>\n");
        writeAll(m_dir->filePath(QStringLiteral("other.log")),
                 line(qso(QStringLiteral("G4OTHER"), QStringLiteral("20240106120000"))));
    }

    void successLeavesBackupAndNoLeftovers()
    {
        writeAll(m_log + ".tmp", "stale temporary content\n");
        writeAll(m_log + ".bak.tmp", "stale backup in the making\n");
        QFile::setPermissions(m_log, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        const QFile::Permissions permissions = QFile::permissions(m_log);
        for (const char* operation : {"delete", "replace", "import", "merge"}) {
            const QByteArray before = readAll(m_log);
            QString error;
            QVERIFY2(runOperation(operation, &error), qPrintable(operation + QStringLiteral(": ") + error));
            QCOMPARE(readAll(m_log + ".bak"), before);
            QVERIFY(readAll(m_log) != before);
            QVERIFY(!QFile::exists(m_log + ".tmp") && !QFile::exists(m_log + ".bak.tmp"));
            QCOMPARE(QFile::permissions(m_log), permissions);
        }
        QCOMPARE(CHamLog(m_log).search(QString()).size(), 2000 - 1 + 2);
    }

    void faults_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("blocked"); // a folder in the way of the rename, or "" for a full disk
        for (const char* operation : {"delete", "replace", "import", "merge"})
            for (const char* blocked : {".tmp", ".bak", ".bak.tmp", ""})
                QTest::addRow("%s, %s", operation, *blocked ? blocked : "file size limit") << operation << blocked;
    }
    void faults()
    {
        QFETCH(QString, operation);
        QFETCH(QString, blocked);
        const QByteArray bakBefore = readAll(m_log + ".bak");
        if (!blocked.isEmpty()) {
            QFile::remove(m_log + blocked);
            QVERIFY(QDir().mkpath(m_log + blocked + "/inside"));
        }
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        if (blocked.isEmpty())
            small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        QString error;
        const bool ok = runOperation(operation, &error);
        setrlimit(RLIMIT_FSIZE, &saved);

        QVERIFY(!ok);
        QVERIFY2(error.contains(QStringLiteral("station.log")), qPrintable(error));
        QCOMPARE(readAll(m_log), m_content);
        if (blocked != ".bak")
            QCOMPARE(readAll(m_log + ".bak"), bakBefore);
        QVERIFY(!QFileInfo(m_log + ".tmp").isFile());
    }

    void readOnlySymlinkedOrLockedLog()
    {
        const QStringList operations = {"append", "delete", "replace", "import", "merge"};
        QFile::setPermissions(m_log, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
        for (const QString& operation : operations) {
            QString error;
            QVERIFY(!runOperation(operation, &error));
            QVERIFY2(error.contains("station.log for writing"), qPrintable(operation + ": " + error));
        }
        QCOMPARE(readAll(m_log), m_content);
        QCOMPARE(readAll(m_log + ".bak"), QByteArray("older content\n"));
        QFile::setPermissions(m_log, QFile::ReadOwner | QFile::WriteOwner);

        // A symbolic link to the log stays one; the file it points to is rewritten beside it.
        QVERIFY(QDir().mkpath(m_dir->filePath("synced")));
        const QString target = m_dir->filePath("synced/station.log");
        QVERIFY(QFile::rename(m_log, target) && QFile::link(target, m_log));
        QString error;
        for (const QString& operation : operations) {
            const QByteArray before = readAll(target);
            QVERIFY2(runOperation(operation, &error), qPrintable(operation + ": " + error));
            QVERIFY(QFileInfo(m_log).isSymLink());
            QVERIFY(readAll(target) != before);
        }

        // A second writer holding the lock: a writer waits for it, and fails
        // with a message if it is not given up in time.
        auto held = std::make_unique<LogLock>(m_log);
        QVERIFY(held->acquire());
        const QByteArray before = readAll(m_log);
        QVERIFY(!runOperation("append", &error));
        QVERIFY2(error.contains("another instance"), qPrintable(error));
        QCOMPARE(readAll(m_log), before);
        for (const QString& operation : operations) {
            held = std::make_unique<LogLock>(m_log);
            QVERIFY(held->acquire());
            std::thread other([&held] { QThread::msleep(300); held.reset(); });
            QElapsedTimer timer;
            timer.start();
            QVERIFY2(runOperation(operation, &error), qPrintable(operation + ": " + error));
            QVERIFY(timer.elapsed() >= 250);
            other.join();
        }
        QCOMPARE(CHamLog(m_log).search(QStringLiteral("G4APP")).size(), 2);
        QVERIFY(QFile::exists(target + ".bak") && QFile::exists(target + ".lock"));
    }

    void unwritableDirectory()
    {
        if (::geteuid() == 0)
            QSKIP("permission bits do not stop root; the folder faults above cover this path");
        QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner);
        const bool ok = runOperation(QStringLiteral("delete"));
        QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!ok);
        QCOMPARE(readAll(m_log), m_content);
    }
};

QTEST_GUILESS_MAIN(TestLogRewrite)
#include "tst_logrewrite.moc"
