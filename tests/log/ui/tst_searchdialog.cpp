// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Looking through the log: listing, searching, editing cells with the
// question about unsaved edits, and deleting contacts.

#include "app/settings.h"
#include "log/searchresultsdlg.h"
#include "tests/log/ui/modalanswers.h"
#include "tests/log/ui/searchfixture.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace SearchFixture;

class TestSearchDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_log;
    const QString m_question = QStringLiteral("Some entries has been edited.\nWould you like to save changes?");

    static QString cell(const SearchResultsDlg& d, int row, int column) { return d.table()->item(row, column)->text(); }
    static void edit(SearchResultsDlg& d, int row, int column, const QString& text)
    {
        d.table()->item(row, column)->setText(text);
    }
    QByteArray logBytes() const
    {
        QFile f(m_log);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("Velkora32.ini")));
        m_log = m_dir.filePath(QStringLiteral("%1.log").arg(QTest::currentTestFunction()));
        QVERIFY(writeLog(m_log, fiveContacts()));
    }

    void openingListsTheWholeLog()
    {
        SearchResultsDlg dialog(m_log);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Search results: 5 QSO(s)"));
        QCOMPARE(dialog.table()->rowCount(), 5);
        QStringList row0;
        for (int c = 0; c < dialog.table()->columnCount(); ++c)
            row0 << dialog.table()->horizontalHeaderItem(c)->text() + '=' + cell(dialog, 0, c);
        QCOMPARE(row0, QStringList({"UTC=01.03.2026 10:00:00", "kHz=14070.000", "Mode=BPSK31", "Call=DL1ABC",
                                    "Sent=599", "Rcvd=579", "Name=", "QHT=", "Info="}));
        QCOMPARE(cell(dialog, 4, SearchResultsDlg::ColumnCall), QStringLiteral("I2BBB"));

        SearchResultsDlg empty(m_dir.filePath(QStringLiteral("none.log")));
        QCOMPARE(empty.windowTitle(), QStringLiteral("Search results: 0 QSO(s)"));
    }

    void searchFindsTextInTheNotesInAnyCase()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        dialog.searchEdit()->setText(QStringLiteral("FRIEDRICHSHAFEN"));
        // Enter in the search field searches; it must not reach Delete.
        selectRows(dialog.table(), {0});
        QTest::keyClick(dialog.searchEdit(), Qt::Key_Return);
        QCOMPARE(calls(dialog.results()), QStringList({"G4XYZ"}));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Search results: 1 QSO(s)"));
        QCOMPARE(loggedCalls(m_log).size(), 5);
    }

    void editIsSavedOnlyWhenTheOperatorSaysSo()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        edit(dialog, 2, SearchResultsDlg::ColumnName, QStringLiteral("Franz"));
        edit(dialog, 2, SearchResultsDlg::ColumnUtc, QStringLiteral("02.03.2026 09:30:15"));
        edit(dialog, 3, SearchResultsDlg::ColumnKHz, QStringLiteral("7070.003"));
        QCOMPARE(dialog.pendingEdits(), 2);
        const QByteArray before = logBytes();

        ModalAnswers answers;
        answers.press(QMessageBox::Cancel);
        dialog.slotClose();
        QVERIFY(dialog.isVisible());
        QCOMPARE(cell(dialog, 2, SearchResultsDlg::ColumnName), QStringLiteral("Franz"));

        answers.press(QMessageBox::Cancel);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(logBytes(), before);

        answers.press(QMessageBox::Save);
        dialog.slotClose();
        QCOMPARE(answers.texts, QStringList({m_question, m_question, m_question}));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        CHamLog log(m_log);
        const QList<CQsoData> saved = log.search(QString());
        QCOMPARE(calls(saved), calls(fiveContacts()));
        QCOMPARE(saved.at(2).name, QStringLiteral("Franz"));
        QCOMPARE(saved.at(2).start.toString(QStringLiteral("yyyyMMddhhmmss")), QStringLiteral("20260302093015"));
        QCOMPARE(saved.at(2).start.secsTo(saved.at(2).end), 300); // the contact keeps its length
        QCOMPARE(saved.at(3).frequencyB, 7070003u);
    }

    void discardGoesOnAndAsksAgainNextTime()
    {
        SearchResultsDlg dialog(m_log);
        int prompts = 0;
        dialog.setNameChooser([&prompts](QWidget*, const QString&, const QString&, const QString&, QString&) {
            ++prompts;
            return false;
        });
        edit(dialog, 1, SearchResultsDlg::ColumnCall, QStringLiteral("G4XYZ/M"));
        ModalAnswers answers;
        answers.press(QMessageBox::Discard);
        dialog.slotFile();
        QCOMPARE(prompts, 1);
        QCOMPARE(dialog.pendingEdits(), 1);

        answers.press(QMessageBox::Save);
        dialog.slotFile();
        QCOMPARE(answers.texts, QStringList({m_question, m_question}));
        QCOMPARE(loggedCalls(m_log).at(1), QStringLiteral("G4XYZ/M"));
    }

    void cellThatCannotBeStoredKeepsItsValue_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::newRow("no such day") << int(SearchResultsDlg::ColumnUtc) << "31.02.2026 10:00:00";
        QTest::newRow("letters for kHz") << int(SearchResultsDlg::ColumnKHz) << "fourteen";
        QTest::newRow("negative kHz") << int(SearchResultsDlg::ColumnKHz) << "-7070";
        QTest::newRow("empty call") << int(SearchResultsDlg::ColumnCall) << " ";
    }

    void cellThatCannotBeStoredKeepsItsValue()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        SearchResultsDlg dialog(m_log);
        const QString before = cell(dialog, 2, column);
        ModalAnswers answers;
        answers.press(QMessageBox::Close);
        edit(dialog, 2, column, typed);
        QCOMPARE(answers.texts.size(), 1);
        QCOMPARE(cell(dialog, 2, column), before);
        QCOMPARE(dialog.pendingEdits(), 0);
    }

    void deletesExactlyTheSelectedRows()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        ModalAnswers answers;
        selectRows(dialog.table(), {1});
        answers.press(QMessageBox::No);
        dialog.slotDelete();
        QCOMPARE(loggedCalls(m_log).size(), 5);

        selectRows(dialog.table(), {3, 0});
        answers.press(QMessageBox::Yes);
        dialog.slotDelete();
        QCOMPARE(answers.texts, QStringList({"Delete selected QSO?", "Delete 3 lines from the log?"}));
        QCOMPARE(loggedCalls(m_log), QStringList({"OE3ABC", "I2BBB"}));
        QCOMPARE(calls(dialog.results()), QStringList({"OE3ABC", "I2BBB"}));
    }

    void aDiscardedEditDoesNotHideTheLineFromDelete()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        edit(dialog, 4, SearchResultsDlg::ColumnCall, QStringLiteral("I2CCC"));
        selectRows(dialog.table(), {4});
        ModalAnswers answers;
        answers.press(QMessageBox::Discard);
        answers.press(QMessageBox::Yes);
        dialog.slotDelete();
        QCOMPARE(loggedCalls(m_log), QStringList({"DL1ABC", "G4XYZ", "OE3ABC", "F5AAA"}));
    }
};

QTEST_MAIN(TestSearchDialog)
#include "tst_searchdialog.moc"
