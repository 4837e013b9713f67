// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Choosing the push-to-talk port number in its dialog.

#include "rig/selectportdlg.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

class TestSelectPortDialog : public QObject
{
    Q_OBJECT

private slots:
    void showsTheCurrentNumber()
    {
        SelectPortDlg dialog(7);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Select port"));
        QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit")->text(), QStringLiteral("7"));
        QCOMPARE(dialog.port(), 7);
    }

    void typedNumber_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("port");
        QTest::newRow("leading zeros are decimal") << "010" << true << 10;
        QTest::newRow("letters are refused") << "a2b" << true << 2;
        QTest::newRow("no more than three digits") << "12345" << true << 123;
        QTest::newRow("empty field") << "" << true << 0;
        QTest::newRow("cancelled") << "4" << false << 4;
    }

    void typedNumber()
    {
        QFETCH(QString, typed);
        QFETCH(bool, ok);
        QFETCH(int, port);
        SelectPortDlg dialog(1);
        dialog.show();
        auto* field = dialog.findChild<QLineEdit*>("lineEdit");
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, typed);
        auto* buttons = dialog.findChild<QDialogButtonBox*>("buttonBox");
        QTest::mouseClick(buttons->button(ok ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel),
                          Qt::LeftButton);
        QCOMPARE(dialog.result(), ok ? int(QDialog::Accepted) : int(QDialog::Rejected));
        if (ok)
            QCOMPARE(dialog.port(), port);
    }
};

QTEST_MAIN(TestSelectPortDialog)
#include "tst_selectportdialog.moc"
