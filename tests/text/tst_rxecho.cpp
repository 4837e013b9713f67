// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the receive pane shows while transmitting: decoded text in black,
// echoed transmit text in dark red, never both at once.

#include "app/settings.h"
#include "app/stationstate.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QTemporaryDir>
#include <QtTest>

class TestRxEcho : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static QColor colourAt(const CRxView& pane, int position)
    {
        QTextCursor cursor(pane.document());
        cursor.setPosition(position + 1);
        return cursor.charFormat().foreground().color();
    }

private slots:
    void init() { Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini"))); }
    void cleanup()
    {
        StationState::setTransmitting(false);
        StationState::setTxEchoEnabled(true);
    }

    void whatIsShown_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<bool>("transmitting");
        QTest::addColumn<QString>("shown"); // after receiving "r" and echoing "e"
        QTest::newRow("receiving, echo on") << true << false << "r";
        QTest::newRow("receiving, echo off") << false << false << "r";
        QTest::newRow("transmitting, echo on: only the sent text") << true << true << "e";
        QTest::newRow("transmitting, echo off: decoded text goes on") << false << true << "r";
    }

    void whatIsShown()
    {
        QFETCH(bool, echo);
        QFETCH(bool, transmitting);
        QFETCH(QString, shown);
        StationState::setTxEchoEnabled(echo);
        StationState::setTransmitting(transmitting);
        CRxView pane;
        pane.slotCharReceived(QLatin1Char('r'));
        pane.slotTxEcho(QLatin1Char('e'));
        QCOMPARE(pane.toPlainText(), shown);
    }

    void sentTextIsDarkRedAndDecodedTextBlack()
    {
        CRxView rx;
        CTxView tx;
        connect(&tx, &CTxView::signalTxEcho, &rx, &CRxView::slotTxEcho);
        rx.slotCharReceived(QLatin1Char('a'));
        StationState::setTransmitting(true);
        tx.slotAddTxText(QStringLiteral("de\n"));
        for (int i = 0; i < 3; ++i)
            tx.nextTxWord();
        StationState::setTransmitting(false);
        rx.slotCharReceived(QLatin1Char('z'));

        QCOMPARE(rx.toPlainText(), QStringLiteral("ade\nz"));
        QCOMPARE(colourAt(rx, 0), QColor(0, 0, 0));
        QCOMPARE(colourAt(rx, 1), QColor(160, 0, 0));
        QCOMPARE(colourAt(rx, 4), QColor(0, 0, 0));
        QCOMPARE(rx.document()->blockCount(), 2); // the line feed began a paragraph
    }
};

QTEST_MAIN(TestRxEcho)
#include "tst_rxecho.moc"
