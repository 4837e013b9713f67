// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The QSO entry bar: its band box, its fields and the clear button.

#include "log/logbar.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

class TestLogBar : public QObject
{
    Q_OBJECT

    static QStringList entries(const LogBar& bar)
    {
        QStringList list;
        for (int i = 0; i < bar.bandBox()->count(); ++i)
            list << bar.bandBox()->itemText(i);
        return list;
    }

private slots:
    void bandsAreListedByFrequency()
    {
        LogBar builtIn(BandTable::builtIn());
        QCOMPARE(entries(builtIn), QStringList({"160m", "80m", "40m", "30m", "20m", "17m", "15m", "12m", "10m", "6m", "2m"}));
        QCOMPARE(builtIn.band(), QStringLiteral("160m"));

        // Two bands on one frequency give two equal entries.
        LogBar shared(BandTable::Table{{"b", 3580.0}, {"c", 1838.0}, {"a", 3580.0}});
        QCOMPARE(entries(shared), QStringList({"c", "a", "a"}));
    }

    void fieldsReadWhatWasTypedAndClearKeepsTheBand()
    {
        LogBar bar(BandTable::builtIn());
        bar.show();
        const QStringList names = {"editCall", "editName", "editQHT", "editRecv", "editSent", "editNotes"};
        for (const QString& name : names)
            QTest::keyClicks(bar.findChild<QLineEdit*>(name), name + QStringLiteral("!"));
        bar.bandBox()->setCurrentIndex(4);
        QCOMPARE(QStringList({bar.call(), bar.name(), bar.qth(), bar.received(), bar.sent(), bar.notes()}),
                 QStringList({"editCall!", "editName!", "editQHT!", "editRecv!", "editSent!", "editNotes!"}));
        QCOMPARE(bar.band(), QStringLiteral("20m"));
        bar.setReceived(QStringLiteral("559"));
        QCOMPARE(bar.received(), QStringLiteral("559"));

        // Saving and searching belong to the window: they leave the fields.
        QTest::mouseClick(bar.saveButton(), Qt::LeftButton);
        QTest::mouseClick(bar.searchButton(), Qt::LeftButton);
        QCOMPARE(bar.call(), QStringLiteral("editCall!"));

        QTest::mouseClick(bar.clearButton(), Qt::LeftButton);
        for (const QString& name : names)
            QVERIFY2(bar.findChild<QLineEdit*>(name)->text().isEmpty(), qPrintable(name));
        QCOMPARE(bar.band(), QStringLiteral("20m"));
    }
};

QTEST_MAIN(TestLogBar)
#include "tst_logbar.moc"
