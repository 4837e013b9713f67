// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// velkora32-cli: the program's PSK modem on sound files. "encode" turns a
// text into one whole transmission, "decode" prints what the receiver makes
// of a recording. No sound card, no window, and the program's settings file
// is never read or written.

#include "tools/cli/listen.h"
#include "tools/cli/logcommands.h"
#include "tools/cli/modemsession.h"
#include "tools/cli/wavio.h"
#include "modem/pskreceiver.h"
#include "modem/signalbank.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

enum ExitCode { kOk = 0, kFailed = 1, kUsage = 2 };

constexpr int kMinEncodeRate = 8000;
constexpr int kMaxEncodeRate = 192000;

const char kGeneralHelp[] =
    "Usage: velkora32-cli encode [options] OUT.wav\n"
    "       velkora32-cli decode [options] IN.wav\n"
    "       velkora32-cli listen [options]\n"
    "       velkora32-cli log export|import|merge LOG FILE\n"
    "\n"
    "PSK31/63/125/250 and QPSK through the Velkora32 modem, on sound files.\n"
    "\n"
    "  encode   one whole transmission of a text (key-up, the text, the tail)\n"
    "           as 16-bit mono WAV\n"
    "  decode   prints the text the receiver decodes from a recording, as UTF-8;\n"
    "           with --all every signal of the mode in the recording, one a line\n"
    "  listen   decodes every signal from a sound-card input until stopped, one\n"
    "           line per over; --report sends the calls copied to PSK Reporter\n"
    "  log      exports the log as ADIF, imports ADIF into it, merges a second log\n"
    "\n"
    "velkora32-cli encode --help and velkora32-cli decode --help list the options.\n";

void printErr(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fprintf(stderr, "velkora32-cli: %s\n", bytes.constData());
}

void printOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QString choices(const QStringList& names)
{
    return names.join(QStringLiteral(", "));
}

// Options both commands share.
QCommandLineOption modeOption()
{
    return QCommandLineOption(QStringLiteral("mode"),
                              QStringLiteral("Mode: %1 (default BPSK31).").arg(choices(ModemSession::modeNames())),
                              QStringLiteral("M"), QStringLiteral("BPSK31"));
}

QCommandLineOption freqOption()
{
    return QCommandLineOption(QStringLiteral("freq"), QStringLiteral("Carrier frequency in Hz (default 1000)."),
                              QStringLiteral("HZ"), QStringLiteral("1000"));
}

QCommandLineOption charSetOption()
{
    return QCommandLineOption(
        QStringLiteral("charset"),
        QStringLiteral("Character set: %1 (default ASCII8).").arg(choices(ModemSession::charSetNames())),
        QStringLiteral("SET"), QStringLiteral("ASCII8"));
}

struct Common
{
    ModemSession::Mode mode;
    bool anyMode = false; // decode --all --mode any: every mode at once
    double frequency = 0.0;
    int charSet = 0;
    QString file;
};

// Checks the options both commands share; false with *error set on a bad one.
bool readCommon(const QCommandLineParser& parser, Common* common, QString* error)
{
    const QString modeText = parser.value(modeOption());
    common->anyMode = modeText.compare(QLatin1String("any"), Qt::CaseInsensitive) == 0;
    if (!common->anyMode && !ModemSession::parseMode(modeText, &common->mode)) {
        *error = QStringLiteral("unknown mode \"%1\" (one of %2)").arg(modeText, choices(ModemSession::modeNames()));
        return false;
    }
    bool ok = false;
    common->frequency = parser.value(freqOption()).toDouble(&ok);
    if (!ok || !(common->frequency > 0.0)) {
        *error = QStringLiteral("bad frequency \"%1\" (a number of Hz above 0)").arg(parser.value(freqOption()));
        return false;
    }
    common->charSet = ModemSession::parseCharSet(parser.value(charSetOption()));
    if (common->charSet < 0) {
        *error = QStringLiteral("unknown character set \"%1\" (one of %2)")
                     .arg(parser.value(charSetOption()), choices(ModemSession::charSetNames()));
        return false;
    }
    const QStringList files = parser.positionalArguments();
    if (files.size() != 1) {
        *error = files.isEmpty() ? QStringLiteral("no sound file given")
                                 : QStringLiteral("one sound file expected, %1 given").arg(files.size());
        return false;
    }
    common->file = files.first();
    return true;
}

bool readInt(const QString& text, int min, int max, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= min && *value <= max;
}

