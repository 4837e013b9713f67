// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The operator's own data: kept in the settings, edited in its dialog.

#include "app/settings.h"
#include "log/personaldatadlg.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class TestPersonalData : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    // Runs the dialog on the stored data: types call and name, then presses button.
    static PersonalData edit(const QString& call, const QString& name, QDialogButtonBox::StandardButton button)
    {
        const PersonalData stored;
        PersonalDataDlg dialog(stored);
        dialog.show();
        auto* callEdit = dialog.findChild<QLineEdit*>(QStringLiteral("lineEditCall"));
        callEdit->clear();
        QTest::keyClicks(callEdit, call);
        dialog.findChild<QLineEdit*>(QStringLiteral("lineEditName"))->setText(name);
        QTest::mouseClick(dialog.findChild<QDialogButtonBox*>()->button(button), Qt::LeftButton);
        return dialog.data();
    }

private slots:
    void init() { Settings::setPath(m_dir.filePath(QStringLiteral("%1.ini").arg(QTest::currentTestFunction()))); }

    void okTakesTheCallInUpperCaseAndResetsTheReport()
    {
        {
            PersonalData data;
            QCOMPARE(data.rst, QStringLiteral("599")); // fresh settings
            data.call = QStringLiteral("dk2xy");
            data.rst = QStringLiteral("339");
            data.info = QStringLiteral("IC-7300");
        }
        {
            const PersonalData stored;
            QCOMPARE(PersonalDataDlg(stored).findChild<QLineEdit*>(QStringLiteral("lineEditCall"))->text(),
                     QStringLiteral("DK2XY"));
        }
        const PersonalData taken = edit(QStringLiteral(" oe3abc/p "), QStringLiteral("Franz"), QDialogButtonBox::Ok);
        QCOMPARE(taken.call, QStringLiteral("OE3ABC/P"));
        QCOMPARE(taken.name, QStringLiteral("Franz"));
        QCOMPARE(taken.rst, QStringLiteral("599"));
        QCOMPARE(taken.info, QStringLiteral("IC-7300"));
    }

    void cancelChangesNothing()
    {
        {
            PersonalData data;
            data.call = QStringLiteral("dk2xy");
            data.rst = QStringLiteral("339");
        }
        const PersonalData kept = edit(QStringLiteral("XX9XX"), QStringLiteral("Nobody"), QDialogButtonBox::Cancel);
        QCOMPARE(kept.call, QStringLiteral("dk2xy"));
        QVERIFY(kept.name.isEmpty());
        // Every copy written back on the way out held the old values.
        const PersonalData reloaded;
        QCOMPARE(reloaded.call, QStringLiteral("dk2xy"));
        QCOMPARE(reloaded.rst, QStringLiteral("339"));
        QVERIFY(reloaded.name.isEmpty());
    }
};

QTEST_MAIN(TestPersonalData)
#include "tst_personaldata.moc"
