// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transmit pane hands its text out head first, each character exactly once,
// even when several are asked for before the queued removal of the first runs;
// a transmission cut short leaves nothing of itself for the next one; the echo
// shows each transmission on lines of its own.

#include "core/settings.h"
#include "core/stationstate.h"
#include "modem/cwtables.h"
#include "tests/modem/modemtesthelpers.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace {

using Words = QList<quint32>;

quint32 ch(char16_t c) { return TxWord::make(TxWord::kChar, c); }

// Asks until the pane has nothing left, giving the removals no chance to run.
Words drain(CTxView& pane)
{
    Words words;
    quint32 word = 0;
    do {
        pane.slotGetChar(word);
        words << word;
    } while (word != 0 && words.size() < 100);
    return words;
}

// The pane and the modem switched as the window switches them, the modem
// pulled on this thread: an operator's stop and a macro's restart drop the
// unsent rest of the running transmission.
class Station
{
public:
    Station()
    {
        modem.Command(ModemCommand::kSetSymbolRate, 3125, 0, 0);
        modem.SetSampleRates(11025.0, 11025.0);
        modem.SetFrequencies(1000.0, 1000.0);
        modem.Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>("K1ABC"), 0, 0);
        modem.setTxCharSource(&pane);
        owner.listenTo(modem);
    }
    ~Station() { modem.setTxCharSource(nullptr); }

    // One step of a script; false when it went otherwise than it should.
    bool step(const QString& step)
    {
        static const QStringList macros = {QStringLiteral("CQ de K1ABC k\u00AE\r\n"), QStringLiteral("ur 599 k\u00AE\r\n"),
                                           QStringLiteral("73 sk \u00A9\u00AE\r\n"), QStringLiteral("qrz?\u00AE\r\n")};
        const int count = step.section(QLatin1Char('@'), 1).toInt();
        if (step.startsWith(QLatin1Char('F'))) { // a macro with <TX>
            if (m_on)
                stop(true);
            start();
            pane.slotAddTxText(macros.at(step.mid(1).toInt() - 1));
        } else if (step.startsWith(QLatin1String("type:"))) {
            pane.slotAddTxText(step.mid(5));
        } else if (step == QLatin1String("tx")) { // a click on "Tx:"
            m_on ? stop(true) : start();
        } else if (step.startsWith(QLatin1String("cut@")) || step.startsWith(QLatin1String("wait@"))) {
            // Once that many characters of this transmission are out.
            if (!blocksWhile([&](int) { return sent().size() < count; }))
                return false;
            if (step.startsWith(QLatin1String("cut@")))
                stop(true);
        } else if (step == QLatin1String("cutMorse")) {
            if (!blocksWhile([this](int) { return !m_silentBlock; }))
                return false;
            stop(true);
        } else if (step == QLatin1String("run")) { // to its own end
            if (blocksWhile([](int n) { return n < 2000; }))
                return false;
            stop(false);
        } else if (step == QLatin1String("idle")) { // until everything is out
            return blocksWhile([this](int n) { return n < 2000 && !(pane.document()->isEmpty() && n > 100); });
        }
        return true;
    }

    ModemTest::RecordingOwner owner;
    CTxView pane;
    CPskTxRx modem{QStringLiteral("BPSK31")};
    QStringList overs; // what each transmission put on the air

private:
    QString sent() const
    {
        QString s;
        for (size_t i = m_overStart; i < owner.reports.size(); ++i)
            if (owner.reports[i][0] == 32)
                s += QChar(char16_t(owner.reports[i][1]));
        return s;
    }
    void start()
    {
        m_on = true;
        m_overStart = owner.reports.size();
        m_silentBlock = false;
        modem.SetTransmit(1);
    }
    void stop(bool cut)
    {
        modem.SetTransmit(0);
        if (cut)
            pane.discardUnsentOver();
        m_on = false;
        overs << sent();
    }
    // Blocks while more(n) holds for the n-th; false when the modem ends first.
    template <typename More> bool blocksWhile(More more)
    {
        for (int n = 0; more(n); ++n) {
            qint16 samples[512];
            const bool on = modem.GenerateTxSamples(samples, 512);
            m_silentBlock = std::all_of(samples, samples + 512, [](qint16 x) { return x == 0; });
            QCoreApplication::processEvents();
            if (!on)
                return false;
        }
        return true;
    }

    bool m_on = false;
    bool m_silentBlock = false;
    size_t m_overStart = 0;
};

} // namespace

