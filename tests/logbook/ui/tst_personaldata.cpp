// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The operator's own data: kept in the settings, edited in its dialog.
#include "core/settings.h"
#include "logbook/personaldatadlg.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestPersonalData : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init()
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentDataTag())));
        PersonalData data;
        QCOMPARE(data.rst, QStringLiteral("599")); // fresh settings
        data.call = QStringLiteral("dk2xy");
        data.rst = QStringLiteral("339");
        data.info = QStringLiteral("IC-7300");
    }

    void edit_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("rst");
        QTest::newRow("ok") << int(QDialogButtonBox::Ok) << "OE3ABC/P" << "Franz" << "599";
        QTest::newRow("cancel") << int(QDialogButtonBox::Cancel) << "dk2xy" << "" << "339";
    }
    void edit()
    {
        QFETCH(int, button);
        PersonalData result;
        {
            const PersonalData stored;
            PersonalDataDlg dialog(stored);
            dialog.show();
            auto* callEdit = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditCall"));
            QCOMPARE(callEdit->text(), QStringLiteral("DK2XY"));
            callEdit->clear();
            QTest::keyClicks(callEdit, QStringLiteral(" oe3abc/p "));
            dialog.findChild<QLineEdit*>(QStringLiteral("lineEditName"))->setText(QStringLiteral("Franz"));
            QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::StandardButton(button)),
                              Qt::LeftButton);
            result = dialog.data();
        }
        QTEST(result.call, "call");
        QTEST(result.name, "name");
        QTEST(result.rst, "rst");
        QCOMPARE(result.info, QStringLiteral("IC-7300"));
        const PersonalData reloaded;
        if (button == QDialogButtonBox::Cancel) // every copy written back on the way out held the old values
            QCOMPARE(QStringList({reloaded.call, reloaded.name, reloaded.rst}), QStringList({"dk2xy", "", "339"}));
    }
};

QTEST_MAIN(TestPersonalData)
#include "tst_personaldata.moc"
