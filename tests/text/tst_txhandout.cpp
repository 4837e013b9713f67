// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transmit pane hands its text out one word at a time, head first, each
// character exactly once even when several are asked for before the GUI
// thread has run the queued removal of the first.

#include "app/settings.h"
#include "app/stationstate.h"
#include "text/txview.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using Words = QList<quint32>;

quint32 ch(char16_t c)
{
    return TxWord::make(TxWord::kChar, c);
}

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

} // namespace

class TestTxHandout : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init() { Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini"))); }
    void cleanup() { StationState::setTxEchoEnabled(true); }

    void words_data()
    {
        QTest::addColumn<QString>("added");
        QTest::addColumn<Words>("expected");
        QTest::newRow("empty pane") << "" << Words{0};
        QTest::newRow("two letters") << "AB" << Words{ch(u'A'), ch(u'B'), 0};
        QTest::newRow("end marker") << "\u00AE" << Words{TxWord::make(TxWord::kEnd, 0xAE), 0};
        QTest::newRow("CW identification marker")
            << "\u00A9" << Words{TxWord::make(TxWord::kCwId, 0xA9), 0};
        QTest::newRow("macro ending in <RX>")
            << "73\u00AE\r\n"
            << Words{ch(u'7'), ch(u'3'), TxWord::make(TxWord::kEnd, 0xAE), ch(10), 0};
    }

    void words()
    {
        QFETCH(QString, added);
        QFETCH(Words, expected);
        CTxView pane;
        QSignalSpy removals(&pane, &CTxView::signalDeleteChar);
        QSignalSpy echoes(&pane, &CTxView::signalTxEcho);
        pane.slotAddTxText(added);
        QCOMPARE(drain(pane), expected);
        QCOMPARE(removals.count(), expected.size() - 1);
        QCOMPARE(echoes.count(), expected.size() - 1);
        QCOMPARE(pane.toPlainText(), QString(added).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QCoreApplication::processEvents();
        QVERIFY(pane.document()->isEmpty());
    }

    void typedLineBreaksGoOutAsLineFeeds()
    {
        CTxView pane;
        QSignalSpy echoes(&pane, &CTxView::signalTxEcho);
        QTest::keyClicks(&pane, QStringLiteral("A"));
        QTest::keyClick(&pane, Qt::Key_Return);
        QTest::keyClick(&pane, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(drain(pane), (Words{ch(u'A'), ch(10), ch(10), 0}));
        QCOMPARE(echoes.at(1).at(0).value<QChar>(), QLatin1Char('\n'));
    }

    void echoOffStillRemoves()
    {
        StationState::setTxEchoEnabled(false);
        CTxView pane;
        QSignalSpy echoes(&pane, &CTxView::signalTxEcho);
        pane.slotAddTxText(QStringLiteral("k"));
        QCOMPARE(pane.nextTxWord(), ch(u'k'));
        QCOMPARE(echoes.count(), 0);
        QCoreApplication::processEvents();
        QVERIFY(pane.document()->isEmpty());
    }

    void addedTextGoesToTheEndAndTypingFollowsIt()
    {
        CTxView pane;
        pane.slotAddTxText(QStringLiteral("CQ DE"));
        pane.moveCursor(QTextCursor::Start);
        pane.slotAddTxText(QStringLiteral(" DL1ABC"));
        QTest::keyClicks(&pane, QStringLiteral(" K"));
        QCOMPARE(pane.toPlainText(), QStringLiteral("CQ DE DL1ABC K"));

        // A removal also puts the cursor back at the end of the queue.
        pane.moveCursor(QTextCursor::Start);
        pane.nextTxWord();
        QCoreApplication::processEvents();
        QTest::keyClicks(&pane, QStringLiteral("!"));
        QCOMPARE(pane.toPlainText(), QStringLiteral("Q DE DL1ABC K!"));
    }

    void editsBeforeTheRemovalRunAreFollowed()
    {
        CTxView pane;
        pane.slotAddTxText(QStringLiteral("abcd"));
        QCOMPARE(pane.nextTxWord(), ch(u'a'));
        // The operator corrects the untaken tail, then clears the pane
        // while characters are still on their way out.
        QTextCursor tail(pane.document());
        tail.setPosition(2);
        tail.setPosition(4, QTextCursor::KeepAnchor);
        tail.insertText(QStringLiteral("XY"));
        QCOMPARE(drain(pane), (Words{ch(u'b'), ch(u'X'), ch(u'Y'), 0}));
        pane.clear();
        QCoreApplication::processEvents();
        pane.slotAddTxText(QStringLiteral("ef"));
        QCOMPARE(drain(pane), (Words{ch(u'e'), ch(u'f'), 0}));
    }
};

QTEST_MAIN(TestTxHandout)
#include "tst_txhandout.moc"
