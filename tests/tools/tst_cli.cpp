// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// velkora32-cli as a user runs it: texts survive encode and decode in every
// kind of mode, rate and character set, and every bad input ends with a
// message and a non-zero exit instead of a crash or a half-written file.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <cmath>
#include <random>

namespace {

struct Run
{
    int exitCode = -1;
    bool crashed = true;
    QByteArray out;
    QByteArray err;
};

QString cliPath()
{
    return qEnvironmentVariable("VELKORA_BIN_DIR") + QStringLiteral("/velkora32-cli");
}

Run runCli(const QStringList& arguments, const QByteArray& input = {})
{
    QProcess p;
    p.start(cliPath(), arguments);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// A 16-bit PCM WAV file with the channels interleaved frame by frame.
bool writeWav(const QString& path, const std::vector<qint16>& interleaved, int rate, int channels)
{
    QByteArray data;
    auto put16 = [&data](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        data.append(b, 2);
    };
    auto put32 = [&data](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        data.append(b, 4);
    };
    const quint32 bytes = quint32(interleaved.size() * 2);
    data.append("RIFF");
    put32(36 + bytes);
    data.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(quint16(channels));
    put32(quint32(rate));
    put32(quint32(rate * channels * 2));
    put16(quint16(channels * 2));
    put16(16);
    data.append("data");
    put32(bytes);
    for (qint16 s : interleaved)
        put16(quint16(s));
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

struct WavHeader
{
    int format = 0;
    int channels = 0;
    int rate = 0;
    int bits = 0;
};

quint32 littleEndian(const QByteArray& data, int at, int bytes)
{
    quint32 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(data.at(at + i));
    return v;
}

// The samples of a mono 16-bit WAV file as the tool writes it, and what its
// header says.
std::vector<qint16> readMonoWav(const QString& path, WavHeader* header = nullptr)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = f.readAll();
    const int fmt = data.indexOf("fmt ");
    const int at = data.indexOf("data");
    if (fmt < 0 || at < 0 || data.size() < fmt + 24 || data.size() < at + 8)
        return {};
    if (header) {
        header->format = int(littleEndian(data, fmt + 8, 2));
        header->channels = int(littleEndian(data, fmt + 10, 2));
        header->rate = int(littleEndian(data, fmt + 12, 4));
        header->bits = int(littleEndian(data, fmt + 22, 2));
    }
    const quint32 size = std::min<quint32>(littleEndian(data, at + 4, 4), quint32(data.size() - at - 8));
    std::vector<qint16> out(size / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = qint16(littleEndian(data, at + 8 + 2 * int(i), 2));
    return out;
}

// Power of one frequency in the samples (Goertzel), per sample.
double tonePower(const std::vector<qint16>& s, double frequency, double rate)
{
    const double w = 2.0 * M_PI * frequency / rate;
    const double coeff = 2.0 * std::cos(w);
    double s1 = 0.0;
    double s2 = 0.0;
    for (qint16 x : s) {
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return (s1 * s1 + s2 * s2 - coeff * s1 * s2) / double(s.size()) / double(s.size());
}

// Samples from the first to the last non-zero one: the time on the air.
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

private slots:
    void initTestCase();

    void help_data();
    void help();
    void roundTrip_data();
    void roundTrip();
    void textFromStandardInput();
    void decodesPeerRecordings_data();
    void decodesPeerRecordings();
    void writesWhatWasAsked();
    void firstChannelOfSeveral();
    void squelchHidesNoise();
    void badInput_data();
    void badInput();
    void badEncodeLeavesNoFile_data();
    void badEncodeLeavesNoFile();

private:
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QTemporaryDir m_dir;
};

void TestCli::initTestCase()
{
    QVERIFY2(QFile::exists(cliPath()), qPrintable(cliPath()));
    QVERIFY(m_dir.isValid());

    QVERIFY(writeWav(file(QStringLiteral("rate96000.wav")), noise(9600, 1000.0, 1), 96000, 1));
    QVERIFY(writeWav(file(QStringLiteral("rate4000.wav")), noise(4000, 1000.0, 1), 4000, 1));
    QFile text(file(QStringLiteral("notsound.wav")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("This is a text file, not a sound file.\n");
}

void TestCli::help_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("general") << QStringList{"--help"} << "encode";
    QTest::newRow("encode") << QStringList{"encode", "--help"} << "--level";
    QTest::newRow("decode") << QStringList{"decode", "--help"} << "--squelch";
}

void TestCli::help()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const Run r = runCli(arguments);
    QVERIFY(!r.crashed);
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.contains(expected.toUtf8()), r.out.constData());
}

void TestCli::roundTrip_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("text");
    QTest::newRow("defaults") << QStringList{} << "CQ CQ de VK2XYZ pse K";
    QTest::newRow("BPSK250 at 48000 samples/s")
        << QStringList{"--mode", "BPSK250", "--rate", "48000", "--freq", "2200"} << "73 es tnx fer QSO, 100% ok!";
    QTest::newRow("QPSK63 at 1850.5 Hz") << QStringList{"--mode", "qpsk63", "--freq", "1850.5"}
                                         << "QPSK test: <1234567890> = [OK]";
    QTest::newRow("QPSK31 quiet") << QStringList{"--mode", "QPSK31", "--level", "300"} << "weak sig";
    QTest::newRow("QPSK125") << QStringList{"--mode", "QPSK125", "--freq", "600"} << "half way";
    QTest::newRow("QPSK250") << QStringList{"--mode", "QPSK250", "--freq", "1200"} << "fast and furious";
    QTest::newRow("BPSK125 at 8000 samples/s") << QStringList{"--mode", "BPSK125", "--rate", "8000"} << "low rate";
    QTest::newRow("ASCII8 accents") << QStringList{"--mode", "BPSK63"} << QStringLiteral("Grüße, Ærø, café");
    QTest::newRow("MMVari") << QStringList{"--mode", "BPSK125", "--charset", "MMVari"}
                            << QStringLiteral("Grüße aus Köln");
    QTest::newRow("Alternate") << QStringList{"--mode", "BPSK125", "--charset", "alternate"}
                               << QStringLiteral("Ça va? ±5 Hz");
}

void TestCli::roundTrip()
{
    QFETCH(QStringList, options);
    QFETCH(QString, text);
    const QString wav = file(QStringLiteral("roundtrip.wav"));

    // --rate and --level belong to the transmitter only.
    QStringList decodeOptions;
    for (int i = 0; i + 1 < options.size(); i += 2) {
        if (options[i] != QLatin1String("--rate") && options[i] != QLatin1String("--level"))
            decodeOptions << options[i] << options[i + 1];
    }

    const Run enc = runCli(QStringList{"encode"} + options + QStringList{"--text", text, wav});
    QVERIFY(!enc.crashed);
    QVERIFY2(enc.exitCode == 0, enc.err.constData());
    const Run dec = runCli(QStringList{"decode"} + decodeOptions + QStringList{wav});
    QVERIFY(!dec.crashed);
    QVERIFY2(dec.exitCode == 0, dec.err.constData());
    const QString decoded = QString::fromUtf8(dec.out);
    QVERIFY2(decoded.contains(text), qPrintable(decoded));
}

void TestCli::textFromStandardInput()
{
    const QString wav = file(QStringLiteral("stdin.wav"));
    const QString text = QStringLiteral("first line\nsecond line, €5\n");
    const Run enc = runCli({"encode", "--mode", "BPSK125", wav}, text.toUtf8());
    QVERIFY2(enc.exitCode == 0, enc.err.constData());
    const Run dec = runCli({"decode", "--mode", "BPSK125", wav});
    QVERIFY2(dec.exitCode == 0, dec.err.constData());
    QVERIFY2(QString::fromUtf8(dec.out).contains(text), dec.out.constData());
}

void TestCli::decodesPeerRecordings_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<QString>("carrier");
    QTest::newRow("BPSK31") << "bpsk31_1200.wav" << "BPSK31" << "1200";
    QTest::newRow("BPSK63") << "bpsk63_800.wav" << "BPSK63" << "800";
    QTest::newRow("BPSK125") << "bpsk125_1700.wav" << "BPSK125" << "1700";
    QTest::newRow("BPSK250") << "bpsk250_1500.wav" << "BPSK250" << "1500";
    QTest::newRow("QPSK31") << "qpsk31_1000.wav" << "QPSK31" << "1000";
    QTest::newRow("QPSK63") << "qpsk63_2000.wav" << "QPSK63" << "2000";
}

