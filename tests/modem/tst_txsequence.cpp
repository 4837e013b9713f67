// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One transmission as it goes on air: key-up carrier, idle reversals,
// characters, the tail after the end marker, the Morse identification of the
// call sign, the reports to the owner and the transmit level. The output is
// demodulated from first principles, and compared with recordings of another
// PSK program sending the same text.
#include "app/settings.h"
#include "modem/cwtables.h"
#include "modem/psktxrx.h"
#include "modem/varicode.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <complex>
#include <deque>
#include <map>
#include <vector>

namespace {

constexpr double kRate = 32000.0;
constexpr int kBlock = 512;
constexpr int kSilent = 4;

// Hands out a fixed list of words, then nothing.
class ScriptSource : public CTxCharSource
{
public:
    ScriptSource& text(const QString& s)
    {
        for (QChar c : s)
            m_words.push_back(TxWord::make(TxWord::kChar, c.unicode()));
        return *this;
    }
    ScriptSource& word(TxWord::Kind kind, int count = 1)
    {
        m_words.insert(m_words.end(), count, TxWord::make(kind));
        return *this;
    }
    quint32 nextTxWord() override
    {
        if (m_words.empty())
            return 0;
        const quint32 w = m_words.front();
        m_words.pop_front();
        return w;
    }

private:
    std::deque<quint32> m_words;
};

// An owner that keeps the characters of each report code.
class RecordingOwner : public CBruxCmdTarget
{
public:
    intptr_t Command(int code, intptr_t p1, intptr_t p2, intptr_t p3) override
    {
        if (const intptr_t r = CBruxCmdTarget::Command(code, p1, p2, p3))
            return r;
        reports[code] += QChar(char16_t(p1));
        return 0;
    }
    std::map<int, QString> reports;
};

// The output of one transmission at 4000 Hz and 32000 samples a second:
// 8 samples a carrier cycle, starting at phase 0.
struct Transmission
{
    std::vector<qint16> samples;
    int endBlock = -1; // the block that answered 0
    int period = 0;    // samples a symbol

