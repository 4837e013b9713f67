// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The signal browser: every signal of the current mode (or of every mode)
// in the band, each decoded by its own receiver, in a dock; a click on a
// line tunes the main receiver there as a click on the waterfall does. And
// what the window says of the tuned signal: its S/N and IMD, and the report
// they suggest.

#include "app/mainwindow.h"
#include "core/settings.h"
#include "display/phasescope.h"
#include "display/spectrumtitlebar.h"
#include "display/spectrumwidget.h"
#include "logbook/logbar.h"
#include "logbook/rstsuggestion.h"
#include "modem/pskmodes.h"
#include "modem/psktxrx.h"
#include "modem/signalbankworker.h"
#include "text/rxview.h"
#include "text/signalbrowser.h"

#include <QCheckBox>
#include <QDockWidget>
#include <QMenu>
#include <QLineEdit>
#include <QSlider>
#include <QTimer>

#include <algorithm>

namespace {
// A line fades (greys) when its signal has not been seen this long.
constexpr double kQuietSeconds = 10.0;
constexpr int kRefreshMs = 250;
} // namespace

QDockWidget* MainWindow::createSignalsDock()
{
    m_signalBank = new SignalBankWorker(this);
    m_signalBrowser = new SignalBrowser;
    QDockWidget* dock = makeDock(QStringLiteral("Signals"), tr("Signals"), Qt::RightDockWidgetArea, m_signalBrowser);
    dock->hide(); // off at a first start; a saved layout shows it again

    auto* refresh = new QTimer(dock);
    refresh->setInterval(kRefreshMs);
    connect(refresh, &QTimer::timeout, this, &MainWindow::updateSignalBrowser);
    connect(dock, &QDockWidget::visibilityChanged, refresh, [refresh](bool shown) {
        if (shown)
            refresh->start();
        else
            refresh->stop();
    });

    // "All modes" is kept as the user sets it.
    QCheckBox* all = m_signalBrowser->allModesBox();
    all->setChecked(Settings().value(QStringLiteral("SignalsAllModes"), false).toBool());
    connect(all, &QCheckBox::toggled, this, [this](bool on) {
        Settings().setValue(QStringLiteral("SignalsAllModes"), on);
        m_signalBank->setProperty("setup", QString()); // the banks start afresh with the next audio
    });

    connect(m_signalBrowser, &SignalBrowser::lineClicked, this, [this](int id, double frequency) {
        if (!m_spectrum || !m_modem)
            return;
        // Where the signal is now (its receiver follows it), and the audio
        // from where its carrier was last there: the receiver decodes again
        // from where that trace began, as far back as its ring holds,
        // whether or not the waterfall still shows it.
        SignalBank::Signal s;
        int replay = 0;
        if (m_signalBank->find(id, &s)) {
            // Listing every mode, a signal of another is tuned in its own.
            if (m_signalBrowser->allModesBox()->isChecked() && s.mode != m_currentMode)
                slotModeChanged(s.mode);
            frequency = s.frequency;
            replay = int(std::min(double(CPskTxRx::kRingSize), (m_signalBank->now() - s.lastHeard) * m_modem->inputRate()))
                     + kDisplayBlockSize;
        }
        m_spectrum->tuneFrequency(frequency, replay);
        updateSignalBrowser();
    });
    auto toCallField = [this](const QString& call) {
        if (auto* field = m_logBar ? m_logBar->findChild<QLineEdit*>(QStringLiteral("editCall")) : nullptr)
            field->setText(call);
    };
    connect(m_signalBrowser, &SignalBrowser::callSignChosen, this, toCallField);
    if (m_rxView)
        connect(CallSignPicker::watch(m_rxView), &CallSignPicker::callSignChosen, this, toCallField);
    return dock;
}

void MainWindow::feedSignalBank(const qint16* samples, int count)
{
    if (!m_signalsDock || !m_modem)
        return;
    if (!m_signalsDock->isVisible() || m_modem->isTransmitting()) {
        m_signalBank->skip(count);
        return;
    }
    // The bank follows the mode (or, with "All modes", looks for every
    // one), rate and receiver the main receiver has.
    const bool all = m_signalBrowser->allModesBox()->isChecked();
    const PskMode* mode = PskModes::find(m_modem->mode() == CPskTxRx::kModeQpsk, qRound(m_modem->baud() * 100.0));
    if (!mode && !all) { // a rate no mode has: nothing to look for
        m_signalBank->skip(count);
        return;
    }
    const QString key = QStringLiteral("%1 %2").arg(all ? QStringLiteral("all") : QLatin1String(mode->name)).arg(m_modem->inputRate());
    if (m_signalBank->property("setup").toString() != key) {
        m_signalBank->setProperty("setup", key);
        if (all)
            m_signalBank->restart(PskModes::all(), m_modem->inputRate(), m_modem->charSet());
        else
            m_signalBank->restart(*mode, m_modem->inputRate(), m_modem->charSet());
    }
    m_signalBank->setSensitive(m_modem->sensitiveReceiver());
    m_signalBank->feed(samples, count);
}

void MainWindow::updateSignalBrowser()
{
    if (!m_signalBrowser || !m_modem)
        return;
    QList<SignalBrowser::Line> lines;
    const double now = m_signalBank->now();
    const bool all = m_signalBrowser->allModesBox()->isChecked();
    for (const SignalBank::Signal& s : m_signalBank->signalList())
        lines.append({s.id, s.frequency, s.snrDb, s.text, now - s.lastSeen > kQuietSeconds, all ? s.mode : QString()});
    m_signalBrowser->setLines(lines);
    double rx = 0.0, tx = 0.0;
    m_modem->GetFrequencies(&rx, &tx);
    m_signalBrowser->setTuned(rx, std::max(3.0, 0.3 * m_modem->baud()));
}

void MainWindow::setUpSignalReport()
{
    if (!m_titleBar || !m_modem)
        return;
    QSlider* level = m_titleBar->squelchLevelSlider();
    connect(level, &QSlider::valueChanged, this, [this](int db) { m_modem->setSquelchLevel(db); });
    connect(m_titleBar, &SpectrumTitleBar::afcRangeChanged, this, [this](int hz) { m_modem->setAfcRange(hz); });
    m_modem->setSquelchLevel(level->value());
    m_modem->setAfcRange(m_titleBar->afcRange());
    if (m_configureMenu)
        m_configureMenu->addMenu(m_titleBar->afcRangeMenu());
    updateSignalReport();
}

void MainWindow::updateSignalReport()
{
    if (!m_phaseScope || !m_modem)
        return;
    // Our own signal heard back says nothing of the other station's.
    if (m_modem->isTransmitting())
        return;
    const CPskTxRx::SignalReport r = m_modem->signalReport();
    m_phaseScope->setSignalReport(r.snrDb, r.imdDb);
    if (m_logBar)
        m_logBar->setSuggestedReport(RstSuggestion::fromSnr(r.snrDb));
}
