// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The QSO entry bar: its band box, its fields and the clear button.
#include "core/settings.h"
#include "logbook/logbar.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QLineEdit>
#include <QToolButton>
#include <QtTest>

class TestLogBar : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void init() { Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini"))); }

    void bandsAreListedByFrequency()
    {
        // Two bands on one frequency give two equal entries.
        LogBar bar(BandTable::Table{{"b", 3580.0}, {"c", 1838.0}, {"a", 3580.0}});
        QStringList entries;
        for (int i = 0; i < bar.bandBox()->count(); ++i)
            entries << bar.bandBox()->itemText(i);
        QCOMPARE(entries, QStringList({"c", "a", "a"}));
        QCOMPARE(bar.band(), QStringLiteral("c"));
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
        QTest::mouseClick(bar.saveButton(), Qt::LeftButton); // saving belongs to the window
        QCOMPARE(bar.call(), QStringLiteral("editCall!"));
        QTest::mouseClick(bar.clearButton(), Qt::LeftButton);
        for (const QString& name : names)
            QVERIFY2(bar.findChild<QLineEdit*>(name)->text().isEmpty(), qPrintable(name));
        QCOMPARE(bar.band(), QStringLiteral("20m"));
    }

    void theBandUsedLastComesBack()
    {
        LogBar(BandTable::builtIn()).bandBox()->setCurrentIndex(4);
        QCOMPARE(LogBar(BandTable::builtIn()).band(), QStringLiteral("20m"));
        QCOMPARE(LogBar(BandTable::Table{{"40m", 7070.0}, {"80m", 3580.0}}).band(), QStringLiteral("80m"));
    }
};

QTEST_MAIN(TestLogBar)
#include "tst_logbar.moc"
