// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A whole contact from the keyboard alone, on a virtual sound card: the
// receiver is tuned by typing, CQ goes out with F1 and is stopped with Esc,
// the other station's call, name and QTH are typed into the log bar (which
// says it was worked before), the report goes out with F3, free text with
// Ctrl+T, the QSO is logged with Alt+A and the contact ends with 73 on F5.

#include "tests/app/windowfolder.h"
#include "tests/audio/virtualsoundcard.h"

#include <QAbstractSpinBox>

using namespace WindowTest;

class TestKeyboardQso : public QObject
{
    Q_OBJECT

    VirtualSoundCard m_card;
    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void initTestCase() { VIRTUAL_SOUND_CARD_OR_SKIP(m_card); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
        store({{"Audio/Input/Name", "pulse"}, {"Audio/Output/Name", "pulse"}, {"RxTx/mode", "BPSK250"} /* short overs */,
               {"echo", true}, {"Personal data/call", "VK2XYZ"}, {"Personal data/name", "Sam"}, {"Personal data/qth", "Sydney"}});
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
        withDialog([&] { key(Qt::Key_F, Qt::ControlModifier); }, [](QDialog* d) {
            auto* spin = d->findChild<QAbstractSpinBox*>();
            QTest::keyClick(spin, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(spin, QStringLiteral("1200"));
            QTest::keyClick(spin, Qt::Key_Return);
        });
        double rx = 0.0, tx = 0.0;
        w->modem()->GetFrequencies(&rx, &tx);
        QCOMPARE(rx, 1200.0);
        QCOMPARE(tx, 1200.0);

        // CQ with F1 (the first start's macros); Esc stops it at once and drops the rest.
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
        withDialog([&] { key(Qt::Key_A, Qt::AltModifier); }, [](QDialog* d) {
            QVERIFY(qobject_cast<QMessageBox*>(d)->informativeText().contains(QStringLiteral("anyway")));
            QTest::keyClick(d, Qt::Key_Escape);
        });
        QCOMPARE(CHamLog(w->logFileName()).search(QStringLiteral("JA1QRP")).size(), 1);

        // F3: the report (asked for, Enter takes 599) and the name go out.
        withDialog([&] { key(Qt::Key_F3); }, [](QDialog* d) { QTest::keyClick(d, Qt::Key_Return); });
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
