// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
//
// The menu bar and the command slots behind it.
#include "app/mainwindow.h"
#include "app/messagestatusbar.h"

#include "core/apppaths.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "display/spectrumtitlebar.h"
#include "display/spectrumwidget.h"
#include "modem/psktxrx.h"
#include "logbook/logbar.h"
#include "text/rxview.h"

#include <QAction>
#include <QActionGroup>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStringDecoder>
#include <QDockWidget>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

QAction* MainWindow::addCommand(QMenu* menu, const QString& text, const QString& tip,
                                const QKeySequence& shortcut)
{
    auto* action = new QAction(text, this);
    action->setStatusTip(tip);
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    if (menu)
        menu->addAction(action);
    return action;
}

void MainWindow::createMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    connect(addCommand(file, tr("&Print"), tr("Print"), QKeySequence::Print), &QAction::triggered,
            m_rxView, &CRxView::slotPrint);
    connect(addCommand(file, tr("Print previe&w..."), tr("Print preview")), &QAction::triggered, m_rxView,
            &CRxView::slotPrintPreview);
    connect(addCommand(file, tr("Print setup..."), tr("Print setup")), &QAction::triggered, m_rxView,
            &CRxView::slotPrintSetup);
    file->addSeparator();
    connect(addCommand(file, tr("Send &file..."), tr("Send file")), &QAction::triggered, this,
            &MainWindow::sendFile);
    file->addSeparator();
    connect(addCommand(file, tr("C&lear QSO data"), tr("Clear QSO"), QKeySequence(Qt::ALT | Qt::Key_L)),
            &QAction::triggered, this, &MainWindow::clearQSO);
    m_searchAction = addCommand(file, tr("&Search in logfile..."), tr("Search in logfile"),
                                QKeySequence(Qt::ALT | Qt::Key_S));
    connect(m_searchAction, &QAction::triggered, this, &MainWindow::searchLog);
    file->addSeparator();
    connect(addCommand(file, tr("Import ADIF"), tr("Import ADIF")), &QAction::triggered, this,
            [this] { importADIF(); });
    connect(addCommand(file, tr("Export ADIF"), tr("Export ADIF")), &QAction::triggered, this,
            &MainWindow::exportADIF);
    connect(addCommand(file, tr("Merge"), tr("Merge log files")), &QAction::triggered, this,
            &MainWindow::mergeLog);
    file->addSeparator();
    connect(addCommand(file, tr("&Exit"), tr("Exit application"), QKeySequence::Quit), &QAction::triggered,
            this, &QWidget::close);

    // Not in the menu, but attached to the window so that Alt+A saves the
    // QSO wherever the focus is in it.
    m_saveQsoAction = addCommand(nullptr, tr("S&ave QSO data"), tr("Save QSO"), QKeySequence(Qt::ALT | Qt::Key_A));
    addAction(m_saveQsoAction);
    connect(m_saveQsoAction, &QAction::triggered, this, &MainWindow::saveQsoAsked);

    // The entry bar's "N&ame" and "&Sent" labels carry the same Alt keys as
    // saving and searching, and a label's mnemonic would take the key from
    // the command. The labels keep their underline; the keys go to the
    // commands.
    if (m_logBar) {
        for (const char* name : {"label_Name", "label_Sent"})
            if (QLabel* label = m_logBar->findChild<QLabel*>(QLatin1String(name)))
                label->installEventFilter(this);
        m_saveQsoAction->installEventFilter(this);
        m_searchAction->installEventFilter(this);
    }

    // One choice, shown both here (radio items) and in the status bar's mode
    // box; slotModeChanged() keeps the two alike.
    m_modeMenu = menuBar()->addMenu(tr("Mode"));
    auto* modes = new QActionGroup(m_modeMenu);
    modes->setExclusive(true);
    for (const QString& mode : m_modeList) {
        QAction* a = addCommand(m_modeMenu, mode, tr("Select ") + mode);
        a->setCheckable(true);
        modes->addAction(a);
    }
    if (m_titleBar && m_titleBar->comboBox->toolTip().isEmpty())
        m_titleBar->comboBox->setToolTip(tr("The mode to receive and send in; the Mode menu chooses it too"));
    m_modeMenu->addSeparator();
    QAction* inversion = addCommand(m_modeMenu, tr("QPSK inversion"), tr("Invert the QPSK phase rotation"));
    inversion->setCheckable(true);
    connect(inversion, &QAction::toggled, this, [this](bool on) { m_modem->Command(ModemCommand::kSetQpskInversion, on ? 1 : 0, 0, 0); });
    connect(m_modeMenu, &QMenu::aboutToShow, this, &MainWindow::slotUpdateModeMenu);
    connect(m_modeMenu, &QMenu::triggered, this, &MainWindow::slotModeMenu);

    m_viewMenu = menuBar()->addMenu(tr("View"));
    const QList<QDockWidget*> docks = findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QDockWidget* dock : docks) {
        auto* a = new QAction(tr("Show ") + dock->windowTitle(), dock);
        a->setStatusTip(a->text());
        a->setCheckable(true);
        m_viewMenu->addAction(a);
    }
    m_viewMenu->addSeparator();
    for (QDockWidget* dock : docks) {
        auto* a = new QAction(tr("Dock ") + dock->windowTitle(), dock);
        a->setStatusTip(a->text());
        a->setCheckable(true);
        m_viewMenu->addAction(a);
    }
    m_viewMenu->addSeparator();
    connect(addCommand(m_viewMenu, tr("Messages..."), tr("Show the last status bar messages")), &QAction::triggered,
            this, [this] { static_cast<MessageStatusBar*>(statusBar())->showHistory(); });
    m_viewMenu->addMenu(m_spectrum->viewMenu());
    connect(m_viewMenu, &QMenu::aboutToShow, this, &MainWindow::slotUpdateViewMenu);
    connect(m_viewMenu, &QMenu::triggered, this, &MainWindow::slotViewMenu);

    m_configureMenu = menuBar()->addMenu(tr("Configure"));
    connect(addCommand(m_configureMenu, tr("Personal data..."), tr("Set personal data")), &QAction::triggered,
            this, &MainWindow::slotPersonalData);
    connect(addCommand(m_configureMenu, tr("Sound card..."), tr("Select sound card")), &QAction::triggered,
            this, &MainWindow::slotSoundCard);
    connect(addCommand(m_configureMenu, tr("Select port..."), tr("Select com port")), &QAction::triggered,
            this, &MainWindow::slotSelectPort);
    connect(addCommand(m_configureMenu, tr("Rig control..."), tr("Set up rig control through Hamlib")),
            &QAction::triggered, this, &MainWindow::slotRigControl);
    connect(addCommand(m_configureMenu, tr("Load macros"), tr("Load macros")), &QAction::triggered, this,
            &MainWindow::slotLoadMacros);
    connect(addCommand(m_configureMenu, tr("Save macros"), tr("Save macros")), &QAction::triggered, this,
            &MainWindow::slotSaveMacros);

    // The character sets belong to the modem; the menu only shows and
    // changes its choice.
    m_varicodeMenu = m_configureMenu->addMenu(tr("Varicode"));
    const QStringList sets = m_modem->charSetNames();
    for (int i = 0; i < sets.size(); ++i) {
        auto* a = new QAction(sets[i], m_modem);
        a->setCheckable(true);
        a->setData(i);
        a->setStatusTip(tr("Send and receive in the %1 character set").arg(sets[i]));
        m_varicodeMenu->addAction(a);
    }
    connect(m_varicodeMenu, &QMenu::aboutToShow, this, &MainWindow::slotUpdateVaricodeMenu);
    connect(m_varicodeMenu, &QMenu::triggered, this, &MainWindow::slotVaricodeMenu);

    // The modem stores this choice itself, as it does the character set;
    // the menu ticks the receiver in use each time it opens.
    QMenu* receiverMenu = m_configureMenu->addMenu(tr("Receiver"));
    auto* receivers = new QActionGroup(receiverMenu);
    QAction* sensitive = addCommand(receiverMenu, tr("Sensitive"),
                                    tr("Copy weaker signals and follow fading paths (the default)"));
    QAction* standard = addCommand(receiverMenu, tr("Standard"), tr("The classic receiver"));
    for (QAction* a : {sensitive, standard}) {
        a->setCheckable(true);
        receivers->addAction(a);
    }
    connect(sensitive, &QAction::triggered, m_modem, [this] { m_modem->setSensitiveReceiver(true); });
    connect(standard, &QAction::triggered, m_modem, [this] { m_modem->setSensitiveReceiver(false); });
    const auto tick = [this, sensitive, standard] {
        sensitive->setChecked(m_modem->sensitiveReceiver());
        standard->setChecked(!m_modem->sensitiveReceiver());
    };
    tick();
    connect(receiverMenu, &QMenu::aboutToShow, this, tick);

    QAction* echo = addCommand(m_configureMenu, tr("TX echo"), tr("TX echo mode"));
    echo->setCheckable(true);
    connect(echo, &QAction::triggered, this, &MainWindow::slotTXEcho);
    connect(m_configureMenu, &QMenu::aboutToShow, this, &MainWindow::slotUpdateConfigureMenu);

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    connect(addCommand(help, tr("&About Velkora32"), tr("About this program")), &QAction::triggered, this,
            &MainWindow::slotAbout);
}