void TestCli::decodesPeerRecordings()
{
    // Recordings from another PSK program tie the options to what stations on
    // the air send: a mode or carrier mix-up that encode and decode shared
    // would still pass a round trip, but not this.
    QFETCH(QString, file);
    QFETCH(QString, modeName);
    QFETCH(QString, carrier);
    const QDir dir(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/../shared/testdata/peer"));
    if (!dir.exists())
        QSKIP("the peer recordings are not present");
    QFile textFile(dir.filePath(QStringLiteral("text_c.txt")));
    QVERIFY(textFile.open(QIODevice::ReadOnly));
    const QByteArray text = textFile.readAll();

    const Run r = runCli({"decode", "--mode", modeName, "--freq", carrier, dir.filePath(file)});
    QVERIFY2(r.exitCode == 0, r.err.constData());
    QVERIFY2(r.out.contains(text), r.out.constData());
}

void TestCli::writesWhatWasAsked()
{
    const QString text = QStringLiteral("RYRYRY de VK2XYZ");
    const QString slow = file(QStringLiteral("slow.wav"));
    const QString fast = file(QStringLiteral("fast.wav"));
    QCOMPARE(runCli({"encode", "--mode", "BPSK31", "--freq", "700", "--rate", "8000", "--text", text, slow}).exitCode, 0);
    QCOMPARE(runCli({"encode", "--mode", "BPSK125", "--freq", "700", "--rate", "8000", "--level", "2500", "--text",
                     text, fast})
                 .exitCode,
             0);

    WavHeader header;
    const std::vector<qint16> slowSamples = readMonoWav(slow, &header);
    QCOMPARE(header.format, 1);
    QCOMPARE(header.channels, 1);
    QCOMPARE(header.bits, 16);
    QCOMPARE(header.rate, 8000);
    const std::vector<qint16> fastSamples = readMonoWav(fast);
    QVERIFY(!slowSamples.empty() && !fastSamples.empty());

    // The carrier where it was asked for, not at the default.
    QVERIFY(tonePower(slowSamples, 700.0, 8000.0) > 100.0 * tonePower(slowSamples, 1000.0, 8000.0));
    // The text goes four times as fast; key-up and tail take their time too.
    QVERIFY(keyedLength(fastSamples) < keyedLength(slowSamples) / 2);
    // The level scales the samples.
    const double levelRatio = double(peak(slowSamples)) / peak(fastSamples);
    QVERIFY2(std::abs(levelRatio - 4.0) < 0.05, qPrintable(QString::number(levelRatio)));
    QVERIFY(peak(slowSamples) > 30000);

    // Decoded at the default carrier there is nothing of the text.
    const Run wrongCarrier = runCli({"decode", "--mode", "BPSK31", slow});
    QCOMPARE(wrongCarrier.exitCode, 0);
    QVERIFY(!wrongCarrier.out.contains("VK2XYZ"));
}

void TestCli::firstChannelOfSeveral()
{
    const QString mono = file(QStringLiteral("mono.wav"));
    const QString stereo = file(QStringLiteral("stereo.wav"));
    const QString text = QStringLiteral("left channel only");
    QCOMPARE(runCli({"encode", "--mode", "BPSK125", "--text", text, mono}).exitCode, 0);

    // Left: the signal; right: loud noise that would bury it if mixed in.
    const std::vector<qint16> left = readMonoWav(mono);
    QVERIFY(!left.empty());
    const std::vector<qint16> right = noise(left.size(), 8000.0, 2);
    std::vector<qint16> both;
    for (size_t i = 0; i < left.size(); ++i) {
        both.push_back(left[i]);
        both.push_back(right[i]);
    }
    QVERIFY(writeWav(stereo, both, 11025, 2));

    const Run dec = runCli({"decode", "--mode", "BPSK125", stereo});
    QVERIFY2(dec.exitCode == 0, dec.err.constData());
    QVERIFY2(QString::fromUtf8(dec.out).contains(text), dec.out.constData());
}

void TestCli::squelchHidesNoise()
{
    const QString wav = file(QStringLiteral("noise.wav"));
    QVERIFY(writeWav(wav, noise(11025 * 10, 3000.0, 3), 11025, 1));

    const Run open = runCli({"decode", wav});
    QCOMPARE(open.exitCode, 0);
    QVERIFY2(!open.out.isEmpty(), "noise decodes to some characters without the squelch");
    const Run closed = runCli({"decode", "--squelch", "10", wav});
    QCOMPARE(closed.exitCode, 0);
    QVERIFY2(closed.out.isEmpty(), closed.out.constData());
}

void TestCli::badInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");
    const QString missing = file(QStringLiteral("does-not-exist.wav"));
    const QString good = file(QStringLiteral("rate96000.wav"));
    QTest::newRow("no command") << QStringList{} << "no command";
    QTest::newRow("unknown command") << QStringList{"transmit", good} << "unknown command";
    QTest::newRow("missing file") << QStringList{"decode", missing} << missing;
    QTest::newRow("not a sound file") << QStringList{"decode", file(QStringLiteral("notsound.wav"))} << "notsound.wav";
    QTest::newRow("96000 samples/s") << QStringList{"decode", good} << "unsupported sample rate 96000";
    QTest::newRow("4000 samples/s") << QStringList{"decode", file(QStringLiteral("rate4000.wav"))}
                                    << "unsupported sample rate 4000";
    QTest::newRow("unknown option") << QStringList{"decode", "--bogus", good} << "bogus";
    QTest::newRow("unknown mode") << QStringList{"decode", "--mode", "BPSK99", good} << "unknown mode \"BPSK99\"";
    QTest::newRow("unknown charset") << QStringList{"decode", "--charset", "UTF8", good} << "UTF8";
    QTest::newRow("squelch too high") << QStringList{"decode", "--squelch", "32", good} << "squelch";
    QTest::newRow("squelch not a number") << QStringList{"decode", "--squelch", "x", good} << "squelch";
    QTest::newRow("frequency not a number") << QStringList{"decode", "--freq", "1k", good} << "frequency";
    QTest::newRow("negative frequency") << QStringList{"decode", "--freq", "-5", good} << "frequency";
    QTest::newRow("option without value") << QStringList{"decode", good, "--mode"} << "mode";
    QTest::newRow("no file") << QStringList{"decode"} << "no sound file";
    QTest::newRow("two files") << QStringList{"decode", good, good} << "one sound file";
}

