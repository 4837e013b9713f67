// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// New text always lands at the end of the receive pane. Without a selection
// the pane follows it; a selection the user holds survives every append and
// keeps the view where it is.

#include "app/settings.h"
#include "text/rxview.h"

#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

class TestRxSelection : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static void receiveLines(CRxView& pane, int count)
    {
        for (int i = 0; i < count; ++i) {
            for (QChar ch : QStringLiteral("line %1 of a long receive text\n").arg(i))
                pane.slotCharReceived(ch);
        }
    }
    static bool endIsVisible(const CRxView& pane)
    {
        QTextCursor end(pane.document());
        end.movePosition(QTextCursor::End);
        return pane.viewport()->rect().contains(pane.cursorRect(end));
    }

private slots:
    void init() { Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini"))); }

    void selectionSurvivesAppendsAndKeepsTheView()
    {
        CRxView pane;
        pane.resize(300, 120);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        receiveLines(pane, 60);
        QVERIFY(endIsVisible(pane)); // no selection: the pane follows

        QTextCursor selection(pane.document());
        selection.setPosition(5);
        selection.setPosition(7, QTextCursor::KeepAnchor);
        pane.setTextCursor(selection);
        pane.verticalScrollBar()->setValue(0);
        receiveLines(pane, 30);
        QCOMPARE(pane.textCursor().selectedText(), QStringLiteral("0 "));
        QCOMPARE(pane.textCursor().selectionStart(), 5);
        QCOMPARE(pane.verticalScrollBar()->value(), 0);
        QVERIFY(pane.toPlainText().endsWith(QStringLiteral("line 29 of a long receive text\n")));

        // Once the selection is given up, the pane follows the text again.
        QTextCursor plain = pane.textCursor();
        plain.clearSelection();
        pane.setTextCursor(plain);
        pane.slotCharReceived(QLatin1Char('x'));
        QVERIFY(endIsVisible(pane));
    }

    void textGoesToTheEndWhereverTheCursorIs()
    {
        CRxView pane;
        receiveLines(pane, 1);
        pane.moveCursor(QTextCursor::Start);
        pane.slotCharReceived(QLatin1Char('x'));
        QVERIFY(pane.toPlainText().endsWith(QStringLiteral("\nx")));
    }
};

QTEST_MAIN(TestRxSelection)
#include "tst_rxselection.moc"
