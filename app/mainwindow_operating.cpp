// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Operating from the keyboard: the Transmit menu with its keys, the Tx/Rx
// button in the status bar, Help -> Manual, the question before a QSO
// without a report is saved and the worked-before hint of the log bar.

#include "app/mainwindow.h"

#include "app/enterdouble.h"

#include "core/apppaths.h"
#include "core/stationstate.h"
#include "app/statuspanetime.h"
#include "display/spectrumtitlebar.h"
#include "display/spectrumwidget.h"
#include "text/controlbarex.h"
#include "text/macros.h"
#include "text/rxview.h"
#include "logbook/logbar.h"
#include "logbook/workedbefore.h"
#include "text/txview.h"
#include "modem/psktxrx.h"

#include <QAction>
#include <QCoreApplication>
#include <QDateTime>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTextBrowser>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

constexpr QChar kEndMarker(0x00AE); // what "<RX>" leaves in the transmit pane

QAction* menuNamed(QMenuBar* bar, const QString& title)
{
    for (QAction* a : bar->actions())
        if (a->text() == title)
            return a;
    return nullptr;
}

} // namespace

void MainWindow::askRxFrequency()
{
    double rx = 0.0;
    double tx = 0.0;
    m_modem->GetFrequencies(&rx, &tx);
    EnterDouble dialog(this);
    dialog.spinBox()->setMaximum(m_spectrum->halfRate()); // the top of the band the waterfall shows
    dialog.spinBox()->setSingleStep(1.0);
    dialog.label()->setText(tr("RX fq: "));
    dialog.spinBox()->setValue(rx);
    dialog.setWindowTitle(tr("Enter RX frequency"));
    if (dialog.exec() == QDialog::Accepted)
        m_spectrum->tuneFrequency(dialog.spinBox()->value(), 0); // as a click on the waterfall
}