void MainWindow::slotUpdateModeMenu()
{
    if (!m_modeMenu)
        return;
    for (QAction* a : m_modeMenu->actions()) {
        if (m_modeList.contains(a->text()))
            a->setChecked(a->text() == m_currentMode);
    }
}

void MainWindow::slotModeMenu(QAction* action)
{
    if (m_modeList.contains(action->text()) && action->text() != m_currentMode)
        slotModeChanged(action->text());
    // A change refused (BPSK and QPSK while sending) takes the mark back.
    slotUpdateModeMenu();
}

void MainWindow::slotUpdateViewMenu()
{
    for (QDockWidget* dock : findChildren<QDockWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        for (QAction* a : dock->findChildren<QAction*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (a->text().contains(QLatin1String("Dock"))) {
                a->setChecked(!dock->isFloating());
                a->setEnabled(dock->isVisible());
            } else if (a->text().startsWith(tr("Show "))) {
                a->setChecked(dock->isVisible());
                a->setEnabled(true);
            }
        }
    }
}

void MainWindow::slotViewMenu(QAction* action)
{
    auto* dock = qobject_cast<QDockWidget*>(action->parent());
    if (!dock)
        return;
    if (action->text().contains(QLatin1String("Dock")))
        dock->setFloating(!dock->isFloating());
    else
        dock->setVisible(!dock->isVisible());
}

