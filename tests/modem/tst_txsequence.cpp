// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One transmission on air: key-up, idle, characters, tail, CW identification,
// reports and level, checked by demodulation and against another program.
#include "modem/cwtables.h"
#include "modem/varicode.h"
#include "modemtesthelpers.h"

#include <QTest>

#include <complex>
#include <deque>

using ModemTest::RecordingOwner;

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
    // Per symbol from..to: differential bits (a kept phase is 1), or carrier on (1) / off (0).
    QString bits(int from, int to, bool keying = false) const
    {
        QString s;
        for (int n = from; n <= to; ++n)
            s += QLatin1Char(keying ? (code(n) == kSilent ? '0' : '1') : (code(n) == code(n - 1) ? '1' : '0'));
        return s;
    }
    QString keying(int from, int to) const { return bits(from, to, true); }
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
        owner->listenTo(modem);
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

// Morse keying in symbols: dot 1 on, dash 3 on, 1 off after each, 2 more after each letter.
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

// Phase steps in quarter turns per symbol ('.' where weak), sampled at the best timing.
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
        const QString root = qEnvironmentVariable("VELKORA_SOURCE_DIR", QStringLiteral("../.."));
        QVERIFY(CwTables::loadTable(root + QStringLiteral("/resources/ENG.cwt"), nullptr));
    }

    void init()
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("txsequence%1.ini").arg(++m_settingsFile)));
    }

    void keyUpIdleAndTail_data()
    {
        QTest::addColumn<int>("hundredths");
        QTest::addColumn<int>("idleFrom"); // first symbol of the idle reversals
        QTest::addColumn<int>("textFrom"); // first symbol of the first character
        QTest::newRow("31.25") << 3125 << 25 << 41;
        QTest::newRow("62.5") << 6250 << 25 << 82;
        QTest::newRow("125") << 12500 << 25 << 164;
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
        QCOMPARE(owner.chars(32), QStringLiteral("e"));
        QVERIFY(!owner.chars(42).isEmpty());
    }

    void qpskTailIsIdle()
    {
        // A receiver with a long Viterbi delay prints the last character
        // only after many idle symbols, so there is no steady carrier.
        CPskTxRx modem(QStringLiteral("QPSK"));
        ScriptSource source;
        source.text(QStringLiteral("e")).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source);
        QCOMPARE(tx.bits(50, 90), QString(41, QLatin1Char('0')));
        QCOMPARE(tx.code(91), kSilent);
        QCOMPARE(tx.endBlock, tx.endBlockAfter(91));
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
        QVERIFY(owner.chars(32).isEmpty());
        QCOMPARE(int(owner.chars(45).size()), kind == TxWord::kEndNotify ? 1 : 0);
    }

    void cwId_data()
    {
        QTest::addColumn<QByteArray>("call");
        QTest::addColumn<int>("selector");
        QTest::addColumn<QString>("before"); // text ahead of the marker
        QTest::addColumn<QStringList>("letters");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QString>("shown");
        // First word: two spaces, the call, a space, without PSK before it.
        const QStringList ab{"", "", ".-", "-...", ""};
        QTest::newRow("unit of two symbols") << QByteArray("AB") << 0 << "" << ab << 2 << "\n\rCWID: AB\r";
        QTest::newRow("unit of one symbol") << QByteArray("AB") << 1 << "" << ab << 1 << "\n\rCWID: AB\r";
        QTest::newRow("anything but 1 is two") << QByteArray("AB") << 3 << "" << ab << 2 << "\n\rCWID: AB\r";
        // After text: a 28-symbol lead-in, then "T  E ".
        QTest::newRow("after text") << QByteArray("E") << 1 << "e" << QStringList{"-", "", "", ".", ""} << 1 << "e";
    }
    void cwId()
    {
        QFETCH(QByteArray, call);
        QFETCH(int, selector);
        QFETCH(QString, before);
        QFETCH(QStringList, letters);
        QFETCH(int, unit);
        QFETCH(QString, shown);
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        modem.Command(43, reinterpret_cast<intptr_t>(call.constData()), 0, 0);
        modem.Command(44, selector, 0, 0);
        ScriptSource source;
        source.text(before).word(TxWord::kCwId).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source, 3125, &owner);
        // "e" takes symbols 41 to 44: then 10 symbols at its last phase and 18 at code 0.
        const int first = before.isEmpty() ? 1 : 73;
        for (int n = 45; n < first; ++n)
            QCOMPARE(tx.code(n), n < 55 ? tx.code(44) : 0);
        const QString expected = morseKeying(letters, unit);
        QCOMPARE(tx.keying(first, first - 1 + expected.size()), expected);
        for (int n = first; n < first + expected.size(); ++n)
            QVERIFY(tx.code(n) == 0 || tx.code(n) == kSilent);
        QCOMPARE(tx.endBlock, tx.endBlockAfter(first - 1 + expected.size()));
        QCOMPARE(owner.chars(32), shown);
    }

    // A stop in the middle of the Morse, and a marker with text after it,
    // leave the next transmission its key-up, text and tail.
    void afterCwIdAndStopTheNextTransmissionIsClean()
    {
        CPskTxRx modem(QStringLiteral("BPSK31"));
        RecordingOwner owner;
        modem.Command(43, reinterpret_cast<intptr_t>("AB"), 0, 0);
        ScriptSource source;
        source.word(TxWord::kCwId).text(QStringLiteral("a")).word(TxWord::kEnd);
        QVERIFY(transmit(modem, source, 3125, &owner).endBlock > 0);
        source.text(QStringLiteral("e")).word(TxWord::kCwId).text(QStringLiteral("t")).word(TxWord::kEnd);
        QVERIFY(transmit(modem, source, 3125, &owner).endBlock > 0);
        QCOMPARE(owner.chars(32), QStringLiteral("\n\rCWID: AB\raet"));

        source.word(TxWord::kCwId);
        modem.setTxCharSource(&source);
        std::vector<qint16> block(kBlock);
        modem.SetTransmit(1);
        for (int n = 0; n < 25; ++n) // into the first dot
            modem.GenerateTxSamples(block.data(), kBlock);
        modem.SetTransmit(0);
        source.text(QStringLiteral("e")).word(TxWord::kEnd);
        const Transmission tx = transmit(modem, source, 3125);
        QCOMPARE(tx.keying(1, 4), QStringLiteral("1111"));
        QCOMPARE(tx.bits(41, 44), QStringLiteral("0011"));
        QCOMPARE(tx.endBlock, tx.endBlockAfter(44 + 47));
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
        QCOMPARE(owner.chars(32), QString(QChar(u'\0')));
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
        if (ModemTest::peerText().isEmpty())
            QSKIP("the recordings of another program are not present");
        const std::vector<qint16> recording = ModemTest::readWav16(ModemTest::peerDir().filePath(file));
        QVERIFY(!recording.empty());

        // The same text from our transmitter, at the recording's rate.
        CPskTxRx modem(mode);
        ScriptSource source;
        source.text(ModemTest::peerText()).word(TxWord::kEnd);
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
