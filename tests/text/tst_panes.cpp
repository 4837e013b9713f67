// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The receive and transmit panes: transmit echo, appending, selection, fonts, printing.

#include "core/settings.h"
#include "core/stationstate.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QMenu>
#include <QPrintDialog>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// A pane whose dialogs the test answers.
template <typename Pane>
class Scripted : public Pane
{
public:
    using Pane::createPaneMenu;
    std::function<int(QDialog&)> answer = [](QDialog&) { return int(QDialog::Accepted); };

protected:
    int runDialog(QDialog& dialog) override { return answer(dialog); }
};

void receiveLines(CRxView& pane, int count)
{
    for (int i = 0; i < count; ++i)
        for (QChar ch : QStringLiteral("line %1 of a long receive text\n").arg(i))
            pane.slotCharReceived(ch);
}

QColor colourAt(const CRxView& pane, int position)
{
    QTextCursor cursor(pane.document());
    cursor.setPosition(position + 1);
    return cursor.charFormat().foreground().color();
}

} // namespace

class TestPanes : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("velkora.ini")));
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
    }
    void cleanup()
    {
        StationState::setTransmitting(false);
        StationState::setTxEchoEnabled(true);
    }

    void echoWhileTransmitting_data()
    {
        QTest::addColumn<bool>("echo");
        QTest::addColumn<bool>("transmitting");
        QTest::addColumn<QString>("shown"); // after receiving "r" and echoing "e"
        QTest::newRow("receiving") << true << false << "r";
        QTest::newRow("transmitting, echo on: only the sent text") << true << true << "e";
        QTest::newRow("transmitting, echo off: decoded text goes on") << false << true << "r";
    }
    void echoWhileTransmitting()
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
        rx.moveCursor(QTextCursor::Start); // text goes to the end wherever the cursor is
        rx.slotCharReceived(QLatin1Char('z'));
        QCOMPARE(rx.toPlainText(), QStringLiteral("ade\nz"));
        QCOMPARE(colourAt(rx, 0), QColor(0, 0, 0));
        QCOMPARE(colourAt(rx, 1), QColor(160, 0, 0));
        QCOMPARE(colourAt(rx, 4), QColor(0, 0, 0));
    }

    void selectionSurvivesAppendsAndKeepsTheView()
    {
        CRxView pane;
        pane.resize(300, 120);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        receiveLines(pane, 60);
        QTextCursor end(pane.document());
        end.movePosition(QTextCursor::End);
        QVERIFY(pane.viewport()->rect().contains(pane.cursorRect(end))); // no selection: it follows
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
    }

    void fontIsSavedAndChosenFromTheMenu_data()
    {
        QTest::addColumn<bool>("receivePane");
        QTest::addColumn<QString>("key");
        QTest::newRow("receive") << true << "RXview/font";
        QTest::newRow("transmit") << false << "TXview/font";
    }
    void fontIsSavedAndChosenFromTheMenu()
    {
        QFETCH(bool, receivePane);
        QFETCH(QString, key);
        auto make = [&]() -> std::unique_ptr<QTextEdit> {
            if (receivePane)
                return std::make_unique<Scripted<CRxView>>();
            return std::make_unique<Scripted<CTxView>>();
        };
        QFont mine(QFontDatabase::families().value(0), 17);
        mine.setBold(true);
        make()->setFont(mine);
        QFont stored;
        QVERIFY(stored.fromString(Settings().value(key).toString()));
        QCOMPARE(stored, mine);
        const auto pane = make();
        QCOMPARE(pane->font(), mine);

        // The last context menu entry picks a font; a cancelled dialog keeps the old one.
        int answer = QDialog::Rejected;
        const auto script = [&](QDialog& dialog) {
            qobject_cast<QFontDialog*>(&dialog)->setCurrentFont(QFont(mine.family(), 23));
            return answer;
        };
        std::unique_ptr<QMenu> menu;
        if (receivePane) {
            static_cast<Scripted<CRxView>*>(pane.get())->answer = script;
            menu.reset(static_cast<Scripted<CRxView>*>(pane.get())->createPaneMenu(QPoint()));
        } else {
            static_cast<Scripted<CTxView>*>(pane.get())->answer = script;
            menu.reset(static_cast<Scripted<CTxView>*>(pane.get())->createPaneMenu(QPoint()));
        }
        QCOMPARE(menu->actions().last()->text(), QStringLiteral("Select font..."));
        menu->actions().last()->trigger();
        QCOMPARE(pane->font(), mine);
        answer = QDialog::Accepted;
        menu->actions().last()->trigger();
        QCOMPARE(pane->font().pointSize(), 23);
    }

    void printsToPdfTheWholeTextOrTheSelection()
    {
        const QString pdf = m_dir.filePath(QStringLiteral("rx.pdf"));
        const auto pages = [&] {
            QFile file(pdf);
            return file.open(QIODevice::ReadOnly)
                ? int(QString::fromLatin1(file.readAll()).count(QRegularExpression(QStringLiteral("/Type\\s*/Page\\b"))))
                : 0;
        };
        QFile::remove(pdf);
        Scripted<CRxView> pane;
        receiveLines(pane, 200);
        pane.printer().setOutputFormat(QPrinter::PdfFormat);
        pane.printer().setOutputFileName(pdf);
        bool offered = true;
        pane.answer = [&](QDialog& dialog) {
            offered = static_cast<QPrintDialog&>(dialog).testOption(QAbstractPrintDialog::PrintSelection);
            return int(QDialog::Rejected);
        };
        pane.slotPrint();
        QVERIFY(!offered);
        QVERIFY2(!QFile::exists(pdf), "a cancelled dialog printed");
        pane.answer = [](QDialog&) { return int(QDialog::Accepted); };
        pane.slotPrint();
        QVERIFY(pages() > 1);

        QTextCursor selection(pane.document());
        selection.setPosition(10, QTextCursor::KeepAnchor);
        pane.setTextCursor(selection);
        pane.answer = [&](QDialog& dialog) {
            offered = static_cast<QPrintDialog&>(dialog).testOption(QAbstractPrintDialog::PrintSelection);
            pane.printer().setPrintRange(QPrinter::Selection); // the user takes the offer
            return int(QDialog::Accepted);
        };
        pane.slotPrint();
        QVERIFY(offered);
        QCOMPARE(pages(), 1);
    }
};

QTEST_MAIN(TestPanes)
#include "tst_panes.moc"