void MainWindow::createOperatingControls()
{
    // Between Mode and View, so the Help menu stays last.
    auto* transmit = new QMenu(tr("&Transmit"), this);
    menuBar()->insertMenu(menuNamed(menuBar(), tr("View")), transmit);
    m_transmitAction = addCommand(transmit, tr("&Transmit / receive"),
                                  tr("Start transmitting, or go back to receive once the text is sent"),
                                  QKeySequence(Qt::CTRL | Qt::Key_T));
    connect(m_transmitAction, &QAction::triggered, this, &MainWindow::slotTransmitKey);
    connect(addCommand(transmit, tr("&Receive after the text"),
                       tr("End the transmission once the text typed so far is sent"),
                       QKeySequence(Qt::CTRL | Qt::Key_R)),
            &QAction::triggered, this, &MainWindow::slotReceiveAfterText);
    m_stopAction = addCommand(transmit, tr("&Stop at once"), tr("Stop transmitting now and drop the unsent text"),
                              QKeySequence(Qt::Key_Escape));
    connect(m_stopAction, &QAction::triggered, this, &MainWindow::slotStopNow);
    transmit->addSeparator();
    connect(addCommand(transmit, tr("R&eceive frequency..."), tr("Type the receive frequency"),
                       QKeySequence(Qt::CTRL | Qt::Key_F)),
            &QAction::triggered, this, &MainWindow::askRxFrequency);
    connect(addCommand(transmit, tr("Transmit &frequency..."), tr("Type the transmit frequency"),
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)),
            &QAction::triggered, this, &MainWindow::askTxFrequency);
    // The keys work wherever the focus is in the program, also in a floating
    // dock, as the macro keys do; a modal dialog keeps its own Esc.
    for (QAction* a : transmit->actions()) {
        a->setShortcutContext(Qt::ApplicationShortcut);
        addAction(a);
    }

    m_txButton = new QPushButton(tr("RX"), m_controlBar);
    m_txButton->setObjectName(QStringLiteral("txButton"));
    m_txButton->setCheckable(true);
    m_txButton->setFocusPolicy(Qt::NoFocus); // the keys stay with the panes
    m_txButton->setFixedWidth(m_txButton->fontMetrics().horizontalAdvance(QStringLiteral("MMM")) + 12);
    m_txButton->setToolTip(tr("Receiving. Click, or press Ctrl+T, to transmit; Esc stops at once."));
    connect(m_txButton, &QPushButton::clicked, this, [this] {
        onTxToggle();
        updateTxButton(); // a start that failed leaves it released
    });
    // Beside the macro buttons, where the over is started and ended.
    if (auto* row = qobject_cast<QBoxLayout*>(m_controlBar->layout()))
        row->addWidget(m_txButton);
    else
        statusBar()->addPermanentWidget(m_txButton);
    m_txLabel->setToolTip(tr("Transmit frequency. Click to transmit or stop, right-click to type the frequency."));
    m_clock->setToolTip(tr("UTC, or local time: right-click to choose"));
    m_rxLabel->setToolTip(tr("Receive frequency: click a signal in the waterfall to tune, or right-click here "
                             "(Ctrl+F) to type the frequency."));
    m_rxLabel->installEventFilter(this);
    updateTxButton();

    // Help -> Manual, before About.
    if (QAction* helpMenu = menuNamed(menuBar(), tr("&Help"))) {
        QMenu* help = helpMenu->menu();
        QAction* manual = addCommand(nullptr, tr("&Manual"), tr("The operating manual"));
        help->insertAction(help->actions().value(0), manual);
        connect(manual, &QAction::triggered, this, &MainWindow::slotManual);
    }

    // Each macro button's tip shows what its macro would send now. The
    // preview asks for nothing and switches nothing.
    class Preview : public MacroHost
    {
    public:
        bool askReport(QString&) override { return true; } // the report as it stands, else the one suggested
        void setSentReport(const QString&) override {}
        bool isOutputActive() const override { return false; }
        void setModemTransmit(bool) override {}
        void startAudioOut() override {}
        void stopAudioOut() override {}
        void changeMode(const QString&) override {}
    };
    m_controlBar->setPreviewSource([this](int i) {
        if (i < 0 || i >= m_macros.size())
            return QString();
        Preview host;
        return Macros::expand(m_macros.at(i).text, macroFields(), host, QDateTime::currentDateTimeUtc())
            .remove(kEndMarker)
            .remove(u'\r');
    });

    // Alt+C and Alt+B belong to the log bar's Call and Band; the waterfall's
    // sliders take letters no one else has.
    for (QLabel* label : m_titleBar->findChildren<QLabel*>()) {
        if (label->text() == QLatin1String("&Brightness"))
            label->setText(tr("Br&ightness"));
        else if (label->text() == QLatin1String("&Contrast"))
            label->setText(tr("C&ontrast"));
    }

    // Tips on the main controls.
    const auto tip = [](QWidget* w, const QString& text) {
        if (w)
            w->setToolTip(text);
    };
    tip(m_titleBar->checkBoxAFC, tr("AFC: the receiver follows a signal that drifts, within its range (right-click here, or Configure, "
                                            "AFC range)"));
    tip(m_titleBar->checkBoxLock, tr("LOCK: the transmit frequency stays put when you tune the receiver"));
    tip(m_titleBar->checkBoxSQ, tr("Squelch: no text is printed while the tuned signal's S/N is below the level set beside it"));
    tip(m_titleBar->comboBox, tr("Mode: BPSK or QPSK at 31 to 250 baud"));
    tip(m_titleBar->sliderBrightness, tr("Waterfall brightness"));
    tip(m_titleBar->sliderContrast, tr("Waterfall contrast"));
    tip(m_spectrum, tr("Waterfall: click a signal to tune the receiver (and the transmitter unless LOCK is set)"));
    tip(m_rxView, tr("Received text. Right-click a word to copy it into the Call, Name or QTH field."));
    tip(m_txView, tr("Type here what to send. Ctrl+T transmits, Esc stops at once."));
    const struct
    {
        const char* name;
        const char* text;
    } fields[] = {
        {"editCall", QT_TR_NOOP("Call of the other station; contacts worked before are shown beside the bar")},
        {"editName", QT_TR_NOOP("Name of the other operator")},
        {"editQHT", QT_TR_NOOP("QTH of the other station")},
        {"editRecv", QT_TR_NOOP("Report received (RST)")},
        {"editSent", QT_TR_NOOP("Report sent (RST); the <RST> tag fills it in. Shown greyed while empty: the report the "
                               "tuned signal's S/N suggests, which the <RST> prompt offers")},
        {"comboBox", QT_TR_NOOP("Band, used for the log when no rig reports its dial")},
        {"editNotes", QT_TR_NOOP("Notes for the log")},
        {"toolButtonSave", QT_TR_NOOP("Save the QSO in the log (Alt+A)")},
        {"toolButtonClear", QT_TR_NOOP("Clear the fields (Alt+L)")},
        {"toolButtonSearch", QT_TR_NOOP("Search in the log file (Alt+S)")},
    };
    for (const auto& f : fields)
        tip(m_logBar->findChild<QWidget*>(QLatin1String(f.name)), tr(f.text));

    // Worked before: previous contacts with the call, as it is typed.
    m_workedBefore = std::make_shared<WorkedBefore>(logFileName());
    m_workedLabel = new QLabel(m_logBar);
    m_workedLabel->setObjectName(QStringLiteral("workedBefore"));
    m_workedLabel->setTextFormat(Qt::PlainText);
    if (auto* row = qobject_cast<QBoxLayout*>(m_logBar->layout()))
        row->addWidget(m_workedLabel);
    if (auto* call = m_logBar->findChild<QLineEdit*>(QStringLiteral("editCall")))
        connect(call, &QLineEdit::textChanged, this, &MainWindow::updateWorkedBefore);
    // A word of the received text, picked from the pane's menu.
    connect(m_rxView, &CRxView::signalWordChosen, this, [this](int target, const QString& word) {
        const char* name = target == CRxView::ToCall ? "editCall" : target == CRxView::ToName ? "editName" : "editQHT";
        if (auto* field = m_logBar->findChild<QLineEdit*>(QLatin1String(name)))
            field->setText(target == CRxView::ToCall ? word.toUpper() : word);
    });
}