void MainWindow::slotUpdateConfigureMenu()
{
    for (QAction* a : m_configureMenu->actions()) {
        if (a->text().contains(QLatin1String("TX echo"))) {
            a->setChecked(StationState::txEchoEnabled());
            break;
        }
    }
}

void MainWindow::slotUpdateVaricodeMenu()
{
    for (QAction* a : m_varicodeMenu->actions())
        a->setChecked(a->data().toInt() == m_modem->charSet());
}

void MainWindow::slotVaricodeMenu(QAction* action)
{
    m_modem->setCharSet(action->data().toInt());
}

void MainWindow::slotTXEcho(bool on)
{
    StationState::setTxEchoEnabled(on);
}

void MainWindow::sendFile()
{
    // Ten hours of BPSK31; anything longer is not a text to send by hand.
    constexpr qint64 kMaxBytes = 64 * 1024;
    QString path;
    if (!askFile(tr("Select text file to send"), tr("Enter file name"), QString(), false, path, QStringLiteral("text"),
                 tr("Text files (*.txt);;All files (*)")))
        return;
    QFile file(path);
    QString problem;
    QByteArray bytes;
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        problem = tr("Can't open file %1").arg(path);
    else if (file.size() > kMaxBytes)
        problem = tr("%1 is larger than %2 KiB; only text to be sent fits in the transmit pane.")
                      .arg(path)
                      .arg(kMaxBytes / 1024);
    else if ((bytes = file.readAll()).contains('\0'))
        problem = tr("%1 is not a text file.").arg(path);
    if (!problem.isEmpty()) {
        QMessageBox::warning(this, QCoreApplication::applicationName(), problem, QMessageBox::Close);
        return;
    }
    // UTF-8, as text files are written today; older 8-bit files fall back
    // to Latin-1 rather than losing characters.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    emit signalAddTxText(text);
    statusBar()->showMessage(tr("%1 added to the transmit pane").arg(path), 5000);
}

void MainWindow::slotAbout()
{
    QMessageBox::about(this, tr("About Velkora32"), aboutText());
}

QString MainWindow::aboutText() const
{
    const auto row = [](const QString& what, const QString& path) {
        return QStringLiteral("<tr><td>%1</td><td>%2</td></tr>").arg(what, QDir::toNativeSeparators(path).toHtmlEscaped());
    };
    return tr("<h3>Velkora32 %1</h3><p>PSK31 to PSK250 keyboard contacts for radio amateurs.</p>"
              "<p>Licence: GNU General Public License, version 3 or later. "
              "This program comes with no warranty.</p>")
               .arg(QCoreApplication::applicationVersion())
        + QStringLiteral("<table>") + row(tr("Settings"), Settings::path()) + row(tr("Log"), logFileName())
        + row(tr("Macros"), macroFileName()) + row(tr("Bands, Morse tables"), AppPaths::dataDirectory())
        + QStringLiteral("</table>");
}
