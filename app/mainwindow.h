// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/bandtable.h"
#include "logbook/personaldata.h"
#include "logbook/selectnamedlg.h"
#include "report/callextractor.h"
#include "rig/comport.h"
#include "text/macros.h"

#include <QByteArray>
#include <QHash>
#include <QKeySequence>
#include <QMainWindow>
#include <QStringList>

#include <array>
#include <atomic>
#include <memory>

class AudioIn;
class AudioOut;
class CPskTxRx;
class CRxView;
class CTxView;
class ControlBarEx;
class LogBar;
class QAction;
class QMenu;
class PhaseScope;
class PskReporter;
class WsjtxClient;
struct CQsoData;
struct ReportTargets;
class RigControl;
struct RigStatus;
class SignalBankWorker;
class SignalBrowser;
class QDockWidget;
class QLabel;
class QPushButton;
class WorkedBefore;
class QSpinBox;
class SpectrumTitleBar;
class SpectrumWidget;
class StatusPaneTime;

// The one top-level window and the owner of everything else: sound input and
// output, the modem, the receive and transmit panes, the displays and the
// push-to-talk port. It builds them in a fixed order, places them in docks
// and the status bar, and runs the sound-input path (captured audio to modem
// and waterfall) and the transmit switch (push-to-talk, modem, output
// stream, Tx label colour). GUI thread; the transmit-sample hook it offers
// the output stream runs on the audio output thread.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static constexpr int kDisplayBlockSize = 2048;
    // The transmit level control's range and default, in dB below full scale.
    static constexpr int kLowestTxLevelDb = -40;
    static constexpr int kDefaultTxLevelDb = -3;

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // False when the window could not start (no "ENG" Morse table); the
    // message has been shown and the program ends.
    bool startedOk() const { return m_startedOk; }

    // The window whose hooks are live; null until construction has ended.
    static MainWindow* instance();
    // Output callback's hook: fills count samples; false when the
    // transmission has ended or there is no window.
    static bool transmitSampleHook(qint16* samples, int count);

    const QStringList& modeList() const { return m_modeList; }
    QString currentMode() const { return m_currentMode; }

    // Parts, for the command slots and for tests.
    CPskTxRx* modem() const { return m_modem; }
    CRxView* rxView() const { return m_rxView; }
    CTxView* txView() const { return m_txView; }
    SignalBrowser* signalBrowser() const { return m_signalBrowser; }
    SignalBankWorker* signalBank() const { return m_signalBank; }
    // The input path hands each batch of received audio here after the
    // modem; the signal bank decodes it while the "Signals" dock shows.
    void feedSignalBank(const qint16* samples, int count);
    SpectrumWidget* spectrum() const { return m_spectrum; }
    SpectrumTitleBar* titleBar() const { return m_titleBar; }
    PhaseScope* phaseScope() const { return m_phaseScope; }
    AudioIn* audioIn() const { return m_audioIn; }
    AudioOut* audioOut() const { return m_audioOut; }
    Comport& comport() { return m_comport; }
    RigControl* rig() const { return m_rig; }
    QLabel* rigLabel() const { return m_rigLabel; }
    LogBar* logBar() const { return m_logBar; }
    ControlBarEx* controlBar() const { return m_controlBar; }
    const QList<SMacro>& macros() const { return m_macros; }
    // "<application name>.mac" in the writable application directory.
    QString macroFileName() const;
    const PersonalData& personalData() const { return m_personalData; }
    const BandTable::Table& bandTable() const { return m_bandTable; }
    // "<application name>.log" in the writable application directory.
    QString logFileName() const;
    // How the commands ask for file names and the report (the desktop's
    // file dialog, and SelectNameDlg for the report, unless replaced, as
    // tests do; an empty chooser restores them).
    void setNameChooser(NameChooser chooser);
    QLabel* txLabel() const { return m_txLabel; }
    QSpinBox* txLevelBox() const { return m_txLevelBox; }
    QMenu* modeMenu() const { return m_modeMenu; }
    QMenu* viewMenu() const { return m_viewMenu; }
    QMenu* configureMenu() const { return m_configureMenu; }
    QMenu* varicodeMenu() const { return m_varicodeMenu; }
    QAction* saveQsoAction() const { return m_saveQsoAction; }
    QLabel* rxLabel() const { return m_rxLabel; }
    QLabel* dateLabel() const { return m_dateLabel; }
    // Says in the status bar which sound stream is lost; hidden otherwise.
    QLabel* soundLabel() const { return m_soundLabel; }
    StatusPaneTime* clock() const { return m_clock; }
    const QByteArray& inputAccumulator() const { return m_inputAccumulator; }
    int displayFill() const { return m_displayFill; }
    const float* displayBlock() const { return m_displayBlock.data(); }
    bool isOutputActive() const;

    // Streams reopened by the sound card dialog so far: the input (which is
    // restarted at once), the output, and the output restarted because it
    // was playing. Read by tests, which have no running sound card to watch.
    struct StreamChanges
    {
        int inputRestarted = 0;
        int outputReopened = 0;
        int outputRestarted = 0;
    };
    const StreamChanges& soundCardStreamChanges() const { return m_soundCardStreamChanges; }
    // Whether the modem has ended the transmission whose stop is still to
    // come. Read by tests.
    bool transmissionEnded() const { return m_txEnded.load(std::memory_order_acquire); }

    // The reports (mainwindow_report.cpp): spots to PSK Reporter, logged
    // contacts to a logging program.
    PskReporter* pskReporter() const { return m_pskReporter; }
    WsjtxClient* loggerClient() const { return m_wsjtx; }
    QLabel* reportLabel() const { return m_reportLabel; }
    // Decoded text of one channel, searched for the call signs of calling
    // stations; audioHz is where the channel is tuned, snrDb its signal to
    // noise.
    void reportText(qint64 channel, double audioHz, QStringView text, double snrDb = 0.0);
    // A contact was logged or changed in the log: the logger hears of it.
    void reportLoggedQso(const CQsoData& qso);

    // Help -> About: version, licence and where this installation keeps its
    // settings, log, macros and data files.
    QString aboutText() const;

    // The clock's text for a moment, as the timer shows it.
    void updateClock();

    // Operating from the keyboard (mainwindow_operating.cpp): the Transmit
    // menu's commands, the Tx/Rx button that follows the transmit state, the
    // manual, and the worked-before hint of the log bar.
    QAction* transmitAction() const { return m_transmitAction; }
    QAction* stopAction() const { return m_stopAction; }
    QPushButton* txButton() const { return m_txButton; }
    QLabel* workedLabel() const { return m_workedLabel; }
    QString manualPath() const;

