// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/editmacrodlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// The macro editor: caption, tag list, inserting tags, OK and Cancel.
class TestMacroEditor : public QObject
{
    Q_OBJECT

private slots:
    void showsTheMacroOfItsKey_data();
    void showsTheMacroOfItsKey();
    void doubleClickInsertsTheTag();
    void okTakesTheEditCancelDoesNot_data();
    void okTakesTheEditCancelDoesNot();
};

void TestMacroEditor::showsTheMacroOfItsKey_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("caption");
    QTest::newRow("F1") << 0 << "Label for F1";
    QTest::newRow("F12") << 11 << "Label for F12";
    QTest::newRow("Ctrl-F5") << 16 << "Label for Ctrl-F5";
    QTest::newRow("Ctrl-F12") << 23 << "Label for Ctrl-F12";
}

void TestMacroEditor::showsTheMacroOfItsKey()
{
    QFETCH(int, index);
    QFETCH(QString, caption);
    EditMacroDlg dlg(SMacro{index, QStringLiteral("CQ"), QStringLiteral("CQ de <MYCALL>\npse k")});
    QCOMPARE(dlg.findChild<QLabel*>(QStringLiteral("label"))->text(), caption);
    QCOMPARE(dlg.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->text(), QStringLiteral("CQ"));
    QCOMPARE(dlg.findChild<QPlainTextEdit*>()->toPlainText(), QStringLiteral("CQ de <MYCALL>\npse k"));
    auto* list = dlg.findChild<QListWidget*>();
    QCOMPARE(list->count(), 17);
    QCOMPARE(list->item(9)->text(), QString(31, QLatin1Char('-')));
    QCOMPARE(list->item(16)->text(), QStringLiteral("<DATE> - insert current date"));
}

void TestMacroEditor::doubleClickInsertsTheTag()
{
    EditMacroDlg dlg(SMacro{0, QString(), QStringLiteral("ur , ok")});
    dlg.show();
    auto* text = dlg.findChild<QPlainTextEdit*>();
    QTextCursor cursor = text->textCursor();
    cursor.setPosition(3);
    text->setTextCursor(cursor);
    auto* list = dlg.findChild<QListWidget*>();
    for (int row : {8, 9}) { // "<NOTES> - QSO notes", then the separator
        const QPoint at = list->visualItemRect(list->item(row)).center();
        // As a mouse gives it: a click, then the second press.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    }
    QCOMPARE(text->toPlainText(), QStringLiteral("ur <NOTES>, ok"));
}

void TestMacroEditor::okTakesTheEditCancelDoesNot_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("taken");
    QTest::newRow("OK") << int(QDialogButtonBox::Ok) << true;
    QTest::newRow("Cancel") << int(QDialogButtonBox::Cancel) << false;
}

void TestMacroEditor::okTakesTheEditCancelDoesNot()
{
    QFETCH(int, button);
    QFETCH(bool, taken);
    const SMacro original{16, QStringLiteral("old"), QStringLiteral("old text")};
    const SMacro edited{16, QStringLiteral("QRZ"), QStringLiteral("QRZ?\nde <MYCALL>")};
    EditMacroDlg dlg(original);
    dlg.show();
    dlg.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(edited.label);
    dlg.findChild<QPlainTextEdit*>()->setPlainText(edited.text);
    QTest::mouseClick(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::StandardButton(button)),
                      Qt::LeftButton);
    QCOMPARE(dlg.result(), taken ? int(QDialog::Accepted) : int(QDialog::Rejected));
    QCOMPARE(dlg.macro(), taken ? edited : original);
}

QTEST_MAIN(TestMacroEditor)
#include "tst_macroeditor.moc"
