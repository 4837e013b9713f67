// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Transmitter to receiver through the real transceivers: modes, carriers, rates, clock error, drift and AFC.

#include "core/codepage.h"
#include "modem/signalbank.h"
#include "modemtesthelpers.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>

using namespace ModemTest;

class TestLoopback : public QObject
{
    Q_OBJECT
    SettingsSandbox m_settings;

    // The signals a bank of the mode at the rate finds in the whole audio.
    static std::vector<SignalBank::Signal> bankSignals(const std::vector<qint16>& audio, const PskMode& mode = PskModes::standard(),
                                                      double rate = 11025.0, bool sensitive = false)
    {
        SignalBank bank;
        bank.setSensitive(sensitive);
        bank.setSampleRate(rate);
        bank.setMode(mode);
        bank.feed(audio.data(), int(audio.size()));
        bank.finish();
        return bank.signalList();
    }
    // What a BPSK31 bank makes of the audio: "FREQUENCY Hz: TEXT" a signal, sorted.
    static QStringList bankHears(const std::vector<qint16>& audio, bool sensitive = false)
    {
        QStringList heard;
        for (const SignalBank::Signal& s : bankSignals(audio, PskModes::standard(), 11025.0, sensitive))
            heard << QStringLiteral("%1 Hz: %2").arg(std::lround(s.frequency)).arg(s.text.trimmed());
        heard.sort();
        return heard;
    }

private slots:
    void text_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("carrier");
        QTest::addColumn<double>("rate");
        QTest::addColumn<double>("silence"); // seconds before the transmission
        QTest::addColumn<QString>("text");
        QString ascii, upper;
        for (char16_t c = 32; c < 127; ++c)
            ascii += QChar(c);
        ascii += QStringLiteral("\r\n\tEND");
        for (int b = 128; b < 256; ++b)
            upper += CodePage::fromByte(quint8(b));
        upper += QStringLiteral(" END");
        QTest::newRow("BPSK31 at 500 Hz") << "BPSK31" << 500.0 << 11025.0 << 0.0 << ascii;
        QTest::newRow("BPSK250 at 2500 Hz") << "BPSK250" << 2500.0 << 11025.0 << 0.0 << ascii;
        QTest::newRow("QPSK31 at 800 Hz") << "QPSK31" << 800.0 << 11025.0 << 0.5 << ascii;
        QTest::newRow("ASCII8 upper half, QPSK63") << "QPSK63" << 1500.0 << 11025.0 << 0.0 << upper;
        // Full scale at the top rates: the filter sums need more than 32 bits.
        QTest::newRow("BPSK31 at 56000/s") << "BPSK31" << 1000.0 << 56000.0 << 0.5 << QStringLiteral("73 de K1ABC");
        QTest::newRow("QPSK63 at 64000/s") << "QPSK63" << 1000.0 << 64000.0 << 0.0 << QStringLiteral("73 de K1ABC");
    }
    void text()
    {
        QFETCH(QString, modeName);
        QFETCH(double, carrier);
        QFETCH(double, rate);
        QFETCH(double, silence);
        QFETCH(QString, text);
        const Mode m = mode(modeName);
        std::vector<qint16> audio(size_t(silence * rate), 0);
        const std::vector<qint16> tx = transmit(m, text, carrier, rate);
        audio.insert(audio.end(), tx.begin(), tx.end());
        // Nothing before the text: the key-up is no character.
        const QString rx = receive(m, audio, carrier, rate);
        QVERIFY2(rx.startsWith(text), qPrintable(QStringLiteral("decoded: ") + rx));
    }

    void afcFollows_data()
    {
        QTest::addColumn<QString>("modeName");
        QTest::addColumn<double>("ppm");
        QTest::addColumn<double>("drift"); // Hz/s
        QTest::newRow("BPSK31 300 ppm fast") << "BPSK31" << 300.0 << 0.0;
        QTest::newRow("QPSK31 300 ppm slow") << "QPSK31" << -300.0 << 0.0;
        QTest::newRow("BPSK31 drifting down 1 Hz/s") << "BPSK31" << 0.0 << -1.0;
    }
    void afcFollows()
    {
        QFETCH(QString, modeName);
        QFETCH(double, ppm);
        QFETCH(double, drift);
        const Mode m = mode(modeName);
        // About 3500 symbols: the clocks drift apart by more than a symbol,
        // and a drifting carrier moves by 100 Hz.
        const QString text = QStringLiteral("CQ CQ de VK2XYZ VK2XYZ pse k ").repeated(12);
        const std::vector<qint16> audio = transmit(m, text, 1000.0, 11025.0 / (1.0 + ppm * 1e-6), drift); // read at 11025
        const QString rx = receive(m, audio, 1000.0, 11025.0, true);
        QVERIFY2(rx.contains(text), qPrintable(QStringLiteral("decoded: ") + rx));
    }

    // The signal browser's bank runs at the receiver's clock, which a sound
    // card's correction moves a little beyond the nominal rates.
    void signalBankAtCorrectedClocks_data()
    {
        QTest::addColumn<double>("clock");
        QTest::newRow("8000 Hz, -100 ppm") << 7999.2;
        QTest::newRow("64249 Hz, +7 ppm") << 64249.45;
    }

    void signalBankAtCorrectedClocks()
    {
        QFETCH(double, clock);
        const QString text = QStringLiteral("cq de vk2xyz k");
        const auto list = bankSignals(transmit(mode(QStringLiteral("BPSK31")), text, 1500.0, clock), PskModes::standard(), clock);
        QVERIFY2(list.size() == 1 && list.front().text.contains(text),
                 qPrintable(list.empty() ? QString() : list.front().text));
    }

    // A station answering a moment after another stopped, some 600 Hz away,
    // in digitally silent audio (a virtual cable): the first one's faint
    // leak is no carrier there, nor does the loop's wandering on it reach
    // the AFC, so the answer is copied whole and alone.
    void answerInSilenceRightAfterAnother()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const std::vector<qint16> cq = transmit(m, QStringLiteral("cq cq de W1AW W1AW pse k"), 1200.0);
        const double answers[][2] = {{1780.0, 0.05}, {1800.0, 0.07}, {1800.0, 0.15}}; // Hz, seconds after
        for (const auto& a : answers) {
            std::vector<qint16> audio = cq, answer = transmit(m, QStringLiteral("tnx fer call de K1ABC k"), a[0]);
            audio.resize(audio.size() + size_t(a[1] * 11025.0), 0);
            audio.insert(audio.end(), answer.begin(), answer.end());
            QCOMPARE(bankHears(audio, true), (QStringList{QStringLiteral("1200 Hz: cq cq de W1AW W1AW pse k"),
                                                          QStringLiteral("%1 Hz: tnx fer call de K1ABC k").arg(a[0])}));
        }
    }

    // Two stations closer than two symbol rates are two signals, each with
    // its own text; a hump of noise 400 Hz wide, as a neighbouring data mode
    // or a filter's edge makes, is none.
    void signalBankSeparatesClosePeaksFromHumps()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const QString texts[] = {QStringLiteral("cq cq de vk2abc vk2abc pse k"), QStringLiteral("qrz qrz de dl2zz dl2zz k")};
        const std::vector<qint16> a = transmit(m, texts[0], 1000.0), b = transmit(m, texts[1], 1055.0);
        // The hump: tones 2.5 Hz apart at random phases, rising and falling
        // as a raised cosine from 2200 to 2800 Hz.
        std::mt19937 rng(7);
        std::vector<double> mix(std::max(a.size(), b.size()));
        for (double hz = 2202.5, p = 0.0; hz < 2800.0; hz += 2.5, p = std::uniform_real_distribution<double>(0.0, 2 * M_PI)(rng))
            for (size_t i = 0; i < mix.size(); ++i)
                mix[i] += 600.0 * std::pow(std::sin(M_PI * (hz - 2200.0) / 600.0), 2) * std::cos(2 * M_PI * hz * double(i) / 11025 + p);
        std::vector<qint16> audio(mix.size());
        for (size_t i = 0; i < audio.size(); ++i)
            audio[i] = qint16(std::clamp(mix[i] + (i < a.size() ? 0.3 * a[i] : 0.0) + (i < b.size() ? 0.3 * b[i] : 0.0), -32768.0, 32767.0));
        const QStringList heard = bankHears(audio);
        QCOMPARE(heard, QStringList({"1000 Hz: " + texts[0], "1055 Hz: " + texts[1]}));
    }

    // A station between two others as strong, as close as a crowded band
    // packs them (50 Hz): it is found, its neighbours are not taken for it
    // once its over has ended, and each is tuned closely enough to be copied
    // from its first character.
    void signalBankHearsAStationBetweenNeighbours()
    {
        const Mode m = mode(QStringLiteral("BPSK31"));
        const QString middle = QStringLiteral("cq cq de vk2abc vk2abc pse k");
        const QString outer = QStringLiteral("qrz qrz de dl2zz dl2zz k ").repeated(3);
        const std::vector<qint16> below = transmit(m, outer, 950.0), inner = transmit(m, middle, 1000.0),
                                  above = transmit(m, outer, 1050.0);
        std::vector<qint16> audio(std::max({below.size(), inner.size(), above.size()}), 0);
        std::mt19937 rng(3);
        std::normal_distribution<double> noise(0.0, 300.0);
        for (size_t i = 0; i < audio.size(); ++i)
            audio[i] = qint16((i < below.size() ? 0.3 * below[i] : 0.0) + (i < inner.size() ? 0.3 * inner[i] : 0.0)
                              + (i < above.size() ? 0.3 * above[i] : 0.0) + noise(rng));
        const QStringList heard = bankHears(audio);
        // Each one whole; as the middle one's over ends, a character of the
        // others may leak in.
        const QString middleLine = QStringLiteral("1000 Hz: ") + middle;
        QVERIFY2(heard.size() == 3 && heard[0].startsWith(middleLine) && heard[0].size() <= middleLine.size() + 1
                     && heard[1] == QStringLiteral("1050 Hz: ") + outer.trimmed()
                     && heard[2] == QStringLiteral("950 Hz: ") + outer.trimmed(),
                 qPrintable(heard.join(u'|')));
    }

    // A BPSK31 and a BPSK63 station 100 Hz apart: each mode's bank copies its
    // own station and makes nothing of the other. A station that both kinds'
    // banks of one speed copy is one line, of the kind its symbols show: QPSK
    // when enough of them turn a quarter, or while the BPSK bank cannot tell
    // yet; else BPSK.
    // Slow deep fades at -3 dB: what is decoded while the quality dips is held back, and kept
    // when it comes back, for as long as the fade is short, even where the carrier sinks too.
    void signalBankHoldsTextThroughFades()
    {
        const QString text = Bench::qsoText(200, 33);
        const QStringList heard = bankHears(faded(transmit(mode(QStringLiteral("BPSK31")), text, 1000.0), Watterson::kGood, -3.0, 33), true);
        QVERIFY2(heard.size() == 1 && Bench::trimmedDistance(text, heard.first()) <= text.size() / 25, qPrintable(heard.join(u'\n')));
    }

    void signalBankLeavesOtherSpeedsOut()
    {
        const QString slow = QStringLiteral("cq cq de vk2xyz vk2xyz k"), fast = QStringLiteral("qrz de dl2zz dl2zz k ");
        const std::vector<qint16> a = transmit(mode(QStringLiteral("BPSK31")), slow, 1000.0);
        std::vector<qint16> mix = transmit(mode(QStringLiteral("BPSK63")), fast + fast + fast, 1100.0);
        mix.resize(std::max(mix.size(), a.size()), 0);
        for (size_t i = 0; i < a.size(); ++i)
            mix[i] = qint16((mix[i] + a[i]) / 2);
        for (const char* name : {"BPSK31", "BPSK63"}) {
            const auto list = bankSignals(mix, *PskModes::find(QString::fromLatin1(name)));
            const bool slowOne = name == QLatin1String("BPSK31");
            QVERIFY2(list.size() == 1 && std::abs(list.front().frequency - (slowOne ? 1000.0 : 1100.0)) < 3.0
                         && list.front().text.contains(slowOne ? slow : fast + fast), name);
        }
        for (const auto& [share, known, kind] : {std::tuple{0.3, true, "BPSK31"}, {0.5, true, "QPSK31"}, {0.3, false, "QPSK31"}}) {
            const auto kept = SignalBank::acrossModes({{1, 1000.0, 20, 0.0, "cq", 0, 0, 0, "BPSK31", known, 0.0}, {2, 1001.0, 20, 0.0, "cq", 0, 0, 0, "QPSK31", true, share}});
            QVERIFY2(kept.size() == 1 && kept.front().mode == QLatin1String(kind), kind);
        }
    }

    // The signal browser's decoders come and go (found, dropped when quiet,
    // cleared) without writing anything: the user's tuning, receiver and
    // character set stay as stored.
    void signalBankLeavesTheSettingsAlone()
    {
        for (const auto& [key, value] : QVariantMap{{"Audio/varicode", 2}, {"Receiver", "sensitive"}, {"RxFq", 1234.5}, {"TxFq", 1500.0}}.asKeyValueRange())
            Settings().setValue(key, value);
        auto stored = [] {
            QFile file(Settings::path());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = stored();
        QVERIFY(before.contains("1234.5"));
        {
            SignalBank bank; // ASCII8 and the standard receiver
            bank.setMode(PskModes::standard());
            const std::vector<qint16> audio = transmit(mode(QStringLiteral("BPSK31")), QStringLiteral("cq de vk2xyz"), 1000.0);
            int dropped = 0;
            connect(&bank, &SignalBank::dropped, this, [&dropped] { ++dropped; });
            bank.feed(audio.data(), int(audio.size()));
            QVERIFY(bank.signalList().size() == 1 && bank.now() - bank.signalList().front().lastHeard < 1.0); // heard until now
            // Over a minute of audio goes by undecoded (as while sending),
            // then a second of quiet: the signal is gone, and so is its audio.
            bank.skip(int((SignalBank::kDropSeconds + 6.35) * 11025));
            const std::vector<qint16> quiet(size_t(11025), 0);
            bank.feed(quiet.data(), int(quiet.size()));
            QCOMPARE(dropped, 1);
            bank.feed(audio.data(), int(audio.size()));
            QVERIFY(bank.signalList().size() == 1 && bank.signalList().front().text == QLatin1String("cq de vk2xyz"));
            bank.clear();
            bank.feed(audio.data(), int(audio.size()));
            QCOMPARE(bank.signalList().size(), size_t(1));
        }
        QCOMPARE(stored(), before);
    }

    // One station sends two overs with a pause between them, between two
    // neighbours 100 Hz away; another keeps sending 20 dB weaker; all in
    // noise: each over of the first is a line of its own with nothing made
    // of the pause around it, and the signal-to-noise figures (in 2500 Hz)
    // tell the stations apart.
    void signalBankShowsOversAndSignalToNoise()
    {
        const QString first = QStringLiteral("cq cq de vk2xyz vk2xyz pse k"), second = QStringLiteral("qrz de dl2zz dl2zz k");
        const Mode m = mode(QStringLiteral("BPSK31"));
        const std::vector<qint16> strong = transmit(m, first, 1000.0), weak = transmit(m, second + second + second, 1800.0);
        const std::vector<qint16> below = transmit(m, second + second + second, 900.0), above = transmit(m, second + second + second, 1100.0);
        auto power = [](const std::vector<qint16>& v) { // without the key-up and the tail
            return std::inner_product(v.begin() + 11025, v.end() - 11025, v.begin() + 11025, 0.0) / double(v.size() - 22050);
        };
        const size_t gap = 3 * 11025;
        std::vector<double> mix(gap + 2 * strong.size() + gap, 0.0);
        const double pStrong = power(strong), weakGain = std::sqrt(pStrong / power(weak) / 100.0);
        std::normal_distribution<double> noise(0.0, std::sqrt(pStrong / 10.0 * 5512.5 / 2500.0)); // the strong one at +10 dB
        std::mt19937 rng(3);
        for (size_t i = 0; i < mix.size(); ++i) {
            mix[i] = noise(rng);
            if (i >= gap && i < gap + strong.size())
                mix[i] += strong[i - gap];
            if (i >= 2 * gap + strong.size() && i < 2 * gap + 2 * strong.size())
                mix[i] += strong[i - 2 * gap - strong.size()];
            if (i < weak.size())
                mix[i] += weakGain * weak[i] + below[i] + above[i];
        }
        std::vector<qint16> audio(mix.size());
        std::transform(mix.begin(), mix.end(), audio.begin(), [](double x) { return qint16(std::clamp(0.3 * x, -32768.0, 32767.0)); });

        SignalBank bank;
        bank.setMode(PskModes::standard());
        QCOMPARE(bank.signalToNoise(1000.0), -99.0);  // nothing judged yet
        const size_t middle = gap + strong.size() / 2;
        bank.feed(audio.data(), int(middle));
        auto at = [&bank](double hz) {
            for (const SignalBank::Signal& s : bank.signalList())
                if (std::abs(s.frequency - hz) < 5.0)
                    return s;
            return SignalBank::Signal();
        };
        QCOMPARE(bank.signalList().size(), size_t(4));
        QVERIFY2(std::abs(at(1000.0).snrDb - 10.0) <= 3.0 && std::abs(at(1800.0).snrDb + 10.0) <= 3.0,
                 qPrintable(QStringLiteral("%1 and %2 dB").arg(at(1000.0).snrDb).arg(at(1800.0).snrDb)));
        bank.feed(audio.data() + middle, int(audio.size() - middle));
        bank.finish();
        QCOMPARE(at(1000.0).text.trimmed().split(u'\n'), QStringList({first, first}));
        QVERIFY2(at(900.0).text.contains(second + second), qPrintable(at(900.0).text));
    }
};

QTEST_GUILESS_MAIN(TestLoopback)
#include "tst_loopback.moc"
