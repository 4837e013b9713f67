// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "app/messagestatusbar.h"

#include "core/apppaths.h"
#include "app/dockstyle.h"
#include "app/enterdouble.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "app/statuspanetime.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "display/phasescope.h"
#include "display/spectrumtitlebar.h"
#include "display/spectrumwidget.h"
#include "logbook/logbar.h"
#include "modem/cwtables.h"
#include "modem/pskmodes.h"
#include "modem/psktxrx.h"
#include "rig/rigcontrol.h"
#include "rig/selectportdlg.h"
#include "rig/serialadapter.h"
#include "text/controlbarex.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QShortcutEvent>
#include <QStatusBar>
#include <QToolButton>

#include <atomic>

namespace {

std::atomic<MainWindow*> g_instance{nullptr};

QString frequencyText(double fq)
{
    return QString::number(fq, 'f', 2);
}

// The mode box's name for a stored mode name: the modem's own names "BPSK"
// and "QPSK" run at the first speed; a name the table does not know stays.
QString modeFromStored(const QString& stored)
{
    const bool modemName = stored == QLatin1String("BPSK") || stored == QLatin1String("QPSK");
    const PskMode* mode = modemName ? PskModes::find(stored == QLatin1String("QPSK"), PskModes::standard().baudHundredths)
                                    : nullptr;
    return mode ? mode->displayName() : stored;
}

void showCwTableMessages(QWidget* parent, const QList<CCwTableMessage>& messages)
{
    for (const CCwTableMessage& m : messages) {
        if (m.severity == CCwTableMessage::Critical)
            QMessageBox::critical(parent, m.title, m.text, QMessageBox::Close);
        else
            QMessageBox::warning(parent, m.title, m.text, QMessageBox::Close);
    }
}

} // namespace

MainWindow* MainWindow::instance()
{
    return g_instance.load(std::memory_order_acquire);
}

bool MainWindow::transmitSampleHook(qint16* samples, int count)
{
    MainWindow* w = instance();
    if (!w || !w->m_modem)
        return false;
    if (w->m_modem->GenerateTxSamples(samples, count) != 0)
        return true;
    w->m_txEnded.store(true, std::memory_order_release);
    return false;
}

