// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The text report of the search dialog, for the selected or all listed
// contacts.

#include "app/settings.h"
#include "log/searchresultsdlg.h"
#include "tests/log/ui/modalanswers.h"
#include "tests/log/ui/searchfixture.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace SearchFixture;

class TestSearchReport : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_asked;

    // The report dialog with its file prompt answered by name.
    std::unique_ptr<SearchResultsDlg> dialog(const QString& name)
    {
        auto d = std::make_unique<SearchResultsDlg>(m_dir.filePath(QStringLiteral("Velkora32.log")));
        d->setReportDirectory(m_dir.path());
        d->setNameChooser([this, name](QWidget*, const QString& title, const QString& label, const QString& preset,
                                       QString& answer) {
            m_asked = title + '|' + label + '|' + preset;
            answer = name;
            return true;
        });
        d->show();
        return d;
    }
    QStringList reportedCalls(const QString& name) const
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
            return {QStringLiteral("<missing>")};
        QStringList calls;
        // Day, time, kHz, mode, then the call.
        for (const QString& line : QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts))
            calls << line.simplified().section(' ', 4, 4);
        return calls;
    }

private slots:
    void initTestCase()
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("Velkora32.ini")));
        QVERIFY(writeLog(m_dir.filePath(QStringLiteral("Velkora32.log")), fiveContacts()));
    }

    void reportLineLayout()
    {
        CQsoData q = qso("DL1ABC", "20260305140709", 14070000, "100%3 copy");
        q.name = QStringLiteral("%2");
        q.qth = QStringLiteral("Berlin");
        QCOMPARE(SearchResultsDlg::reportLine(q),
                 QStringLiteral("05-Mar-2026 14:07:09  14070.000 BPSK31         DL1ABC 599 579 %2 Berlin 100%3 copy\n"));
        q = qso("K1A", "20261231235959", 3580000);
        q.mode = QStringLiteral("PSK");
        q.sent = QStringLiteral("5");
        q.received.clear();
        QCOMPARE(SearchResultsDlg::reportLine(q),
                 QStringLiteral("31-Dec-2026 23:59:59   3580.000  PSK            K1A   5       \n"));
    }

    void withoutSelectionEveryListedRecordIsWritten()
    {
        auto d = dialog(QStringLiteral("export.txt"));
        d->slotFile();
        QCOMPARE(m_asked, QStringLiteral("Select export file name|Enter name|export.txt"));
        QCOMPARE(reportedCalls(QStringLiteral("export.txt")), calls(fiveContacts()));
    }

    void selectedRowsAreWrittenInSelectionOrder()
    {
        auto d = dialog(QStringLiteral("selected.txt"));
        selectRows(d->table(), {3, 1});
        d->slotFile();
        QCOMPARE(reportedCalls(QStringLiteral("selected.txt")), QStringList({"F5AAA", "G4XYZ"}));
    }

    void unwritableReportIsReportedWithItsName()
    {
        auto d = dialog(QStringLiteral("no/such/folder/export.txt"));
        ModalAnswers answers;
        answers.press(QMessageBox::Close);
        d->slotFile();
        QCOMPARE(answers.texts, QStringList({"Can't open file fro export."}));
        QVERIFY(answers.details.constFirst().contains(m_dir.filePath(QStringLiteral("no/such/folder/export.txt"))));
    }
};

QTEST_MAIN(TestSearchReport)
#include "tst_searchreport.moc"