// The carrier must lie below half the sample rate to be representable at all.
bool checkFrequency(double frequency, int sampleRate, QString* error)
{
    if (frequency < sampleRate / 2.0)
        return true;
    *error = QStringLiteral("frequency %1 Hz is not below half the sample rate (%2 Hz)")
                 .arg(frequency)
                 .arg(sampleRate);
    return false;
}

bool readStdinText(QString* text, QString* error)
{
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the standard input");
        return false;
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    *text = decoder.decode(in.readAll());
    if (decoder.hasError()) {
        *error = QStringLiteral("the standard input is not UTF-8 text");
        return false;
    }
    return true;
}


// Parses the arguments and the options both commands share. Returns the exit
// code when the command ends here (help, or a bad option), else -1.
int parseArguments(QCommandLineParser& parser, const QStringList& arguments, Common* common)
{
    if (!parser.parse(arguments)) {
        printErr(parser.errorText());
        return kUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printOut(parser.helpText().toUtf8());
        return kOk;
    }
    QString error;
    if (!readCommon(parser, common, &error)) {
        printErr(error);
        return kUsage;
    }
    return -1;
}

int runEncode(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Writes one whole transmission of a text (key-up, the text, the end of\n"
        "transmission and the tail) as 16-bit mono WAV. The text comes from --text\n"
        "or, without it, from the standard input as UTF-8; a line feed is sent as\n"
        "line feed."));
    parser.addHelpOption();
    const QCommandLineOption rateOption(QStringLiteral("rate"),
                                        QStringLiteral("Sample rate in Hz, %1 to %2 (default 11025).")
                                            .arg(kMinEncodeRate)
                                            .arg(kMaxEncodeRate),
                                        QStringLiteral("HZ"), QStringLiteral("11025"));
    const QCommandLineOption levelOption(QStringLiteral("level"),
                                         QStringLiteral("Transmit level, 1 to 10000 (default 10000, full scale)."),
                                         QStringLiteral("N"), QStringLiteral("10000"));
    const QCommandLineOption textOption(QStringLiteral("text"), QStringLiteral("The text to send."),
                                        QStringLiteral("TEXT"));
    parser.addOptions({modeOption(), freqOption(), rateOption, charSetOption(), levelOption, textOption});
    parser.addPositionalArgument(QStringLiteral("OUT.wav"), QStringLiteral("The sound file to write."));

    Common common;
    if (const int done = parseArguments(parser, arguments, &common); done >= 0)
        return done;
    if (common.anyMode) {
        printErr(QStringLiteral("--mode any goes with decode --all"));
        return kUsage;
    }
    QString error;
    int rate = 0;
    if (!readInt(parser.value(rateOption), kMinEncodeRate, kMaxEncodeRate, &rate)) {
        printErr(QStringLiteral("bad sample rate \"%1\" (%2 to %3 Hz)")
                     .arg(parser.value(rateOption))
                     .arg(kMinEncodeRate)
                     .arg(kMaxEncodeRate));
        return kUsage;
    }
    int level = 0;
    if (!readInt(parser.value(levelOption), 1, 10000, &level)) {
        printErr(QStringLiteral("bad level \"%1\" (1 to 10000)").arg(parser.value(levelOption)));
        return kUsage;
    }
    if (!checkFrequency(common.frequency, rate, &error)) {
        printErr(error);
        return kUsage;
    }

    QString text;
    if (parser.isSet(textOption)) {
        text = parser.value(textOption);
    } else if (!readStdinText(&text, &error)) {
        printErr(error);
        return kFailed;
    }

    ModemSession::PrivateSettings settings;
    if (!settings.isValid()) {
        printErr(QStringLiteral("cannot create a temporary folder for the modem's settings"));
        return kFailed;
    }
    settings.setCharSet(common.charSet);

    ModemSession::TxParams params;
    params.mode = common.mode;
    params.frequency = common.frequency;
    params.sampleRate = rate;
    params.level = level;
    if (ModemSession::transmissionLength(params, text, common.charSet) > WavIo::Writer::kMaxSamples) {
        printErr(QStringLiteral("the text is too long for one WAV file: %1 characters at %2 and %3 samples/s "
                                "may take more than the %4 samples a WAV file holds")
                     .arg(text.size())
                     .arg(common.mode.name)
                     .arg(rate)
                     .arg(WavIo::Writer::kMaxSamples));
        return kFailed;
    }

    // The samples go to the file as they come, so any length fits in memory.
    WavIo::Writer writer;
    if (!writer.open(common.file, rate, &error)) {
        printErr(error);
        return kFailed;
    }
    bool complete = false;
    const bool written = ModemSession::transmit(
        params, text, [&](const qint16* block, int count) { return writer.write(block, count, &error); },
        &complete);
    if (written && !complete)
        error = QStringLiteral("the transmitter did not finish the transmission");
    QString closeError;
    const bool closed = writer.close(&closeError);
    if (written && complete && !closed)
        error = closeError;
    if (!written || !complete || !closed) {
        QFile::remove(common.file); // a part of a transmission is no use
        printErr(error);
        return kFailed;
    }
    return kOk;
}