MainWindow::MainWindow(QWidget* parent)
    : QMainWindow(parent)
{
    m_macros = Macros::withDefaults(Macros::loadFromSettings()); // a first start gets a set to begin with
    // Morse tables next: without "ENG" there is no program.
    QList<CCwTableMessage> messages;
    const bool haveEnglish = CwTables::loadAll(AppPaths::dataDirectory(), &messages);
    showCwTableMessages(this, messages);
    if (!haveEnglish) {
        m_startedOk = false;
        return;
    }

    m_bandTable = BandTable::load(
        QDir(AppPaths::dataDirectory()).absoluteFilePath(QStringLiteral("bands.ini")));

    // The logbook is there from the first start, where the user is told to
    // find it; an empty file is an empty log.
    QFile log(logFileName());
    if (!log.exists() && !log.open(QIODevice::Append))
        qWarning().noquote() << tr("Cannot create the log file %1: %2").arg(log.fileName(), log.errorString());

    m_modeList = PskModes::names();

    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Velkora32"));
    setDockNestingEnabled(true);
    setAnimated(true);
    setWindowIcon(QIcon(QStringLiteral(":/icon.bmp")));

    setStatusBar(new MessageStatusBar(this));
    m_txLabel = new QLabel(QStringLiteral("Tx: "), this);
    m_txLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_txLabel->setFixedWidth(80);
    m_txLabel->installEventFilter(this);
    m_rxLabel = new QLabel(QStringLiteral("Rx: "), this);
    m_rxLabel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_rxLabel->setFixedWidth(80);
    m_dateLabel = new QLabel(this);
    m_clock = new StatusPaneTime(this);
    statusBar()->addPermanentWidget(m_txLabel);
    statusBar()->addPermanentWidget(createTxLevelBox());
    statusBar()->addPermanentWidget(m_rxLabel);
    statusBar()->addPermanentWidget(m_dateLabel);
    statusBar()->addPermanentWidget(m_clock);
    // Messages show over the normal widgets, so this label gives them room.
    statusBar()->addWidget(new QLabel(this), 1);

    m_spectrum = new SpectrumWidget(this);
    m_spectrum->setObjectName(QStringLiteral("SpectrumWidget"));
    m_spectrumDock = makeDock(QStringLiteral("Spectrum"), tr("Spectrum"), Qt::BottomDockWidgetArea, m_spectrum);
    m_titleBar = new SpectrumTitleBar(m_spectrumDock);
    m_titleBar->setModeList(m_modeList);
    // Permanent, so that no status-bar message ever hides the controls.
    statusBar()->insertPermanentWidget(1, m_titleBar); // after the messages' label
    m_rxView = new CRxView(this);
    m_rxView->setObjectName(QStringLiteral("rxView"));
    m_rxDock = makeDock(QStringLiteral("DockOutputWidget"), tr("RX"), Qt::LeftDockWidgetArea, m_rxView);
    m_txView = new CTxView(this);
    m_txView->setObjectName(QStringLiteral("InputWidget"));
    m_txDock = makeDock(QStringLiteral("DockInputWidget"), tr("TX"), Qt::RightDockWidgetArea, m_txView);
    m_controlBar = new ControlBarEx(this);
    m_macroDock = makeDock(QStringLiteral("ControlBar"), tr("Macros"), Qt::TopDockWidgetArea, m_controlBar);
    m_logBar = new LogBar(m_bandTable, this);
    m_logDock = makeDock(QStringLiteral("LogBar"), tr("Log"), Qt::TopDockWidgetArea, m_logBar);
    m_phaseScope = new PhaseScope(this);
    m_phaseScope->setObjectName(QStringLiteral("PhaseScope"));
    m_phaseDock = makeDock(QStringLiteral("PhaseScope"), tr("Phase"), Qt::RightDockWidgetArea, m_phaseScope);
    m_signalsDock = createSignalsDock();

    restoreLayout();

    m_audioIn = new AudioIn(this);
    m_audioIn->Start();
    m_audioOut = new AudioOut(this);
    m_audioOut->setSampleProvider(&MainWindow::transmitSampleHook);

    m_modem = new CPskTxRx(m_currentMode, this);
    m_modem->setTxCharSource(m_txView);
    applyTxLevel();
    sendCallSignToModem();
    m_modem->Command(ModemCommand::kSetCwUnit, 2, 0, 0); // CW identification at two symbols per Morse unit

    createMenus();
    createMacroShortcuts();
    createOperatingControls();

    slotModeChanged(m_currentMode);

    connect(this, &MainWindow::signalAddTxText, m_txView, &CTxView::slotAddTxText);
    connect(m_modem, &CPskTxRx::signalCharReceived, m_rxView, &CRxView::slotCharReceived);
    connect(m_txView, &CTxView::signalTxEcho, m_rxView, &CRxView::slotTxEcho);
    connect(m_spectrum, &SpectrumWidget::signalFqChanged, m_modem, &CPskTxRx::slotFqChanged);
    connect(m_controlBar, &ControlBarEx::signalButtonClicked, this, &MainWindow::slotControlBar);
    connect(m_controlBar, &ControlBarEx::signalRightMouseClicked, this, &MainWindow::slotEditMacro);
    connect(m_audioIn, &AudioIn::notify, this, &MainWindow::slotAudioInputReady, Qt::QueuedConnection);
    connect(m_audioOut, &AudioOut::signalStopAudioOut, this, &MainWindow::slotOutputEnded, Qt::QueuedConnection);
    m_soundLabel = new QLabel(this);
    // Says what it can in the room there is, never widening the window.
    m_soundLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    statusBar()->addWidget(m_soundLabel);
    for (SoundStream* stream : {static_cast<SoundStream*>(m_audioIn), static_cast<SoundStream*>(m_audioOut)}) {
        connect(stream, &SoundStream::signalStreamLost, this, &MainWindow::slotSoundStreamsChanged);
        connect(stream, &SoundStream::signalStreamBack, this, &MainWindow::slotSoundStreamsChanged);
    }
    slotSoundStreamsChanged();
    connect(m_titleBar->sliderBrightness, &QSlider::valueChanged, m_spectrum, &SpectrumWidget::slotBrightness);
    connect(m_titleBar->sliderContrast, &QSlider::valueChanged, m_spectrum, &SpectrumWidget::slotContrast);
    connect(m_titleBar->checkBoxAFC, &QCheckBox::stateChanged, this, &MainWindow::slotAFC);
    connect(m_titleBar->checkBoxLock, &QCheckBox::stateChanged, m_spectrum, &SpectrumWidget::slotLock);
    connect(m_titleBar->checkBoxLock, &QCheckBox::stateChanged, this, &MainWindow::slotLock);
    connect(m_titleBar->checkBoxSQ, &QCheckBox::stateChanged, this, &MainWindow::slotSQ);
    connect(m_titleBar->comboBox, &QComboBox::currentTextChanged, this, &MainWindow::slotModeChanged);
    connect(this, &MainWindow::signalMacrosLoaded, m_controlBar, &ControlBarEx::updateButtons);
    connect(this, &MainWindow::signalMacroChanged, m_controlBar, &ControlBarEx::updateButton);
    connect(m_modem, &CPskTxRx::signalPskSymbol, m_phaseScope, &PhaseScope::onPskSymbol);
    connect(m_logBar->saveButton(), &QToolButton::clicked, this, &MainWindow::saveQsoAsked);
    connect(m_logBar->searchButton(), &QToolButton::clicked, this, &MainWindow::searchLog);

    m_clockTimer = startTimer(1000);
    updateClock();
    connectPortReader();
    setUpRig();
    setUpReporting();
    setUpSignalReport();
    // Said for as long as the window is open, since nothing will be kept;
    // and a save that fails later (a full disk, a file made read-only) is
    // said at once.
    const auto sayNotSaved = [this](const QString& label, const QString& why) {
        auto* warning = findChild<QLabel*>(QStringLiteral("settingsProblem"));
        if (!warning) {
            warning = new QLabel(this);
            warning->setObjectName(QStringLiteral("settingsProblem"));
            statusBar()->insertPermanentWidget(1, warning);
        }
        warning->setText(QStringLiteral("<font color='red'>%1</font>").arg(label));
        warning->setToolTip(tr("The settings cannot be written: %1.").arg(why));
    };
    const QString settingsProblem = Settings::writeProblem();
    if (!settingsProblem.isEmpty())
        sayNotSaved(tr("Settings will not be saved"), settingsProblem);
    connect(Settings::notifier(), &SettingsNotifier::writeFailed, this, [this, sayNotSaved](const QString& why) {
        sayNotSaved(tr("Settings not saved"), why);
        statusBar()->showMessage(tr("Settings could not be saved: %1.").arg(why), 15000);
    });

    const auto ticked = [](QCheckBox* box) { return box->checkState() != Qt::Unchecked ? 1 : 0; };
    m_modem->Command(ModemCommand::kSetAfc, ticked(m_titleBar->checkBoxAFC), 0, 0);
    m_modem->Command(ModemCommand::kSetSquelch, ticked(m_titleBar->checkBoxSQ), 0, 0);
    m_modem->Command(ModemCommand::kSetTxLock, ticked(m_titleBar->checkBoxLock), 0, 0);
    m_spectrum->slotLock(m_titleBar->checkBoxLock->checkState());
    double rxFq = 0.0;
    double txFq = 0.0;
    m_modem->GetFrequencies(&rxFq, &txFq);
    m_spectrum->setTxMarker(txFq);
    // The waterfall draws with what the sliders show.
    m_spectrum->slotBrightness(m_titleBar->sliderBrightness->value());
    m_spectrum->slotContrast(m_titleBar->sliderContrast->value());

    g_instance.store(this, std::memory_order_release);
    emit signalMacrosLoaded(m_macros);
}