    // Phase code of symbol n (from 1) at its end, where the shaping leaves
    // the symbol's own code alone: 0-3 quarter turns, or no carrier.
    int code(int n) const
    {
        std::complex<double> z;
        for (int k = n * period - 8; k < n * period; ++k)
            z += double(samples[k]) * std::polar(1.0, M_PI * k / 4.0);
        if (std::abs(z) / 4.0 < 3000.0)
            return kSilent;
        return (int(std::lround(std::arg(std::conj(z)) / (M_PI / 2))) + 4) % 4;
    }
    // Differential bits of symbols from..to: a kept phase is 1.
    QString bits(int from, int to) const
    {
        QString s;
        for (int n = from; n <= to; ++n)
            s += code(n) == code(n - 1) ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
    // Carrier on (1) or off (0) per symbol.
    QString keying(int from, int to) const
    {
        QString s;
        for (int n = from; n <= to; ++n)
            s += code(n) == kSilent ? QLatin1Char('0') : QLatin1Char('1');
        return s;
    }
    int endBlockAfter(int symbols) const { return symbols * period / kBlock; }
    int symbols() const { return int(samples.size()) / period; }
};

Transmission transmit(CPskTxRx& modem, ScriptSource& source, int hundredths = 3125, RecordingOwner* owner = nullptr)
{
    Transmission tx;
    modem.SetSampleRates(kRate, kRate);
    modem.Command(65, 4000, 0, 0);
    modem.Command(90, hundredths, 0, 0);
    modem.setTxCharSource(&source);
    if (owner)
        modem.Command(0, reinterpret_cast<intptr_t>(static_cast<CBruxCmdTarget*>(owner)), 0, 0);
    tx.period = int(kRate * 100 / hundredths);
    std::vector<qint16> block(kBlock);
    modem.SetTransmit(1);
    // One block more than it takes, to see the silence after the end.
    for (int n = 0; n < 2000 && (tx.endBlock < 0 || n == tx.endBlock + 1); ++n) {
        if (modem.GenerateTxSamples(block.data(), kBlock) == 0 && tx.endBlock < 0)
            tx.endBlock = n;
        tx.samples.insert(tx.samples.end(), block.begin(), block.end());
    }
    modem.SetTransmit(0);
    modem.Command(90, 3125, 0, 0);
    return tx;
}

// The Morse keying of a text in symbols: a dot is one unit on and one off, a
// dash three on and one off, every letter ends with two more units off, and
// a character without a pattern is two units off.
QString morseKeying(const QStringList& letters, int unit)
{
    QString s;
    auto add = [&](char c, int units) { s += QString(units * unit, QLatin1Char(c)); };
    for (const QString& letter : letters) {
        for (QChar e : letter) {
            add('1', e == QLatin1Char('.') ? 1 : 3);
            add('0', 1);
        }
        add('0', 2);
    }
    return s;
}

std::vector<qint16> readWav(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    for (int pos = 12; pos + 8 <= bytes.size();) {
        const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + pos + 4);
        if (bytes.mid(pos, 4) == "data") {
            std::vector<qint16> samples(qMin<qint64>(size, bytes.size() - pos - 8) / 2);
            for (size_t i = 0; i < samples.size(); ++i)
                samples[i] = qFromLittleEndian<qint16>(bytes.constData() + pos + 8 + 2 * i);
            return samples;
        }
        pos += 8 + int(size) + int(size & 1);
    }
    return {};
}

// The phase steps of a PSK signal in quarter turns, one character a symbol
// ('.' where the carrier is weak): mixed down, summed over half a symbol
// around each symbol boundary at the timing that gives the most energy.
QString phaseSteps(const std::vector<qint16>& x, double frequency, double baud)
{
    const double period = 11025.0 / baud;
    std::vector<std::complex<double>> sum(x.size() + 1);
    for (size_t n = 0; n < x.size(); ++n)
        sum[n + 1] = sum[n] + double(x[n]) * std::polar(1.0, -2.0 * M_PI * frequency / 11025.0 * double(n));
    auto window = [&](double t) {
        const long a = qBound(0L, long(t - period / 4), long(x.size()));
        return sum[qBound(0L, long(t + period / 4), long(x.size()))] - sum[a];
    };
    const int symbols = int(x.size() / period) - 1;
    double best = -1, offset = 0;
    for (double t = 0; t < period; t += 2) {
        double energy = 0;
        for (int k = 0; k < symbols; ++k)
            energy += std::abs(window(t + k * period));
        if (energy > best) {
            best = energy;
            offset = t;
        }
    }
    std::vector<std::complex<double>> z;
    double peak = 0;
    for (int k = 0; k < symbols; ++k) {
        z.push_back(window(offset + k * period));
        peak = qMax(peak, std::abs(z.back()));
    }
    QString steps;
    for (size_t k = 1; k < z.size(); ++k) {
        const bool weak = std::abs(z[k]) < 0.3 * peak || std::abs(z[k - 1]) < 0.3 * peak;
        const int turn = int(std::lround(std::arg(z[k] / z[k - 1]) / (M_PI / 2)));
        steps += weak ? QChar(u'.') : QChar(u'0' + (turn + 4) % 4);
    }
    return steps;
}

} // namespace