// Every signal in the recording, each as "FREQUENCY Hz: TEXT" on a line
// of its own, by frequency; line breaks and other control characters in
// the text become spaces.
// Hands the whole sound file to feed in blocks; false, with the error said,
// when it cannot be read to the end.
template <typename Feed>
bool feedWholeFile(WavIo::Reader& reader, Feed feed)
{
    QString error;
    qint16 block[ModemSession::Receiver::kBlockSize];
    for (;;) {
        const int got = reader.read(block, ModemSession::Receiver::kBlockSize, &error);
        if (got < 0) {
            printErr(error);
            return false;
        }
        if (got == 0)
            return true;
        feed(block, got);
    }
}

// Every signal of the mode that made text (with --mode any: of every mode,
// a bank each, as each leaves the other modes' signals out), one line each
// by frequency: "FREQUENCY Hz: TEXT", or "FREQUENCY Hz MODE: TEXT".
int decodeAll(WavIo::Reader& reader, const Common& common, bool sensitive)
{
    std::vector<PskMode> modes = common.anyMode ? PskModes::all() : std::vector<PskMode>{*common.mode.table};
    std::vector<SignalBank::Signal> found;
    std::vector<std::unique_ptr<SignalBank>> banks;
    for (const PskMode& m : modes) {
        banks.push_back(std::make_unique<SignalBank>());
        SignalBank& bank = *banks.back();
        bank.setSampleRate(reader.sampleRate());
        bank.setMode(m);
        bank.setCharSet(common.charSet);
        bank.setSensitive(sensitive);
        QObject::connect(&bank, &SignalBank::dropped, [&found](const SignalBank::Signal& s) { found.push_back(s); });
    }
    if (!feedWholeFile(reader, [&banks](const qint16* block, int got) {
            for (auto& bank : banks)
                bank->feed(block, got);
        }))
        return kFailed;
    for (auto& bank : banks) {
        bank->finish();
        for (const SignalBank::Signal& s : bank->signalList())
            found.push_back(s);
    }
    // A signal that made no text is no line.
    found = SignalBank::acrossModes(std::move(found));
    for (const SignalBank::Signal& s : found) {
        QString text = s.text;
        for (QChar& c : text)
            if (!c.isPrint())
                c = u' ';
        const QString where = common.anyMode ? QStringLiteral("%1 Hz %2").arg(s.frequency, 0, 'f', 1).arg(s.mode)
                                             : QStringLiteral("%1 Hz").arg(s.frequency, 0, 'f', 1);
        printOut(QStringLiteral("%1: %2\n").arg(where, text).toUtf8());
    }
    return kOk;
}