MainWindow::~MainWindow()
{
    // The output callback must find no window before the parts it uses go.
    g_instance.store(nullptr, std::memory_order_release);
    // Saves from here on (the parts going) are reported on the terminal only.
    disconnect(Settings::notifier(), nullptr, this, nullptr);
    if (m_modem)
        m_modem->setTxCharSource(nullptr);
    delete m_audioIn;
    m_audioIn = nullptr;
    delete m_audioOut;
    m_audioOut = nullptr;
    // Nothing is saved here: every part's settings were written when the
    // window closed (saveLayout).
}

QDockWidget* MainWindow::makeDock(const QString& name, const QString& title, Qt::DockWidgetArea area,
                                  QWidget* widget)
{
    if (!widget)
        return nullptr;
    widget->adjustSize();
    auto* dock = new QDockWidget(this);
    dock->setWidget(widget);
    dock->setObjectName(name);
    dock->setWindowTitle(title);
    dock->setAllowedAreas(Qt::AllDockWidgetAreas);
    addDockWidget(area, dock);
    dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable
                      | QDockWidget::DockWidgetFloatable); // titles read across
    auto* style = new DockStyle;
    style->setParent(dock);
    dock->setStyle(style);
    dock->adjustSize();
    return dock;
}

void MainWindow::restoreLayout()
{
    Settings settings;
    StationState::setTxEchoEnabled(settings.value(QStringLiteral("echo"), true).toBool());
    settings.beginGroup(QStringLiteral("Panels"));
    const QByteArray geometry = settings.value(QStringLiteral("geometry")).toByteArray();
    const QByteArray state = settings.value(QStringLiteral("state")).toByteArray();
    settings.endGroup();
    if (geometry.isEmpty() || !restoreGeometry(geometry))
        setGeometry(33, 95, 892, 583);
    if (state.isEmpty() || !restoreState(state, 0))
        applyBuiltInLayout();
    settings.beginGroup(QStringLiteral("RxTx"));
    m_storedMode = settings.value(QStringLiteral("mode"), PskModes::standard().displayName()).toString();
    m_currentMode = modeFromStored(m_storedMode);
    settings.endGroup();
}

