// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound card dialog on made-up device tables: what Ok takes and refuses.

#include "core/settings.h"
#include "audio/soundcarddlg.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestSoundCardDialog : public QObject
{
    Q_OBJECT

private slots:
    void okTakesUsableChoicesOnly_data()
    {
        QTest::addColumn<QString>("typed"); // null: field untouched
        QTest::addColumn<int>("rxPpm");
        QTest::addColumn<QList<int>>("taken"); // input, output, rate; empty: refused
        QTest::newRow("unchanged") << QString() << 0 << QList<int>{0, 4, 11025};
        QTest::newRow("highest rate, 15 ppm fast") << "64249" << 15 << QList<int>{0, 4, 64249};
        QTest::newRow("16 ppm fast at the top") << "64249" << 16 << QList<int>();
        QTest::newRow("half-typed 8000") << "8" << 0 << QList<int>();
    }
    void okTakesUsableChoicesOnly()
    {
        QFETCH(QString, typed);
        QFETCH(int, rxPpm);
        QFETCH(QList<int>, taken);
        QTemporaryDir dir;
        Settings::setPath(dir.filePath(QStringLiteral("Velkora32.ini")));
        // Indices with gaps, as PortAudio's; the devices in use are not listed.
        SoundCardDlg dialog({{0, {"HDA Intel PCH", 2, 2}}, {7, {"pulse", 2, 2}}},
                            {{4, {"USB Audio CODEC: Lautsprecher \u00dc", 2, 2}}, {7, {"pulse", 2, 2}}}, 12, 1, 11025);
        dialog.show();
        QVERIFY(!dialog.findChild<QComboBox*>(QStringLiteral("comboBoxType"))->isVisible()); // no choice to offer
        dialog.setRxPpm(rxPpm);
        dialog.setTxPpm(100); // the transmit correction does not count against the limit
        if (!typed.isNull())
            dialog.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(typed);
        for (auto* box : dialog.findChildren<QComboBox*>(QRegularExpression(QStringLiteral("^comboBox(In|Out)put$"))))
            box->setCurrentIndex(1), box->setCurrentIndex(0); // "pulse", then the first one listed
        QMetaObject::invokeMethod(&dialog, "accept");
        auto* box = dialog.findChild<QMessageBox*>();
        QCOMPARE(std::pair(dialog.isVisible(), box && box->isVisible()), std::pair(taken.isEmpty(), taken.isEmpty()));
        auto* rate = dialog.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
        if (taken.isEmpty()) // a refused rate has the focus and stands selected, to be typed over
            QVERIFY(dialog.focusWidget() == rate && rate->selectedText() == rate->text());
        QCOMPARE(Settings().contains(QStringLiteral("Audio/type")), !taken.isEmpty());
        if (!taken.isEmpty())
            QCOMPARE((QList<int>{dialog.inputDevice(), dialog.outputDevice(), dialog.sampleRate()}), taken);
    }
};

QTEST_MAIN(TestSoundCardDialog)
#include "tst_soundcarddialog.moc"
