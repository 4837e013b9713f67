// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// velkora32-cli as a user runs it: encode/decode round trips, what it writes, and every bad input's exit.

#include "tests/core/fulldisk.h"
#include "tests/modem/modemtesthelpers.h"

#include <QDataStream>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <optional>

namespace {

struct Run
{
    int exitCode = -1;
    bool crashed = true;
    QByteArray out, err;
};

QString cliPath() { return qEnvironmentVariable("VELKORA_BIN_DIR") + QStringLiteral("/velkora32-cli"); }

Run runCli(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess p;
    p.start(cliPath(), arguments);
    if (!p.waitForStarted(10000))
        return Run();
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return {p.exitCode(), p.exitStatus() != QProcess::NormalExit, p.readAllStandardOutput(), p.readAllStandardError()};
}

// A 16-bit PCM WAV file, channels interleaved frame by frame; or 32-bit or
// 64-bit float (floatBytes 4 or 8) with full scale at 1.0.
bool writeWav(const QString& path, const std::vector<qint16>& samples, int rate, int channels, int floatBytes = 0)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QDataStream d(&f);
    d.setByteOrder(QDataStream::LittleEndian);
    const int size = floatBytes ? floatBytes : 2;
    const quint32 bytes = quint32(samples.size() * size);
    d.writeRawData("RIFF", 4);
    d << quint32(36 + bytes);
    d.writeRawData("WAVEfmt ", 8);
    d << quint32(16) << quint16(floatBytes ? 3 : 1) << quint16(channels) << quint32(rate)
      << quint32(rate * channels * size) << quint16(channels * size) << quint16(size * 8);
    d.writeRawData("data", 4);
    d << bytes;
    d.setFloatingPointPrecision(floatBytes == 4 ? QDataStream::SinglePrecision : QDataStream::DoublePrecision);
    for (qint16 s : samples)
        floatBytes ? d << s / 32768.0 : d << s;
    return d.status() == QDataStream::Ok;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString file(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(cliPath()), qPrintable(cliPath()));
        QVERIFY(m_dir.isValid() && writeWav(file(QStringLiteral("rate96000.wav")), ModemTest::noise(9600, 1000.0, 1), 96000, 1));
        QVERIFY(writeWav(file(QStringLiteral("rate64249.wav")), ModemTest::noise(6425, 1000.0, 1), 64249, 1));
        // Silence whose file lost its last 10000 bytes: what is there decodes, the loss is said.
        const QString cut = file(QStringLiteral("truncated.wav"));
        QVERIFY(writeWav(cut, std::vector<qint16>(16000, 0), 8000, 1) && QFile::resize(cut, 44 + 22000));
        QFile text(file(QStringLiteral("notsound.wav")));
        QVERIFY(text.open(QIODevice::WriteOnly) && text.write("This is a text file, not a sound file.\n") > 0);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("viaStdin");
        QTest::newRow("defaults") << QStringList{} << "CQ CQ de VK2XYZ pse K" << false;
        QTest::newRow("BPSK250 at 48000 samples/s") << QStringList{"--mode", "BPSK250", "--rate", "48000", "--freq", "2200"}
                                                    << "73 es tnx fer QSO, 100% ok!" << false;
        QTest::newRow("QPSK63 at 1850.5 Hz") << QStringList{"--mode", "qpsk63", "--freq", "1850.5"} << "QPSK: <123> = [OK]" << false;
        QTest::newRow("QPSK250 quiet at 8000 samples/s") << QStringList{"--mode", "QPSK250", "--level", "300", "--rate", "8000"}
                                                         << "weak sig" << false;
        QTest::newRow("MMVari") << QStringList{"--mode", "BPSK63", "--charset", "MMVari"} << QStringLiteral("Grüße aus Köln") << false;
        QTest::newRow("Alternate") << QStringList{"--mode", "BPSK125", "--charset", "alternate"}
                                   << QStringLiteral("Ça va? ±5 Hz") << false;
        QTest::newRow("standard input") << QStringList{"--mode", "BPSK125"}
                                        << QStringLiteral("first line\nsecond line, €5\n") << true;
    }
    void roundTrip()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, text);
        QFETCH(bool, viaStdin);
        QStringList decodeOptions; // --rate and --level belong to the transmitter only
        for (int i = 0; i + 1 < options.size(); i += 2)
            if (options[i] != QLatin1String("--rate") && options[i] != QLatin1String("--level"))
                decodeOptions << options[i] << options[i + 1];
        const QString wav = file(QStringLiteral("roundtrip.wav"));
        const QStringList textOption = viaStdin ? QStringList{} : QStringList{"--text", text};
        const Run enc = runCli(QStringList{"encode"} + options + textOption + QStringList{wav}, viaStdin ? text.toUtf8() : "");
        QVERIFY2(!enc.crashed && enc.exitCode == 0, enc.err.constData());
        if (options.isEmpty()) // what the window sends of the text, and nothing after it
            QCOMPARE(ModemTest::readWav16(wav).size(), ModemTest::transmit(ModemTest::mode(QStringLiteral("BPSK31")), text, 1000.0).size());
        const Run dec = runCli(QStringList{"decode"} + decodeOptions + QStringList{wav});
        QVERIFY2(!dec.crashed && dec.exitCode == 0, dec.err.constData());
        QVERIFY2(QString::fromUtf8(dec.out).startsWith(text), dec.out.constData());
    }

    // The first channel only (the second holds noise that would bury the
    // signal if mixed in), in 16-bit and in float samples scaled to 1.0.
    void firstChannelInAnySampleFormat()
    {
        const QString text = QStringLiteral("left channel de K1ABC"), wav = file(QStringLiteral("stereo.wav"));
        const std::vector<qint16> left = ModemTest::transmit(ModemTest::mode(QStringLiteral("BPSK125")), text, 1000.0);
        const std::vector<qint16> right = ModemTest::noise(left.size(), 8000.0, 2);
        std::vector<qint16> both;
        for (size_t i = 0; i < left.size(); ++i)
            both.insert(both.end(), {left[i], right[i]});
        for (int floatBytes : {0, 4, 8}) {
            QVERIFY(writeWav(wav, both, 11025, 2, floatBytes));
            const Run dec = runCli({"decode", "--mode", "BPSK125", wav});
            QVERIFY2(dec.exitCode == 0 && QString::fromUtf8(dec.out).startsWith(text), dec.out.constData());
        }
    }

    // A recording cut two symbols into the transmitter's tail of 46: the
    // receivers are flushed far enough to print the last character.
    void lastCharacterOfACutRecording()
    {
        const QString text = QStringLiteral("cut short de K1ABC"), wav = file(QStringLiteral("cut.wav"));
        for (const char* mode : {"BPSK31", "QPSK31"}) {
            std::vector<qint16> audio = ModemTest::transmit(ModemTest::mode(QString::fromLatin1(mode)), text, 1000.0);
            audio.resize(audio.size() - size_t(44 * 11025 / 31.25));
            QVERIFY(writeWav(wav, audio, 11025, 1));
            const Run dec = runCli({"decode", "--mode", mode, wav});
            QVERIFY2(QString::fromUtf8(dec.out).startsWith(text), dec.out.constData());
        }
    }

    void squelchHidesNoise()
    {
        const QString wav = file(QStringLiteral("noise.wav"));
        QVERIFY(writeWav(wav, ModemTest::noise(11025 * 10, 3000.0, 3), 11025, 1));
        const Run open = runCli({"decode", wav}), closed = runCli({"decode", "--squelch", "10", wav});
        QVERIFY2(open.exitCode == 0 && !open.out.isEmpty() && closed.exitCode == 0 && closed.out.isEmpty(), closed.out.constData());
    }

    // The default receiver is the sensitive one: on a fading path it copies what the standard one loses.
    void defaultReceiverCopiesFading()
    {
        const QString text = Bench::qsoText(200, 31), wav = file(QStringLiteral("faded.wav"));
        const std::vector<qint16> sent = ModemTest::transmit(ModemTest::mode(QStringLiteral("BPSK31")), text, 1000.0);
        QVERIFY(writeWav(wav, ModemTest::faded(sent, Watterson::kModerate, 0.0, 31), 11025, 1));
        const Run byDefault = runCli({"decode", "--afc", wav}), standard = runCli({"decode", "--afc", "--receiver", "standard", wav});
        const long lost = Bench::trimmedDistance(text, QString::fromUtf8(byDefault.out));
        QVERIFY2(lost < Bench::trimmedDistance(text, QString::fromUtf8(standard.out)), byDefault.out + '\n' + standard.out);
    }

    // decode --all: five stations up to 20 dB apart, in noise, each found
    // at its frequency with its text and nothing of the noise around it.
    // Five stations in noise, each of the mode of its row; with --mode any
    // each line also names the mode found.
    void decodeAllFindsEverySignal_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QStringList>("modes");
        QTest::newRow("BPSK31") << "BPSK31" << QStringList(5, QStringLiteral("BPSK31"));
        QTest::newRow("any") << "any" << QStringList{"BPSK125", "QPSK31", "BPSK63", "QPSK63", "BPSK31"};
    }

    void decodeAllFindsEverySignal()
    {
        QFETCH(QString, mode);
        QFETCH(QStringList, modes);
        struct Station { double hz, gain; const char* text; };
        const Station stations[] = {{420, 0.3, "cq de vk2abc"}, {900, 0.03, "vk3xy de w1aw"},
                                    {1500, 0.1, "test de dl2zz"}, {2100, 0.2, "qrz de ja1ab"},
                                    {3200, 0.06, "73 de g4xyz"}};
        std::vector<qint16> mix = ModemTest::noise(11025 * 16, 1000.0, 4);
        for (size_t k = 0; k < std::size(stations); ++k) {
            const std::vector<qint16> x = ModemTest::transmit(ModemTest::mode(modes[int(k)]), stations[k].text, stations[k].hz);
            for (size_t i = 0, start = 11025 * (1 + k % 3); i < x.size() && start + i < mix.size(); ++i)
                mix[start + i] = qint16(std::clamp(std::round(mix[start + i] + stations[k].gain * x[i]), -32768.0, 32767.0));
        }
        const QString all = file(QStringLiteral("all.wav"));
        QVERIFY(writeWav(all, mix, 11025, 1));
        const Run r = runCli({"decode", "--all", "--mode", mode, all});
        const QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(r.exitCode == 0 && lines.size() == int(std::size(stations)), r.out.constData() + r.err);
        for (size_t k = 0; k < std::size(stations); ++k) {
            const double hz = lines[int(k)].section(u' ', 0, 0).toDouble();
            const QString label = mode == QLatin1String("any") ? QStringLiteral(" Hz %1: ").arg(modes[int(k)]) : QStringLiteral(" Hz: ");
            QVERIFY2(std::abs(hz - stations[k].hz) < 8.0 && lines[int(k)].section(label, 1) == stations[k].text,
                     r.out.constData());
        }
    }

    void exits_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code"); // 0 done, 1 failed, 2 a bad command line
        QTest::addColumn<QString>("message"); // in the standard output when 0, else in the error output
        const QString good = file(QStringLiteral("rate96000.wav")), missing = file(QStringLiteral("does-not-exist.wav"));
        const auto row = [](const char* name, const QStringList& arguments, int code, const QString& message) {
            QTest::newRow(name) << arguments << code << message;
        };
        row("help", {"--help"}, 0, "encode");
        row("log help", {"log", "--help"}, 0, "log merge LOG OTHER.log");
        // Each log command does its own work and names it when it fails.
        row("log import, no file", {"log", "import", file(QStringLiteral("new.log")), missing}, 1, "Import from " + missing);
        row("log merge, no file", {"log", "merge", file(QStringLiteral("new.log")), missing}, 1, "Merging " + missing);
        row("no command", {}, 2, "no command");
        row("unknown command", {"transmit", good}, 2, "unknown command");
        row("unknown option", {"decode", "--bogus", good}, 2, "bogus");
        row("no file", {"decode"}, 2, "no sound file given");
        row("two files", {"decode", good, good}, 2, "one sound file expected, 2 given");
        row("missing file", {"decode", missing}, 1, missing);
        row("not a sound file", {"decode", file(QStringLiteral("notsound.wav"))}, 1, "notsound.wav");
        row("96000 samples/s", {"decode", good}, 1, "unsupported sample rate 96000");
        row("truncated", {"decode", file(QStringLiteral("truncated.wav"))}, 1, "truncated: its last 10000 bytes");
        row("truncated, all", {"decode", "--all", file(QStringLiteral("truncated.wav"))}, 1, "truncated");
        row("64249 samples/s, squelch 31", {"decode", "--squelch", "31", file(QStringLiteral("rate64249.wav"))}, 0, "");
        row("unknown mode", {"decode", "--mode", "BPSK99", good}, 2, "unknown mode \"BPSK99\"");
        row("any mode, one receiver", {"decode", "--mode", "any", good}, 2, "--mode any goes with decode --all");
        row("any mode, encode", {"encode", "--mode", "any"}, 2, "--mode any goes with decode --all");
        row("squelch too high", {"decode", "--squelch", "32", good}, 2, "squelch");
        row("frequency below 0", {"decode", "--freq", "-3", good}, 2, "bad frequency \"-3\"");
        row("unknown character set", {"decode", "--charset", "Klingon", good}, 2, "unknown character set \"Klingon\"");
        row("unknown receiver", {"decode", "--receiver", "best", good}, 2, "unknown receiver \"best\"");
        // Refused encodes; the text comes from the standard input, which is no UTF-8.
        row("level 0", {"encode", "--level", "0"}, 2, "level");
        row("rate too low", {"encode", "--rate", "7999"}, 2, "sample rate");
        row("carrier above half the rate", {"encode", "--rate", "8000", "--freq", "4000"}, 2, "half the sample rate");
        row("not UTF-8", {"encode"}, 1, "UTF-8");
        row("too long for a WAV file", {"encode", "--rate", "192000", "--text", QString(90000, u'e')}, 1, "too long");
        // The file's header fits, the samples do not: the write's own error is said.
        row("disk full", {"encode", "--text", "hello"}, 1, "cannot write " + file(QStringLiteral("refused.wav")));
        // listen refuses a bad command line before it opens the sound card.
        const QStringList report{"listen", "--report", "--call", "k1a", "--locator"}; // the shortest call
        row("listen help", {"listen", "--help"}, 0, "SIGTERM");
        row("listen, unknown option", {"listen", "--bogus"}, 2, "bogus");
        row("listen, unknown mode", {"listen", "--mode", "X"}, 2, "unknown mode \"X\"");
        row("listen, rate", {"listen", "--rate", "5"}, 2, "bad sample rate \"5\"");
        row("listen, receiver", {"listen", "--receiver", "best"}, 2, "unknown receiver \"best\"");
        row("listen, dial", {"listen", "--dial", "14.07"}, 2, "bad dial frequency \"14.07\"");
        row("report without call", {"listen", "--report", "--call", "k1"}, 2, "--report needs --call");
        row("report, short locator", report + QStringList{"JO6"}, 2, "--report needs --locator");
        row("report without dial", report + QStringList{"JO62"}, 2, "--report needs --dial");
        row("report, collector", report + QStringList{"JO62", "--dial", "14070000", "--collector", "nohost"}, 2,
            "bad collector \"nohost\"");
        row("listen, no such device", {"listen", "--device", "no-such-device"}, 1, "cannot open the sound input");
        row("no temporary folder", {"listen"}, 1, "cannot create a temporary folder");
    }
    void exits()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, code);
        QFETCH(QString, message);
        // An encode must leave no half-written file.
        const QString wav = file(QStringLiteral("refused.wav"));
        QFile::remove(wav);
        const bool encode = arguments.value(0) == QLatin1String("encode") && code;
        const QByteArray tag = QTest::currentDataTag(), tmp = qgetenv("TMPDIR");
        std::optional<FullDisk> full; // the program inherits the limit
        if (tag == "disk full")
            full.emplace(4096);
        qputenv("TMPDIR", tag == "no temporary folder" ? file(QStringLiteral("notsound.wav")).toLocal8Bit() : tmp); // a file: no folder goes in it
        const Run r = runCli(encode ? arguments + QStringList{wav} : arguments, QByteArray("abc\xff\xfe", 5));
        full.reset();
        qputenv("TMPDIR", tmp);
        QVERIFY(!r.crashed);
        QCOMPARE(r.exitCode, code);
        QVERIFY2((code ? r.err : r.out).contains(message.toUtf8()), (code ? r.err : r.out).constData());
        QVERIFY2(!code || encode || r.out.isEmpty(), r.out.constData());
        QVERIFY(!QFile::exists(wav));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