void MainWindow::updateTxButton()
{
    if (!m_txButton)
        return;
    const bool on = StationState::isTransmitting();
    m_txButton->setChecked(on);
    m_txButton->setText(on ? tr("TX") : tr("RX"));
    m_txButton->setStyleSheet(on ? QStringLiteral("QPushButton { background: #d00000; color: white; font-weight: bold; }")
                                 : QString());
    m_txButton->setToolTip(on ? tr("Transmitting. Click, or press Esc, to stop at once.")
                              : tr("Receiving. Click, or press Ctrl+T, to transmit; Esc stops at once."));
}

void MainWindow::slotTransmitKey()
{
    if (isOutputActive())
        slotReceiveAfterText();
    else
        startAudioOut();
    updateTxButton();
}

void MainWindow::slotReceiveAfterText()
{
    // One end is enough: the pane may hold one already, from "<RX>".
    if (!isOutputActive() || m_txView->toPlainText().contains(kEndMarker))
        return;
    emit signalAddTxText(QString(kEndMarker) + QStringLiteral("\r\n"));
    statusBar()->showMessage(tr("Back to receive once the text is sent"), 5000);
}

void MainWindow::slotStopNow()
{
    if (isOutputActive())
        stopTransmission();
    updateTxButton();
}

void MainWindow::updateWorkedBefore()
{
    if (!m_workedBefore || !m_workedLabel)
        return;
    const WorkedBefore::Summary s = m_workedBefore->lookUp(m_logBar->call());
    const QString hint = WorkedBefore::hint(s);
    m_workedLabel->setText(s.count ? tr("Worked %n time(s)", nullptr, s.count) : QString());
    m_workedLabel->setToolTip(hint);
    m_workedLabel->setStyleSheet(s.count ? QStringLiteral("color: #a05000; font-weight: bold;") : QString());
    if (s.count)
        statusBar()->showMessage(hint, 10000);
}

void MainWindow::saveQsoAsked()
{
    if (m_logBar && !m_logBar->call().isEmpty() && m_logBar->received().trimmed().isEmpty()
        && m_logBar->sent().trimmed().isEmpty()) {
        QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(),
                        tr("The QSO with %1 has no signal report (RST) sent or received.")
                            .arg(m_logBar->call().toUpper()),
                        QMessageBox::NoButton, this);
        box.setInformativeText(tr("Save it anyway?"));
        QPushButton* save = box.addButton(tr("&Save anyway"), QMessageBox::AcceptRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(save);
        box.exec();
        if (box.clickedButton() != save) {
            statusBar()->showMessage(tr("QSO not saved: no report"), 5000);
            return;
        }
    }
    saveQSO();
}

QString MainWindow::manualPath() const
{
    // Installed beside the data files, else the copy built into the program.
    const QString beside = QDir(AppPaths::dataDirectory()).absoluteFilePath(QStringLiteral("manual.html"));
    return QFile::exists(beside) ? beside : QStringLiteral(":/docs/manual.html");
}

void MainWindow::slotManual()
{
    // A viewer of the program's own: it needs no web browser and keeps the
    // window's keys.
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("manual"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("Velkora32 manual"));
    auto* browser = new QTextBrowser(dialog);
    browser->setOpenExternalLinks(true);
    QFile file(manualPath());
    if (file.open(QIODevice::ReadOnly))
        browser->setHtml(QString::fromUtf8(file.readAll()));
    else
        browser->setPlainText(tr("The manual %1 cannot be read: %2").arg(file.fileName(), file.errorString()));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(browser);
    layout->addWidget(buttons);
    dialog->resize(760, 620);
    dialog->show(); // not modal: the manual stays open beside the window
}
