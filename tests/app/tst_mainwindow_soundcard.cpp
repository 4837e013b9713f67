// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The sound card command in the main window: settings, streams, transceiver and waterfall (no sound card).
#include "app/mainwindow.h"
#include "core/settings.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "audio/soundcarddlg.h"
#include "display/spectrumwidget.h"
#include "modem/pskrxalgorithms.h"
#include "modem/psktxrx.h"
#include "tests/app/windowfolder.h"

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class TestMainWindowSoundCard : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_w;

    // Opens the dialog on a fresh window and works it with act.
    void runSoundCard(const std::function<void(SoundCardDlg&)>& act)
    {
        if (!m_w) {
            m_w = std::make_unique<MainWindow>();
            m_w->show();
        }
        bool seen = false;
        QTimer::singleShot(0, m_w.get(), [&] {
            if (auto* d = qobject_cast<SoundCardDlg*>(QApplication::activeModalWidget())) {
                seen = true;
                act(*d);
                if (d->isVisible())
                    d->reject();
            }
        });
        m_w->slotSoundCard();
        QVERIFY2(seen, "the sound card dialog did not open");
    }
    static QLineEdit* rateField(SoundCardDlg& d) { return d.findChild<QLineEdit*>(QStringLiteral("lineEdit")); }
    static QDoubleSpinBox* ppm(SoundCardDlg& d, const char* dir)
    {
        return d.findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBox") + dir);
    }
    static void typeRate(SoundCardDlg& d, const QString& text)
    {
        rateField(d)->selectAll();
        QTest::keyClick(rateField(d), Qt::Key_Delete);
        QTest::keyClicks(rateField(d), text);
    }
    static void click(SoundCardDlg& d, const char* button)
    {
        QTest::mouseClick(d.findChild<QPushButton*>(button), Qt::LeftButton);
    }
    static QVariant stored(const char* key) { return Settings().value(QLatin1String(key)); }
    void closeWindow()
    {
        m_w->close();
        m_w.reset();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
    }
    void cleanup() { m_w.reset(); }

    void okWithoutChangesKeepsStreamsAndWritesPpm_data()
    {
        QTest::addColumn<int>("rxPpm");
        QTest::addColumn<int>("txPpm");
        QTest::newRow("fresh settings") << 0 << 0;
        QTest::newRow("stored corrections") << -3 << 5;
    }
    void okWithoutChangesKeepsStreamsAndWritesPpm()
    {
        QFETCH(int, rxPpm);
        QFETCH(int, txPpm);
        if (rxPpm || txPpm) {
            Settings().setValue(QStringLiteral("Audio/Input/ppm"), rxPpm);
            Settings().setValue(QStringLiteral("Audio/Output/ppm"), txPpm);
        }
        QStringList shown;
        runSoundCard([&](SoundCardDlg& d) {
            shown << rateField(d)->text() << QString::number(ppm(d, "RX")->value())
                  << QString::number(ppm(d, "TX")->value());
            click(d, "pushButtonOk");
        });
        QCOMPARE(shown, QStringList({"11025", QString::number(rxPpm), QString::number(txPpm)}));
        QCOMPARE(m_w->statusBar()->currentMessage(), QStringLiteral("Accepted"));
        QVERIFY(stored("Audio/Input/ppm").isValid() && stored("Audio/Output/ppm").isValid());
        QCOMPARE(QList<int>({stored("Audio/Input/ppm").toInt(), stored("Audio/Output/ppm").toInt()}),
                 QList<int>({rxPpm, txPpm}));
        QCOMPARE(m_w->soundCardStreamChanges().inputRestarted, 0);
        QCOMPARE(m_w->soundCardStreamChanges().outputReopened, 0);
        QVERIFY(qAbs(m_w->modem()->inputRate() - 11025 * (1 + rxPpm * 1e-6)) < 1e-6);
        QVERIFY(qAbs(m_w->modem()->outputRate() - 11025 * (1 + txPpm * 1e-6)) < 1e-6);
    }

    void rateChangeRestartsInputAndOnlyReopensIdleOutput()
    {
        runSoundCard([&](SoundCardDlg& d) {
            typeRate(d, QStringLiteral("12000"));
            click(d, "pushButtonOk");
        });
        const auto changes = [this] {
            const auto c = m_w->soundCardStreamChanges();
            return QList<int>{c.inputRestarted, c.outputReopened, c.outputRestarted};
        };
        QCOMPARE(changes(), QList<int>({1, 1, 0}));
        QVERIFY(!m_w->isOutputActive());
        QCOMPARE(m_w->audioIn()->sampleRate(), 12000);
        QCOMPARE(m_w->audioOut()->sampleRate(), 12000);
        runSoundCard([&](SoundCardDlg& d) { click(d, "pushButtonOk"); }); // same rate: nothing reopens
        QCOMPARE(changes(), QList<int>({1, 1, 0}));
        closeWindow();
        QCOMPARE(stored("Audio/Input/SampleRate").toInt(), 12000);
        QCOMPARE(stored("Audio/Output/SampleRate").toInt(), 12000);
    }

    void correctedClocksReachTransceiverAndWaterfall_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("rxPpm");
        QTest::addColumn<int>("txPpm");
        QTest::addColumn<double>("rxClock");
        QTest::addColumn<double>("txClock");
        QTest::addColumn<int>("halfRate");
        QTest::newRow("20 ppm slow receive") << 11025 << -20 << 0 << 11024.7795 << 11025.0 << 5512;
        QTest::newRow("truncated for the waterfall") << 12001 << -100 << 0 << 11999.7999 << 12001.0 << 5999;
        QTest::newRow("each direction its own") << 8000 << 50 << -30 << 8000.4 << 7999.76 << 4000;
    }
    void correctedClocksReachTransceiverAndWaterfall()
    {
        QFETCH(int, rate);
        QFETCH(int, rxPpm);
        QFETCH(int, txPpm);
        QFETCH(double, rxClock);
        QFETCH(double, txClock);
        runSoundCard([&](SoundCardDlg& d) {
            ppm(d, "RX")->setValue(rxPpm);
            ppm(d, "TX")->setValue(txPpm);
            typeRate(d, QString::number(rate));
            click(d, "pushButtonOk");
        });
        QVERIFY(qAbs(m_w->modem()->inputRate() - rxClock) < 1e-6);
        QVERIFY(qAbs(m_w->modem()->outputRate() - txClock) < 1e-6);
        QVERIFY(qAbs(m_w->modem()->rxDsp()->sampleRate() - rxClock) < 1e-6);
        QTEST(m_w->spectrum()->halfRate(), "halfRate");
    }

    void cancelOrUnusableRateChangesNothing_data()
    {
        QTest::addColumn<QString>("rate");
        QTest::newRow("cancel") << "48000";
        QTest::newRow("rate refused") << "8";
    }
    void cancelOrUnusableRateChangesNothing()
    {
        QFETCH(QString, rate);
        bool refused = false;
        runSoundCard([&](SoundCardDlg& d) {
            ppm(d, "RX")->setValue(-20);
            typeRate(d, rate);
            if (rate == "8") { // Ok on it: a message, and the dialog stays open
                click(d, "pushButtonOk");
                auto* box = d.findChild<QMessageBox*>();
                refused = box && box->isVisible() && d.isVisible();
                if (box)
                    box->close();
            }
            click(d, "pushButtonCancel");
        });
        QCOMPARE(refused, rate == "8");
        QCOMPARE(m_w->statusBar()->currentMessage(), QStringLiteral("Rejected"));
        QVERIFY(!stored("Audio/Input/ppm").isValid() && !stored("Audio/Output/ppm").isValid()
                && !stored("Audio/type").isValid());
        QCOMPARE(m_w->soundCardStreamChanges().inputRestarted, 0);
        QCOMPARE(m_w->soundCardStreamChanges().outputReopened, 0);
        QCOMPARE(m_w->audioIn()->sampleRate(), 11025);
        QCOMPARE(m_w->audioOut()->sampleRate(), 11025);
        QCOMPARE(m_w->modem()->inputRate(), 11025.0);
        QCOMPARE(m_w->spectrum()->halfRate(), 5512);
        closeWindow();
        QCOMPARE(stored("Audio/Input/SampleRate").toInt(), 11025);
    }
};

QTEST_MAIN(TestMainWindowSoundCard)
#include "tst_mainwindow_soundcard.moc"
