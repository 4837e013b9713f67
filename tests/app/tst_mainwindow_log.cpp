// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The logbook in the main window: saving a contact, the own call, and the search, ADIF and merge commands.
#include "core/apppaths.h"
#include "app/mainwindow.h"
#include "core/settings.h"
#include "logbook/logbar.h"
#include "logbook/searchresultsdlg.h"
#include "modem/psktxrx.h"
#include "tests/app/windowfolder.h"
#include "tests/logbook/ui/modalanswers.h"
#include "tests/logbook/ui/searchfixture.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace SearchFixture;

class TestMainWindowLog : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QStringList m_answers; // names the file prompt gives, in turn
    int m_asked = 0;

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto w = std::make_unique<MainWindow>();
        w->setNameChooser([this](QWidget*, const QString&, const QString&, const QString&, QString& name) {
            ++m_asked;
            if (m_answers.isEmpty())
                return false;
            name = m_answers.takeFirst();
            return true;
        });
        w->show();
        return w;
    }
    static QLineEdit* field(MainWindow& w, const char* name) { return w.logBar()->findChild<QLineEdit*>(name); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
        m_answers.clear();
        m_asked = 0;
    }

    void savingWritesTheBarWithBandFrequencyAndMode()
    {
        QFile bands(AppPaths::dataDirectory() + QStringLiteral("/bands.ini"));
        QVERIFY(bands.open(QIODevice::WriteOnly) && bands.write("20m 14070.0\n40m\t7035.5\nnot a band line\n") > 0);
        bands.close();
        auto w = makeWindow();
        QCOMPARE(w->logBar()->bandBox()->count(), 2);
        QCOMPARE(w->logFileName(), m_dir->filePath(QCoreApplication::applicationName() + QStringLiteral(".log")));
        field(*w, "editName")->setText(QStringLiteral("Hans"));
        QTest::mouseClick(w->logBar()->saveButton(), Qt::LeftButton);
        QCOMPARE(QFileInfo(w->logFileName()).size(), 0); // no call, no record

        w->slotModeChanged(QStringLiteral("BPSK63"));
        QTest::keyClicks(field(*w, "editCall"), QStringLiteral("dl1abc"));
        field(*w, "editNotes")->setText(QStringLiteral("first QSO"));
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "UTC-3"); // three hours east of UTC: local time is not UTC
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        QTest::mouseClick(w->logBar()->saveButton(), Qt::LeftButton);
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        w->slotModeChanged(QStringLiteral("BPSK250"));
        w->logBar()->bandBox()->setCurrentIndex(1);
        w->saveQSO();

        const QList<CQsoData> saved = CHamLog(w->logFileName()).search(QString());
        QCOMPARE(saved.size(), 2);
        const CQsoData& q = saved.at(0);
        QCOMPARE(QStringList({q.call, q.name, q.info, q.mode}), QStringList({"DL1ABC", "Hans", "first QSO", "BPSK63"}));
        QCOMPARE(q.frequencyB, 7035500u);
        QVERIFY(q.start >= before.addMSecs(-before.time().msec()) && q.start <= QDateTime::currentDateTimeUtc());
        QCOMPARE(saved.at(1).frequencyB, 14070000u);
        QCOMPARE(saved.at(1).mode, QStringLiteral("BPSK250"));
    }

    void aLogThatCannotBeWrittenIsReported()
    {
        auto w = makeWindow();
        QVERIFY(QFile::remove(w->logFileName()));
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
        Settings().setValue(QStringLiteral("Personal data/call"), QStringLiteral("OE3ABC"));
        auto w = makeWindow();
        QCOMPARE(w->modem()->cwCallSign(), QStringLiteral("OE3ABC"));
        ModalAnswers answers;
        for (const auto button : {QDialogButtonBox::Ok, QDialogButtonBox::Cancel}) {
            answers.expect("PersonalDataDlg", [button](QWidget* d) {
                d->findChild<QLineEdit*>(QStringLiteral("lineEditCall"))
                    ->setText(button == QDialogButtonBox::Ok ? QStringLiteral("dk2xy") : QStringLiteral("xx9xx"));
                d->findChild<QDialogButtonBox*>()->button(button)->click();
            });
        }
        w->slotPersonalData();
        QCOMPARE(w->modem()->cwCallSign(), QStringLiteral("DK2XY"));
        w->slotPersonalData();
        QCOMPARE(answers.pending(), 0);
        QCOMPARE(w->modem()->cwCallSign(), QStringLiteral("DK2XY"));
    }

    void searchButtonOpensTheDialogOnTheLog()
    {
        auto w = makeWindow();
        QVERIFY(writeLog(w->logFileName(), fiveContacts()));
        ModalAnswers answers;
        qsizetype listed = -1;
        answers.expect("SearchResultsDlg", [&listed](QWidget* d) {
            listed = static_cast<SearchResultsDlg*>(d)->results().size();
            static_cast<QDialog*>(d)->reject();
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
        QVERIFY(!w->importADIF() && !w->exportADIF() && !w->mergeLog()); // prompts cancelled
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
        QCOMPARE(m_asked, 6);

        ModalAnswers answers;
        answers.press(QMessageBox::Close);
        m_answers << QStringLiteral("missing.adi");
        QVERIFY(!w->importADIF());
        QVERIFY(answers.texts.constFirst().contains(m_dir->filePath(QStringLiteral("missing.adi"))));
        QCOMPARE(loggedCalls(log), calls(five));
    }
};

QTEST_MAIN(TestMainWindowLog)
#include "tst_mainwindow_log.moc"