class TestTxHandout : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(CwTables::loadTable(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/resources/ENG.cwt"), nullptr));
    }
    void init() { Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini"))); }
    void cleanup() { StationState::setTxEchoEnabled(true); }

    void words_data()
    {
        QTest::addColumn<QString>("added");
        QTest::addColumn<bool>("echo");
        QTest::addColumn<Words>("expected");
        QTest::newRow("echo off") << "AB" << false << Words{ch(u'A'), ch(u'B'), 0};
        QTest::newRow("macro ending in <RX>")
            << "73\u00AE\r\n" << true << Words{ch(u'7'), ch(u'3'), TxWord::make(TxWord::Kind(3), 0xAE), ch(10), 0};
    }
    void words()
    {
        QFETCH(QString, added);
        QFETCH(bool, echo);
        QFETCH(Words, expected);
        StationState::setTxEchoEnabled(echo);
        CTxView pane;
        QSignalSpy removals(&pane, &CTxView::signalDeleteChar);
        QSignalSpy echoes(&pane, &CTxView::signalTxEcho);
        pane.slotAddTxText(added);
        QCOMPARE(drain(pane), expected);
        QCOMPARE(std::pair(removals.count(), echoes.count()), std::pair(expected.size() - 1, echo ? expected.size() - 1 : 0));
        QCoreApplication::processEvents();
        QVERIFY(pane.document()->isEmpty());
    }

    void addedTextGoesToTheEndWhereverTheCursorIs()
    {
        CTxView pane;
        pane.slotAddTxText(QStringLiteral("CQ DE"));
        pane.moveCursor(QTextCursor::Start);
        pane.slotAddTxText(QStringLiteral(" DL1ABC"));
        QTest::keyClicks(&pane, QStringLiteral(" K"));
        QCOMPARE(pane.toPlainText(), QStringLiteral("CQ DE DL1ABC K"));
    }

    void editsBeforeTheRemovalRunAreFollowed()
    {
        CTxView pane;
        pane.slotAddTxText(QStringLiteral("abcd"));
        QCOMPARE(pane.nextTxWord(), ch(u'a'));
        QTextCursor tail(pane.document()); // the operator corrects the untaken tail
        tail.setPosition(2);
        tail.setPosition(4, QTextCursor::KeepAnchor);
        tail.insertText(QStringLiteral("XY"));
        QCOMPARE(drain(pane), (Words{ch(u'b'), ch(u'X'), ch(u'Y'), 0}));
        pane.clear(); // and clears the pane while characters are on their way out
        QCoreApplication::processEvents();
        pane.slotAddTxText(QStringLiteral("ef"));
        QCOMPARE(drain(pane), (Words{ch(u'e'), ch(u'f'), 0}));
        // Head characters removed before they were handed out are gone, and
        // the next one still goes out.
        QCoreApplication::processEvents();
        pane.slotAddTxText(QStringLiteral("ghi"));
        pane.slotDeleteChar();
        pane.slotDeleteChar();
        QCOMPARE(drain(pane), (Words{ch(u'i'), 0}));
    }

    // Macros F1 to F4 end in <RX>, F3 in <CWID><RX>: whatever the order of
    // stops, macros and typing, the next transmission goes out at once and
    // alone, and nothing stale is left in the pane.
    void stopsMacrosAndTyping_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("overs");
        QTest::newRow("stop in the Morse, macro") << "F3 cutMorse F4 run" << "73 sk |qrz?\n";
        QTest::newRow("stop in the text, macro") << "F2 cut@4 F4 run" << "ur 5|qrz?\n";
        QTest::newRow("stop before the Morse, macro") << "F3 cut@2 F4 run" << "73|qrz?\n";
        QTest::newRow("typed, stop, macro") << "type:abc tx cut@2 F4 run" << "ab|qrz?\n";
        QTest::newRow("typed after the end is kept") << "F2 type:more\u00AE cut@3 tx run" << "ur |more";
        QTest::newRow("stop, Tx with nothing left") << "F2 cut@3 tx idle tx" << "ur |";
        QTest::newRow("end, typed, Tx") << "F2 run type:tnx tx idle tx" << "ur 599 k\n|tnx";
        QTest::newRow("Morse ends, text waits") << "type:e\u00A9abc tx run tx idle tx" << "e|abc";
    }
    void stopsMacrosAndTyping()
    {
        QFETCH(QString, script);
        QFETCH(QString, overs);
        Station station;
        for (const QString& step : script.split(QLatin1Char(' ')))
            QVERIFY2(station.step(step), qPrintable(step));
        QCOMPARE(station.overs.join(QLatin1Char('|')) + station.pane.toPlainText(), overs); // the pane emptied
    }

    // Each transmission's echo starts a line, and so does what is received
    // after it; the markers read as words.
    void echoShowsEachTransmissionOnItsOwnLines()
    {
        StationState::setTransmitting(false);
        CRxView rx;
        // "<" received, ">" echoed, "|" a transmission starts.
        for (const char16_t* part : {u"<cq", u">de k1abc \u00AE", u"|", u">sk \u00A9", u"|", u">k\n", u"|", u">x", u"<r"}) {
            const QString text = QString::fromUtf16(part);
            if (text == u"|")
                rx.slotOverStarted();
            else
                StationState::setTransmitting(text.startsWith(u'>'));
            for (QChar c : text.mid(1))
                StationState::isTransmitting() ? rx.slotTxEcho(c) : rx.slotCharReceived(c);
        }
        StationState::setTransmitting(false);
        QCOMPARE(rx.toPlainText(), QStringLiteral("cq\nde k1abc [end]\nsk [Morse ID]\nk\nx\nr"));
    }
};

QTEST_MAIN(TestTxHandout)
#include "tst_txhandout.moc"
