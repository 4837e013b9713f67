// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The search dialog: listing, searching, editing with the unsaved-edits question, deleting, the report.
#include "core/settings.h"
#include "logbook/searchresultsdlg.h"
#include "tests/core/fulldisk.h"
#include "tests/logbook/logfixtures.h"

#include <QMessageBox>
#include <QPointer>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using LogFixtures::calls;

namespace {

// Five contacts in time order, each five minutes long.
QList<CQsoData> fiveContacts()
{
    QList<CQsoData> records;
    for (const auto& [call, start, hz] : {std::tuple{"DL1ABC", "20260301100000", 14070000}, {"G4XYZ", "20260301110000", 7070000},
                                          {"OE3ABC", "20260302090000", 3580000}, {"F5AAA", "20260303120000", 21070000},
                                          {"I2BBB", "20260304130000", 28120000}}) {
        CQsoData q = LogFixtures::qso(call, start, quint32(hz));
        q.end = q.start.addSecs(5 * 60);
        q.sent = QStringLiteral("599"), q.received = QStringLiteral("579");
        q.number = 7; // as a log of another program may number its lines
        records << q;
    }
    records[1].info = QStringLiteral("Met at Friedrichshafen");
    return records;
}

QStringList loggedCalls(const QString& path) { return calls(CHamLog(path).search(QString())); }

// Adds whole rows to the table's selection, each as a range of its own.
void selectRows(QAbstractItemView* table, const QList<int>& rows)
{
    for (int row : rows)
        table->selectionModel()->select(table->model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

// Answers the message boxes the code under test opens, in order, from inside their own event loops.
class ModalAnswers : public QObject
{
public:
    ModalAnswers()
    {
        connect(&m_poll, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (m_queue.isEmpty())
                m_poll.stop();
            else if (box && box != m_answered) // not one still open below
                texts << QStringList{(m_answered = box)->text(), box->informativeText()}.join(u'\n').trimmed(), box->button(m_queue.takeFirst())->click();
        });
    }
    // The next message box is answered with button; its text is kept, and its informative text on a line below.
    void press(QMessageBox::StandardButton button) { m_queue.append(button), m_poll.start(0); }
    qsizetype pending() const { return m_queue.size(); }
    QStringList texts;

private:
    QTimer m_poll;
    QList<QMessageBox::StandardButton> m_queue;
    QPointer<QMessageBox> m_answered;
};

} // namespace

class TestSearchDialog : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_log;
    const QString m_question = QStringLiteral("Some entries have been edited.\nWould you like to save changes?");

