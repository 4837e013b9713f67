// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A user's first hour, from an empty settings folder: every dialog the menus
// open is confirmed or cancelled, a macro is sent, a contact is saved, the
// log goes out as ADIF and comes back, and the program closes. Afterwards
// the settings file and the log hold what the user did.

#include "tests/app/windowfolder.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTableView>

using namespace WindowTest;

class TestFirstHour : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    static QAction* command(MainWindow& w, const QString& menuTitle, const QString& text)
    {
        for (QAction* m : w.menuBar()->actions())
            for (QAction* a : m->menu() && m->text() == menuTitle ? m->menu()->actions() : QList<QAction*>())
                if (a->text() == text)
                    return a;
        return nullptr;
    }
    static void withDialog(QAction* action, const std::function<void(QDialog*)>& answer)
    {
        QVERIFY(action);
        WindowTest::withDialog([action] { action->trigger(); }, answer);
    }

    static void typeName(QDialog* d, const QString& name)
    {
        d->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(name);
        d->accept();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
        StationState::setTxEchoEnabled(true);
    }

    void firstHour()
    {
        QVERIFY(!QFile::exists(Settings::path()));
        auto w = std::make_unique<MainWindow>();
        w->show();
        QApplication::setActiveWindow(w.get());
        QTRY_VERIFY(w->isActiveWindow());
        const QString adif = m_dir->filePath(QStringLiteral("contacts.adi"));
        const QString macros = m_dir->filePath(QStringLiteral("Velkora32.mac"));

        // Personal data: the call goes in upper case.
        withDialog(command(*w, "Configure", "Personal data..."), [](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("lineEditCall"))->setText(QStringLiteral("vk2xyz"));
            d->findChild<QLineEdit*>(QStringLiteral("lineEditName"))->setText(QStringLiteral("Sam"));
            d->accept();
        });
        withDialog(command(*w, "Configure", "Personal data..."), [](QDialog* d) {
            QCOMPARE(d->findChild<QLineEdit*>(QStringLiteral("lineEditCall"))->text(), QStringLiteral("VK2XYZ"));
            d->reject();
        });
        // Sound card and port: cancelled, which the status bar reports. Then
        // the sound card confirmed with another rate and corrections; opened
        // again, it shows them (at first 11025 Hz and none).
        withDialog(command(*w, "Configure", "Sound card..."), [](QDialog* d) { d->reject(); });
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Rejected"));
        withDialog(command(*w, "Configure", "Select port..."), [](QDialog* d) { d->reject(); });
        for (const char* shown : {"11025 0 0", "12000 -20 7"}) {
            withDialog(command(*w, "Configure", "Sound card..."), [shown](QDialog* d) {
                auto* rate = d->findChild<QLineEdit*>(QStringLiteral("lineEdit"));
                auto* rx = d->findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxRX"));
                auto* tx = d->findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxTX"));
                QCOMPARE(QStringLiteral("%1 %2 %3").arg(rate->text()).arg(rx->value()).arg(tx->value()), QString::fromLatin1(shown));
                rate->setText(QStringLiteral("12000"));
                rx->setValue(-20);
                tx->setValue(7);
                d->accept();
            });
        }
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Accepted"));
        QCOMPARE(w->modem()->inputRate(), 12000.0 * (1e6 - 20) / 1e6);
        QCOMPARE(w->modem()->outputRate(), 12000.0 * (1e6 + 7) / 1e6);

        // A macro is written (a right click on its button), saved to a file
        // and sent with F1.
        WindowTest::withDialog([&] { QTest::mouseClick(w->controlBar()->findChild<QPushButton*>("pushButton_1"), Qt::RightButton); }, [](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(QStringLiteral("CQ"));
            d->findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"))
                ->setPlainText(QStringLiteral("CQ CQ de <MYCALL> k"));
            d->accept();
        });
        w->txView()->clear();
        withDialog(command(*w, "Configure", "Save macros"), [&](QDialog* d) { typeName(d, macros); });
        QVERIFY(QFile::exists(macros));
        withDialog(command(*w, "Configure", "Load macros"), [&](QDialog* d) { typeName(d, macros); });

        // Macros are never saved over the logbook.
        QString refusal;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                refusal = box->text();
                box->reject();
            } else if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget()); d && refusal.isNull()) {
                typeName(d, w->logFileName());
            }
        });
        poll.start(20);
        command(*w, "Configure", "Save macros")->trigger();
        poll.stop();
        QVERIFY2(refusal.contains("belongs to the logbook"), qPrintable(refusal));
        QCOMPARE(QFileInfo(w->logFileName()).size(), 0);
        command(*w, "Configure", "Sensitive receiver")->trigger();
        QVERIFY(w->modem()->sensitiveReceiver());
        // MMVari chosen, and the only character set ticked.
        QMenu* varicode = command(*w, "Configure", "Varicode")->menu();
        varicode->actions().at(1)->trigger();
        emit varicode->aboutToShow();
        for (QAction* a : varicode->actions())
            QCOMPARE(a->isChecked(), a->data().toInt() == 1 && w->modem()->charSet() == 1);

        // Printing: each dialog comes up and is cancelled.
        withDialog(command(*w, "&File", "Print previe&w..."), [](QDialog* d) { d->reject(); });
        withDialog(command(*w, "&File", "&Print"), [](QDialog* d) { d->reject(); });
        // About names where this installation keeps its files.
        withDialog(command(*w, "&Help", "&About Velkora32"), [&](QDialog* d) {
            QVERIFY(static_cast<QMessageBox*>(d)->text().contains(w->logFileName()));
            d->accept();
        });

        // A contact, saved from the entry bar with Alt+A; the bar and the
        // status line say what happened.
        QCOMPARE(w->logBar()->findChild<QLabel*>(QStringLiteral("label_QHT"))->text(), QStringLiteral("&QTH"));
        QApplication::setActiveWindow(w.get()); // the refusal above left no window active
        QTRY_VERIFY(w->isActiveWindow());
        const auto altA = [&w] { QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier); };
        altA();
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("QSO not saved: the Call field is empty"));
        field(*w, "editCall")->setText(QStringLiteral("JA1QRP"));
        field(*w, "editName")->setText(QStringLiteral("Taro"));
        field(*w, "editRecv")->setText(QStringLiteral("579"));
        w->logBar()->bandBox()->setCurrentText(QStringLiteral("40m"));
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "UTC-3"); // three hours east of UTC: the log still holds UTC
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        altA();
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("QSO saved: JA1QRP"));
        const QDateTime start = CHamLog(w->logFileName()).search(QString()).value(0).start;
        QVERIFY2(start >= before.addMSecs(-before.time().msec()) && start <= QDateTime::currentDateTimeUtc(),
                 qPrintable(start.toString()));
        const auto logged = [&w] {
            QFile log(w->logFileName());
            return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        };
        QCOMPARE(logged().count('\n'), 1);
        QVERIFY(logged().contains("JA1QRP"));

        // The log goes out as ADIF and comes back without doubling.
        withDialog(command(*w, "&File", "Export ADIF"), [&](QDialog* d) { typeName(d, adif); });
        QVERIFY(QFile::exists(adif));
        withDialog(command(*w, "&File", "Import ADIF"), [&](QDialog* d) { typeName(d, adif); });
        withDialog(command(*w, "&File", "Merge"), [](QDialog* d) { d->reject(); });
        QCOMPARE(logged().count('\n'), 1);

        // The search shows the contact.
        QString qthColumn;
        withDialog(command(*w, "&File", "&Search in logfile..."), [&](QDialog* d) {
            qthColumn = d->findChild<QTableView*>()->model()->headerData(7, Qt::Horizontal).toString();
            d->reject();
        });
        QCOMPARE(qthColumn, QStringLiteral("QTH"));

        // Macro 0, read back from the file, fires from F1 into the transmit
        // pane with the operator's call filled in.
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(w->txView()->toPlainText(), QStringLiteral("CQ CQ de VK2XYZ k"));

        QVERIFY(w->close());
        w.reset();

        // What the user did is in the settings file.
        QSettings ini(Settings::path(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("Personal data/call")).toString(), QStringLiteral("VK2XYZ"));
        QCOMPARE(ini.value(QStringLiteral("Personal data/name")).toString(), QStringLiteral("Sam"));
        QCOMPARE(ini.value(QStringLiteral("Audio/Input/SampleRate")).toInt(), 12000);
        QCOMPARE(ini.value(QStringLiteral("Audio/Input/ppm")).toInt(), -20);
        QCOMPARE(ini.value(QStringLiteral("Macros/Macros 0/text")).toString(), QStringLiteral("CQ CQ de <MYCALL> k"));
        QCOMPARE(ini.value(QStringLiteral("RxFq")).toDouble(), 1000.0);
        QCOMPARE(ini.value(QStringLiteral("Receiver")).toString(), QStringLiteral("sensitive"));
        QCOMPARE(ini.value(QStringLiteral("LogBar/band")).toString(), QStringLiteral("40m"));
    }
};

QTEST_MAIN(TestFirstHour)
#include "tst_firsthour.moc"
