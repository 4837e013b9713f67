// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The "Signals" dock in the whole main window (offscreen): 30 BPSK31 signals
// 100 Hz apart in noise reach the window through its sound-card input path,
// 1024 samples every 93 ms as the card delivers them at 11025 Hz, for the
// given seconds; first with the dock hidden, then shown, each after a
// second to settle. Prints the process's share of one core in both runs
// (their difference is what the dock costs) and the longest the GUI
// thread's event loop stood still (the largest gap between the ticks of a
// 5 ms timer), and how many of the signals the dock lists with their text.
// A first run without the window, the tick alone, shows what the machine's
// load does to that timer by itself.
//
//   bench_signaldock [--events] [--card] [seconds per run, default 30]
//
// --card: the band is played (paplay) into the virtual sound card
// (tools/virtual-soundcard.sh, PULSE_SERVER set) and reaches the window as
// captured audio, from the sound card's own thread; without it the bench
// hands the blocks to the input itself and the input, finding no card,
// keeps looking for one.
//
// --events: what the GUI thread handled in the five longest gaps of each
// run, event by event (receiver, event type, milliseconds; a timer's event
// is named by the object the timer belongs to), and what of the gap no
// event took (waiting for the processor, the dispatcher's own work).

#include "app/mainwindow.h"
#include "audio/audioin.h"
#include "benchcommon.h"
#include "core/apppaths.h"
#include "core/settings.h"
#include "modem/psktxrx.h"
#include "modem/signalbankworker.h"
#include "tools/cli/modemsession.h"
#include "tools/cli/wavio.h"

#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMetaEnum>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>

#include <sys/resource.h>

namespace {

constexpr double kRate = 11025.0;
constexpr int kSignals = 30;
constexpr int kBlock = 1024;

// One event the GUI thread handled from the event loop, and its time.
struct Handled
{
    QString what;
    double ms = 0.0;
};

struct Gap
{
    double ms = 0.0;
    std::vector<Handled> events;
    double cpuMs = 0.0;    // the GUI thread's processor time in the gap
    long preempted = 0;    // times it was made to give the processor up
    int smallCount = 0;
    double smallMs = 0.0;
};

// The calling thread's processor time (ms) and involuntary switches.
std::pair<double, long> threadUsage()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return {(u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3,
            u.ru_nivcsw};
}

// Times each event the GUI thread's event loop hands out (not those sent
// from inside another), when asked to.
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool timing = false;
    std::vector<Handled> sinceTick;
    int smallCount = 0; // events under 0.2 ms since the tick
    double smallMs = 0.0;
    struct Total
    {
        int count = 0;
        double ms = 0.0;
        double maxMs = 0.0;
    };
    QHash<QString, Total> totals;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (!timing || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        const QEvent::Type type = event->type();
        if (m_depth > 0 && type != QEvent::Paint)
            return QApplication::notify(receiver, event);
        // Named before: the event may delete its receiver.
        const QString what = describe(receiver, type);
        const size_t at = sinceTick.size();
        QElapsedTimer t;
        t.start();
        ++m_depth;
        const bool done = QApplication::notify(receiver, event);
        --m_depth;
        const double ms = t.nsecsElapsed() / 1e6;
        {
            Total& total = totals[m_depth == 0 ? what : QStringLiteral("(within) ") + what];
            ++total.count;
            total.ms += ms;
            total.maxMs = std::max(total.maxMs, ms);
        }
        if (ms < 0.2 && m_depth == 0) {
            ++smallCount;
            smallMs += ms;
        }
        if (ms >= 0.2)
            // The tick may have come within (a nested event loop) and
            // cleared the list.
            sinceTick.insert(sinceTick.begin() + qsizetype(std::min(at, sinceTick.size())),
                             {QString(2 * m_depth, QLatin1Char(' ')) + what, ms});
        return done;
    }

private:
    static QString name(const QObject* o)
    {
        if (!o)
            return QStringLiteral("-");
        const QString n = o->objectName();
        return QLatin1String(o->metaObject()->className()) + (n.isEmpty() ? QString() : QLatin1Char(' ') + n);
    }
    static QString describe(const QObject* receiver, QEvent::Type type)
    {
        const char* key = QMetaEnum::fromType<QEvent::Type>().valueToKey(int(type));
        QString who = name(receiver);
        if (type == QEvent::Timer && receiver && receiver->parent())
            who += QStringLiteral(" of ") + name(receiver->parent());
        if (const auto* timer = qobject_cast<const QTimer*>(receiver); timer && type == QEvent::Timer)
            who += QStringLiteral(" (%1 ms)").arg(timer->interval());
        return who + QLatin1Char(' ') + (key ? QLatin1String(key) : QLatin1String("?"));
    }
    int m_depth = 0;
};