// The first-start layout: the macro and log bars one above the other at the
// top; below, the receive pane, the transmit pane, and a row with the
// waterfall left of the phase scope.
void MainWindow::applyBuiltInLayout()
{
    setCorner(Qt::TopLeftCorner, Qt::TopDockWidgetArea);
    setCorner(Qt::TopRightCorner, Qt::TopDockWidgetArea);
    setCorner(Qt::BottomLeftCorner, Qt::BottomDockWidgetArea);
    setCorner(Qt::BottomRightCorner, Qt::BottomDockWidgetArea);

    QList<QDockWidget*> top;
    for (QDockWidget* d : {m_macroDock, m_logDock})
        if (d)
            top << d;
    for (QDockWidget* d : top) {
        addDockWidget(Qt::TopDockWidgetArea, d, Qt::Vertical);
        d->show();
    }

    QList<QDockWidget*> column;
    for (QDockWidget* d : {m_rxDock, m_txDock, m_spectrumDock})
        if (d)
            column << d;
    for (QDockWidget* d : column) {
        addDockWidget(Qt::BottomDockWidgetArea, d, Qt::Vertical);
        d->show();
    }
    if (m_spectrumDock && m_phaseDock) {
        splitDockWidget(m_spectrumDock, m_phaseDock, Qt::Horizontal);
        m_phaseDock->show();
        resizeDocks({m_spectrumDock, m_phaseDock}, {789, 97}, Qt::Horizontal);
    }
    if (column.size() == 3)
        resizeDocks(column, {241, 82, 107}, Qt::Vertical); // the waterfall's row has its title above
    if (!top.isEmpty())
        resizeDocks(top, QList<int>(top.size(), 41), Qt::Vertical);
}

