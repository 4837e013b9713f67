// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/cli/listen.h"

#include "audio/audioin.h"
#include "modem/pskreceiver.h"
#include "modem/signalbank.h"
#include "report/callextractor.h"
#include "report/pskreporter.h"
#include "tools/cli/modemsession.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <memory>
#include <unistd.h>

namespace {

// An over ends when its signal has sent nothing for this long (seconds of
// audio), at a line break, or when the signal is gone.
constexpr double kOverGap = 4.0;
// A line is printed at the latest at this length.
constexpr int kMaxLine = 400;
// The input's blocks: nobody waits on a skimmer's text, and long blocks
// wake the program and the sound server seldom, and find the signal bank
// still in the caches for most of a block (with blocks of 0.4 s the bank
// cost a sixth more than in one pass over a file).
constexpr double kBlockSeconds = 1.5;

int g_signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

void err(const QString& text)
{
    std::fprintf(stderr, "velkora32-cli: %s\n", text.toLocal8Bit().constData());
}

struct Channel {
    TextTail tail;
    QString line;
    double frequency = 0.0;
    double snrDb = 0.0;
    double lastText = 0.0;
};

class Listener
{
public:
    Listener(SignalBank& bank, const QString& mode, PskReporter* reporter, quint32 dialHz)
        : m_bank(bank), m_mode(mode), m_reporter(reporter), m_dialHz(dialHz)
    {
    }
    void setOwnCall(const QString& call) { m_calls.setOwnCall(call); }

    void update()
    {
        const double now = m_bank.now();
        for (const SignalBank::Signal& s : m_bank.signalList()) {
            Channel& c = m_channels[s.id];
            c.frequency = s.frequency;
            c.snrDb = s.snrDb;
            const QString gained = c.tail.advance(s.text);
            if (!gained.isEmpty()) {
                c.lastText = now;
                take(s.id, c, gained);
            }
        }
        for (auto it = m_channels.begin(); it != m_channels.end(); ++it) {
            if (!it->line.isEmpty() && now - it->lastText >= kOverGap)
                endOver(it.key(), *it);
        }
    }
    void dropped(const SignalBank::Signal& s)
    {
        auto it = m_channels.find(s.id);
        if (it == m_channels.end())
            return;
        take(s.id, *it, it->tail.advance(s.text));
        endOver(s.id, *it);
        m_channels.erase(it);
    }
    void finish()
    {
        update();
        for (auto it = m_channels.begin(); it != m_channels.end(); ++it)
            endOver(it.key(), *it);
    }

private:
    void take(int id, Channel& c, const QString& text)
    {
        for (const QString& call : m_calls.feed(id, text)) {
            if (!m_reporter)
                continue;
            PskSpot spot;
            spot.call = call;
            spot.frequency = m_dialHz + quint32(c.frequency + 0.5);
            spot.snr = PskIpfix::snrField(c.snrDb);
            spot.mode = PskIpfix::modeName(m_mode);
            spot.time = quint32(QDateTime::currentSecsSinceEpoch());
            m_reporter->addSpot(spot);
        }
        for (const QChar ch : text) {
            if (ch == u'\n' || ch == u'\r') {
                print(c);
                continue;
            }
            c.line += ch.isPrint() ? ch : QChar(u' ');
            if (c.line.size() >= kMaxLine)
                print(c);
        }
    }
    void endOver(int id, Channel& c)
    {
        print(c);
        m_calls.endOver(id);
    }
    void print(Channel& c)
    {
        const QString text = c.line.trimmed();
        c.line.clear();
        if (text.isEmpty())
            return;
        const QString line = QStringLiteral("%1 %2 Hz %3: %4\n")
                                 .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("HH:mm:ss")))
                                 .arg(c.frequency, 0, 'f', 1)
                                 .arg(m_mode, text);
        const QByteArray bytes = line.toUtf8();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
    }

    SignalBank& m_bank;
    QString m_mode;
    PskReporter* m_reporter;
    quint32 m_dialHz;
    CallExtractor m_calls;
    QHash<int, Channel> m_channels;
};

} // namespace