signals:
    void signalMacrosLoaded(const QList<SMacro>& macros);
    void signalMacroChanged(const SMacro& macro);
    void signalAddTxText(const QString& text);

public slots:
    void slotAudioInputReady(int numBytes);
    void slotRxFqNotified(double fq);
    void slotTxFqNotified(double fq);
    // A stop by the operator (the Tx label, <TXTOGGLE>) and a restart (a
    // macro's <TX> while transmitting) cut the running transmission short:
    // its unsent rest, up to and including its end marker, is dropped from
    // the transmit pane, so the next transmission goes out at once and alone.
    void onTxToggle();
    void onTxStart();
    void startAudioOut();
    void stopAudioOut();
    void stopTransmission();
    void restartTransmission();
    // The first half of a restart: the modem leaves the running transmission
    // (the output keeps playing), and its unsent rest is dropped.
    void endForRestart();
    // The output has played the end of a transmission.
    void slotOutputEnded();
    void getTxChar(quint32& ch);
    void slotModeChanged(const QString& mode);
    void slotAFC(int state);
    void slotLock(int state);
    void slotSQ(int state);
    void onComportRead();
    void slotSelectPort();
    void slotSoundCard();
    void slotTxLevel(int db);
    void slotRigControl();
    // A sound stream was lost or is back: the status bar says so, and a
    // transmission whose output was lost ends, releasing the transmitter.
    void slotSoundStreamsChanged();

    // Macro commands.
    void slotControlBar(int i);
    void slotEditMacro(int i);
    void slotLoadMacros();
    void slotSaveMacros();

    // Logbook commands.
    void saveQSO();
    void clearQSO();
    void searchLog();
    bool importADIF();
    bool exportADIF();
    bool mergeLog();
    void slotPersonalData();
    void sendFile();
    void slotTXEcho(bool on);
    void slotUpdateModeMenu();
    void slotModeMenu(QAction* action);
    void slotUpdateViewMenu();
    void slotViewMenu(QAction* action);
    void slotUpdateConfigureMenu();
    void slotUpdateVaricodeMenu();
    void slotVaricodeMenu(QAction* action);
    void slotAbout();
    // Ctrl+T: starts a transmission, or ends the running one once the text
    // typed so far is sent. Esc: stops at once. Ctrl+R: back to receive
    // after the text.
    void slotTransmitKey();
    void slotStopNow();
    void slotReceiveAfterText();
    // The save button and Alt+A: asks before a QSO without a report is
    // saved, then saveQSO().
    void saveQsoAsked();
    void slotManual();
    void slotPskReporter(bool on);
    void slotLogger(bool on);
    // Configure, "Logger and PSK Reporter...".
    void slotReportTargets();