class TestTxSequence : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        CwTables::clear();
        // ctest runs the test in its source folder and names the tree.
        const QString root = qEnvironmentVariable("VELKORA_SOURCE_DIR", QStringLiteral("../.."));
        QVERIFY(CwTables::loadTable(root + QStringLiteral("/resources/ENG.cwt"), nullptr));
    }

    void init()
    {
        // Every modem saves its character set; each test starts from none.
        Settings::setPath(m_dir.filePath(QStringLiteral("txsequence%1.ini").arg(++m_settingsFile)));
    }

    void keyUpIdleAndTail_data()
    {
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<int>("idleFrom"); // first symbol of the idle reversals
        QTest::addColumn<int>("textFrom"); // first symbol of the first character
        QTest::newRow("31.25") << 3125 << 5 << 41;
        QTest::newRow("62.5") << 6250 << 10 << 82;
        QTest::newRow("125") << 12500 << 20 << 164;
        QTest::newRow("250") << 25000 << 40 << 328;
    }

    void keyUpIdleAndTail()
    {
        QFETCH(int, hundredths);
        QFETCH(int, idleFrom);
        QFETCH(int, textFrom);
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        ScriptSource source;
        // The first word is taken before the key-up, so three idle fetches
        // while the view is empty hold "e" back by two symbols.
        source.word(TxWord::kNothing, 3).text(QStringLiteral("e")).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source, hundredths, &owner);
        const int e = textFrom + 2;

        // Steady carrier at code 0, the first symbol fading in from silence.
        QCOMPARE(tx.samples[0], qint16(0));
        for (int n = 1; n < idleFrom; ++n)
            QCOMPARE(tx.code(n), 0);
        // Reversals until the character: two zero bits, then "11".
        QCOMPARE(tx.bits(idleFrom, e - 1), QString(e - idleFrom, QLatin1Char('0')));
        QCOMPARE(tx.bits(e, e + 3), QStringLiteral("0011"));
        // Tail at every rate: 10 symbols from the empty encoder, 36 of
        // steady carrier at code 0, one fading out, then the end.
        const int tail = e + 4;
        QCOMPARE(tx.bits(tail, tail + 9), QString(10, QLatin1Char('0')));
        for (int n = tail + 10; n < tail + 46; ++n)
            QCOMPARE(tx.code(n), 0);
        QCOMPARE(tx.code(tail + 46), kSilent);
        QCOMPARE(tx.endBlock, tx.endBlockAfter(tail + 46));
        QCOMPARE(tx.keying(tail + 47, tx.symbols()), QString(tx.symbols() - tail - 46, QLatin1Char('0')));
        QCOMPARE(owner.reports[32], QStringLiteral("e"));
        QVERIFY(!owner.reports[42].isEmpty());
    }

    void endMarkerFirstIsSilence_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("end") << int(TxWord::kEnd);
        QTest::newRow("end with notice") << int(TxWord::kEndNotify);
    }

    void endMarkerFirstIsSilence()
    {
        QFETCH(int, kind);
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        ScriptSource source;
        source.word(TxWord::Kind(kind)).text(QStringLiteral("never"));
        const Transmission tx = transmit(modem, source, 3125, &owner);
        QCOMPARE(tx.endBlock, 0);
        QVERIFY(std::all_of(tx.samples.begin(), tx.samples.end(), [](qint16 x) { return x == 0; }));
        QVERIFY(owner.reports[32].isEmpty());
        QCOMPARE(int(owner.reports[45].size()), kind == TxWord::kEndNotify ? 1 : 0);
    }

    void cwIdAsFirstWord_data()
    {
        QTest::addColumn<int>("selector");
        QTest::addColumn<int>("unit");
        QTest::newRow("unit of two symbols") << 0 << 2;
        QTest::newRow("unit of one symbol") << 1 << 1;
        QTest::newRow("anything but 1 is two") << 3 << 2;
    }

    void cwIdAsFirstWord()
    {
        QFETCH(int, selector);
        QFETCH(int, unit);
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        modem.Command(43, reinterpret_cast<intptr_t>("AB"), 0, 0);
        modem.Command(44, selector, 0, 0);
        ScriptSource source;
        source.word(TxWord::kCwId).text(QStringLiteral("never"));
        const Transmission tx = transmit(modem, source, 3125, &owner);

        // Two spaces, A, B, a space, without PSK before it; carrier is code 0.
        const QString expected = morseKeying({"", "", ".-", "-...", ""}, unit);
        QCOMPARE(tx.keying(1, expected.size()), expected);
        for (int n = 1; n <= expected.size(); ++n)
            QVERIFY(tx.code(n) == 0 || tx.code(n) == kSilent);
        QCOMPARE(tx.endBlock, tx.endBlockAfter(expected.size()));
        QCOMPARE(owner.reports[32], QStringLiteral("\n\rCWID: AB\r"));
    }

    void cwIdInTheMiddleOfText()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        modem.Command(43, reinterpret_cast<intptr_t>("E"), 0, 0);
        modem.Command(44, 1, 0, 0);
        ScriptSource source;
        source.text(QStringLiteral("e")).word(TxWord::kCwId).text(QStringLiteral("never"));
        const Transmission tx = transmit(modem, source, 3125, &owner);

        // "e" takes symbols 41 to 44, the marker comes at 45: 10 symbols at
        // the last phase, 18 at code 0, then "T  E " in Morse.
        for (int n = 45; n < 55; ++n)
            QCOMPARE(tx.code(n), tx.code(44));
        for (int n = 55; n < 73; ++n)
            QCOMPARE(tx.code(n), 0);
        const QString expected = morseKeying({"-", "", "", ".", ""}, 1);
        QCOMPARE(tx.keying(73, 72 + expected.size()), expected);
        QCOMPARE(tx.endBlock, tx.endBlockAfter(72 + expected.size()));
        QCOMPARE(owner.reports[32], QStringLiteral("e"));
    }

    void cwIdWithoutCallSignSendsCharacterZero()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        ScriptSource source;
        source.word(TxWord::kCwId).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source, 3125, &owner);
        const QString nul = QString::number(Varicode::ascii8Word(0), 2);
        QCOMPARE(tx.bits(41, 42 + nul.size()), QStringLiteral("00") + nul);
        QCOMPARE(owner.reports[32], QString(QChar(u'\0')));
    }

    void levelScalesWithTruncation()
    {
        ScriptSource full, half;
        full.text(QStringLiteral("ea")).word(TxWord::kEnd);
        half.text(QStringLiteral("ea")).word(TxWord::kEnd);
        CPskTxRx a(QStringLiteral("BPSK31"));
        const Transmission loud = transmit(a, full);
        CPskTxRx b(QStringLiteral("BPSK31"));
        b.Command(11, 5000, 0, 0);
        const Transmission soft = transmit(b, half);
        QCOMPARE(soft.samples.size(), loud.samples.size());
        bool oddNegative = false;
        for (size_t n = 0; n < loud.samples.size(); ++n) {
            const int x = loud.samples[n];
            // Halving toward zero: -32765 becomes -16382, never -16383.
            QCOMPARE(int(soft.samples[n]), x < 0 ? -(-x / 2) : x / 2);
            oddNegative = oddNegative || (x < 0 && (x & 1));
        }
        QVERIFY(oddNegative);
    }

    void restartWhileStreamRuns()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        modem.SetSampleRates(kRate, kRate);
        modem.Command(65, 4000, 0, 0);
        std::vector<qint16> block(kBlock);
        modem.SetTransmit(1);
        for (int n = 0; n < 200; ++n)
            QCOMPARE(modem.GenerateTxSamples(block.data(), kBlock), 1); // idle without a source
        // Off and on again: the next block starts a key-up from silence.
        modem.SetTransmit(0);
        modem.SetTransmit(1);
        modem.GenerateTxSamples(block.data(), kBlock);
        QCOMPARE(block[0], qint16(0));
        QVERIFY(std::abs(block[8]) < 200);
        // Switched on twice, a running transmission goes on.
        modem.SetTransmit(1);
        modem.GenerateTxSamples(block.data(), kBlock);
        QVERIFY(std::abs(block[0]) > 10000);
        QCOMPARE(modem.GenerateTxSamples(nullptr, kBlock), 1);
    }

    void sameSymbolsAsAnotherProgram_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<int>("frequency");
        QTest::newRow("BPSK31") << "bpsk31_1200.wav" << "BPSK31" << 3125 << 1200;
        QTest::newRow("BPSK250") << "bpsk250_1500.wav" << "BPSK31" << 25000 << 1500;
        QTest::newRow("QPSK31") << "qpsk31_1000.wav" << "QPSK" << 3125 << 1000;
        QTest::newRow("QPSK63") << "qpsk63_2000.wav" << "QPSK" << 6250 << 2000;
    }

    void sameSymbolsAsAnotherProgram()
    {
        QFETCH(QString, file);
        QFETCH(QString, mode);
        QFETCH(int, hundredths);
        QFETCH(int, frequency);
        const QDir peer(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/../shared/testdata/peer"));
        QFile textFile(peer.filePath(QStringLiteral("text_c.txt")));
        if (!textFile.open(QIODevice::ReadOnly))
            QSKIP("the recordings of another program are not present");
        const std::vector<qint16> recording = readWav(peer.filePath(file));
        QVERIFY(!recording.empty());

        // The same text from our transmitter, at the recording's rate.
        CPskTxRx modem(mode);
        ScriptSource source;
        source.text(QString::fromLatin1(textFile.readAll())).word(TxWord::kEnd);
        modem.SetSampleRates(11025.0, 11025.0);
        modem.Command(65, frequency, 0, 0);
        modem.Command(90, hundredths, 0, 0);
        modem.setTxCharSource(&source);
        modem.SetTransmit(1);
        std::vector<qint16> ours(kBlock);
        for (int n = 0; n < 5000 && modem.GenerateTxSamples(ours.data() + ours.size() - kBlock, kBlock); ++n)
            ours.resize(ours.size() + kBlock);
        modem.Command(90, 3125, 0, 0);

        // The characters agree symbol for symbol; the two programs' key-up
        // and tail differ, so the middle is compared.
        const QString theirs = phaseSteps(recording, frequency, hundredths / 100.0);
        const QString mine = phaseSteps(ours, frequency, hundredths / 100.0);
        const QString middle = mine.mid(mine.size() / 4, mine.size() / 2);
        QVERIFY(!middle.contains(QLatin1Char('.')));
        QVERIFY2(theirs.contains(middle), qPrintable(middle.left(80)));
    }

private:
    QTemporaryDir m_dir;
    int m_settingsFile = 0;
};

QTEST_GUILESS_MAIN(TestTxSequence)
#include "tst_txsequence.moc"
