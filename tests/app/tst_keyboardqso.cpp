// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A whole contact from the keyboard alone, on a virtual sound card: the
// receiver is tuned by typing, CQ goes out with F1 and is stopped with Esc,
// the other station's call, name and QTH are typed into the log bar (which
// says it was worked before), the report goes out with F3, free text with
// Ctrl+T, the QSO is logged with Alt+A and the contact ends with 73 on F5.

#include "app/mainwindow.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "logbook/hamlog.h"
#include "logbook/logbar.h"
#include "modem/psktxrx.h"
#include "tests/app/windowfolder.h"
#include "tests/audio/virtualsoundcard.h"
#include "text/controlbarex.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class TestKeyboardQso : public QObject
{
    Q_OBJECT

    VirtualSoundCard m_card;
    std::unique_ptr<QTemporaryDir> m_dir;

    // Presses key on the window, then answers the modal dialog it opens with
    // keys only.
    static void keyThenDialog(QWidget* w, const std::function<void()>& press, const std::function<void(QWidget*)>& answer)
    {
        bool answered = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, w, [&] {
            if (QWidget* d = QApplication::activeModalWidget(); d && !answered) {
                answered = true;
                answer(d);
            }
        });
        poll.start(20);
        press();
        QTRY_VERIFY_WITH_TIMEOUT(answered, 5000);
        QTRY_VERIFY(!QApplication::activeModalWidget());
        // The offscreen platform gives the focus back to no one.
        QApplication::setActiveWindow(w);
        QTRY_VERIFY(w->isActiveWindow());
    }

    static QLineEdit* field(MainWindow& w, const char* name) { return w.logBar()->findChild<QLineEdit*>(name); }

