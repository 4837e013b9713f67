// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Both panes keep their font in the settings file and let the user choose
// another one from their context menus.

#include "app/settings.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// A pane whose font dialog is answered by the test: it picks `choice`.
template <typename Pane>
class ScriptedPane : public Pane
{
public:
    using Pane::createPaneMenu;
    QFont choice;
    bool accept = true;

protected:
    int runDialog(QDialog& dialog) override
    {
        auto* fonts = qobject_cast<QFontDialog*>(&dialog);
        if (!fonts)
            return QDialog::Rejected;
        fonts->setCurrentFont(choice);
        return accept ? QDialog::Accepted : QDialog::Rejected;
    }
};

std::unique_ptr<QTextEdit> makePane(bool receivePane)
{
    if (receivePane)
        return std::make_unique<CRxView>();
    return std::make_unique<CTxView>();
}

} // namespace

class TestPaneFonts : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init()
    {
        const QString path = m_dir.filePath(QStringLiteral("velkora.ini"));
        QFile::remove(path);
        Settings::setPath(path);
    }

    void fontIsKeptBetweenRuns_data()
    {
        QTest::addColumn<bool>("receivePane");
        QTest::addColumn<QString>("key");
        QTest::newRow("receive") << true << "RXview/font";
        QTest::newRow("transmit") << false << "TXview/font";
    }

    void fontIsKeptBetweenRuns()
    {
        QFETCH(bool, receivePane);
        QFETCH(QString, key);
        const QFont standard = QTextEdit().font();
        Settings().setValue(key, QString());
        QCOMPARE(makePane(receivePane)->font(), standard); // empty value: default font

        QFont mine(QStringLiteral("Courier"), 17);
        mine.setBold(true);
        makePane(receivePane)->setFont(mine);
        QFont stored;
        QVERIFY(stored.fromString(Settings().value(key).toString()));
        QCOMPARE(stored, mine);
        QCOMPARE(makePane(receivePane)->font(), mine);
    }

    void fontDialogChoiceApplies()
    {
        ScriptedPane<CTxView> tx;
        const QFont before = tx.font();
        // The dialog can only pick what the font database has.
        tx.choice = QFont(QFontDatabase::families().value(0), 23);
        tx.accept = false;
        tx.slotSelectFont();
        QCOMPARE(tx.font(), before);
        tx.accept = true;
        tx.slotSelectFont();
        QCOMPARE(tx.font().pointSize(), 23);
    }

    void contextMenusOfferFontAndClear()
    {
        ScriptedPane<CRxView> rx;
        rx.choice = QFont(QFontDatabase::families().value(0), 23);
        rx.slotCharReceived(QLatin1Char('x'));
        const std::unique_ptr<QMenu> menu(rx.createPaneMenu(QPoint()));
        QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.at(actions.size() - 2)->text(), QStringLiteral("Clear"));
        QCOMPARE(actions.last()->text(), QStringLiteral("Select font..."));
        actions.at(actions.size() - 2)->trigger();
        QVERIFY(rx.document()->isEmpty());
        actions.last()->trigger();
        QCOMPARE(rx.font().pointSize(), 23);

        ScriptedPane<CTxView> tx;
        const std::unique_ptr<QMenu> txMenu(tx.createPaneMenu(QPoint()));
        QCOMPARE(txMenu->actions().last()->text(), QStringLiteral("Select font..."));
    }
};

QTEST_MAIN(TestPaneFonts)
#include "tst_panefonts.moc"