void MainWindow::saveLayout()
{
    Settings settings;
    settings.setValue(QStringLiteral("echo"), StationState::txEchoEnabled());
    const QByteArray geometry = saveGeometry();
    const QByteArray state = saveState(0);
    settings.beginGroup(QStringLiteral("Panels"));
    settings.setValue(QStringLiteral("geometry"), geometry);
    settings.setValue(QStringLiteral("state"), state);
    settings.endGroup();
    settings.beginGroup(QStringLiteral("RxTx"));
    settings.setValue(QStringLiteral("mode"),
                      modeFromStored(m_storedMode) == m_currentMode ? m_storedMode : m_currentMode);
    settings.endGroup();
    if (m_modem)
        m_modem->saveSettings();
    // Every other part's keys, written here rather than when the part goes,
    // so that what is stored is what the user left at the close.
    Macros::saveToSettings(m_macros);
    m_personalData.save();
    m_comport.saveSettings();
    if (m_rxView)
        m_rxView->saveSettings();
    if (m_txView)
        m_txView->saveSettings();
    if (m_clock)
        m_clock->saveSettings();
    if (m_titleBar)
        m_titleBar->saveSettings();
    if (m_logBar)
        m_logBar->saveSettings();
    if (m_audioIn)
        m_audioIn->saveSettings();
    if (m_audioOut)
        m_audioOut->saveSettings();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_startedOk) {
        saveLayout();
        finishReporting();
    }
    QMainWindow::closeEvent(event);
}

void MainWindow::slotAudioInputReady(int numBytes)
{
    if (numBytes != 0 && m_audioIn)
        m_audioIn->readAvailable(m_inputAccumulator);

    const int n = int(m_inputAccumulator.size() / 2);
    if (n == 0)
        return;
    const auto* samples = reinterpret_cast<const qint16*>(m_inputAccumulator.constData());

    bool blockFull = false;
    for (int i = 0; i < n; ++i) {
        m_displayBlock[m_displayFill] = float(samples[i]);
        if (++m_displayFill == kDisplayBlockSize) {
            m_displayFill = 0;
            blockFull = true;
            break; // the rest of this batch skips the display, not the modem
        }
    }
    if (m_modem)
        m_modem->ReceiveSamples(samples, n);
    feedSignalBank(samples, n);
    m_inputAccumulator.remove(0, 2 * n);

    // The line is painted with the window's other changes (updateWaterfall
    // asks for it), not at once with whatever else is waiting.
    if (blockFull && m_spectrum)
        m_spectrum->updateWaterfall(m_displayBlock.data());
}

void MainWindow::slotRxFqNotified(double fq)
{
    if (m_rxLabel)
        m_rxLabel->setText(QStringLiteral("Rx: %1").arg(frequencyText(fq)));
}

void MainWindow::slotTxFqNotified(double fq)
{
    if (!m_txLabel)
        return;
    const QString colour = StationState::isTransmitting() ? QStringLiteral("red") : QStringLiteral("black");
    m_txLabel->setText(QStringLiteral("<font color='%1' >Tx: %2</font>").arg(colour, frequencyText(fq)));
    // The blue marker stands where the carrier goes, whoever moved it.
    if (m_spectrum)
        m_spectrum->setTxMarker(fq);
}

bool MainWindow::isOutputActive() const
{
    return m_audioOut && m_audioOut->isActive();
}

void MainWindow::startAudioOut()
{
    // The transmission has ended and its stop is on the way (the output
    // plays its closing silence, or has just finished it): a start now
    // would be undone by that stop, so it follows the stop.
    if (m_txEnded.load(std::memory_order_acquire)) {
        m_startAfterStop = true;
        return;
    }
    m_modem->SetTransmit(1);
    // The rig is keyed only once the stream surely plays (it plays silence
    // until released), so a sound system that fails never leaves it keyed.
    if (!isOutputActive() && !m_audioOut->Start(true)) {
        m_modem->SetTransmit(0);
        return;
    }
    QString why;
    switch (m_rig->pttUp(&why)) {
    case RigControl::PttStart::Keyed:
        beginTransmission();
        break;
    case RigControl::PttStart::Waiting:
        // The stream plays silence until the rig confirms (slotPttAnswered).
        break;
    case RigControl::PttStart::Refused:
        refuseTransmission(why);
        break;
    }
}

