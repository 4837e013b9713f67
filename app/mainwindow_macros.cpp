// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's macro commands: sending a macro from its key or button,
// editing one, and reading and writing macro files.

#include "core/apppaths.h"
#include "app/mainwindow.h"
#include "logbook/filetarget.h"
#include "logbook/logbar.h"
#include "modem/psktxrx.h"
#include "text/editmacrodlg.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QKeySequence>
#include <QShortcut>
#include <QSignalMapper>

MacroFields MainWindow::macroFields() const
{
    MacroFields fields;
    fields.myCall = m_personalData.call;
    fields.myName = m_personalData.name;
    fields.myQth = m_personalData.qth;
    fields.myRst = m_personalData.rst;
    if (m_logBar) {
        fields.call = m_logBar->call();
        fields.name = m_logBar->name();
        fields.qth = m_logBar->qth();
        fields.notes = m_logBar->notes();
        fields.sent = m_logBar->sent();
        fields.suggestedRst = m_logBar->suggestedReport();
    }
    return fields;
}

QString MainWindow::macroFileName() const
{
    return QDir(AppPaths::writableDirectory())
        .absoluteFilePath(QCoreApplication::applicationName() + QLatin1String(".mac"));
}

void MainWindow::createMacroShortcuts()
{
    // The program's only binding of these keys: application-wide, so they
    // work in floating docks too, and never competing with a button's own
    // shortcut (a key bound twice would fire neither or both).
    auto* mapper = new QSignalMapper(this);
    for (int i = 0; i < Macros::kCount; ++i) {
        const auto key = Qt::Key(Qt::Key_F1 + i % 12);
        const QKeySequence keys = i < 12 ? QKeySequence(key) : QKeySequence(Qt::ControlModifier | key);
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::ApplicationShortcut);
        mapper->setMapping(shortcut, i);
        connect(shortcut, &QShortcut::activated, mapper, qOverload<>(&QSignalMapper::map));
    }
    connect(mapper, &QSignalMapper::mappedInt, this, &MainWindow::slotControlBar);
}

void MainWindow::slotControlBar(int i)
{
    if (!m_startedOk || i < 0 || i >= m_macros.size())
        return;

    // What the macro may ask of the window while it is expanded.
    class Host : public MacroHost
    {
    public:
        explicit Host(MainWindow& w)
            : m_w(w)
        {
        }
        bool askReport(QString& report) override
        {
            const QString preset = report;
            const NameChooser choose = m_w.m_chooseName ? m_w.m_chooseName : NameChooser(&SelectNameDlg::ask);
            return choose(&m_w, MainWindow::tr("Enter RST"), MainWindow::tr("RST to send"), preset, report);
        }
        void setSentReport(const QString& report) override
        {
            if (m_w.m_logBar)
                m_w.m_logBar->setSent(report);
        }
        bool isOutputActive() const override { return m_w.isOutputActive(); }
        void setModemTransmit(bool on) override
        {
            if (on)
                m_w.m_modem->SetTransmit(1);
            else
                m_w.endForRestart();
        }
        void startAudioOut() override { m_w.startAudioOut(); }
        void stopAudioOut() override { m_w.stopTransmission(); }
        void changeMode(const QString& mode) override { m_w.slotModeChanged(mode); }

    private:
        MainWindow& m_w;
    };

    // A copy: the report prompt runs an event loop.
    const QString body = m_macros.at(i).text;
    Host host(*this);
    const QString text = Macros::expand(body, macroFields(), host,
                                        QDateTime::currentDateTimeUtc());
    if (!text.isEmpty())
        emit signalAddTxText(text);
}

void MainWindow::slotEditMacro(int i)
{
    if (i < 0 || i >= m_macros.size())
        return;
    EditMacroDlg dialog(m_macros.at(i), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_macros[i] = dialog.macro();
    emit signalMacroChanged(m_macros.at(i));
}

void MainWindow::slotLoadMacros()
{
    QString path;
    if (!askFile(tr("Select macros file name"), tr("Enter name"), QFileInfo(macroFileName()).fileName(), false, path,
                 QStringLiteral("macros"), tr("Macro files (*.mac);;All files (*)")))
        return;
    QString message;
    if (!Macros::readFile(path, m_macros, &message)) {
        Macros::showFileMessage(this, message); // nothing changed
        return;
    }
    emit signalMacrosLoaded(m_macros);
}

void MainWindow::slotSaveMacros()
{
    QString path;
    if (!askFile(tr("Select macros file name"), tr("Enter name"), QFileInfo(macroFileName()).fileName(), true, path,
                 QStringLiteral("macros"), tr("Macro files (*.mac);;All files (*)"))
        || (!path.isEmpty() && !mayWriteFile(this, path, logFileName())))
        return;
    QString message;
    if (!Macros::writeFile(path, m_macros, &message))
        Macros::showFileMessage(this, message);
}
