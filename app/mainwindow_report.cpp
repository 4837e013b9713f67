// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's reports: call signs copied by the receiver and the
// "Signals" dock go to PSK Reporter, and each logged contact goes to a
// logging program that listens for the WSJT-X UDP messages.

#include "app/mainwindow.h"

#include "app/reportdialog.h"

#include "core/settings.h"
#include "logbook/adif.h"
#include "logbook/logbar.h"
#include "logbook/qsodata.h"
#include "modem/psktxrx.h"
#include "modem/signalbankworker.h"
#include "report/pskreporter.h"
#include "report/wsjtxclient.h"
#include "rig/rigcontrol.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDockWidget>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>

#include <cmath>

namespace {

constexpr const char* kGroup = "Report";

} // namespace

void MainWindow::setUpReporting()
{
    Settings settings;
    const bool psk = settings.value(QStringLiteral("Report/PskReporter"), false).toBool();
    const ReportTargets targets = ReportTargets::load();

    m_reportLabel = new QLabel(tr("PSK Reporter"), this);
    m_reportLabel->setObjectName(QStringLiteral("reportLabel"));
    m_reportLabel->setToolTip(tr("Call signs copied are reported to PSK Reporter"));
    m_reportLabel->hide();
    statusBar()->addPermanentWidget(m_reportLabel);

    m_pskReporter = new PskReporter(this);
    m_wsjtx = new WsjtxClient(this);
    m_wsjtx->setVersion(QCoreApplication::applicationVersion());
    useReportTargets(targets);

    m_configureMenu->addSeparator();
    m_pskAction = addCommand(m_configureMenu, tr("Report to PSK Reporter"),
                             tr("Report the call signs copied to PSK Reporter"));
    m_pskAction->setObjectName(QStringLiteral("reportToPskReporter"));
    m_pskAction->setCheckable(true);
    m_loggerAction = addCommand(m_configureMenu, tr("Send QSOs to a logger"),
                                tr("Send each logged QSO to a logging program (WSJT-X UDP messages)"));
    m_loggerAction->setObjectName(QStringLiteral("sendToLogger"));
    m_loggerAction->setCheckable(true);
    QAction* where = addCommand(m_configureMenu, tr("Logger and PSK Reporter..."),
                                tr("Where the logged QSOs and the reports go"));
    where->setObjectName(QStringLiteral("reportTargets"));
    connect(where, &QAction::triggered, this, &MainWindow::slotReportTargets);

    // Text of the main receiver, on the channel of its frequency; text of
    // the signals the bank decodes, on the channel of their number.
    connect(m_modem, &CPskTxRx::signalCharReceived, this, [this](QChar c) {
        if (!m_pskReporter || !m_pskAction->isChecked())
            return;
        double rx = 0.0;
        double tx = 0.0;
        m_modem->GetFrequencies(&rx, &tx);
        // The same estimate as the bank's, from the receiver's own spectrum.
        reportText(-1, rx, QStringView(&c, 1), m_modem->signalReport().snrDb);
    });
    connect(m_signalBank, &SignalBankWorker::changed, this, [this] {
        if (!m_pskAction->isChecked())
            return;
        for (const SignalBank::Signal& s : m_signalBank->signalList()) {
            const QString gained = m_bankTextSeen[s.id].advance(s.text);
            if (!gained.isEmpty())
                reportText(s.id, s.frequency, gained, s.snrDb);
        }
    });
    connect(m_signalBank, &SignalBankWorker::dropped, this, [this](const SignalBank::Signal& s) {
        m_bankTextSeen.remove(s.id);
        m_callExtractor.endOver(s.id);
    });

    auto* statusTimer = new QTimer(this);
    statusTimer->setInterval(1000);
    connect(statusTimer, &QTimer::timeout, this, &MainWindow::sendLoggerStatus);
    statusTimer->start();

    connect(m_pskAction, &QAction::toggled, this, &MainWindow::slotPskReporter);
    connect(m_loggerAction, &QAction::toggled, this, &MainWindow::slotLogger);
    // Taken from the settings without writing them back.
    m_pskAction->blockSignals(true);
    m_loggerAction->blockSignals(true);
    m_pskAction->setChecked(psk && !m_personalData.call.isEmpty() && !m_personalData.locator.isEmpty());
    m_loggerAction->setChecked(targets.logger);
    m_pskAction->blockSignals(false);
    m_loggerAction->blockSignals(false);
    applyReportSettings();
}

void MainWindow::useReportTargets(const ReportTargets& targets)
{
    m_pskReporter->setCollector(targets.pskHost, quint16(targets.pskPort));
    m_wsjtx->setServer(targets.loggerAddress, quint16(targets.loggerPort));
    m_wsjtx->setMulticastGroup(targets.multicastGroup);
}