private slots:
    void initTestCase() { VIRTUAL_SOUND_CARD_OR_SKIP(m_card); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
        Settings s;
        s.setValue(QStringLiteral("Audio/Input/Name"), QStringLiteral("pulse"));
        s.setValue(QStringLiteral("Audio/Output/Name"), QStringLiteral("pulse"));
        s.setValue(QStringLiteral("RxTx/mode"), QStringLiteral("BPSK250")); // short overs
        s.setValue(QStringLiteral("echo"), true);
        s.setValue(QStringLiteral("Personal data/call"), QStringLiteral("VK2XYZ"));
        s.setValue(QStringLiteral("Personal data/name"), QStringLiteral("Sam"));
        s.setValue(QStringLiteral("Personal data/qth"), QStringLiteral("Sydney"));
        StationState::setTransmitting(false);
    }

    void wholeQsoFromTheKeyboard()
    {
        auto w = std::make_unique<MainWindow>();
        QVERIFY(w->startedOk());
        // A contact from last year: the log bar will say so.
        CQsoData old;
        old.clear();
        old.call = QStringLiteral("JA1QRP");
        old.start = QDateTime(QDate(2025, 3, 1), QTime(14, 5), Qt::UTC);
        old.mode = QStringLiteral("BPSK31");
        QVERIFY(CHamLog(w->logFileName()).append(old));
        w->show();
        QApplication::setActiveWindow(w.get());
        QTRY_VERIFY(w->isActiveWindow());
        w->txView()->setFocus();
        const auto key = [&w](Qt::Key k, Qt::KeyboardModifiers m = Qt::NoModifier) {
            QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : w.get(), k, m);
        };

        // Tune: Ctrl+F, type the frequency, Enter.
        keyThenDialog(w.get(), [&] { key(Qt::Key_F, Qt::ControlModifier); }, [](QWidget* d) {
            auto* spin = d->findChild<QAbstractSpinBox*>();
            QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(spin, QStringLiteral("1200"));
            QTest::keyClick(spin, Qt::Key_Return);
        });
        double rx = 0.0, tx = 0.0;
        w->modem()->GetFrequencies(&rx, &tx);
        QCOMPARE(rx, 1200.0);
        QCOMPARE(tx, 1200.0);

        // The first start's macros: F1 is CQ.
        auto* f1 = w->controlBar()->findChild<QPushButton*>(QStringLiteral("pushButton_1"));
        QCOMPARE(f1->text(), QStringLiteral("F1 CQ"));

        // CQ with F1; Esc stops it at once and drops the rest.
        QPushButton* txButton = w->txButton();
        key(Qt::Key_F1);
        QVERIFY(StationState::isTransmitting() && w->isOutputActive());
        QVERIFY(txButton->isChecked());
        QCOMPARE(txButton->text(), QStringLiteral("TX"));
        key(Qt::Key_Escape);
        QVERIFY(!w->isOutputActive() && !StationState::isTransmitting());
        QVERIFY(!txButton->isChecked());
        QCOMPARE(w->txView()->toPlainText().trimmed(), QString()); // the rest of the CQ is dropped

        // JA1QRP answers: call (Alt+C), name and QTH typed into the log bar.
        key(Qt::Key_C, Qt::AltModifier);
        QCOMPARE(QApplication::focusWidget(), field(*w, "editCall"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("ja1qrp"));
        QVERIFY2(w->workedLabel()->text().contains(QStringLiteral("1")), qPrintable(w->workedLabel()->text()));
        QVERIFY(w->workedLabel()->toolTip().contains(QStringLiteral("2025-03-01 14:05 UTC")));
        key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Taro"));
        key(Qt::Key_Tab);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Tokyo"));
        QCOMPARE(field(*w, "editName")->text(), QStringLiteral("Taro"));
        QCOMPARE(field(*w, "editQHT")->text(), QStringLiteral("Tokyo"));

        // Logging before any report asks first; Esc answers "not now".
        keyThenDialog(w.get(), [&] { key(Qt::Key_A, Qt::AltModifier); }, [](QWidget* d) {
            QVERIFY(qobject_cast<QMessageBox*>(d)->informativeText().contains(QStringLiteral("anyway")));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(CHamLog(w->logFileName()).search(QStringLiteral("JA1QRP")).size(), 1);

        // F3: the report (asked for, Enter takes 599) and the name go out.
        keyThenDialog(w.get(), [&] { key(Qt::Key_F3); }, [](QWidget* d) { QTest::keyClick(d, Qt::Key_Return); });
        QCOMPARE(field(*w, "editSent")->text(), QStringLiteral("599"));
        QVERIFY(StationState::isTransmitting());
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 90000); // real time, on a busy machine slower
        QVERIFY(w->rxView()->toPlainText().contains(QStringLiteral("Your RST is 599 599.")));
        QVERIFY(!txButton->isChecked());

        // Free text: typed, Ctrl+T sends it, Ctrl+T again returns to receive
        // once it is out.
        w->txView()->setFocus();
        QTest::keyClicks(w->txView(), QStringLiteral("fb Taro, tnx"));
        key(Qt::Key_T, Qt::ControlModifier);
        QVERIFY(txButton->isChecked());
        key(Qt::Key_T, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 90000); // real time, on a busy machine slower
        QVERIFY(w->rxView()->toPlainText().contains(QStringLiteral("fb Taro, tnx")));

        // Alt+A logs it now that a report is there; the bar counts it.
        key(Qt::Key_A, Qt::AltModifier);
        const QList<CQsoData> logged = CHamLog(w->logFileName()).search(QStringLiteral("JA1QRP"));
        QCOMPARE(logged.size(), 2);
        QCOMPARE(logged.last().name, QStringLiteral("Taro"));
        QCOMPARE(logged.last().sent, QStringLiteral("599"));
        QCOMPARE(logged.last().mode, QStringLiteral("BPSK250"));
        QVERIFY(w->workedLabel()->text().contains(QStringLiteral("2")));

        // 73 on F5, back to receive at its end.
        key(Qt::Key_F5);
        QVERIFY(txButton->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(!StationState::isTransmitting(), 90000); // real time, on a busy machine slower
        QVERIFY(w->rxView()->toPlainText().contains(QStringLiteral("Thanks for the QSO Taro, 73")));
        QVERIFY(!txButton->isChecked());
        w->close();
    }
};

QTEST_MAIN(TestKeyboardQso)
#include "tst_keyboardqso.moc"