struct Result
{
    double cpuPercent = 0.0;
    double longestGapMs = 0.0;
    std::vector<Gap> longest; // the five longest, longest first
    QHash<QString, TimedApplication::Total> totals;
};

void printGaps(const char* title, const Result& r)
{
    const std::vector<Gap>& gaps = r.longest;
    std::printf("\nThe longest events, dock %s (count, total ms, longest ms):\n", title);
    QList<QString> keys = r.totals.keys();
    std::sort(keys.begin(), keys.end(), [&r](const QString& a, const QString& b) { return r.totals[a].maxMs > r.totals[b].maxMs; });
    for (qsizetype i = 0; i < std::min<qsizetype>(keys.size(), 12); ++i) {
        const TimedApplication::Total& t = r.totals[keys[i]];
        std::printf("  %6d %9.1f %7.2f  %s\n", t.count, t.ms, t.maxMs, qPrintable(keys[i]));
    }
    std::printf("\nLongest gaps, dock %s:\n", title);
    for (const Gap& g : gaps) {
        double inEvents = 0.0;
        for (const Handled& h : g.events)
            inEvents += h.what.startsWith(QLatin1Char(' ')) ? 0.0 : h.ms;
        std::printf("  %.1f ms: %.1f ms outside events; the thread ran %.1f ms, preempted %ld times; "
                    "%d events under 0.2 ms took %.1f ms\n",
                    g.ms, g.ms - inEvents - g.smallMs, g.cpuMs, g.preempted, g.smallCount, g.smallMs);
        for (const Handled& h : g.events)
            std::printf("    %6.2f ms  %s\n", h.ms, qPrintable(h.what));
    }
}