int runListen(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Decodes every signal of the mode from a sound-card input until Ctrl+C or\n"
        "SIGTERM and prints one line per over: \"HH:MM:SS FREQUENCY Hz MODE: TEXT\"\n"
        "(UTC, audio frequency). With --report the calls copied go to PSK Reporter."));
    parser.addHelpOption();
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("Input device name (default: the default input)."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("Sample rate in Hz (default 11025)."),
                                  QStringLiteral("HZ"), QStringLiteral("11025"));
    const QCommandLineOption mode(QStringLiteral("mode"), QStringLiteral("Mode (default BPSK31)."), QStringLiteral("M"),
                                  QStringLiteral("BPSK31"));
    const QCommandLineOption receiver(QStringLiteral("receiver"), QStringLiteral("sensitive (default) or standard."),
                                      QStringLiteral("NAME"), PskReceivers::defaultName());
    const QCommandLineOption report(QStringLiteral("report"), QStringLiteral("Report the calls copied to PSK Reporter."));
    const QCommandLineOption call(QStringLiteral("call"), QStringLiteral("Your call (for --report)."), QStringLiteral("CALL"));
    const QCommandLineOption locator(QStringLiteral("locator"), QStringLiteral("Your Maidenhead locator (for --report)."),
                                     QStringLiteral("LOC"));
    const QCommandLineOption antenna(QStringLiteral("antenna"), QStringLiteral("Your antenna (optional)."),
                                     QStringLiteral("TEXT"));
    const QCommandLineOption dial(QStringLiteral("dial"), QStringLiteral("The receiver's dial frequency in Hz (for --report)."),
                                  QStringLiteral("HZ"), QStringLiteral("0"));
    const QCommandLineOption collector(QStringLiteral("collector"),
                                       QStringLiteral("Where reports go, HOST:PORT (default report.pskreporter.info:4739)."),
                                       QStringLiteral("HOST:PORT"));
    parser.addOptions({device, rate, mode, receiver, report, call, locator, antenna, dial, collector});
    if (!parser.parse(arguments)) {
        err(parser.errorText());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        const QByteArray help = parser.helpText().toUtf8();
        std::fwrite(help.constData(), 1, size_t(help.size()), stdout);
        return 0;
    }
    ModemSession::Mode m;
    if (!ModemSession::parseMode(parser.value(mode), &m)) {
        err(QStringLiteral("unknown mode \"%1\"").arg(parser.value(mode)));
        return 2;
    }
    bool ok = false;
    const int sampleRate = parser.value(rate).toInt(&ok);
    if (!ok || sampleRate < ModemSession::kMinReceiveRate || sampleRate > ModemSession::kMaxReceiveRate) {
        err(QStringLiteral("bad sample rate \"%1\"").arg(parser.value(rate)));
        return 2;
    }
    const QString receiverName = parser.value(receiver).toLower();
    if (receiverName != QLatin1String("standard") && receiverName != QLatin1String("sensitive")) {
        err(QStringLiteral("unknown receiver \"%1\" (standard or sensitive)").arg(parser.value(receiver)));
        return 2;
    }
    const quint32 dialHz = parser.value(dial).toUInt(&ok);
    if (!ok) {
        err(QStringLiteral("bad dial frequency \"%1\"").arg(parser.value(dial)));
        return 2;
    }
    const bool reporting = parser.isSet(report);
    if (reporting && parser.value(call).trimmed().size() < 3) {
        err(QStringLiteral("--report needs --call"));
        return 2;
    }
    static const QRegularExpression kLocator(QStringLiteral("^[A-R]{2}[0-9]{2}(?:[A-X]{2})?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    if (reporting && !kLocator.match(parser.value(locator)).hasMatch()) {
        err(QStringLiteral("--report needs --locator with 4 or 6 characters"));
        return 2;
    }
    if (reporting && dialHz == 0) {
        err(QStringLiteral("--report needs --dial, the receiver's dial frequency in Hz"));
        return 2;
    }

    // The program's settings are never touched.
    ModemSession::PrivateSettings settings;
    if (!settings.isValid()) {
        err(QStringLiteral("cannot create a temporary folder for the modem's settings"));
        return 1;
    }

    std::unique_ptr<PskReporter> reporter;
    if (reporting) {
        reporter = std::make_unique<PskReporter>();
        reporter->setReceiver({parser.value(call).toUpper(), parser.value(locator), QStringLiteral("Velkora32 4.0"),
                               parser.value(antenna)});
        if (parser.isSet(collector)) {
            const QString where = parser.value(collector);
            const int colon = int(where.lastIndexOf(u':'));
            const uint port = where.mid(colon + 1).toUInt(&ok);
            if (colon <= 0 || !ok || port == 0 || port > 65535) {
                err(QStringLiteral("bad collector \"%1\" (HOST:PORT)").arg(where));
                return 2;
            }
            reporter->setCollector(where.left(colon), quint16(port));
        }
    }

    SignalBank bank;
    bank.setSampleRate(sampleRate);
    bank.setMode(*m.table);
    bank.setSensitive(receiverName == QLatin1String("sensitive"));
    Listener listener(bank, m.name, reporter.get(), dialHz);
    listener.setOwnCall(parser.value(call));
    QObject::connect(&bank, &SignalBank::dropped, [&listener](const SignalBank::Signal& s) { listener.dropped(s); });

    AudioIn in;
    in.setBlockSeconds(kBlockSeconds);
    const int dev = parser.isSet(device) ? AudioIn::DeviceByName(parser.value(device)) : AudioIn::DeviceByName(QString());
    if (!in.CreateAudio(dev, sampleRate) || !in.Start()) {
        err(QStringLiteral("cannot open the sound input"));
        return 1;
    }
    QByteArray buffer;
    QObject::connect(&in, &AudioIn::notify, &in, [&] {
        in.readAvailable(buffer);
        const int n = int(buffer.size() / 2);
        bank.feed(reinterpret_cast<const qint16*>(buffer.constData()), n);
        buffer.remove(0, 2 * n);
        // Once per block of audio, not at each character of each signal;
        // also when nothing changed, so that an over ends after its gap.
        listener.update();
    }, Qt::QueuedConnection);

    // Ctrl+C and SIGTERM end the run through the event loop.
    if (::pipe(g_signalPipe) != 0) {
        err(QStringLiteral("cannot set up the signal handling"));
        return 1;
    }
    QSocketNotifier stop(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    // Said once the input runs, so that whoever started it knows from when
    // on it hears the band.
    err(QStringLiteral("listening on %1 at %2 Hz for %3; Ctrl+C ends")
            .arg(parser.isSet(device) ? parser.value(device) : QStringLiteral("the default input"))
            .arg(sampleRate)
            .arg(m.name));
    QCoreApplication::exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);

    in.Stop();
    bank.finish();
    listener.finish();
    if (reporter)
        reporter->flush();
    return 0;
}