int runDecode(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Decodes a recording (any format libsndfile reads, the first channel of\n"
        "several, %1 to %2 samples/s) and prints the text as UTF-8 as it comes.\n"
        "A truncated WAV file (its data shorter than its header says) is decoded\n"
        "as far as it goes, with a warning, and the exit status is 1.")
                                         .arg(ModemSession::kMinReceiveRate)
                                         .arg(ModemSession::kMaxReceiveRate));
    parser.addHelpOption();
    const QCommandLineOption afcOption(QStringLiteral("afc"),
                                       QStringLiteral("Let the receiver follow the carrier's frequency."));
    const QCommandLineOption squelchOption(
        QStringLiteral("squelch"),
        QStringLiteral("Hide text while the signal quality is low; N from 0 (strict) to 31 (open)."),
        QStringLiteral("N"));
    const QCommandLineOption receiverOption(
        QStringLiteral("receiver"),
        QStringLiteral("Which receiver decodes: sensitive (the default: copies weaker and fading signals)\n"
                       "or standard (the classic receiver)."),
        QStringLiteral("NAME"), PskReceivers::defaultName());
    const QCommandLineOption allOption(
        QStringLiteral("all"),
        QStringLiteral("Find every signal of the mode between 200 and 3500 Hz and decode each (with AFC);\n"
                       "prints one line per signal: its frequency in Hz and its text. With --mode any,\n"
                       "every PSK signal whatever its mode, each line with the mode found."));
    parser.addOptions({modeOption(), freqOption(), afcOption, squelchOption, charSetOption(), receiverOption, allOption});
    parser.addPositionalArgument(QStringLiteral("IN.wav"), QStringLiteral("The sound file to read."));

    Common common;
    if (const int done = parseArguments(parser, arguments, &common); done >= 0)
        return done;
    if (common.anyMode && !parser.isSet(allOption)) {
        printErr(QStringLiteral("--mode any goes with decode --all"));
        return kUsage;
    }
    QString error;
    int squelch = -1;
    if (parser.isSet(squelchOption) && !readInt(parser.value(squelchOption), 0, 31, &squelch)) {
        printErr(QStringLiteral("bad squelch threshold \"%1\" (0 to 31)").arg(parser.value(squelchOption)));
        return kUsage;
    }

    const QString receiverName = parser.value(receiverOption).toLower();
    if (receiverName != QLatin1String("standard") && receiverName != QLatin1String("sensitive")) {
        printErr(QStringLiteral("unknown receiver \"%1\" (standard or sensitive)").arg(parser.value(receiverOption)));
        return kUsage;
    }

    WavIo::Reader reader;
    if (!reader.open(common.file, &error)) {
        printErr(error);
        return kFailed;
    }
    // A cut-short file is decoded as far as it goes, but does not pass for whole.
    const bool truncated = !reader.truncation().isEmpty();
    if (truncated)
        printErr(reader.truncation());
    const int rate = reader.sampleRate();
    if (rate < ModemSession::kMinReceiveRate || rate > ModemSession::kMaxReceiveRate) {
        printErr(QStringLiteral("%1: unsupported sample rate %2 Hz (the receiver takes %3 to %4 Hz)")
                     .arg(common.file)
                     .arg(rate)
                     .arg(ModemSession::kMinReceiveRate)
                     .arg(ModemSession::kMaxReceiveRate));
        return kFailed;
    }
    if (!checkFrequency(common.frequency, rate, &error)) {
        printErr(error);
        return kUsage;
    }

    ModemSession::PrivateSettings settings;
    if (!settings.isValid()) {
        printErr(QStringLiteral("cannot create a temporary folder for the modem's settings"));
        return kFailed;
    }
    settings.setCharSet(common.charSet);
    if (parser.isSet(allOption)) {
        const int done = decodeAll(reader, common, receiverName == QLatin1String("sensitive"));
        return done == kOk && truncated ? kFailed : done;
    }

    ModemSession::RxParams params;
    params.mode = common.mode;
    params.frequency = common.frequency;
    params.sampleRate = rate;
    params.afc = parser.isSet(afcOption);
    params.squelch = squelch;
    params.sensitive = receiverName == QLatin1String("sensitive");
    {
        // A word without a byte decodes as character 0, which is not text.
        ModemSession::Receiver receiver(params, [](QChar c) {
            if (!c.isNull())
                printOut(QString(c).toUtf8());
        });
        if (!feedWholeFile(reader, [&receiver](const qint16* block, int got) { receiver.feed(block, size_t(got)); }))
            return kFailed;
        receiver.finish();
    }
    return truncated ? kFailed : kOk;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velkora32-cli"));
    QStringList arguments = QCoreApplication::arguments();

    const QString command = arguments.value(1);
    if (command == QLatin1String("--help") || command == QLatin1String("-h")) {
        printOut(kGeneralHelp);
        return kOk;
    }
    if (command == QLatin1String("encode") || command == QLatin1String("decode")) {
        // The command's own parser sees the program name and the options.
        arguments.removeAt(1);
        return command == QLatin1String("encode") ? runEncode(arguments) : runDecode(arguments);
    }
    if (command == QLatin1String("listen")) {
        arguments.removeAt(1);
        return runListen(arguments);
    }
    if (command == QLatin1String("log")) {
        arguments.removeAt(1);
        return runLogCommand(arguments);
    }
    if (command.isEmpty())
        printErr(QStringLiteral("no command given (encode or decode)"));
    else
        printErr(QStringLiteral("unknown command \"%1\" (encode or decode)").arg(command));
    std::fputs(kGeneralHelp, stderr);
    return kUsage;
}