    static void edit(SearchResultsDlg& d, int row, int column, const QString& text)
    {
        d.table()->model()->setData(d.table()->model()->index(row, column), text);
    }
    // The prompt for a report file answers name, or cancels when it is empty.
    void answerPrompt(SearchResultsDlg& d, const QString& name)
    {
        d.setReportDirectory(m_dir.path());
        d.setNameChooser([name](QWidget*, const QString&, const QString&, const QString&, QString& answer) { return answer = name, !name.isEmpty(); });
    }
    QStringList reportedCalls(const QString& name) const
    {
        QStringList calls;
        for (const QString& line : QString::fromUtf8(LogFixtures::readAll(m_dir.filePath(name))).split('\n', Qt::SkipEmptyParts))
            calls << line.simplified().section(' ', 4, 4); // day, time, kHz, mode, call
        return calls;
    }

private slots:
    void init()
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("Velkora32.ini")));
        m_log = m_dir.filePath(QStringLiteral("%1.log").arg(QTest::currentTestFunction()));
        QFile::remove(m_log);
        CHamLog log(m_log);
        for (const CQsoData& q : fiveContacts())
            QVERIFY(log.append(q));
    }

    void listsAndSearches()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Search results: 5 QSO(s)"));
        dialog.searchEdit()->setText(QStringLiteral("FRIEDRICHSHAFEN"));
        selectRows(dialog.table(), {0});
        QTest::keyClick(dialog.searchEdit(), Qt::Key_Return); // searches, and must not reach Delete
        QCOMPARE(calls(dialog.results()), QStringList({"G4XYZ"}));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Search results: 1 QSO(s)"));
        QCOMPARE(loggedCalls(m_log).size(), 5);
        // An edit discarded for a new search is gone, not saved later over another contact.
        edit(dialog, 0, SearchResultsDlg::ColumnName, QStringLiteral("Franz"));
        ModalAnswers answers;
        answers.press(QMessageBox::Discard);
        QTest::keyClick(dialog.searchEdit(), Qt::Key_Return);
        QVERIFY(answers.texts == QStringList{m_question} && dialog.pendingEdits() == 0);
    }

    void editIsSavedOnlyWhenTheOperatorSaysSo()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        ModalAnswers answers;
        for (int column : {int(SearchResultsDlg::ColumnUtc), int(SearchResultsDlg::ColumnKHz), int(SearchResultsDlg::ColumnCall)}) {
            answers.press(QMessageBox::Close); // a text that cannot stand there is refused
            edit(dialog, 2, column, column == SearchResultsDlg::ColumnUtc ? "31.02.2026 10:00:00" : column == SearchResultsDlg::ColumnKHz ? "-7070" : " ");
        }
        QVERIFY(answers.texts.size() == 3 && answers.texts.at(0).endsWith("\nThe cell keeps its previous value.")); // says what happens
        QCOMPARE(dialog.pendingEdits(), 0);
        edit(dialog, 2, SearchResultsDlg::ColumnName, QStringLiteral("Franz"));
        edit(dialog, 2, SearchResultsDlg::ColumnUtc, QStringLiteral("02.03.2026 09:30:15"));
        edit(dialog, 3, SearchResultsDlg::ColumnKHz, QStringLiteral("7070.003"));
        answers.press(QMessageBox::Cancel);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(dialog.isVisible());
        answerPrompt(dialog, QString());
        answers.press(QMessageBox::Discard); // goes on, and asks again next time
        dialog.slotFile();
        QCOMPARE(CHamLog(m_log).search(QString()).at(2).name, QString());
        answers.press(QMessageBox::Save);
        QSignalSpy replaced(&dialog, &SearchResultsDlg::recordReplaced);
        dialog.slotClose();
        QCOMPARE(answers.texts.mid(3), QStringList(3, m_question));
        QCOMPARE(replaced.size(), 2); // each changed record, for the logger
        QCOMPARE(replaced.at(0).at(0).value<CQsoData>().name, QStringLiteral("Franz"));
        const QList<CQsoData> saved = CHamLog(m_log).search(QString());
        QCOMPARE(calls(saved), calls(fiveContacts()));
        // The name and the start as edited; the contact keeps its length.
        QCOMPARE(std::tuple(saved.at(2).name, saved.at(2).start.toString(QStringLiteral("yyyyMMddhhmmss")), saved.at(2).start.secsTo(saved.at(2).end)),
                 std::tuple(QStringLiteral("Franz"), QStringLiteral("20260302093015"), qint64(300)));
        QCOMPARE(saved.at(3).frequencyB, 7070003u);
    }

    // Every column typed into, saved, and shown as typed when the log is
    // listed again.
    void everyColumnIsSavedAsTyped()
    {
        const QStringList typed{"01.03.2026 10:30:00", "14070.250", "QPSK63", "DL1XYZ", "449", "559", "Hans", "Bonn", "via bureau"};
        ModalAnswers answers;
        {
            SearchResultsDlg dialog(m_log);
            dialog.show();
            for (int column = 0; column < typed.size(); ++column)
                edit(dialog, 0, column, typed[column]);
            answers.press(QMessageBox::Save);
            dialog.slotClose();
        }
        QStringList shown;
        SearchResultsDlg again(m_log);
        for (int column = 0; column < typed.size(); ++column)
            shown << again.table()->model()->index(0, column).data().toString();
        QCOMPARE(shown, typed);
    }

    void deletesExactlyTheSelectedRows()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        edit(dialog, 4, SearchResultsDlg::ColumnCall, QStringLiteral("I2CCC")); // a discarded edit
        ModalAnswers answers;
        selectRows(dialog.table(), {1, 4, 0});
        answers.press(QMessageBox::Discard);
        answers.press(QMessageBox::Yes);
        const QByteArray before = LogFixtures::readAll(m_log);
        dialog.slotDelete();
        QCOMPARE(answers.texts, QStringList({m_question, "Delete 3 lines from the log?"}));
        QCOMPARE(loggedCalls(m_log), QStringList({"OE3ABC", "F5AAA"}));
        QCOMPARE(LogFixtures::readAll(m_log + ".bak"), before); // one rewrite for the whole action
    }

    void reportNeverOverTheLog()
    {
        SearchResultsDlg dialog(m_log);
        dialog.show();
        answerPrompt(dialog, QStringLiteral("selected.txt"));
        selectRows(dialog.table(), {3, 1});
        dialog.slotFile();
        QCOMPARE(reportedCalls(QStringLiteral("selected.txt")), QStringList({"F5AAA", "G4XYZ"}));
        QVERIFY(LogFixtures::readAll(m_dir.filePath(QStringLiteral("selected.txt"))).contains("  21070.000 BPSK31 ")); // kHz to the hertz
        ModalAnswers answers;
        const QStringList logged = loggedCalls(m_log);
        for (const QString& name : {QFileInfo(m_log).fileName(), QFileInfo(m_log).fileName() + ".bak"}) {
            answerPrompt(dialog, name);
            answers.press(QMessageBox::Close);
            dialog.slotFile();
            QVERIFY(answers.texts.last().contains("belongs to the logbook"));
        }
        QCOMPARE(loggedCalls(m_log), logged);
        answerPrompt(dialog, QStringLiteral("selected.txt"));
        dialog.table()->clearSelection();
        answers.press(QMessageBox::No); // another existing file only when the operator agrees
        dialog.slotFile();
        QCOMPARE(reportedCalls(QStringLiteral("selected.txt")), QStringList({"F5AAA", "G4XYZ"}));
        answers.press(QMessageBox::Yes);
        dialog.slotFile();
        QCOMPARE(reportedCalls(QStringLiteral("selected.txt")), calls(fiveContacts()));
        // A report the disk has no room for is said to have failed.
        answerPrompt(dialog, QStringLiteral("full.txt"));
        answers.press(QMessageBox::Close);
        {
            const FullDisk full;
            dialog.slotFile();
        }
        QVERIFY(answers.texts.last().startsWith("Can't write the report to " + m_dir.filePath("full.txt")));
        QCOMPARE(answers.pending(), 0);
    }
};

QTEST_MAIN(TestSearchDialog)
#include "tst_searchdialog.moc"
