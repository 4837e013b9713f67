// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The QSO entry bar's band box: ordered by frequency, back on the band used last.
#include "core/settings.h"
#include "logbook/logbar.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>

class TestLogBar : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void bandBox()
    {
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
        LogBar(BandTable::builtIn()).bandBox()->setCurrentIndex(4);
        QCOMPARE(LogBar(BandTable::builtIn()).band(), QStringLiteral("20m"));
        LogBar bar(BandTable::Table{{"b", 3580.0}, {"c", 1838.0}, {"a", 3580.0}}); // 20m is not there
        QStringList entries;
        for (int i = 0; i < bar.bandBox()->count(); ++i)
            entries << bar.bandBox()->itemText(i);
        QCOMPARE(entries, QStringList({"c", "a", "a"})); // two bands on one frequency: two equal entries
        QCOMPARE(bar.band(), QStringLiteral("c"));
    }
};

QTEST_MAIN(TestLogBar)
#include "tst_logbar.moc"