void MainWindow::slotReportTargets()
{
    ReportTargets targets = ReportTargets::load();
    targets.logger = m_loggerAction->isChecked();
    ReportDialog dialog(targets, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    targets = dialog.targets();
    targets.store();
    const bool wasRunning = m_wsjtx->isRunning();
    if (wasRunning)
        m_wsjtx->stop();  // Close goes to the logger that was set
    useReportTargets(targets);
    m_loggerAction->blockSignals(true);
    m_loggerAction->setChecked(targets.logger);
    m_loggerAction->blockSignals(false);
    applyReportSettings();
}

void MainWindow::applyReportSettings()
{
    const bool psk = m_pskAction->isChecked();
    m_reportLabel->setVisible(psk);
    ReceivingStation rx;
    rx.call = m_personalData.call;
    rx.locator = m_personalData.locator;
    rx.antenna = m_personalData.antenna;
    rx.software = QStringLiteral("Velkora32 %1").arg(QCoreApplication::applicationVersion());
    m_pskReporter->setReceiver(rx);
    m_callExtractor.setOwnCall(m_personalData.call);
    if (!psk) {
        m_callExtractor.clear();
        m_bankTextSeen.clear();
    }
    if (m_loggerAction->isChecked())
        m_wsjtx->start();
    else
        m_wsjtx->stop();
}

void MainWindow::slotPskReporter(bool on)
{
    if (on && (m_personalData.call.isEmpty() || m_personalData.locator.isEmpty())) {
        m_pskAction->setChecked(false);
        QMessageBox::information(this, QCoreApplication::applicationName(),
                                 tr("PSK Reporter needs your call and your locator: enter them under "
                                    "Configure, Personal data."));
        return;
    }
    Settings settings;
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("PskReporter"), on);
    settings.endGroup();
    if (!on)
        m_pskReporter->flush();  // what was heard still goes out
    applyReportSettings();
}

void MainWindow::slotLogger(bool on)
{
    Settings settings;
    settings.beginGroup(QLatin1String(kGroup));
    settings.setValue(QStringLiteral("Logger"), on);
    settings.endGroup();
    applyReportSettings();
}

void MainWindow::reportText(qint64 channel, double audioHz, QStringView text, double snrDb)
{
    if (!m_pskReporter)
        return;
    const QStringList calls = m_callExtractor.feed(channel, text);
    if (calls.isEmpty())
        return;
    // The RF frequency: the dial plus the audio, or the band box's dial.
    quint32 hz = 0;
    if (m_rig && m_rig->status().hasDial())
        hz = m_rig->status().qsoFrequency(audioHz);
    else if (m_logBar)
        hz = quint32(std::llround(BandTable::frequencyKHz(m_bandTable, m_logBar->band()) * 1000.0 + audioHz));
    for (const QString& call : calls) {
        PskSpot spot;
        spot.call = call;
        spot.frequency = hz;
        spot.snr = PskIpfix::snrField(snrDb);
        spot.mode = PskIpfix::modeName(m_currentMode);
        spot.time = quint32(QDateTime::currentSecsSinceEpoch());
        m_pskReporter->addSpot(spot);
    }
}

void MainWindow::sendLoggerStatus()
{
    if (!m_wsjtx || !m_wsjtx->isRunning())
        return;
    Wsjtx::StatusData s;
    double rx = 0.0;
    double tx = 0.0;
    m_modem->GetFrequencies(&rx, &tx);
    if (m_rig && m_rig->status().hasDial())
        s.dialFrequency = quint64(std::llround(m_rig->status().dialHz));
    else if (m_logBar)
        s.dialFrequency = quint64(std::llround(BandTable::frequencyKHz(m_bandTable, m_logBar->band()) * 1000.0));
    s.mode = WsjtxClient::modeName(m_currentMode);
    s.txMode = s.mode;
    s.dxCall = m_logBar ? m_logBar->call().trimmed().toUpper() : QString();
    s.report = m_logBar ? m_logBar->sent() : QString();
    s.transmitting = isOutputActive();
    s.txEnabled = s.transmitting;
    s.rxOffset = quint32(std::lround(rx));
    s.txOffset = quint32(std::lround(tx));
    s.deCall = m_personalData.call;
    s.deGrid = m_personalData.locator;
    m_wsjtx->updateStatus(s);
}

void MainWindow::reportLoggedQso(const CQsoData& qso)
{
    if (!m_wsjtx || !m_wsjtx->isRunning())
        return;
    CQsoData record = qso;
    record.call = record.call.toUpper();  // as the log keeps it
    m_wsjtx->logQso(WsjtxClient::qsoData(record, m_personalData.call, m_personalData.locator),
                    Adif::recordText(record));
}

void MainWindow::finishReporting()
{
    if (m_pskReporter && m_pskAction && m_pskAction->isChecked())
        m_pskReporter->flush();
    if (m_wsjtx)
        m_wsjtx->stop();
}
