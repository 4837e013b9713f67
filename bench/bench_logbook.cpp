// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Logbook at scale: the search dialog opened on a 100 000-line log and 111
// of its rows deleted at once, the dialog on a line with a 10 MB field, then
// a 100 000-record ADIF file imported into the log, searches, one replace and
// an export of the 200 000-line result. Prints wall time per step and the
// peak resident memory of the step (the dialog steps: the rise over the
// memory before the step).
#include "logbook/hamlog.h"
#include "logbook/workedbefore.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#ifdef BENCH_SEARCH_DIALOG
#include "logbook/searchresultsdlg.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QItemSelectionModel>
#include <QMessageBox>
#include <QTimer>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kRecords = 100000;

long peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The resident memory now, and the peak since resetPeak().
long statusKiB(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (QByteArray line; !(line = status.readLine()).isEmpty();) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// Processor time of this process in ms; on a shared machine the wall time
// also holds the time other processes had the processor.
double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double g_cpuAtStart = 0;

void report(const char* step, const QElapsedTimer& timer, const QString& detail = QString())
{
    const double cpu = cpuMs();
    std::printf("%-32s wall %7.1f ms  cpu %7.1f ms  peak RSS %6.1f MiB  %s\n", step,
                timer.nsecsElapsed() / 1e6, cpu - g_cpuAtStart, peakKiB() / 1024.0, qPrintable(detail));
    std::fflush(stdout);
}

CQsoData record(int i, qint64 offsetSeconds)
{
    static const QDateTime t0(QDate(2020, 1, 1), QTime(0, 0), Qt::UTC);
    CQsoData q;
    q.call = QStringLiteral("DL%1ABC").arg(i % 10000);
    q.start = q.end = t0.addSecs(qint64(i) * 600 + offsetSeconds);
    q.extraDate1 = q.extraDate2 = QDateTime();
    q.frequencyB = 14070000 + (i % 3000) * 10;
    q.mode = QStringLiteral("BPSK31");
    q.sent = QStringLiteral("599");
    q.received = QStringLiteral("579");
    q.name = QStringLiteral("Operator %1").arg(i);
    q.qth = QStringLiteral("Town %1").arg(i % 777);
    q.info = QStringLiteral("Rig 100 W, dipole, record %1").arg(i);
    return q;
}

#ifdef BENCH_SEARCH_DIALOG
// Opens the search dialog on a log, then deletes rows (when given) in one
// action, answering the question with Yes.
void benchDialog(const char* step, const QString& logPath, int deleteEvery)
{
    resetPeak();
    const long before = statusKiB("VmRSS:");
    QElapsedTimer timer;
    timer.start();
    const double cpu0 = cpuMs();
    SearchResultsDlg dialog(logPath);
    dialog.show();
    QCoreApplication::processEvents();
    std::printf("%-32s wall %7.1f ms  cpu %7.1f ms  memory +%6.1f MiB (peak +%6.1f MiB)\n", step,
                timer.nsecsElapsed() / 1e6, cpuMs() - cpu0, (statusKiB("VmRSS:") - before) / 1024.0,
                (statusKiB("VmHWM:") - before) / 1024.0);
    std::fflush(stdout);
    if (deleteEvery <= 0)
        return;
    int rows = 0;
    QAbstractItemView* view = dialog.findChild<QAbstractItemView*>(QStringLiteral("tableWidget"));
    for (int row = 0; row < view->model()->rowCount() && rows < 111; row += deleteEvery, ++rows)
        view->selectionModel()->select(view->model()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
            box->button(QMessageBox::Yes)->click();
    });
    answer.start(0);
    timer.restart();
    const double cpu1 = cpuMs();
    dialog.slotDelete();
    std::printf("%-32s wall %7.1f ms  cpu %7.1f ms  %lld rows left\n", qPrintable(QStringLiteral("delete %1 rows").arg(rows)),
                timer.nsecsElapsed() / 1e6, cpuMs() - cpu1, qlonglong(view->model()->rowCount()));
    std::fflush(stdout);
}
#endif

} // namespace

