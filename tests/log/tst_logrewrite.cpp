// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Every operation that rewrites the log either succeeds with the previous
// content in ".bak", or fails, says so, and leaves the log and ".bak" alone.
#include "logfixtures.h"

#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace LogFixtures;

class TestLogRewrite : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void successLeavesBackupAndNoLeftovers();
    void faults_data();
    void faults();
    void unwritableDirectory();

private:
    bool runOperation(const QString& operation, QString* error);
    QString m_log;
    QByteArray m_content;
    QScopedPointer<QTemporaryDir> m_dir;
};

void TestLogRewrite::init()
{
    m_dir.reset(new QTemporaryDir);
    m_log = m_dir->filePath(QStringLiteral("station.log"));
    m_content.clear();
    // Large enough that a file size limit of 64 KiB stops the new content.
    const QDateTime t0 = utc(QStringLiteral("20240101000000"));
    for (int i = 0; i < 2000; ++i) {
        CQsoData q = qso(QStringLiteral("DL%1AB").arg(i), QString());
        q.start = q.end = t0.addSecs(i * 600);
        q.info = QStringLiteral("record %1").arg(i);
        m_content += line(q);
    }
    writeAll(m_log, m_content);
    writeAll(m_log + ".bak", "older content\n");
    // Sources for import and merge, each with one record the log lacks.
    writeAll(m_dir->filePath(QStringLiteral("new.adi")),
             "<CALL:5>G4NEW<QSO_DATE:8>20240105<TIME_ON:6>120000<FREQ:6>14.070<EOR>\n");
    writeAll(m_dir->filePath(QStringLiteral("other.log")),
             line(qso(QStringLiteral("G4OTHER"), QStringLiteral("20240106120000"))));
}

bool TestLogRewrite::runOperation(const QString& operation, QString* error)
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

void TestLogRewrite::successLeavesBackupAndNoLeftovers()
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
        QVERIFY(!QFile::exists(m_log + ".tmp"));
        QVERIFY(!QFile::exists(m_log + ".bak.tmp"));
        QCOMPARE(QFile::permissions(m_log), permissions);
    }
    QCOMPARE(CHamLog(m_log).search(QString()).size(), 2000 - 1 + 2);
}

void TestLogRewrite::faults_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("fault");
    for (const char* operation : {"delete", "replace", "import", "merge"}) {
        for (const char* fault : {"tmp is a folder", "bak is a folder", "backup staging is a folder",
                                  "file size limit"})
            QTest::addRow("%s, %s", operation, fault) << operation << fault;
    }
}

void TestLogRewrite::faults()
{
    QFETCH(QString, operation);
    QFETCH(QString, fault);
    QString blocked;
    if (fault == "tmp is a folder")
        blocked = m_log + ".tmp";
    else if (fault == "bak is a folder")
        blocked = m_log + ".bak";
    else if (fault == "backup staging is a folder")
        blocked = m_log + ".bak.tmp";
    const QByteArray bakBefore = readAll(m_log + ".bak");
    if (!blocked.isEmpty()) {
        QFile::remove(blocked);
        QVERIFY(QDir().mkpath(blocked + "/inside"));
    }

    QString error;
    bool ok = false;
    if (fault == "file size limit") {
        // The disk filling up, as far as the writer can tell.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        ok = runOperation(operation, &error);
        setrlimit(RLIMIT_FSIZE, &saved);
    } else {
        ok = runOperation(operation, &error);
    }

    QVERIFY(!ok);
    QVERIFY2(error.contains(QStringLiteral("station.log")), qPrintable(error));
    QCOMPARE(readAll(m_log), m_content);
    if (blocked != m_log + ".bak")
        QCOMPARE(readAll(m_log + ".bak"), bakBefore);
    QCOMPARE(QFileInfo(m_log + ".tmp").isFile(), false);
}

void TestLogRewrite::unwritableDirectory()
{
    if (::geteuid() == 0)
        QSKIP("permission bits do not stop root; the folder faults above cover this path");
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner);
    QString error;
    const bool ok = runOperation(QStringLiteral("delete"), &error);
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!ok);
    QCOMPARE(readAll(m_log), m_content);
}

QTEST_GUILESS_MAIN(TestLogRewrite)
#include "tst_logrewrite.moc"