// Feeds the band to the window in real time (the window settles for a
// second first, unmeasured) and measures for seconds; without a window, the
// tick alone: what the machine's load makes of a 5 ms timer.
Result run(MainWindow* w, const std::vector<qint16>& band, size_t* at, int seconds)
{
    constexpr int kSettleMs = 1000;
    Result r;
    QElapsedTimer wall, measured, sinceTick;
    QTimer tick, card;
    tick.setTimerType(Qt::PreciseTimer);
    card.setTimerType(Qt::PreciseTimer);
    auto* app = static_cast<TimedApplication*>(qApp);
    tick.setObjectName(QStringLiteral("tick"));
    card.setObjectName(QStringLiteral("card"));
    bool measuring = false;
    double cpu0 = 0.0;
    std::pair<double, long> usage;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const double gap = sinceTick.nsecsElapsed() / 1e6;
        sinceTick.restart();
        const std::pair<double, long> was = usage;
        if (app->timing)
            usage = threadUsage();
        if (measuring) {
            r.longestGapMs = std::max(r.longestGapMs, gap);
            if (app->timing && (r.longest.size() < 5 || gap > r.longest.back().ms)) {
                r.longest.push_back({gap, std::move(app->sinceTick), usage.first - was.first,
                                     usage.second - was.second, app->smallCount, app->smallMs});
                std::sort(r.longest.begin(), r.longest.end(), [](const Gap& a, const Gap& b) { return a.ms > b.ms; });
                r.longest.resize(std::min<size_t>(r.longest.size(), 5));
            }
        }
        app->sinceTick.clear();
        app->smallCount = 0;
        app->smallMs = 0.0;
    });
    // Blocks due by the wall clock, so a late timer catches up as a card's
    // buffer would.
    qint64 fed = 0;
    QObject::connect(&card, &QTimer::timeout, [&] {
        const qint64 due = qint64(wall.nsecsElapsed() / 1e9 * kRate / kBlock);
        for (; fed < due; ++fed) {
            w->audioIn()->captureBlock(band.data() + *at, kBlock);
            w->slotAudioInputReady(2 * kBlock);
            *at = (*at + kBlock) % (band.size() - kBlock);
        }
    });
    QTimer::singleShot(kSettleMs, [&] {
        measuring = true;
        app->totals.clear();
        cpu0 = Bench::cpuSeconds();
        measured.start();
    });
    wall.start();
    sinceTick.start();
    tick.start(5);
    if (w && at) // else played into the sound card: the input's own callbacks bring it
        card.start(20);
    QEventLoop loop;
    QTimer::singleShot(kSettleMs + seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    r.cpuPercent = 100.0 * (Bench::cpuSeconds() - cpu0) / (measured.nsecsElapsed() / 1e9);
    r.totals.swap(app->totals);
    return r;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    int seconds = 30;
    bool soundCard = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--events") == 0)
            app.timing = true;
        else if (std::strcmp(argv[i], "--card") == 0)
            soundCard = true;
        else
            seconds = std::max(5, std::atoi(argv[i]));
    }
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data"));
    const QString morse = QStringLiteral(VELKORA_SOURCE_DIR "/resources/ENG.cwt");
    if (!dir.isValid() || !QDir().mkpath(data) || !QFile::copy(morse, data + QStringLiteral("/ENG.cwt"))) {
        std::fprintf(stderr, "bench_signaldock: cannot lay out a temporary folder with %s\n", qPrintable(morse));
        return 1;
    }
    Settings::setPath(dir.filePath(QStringLiteral("Velkora32.ini")));
    AppPaths::setDataDirectory(data);
    AppPaths::setWritableDirectory(dir.path());

    // The band: long texts, so every signal sends for the whole of both runs.
    std::vector<double> mix(size_t((2 * seconds + 10) * kRate), 0.0);
    std::vector<QString> texts;
    for (int k = 0; k < kSignals; ++k) {
        texts.push_back(Bench::qsoText(int(2 * seconds * 5), unsigned(k + 1)));
        CPskTxRx tx(QStringLiteral("BPSK31"));
        tx.SetSampleRates(kRate, kRate);
        const double f = 300.0 + 100.0 * k;
        tx.SetFrequencies(f, f);
        ModemSession::TextSource source(texts.back());
        tx.setTxCharSource(&source);
        tx.SetTransmit(1);
        qint16 block[512];
        for (size_t at = size_t(k * 0.1 * kRate); at + 512 <= mix.size(); at += 512) {
            if (tx.GenerateTxSamples(block, 512) == 0)
                break;
            for (int i = 0; i < 512; ++i)
                mix[at + size_t(i)] += block[i] / 6.0;
        }
        tx.SetTransmit(0);
        tx.setTxCharSource(nullptr);
    }
    std::vector<qint16> band(mix.size());
    for (size_t i = 0; i < mix.size(); ++i)
        band[i] = qint16(std::clamp(std::round(mix[i]), -32768.0, 32767.0));
    band = Bench::withNoise(band, 10.0, kRate, 7);

    const Result alone = run(nullptr, band, nullptr, seconds);
    MainWindow w;
    if (!w.startedOk())
        return 1;
    w.show();
    auto* dock = w.findChild<QDockWidget*>(QStringLiteral("Signals"));
    size_t at = 0;
    size_t* feed = &at;
    QProcess player;
    if (soundCard) {
        const QString wav = dir.filePath(QStringLiteral("band.wav"));
        WavIo::Writer writer;
        QString error;
        if (!writer.open(wav, int(kRate), &error) || !writer.write(band.data(), int(band.size()), &error)
            || !writer.close(&error)) {
            std::fprintf(stderr, "bench_signaldock: cannot write %s: %s\n", qPrintable(wav), qPrintable(error));
            return 1;
        }
        player.setProcessChannelMode(QProcess::ForwardedChannels);
        player.start(QStringLiteral("paplay"), {QStringLiteral("--device=velkora"), wav});
        if (!player.waitForStarted(5000)) {
            std::fprintf(stderr, "bench_signaldock: cannot start paplay\n");
            return 1;
        }
        feed = nullptr;
    }
    dock->hide();
    const Result hidden = run(&w, band, feed, seconds);
    dock->show();
    const Result shown = run(&w, band, feed, seconds);
    player.kill();
    player.waitForFinished(3000);

    int listed = 0, withText = 0;
    for (const SignalBank::Signal& s : w.signalBank()->signalList()) {
        ++listed;
        const int k = int(std::lround((s.frequency - 300.0) / 100.0));
        withText += k >= 0 && k < kSignals && s.text.size() > 20 && texts[size_t(k)].contains(s.text.mid(5, 15));
    }
    std::printf("Signals dock, %d BPSK31 signals at %.0f Hz in real time, %d s per run (whole window, offscreen, %s)\n\n",
                kSignals, kRate, seconds, soundCard ? "played into the virtual sound card" : "no sound card");
    std::printf("| dock      | CPU %% of one core | longest event-loop gap ms |\n");
    std::printf("|-----------|-------------------|---------------------------|\n");
    std::printf("| no window | %17.1f | %25.1f |\n", alone.cpuPercent, alone.longestGapMs);
    std::printf("| hidden    | %17.1f | %25.1f |\n", hidden.cpuPercent, hidden.longestGapMs);
    std::printf("| shown     | %17.1f | %25.1f |\n", shown.cpuPercent, shown.longestGapMs);
    std::printf("\nThe dock costs %.1f %% of one core; it lists %d signals, %d with their text.\n",
                shown.cpuPercent - hidden.cpuPercent, listed, withText);
    if (app.timing) {
        printGaps("none, no window", alone);
        printGaps("hidden", hidden);
        printGaps("shown", shown);
    }
    std::fflush(stdout);
    return 0;
}
