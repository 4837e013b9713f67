// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The logbook in the whole main window: the QSO entry bar in its dock,
// saving a contact, the personal data with the Morse identification call,
// and the ADIF and merge commands with the file prompt answered by the test.

#include "app/apppaths.h"
#include "app/mainwindow.h"
#include "tests/app/windowfolder.h"
#include "app/settings.h"
#include "log/logbar.h"
#include "log/searchresultsdlg.h"
#include "modem/psktxrx.h"
#include "tests/log/ui/modalanswers.h"
#include "tests/log/ui/searchfixture.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDockWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace SearchFixture;

class TestMainWindowLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_answers; // names the file prompt gives, in turn
    QStringList m_asked;   // title|label|preset of each prompt

    std::unique_ptr<MainWindow> makeWindow(const QByteArray& bands = QByteArray())
    {
        if (!bands.isEmpty()) {
            QFile f(AppPaths::dataDirectory() + QStringLiteral("/bands.ini"));
            if (!f.open(QIODevice::WriteOnly) || f.write(bands) != bands.size())
                return nullptr;
        }
        auto w = std::make_unique<MainWindow>();
        w->setNameChooser([this](QWidget*, const QString& title, const QString& label, const QString& preset,
                                 QString& name) {
            m_asked << title + '|' + label + '|' + preset;
            if (m_answers.isEmpty())
                return false;
            name = m_answers.takeFirst();
            return true;
        });
        w->show();
        return w;
    }
    static QLineEdit* field(MainWindow& w, const char* name) { return w.logBar()->findChild<QLineEdit*>(name); }
    static void setPersonal(const QString& key, const QString& value)
    {
        Settings().setValue(QStringLiteral("Personal data/") + key, value);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString data = prepareWindowFolder(*m_dir);
        QVERIFY(!data.isEmpty());
        m_answers.clear();
        m_asked.clear();
    }

    void entryBarIsDockedAtTheTopWithTheBandsFile()
    {
        auto w = makeWindow("20m 14070.0\n40m\t7035.5\nnot a band line\n");
        auto* dock = w->findChild<QDockWidget*>(QStringLiteral("LogBar"));
        QVERIFY(dock);
        QCOMPARE(dock->windowTitle(), QStringLiteral("Log"));
        QCOMPARE(dock->widget(), w->logBar());
        QCOMPARE(w->dockWidgetArea(dock), Qt::TopDockWidgetArea);
        QCOMPARE(w->logBar()->bandBox()->count(), 2);
        QCOMPARE(w->logBar()->band(), QStringLiteral("40m"));
        QVERIFY(!w->logBar()->saveButton()->icon().isNull());
        QCOMPARE(w->logFileName(), m_dir->filePath(QCoreApplication::applicationName() + QStringLiteral(".log")));
    }

    void savingWritesTheBarWithBandFrequencyAndMode()
    {
        auto w = makeWindow("20m 14070.0\n40m 7035.5\n");
        field(*w, "editName")->setText(QStringLiteral("Hans"));
        QTest::mouseClick(w->logBar()->saveButton(), Qt::LeftButton);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Menu File/Save QSO data"));
        QVERIFY(!QFile::exists(w->logFileName())); // no call, no record

        w->slotModeChanged(QStringLiteral("BPSK63"));
        QTest::keyClicks(field(*w, "editCall"), QStringLiteral("dl1abc"));
        field(*w, "editRecv")->setText(QStringLiteral("579"));
        field(*w, "editNotes")->setText(QStringLiteral("first QSO"));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        QTest::mouseClick(w->logBar()->saveButton(), Qt::LeftButton);
        w->slotModeChanged(QStringLiteral("BPSK250"));
        w->logBar()->bandBox()->setCurrentIndex(1);
        w->saveQSO();

        CHamLog log(w->logFileName());
        const QList<CQsoData> saved = log.search(QString());
        QCOMPARE(saved.size(), 2);
        const CQsoData& q = saved.at(0);
        QCOMPARE(QStringList({q.call, q.name, q.received, q.sent, q.info, q.mode}),
                 QStringList({"DL1ABC", "Hans", "579", "", "first QSO", "BPSK63"}));
        QCOMPARE(q.frequencyB, 7035500u);
        // The log keeps the local wall-clock time of the save.
        const QDateTime local(q.start.date(), q.start.time());
        QVERIFY(local >= before.addMSecs(-before.time().msec()) && local <= QDateTime::currentDateTime());
        QCOMPARE(saved.at(1).frequencyB, 14070000u);
        QCOMPARE(saved.at(1).mode, QStringLiteral("BPSK250"));
        QCOMPARE(w->logBar()->call(), QStringLiteral("dl1abc")); // the bar keeps its fields

        w->clearQSO();
        QVERIFY(w->logBar()->call().isEmpty());
    }

    void aLogThatCannotBeWrittenIsReported()
    {
        auto w = makeWindow();
        QVERIFY(QDir().mkpath(w->logFileName())); // a folder where the log should be
        field(*w, "editCall")->setText(QStringLiteral("G4XYZ"));
        ModalAnswers answers;
        answers.press(QMessageBox::Close);
        w->saveQSO();
        QCOMPARE(answers.pending(), 0);
        QVERIFY(answers.texts.constFirst().contains(w->logFileName()));
    }

    void ownCallReachesTheModemAtStartAndWhenConfirmed()
    {
        setPersonal(QStringLiteral("call"), QStringLiteral("OE3ABC"));
        auto w = makeWindow();
        QCOMPARE(w->modem()->cwCallSign(), QStringLiteral("OE3ABC"));

        ModalAnswers answers;
        const auto answer = [&answers](const char* call, QDialogButtonBox::StandardButton button) {
            answers.expect("PersonalDataDlg", [call, button](QWidget* d) {
                d->findChild<QLineEdit*>(QStringLiteral("lineEditCall"))->setText(QLatin1String(call));
                d->findChild<QDialogButtonBox*>()->button(button)->click();
            });
        };
        answer("dk2xy", QDialogButtonBox::Ok);
        w->slotPersonalData();
        QCOMPARE(w->personalData().call, QStringLiteral("DK2XY"));
        QCOMPARE(w->modem()->cwCallSign(), QStringLiteral("DK2XY"));
        answer("xx9xx", QDialogButtonBox::Cancel);
        w->slotPersonalData();
        QCOMPARE(answers.pending(), 0);
        QCOMPARE(w->modem()->cwCallSign(), QStringLiteral("DK2XY"));
    }

    void personalDataIsWrittenWhenTheWindowGoes()
    {
        setPersonal(QStringLiteral("info"), QStringLiteral("TS-590"));
        auto w = makeWindow();
        Settings().remove(QStringLiteral("Personal data"));
        w->close();
        w.reset();
        QCOMPARE(Settings().value(QStringLiteral("Personal data/info")).toString(), QStringLiteral("TS-590"));
        QCOMPARE(Settings().value(QStringLiteral("Personal data/rst")).toString(), QStringLiteral("599"));
    }

    void searchButtonOpensTheDialogOnTheLog()
    {
        auto w = makeWindow();
        QVERIFY(writeLog(w->logFileName(), fiveContacts()));
        ModalAnswers answers;
        qsizetype listed = -1;
        answers.expect("SearchResultsDlg", [&listed](QWidget* d) {
            listed = static_cast<SearchResultsDlg*>(d)->results().size();
            d->findChild<QPushButton*>(QStringLiteral("pushButtonClose"))->click();
        });
        QTest::mouseClick(w->logBar()->searchButton(), Qt::LeftButton);
        QCOMPARE(listed, 5);
    }

    void exportImportAndMerge()
    {
        auto w = makeWindow();
        const QString log = w->logFileName();
        const QList<CQsoData> five = fiveContacts();
        QVERIFY(writeLog(log, {five.at(0), five.at(2), five.at(4)}));

        m_answers << QStringLiteral("out.adi") << QStringLiteral("out.adi");
        QVERIFY(w->exportADIF());
        QVERIFY(QFile::exists(m_dir->filePath(QStringLiteral("out.adi")))); // beside the log
        QVERIFY(w->importADIF());
        QCOMPARE(loggedCalls(log), QStringList({"DL1ABC", "OE3ABC", "I2BBB"}));

        const QString other = m_dir->filePath(QStringLiteral("portable.log"));
        QVERIFY(writeLog(other, {five.at(1), five.at(2), five.at(3)}));
        m_answers << other;
        QVERIFY(w->mergeLog());
        QCOMPARE(loggedCalls(log), calls(five));
        QCOMPARE(m_asked, QStringList({"Select ADIF file|Enter file name|", "Select ADIF file|Enter file name|",
                                       "Select log file|Enter file name|"}));
    }

    void cancelledOrFailedCommandsLeaveTheLog()
    {
        auto w = makeWindow();
        QVERIFY(writeLog(w->logFileName(), fiveContacts()));
        QVERIFY(!w->importADIF() && !w->exportADIF() && !w->mergeLog()); // prompts cancelled
        QCOMPARE(m_asked.size(), 3);

        ModalAnswers answers;
        answers.press(QMessageBox::Close);
        m_answers << QStringLiteral("missing.adi");
        QVERIFY(!w->importADIF());
        QVERIFY(answers.texts.constFirst().contains(m_dir->filePath(QStringLiteral("missing.adi"))));
        QCOMPARE(loggedCalls(w->logFileName()), calls(fiveContacts()));
        QCOMPARE(QDir(m_dir->path()).entryList({"*.adi", "*.bak", "*.tmp"}, QDir::Files), QStringList());
    }
};

QTEST_MAIN(TestMainWindowLog)
#include "tst_mainwindow_log.moc"