int main(int argc, char* argv[])
{
#ifdef BENCH_SEARCH_DIALOG
    qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    BenchApplication app(argc, argv);
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("Velkora32.log"));
    const QString adifPath = dir.filePath(QStringLiteral("import.adi"));

    QElapsedTimer timer;
    timer.start();
    g_cpuAtStart = cpuMs();
    {
        QFile log(logPath);
        QFile adif(adifPath);
        if (!log.open(QIODevice::WriteOnly) || !adif.open(QIODevice::WriteOnly))
            return 1;
        adif.write("bench\n<EOH>\n");
        for (int i = 0; i < kRecords; ++i) {
            log.write(CHamLog::logLine(record(i, 0)).toUtf8() + '\n');
            // Every tenth ADIF record is one the log already holds.
            const CQsoData q = record(i, i % 10 == 0 ? 0 : 300);
            const QString time = q.start.toString(QStringLiteral("hhmmss"));
            const QString date = q.start.toString(QStringLiteral("yyyyMMdd"));
            const QString freq = QString::number(q.frequencyB / 1e6, 'f', 5);
            adif.write(QStringLiteral("<CALL:%1>%2<QSO_DATE:8>%3<TIME_ON:6>%4<FREQ:%5>%6<MODE:6>BPSK31"
                                      "<NAME:%7>%8<QTH:%9>%10<EOR>\n")
                           .arg(q.call.size()).arg(q.call, date, time).arg(freq.size()).arg(freq)
                           .arg(q.name.size()).arg(q.name).arg(q.qth.size()).arg(q.qth)
                           .toUtf8());
        }
    }
    report("generate files", timer,
           QStringLiteral("log %1 MiB, ADIF %2 MiB")
               .arg(QFile(logPath).size() / 1048576.0, 0, 'f', 1)
               .arg(QFile(adifPath).size() / 1048576.0, 0, 'f', 1));

    {
        // The log bar's hint: the first call typed reads the log, the next
        // keystrokes only look up.
        WorkedBefore worked(logPath);
        timer.restart();
        g_cpuAtStart = cpuMs();
        const int first = worked.lookUp(QStringLiteral("dl42abc")).count;
        report("worked-before, first lookup", timer, QStringLiteral("%1 QSOs").arg(first));
        timer.restart();
        g_cpuAtStart = cpuMs();
        int found = 0;
        for (int i = 0; i < 1000; ++i)
            found += worked.lookUp(QStringLiteral("DL%1ABC").arg(i)).count;
        report("worked-before, 1000 more lookups", timer, QStringLiteral("%1 QSOs").arg(found));
    }

#ifdef BENCH_SEARCH_DIALOG
    benchDialog("search dialog on 100k lines", logPath, 900);
    {
        const QString bigPath = dir.filePath(QStringLiteral("big.log"));
        QFile big(bigPath);
        CQsoData q = record(1, 0);
        q.info = QString(10 * 1024 * 1024, u'x');
        if (!big.open(QIODevice::WriteOnly) || big.write(CHamLog::logLine(q).toUtf8() + '\n') <= 0)
            return 1;
        big.close();
        benchDialog("search dialog, a 10 MB field", bigPath, 0);
    }
#endif

    timer.restart();
    g_cpuAtStart = cpuMs();
    CHamLog importer(logPath);
    const bool imported = importer.importAdif(adifPath);
    report("import 100k ADIF into 100k log", timer,
           QStringLiteral("%1, %2 records added").arg(imported ? "ok" : "FAILED").arg(importer.changedLines()));

    timer.restart();
    g_cpuAtStart = cpuMs();
    const QList<CQsoData> all = CHamLog(logPath).search(QString());
    report("search, empty pattern", timer, QStringLiteral("%1 records").arg(all.size()));

    timer.restart();
    g_cpuAtStart = cpuMs();
    const QList<CQsoData> some = CHamLog(logPath).search(QStringLiteral("dl42abc"));
    report("search \"dl42abc\"", timer, QStringLiteral("%1 records").arg(some.size()));

    timer.restart();
    g_cpuAtStart = cpuMs();
    const QList<CQsoData> none = CHamLog(logPath).search(QStringLiteral("no such text"));
    report("search without a match", timer, QStringLiteral("%1 records").arg(none.size()));

    if (some.isEmpty())
        return 1;
    timer.restart();
    g_cpuAtStart = cpuMs();
    CQsoData edited = some.first();
    edited.info = QStringLiteral("edited");
    CHamLog replacer(logPath);
    const bool replaced = replacer.replace(some.first(), edited);
    report("one replace", timer,
           QStringLiteral("%1, %2 line(s)").arg(replaced ? "ok" : "FAILED").arg(replacer.changedLines()));

    timer.restart();
    g_cpuAtStart = cpuMs();
    const bool exported = CHamLog(logPath).exportAdif(dir.filePath(QStringLiteral("export.adi")));
    report("export 200k records", timer, exported ? QStringLiteral("ok") : QStringLiteral("FAILED"));
    return imported && replaced && exported ? 0 : 1;
}