protected:
    void timerEvent(QTimerEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Whether the modem is still sending a transmission (not yet ended).
    bool transmissionRunning() const;
    void dropUnsentRest();
    QDockWidget* makeDock(const QString& name, const QString& title, Qt::DockWidgetArea area,
                          QWidget* widget);
    void restoreLayout();
    void applyBuiltInLayout();
    void saveLayout();
    void connectPortReader();
    QWidget* createTxLevelBox();
    void applyTxLevel();
    void askTxFrequency();
    void askRxFrequency();
    void createMenus();
    QAction* addCommand(QMenu* menu, const QString& text, const QString& tip,
                        const QKeySequence& shortcut = QKeySequence());
    // F1 to F12 and Ctrl+F1 to Ctrl+F12, bound once for the whole program.
    void createMacroShortcuts();
    // What the macros' field tags stand for now: the personal data and the
    // log bar's fields.
    MacroFields macroFields() const;
    // A file name through the desktop's file dialog for that kind of file
    // (FileNameDlg), or the chooser set for tests; a relative name is taken
    // from the writable folder. False when cancelled.
    bool askFile(const QString& title, const QString& label, const QString& preset, bool forSaving,
                 QString& path, const QString& kind, const QString& filter);
    void logCommandFailed(const QString& text, const QString& reason);
    // The modem keys this call as its Morse identification.
    void sendCallSignToModem();
    // Rig control: the thread, the status-bar field, the dial following.
    void setUpRig();
    void showRigStatus(const RigStatus& status);
    // The rig's answer to a keying that startAudioOut() asked for.
    void slotPttAnswered(bool keyed, const QString& why);
    // Starts sending once the transmitter is keyed.
    void beginTransmission();
    void refuseTransmission(const QString& why);
    // Dial plus receive audio frequency; 0 without a dial reading.
    quint32 rigQsoFrequency() const;
    // The "Signals" dock (mainwindow_signals.cpp): every signal of the mode
    // decoded at once while the dock shows.
    QDockWidget* createSignalsDock();
    void updateSignalBrowser();
    // The squelch level and AFC range from the title bar to the modem, now
    // and when they change; the tuned signal's S/N and IMD to the title bar
    // and the report it suggests to the log bar, once a second.
    void setUpSignalReport();
    void updateSignalReport();
    void createOperatingControls();
    void updateTxButton();
    void updateWorkedBefore();
    void setUpReporting();
    void applyReportSettings();
    void useReportTargets(const ReportTargets& targets);
    void sendLoggerStatus();
    // At the end: the last spots go out, and the logger hears Close.
    void finishReporting();

    // Constructed first: reads "Comport" and opens the port.
    Comport m_comport;
    bool m_startedOk = true;
    QString m_currentMode;
    // The mode name as read from the settings ("QPSK", as the modem calls
    // QPSK31, too), written back unchanged while it still names the mode.
    QString m_storedMode;
    QStringList m_modeList;
    // Reads "Personal data" when constructed and, as a member, writes it back
    // after the destructor has deleted the audio objects.
    PersonalData m_personalData;
    BandTable::Table m_bandTable;
    QMenu* m_modeMenu = nullptr;
    QMenu* m_viewMenu = nullptr;
    QMenu* m_configureMenu = nullptr;
    QMenu* m_varicodeMenu = nullptr;
    QAction* m_saveQsoAction = nullptr;
    QAction* m_searchAction = nullptr;
    NameChooser m_chooseName; // empty: the program's own prompts

    CRxView* m_rxView = nullptr;
    CTxView* m_txView = nullptr;
    SpectrumWidget* m_spectrum = nullptr;
    PhaseScope* m_phaseScope = nullptr;
    QLabel* m_rxLabel = nullptr;
    QLabel* m_txLabel = nullptr;
    QSpinBox* m_txLevelBox = nullptr;
    QLabel* m_dateLabel = nullptr;
    QLabel* m_soundLabel = nullptr;
    StatusPaneTime* m_clock = nullptr;
    SpectrumTitleBar* m_titleBar = nullptr;
    AudioIn* m_audioIn = nullptr;
    AudioOut* m_audioOut = nullptr;
    CPskTxRx* m_modem = nullptr;
    LogBar* m_logBar = nullptr;
    ControlBarEx* m_controlBar = nullptr;
    // The 24 user macros; position i is sent by key or button number i.
    QList<SMacro> m_macros;

    QDockWidget* m_rxDock = nullptr;
    QDockWidget* m_txDock = nullptr;
    QDockWidget* m_spectrumDock = nullptr;
    QDockWidget* m_logDock = nullptr;
    QDockWidget* m_macroDock = nullptr;
    QDockWidget* m_phaseDock = nullptr;
    QDockWidget* m_signalsDock = nullptr;
    SignalBankWorker* m_signalBank = nullptr;
    SignalBrowser* m_signalBrowser = nullptr;

    QByteArray m_inputAccumulator;
    std::array<float, kDisplayBlockSize> m_displayBlock{};
    int m_displayFill = 0;
    int m_clockTimer = 0;
    StreamChanges m_soundCardStreamChanges;
    // Set by the transmit-sample hook on the audio thread when the modem
    // ends, cleared by the stop.
    std::atomic<bool> m_txEnded{false};
    // A start asked for while the end's stop was on its way.
    bool m_startAfterStop = false;
    RigControl* m_rig = nullptr;
    QLabel* m_rigLabel = nullptr;
    QString m_dialBand; // the band the dial was last seen in
    bool m_rigPttUnsure = false; // the rig may be keyed against our will
    QAction* m_transmitAction = nullptr;
    QAction* m_stopAction = nullptr;
    QPushButton* m_txButton = nullptr;
    QLabel* m_workedLabel = nullptr;
    std::shared_ptr<WorkedBefore> m_workedBefore;
    PskReporter* m_pskReporter = nullptr;
    WsjtxClient* m_wsjtx = nullptr;
    QLabel* m_reportLabel = nullptr;
    QAction* m_pskAction = nullptr;
    QAction* m_loggerAction = nullptr;
    CallExtractor m_callExtractor;
    QHash<int, TextTail> m_bankTextSeen; // signal number -> where its text was searched to
};