void MainWindow::beginTransmission()
{
    m_audioOut->release();
    StationState::setTransmitting(true);
    // Queued, behind the echo of a transmission this one restarts.
    QMetaObject::invokeMethod(m_rxView, &CRxView::slotOverStarted, Qt::QueuedConnection);
    m_txLabel->setText(m_txLabel->text().replace(QLatin1String("black"), QLatin1String("red")));
    updateTxButton();
}

void MainWindow::refuseTransmission(const QString& why)
{
    statusBar()->showMessage(tr("Not transmitting: %1").arg(why), 10000);
    m_audioOut->Stop();
    m_modem->SetTransmit(0);
}

void MainWindow::stopAudioOut()
{
    m_startAfterStop = false;
    m_audioOut->Stop();
    m_txEnded.store(false, std::memory_order_relaxed);
    m_modem->SetTransmit(0);
    m_rig->pttDown();
    StationState::setTransmitting(false);
    m_txLabel->setText(m_txLabel->text().replace(QLatin1String("red"), QLatin1String("black")));
    updateTxButton();
}

void MainWindow::slotOutputEnded()
{
    const bool start = m_startAfterStop;
    stopAudioOut();
    if (start)
        startAudioOut();
}

bool MainWindow::transmissionRunning() const
{
    return isOutputActive() && !m_txEnded.load(std::memory_order_acquire);
}

void MainWindow::dropUnsentRest()
{
    const int dropped = m_txView->discardUnsentOver();
    if (dropped > 0)
        statusBar()->showMessage(tr("Stopped: %n character(s) of the transmission not sent", nullptr, dropped), 5000);
}

void MainWindow::stopTransmission()
{
    // A transmission that the modem has ended has no rest: what the pane
    // holds then is the next one.
    const bool cut = transmissionRunning();
    stopAudioOut();
    if (cut)
        dropUnsentRest();
}

void MainWindow::endForRestart()
{
    if (!isOutputActive())
        return;
    const bool cut = transmissionRunning();
    m_modem->SetTransmit(0);
    if (cut)
        dropUnsentRest();
}

void MainWindow::restartTransmission()
{
    endForRestart();
    startAudioOut();
}

void MainWindow::onTxToggle()
{
    if (isOutputActive())
        stopTransmission();
    else
        startAudioOut();
}

void MainWindow::onTxStart()
{
    restartTransmission();
}

void MainWindow::getTxChar(quint32& ch)
{
    if (m_txView)
        m_txView->slotGetChar(ch);
}

