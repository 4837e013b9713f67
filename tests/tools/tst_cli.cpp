// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// velkora32-cli as a user runs it: encode/decode round trips, what it writes, and every bad input's exit.

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <array>
#include <cmath>
#include <random>

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
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// A 16-bit PCM WAV file, channels interleaved frame by frame.
bool writeWav(const QString& path, const std::vector<qint16>& samples, int rate, int channels)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QDataStream d(&f);
    d.setByteOrder(QDataStream::LittleEndian);
    const quint32 bytes = quint32(samples.size() * 2);
    d.writeRawData("RIFF", 4);
    d << quint32(36 + bytes);
    d.writeRawData("WAVEfmt ", 8);
    d << quint32(16) << quint16(1) << quint16(channels) << quint32(rate) << quint32(rate * channels * 2)
      << quint16(channels * 2) << quint16(16);
    d.writeRawData("data", 4);
    d << bytes;
    for (qint16 s : samples)
        d << s;
    return d.status() == QDataStream::Ok;
}

// The samples of a mono WAV file the tool wrote; its header's format, channels, rate and bits.
std::vector<qint16> readMonoWav(const QString& path, std::array<int, 4>* header = nullptr)
{
    QFile f(path);
    const QByteArray data = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    const int fmt = data.indexOf("fmt "), at = data.indexOf("data");
    if (fmt < 0 || at < 0 || data.size() < fmt + 24 || data.size() < at + 8)
        return {};
    const char* p = data.constData();
    if (header)
        *header = {qFromLittleEndian<quint16>(p + fmt + 8), qFromLittleEndian<quint16>(p + fmt + 10),
                   int(qFromLittleEndian<quint32>(p + fmt + 12)), qFromLittleEndian<quint16>(p + fmt + 22)};
    std::vector<qint16> out(std::min<quint32>(qFromLittleEndian<quint32>(p + at + 4), quint32(data.size() - at - 8)) / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = qFromLittleEndian<qint16>(p + at + 8 + 2 * i);
    return out;
}

// Power of one frequency (Goertzel), per sample.
double tonePower(const std::vector<qint16>& s, double frequency, double rate)
{
    const double coeff = 2.0 * std::cos(2.0 * M_PI * frequency / rate);
    double s1 = 0.0, s2 = 0.0;
    for (qint16 x : s) {
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - coeff * s1 * s2) / double(s.size()) / double(s.size());
}

// Samples from the first to the last non-zero one.
size_t keyedLength(const std::vector<qint16>& s)
{
    const auto first = std::find_if(s.begin(), s.end(), [](qint16 x) { return x != 0; });
    const auto last = std::find_if(s.rbegin(), s.rend(), [](qint16 x) { return x != 0; });
    return first == s.end() ? 0 : size_t(last.base() - first);
}

int peak(const std::vector<qint16>& s)
{
    int p = 0;
    for (qint16 x : s)
        p = std::max(p, std::abs(int(x)));
    return p;
}

std::vector<qint16> noise(size_t count, double sigma, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, sigma);
    std::vector<qint16> out(count);
    for (qint16& s : out)
        s = qint16(std::clamp(std::round(gauss(rng)), -32768.0, 32767.0));
    return out;
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
        QVERIFY(m_dir.isValid());
        QVERIFY(writeWav(file(QStringLiteral("rate96000.wav")), noise(9600, 1000.0, 1), 96000, 1));
        QVERIFY(writeWav(file(QStringLiteral("rate4000.wav")), noise(4000, 1000.0, 1), 4000, 1));
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
        QTest::newRow("QPSK63 at 1850.5 Hz") << QStringList{"--mode", "qpsk63", "--freq", "1850.5"}
                                             << "QPSK test: <1234567890> = [OK]" << false;
        QTest::newRow("QPSK31 quiet") << QStringList{"--mode", "QPSK31", "--level", "300"} << "weak sig" << false;
        QTest::newRow("QPSK250") << QStringList{"--mode", "QPSK250", "--freq", "1200"} << "fast and furious" << false;
        QTest::newRow("BPSK125 at 8000 samples/s") << QStringList{"--mode", "BPSK125", "--rate", "8000"} << "low rate" << false;
        QTest::newRow("ASCII8 accents") << QStringList{"--mode", "BPSK63"} << QStringLiteral("Grüße, Ærø, café") << false;
        QTest::newRow("MMVari") << QStringList{"--mode", "BPSK125", "--charset", "MMVari"} << QStringLiteral("Grüße aus Köln")
                                << false;
        QTest::newRow("Alternate") << QStringList{"--mode", "BPSK125", "--charset", "alternate"}
                                   << QStringLiteral("Ça va? ±5 Hz") << false;
        QTest::newRow("sensitive receiver, MMVari, 48000 samples/s")
            << QStringList{"--mode", "QPSK125", "--rate", "48000", "--charset", "MMVari", "--receiver", "sensitive"}
            << QStringLiteral("Grüße aus Köln") << false;
        QTest::newRow("standard input") << QStringList{"--mode", "BPSK125"}
                                        << QStringLiteral("first line\nsecond line, €5\n") << true;
    }
    void roundTrip()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, text);
        QFETCH(bool, viaStdin);
        QStringList decodeOptions, encodeOptions; // --rate and --level belong to the transmitter only, --receiver not
        for (int i = 0; i + 1 < options.size(); i += 2) {
            if (options[i] != QLatin1String("--rate") && options[i] != QLatin1String("--level"))
                decodeOptions << options[i] << options[i + 1];
            if (options[i] != QLatin1String("--receiver"))
                encodeOptions << options[i] << options[i + 1];
        }
        const QString wav = file(QStringLiteral("roundtrip.wav"));
        const QStringList textOption = viaStdin ? QStringList{} : QStringList{"--text", text};
        const Run enc = runCli(QStringList{"encode"} + encodeOptions + textOption + QStringList{wav}, viaStdin ? text.toUtf8() : "");
        QVERIFY2(!enc.crashed && enc.exitCode == 0, enc.err.constData());
        const Run dec = runCli(QStringList{"decode"} + decodeOptions + QStringList{wav});
        QVERIFY2(!dec.crashed && dec.exitCode == 0, dec.err.constData());
        QVERIFY2(QString::fromUtf8(dec.out).contains(text), dec.out.constData());
    }

    void decodesPeerRecordings()
    {
        // Ties the options to what stations send: a mix-up shared by encode and decode would pass a round trip.
        const QDir dir(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/tests/data/peer"));
        QFile textFile(dir.filePath(QStringLiteral("text_c.txt")));
        QVERIFY2(textFile.open(QIODevice::ReadOnly), qPrintable("missing test data: " + textFile.fileName()));
        const QByteArray text = textFile.readAll();
        for (const char* name : {"bpsk31_1200", "bpsk63_800", "bpsk125_1700", "bpsk250_1500", "qpsk31_1000", "qpsk63_2000"}) {
            const QStringList parts = QString::fromLatin1(name).split(QLatin1Char('_'));
            for (const char* receiver : {"standard", "sensitive"}) {
                const Run r = runCli({"decode", "--mode", parts[0].toUpper(), "--freq", parts[1], "--receiver", receiver,
                                      dir.filePath(parts.join(u'_') + ".wav")});
                QVERIFY2(r.exitCode == 0 && r.out.contains(text), name);
            }
        }
    }

    void writesWhatWasAsked()
    {
        const QString text = QStringLiteral("RYRYRY de VK2XYZ");
        const QString slow = file(QStringLiteral("slow.wav")), fast = file(QStringLiteral("fast.wav"));
        const QStringList common{"--freq", "700", "--rate", "8000", "--text", text};
        QCOMPARE(runCli(QStringList{"encode", "--mode", "BPSK31"} + common + QStringList{slow}).exitCode, 0);
        QCOMPARE(runCli(QStringList{"encode", "--mode", "BPSK125", "--level", "2500"} + common + QStringList{fast}).exitCode, 0);
        std::array<int, 4> header{};
        const std::vector<qint16> slowSamples = readMonoWav(slow, &header), fastSamples = readMonoWav(fast);
        QCOMPARE(header, (std::array<int, 4>{1, 1, 8000, 16}));
        QVERIFY(!slowSamples.empty() && !fastSamples.empty());
        // The carrier where asked for; four times as fast; the level scales the samples.
        QVERIFY(tonePower(slowSamples, 700.0, 8000.0) > 100.0 * tonePower(slowSamples, 1000.0, 8000.0));
        QVERIFY(keyedLength(fastSamples) < keyedLength(slowSamples) / 2);
        const double levelRatio = double(peak(slowSamples)) / peak(fastSamples);
        QVERIFY2(std::abs(levelRatio - 4.0) < 0.05, qPrintable(QString::number(levelRatio)));
        QVERIFY(peak(slowSamples) > 30000);
        // Decoded at the default carrier there is nothing of the text.
        const Run wrongCarrier = runCli({"decode", "--mode", "BPSK31", slow});
        QVERIFY(wrongCarrier.exitCode == 0 && !wrongCarrier.out.contains("VK2XYZ"));
    }

    void firstChannelOfSeveral()
    {
        const QString mono = file(QStringLiteral("mono.wav")), stereo = file(QStringLiteral("stereo.wav"));
        const QString text = QStringLiteral("left channel only");
        QCOMPARE(runCli({"encode", "--mode", "BPSK125", "--text", text, mono}).exitCode, 0);
        // Left the signal, right loud noise that would bury it if mixed in.
        const std::vector<qint16> left = readMonoWav(mono), right = noise(left.size(), 8000.0, 2);
        QVERIFY(!left.empty());
        std::vector<qint16> both;
        for (size_t i = 0; i < left.size(); ++i)
            both.insert(both.end(), {left[i], right[i]});
        QVERIFY(writeWav(stereo, both, 11025, 2));
        const Run dec = runCli({"decode", "--mode", "BPSK125", stereo});
        QVERIFY2(dec.exitCode == 0 && QString::fromUtf8(dec.out).contains(text), dec.out.constData());
    }

    void squelchHidesNoise()
    {
        const QString wav = file(QStringLiteral("noise.wav"));
        QVERIFY(writeWav(wav, noise(11025 * 10, 3000.0, 3), 11025, 1));
        const Run open = runCli({"decode", wav}), closed = runCli({"decode", "--squelch", "10", wav});
        QVERIFY(open.exitCode == 0 && !open.out.isEmpty());
        QVERIFY2(closed.exitCode == 0 && closed.out.isEmpty(), closed.out.constData());
    }

    // decode --all: five stations up to 20 dB apart, in noise,
    // each found at its frequency with its text, and nothing else.
    void decodeAllFindsEverySignal()
    {
        struct Station { double hz, gain; const char* text; };
        const Station stations[] = {{420, 0.3, "cq de vk2abc"}, {900, 0.03, "vk3xy de w1aw"},
                                    {1500, 0.1, "test de dl2zz"}, {2100, 0.2, "qrz de ja1ab"},
                                    {3200, 0.06, "73 de g4xyz"}};
        std::vector<qint16> noiseSamples = noise(11025 * 16, 1000.0, 4);
        std::vector<double> mix(noiseSamples.begin(), noiseSamples.end());
        const QString one = file(QStringLiteral("one.wav")), all = file(QStringLiteral("all.wav"));
        for (size_t k = 0; k < std::size(stations); ++k) {
            const Station& st = stations[k];
            QCOMPARE(runCli({"encode", "--freq", QString::number(st.hz), "--text", st.text, one}).exitCode, 0);
            const std::vector<qint16> x = readMonoWav(one);
            const size_t start = 11025 * (1 + k % 3);
            for (size_t i = 0; i < x.size() && start + i < mix.size(); ++i)
                mix[start + i] += st.gain * x[i];
        }
        std::vector<qint16> out(mix.size());
        for (size_t i = 0; i < mix.size(); ++i)
            out[i] = qint16(std::clamp(std::round(mix[i]), -32768.0, 32767.0));
        QVERIFY(writeWav(all, out, 11025, 1));
        const Run r = runCli({"decode", "--all", "--mode", "BPSK31", all});
        const QStringList lines = QString::fromUtf8(r.out).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(r.exitCode == 0 && lines.size() == int(std::size(stations)), r.out.constData());
        for (size_t k = 0; k < std::size(stations); ++k) {
            const double hz = lines[int(k)].section(u' ', 0, 0).toDouble();
            QVERIFY2(std::abs(hz - stations[k].hz) < 8.0 && lines[int(k)].contains(stations[k].text), r.out.constData());
        }
    }

    void exits_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message"); // in the standard output when ok, else in the error output
        const QString good = file(QStringLiteral("rate96000.wav")), missing = file(QStringLiteral("does-not-exist.wav"));
        const auto row = [](const char* name, const QStringList& arguments, bool ok, const QString& message) {
            QTest::newRow(name) << arguments << ok << message;
        };
        row("help", {"--help"}, true, "encode");
        row("encode help", {"encode", "--help"}, true, "--level");
        row("decode help", {"decode", "--help"}, true, "--squelch");
        row("no command", {}, false, "no command");
        row("unknown command", {"transmit", good}, false, "unknown command");
        row("missing file", {"decode", missing}, false, missing);
        row("not a sound file", {"decode", file(QStringLiteral("notsound.wav"))}, false, "notsound.wav");
        row("96000 samples/s", {"decode", good}, false, "unsupported sample rate 96000");
        row("4000 samples/s", {"decode", file(QStringLiteral("rate4000.wav"))}, false, "unsupported sample rate 4000");
        row("unknown option", {"decode", "--bogus", good}, false, "bogus");
        row("unknown receiver", {"decode", "--receiver", "deep", good}, false, "unknown receiver \"deep\"");
        row("unknown mode", {"decode", "--mode", "BPSK99", good}, false, "unknown mode \"BPSK99\"");
        row("unknown charset", {"decode", "--charset", "UTF8", good}, false, "UTF8");
        row("squelch too high", {"decode", "--squelch", "32", good}, false, "squelch");
        row("squelch not a number", {"decode", "--squelch", "x", good}, false, "squelch");
        row("frequency not a number", {"decode", "--freq", "1k", good}, false, "frequency");
        row("negative frequency", {"decode", "--freq", "-5", good}, false, "frequency");
        row("option without value", {"decode", good, "--mode"}, false, "mode");
        row("no file", {"decode"}, false, "no sound file");
        row("two files", {"decode", good, good}, false, "one sound file");
        // Refused encodes; the text comes from the standard input, which is no UTF-8.
        row("level 0", {"encode", "--level", "0"}, false, "level");
        row("level 10001", {"encode", "--level", "10001"}, false, "level");
        row("rate too low", {"encode", "--rate", "7999"}, false, "sample rate");
        row("rate not a number", {"encode", "--rate", "fast"}, false, "sample rate");
        row("carrier above half the rate", {"encode", "--rate", "8000", "--freq", "4000"}, false, "half the sample rate");
        row("unknown encode mode", {"encode", "--mode", "QPSK500"}, false, "unknown mode");
        row("not UTF-8", {"encode"}, false, "UTF-8");
    }
    void exits()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, ok);
        QFETCH(QString, message);
        // An encode must leave no half-written file.
        const QString wav = file(QStringLiteral("refused.wav"));
        QFile::remove(wav);
        const bool encode = arguments.value(0) == QLatin1String("encode") && !ok;
        const Run r = runCli(encode ? arguments + QStringList{wav} : arguments, QByteArray("abc\xff\xfe", 5));
        QVERIFY(!r.crashed);
        QCOMPARE(r.exitCode == 0, ok);
        QVERIFY2((ok ? r.out : r.err).contains(message.toUtf8()), (ok ? r.out : r.err).constData());
        QVERIFY2(ok || encode || r.out.isEmpty(), r.out.constData());
        QVERIFY(!QFile::exists(wav));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
