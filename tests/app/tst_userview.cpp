// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window as the user meets it, with no sound card: the function keys
// and the macro buttons, the status bar and its clock, the rig dialog, and
// the rig's dial and keying.

#include "app/statuspanetime.h"
#include "display/spectrumtitlebar.h"
#include "rig/hamlibrig.h"
#include "rig/rigcontrol.h"
#include "rig/rigcontroldlg.h"
#include "tests/app/windowfolder.h"

#include <tuple>

class TestUserView : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
    }

    // F1 to F12 send macros 0 to 11, Ctrl+F1 to Ctrl+F12 macros 12 to 23,
    // each its own, and every button shows its macro's label. The status bar
    // holds the Tx and Rx fields, the date, the clock and the display
    // controls, and the clock runs.
    void functionKeysButtonsAndStatusBar()
    {
        QVariantMap macros;
        for (int i = 0; i < 24; ++i) {
            macros[QStringLiteral("Macros/Macros %1/label").arg(i)] = QStringLiteral("L%1").arg(i);
            macros[QStringLiteral("Macros/Macros %1/text").arg(i)] = QStringLiteral("macro %1 ").arg(i);
        }
        WindowTest::store(macros);
        auto w = std::make_unique<MainWindow>();
        w->show();
        QApplication::setActiveWindow(w.get());
        QTRY_VERIFY(w->isActiveWindow());
        for (int i = 0; i < 24; ++i) {
            auto* button = w->controlBar()->findChild<QPushButton*>(QStringLiteral("pushButton_%1").arg(i + 1));
            QCOMPARE(button ? button->text() : QString(),
                     QStringLiteral("%1F%2 L%3").arg(i < 12 ? "" : "^").arg(i % 12 + 1).arg(i));
            w->txView()->clear();
            QTest::keyClick(w.get(), Qt::Key(Qt::Key_F1 + i % 12), i < 12 ? Qt::NoModifier : Qt::ControlModifier);
            QCOMPARE(w->txView()->toPlainText(), QStringLiteral("macro %1 ").arg(i));
        }
        const QList<QWidget*> fields{w->txLabel(), w->rxLabel(), w->dateLabel(), w->clock(), w->titleBar()};
        for (QWidget* field : fields)
            QVERIFY(field && w->statusBar()->isAncestorOf(field) && field->isVisible());
        QVERIFY(w->txLabel()->text().contains(QStringLiteral("Tx: 1000.00")));
        QVERIFY(w->rxLabel()->text().contains(QStringLiteral("Rx: 1000.00")));
        const QString first = w->clock()->text();
        QTRY_VERIFY_WITH_TIMEOUT(w->clock()->text() != first, 3000);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const int off = std::abs(QTime::fromString(w->clock()->text(), QStringLiteral("hh:mm:ss")).secsTo(now.time()));
        QVERIFY2(off <= 2 || off >= 86398, qPrintable(w->clock()->text()));
        QVERIFY(w->dateLabel()->text() == now.toString(QStringLiteral("dd.MM.yyyy")) || off > 2);
    }

    // What the rig dialog shows is what was stored, and Ok keeps it.
    void rigDialogShowsWhatItStored()
    {
        RigConfig cat, line;
        cat.model = RigConfig::kNetwork;
        cat.port = 4600;
        cat.ptt = RigConfig::Ptt::Cat;
        line.model = 3073; // IC-7300
        line.device = QStringLiteral("/dev/ttyUSB0");
        line.baudRate = 19200;
        line.ptt = RigConfig::Ptt::HamlibLine;
        line.pttDtr = true;
        line.pttDevice = QStringLiteral("/dev/ttyS1");
        for (const RigConfig& c : {RigConfig(), cat, line}) {
            c.save();
            QVERIFY(RigConfig::load() == c);
            QVERIFY(RigControlDlg(RigConfig::load(), HamlibRig::models()).config() == c);
        }
    }

    // Hamlib's dummy rig in this process: its dial and mode reach the status
    // bar and the band box, and keying it is confirmed. A rigctld that is
    // not there refuses keying, with the reason.
    void rigInTheWindow()
    {
        WindowTest::store({{"Rig/Model", RigConfig::kDummy}, {"Rig/Ptt", "Cat"}});
        auto w = std::make_unique<MainWindow>();
        QTRY_COMPARE_WITH_TIMEOUT(w->rig()->status().link, RigStatus::Link::Up, 15000);
        for (const auto& [hz, mode, text, band] : {std::tuple{14070000, "USB", "14.070.000 USB", "20m"},
                                                   std::tuple{7040000, "LSB", "7.040.000 LSB", "40m"}}) {
            w->rig()->tune(hz, QLatin1String(mode));
            QTRY_COMPARE_WITH_TIMEOUT(w->rigLabel()->text(), QLatin1String(text), 15000);
            QVERIFY(!w->rigLabel()->isHidden());
            QCOMPARE(w->logBar()->band(), QLatin1String(band));
        }
        QString why;
        QVERIFY(w->rig()->pttUp(&why) != RigControl::PttStart::Refused);
        QTRY_VERIFY_WITH_TIMEOUT(w->rig()->status().ptt, 15000);
        w->rig()->pttDown();
        QTRY_VERIFY_WITH_TIMEOUT(!w->rig()->status().ptt, 15000);
        w.reset();

        WindowTest::store({{"Rig/Model", RigConfig::kNetwork}, {"Rig/Port", 1}}); // tcpmux, a privileged port nobody serves
        RigControl rig([](bool) {});
        QTRY_COMPARE_WITH_TIMEOUT(rig.status().link, RigStatus::Link::Down, 15000);
        QVERIFY(rig.pttUp(&why) == RigControl::PttStart::Refused && !why.isEmpty());
    }
};

QTEST_MAIN(TestUserView)
#include "tst_userview.moc"
