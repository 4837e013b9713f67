// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transmit pane hands its text out head first, each character exactly once,
// even when several are asked for before the queued removal of the first runs.

#include "core/settings.h"
#include "core/stationstate.h"
#include "text/txview.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

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
        QTest::addColumn<bool>("echo");
        QTest::addColumn<Words>("expected");
        QTest::newRow("empty pane") << "" << true << Words{0};
        QTest::newRow("two letters") << "AB" << true << Words{ch(u'A'), ch(u'B'), 0};
        QTest::newRow("echo off") << "AB" << false << Words{ch(u'A'), ch(u'B'), 0};
        QTest::newRow("end marker, kind 3") << "\u00AE" << true << Words{TxWord::make(TxWord::Kind(3), 0xAE), 0};
        QTest::newRow("CW identification, kind 2") << "\u00A9" << true << Words{TxWord::make(TxWord::Kind(2), 0xA9), 0};
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
        QCOMPARE(removals.count(), expected.size() - 1);
        QCOMPARE(echoes.count(), echo ? expected.size() - 1 : 0);
        QCoreApplication::processEvents();
        QVERIFY(pane.document()->isEmpty());
    }

    void typedParagraphBreaksGoOutAsLineFeeds()
    {
        CTxView pane;
        QSignalSpy echoes(&pane, &CTxView::signalTxEcho);
        QTest::keyClicks(&pane, QStringLiteral("A"));
        QTest::keyClick(&pane, Qt::Key_Return);
        QTest::keyClick(&pane, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(drain(pane), (Words{ch(u'A'), ch(10), ch(10), 0}));
        QCOMPARE(echoes.at(1).at(0).value<QChar>(), QLatin1Char('\n'));
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
};

QTEST_MAIN(TestTxHandout)
#include "tst_txhandout.moc"
