// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The search dialog: listing, searching, editing with the unsaved-edits question, deleting, the report.
#include "core/settings.h"
#include "logbook/searchresultsdlg.h"
#include "tests/logbook/ui/modalanswers.h"
#include "tests/logbook/logfixtures.h"
#include "tests/logbook/ui/searchfixture.h"

#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

using namespace SearchFixture;

class TestSearchDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_log;
    QString m_asked; // the last file prompt
    const QString m_question = QStringLiteral("Some entries has been edited.\nWould you like to save changes?");

    static QString cell(const SearchResultsDlg& d, int row, int column) { return d.table()->item(row, column)->text(); }
    static void edit(SearchResultsDlg& d, int row, int column, const QString& text)
    {
        d.table()->item(row, column)->setText(text);
    }
    // The prompt for a report file answers name, or cancels when it is empty.
    void answerPrompt(SearchResultsDlg& d, const QString& name)
    {
        d.setReportDirectory(m_dir.path());
        d.setNameChooser([this, name](QWidget*, const QString& title, const QString& label, const QString& preset,
                                      QString& answer) {
            m_asked = title + '|' + label + '|' + preset;
            answer = name;
            return !name.isEmpty();
        });
    }
    QStringList reportedCalls(const QString& name) const
    {
        QFile f(m_dir.filePath(name));
        QStringList calls{QStringLiteral("<missing>")};
        if (f.open(QIODevice::ReadOnly | QIODevice::Text))
            calls.clear();
        for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts))
            calls << line.simplified().section(' ', 4, 4); // day, time, kHz, mode, call
        return calls;
    }

