// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window built whole on the offscreen platform, each test with a
// settings file of its own and no sound card (PortAudio finds none, warns,
// and the program goes on).

#include "app/messagestatusbar.h"
#include "app/reportdialog.h"
#include "app/statuspanetime.h"
#include "audio/audioin.h"
#include "display/phasescope.h"
#include "display/spectrumtitlebar.h"
#include "display/spectrumwidget.h"
#include "report/pskreporter.h"
#include "report/wsjtxclient.h"
#include "report/wsjtxmessage.h"
#include "rig/hamlibrig.h"
#include "rig/rigcontroldlg.h"
#include "rig/selectportdlg.h"
#include "tests/app/windowfolder.h"
#include "tests/core/fulldisk.h"
#include "tests/logbook/logfixtures.h"
#include "tests/modem/modemtesthelpers.h"
#include "text/signalbrowser.h"
#include "widgets/filenamedlg.h"

#include <QActionGroup>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QListWidget>
#include <QHelpEvent>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QPrintPreviewWidget>
#include <QSettings>
#include <QScrollBar>
#include <QSlider>
#include <QSpinBox>
#include <QStatusTipEvent>
#include <QTableView>
#include <QTextBlock>
#include <QTextBrowser>
#include <QUdpSocket>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>
#include <tuple>

using namespace WindowTest;

class TestMainWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dataDir;
    QStringList m_names; // what the name prompts answer, in turn; none left: cancelled
    QStringList m_files; // the same for the desktop's file dialog, which never opens here
    QString m_fileStart; // where the file dialog was last asked to start

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto w = std::make_unique<MainWindow>();
        w->setNameChooser([this](QWidget*, const QString&, const QString&, const QString&, QString& name) {
            return !m_names.isEmpty() && !(name = m_names.takeFirst()).isNull();
        });
        w->show();
        return w;
    }
    static void closeWindow(std::unique_ptr<MainWindow>& w) { w->close(), w.reset(); }
    void reopen(std::unique_ptr<MainWindow>& w) { closeWindow(w), w = makeWindow(); } // the next start
    static std::pair<double, double> frequencies(MainWindow& w) // receive, transmit
    {
        double rx = 0, tx = 0;
        return w.modem()->GetFrequencies(&rx, &tx), std::pair(rx, tx);
    }
    // Types hz into the frequency prompt that open() brings up.
    static void typeFrequency(const std::function<void()>& open, double hz)
    {
        withDialog(open, [hz](QDialog* d) { d->findChild<QDoubleSpinBox*>()->setValue(hz), pressOk(d); });
    }
    static void withCommand(QAction* action, const std::function<void(QDialog*)>& answer)
    {
        QVERIFY(action);
        withDialog([action] { action->trigger(); }, answer);
    }
    // The text of the message box that open brings up; the box is then closed.
    static QString boxText(const std::function<void()>& open)
    {
        QString text;
        withDialog(open, [&text](QDialog* box) {
            text = (static_cast<QMessageBox*>(box)->text() + u'\n' + static_cast<QMessageBox*>(box)->informativeText()).trimmed(); // what and why
            box->reject();
        });
        return text;
    }

    // A logger on this computer, as the window's reports reach it.
    QUdpSocket m_logger;
    QString m_status; // the last Status heard: "mode|DX call|Tx mode"
    QString m_adif; // the last logged ADIF record heard
    void listenAsLogger()
    {
        QVERIFY(m_logger.bind(QHostAddress::LocalHost, 0));
        store({{"Report/LoggerPort", m_logger.localPort()}, {"Report/Logger", true}});
    }
    // What the logger has heard besides heartbeats and status, once that is
    // at least n messages (or ten seconds have passed).
    QList<quint32> typesHeard(qsizetype n = 0)
    {
        QList<quint32> types;
        (void)QTest::qWaitFor([&] { // the caller compares what was heard
            while (m_logger.hasPendingDatagrams()) {
                Wsjtx::Reader m(m_logger.receiveDatagram().data());
                if (m.ok() && m.type() == Wsjtx::Status) { // dial, mode, DX call, report, Tx mode
                    m.u64();
                    const QString mode = m.utf8(), dx = m.utf8();
                    m.utf8(); // the report
                    m_status = mode + u'|' + dx + u'|' + m.utf8();
                } else if (m.ok() && m.type() != Wsjtx::Heartbeat) {
                    types.append(m.type());
                    m_adif = m.type() == Wsjtx::LoggedAdif ? m.utf8() : m_adif;
                }
            }
            return types.size() >= n;
        }, 10000);
        return types;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_dataDir = prepareWindowFolder(*m_dir);
        QVERIFY(!m_dataDir.isEmpty());
        StationState::setTransmitting(false);
        StationState::setTxEchoEnabled(true);
        m_names.clear();
        m_files.clear();
        FileNameDlg::setChooser([this](QWidget*, const QString&, const QString& start, FileNameDlg::Purpose) {
            m_fileStart = start;
            return m_files.isEmpty() ? QString() : m_files.takeFirst();
        });
        m_logger.close();
    }

    // The transmit level: a peak 3 dB below full scale at first, set in the
    // status bar, and the same at the next start, as are the layout and
    // the other settings.
    void layoutAndSettingsSurviveRestart()
    {
        const auto levelIs = [](MainWindow& w, double db) { // the transmit peak, within 0.15 dB
            int peak = 0;
            for (const qint16 s : ModemTest::transmitFrom(*w.modem(), QStringLiteral("level test")))
                peak = std::max(peak, std::abs(int(s)));
            return std::abs(20.0 * std::log10(peak / 32767.0) - db) < 0.15;
        };
        auto w = makeWindow();
        QVERIFY(levelIs(*w, -3.05));
        QTest::keyClick(w->txLevelBox(), Qt::Key_PageDown); // ten steps down
        QVERIFY(w->txLevelBox()->value() == -13 && levelIs(*w, -13.05));
        const auto dock = [&w](const char* name) { return w->findChild<QDockWidget*>(name)->geometry(); };
        // First start: receive pane above transmit pane above the waterfall,
        // the phase scope right of it.
        QVERIFY(dock("DockOutputWidget").bottom() <= dock("DockInputWidget").top());
        QVERIFY(dock("DockInputWidget").bottom() <= dock("Spectrum").top() && dock("Spectrum").right() <= dock("PhaseScope").left());

        // Through the menus as the user goes: the phase scope floats, the
        // Signals dock shows, TX echo goes off, the clock shows local time;
        // the panes get fonts of their own.
        QAction* const floatPhase = command(*w, "View", "Dock Phase");
        QAction* const showSignals = command(*w, "View", "Show Signals");
        floatPhase->trigger(), showSignals->trigger();
        for (QAction* m : w->menuBar()->actions()) // opened as the user opens them, the menus set their marks
            emit m->menu()->aboutToShow();
        command(*w, "Configure", "TX echo")->trigger();
        QTest::mouseClick(w->clock(), Qt::RightButton);
        QTRY_VERIFY(w->clock()->contextMenu()->isVisible()); // a right click opens the clock's menu
        w->clock()->contextMenu()->close();
        w->clock()->localAction()->trigger();
        emit w->clock()->contextMenu()->aboutToShow();
        QVERIFY(!floatPhase->isChecked() && showSignals->isChecked() && !w->clock()->utcAction()->isChecked());
        const QFont rxFont(QStringLiteral("Monospace"), 15), txFont(QStringLiteral("Serif"), 17);
        for (const auto& [pane, font] : {std::pair<QTextEdit*, QFont>{w->rxView(), rxFont}, {w->txView(), txFont}})
            withDialog([pane = pane] { QMetaObject::invokeMethod(pane, "slotSelectFont"); },
                       [font = font](QDialog* d) { static_cast<QFontDialog*>(d)->setCurrentFont(font), pressOk(d); });
        // The waterfall's span, zoom and history, from its menu in the View menu.
        const auto waterfallMarks = [&w](const QStringList& choose) {
            QStringList marked;
            QAction* const menu = command(*w, "View", "&Waterfall"); // where the user finds it
            const QList<QAction*> all = menu && menu->menu() ? menu->menu()->findChildren<QAction*>() : QList<QAction*>();
            for (QAction* a : all)
                if (choose.contains(a->text()))
                    a->trigger();
            for (QAction* a : all)
                if (a->isChecked() && a->actionGroup() && a->actionGroup()->isExclusive()) // a radio button
                    marked << a->text();
            return marked;
        };
        const QStringList chosen{QStringLiteral("0–4 kHz"), QStringLiteral("2× around the receive marker"), QStringLiteral("1 min")};
        auto* const waterfallButton = w->spectrum()->findChild<QToolButton*>(QStringLiteral("waterfallButton"));
        QCOMPARE(waterfallButton->text(), QStringLiteral("0–3 kHz"));
        QCOMPARE(waterfallButton->popupMode(), QToolButton::InstantPopup); // a click opens its menu, no press held
        QCOMPARE(waterfallMarks(chosen), chosen);
        QCOMPARE(waterfallButton->text(), QStringLiteral("0–4 kHz 2×")); // the button names the choice
        w->slotModeChanged(QStringLiteral("BPSK125"));
        SpectrumTitleBar* bar = w->titleBar();
        bar->checkBoxLock->setChecked(true), bar->checkBoxAFC->setChecked(true), bar->checkBoxSQ->setChecked(true);
        for (const int code : {ModemCommand::kSquelch, ModemCommand::kAfc, ModemCommand::kTxLock}) // at once, not only after a restart
            QVERIFY2(w->spectrum()->isLocked() && w->modem()->Command(code, 0, 0, 0), qPrintable(QString::number(code)));
        bar->sliderBrightness->setValue(35), bar->sliderContrast->setValue(70), command(*w, "Configure", "Varicode")->menu()->actions().at(2)->trigger();
        w->modem()->SetFrequencies(1300.0, 1700.0);
        const QRect placed(57, 81, 1001, 703);
        w->setGeometry(placed);
        // Closing is quiet: no layout dump on the terminal.
        static QStringList dumped;
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& m) {
            if (m.contains(QLatin1String("fromHex")))
                dumped << m;
        });
        closeWindow(w);
        qInstallMessageHandler(previous);
        QCOMPARE(dumped, QStringList());

        StationState::setTxEchoEnabled(true);
        w = makeWindow();
        QVERIFY(!StationState::txEchoEnabled() && w->modem()->baud() == 125.0);
        QVERIFY(w->modem()->Command(ModemCommand::kTxLock, 0, 0, 0) && w->spectrum()->isLocked()); // the lock reaches both
        QVERIFY(w->clock()->isLocal() && w->findChild<QDockWidget*>(QStringLiteral("PhaseScope"))->isFloating() && w->findChild<QDockWidget*>(QStringLiteral("Signals"))->isVisible());
        QCOMPARE(std::pair(w->rxView()->font(), w->txView()->font()), std::pair(rxFont, txFont));
        QCOMPARE(waterfallMarks({}), chosen);
        QCOMPARE(std::pair(w->geometry(), w->txLevelBox()->value()), std::pair(placed, -13));
        QVERIFY(levelIs(*w, -13.05));
        // The title bar's controls, and what they reach: the waterfall and the modem.
        bar = w->titleBar();
        QVERIFY(bar->checkBoxAFC->isChecked() && w->modem()->Command(ModemCommand::kAfc, 0, 0, 0));
        QVERIFY(bar->checkBoxSQ->isChecked() && w->modem()->Command(ModemCommand::kSquelch, 0, 0, 0));
        QVERIFY(bar->sliderBrightness->value() == 35 && w->spectrum()->brightness() == 35 && w->spectrum()->contrast() == 70);
        QVERIFY(frequencies(*w) == std::pair(1300.0, 1700.0) && w->modem()->charSet() == 2);
        waterfallMarks({QStringLiteral("Off")}); // the zoom alone changed: the button follows
        QCOMPARE(w->spectrum()->findChild<QToolButton*>(QStringLiteral("waterfallButton"))->text(), QStringLiteral("0–4 kHz"));
    }

    void typedTransmitFrequencyIsLockedAndMarked_data()
    {
        QTest::addColumn<bool>("afc");
        QTest::newRow("AFC on") << true;
        QTest::newRow("AFC off") << false;
    }
    void typedTransmitFrequencyIsLockedAndMarked()
    {
        QFETCH(bool, afc);
        Settings().setValue(QStringLiteral("AFC"), afc ? 2 : 0);
        auto w = makeWindow();
        typeFrequency([&] { QTest::mouseClick(w->txLabel(), Qt::RightButton); }, 1500.0);
        const auto [rx, tx] = frequencies(*w);
        QVERIFY(tx == 1500.0 && w->txLabel()->text().contains(QStringLiteral("Tx: 1500.00")));
        // With AFC on, typing locks the transmitter, so AFC cannot undo it,
        // and says so; without AFC nothing would move it, and nothing is
        // locked. The blue marker follows the transmitter wherever it goes.
        QCOMPARE(std::pair(w->titleBar()->checkBoxLock->isChecked(), bool(w->modem()->Command(ModemCommand::kTxLock, 0, 0, 0))), std::pair(afc, afc));
        QCOMPARE(w->statusBar()->currentMessage().contains(QStringLiteral("LOCK set")), afc);
        QCOMPARE(w->spectrum()->tx(), 1500.0);
        w->modem()->SetFrequencies(rx, 1700.0);
        QCOMPARE(w->spectrum()->tx(), 1700.0);
        // A status-bar message, timed or not, leaves the controls in place.
        w->saveQSO();
        w->statusBar()->showMessage(QStringLiteral("Log exported"));
        QVERIFY(w->titleBar()->isVisible());
    }

    // The receive frequency typed (right-click on Rx:, or Ctrl+F) tunes as a
    // click on the waterfall does, anywhere in the band shown.
    void typedReceiveFrequencyTunes()
    {
        auto w = makeWindow();
        const auto typeRx = [&w](const std::function<void()>& open, double typed) {
            typeFrequency(open, typed);
            const double hz = std::min(typed, 5512.0); // the top of the band shown at 11025 Hz
            const auto [rx, tx] = frequencies(*w);
            QCOMPARE(rx, hz);
            QVERIFY(std::abs(tx - hz) <= 0.5); // no LOCK: the transmitter follows (to the Hz), as after a click
            QVERIFY(qFuzzyCompare(w->spectrum()->rx(), hz) && w->rxLabel()->text().contains(QString::number(hz, 'f', 2)));
        };
        typeRx([&w] { QTest::mouseClick(w->rxLabel(), Qt::RightButton); }, 5300.0);
        typeRx([&w] { QTest::mouseClick(w->rxLabel(), Qt::RightButton); }, 9000.0);
        typeRx([&w] { command(*w, QStringLiteral("&Transmit"), QStringLiteral("R&eceive frequency..."))->trigger(); }, 1234.5);
    }

    // On every start the waterfall and the phase scope show what comes in.
    void waterfallAndScopeShowASignalOnEveryStart()
    {
        const std::vector<qint16> tone = ModemTest::transmit(ModemTest::mode(QStringLiteral("BPSK31")), QStringLiteral("e"), 1000.0);
        for (int start = 0; start < 2; ++start) {
            auto w = makeWindow();
            w->audioIn()->captureBlock(tone.data(), 2048);
            w->slotAudioInputReady(4096);
            QVERIFY(w->spectrum()->currentLines() && *std::max_element(w->spectrum()->currentLines(), w->spectrum()->currentLines() + 1024) > 100);
            QVERIFY(w->findChild<PhaseScope*>()->symbolsReceived() > 0);
        }
    }

    void pushToTalkPortInTheWindow()
    {
        // What a rig says on the push-to-talk line is read and dropped.
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        Settings().setValue(QStringLiteral("Comport/Device"), QString::fromLocal8Bit(ptsname(master)));
        {
            auto w = makeWindow();
            QVERIFY(w->comport().isOpen());
            int reads = 0;
            connect(w->comport().port(), &SerialPortAdapter::readyRead, this, [&] { ++reads; });
            QCOMPARE(::write(master, "FA00014070000;", 14), ssize_t(14));
            QTRY_VERIFY(reads > 0);
            QCOMPARE(w->comport().port()->bytesAvailable(), qint64(0));
            closeWindow(w);
        }
        ::close(master);
        // A port that cannot be opened is said in the window; the port
        // dialog shows the device that overrides the number, and clearing it
        // lets the number name the port again.
        const QString missing = m_dir->filePath(QStringLiteral("no-such-tty"));
        Settings().setValue(QStringLiteral("Comport/Device"), missing);
        auto w = makeWindow();
        QVERIFY(w->statusBar()->currentMessage().contains(missing));
        // Ports are listed by name, the stored one too while it is missing;
        // one chosen by name is stored as its number where it has one.
        SelectPortDlg::setPortLister([] {
            return QList<SelectPortDlg::PortInfo>{{"/dev/ttyUSB0", "CP2102 USB to UART"}, {"/dev/pts/3", {}}};
        });
        QStringList shown;
        withDialog([&] { w->slotSelectPort(); }, [&](QDialog* d) {
            auto* device = d->findChild<QLineEdit*>(QStringLiteral("lineEditDevice"));
            auto* ports = d->findChild<QComboBox*>(QStringLiteral("comboPort"));
            shown << device->text() << ports->currentText();
            for (int i : {1, 0}) {
                ports->setCurrentIndex(i);
                emit ports->activated(i);
                shown << device->text() + u'|' + d->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->text();
            }
            pressOk(d);
        });
        SelectPortDlg::setPortLister({});
        QCOMPARE(shown, QStringList({missing, missing + " (not present)", "/dev/pts/3|1", "|100"}));
        QCOMPARE(w->comport().deviceName(), QStringLiteral("/dev/ttyUSB0"));
        closeWindow(w);
        QVERIFY(!Settings().contains(QStringLiteral("Comport/Device")));
        QCOMPARE(Settings().value(QStringLiteral("Comport/ComNumber")).toInt(), 100);
    }

    void settingsThatCannotBeWrittenAreSaid()
    {
        // A disk that fills while the window is open: said at once.
        auto w = makeWindow();
        QVERIFY(!w->findChild<QLabel*>(QStringLiteral("settingsProblem")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Settings were not saved: .*disk may be full")));
        {
            FullDisk full;
            Settings().setValue(QStringLiteral("Macros/Macros 0/text"), QString(100, u'x'));
        }
        QVERIFY(w->statusBar()->currentMessage().startsWith(QStringLiteral("Settings could not be saved")) && w->statusBar()->findChild<QLabel*>(QStringLiteral("settingsProblem")));
        closeWindow(w);

        QVERIFY(QFile::remove(Settings::path()) && QDir().mkpath(Settings::path())); // a folder where the file should be
        w = makeWindow();
        QVERIFY(w->statusBar()->findChild<QLabel*>(QStringLiteral("settingsProblem")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Settings were not saved: .* is a folder")));
        closeWindow(w);
    }

    void macroTagsFillTheReportAndSwitch()
    {
        store({{"Macros/Macros 0/text", "ur <RST> <RST> <BPSK125>"}, {"Macros/Macros 1/text", "pse k<TX>"}});
        auto w = makeWindow();
        m_names << QStringLiteral("449");
        w->slotControlBar(0);
        w->slotControlBar(0); // once in "Sent", the report is not asked again
        QCOMPARE((QStringList{field(*w, "editSent")->text(), field(*w, "editRecv")->text()}), (QStringList{"449", ""}));
        QCOMPARE(w->currentMode(), QStringLiteral("BPSK125"));
        w->slotControlBar(1); // <TX> without a sound card: the text waits, nothing is keyed
        QVERIFY(w->txView()->toPlainText() == QStringLiteral("ur 449 449 ur 449 449 pse k") && !StationState::isTransmitting());
        // The other tags from the personal data and the log bar.
        closeWindow(w);
        store({{"Personal data/call", "DL9SWL"}, {"Personal data/name", "Anna"}, {"Personal data/qth", "Wien"},
               {"Personal data/rst", "589"}, {"Macros/Macros 2/text", "<MYCALL> <MYNAME> <MYQTH> <MYRST> <CALL> <NAME> <QTH> <NOTES>"}});
        w = makeWindow();
        for (const auto& [name, text] : {std::pair{"editCall", "G4XYZ"}, {"editName", "Bob"}, {"editQHT", "Leeds"}, {"editNotes", "qsl"}})
            field(*w, name)->setText(QLatin1String(text));
        w->slotControlBar(2);
        QCOMPARE(w->txView()->toPlainText(), QStringLiteral("DL9SWL Anna Wien 589 G4XYZ Bob Leeds qsl"));
    }

    void fileCommands()
    {
        auto w = makeWindow();
        // Send file: the text goes into the transmit pane.
        const QString text = m_dir->filePath(QStringLiteral("cq.txt"));
        LogFixtures::writeAll(text, "CQ de VK2XYZ \xc3\xa4\nk\n");
        m_names << text;
        w->sendFile();
        QCOMPARE(w->txView()->toPlainText(), QStringLiteral("CQ de VK2XYZ \u00e4\nk\n"));
        const QString big = m_dir->filePath(QStringLiteral("big.txt")); // one byte over the limit, refused
        LogFixtures::writeAll(big, QByteArray(64 * 1024 + 1, 'e'));
        m_names << big;
        QVERIFY(boxText([&w] { w->sendFile(); }).contains(QStringLiteral("larger than 64 KiB")) && w->txView()->toPlainText().size() == 17);

        // The desktop's file dialog: the next one of a kind opens in the
        // folder last chosen for it, across a restart; cancelled, it does nothing.
        w->setNameChooser({});
        QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("adif"))));
        const QString adif = m_dir->filePath(QStringLiteral("adif/picked.adi"));
        m_files << adif;
        QVERIFY(w->exportADIF() && QFile::exists(adif));
        reopen(w);
        w->setNameChooser({});
        QVERIFY(!w->importADIF() && !w->exportADIF());
        QCOMPARE(QDir(m_fileStart), QFileInfo(adif).dir());
        w->slotLoadMacros();
        QCOMPARE(m_fileStart, w->macroFileName()); // another kind: the writable folder
        // The desktop's own dialog opens there too; a name typed without an
        // extension gets the kind's.
        FileNameDlg::setChooser({});
        QDir opened;
        withDialog([&] { w->exportADIF(); }, [&](QDialog* d) {
            opened = static_cast<QFileDialog*>(d)->directory();
            d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("second")); // typed
            pressOk(d);
            if (d->isVisible()) // refused: never left open
                d->reject();
        });
        QVERIFY(opened == QFileInfo(adif).dir() && QFile::exists(m_dir->filePath(QStringLiteral("adif/second.adi"))));

        // A contact that cannot be saved is reported, not lost in silence.
        QVERIFY(QFile::remove(w->logFileName()) && QDir().mkpath(w->logFileName())); // a folder where the log should be
        field(*w, "editCall")->setText(QStringLiteral("G4XYZ"));
        QVERIFY(boxText([&] { w->saveQSO(); }).contains(w->logFileName() + QStringLiteral(" for writing: "))); // and why
    }

    // The modem's own name "QPSK" as the stored mode: QPSK31 in the mode box,
    // the modem and the log; the name stays as stored until another mode is
    // chosen. QPSK chosen in the mode box sends a text and decodes it back;
    // back on BPSK it still does. A name that is not a mode changes nothing.
    void modeBoxAndStoredModemName()
    {
        Settings().setValue(QStringLiteral("RxTx/mode"), QStringLiteral("QPSK"));
        auto w = makeWindow();
        QCOMPARE(std::tuple(w->titleBar()->comboBox->currentText(), w->modem()->mode(), w->modem()->baud()), std::tuple(QStringLiteral("QPSK31"), 1, 31.25));
        field(*w, "editCall")->setText(QStringLiteral("G4XYZ"));
        w->saveQSO();
        QCOMPARE(CHamLog(w->logFileName()).search(QString()).value(0).mode, QStringLiteral("QPSK31"));
        closeWindow(w);
        QCOMPARE(Settings().value(QStringLiteral("RxTx/mode")).toString(), QStringLiteral("QPSK"));
        w = makeWindow();
        for (const QString& mode : {QStringLiteral("QPSK63"), QStringLiteral("BPSK31")}) {
            w->titleBar()->comboBox->setCurrentText(mode);
            QCOMPARE((QStringList{w->currentMode(), w->modeMenu()->actions().constFirst()->actionGroup()->checkedAction()->text()}), QStringList(2, mode));
            QCOMPARE(w->modem()->mode(), mode.startsWith(u'Q') ? 1 : 0);
            std::vector<qint16> audio = ModemTest::transmitFrom(*w->modem(), QStringLiteral("qpsk de vk2xyz"));
            audio.resize(audio.size() + 11025, 0);
            const QString heard = ModemTest::hear(*w->modem(), audio);
            QVERIFY2(heard.contains(QStringLiteral("qpsk de vk2xyz")), qPrintable(heard));
        }
        command(*w, QStringLiteral("Mode"), QStringLiteral("BPSK63"))->trigger(); // the menu turns the box
        QCOMPARE(w->titleBar()->comboBox->currentText(), QStringLiteral("BPSK63"));
        w->slotModeChanged(QStringLiteral("RTTY"));
        QCOMPARE(w->currentMode(), QStringLiteral("BPSK63"));
        closeWindow(w);
        QCOMPARE(Settings().value(QStringLiteral("RxTx/mode")).toString(), QStringLiteral("BPSK63"));
    }

    // The locator and the power go into the log line's last two fields; a
    // half-typed locator is refused with a message; the power stays.
    void locatorAndPowerAreLogged()
    {
        auto w = makeWindow();
        field(*w, "editCall")->setText(QStringLiteral("G4XYZ"));
        field(*w, "editLocator")->setText(QStringLiteral("io9"));
        QTest::keyClicks(field(*w, "editPower"), QStringLiteral("2,5 w"));
        w->saveQSO();
        QVERIFY(w->statusBar()->currentMessage().contains(QStringLiteral("io9 is not a locator")) && CHamLog(w->logFileName()).search(QString()).isEmpty());
        field(*w, "editLocator")->setText(QStringLiteral("io91wm"));
        w->saveQSO();
        QCOMPARE(CHamLog::logLine(CHamLog(w->logFileName()).search(QString()).value(0)).section(u';', 17),
                 QStringLiteral("IO91wm;2.5;"));
        w->clearQSO();
        QVERIFY(field(*w, "editLocator")->text().isEmpty() && field(*w, "editCall")->text().isEmpty());
        reopen(w);
        QCOMPARE(field(*w, "editPower")->text(), QStringLiteral("2,5 w"));
    }

    // A message too long for the bar ends in "…" with all of it in the tool
    // tip; the last 100 are kept with their time, status tips are not.
    void statusMessagesAreKept()
    {
        auto w = makeWindow();
        auto* bar = static_cast<MessageStatusBar*>(w->statusBar());
        const QString longText = QStringLiteral("a long message ").repeated(40);
        bar->showMessage(longText);
        QVERIFY(bar->shownMessage().endsWith(u'\u2026') && bar->shownMessage().size() < longText.size() && bar->toolTip() == longText);
        bar->showMessage(QStringLiteral("short"));
        QCOMPARE(bar->toolTip(), QString());
        QStatusTipEvent tip(QStringLiteral("a menu entry"));
        QCoreApplication::sendEvent(w.get(), &tip);
        QCOMPARE(bar->currentMessage(), QStringLiteral("a menu entry"));
        bar->showMessage(QStringLiteral("short"));
        QString listed;
        withCommand(command(*w, QStringLiteral("View"), QStringLiteral("Messages...")), [&](QDialog* d) {
            const QPlainTextEdit* text = d->findChild<QPlainTextEdit*>(); // opened at the newest
            listed = text->textCursor().atEnd() ? text->toPlainText() : QString();
            d->reject();
        });
        QVERIFY2(listed.contains(longText + QStringLiteral("\n")) && listed.endsWith(QStringLiteral("  short (\u00d72)"))
                     && !listed.contains(QStringLiteral("a menu entry")), qPrintable(listed));
        w->resize(2000, w->height()), bar->showMessage(longText.left(150)); // it fits; made narrow, it is cut and tipped
        QTRY_VERIFY(bar->toolTip().isEmpty());
        w->resize(w->minimumSize());
        QTRY_COMPARE(bar->toolTip(), longText.left(150));
        for (int i = 0; i < 120; ++i)
            bar->showMessage(QString::number(i));
        QCOMPARE(bar->history().constFirst().text + u'-' + bar->history().constLast().text, QStringLiteral("20-119")); // the last 100
    }

    // The "Signals" dock: off at a first start; two stations get a line each;
    // a click on one tunes the main receiver there and replays its older
    // audio; a double-clicked call goes to the Call field; the alert marks.
    void signalsDockTunesTheReceiver()
    {
        auto w = makeWindow();
        auto* dock = w->findChild<QDockWidget*>(QStringLiteral("Signals"));
        QVERIFY(dock && !dock->isVisible());
        dock->show();
        SignalBrowser* browser = w->signalBrowser();
        browser->alertField()->setText(QStringLiteral("cq de"));
        QTest::mouseClick(browser->view()->viewport(), Qt::LeftButton); // on an empty list: nothing to tune to
        const QString stations[] = {QStringLiteral("cq de vk2abc pse k"), QStringLiteral("qrz de dl2zz k")}; // at 700 and 1600 Hz
        const auto hear = [&w](std::vector<qint16> audio) {
            for (size_t at = 0; at < audio.size(); at += 1024) {
                const int n = int(std::min<size_t>(1024, audio.size() - at));
                w->modem()->ReceiveSamples(audio.data() + at, n);
                w->feedSignalBank(audio.data() + at, n);
            }
        };
        w->modem()->SetFrequencies(2500.0, 2500.0);
        hear(ModemTest::band({{"BPSK31", stations[0], 700.0}, {"BPSK31", stations[1], 1600.0}}, 11025, 11025 * 14)); // from a second in
        // The bank decodes on its own thread: wait until it has the whole text.
        QTRY_VERIFY_WITH_TIMEOUT(browser->lineCount() == 2 && browser->line(0).text.contains(stations[0]), 30000);
        QVERIFY(browser->alerted().contains(browser->line(0).id) && browser->alerted().size() == 1);
        // Both heard just now; the header in the lines' font, so that its columns stand above theirs.
        QVERIFY(!browser->line(0).quiet && !browser->line(1).quiet && browser->header()->text().contains(QStringLiteral("S/N"))
                && browser->header()->font() == browser->view()->font());
        laidOut(browser);
        // Six seconds of quiet go by with the dock hidden (as while sending).
        dock->hide();
        hear(std::vector<qint16>(11025 * 6, 0));
        dock->show();
        // Shown a moment ago: the receivers have followed their signals since.
        QList<SignalBrowser::Line> shown;
        for (int row = 0; row < browser->lineCount(); ++row) {
            shown << browser->line(row);
            shown.back().frequency += 1.5;
        }
        browser->setLines(shown);
        QString heard;
        connect(w->modem(), &CPskTxRx::signalCharReceived, this, [&heard](QChar c) { heard += c; });
        QPlainTextEdit* view = browser->view();
        // The lines changed in place: what the view shows, and no history of edits.
        QCOMPARE(view->toPlainText(), SignalBrowser::lineText(shown[0]) + u'\n' + SignalBrowser::lineText(shown[1]));
        QVERIFY(!view->document()->isUndoAvailable());
        const QTextBlock second = view->document()->findBlockByNumber(1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(QTextCursor(second)).center());
        const double rx = frequencies(*w).first;
        QVERIFY2(std::abs(rx - 1600.0) < 3.0, qPrintable(QString::number(rx)));
        for (int i = 0; i < 80; ++i) // the replay catches up in steps
            w->modem()->ReceiveSamples(nullptr, 0);
        QVERIFY2(heard.contains(stations[1]), qPrintable(heard));
        browser->setLines(shown); // marked: the line a few hertz from the receiver and the alerted one
        QCOMPARE(view->extraSelections().size(), 2);
        // The call in the first line, double-clicked, goes to the Call field.
        QTextCursor call(view->document()->findBlockByNumber(0));
        call.setPosition(call.position() + view->document()->findBlockByNumber(0).text().indexOf(u"vk2abc") + 2);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(call).center());
        QCOMPARE(field(*w, "editCall")->text(), QStringLiteral("VK2ABC"));
        // A station that comes or goes does not move a list the user has scrolled.
        QList<SignalBrowser::Line> many(60, shown[1]);
        for (int i = 0; i < many.size(); ++i)
            many[i].id = 1000 + i;
        browser->setLines(many);
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
        const int scrolled = view->verticalScrollBar()->value();
        QVERIFY(scrolled > 0);
        browser->setLines(many.mid(1));
        QCOMPARE(view->verticalScrollBar()->value(), scrolled);

        // "All modes": a BPSK63 station beside the BPSK31 one is listed with
        // its mode, and a click on it switches the receiver to BPSK63; the
        // choice comes back at the next start.
        browser->allModesBox()->setChecked(true);
        hear(ModemTest::band({{"BPSK31", stations[0], 700.0}, {"BPSK63", stations[1] + stations[1], 1600.0}}, 11025, 11025 * 14));
        QTRY_VERIFY2_WITH_TIMEOUT(browser->lineCount() == 2 && browser->line(1).text.contains(stations[1])
                                      && browser->line(0).mode + u' ' + browser->line(1).mode == QStringLiteral("BPSK31 BPSK63"),
                                  qPrintable(view->toPlainText()), 30000);
        QVERIFY(view->toPlainText().contains(QStringLiteral(" Hz BPSK63 ")));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(QTextCursor(view->document()->findBlockByNumber(1))).center());
        QCOMPARE(w->titleBar()->comboBox->currentText(), QStringLiteral("BPSK63"));
        reopen(w);
        QVERIFY(w->signalBrowser()->allModesBox()->isChecked());
    }

    // Beside SQ and AFC: the squelch level and the AFC range reach the
    // receiver, are stored as soon as they change and come back at the next
    // start; the tuned signal's S/N shows within a second or two, and the
    // Sent field suggests the report it is worth.
    void tunedSignalReportAndItsControls()
    {
        auto w = makeWindow();
        auto* level = w->titleBar()->findChild<QSlider*>(QStringLiteral("sliderSquelchLevel"));
        for (QWidget* control : std::initializer_list<QWidget*>{level, w->titleBar()->checkBoxAFC, w->titleBar()->checkBoxLock, w->titleBar()->checkBoxSQ, w->titleBar()->comboBox,
                                                                  w->titleBar()->sliderBrightness, w->titleBar()->sliderContrast, w->spectrum(), w->rxView(), w->txView(), w->signalBrowser()->alertField(), field(*w, "editCall")})
            QVERIFY(control && !control->toolTip().isEmpty()); // each main control, and the log bar's fields, explain themselves
        const auto label = [&w](const char* name) { return w->titleBar()->findChild<QLabel*>(QLatin1String(name))->text(); };
        QCOMPARE(label("label") + u' ' + label("label_2"), QStringLiteral("Br&ightness C&ontrast")); // Alt+B and Alt+C are the log bar's
        QCOMPARE(w->modem()->squelchLevel(), double(level->value()));
        level->setValue(-10);
        QCOMPARE(std::pair(w->modem()->squelchLevel(), Settings().value(QStringLiteral("SQLevel")).toInt()), std::pair(-10.0, -10));
        // The AFC's range, from the Configure menu as from AFC's own.
        QMenu* ranges = w->titleBar()->afcRangeMenu();
        QVERIFY(command(*w, "Configure", ranges->title()) == ranges->menuAction() && ranges->actions().size() == 3);
        ranges->actions().constFirst()->trigger();
        QCOMPARE(std::pair(w->modem()->afcRange(), Settings().value(QStringLiteral("AFCRange")).toInt()), std::pair(15.0, 15));

        PhaseScope* scope = w->phaseScope();
        QCOMPARE(scope->snrText(), QStringLiteral("S/N \u2014"));
        const ModemTest::Mode m = ModemTest::mode(QStringLiteral("BPSK31"));
        std::vector<qint16> audio = ModemTest::transmit(m, QStringLiteral("cq cq de dl1abc dl1abc pse k"), 1200.0);
        w->modem()->SetFrequencies(1200.0, 1200.0);
        ModemTest::hear(*w->modem(), audio);
        QTRY_VERIFY_WITH_TIMEOUT(scope->snrText().endsWith(QStringLiteral(" dB")), 5000);
        QVERIFY(scope->toolTip().contains(scope->snrText()));
        QCOMPARE(field(*w, "editSent")->placeholderText(), QStringLiteral("599")); // a clean, strong signal

        reopen(w);
        QCOMPARE(std::pair(w->modem()->squelchLevel(), w->modem()->afcRange()), std::pair(-10.0, 15.0));
    }

    // The aids to operating: the first start's macros (none once one is
    // stored), their tips, the Transmit menu's keys and the Tx/Rx button,
    // the manual, the clock's UTC, titles across the docks, and a word of
    // the receive pane taken into the log bar.
    void operatingAids()
    {
        Settings().setValue(QStringLiteral("Personal data/call"), QStringLiteral("VK2XYZ"));
        auto w = makeWindow();
        auto* f1 = w->controlBar()->findChild<QPushButton*>(QStringLiteral("pushButton_1"));
        QCOMPARE(f1->text(), QStringLiteral("F1 CQ"));
        QStringList firstSet; // F1 to F12
        for (int i = 0; i < 12; ++i)
            firstSet << w->macros().at(i).label;
        QCOMPARE(firstSet.join(u','), QStringLiteral("CQ,Answer,RST+name,QTH+rig,73,Turn,QRZ?,,,,,TX/RX"));
        QCOMPARE(f1->width(), w->controlBar()->findChild<QPushButton*>(QStringLiteral("pushButton_9"))->width());
        QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), f1->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(f1, &tip);
        QVERIFY2(f1->toolTip().contains(QStringLiteral("CQ CQ CQ de VK2XYZ VK2XYZ VK2XYZ pse k")), qPrintable(f1->toolTip()));
        w->transmitAction()->trigger(); // no sound card: nothing starts, and the button says so
        QCOMPARE(std::pair(w->txButton()->isChecked(), w->txButton()->text()), std::pair(false, QStringLiteral("RX")));
        QVERIFY(w->clock()->text().endsWith(QStringLiteral(" UTC")));
        for (QDockWidget* d : w->findChildren<QDockWidget*>())
            QVERIFY(!d->features().testFlag(QDockWidget::DockWidgetVerticalTitleBar));

        command(*w, QStringLiteral("&Help"), QStringLiteral("&Manual"))->trigger();
        auto* browser = w->findChild<QDialog*>(QStringLiteral("manual"))->findChild<QTextBrowser*>();
        for (const char* topic : {"Set-up", "A first QSO", "Macros and tags", "The logbook", "Rig control", "command-line tool"})
            QVERIFY2(browser->toPlainText().contains(QLatin1String(topic)), topic);
        QVERIFY(browser->openExternalLinks()); // in the desktop's web browser
        QList<QAction*> commands = w->menuBar()->actions(); // each says in the status bar what it does
        for (int i = 0; i < commands.size(); ++i)
            if (QMenu* menu = commands[i]->menu()) commands += menu->actions();
            else QVERIFY2(commands[i]->isSeparator() || !commands[i]->statusTip().isEmpty(), qPrintable(commands[i]->text()));

        for (int i = 0; i < 2000; ++i) // the receive pane keeps the newest text in view
            w->rxView()->slotCharReceived(i % 40 ? u'x' : u'\n');
        const QScrollBar* bar = w->rxView()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0 && bar->value() >= bar->maximum() - w->rxView()->fontMetrics().height());
        w->rxView()->setPlainText(QStringLiteral("name Taro qth Tokyo k"));
        QTextCursor word(w->rxView()->document());
        word.setPosition(14);
        word.setPosition(19, QTextCursor::KeepAnchor);
        // The selected word, or without a selection the word at the pointer.
        for (const auto& [text, name, value] : {std::tuple{"to QTH", "editQHT", "Tokyo"}, {"to Name", "editName", "Tokyo"},
                                               {"to Call", "editCall", "NAME"}}) {
            w->rxView()->setTextCursor(name[4] == 'C' ? QTextCursor(w->rxView()->document()) : word);
            w->rxView()->slotCharReceived(u'k'); // text coming in keeps the selection
            std::unique_ptr<QMenu> menu(w->rxView()->createPaneMenu(QPoint(1, 1)));
            for (QAction* a : menu->actions()) {
                if (a->text() == QLatin1String(text)) {
                    // The status bar says which word goes where.
                    QCOMPARE(a->statusTip().toUpper(), QStringLiteral("%1: %2").arg(text, value).toUpper());
                    a->trigger();
                }
            }
            QCOMPARE(field(*w, name)->text(), QLatin1String(value));
        }
        closeWindow(w);
        QCOMPARE(Settings().value(QStringLiteral("Macros/Macros 4/label")).toString(), QStringLiteral("73"));

        // Stored macros are the user's: no defaults fill the empty ones.
        Settings().remove(QStringLiteral("Macros"));
        Settings().setValue(QStringLiteral("Macros/Macros 3/label"), QStringLiteral("mine"));
        w = makeWindow();
        QCOMPARE((QStringList{w->macros().at(0).label, w->controlBar()->findChild<QPushButton*>(QStringLiteral("pushButton_1"))->text()}),
                 (QStringList{"", "F1"}));
    }

    void missingMorseTableStopsTheStart()
    {
        QFile::remove(m_dataDir + QStringLiteral("/ENG.cwt"));
        std::unique_ptr<MainWindow> w;
        QVERIFY(boxText([&] { w = std::make_unique<MainWindow>(); }) == QStringLiteral("Cannot load ENG.cwt! Velkora32 will now exit.") && !w->startedOk());
    }

    // A user's first hour, from an empty settings folder: every dialog the
    // menus open is confirmed or cancelled, a macro is sent, a contact is
    // saved, the log goes out as ADIF and comes back, and the program closes.
    // Afterwards the settings file and the log hold what the user did.
    void firstHour()
    {
        QVERIFY(!QFile::exists(Settings::path())); // from an empty settings folder
        auto w = std::make_unique<MainWindow>();
        w->show();
        QApplication::setActiveWindow(w.get());
        QTRY_VERIFY(w->isActiveWindow());
        const QString adif = m_dir->filePath(QStringLiteral("contacts.adi"));
        const QString macros = m_dir->filePath(QStringLiteral("Velkora32.mac"));

        // Personal data: the call goes in upper case (the settings, below).
        withCommand(command(*w, "Configure", "Personal data..."), [](QDialog* d) {
            for (const auto& [name, text] : {std::pair{"lineEditCall", "vk2xyz"}, {"lineEditName", "Sam"}, {"lineEditQTH", "Sydney"}})
                d->findChild<QLineEdit*>(QLatin1String(name))->setText(QLatin1String(text));
            pressOk(d);
        });
        // Sound card and port: cancelled, which the status bar reports. Then
        // the sound card confirmed with another rate and corrections; opened
        // again, it shows them (at first 11025 Hz and none).
        withCommand(command(*w, "Configure", "Sound card..."), [](QDialog* d) { d->reject(); });
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Rejected"));
        withCommand(command(*w, "Configure", "Select port..."), [](QDialog* d) { d->reject(); });
        for (const char* shown : {"11025 0 0", "12000 -20 7"}) {
            withCommand(command(*w, "Configure", "Sound card..."), [shown](QDialog* d) {
                auto* rate = d->findChild<QLineEdit*>(QStringLiteral("lineEdit"));
                auto* rx = d->findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxRX"));
                auto* tx = d->findChild<QDoubleSpinBox*>(QStringLiteral("doubleSpinBoxTX"));
                QCOMPARE(QStringLiteral("%1 %2 %3").arg(rate->text()).arg(rx->value()).arg(tx->value()), QString::fromLatin1(shown));
                rate->setText(QStringLiteral("12000"));
                rx->setValue(-20);
                tx->setValue(7);
                pressOk(d);
            });
        }
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Accepted"));
        QCOMPARE(std::pair(w->modem()->inputRate(), w->modem()->outputRate()), std::pair(12000.0 * (1e6 - 20) / 1e6, 12000.0 * (1e6 + 7) / 1e6));

        // A macro is written (a right click on its button), saved to a file
        // and sent with F1.
        withDialog([&] { QTest::mouseClick(w->controlBar()->findChild<QPushButton*>("pushButton_1"), Qt::RightButton); }, [](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(QStringLiteral("CQ"));
            d->findChild<QPlainTextEdit*>(QStringLiteral("plainTextEdit"))
                ->setPlainText(QStringLiteral("CQ CQ de <MYCALL> k"));
            pressOk(d);
        });
        w->txView()->clear();
        m_files << macros << macros;
        command(*w, "Configure", "Save macros")->trigger();
        QVERIFY(QFile::exists(macros));
        QList<SMacro> edited = w->macros();
        edited[0].label = QStringLiteral("CQ2");
        QVERIFY(Macros::writeFile(macros, edited, nullptr));
        command(*w, "Configure", "Load macros")->trigger();
        QCOMPARE(w->controlBar()->findChild<QPushButton*>("pushButton_1")->text(), QStringLiteral("F1 CQ2"));
        // A macro file that cannot be read is said.
        m_files << m_dir->filePath(QStringLiteral("none.mac"));
        const QString unread = boxText([&] { command(*w, "Configure", "Load macros")->trigger(); });
        QVERIFY2(unread.contains("none.mac"), qPrintable(unread));

        // Macros are never saved over the logbook.
        m_files << w->logFileName();
        const QString refusal = boxText([&] { command(*w, "Configure", "Save macros")->trigger(); });
        QVERIFY2(refusal.contains("belongs to the logbook"), qPrintable(refusal));
        QCOMPARE(QFileInfo(w->logFileName()).size(), 0);
        // A first start receives with the sensitive receiver; the menu ticks
        // the one in use and takes the standard one.
        QMenu* receiver = command(*w, "Configure", "Receiver")->menu();
        emit receiver->aboutToShow();
        QVERIFY(w->modem()->sensitiveReceiver() && receiver->actions().at(0)->isChecked());
        receiver->actions().at(1)->trigger();
        emit receiver->aboutToShow();
        QVERIFY(w->modem()->receiverName() == "standard" && receiver->actions().at(1)->isChecked());
        // MMVari chosen, and the only character set ticked.
        QMenu* varicode = command(*w, "Configure", "Varicode")->menu();
        varicode->actions().at(1)->trigger();
        emit varicode->aboutToShow();
        for (QAction* a : varicode->actions())
            QCOMPARE(a->isChecked(), a->data().toInt() == 1 && w->modem()->charSet() == 1);

        // Printing: each dialog comes up and is cancelled.
        withCommand(command(*w, "&File", "Print previe&w..."), [](QDialog* d) {
            QVERIFY(d->findChild<QPrintPreviewWidget*>()->pageCount() > 0); // the preview is drawn
            d->reject();
        });
        withCommand(command(*w, "&File", "&Print"), [](QDialog* d) { d->reject(); });
        // About names where this installation keeps its files.
        withCommand(command(*w, "&Help", "&About Velkora32"), [&](QDialog* d) {
            QVERIFY(static_cast<QMessageBox*>(d)->text().contains(w->logFileName()));
            pressOk(d);
        });

        // A contact, saved from the entry bar with Alt+A; the bar and the
        // status line say what happened.
        QCOMPARE(w->logBar()->findChild<QLabel*>(QStringLiteral("label_QHT"))->text(), QStringLiteral("&QTH"));
        const auto altA = [&w] { QTest::keyClick(w.get(), Qt::Key_A, Qt::AltModifier); };
        QTest::mouseClick(w->logBar()->saveButton(), Qt::LeftButton); // the button does what Alt+A does
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("QSO not saved: the Call field is empty"));
        for (const auto& [name, text] : {std::pair{"editCall", "JA1QRP"}, {"editName", "Taro"}, {"editRecv", "579"}})
            field(*w, name)->setText(QLatin1String(text));
        w->logBar()->bandBox()->setCurrentText(QStringLiteral("40m"));
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "UTC-3"); // three hours east of UTC: the log still holds UTC
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);
        altA();
        zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("QSO saved: JA1QRP"));
        const CQsoData saved = CHamLog(w->logFileName()).search(QString()).value(0);
        QVERIFY2(saved.start >= before.addMSecs(-before.time().msec()) && saved.start <= QDateTime::currentDateTimeUtc()
                     && saved.frequencyB == 7070000u, // no rig: the band's frequency
                 qPrintable(saved.start.toString()));
        const auto logged = [&w] { return LogFixtures::readAll(w->logFileName()); };
        QVERIFY(logged().count('\n') == 1 && logged().contains("JA1QRP"));

        // The log goes out as ADIF and comes back without doubling.
        m_files << adif << adif;
        command(*w, "&File", "Export ADIF")->trigger();
        QVERIFY(QFile::exists(adif));
        command(*w, "&File", "Import ADIF")->trigger();
        command(*w, "&File", "Merge")->trigger(); // cancelled
        QCOMPARE(logged().count('\n'), 1);
        // Another station's log merged in adds its contact; an import that
        // fails says so, naming the file.
        const QString other = m_dir->filePath(QStringLiteral("other.log"));
        LogFixtures::writeAll(other, logged().replace("JA1QRP", "W1AW"));
        LogFixtures::writeAll(adif, LogFixtures::readAll(adif) + "<CALL:4>K1AB<EOR>"); // no date, time or band
        m_files << other << m_dir->filePath(QStringLiteral("none.adi")) << adif;
        command(*w, "&File", "Merge")->trigger();
        QCOMPARE(std::pair(w->statusBar()->currentMessage(), int(logged().count('\n'))), std::pair(QStringLiteral("1 QSO(s) merged from %1").arg(other), 2));
        for (const QString& said : {QStringLiteral("none.adi failed."), QStringLiteral("1 record(s) left out")}) // and what it left out
            QVERIFY(boxText([&] { command(*w, "&File", "Import ADIF")->trigger(); }).contains(said));

        // The search shows the contact.
        withCommand(command(*w, "&File", "&Search in logfile..."), [&](QDialog* d) {
            d->reject(); // first, so that a failure leaves no dialog open
            QCOMPARE(d->findChild<QTableView*>()->model()->headerData(7, Qt::Horizontal).toString(), QStringLiteral("QTH"));
        });

        // Macro 0, read back from the file, fires from F1 into the transmit
        // pane with the operator's call filled in.
        QTest::keyClick(w.get(), Qt::Key_F1);
        QCOMPARE(w->txView()->toPlainText(), QStringLiteral("CQ CQ de VK2XYZ k"));

        QVERIFY(w->close());
        w.reset();

        // What the user did is in the settings file.
        QSettings ini(Settings::path(), QSettings::IniFormat);
        for (const auto& [key, value] : {std::pair{"Personal data/call", "VK2XYZ"}, {"Personal data/name", "Sam"}, {"Personal data/qth", "Sydney"},
                                         {"Audio/Input/SampleRate", "12000"}, {"Audio/Input/ppm", "-20"}, {"RxFq", "1000"},
                                         {"Macros/Macros 0/text", "CQ CQ de <MYCALL> k"}, {"Receiver", "standard"}, {"LogBar/band", "40m"}})
            QCOMPARE(ini.value(QLatin1String(key)).toString(), QLatin1String(value));
        QVERIFY(makeWindow()->modem()->receiverName() == "standard"); // and the next start takes that receiver
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
        store(macros);
        auto w = makeWindow();
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
        for (QToolButton* button : w->logBar()->findChildren<QToolButton*>()) // Save, Clear and Search show their pictures, on a clear ground
            QVERIFY2(!button->icon().isNull() && button->icon().pixmap(16).toImage().pixelColor(0, 0).alpha() == 0, qPrintable(button->objectName()));
        const QList<QWidget*> fields{w->txLabel(), w->rxLabel(), w->dateLabel(), w->clock(), w->titleBar()};
        for (QWidget* field : fields)
            QVERIFY(field && w->statusBar()->isAncestorOf(field) && field->isVisible());
        for (QWidget* bar : QList<QWidget*>{w->statusBar(), w->controlBar(), w->logBar(), w->titleBar()})
            laidOut(bar);
        QVERIFY(w->titleBar()->findChild<QSlider*>(QStringLiteral("sliderSquelchLevel"))->x() > w->titleBar()->checkBoxSQ->x());
        QCOMPARE(w->rxLabel()->text(), QStringLiteral("Rx: 1000.00"));
        const QString first = w->clock()->text();
        QTRY_VERIFY_WITH_TIMEOUT(w->clock()->text() != first, 3000);
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const int off = std::abs(QTime::fromString(w->clock()->text(), QStringLiteral("hh:mm:ss")).secsTo(now.time()));
        QVERIFY2(off <= 2 || off >= 86398, qPrintable(w->clock()->text()));
        QVERIFY(w->dateLabel()->text() == now.toString(QStringLiteral("dd.MM.yyyy")) || off > 2);
    }

    // What the rig dialog shows is what was stored, and Ok keeps it; it
    // offers the fields of the rig's link only.
    void rigDialogShowsWhatItStored()
    {
        RigConfig cat, line;
        cat.model = RigConfig::kNetwork, cat.port = 4600, cat.ptt = RigConfig::Ptt::Cat;
        line.model = 3073 /* IC-7300 */, line.device = QStringLiteral("/dev/ttyUSB0"), line.baudRate = 19200;
        line.ptt = RigConfig::Ptt::HamlibLine, line.pttDtr = true, line.pttDevice = QStringLiteral("/dev/ttyS1");
        SelectPortDlg::setPortLister([] { return QList<SelectPortDlg::PortInfo>{{"/dev/ttyACM0", "IC-7300 USB"}}; }); // the ports offered
        for (const RigConfig& c : {RigConfig(), cat, line}) {
            c.save();
            QVERIFY(RigConfig::load() == c);
            RigControlDlg d(RigConfig::load(), HamlibRig::models());
            const QListWidgetItem* rig = d.findChild<QListWidget*>(QStringLiteral("listRigs"))->currentItem(); // listed by name
            QVERIFY(rig && rig->data(Qt::UserRole).toInt() == c.model && !rig->text().contains(QStringLiteral("not known"))
                    && d.config() == c && d.findChild<QLineEdit*>(QStringLiteral("lineEditHost"))->isEnabled() == (c.model == cat.model)
                    && d.findChild<QComboBox*>(QStringLiteral("comboDevice"))->isEnabled() == (c.model == line.model)
                    && d.findChild<QComboBox*>(QStringLiteral("comboPtt"))->currentData() == int(c.ptt) // shown, not only kept
                    && d.findChild<QComboBox*>(QStringLiteral("comboBaud"))->currentText() == (c.baudRate ? QString::number(c.baudRate) : QStringLiteral("Rig default"))
                    && d.findChild<QSpinBox*>(QStringLiteral("spinPttWait"))->isEnabled() == (c.ptt != RigConfig::Ptt::SerialRts) // keyed by a rig
                    && d.findChild<QComboBox*>(QStringLiteral("comboDevice"))->findText(QStringLiteral("/dev/ttyACM0")) >= 0);
            d.findChild<QSpinBox*>(QStringLiteral("spinPort"))->stepUp(); // what is changed is what Ok keeps
            QCOMPARE(d.config().port, c.port + 1);
        }
        SelectPortDlg::setPortLister({});
    }

    // The window's reports: the Configure entries, the personal data they
    // need, and what a logger on this computer hears from the window.
    void pskReporterNeedsCallAndLocator()
    {
        listenAsLogger();
        auto w = std::make_unique<MainWindow>();
        auto* psk = w->findChild<QAction*>(QStringLiteral("reportToPskReporter"));
        QVERIFY(psk && !psk->isChecked() && !w->reportLabel()->isVisibleTo(w.get())); // off until turned on
        // Without a locator it stays off and says why.
        withDialog([psk] { psk->setChecked(true); }, [](QDialog* box) { box->close(); });
        QVERIFY(!psk->isChecked());

        // The personal data dialog takes a valid locator only.
        withDialog([&w] { w->slotPersonalData(); }, [](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("lineEditCall"))->setText(QStringLiteral("dl1abc"));
            auto* locator = d->findChild<QLineEdit*>(QStringLiteral("lineEditLocator"));
            locator->setText(QStringLiteral("JZ62"));
            pressOk(d);
            QVERIFY(d->isVisible() && d->findChild<QLabel*>(QStringLiteral("labelProblem"))->isVisible()); // refused, and says why
            locator->setText(QStringLiteral("jo62QM"));
            for (const auto& [name, text] : {std::pair{"lineEditAntenna", "dipole"}, {"lineEditName", "Jan"}, {"lineEditQTH", "Ulm"}})
                d->findChild<QLineEdit*>(QLatin1String(name))->setText(QLatin1String(text));
            pressOk(d);
        });
        QCOMPARE(w->personalData().locator, QStringLiteral("JO62qm"));
        // Opened again and left with Ok, the dialog keeps every field.
        const auto fields = [&p = w->personalData()] { return QStringList{p.call, p.name, p.qth, p.locator, p.antenna}; };
        const QStringList stored = fields();
        withDialog([&w] { w->slotPersonalData(); }, [](QDialog* d) { pressOk(d); });
        QCOMPARE(fields(), stored);
        psk->setChecked(true);
        QVERIFY(psk->isChecked() && w->reportLabel()->isVisibleTo(w.get()) && !w->reportLabel()->toolTip().isEmpty());
        QCOMPARE(w->pskReporter()->receiver().antenna, QStringLiteral("dipole"));

        // Calls copied by any channel are queued once; the own call never; a
        // change of the other report forgets no call half heard.
        // Without a rig the spot's frequency is the band's dial plus the audio.
        w->logBar()->bandBox()->setCurrentText(QStringLiteral("40m"));
        w->reportText(-1, 1000.0, u"cq cq de W1AW", -12.4);
        w->findChild<QAction*>(QStringLiteral("sendToLogger"))->toggle();
        w->reportText(-1, 1000.0, u" W1AW pse k\n", -12.4);
        w->reportText(7, 1500.0, u"CQ de W1AW W1AW k\ncq de DL1ABC DL1ABC k\n");
        QCOMPARE(w->pskReporter()->queuedSpots(), 1);
        QByteArray message;
        connect(w->pskReporter(), &PskReporter::messageBuilt, this, [&message](const QByteArray& m) { message = m; });
        w->close();
        QVERIFY(message.contains(QByteArray::fromHex("006be518f4"))); // 7071000 Hz, -12 dB
        QCOMPARE((QStringList{Settings().value(QStringLiteral("Report/PskReporter")).toString(), Settings().value(QStringLiteral("Report/Logger")).toString(),
                              PersonalData().locator}), (QStringList{"true", "false", "JO62qm"})); // the locator as the next start reads it
    }

    void loggerHearsSavedQsoAndClose()
    {
        listenAsLogger();
        auto w = std::make_unique<MainWindow>();
        QTRY_VERIFY_WITH_TIMEOUT(m_logger.hasPendingDatagrams(), 10000);  // the first heartbeat
        field(*w, "editCall")->setText(QStringLiteral("w1aw"));
        QTRY_COMPARE_WITH_TIMEOUT((typesHeard(), m_status), QStringLiteral("PSK31|W1AW|PSK31"), 5000);
        w->saveQSO();
        QCOMPARE(typesHeard(2), (QList<quint32>{Wsjtx::QsoLogged, Wsjtx::LoggedAdif}));
        QVERIFY2(m_adif.contains(u"<CALL:4>W1AW"), qPrintable(m_adif)); // as the log keeps it
        w->close();
        QCOMPARE(typesHeard(1), QList<quint32>{Wsjtx::Close});

        // Turned off, the logger hears Close and then nothing.
        auto again = std::make_unique<MainWindow>();
        auto* logger = again->findChild<QAction*>(QStringLiteral("sendToLogger"));
        QVERIFY(logger->isChecked());
        logger->setChecked(false);
        QCOMPARE(typesHeard(1), QList<quint32>{Wsjtx::Close});
        field(*again, "editCall")->setText(QStringLiteral("k1abc"));
        again->saveQSO();
        again->close();
        again.reset();
        QCoreApplication::processEvents();
        QCOMPARE(typesHeard(), QList<quint32>());
    }

    void reportTargetsStoredAndRestored()
    {
        auto w = std::make_unique<MainWindow>();
        QVERIFY(w->findChild<QAction*>(QStringLiteral("sendToLogger"))->isChecked());  // 127.0.0.1:2237
        withCommand(w->findChild<QAction*>(QStringLiteral("reportTargets")), [](QDialog* d) {
            auto edit = [d](const char* name) { return d->findChild<QLineEdit*>(QLatin1String(name)); };
            auto* problem = d->findChild<QLabel*>(QStringLiteral("labelProblem"));
            const std::pair<const char*, const char*> entries[] = {
                {"lineEditLoggerAddress", "logger.example"}, {"lineEditMulticastGroup", "192.0.2.1"},
                {"lineEditPskHost", "report pskreporter"}, {"lineEditPskHost", ""}};
            for (const auto& [name, bad] : entries) {
                const QString good = edit(name)->text();
                edit(name)->setText(QLatin1String(bad));
                pressOk(d);
                QVERIFY2(d->isVisible() && problem->isVisibleTo(d) && problem->y() > 0 && !problem->text().isEmpty(), bad); // under the fields
                edit(name)->setText(good);
            }
            edit("lineEditLoggerAddress")->setText(QStringLiteral("192.0.2.7"));
            d->findChild<QSpinBox*>(QStringLiteral("spinLoggerPort"))->setValue(52001);
            edit("lineEditMulticastGroup")->setText(QStringLiteral("239.255.0.1"));
            edit("lineEditPskHost")->setText(QStringLiteral("127.0.0.1"));
            d->findChild<QSpinBox*>(QStringLiteral("spinPskPort"))->setValue(14739);
            pressOk(d);
        });
        for (int run = 0; run < 2; ++run) {
            if (run == 1) {
                // Opened again and left with Ok, the dialog keeps every field.
                withCommand(w->findChild<QAction*>(QStringLiteral("reportTargets")), [](QDialog* d) { pressOk(d); });
                w->close();
                w = std::make_unique<MainWindow>();
            }
            const WsjtxClient* logger = w->loggerClient();
            QCOMPARE((QStringList{logger->server().toString(), QString::number(logger->port()), logger->multicastGroup().toString(),
                                  w->pskReporter()->collectorHost(), QString::number(w->pskReporter()->collectorPort())}),
                     (QStringList{"192.0.2.7", "52001", "239.255.0.1", "127.0.0.1", "14739"}));
            QVERIFY(w->findChild<QAction*>(QStringLiteral("sendToLogger"))->isChecked());
        }
        // Unless turned on, another address stays off, also on the standard port.
        Settings().remove(QStringLiteral("Report/Logger"));
        QVERIFY(!ReportTargets::load().logger);
        store({{"Report/LoggerPort", 2237}});
        QVERIFY(!ReportTargets::load().logger);
        // Damaged stored targets fall back to the standard ones.
        store({{"Report/PskHost", "a b"}, {"Report/LoggerAddress", "logger.example"}, {"Report/LoggerGroup", "192.0.2.1"}});
        const auto targets = [](const ReportTargets& t) {
            return QStringList({t.pskHost, QString::number(t.pskPort), t.loggerAddress, QString::number(t.loggerPort), t.multicastGroup});
        };
        QCOMPARE(targets(ReportTargets::load()), targets(ReportTargets()));
        QCOMPARE(targets(ReportTargets()), (QStringList{"report.pskreporter.info", "4739", "127.0.0.1", "2237", ""}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