void MainWindow::slotModeChanged(const QString& mode)
{
    // A mode of the modem's table by its exact name; the modem cannot change
    // its encoder while it sends, so a switch between BPSK and QPSK waits
    // for the receive side.
    const PskMode* chosen = m_modeList.contains(mode) ? PskModes::find(mode) : nullptr;
    if (chosen && m_modem
        && (isOutputActive() ? (m_modem->mode() == CPskTxRx::kModeQpsk) == chosen->qpsk : m_modem->setQpsk(chosen->qpsk))) {
        m_currentMode = mode;
        m_modem->Command(ModemCommand::kSetSymbolRate, chosen->baudHundredths, 0, 0);
    } else if (!m_modeList.contains(m_currentMode)) {
        m_currentMode = PskModes::standard().displayName(); // an unknown stored mode
    }
    if (m_titleBar) {
        QComboBox* box = m_titleBar->comboBox;
        const QSignalBlocker blocker(box);
        box->setCurrentIndex(box->findText(m_currentMode, Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    slotUpdateModeMenu();
}

void MainWindow::slotAFC(int state)
{
    m_modem->Command(ModemCommand::kSetAfc, state != 0 ? 1 : 0, 0, 0);
}

void MainWindow::slotLock(int state)
{
    m_modem->Command(ModemCommand::kSetTxLock, state != 0 ? 1 : 0, 0, 0);
}

void MainWindow::slotSQ(int state)
{
    m_modem->Command(ModemCommand::kSetSquelch, state != 0 ? 1 : 0, 0, 0);
}

void MainWindow::onComportRead()
{
    m_comport.discardIncoming();
}

// After every open: a rig that talks on the line must not fill memory, and a
// port that failed is said in the window, not only on the terminal.
void MainWindow::connectPortReader()
{
    if (!m_comport.isOpen()) {
        statusBar()->showMessage(tr("Push-to-talk: %1. Transmissions will not key the transmitter.")
                                     .arg(m_comport.openError()));
        return;
    }
    connect(m_comport.port(), &SerialPortAdapter::readyRead, this, &MainWindow::onComportRead,
            Qt::UniqueConnection);
}

void MainWindow::slotSelectPort()
{
    SelectPortDlg dialog(m_comport.portNumber(), m_comport.deviceOverride(), this);
    if (dialog.exec() != QDialog::Accepted) {
        statusBar()->showMessage(tr("Rejected"), 3000);
        return;
    }
    m_comport.close();
    m_comport.reconfigureWithDefaults(dialog.port(), dialog.device());
    connectPortReader();
}

void MainWindow::updateClock()
{
    QDateTime now = QDateTime::currentDateTime();
    now = m_clock->isLocal() ? now.toLocalTime() : now.toUTC();
    m_dateLabel->setText(now.toString(QStringLiteral("dd.MM.yyyy")));
    m_clock->setText(now.toString(QStringLiteral("hh:mm:ss")) + (m_clock->isLocal() ? QString() : QStringLiteral(" UTC")));
}

void MainWindow::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_clockTimer) {
        updateClock();
        updateSignalReport();
    } else
        QMainWindow::timerEvent(event);
}

void MainWindow::askTxFrequency()
{
    double rx = 0.0;
    double tx = 0.0;
    m_modem->GetFrequencies(&rx, &tx);
    EnterDouble dialog(this);
    dialog.spinBox()->setSingleStep(0.01);
    dialog.label()->setText(tr("TX fq: "));
    dialog.spinBox()->setValue(tx);
    dialog.setWindowTitle(tr("Enter TX frequency"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    // AFC would pull an unlocked transmitter back onto the received signal
    // within a second; a frequency the user typed stays where it was put.
    // Without AFC nothing moves it, and the lock is left as the user set it.
    if (m_titleBar->checkBoxAFC->isChecked() && !m_titleBar->checkBoxLock->isChecked()) {
        m_titleBar->checkBoxLock->setChecked(true);
        statusBar()->showMessage(tr("LOCK set, so that AFC does not move the transmit frequency from %1 Hz")
                                     .arg(frequencyText(dialog.spinBox()->value())), 10000);
    }
    m_modem->SetFrequencies(rx, dialog.spinBox()->value());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The key is both the command's and a label's: the toolkit hands it to
    // each in turn, marked ambiguous, which the command alone would ignore.
    if (event->type() == QEvent::Shortcut && m_logBar
        && (watched == m_saveQsoAction || watched == m_searchAction
            || (watched->isWidgetType() && m_logBar->isAncestorOf(static_cast<QWidget*>(watched))))) {
        const QKeySequence key = static_cast<QShortcutEvent*>(event)->key();
        QAction* command = key == m_saveQsoAction->shortcut() ? m_saveQsoAction
                           : key == m_searchAction->shortcut() ? m_searchAction
                                                               : nullptr;
        if (command) {
            command->trigger();
            return true;
        }
    }
    if (watched == m_txLabel && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            onTxToggle();
        else if (mouse->button() == Qt::RightButton)
            askTxFrequency();
        return true;
    }
    if (watched == m_rxLabel && event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        askRxFrequency();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