private slots:
    void init()
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("Velkora32.ini")));
        m_log = m_dir.filePath(QStringLiteral("%1.log").arg(QTest::currentTestFunction()));
        QFile::remove(m_log);
        QVERIFY(writeLog(m_log, fiveContacts()));
    }

    void openingListsTheWholeLog()
    {
        SearchResultsDlg dialog(m_log);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Search results: 5 QSO(s)"));
        QStringList row0;
        for (int c = 0; c < dialog.table()->columnCount(); ++c)
            row0 << dialog.table()->horizontalHeaderItem(c)->text() + '=' + cell(dialog, 0, c);
        QCOMPARE(row0, QStringList({"UTC=01.03.2026 10:00:00", "kHz=14070.000", "Mode=BPSK31", "Call=DL1ABC",
                                    "Sent=599", "Rcvd=579", "Name=", "QHT=", "Info="}));
        QCOMPARE(calls(dialog.results()), calls(fiveContacts()));
        QCOMPARE(dialog.table()->rowCount(), 5);
    }

    void searchFindsTextInTheNotesInAnyCase()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        dialog.searchEdit()->setText(QStringLiteral("FRIEDRICHSHAFEN"));
        selectRows(dialog.table(), {0});
        QTest::keyClick(dialog.searchEdit(), Qt::Key_Return); // searches, and must not reach Delete
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
        const QStringList before = loggedCalls(m_log);
        ModalAnswers answers;
        answers.press(QMessageBox::Cancel);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        QCOMPARE(cell(dialog, 2, SearchResultsDlg::ColumnName), QStringLiteral("Franz"));
        answerPrompt(dialog, QString());
        answers.press(QMessageBox::Discard); // goes on, and asks again next time
        dialog.slotFile();
        QCOMPARE(dialog.pendingEdits(), 2);
        QCOMPARE(CHamLog(m_log).search(QString()).at(2).name, QString());

        answers.press(QMessageBox::Save);
        dialog.slotClose();
        QCOMPARE(answers.texts, QStringList(3, m_question));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const QList<CQsoData> saved = CHamLog(m_log).search(QString());
        QCOMPARE(calls(saved), before);
        QCOMPARE(saved.at(2).name, QStringLiteral("Franz"));
        QCOMPARE(saved.at(2).start.toString(QStringLiteral("yyyyMMddhhmmss")), QStringLiteral("20260302093015"));
        QCOMPARE(saved.at(2).start.secsTo(saved.at(2).end), 300); // the contact keeps its length
        QCOMPARE(saved.at(3).frequencyB, 7070003u);
    }

    void cellThatCannotBeStoredKeepsItsValue_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::newRow("no such day") << int(SearchResultsDlg::ColumnUtc) << "31.02.2026 10:00:00";
        QTest::newRow("negative kHz") << int(SearchResultsDlg::ColumnKHz) << "-7070";
        QTest::newRow("empty call") << int(SearchResultsDlg::ColumnCall) << " ";
    }
    void cellThatCannotBeStoredKeepsItsValue()
    {
        QFETCH(int, column);
        SearchResultsDlg dialog(m_log);
        const QString before = cell(dialog, 2, column);
        ModalAnswers answers;
        answers.press(QMessageBox::Close);
        QFETCH(QString, typed);
        edit(dialog, 2, column, typed);
        QCOMPARE(answers.texts.size(), 1);
        QCOMPARE(cell(dialog, 2, column), before);
        QCOMPARE(dialog.pendingEdits(), 0);
    }

    void deletesExactlyTheSelectedRows()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        edit(dialog, 4, SearchResultsDlg::ColumnCall, QStringLiteral("I2CCC")); // a discarded edit
        ModalAnswers answers;
        selectRows(dialog.table(), {1});
        answers.press(QMessageBox::Discard);
        answers.press(QMessageBox::No);
        dialog.slotDelete();
        QCOMPARE(loggedCalls(m_log).size(), 5);
        selectRows(dialog.table(), {4, 0});
        answers.press(QMessageBox::Discard);
        answers.press(QMessageBox::Yes);
        dialog.slotDelete();
        QCOMPARE(answers.texts, QStringList({m_question, "Delete selected QSO?", m_question, "Delete 3 lines from the log?"}));
        QCOMPARE(loggedCalls(m_log), QStringList({"OE3ABC", "F5AAA"}));
        QCOMPARE(calls(dialog.results()), QStringList({"OE3ABC", "F5AAA"}));
    }

    void reportOfSelectionOrAllRows()
    {
        CQsoData q = qso("DL1ABC", "20260305140709", 14070000, "100%3 copy");
        q.name = QStringLiteral("%2");
        q.qth = QStringLiteral("Berlin");
        QCOMPARE(SearchResultsDlg::reportLine(q),
                 QStringLiteral("05-Mar-2026 14:07:09  14070.000 BPSK31         DL1ABC 599 579 %2 Berlin 100%3 copy\n"));
        SearchResultsDlg dialog(m_log);
        dialog.show();
        answerPrompt(dialog, QStringLiteral("export.txt"));
        dialog.slotFile();
        QCOMPARE(m_asked, QStringLiteral("Select export file name|Enter name|export.txt"));
        QCOMPARE(reportedCalls(QStringLiteral("export.txt")), calls(fiveContacts()));
        answerPrompt(dialog, QStringLiteral("selected.txt"));
        selectRows(dialog.table(), {3, 1});
        dialog.slotFile();
        QCOMPARE(reportedCalls(QStringLiteral("selected.txt")), QStringList({"F5AAA", "G4XYZ"}));

        answerPrompt(dialog, QStringLiteral("no/such/folder/export.txt"));
        ModalAnswers answers;
        answers.press(QMessageBox::Close);
        dialog.slotFile();
        QCOMPARE(answers.texts, QStringList({"Can't open file fro export."}));
        QVERIFY(answers.details.constFirst().contains(m_dir.filePath(QStringLiteral("no/such/folder/export.txt"))));

        // Never over the log or its companions; another existing file only when the operator agrees.
        const QByteArray log = LogFixtures::readAll(m_log);
        for (const QString& name : {QFileInfo(m_log).fileName(), QFileInfo(m_log).fileName() + ".bak"}) {
            answerPrompt(dialog, name);
            answers.press(QMessageBox::Close);
            dialog.slotFile();
            QVERIFY(answers.texts.last().contains("belongs to the logbook"));
        }
        QCOMPARE(LogFixtures::readAll(m_log), log);
        answerPrompt(dialog, QStringLiteral("selected.txt"));
        dialog.table()->clearSelection();
        answers.press(QMessageBox::No);
        dialog.slotFile();
        QCOMPARE(reportedCalls(QStringLiteral("selected.txt")), QStringList({"F5AAA", "G4XYZ"}));
        answers.press(QMessageBox::Yes);
        dialog.slotFile();
        QCOMPARE(reportedCalls(QStringLiteral("selected.txt")), calls(fiveContacts()));
        QCOMPARE(answers.pending(), 0);
    }
};

QTEST_MAIN(TestSearchDialog)
#include "tst_searchdialog.moc"