void TestCli::badInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);
    const Run r = runCli(arguments);
    QVERIFY(!r.crashed);
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
    QVERIFY2(r.out.isEmpty(), r.out.constData());
}

void TestCli::badEncodeLeavesNoFile_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("level 0") << QStringList{"--level", "0"} << "level";
    QTest::newRow("level 10001") << QStringList{"--level", "10001"} << "level";
    QTest::newRow("rate too low") << QStringList{"--rate", "7999"} << "sample rate";
    QTest::newRow("rate not a number") << QStringList{"--rate", "fast"} << "sample rate";
    QTest::newRow("carrier above half the rate") << QStringList{"--rate", "8000", "--freq", "4000"} << "half the sample rate";
    QTest::newRow("unknown mode") << QStringList{"--mode", "QPSK500"} << "unknown mode";
    QTest::newRow("not UTF-8") << QStringList{} << "UTF-8";
}

void TestCli::badEncodeLeavesNoFile()
{
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    const QString wav = file(QStringLiteral("refused.wav"));
    QFile::remove(wav);
    // Text comes from the standard input where --text is absent: give it bytes
    // that are no UTF-8 at all.
    const Run r = runCli(QStringList{"encode"} + options + QStringList{wav}, QByteArray("abc\xff\xfe", 5));
    QVERIFY(!r.crashed);
    QVERIFY(r.exitCode != 0);
    QVERIFY2(r.err.contains(message.toUtf8()), r.err.constData());
    QVERIFY(!QFile::exists(wav));
}

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
