// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The main window's logbook commands: saving the QSO entry bar as a log
// record, the log search, ADIF import and export, merging another log and
// the operator's personal data.

#include "core/apppaths.h"
#include "core/codepage.h"
#include "app/mainwindow.h"
#include "logbook/filetarget.h"
#include "logbook/hamlog.h"
#include "logbook/logbar.h"
#include "logbook/personaldatadlg.h"
#include "logbook/searchresultsdlg.h"
#include "logbook/workedbefore.h"
#include "modem/psktxrx.h"
#include "widgets/filenamedlg.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QMessageBox>
#include <QStatusBar>

#include <cmath>
#include <limits>

namespace {

// Band table kHz to whole Hz. Rounded, because a dial frequency with
// decimals in "bands.ini" is seldom exact in binary.
quint32 bandHz(double kHz)
{
    const double hz = kHz * 1000.0;
    if (!std::isfinite(hz) || hz <= 0.0)
        return 0;
    if (hz >= double(std::numeric_limits<quint32>::max()))
        return std::numeric_limits<quint32>::max();
    return quint32(std::llround(hz));
}

QString adifFilter()
{
    return MainWindow::tr("ADIF files (*.adi *.adif);;All files (*)");
}

} // namespace

QString MainWindow::logFileName() const
{
    return QDir(AppPaths::writableDirectory())
        .absoluteFilePath(QCoreApplication::applicationName() + QLatin1String(".log"));
}

void MainWindow::setNameChooser(NameChooser chooser)
{
    m_chooseName = std::move(chooser);
}

bool MainWindow::askFile(const QString& title, const QString& label, const QString& preset, bool forSaving,
                         QString& path, const QString& kind, const QString& filter)
{
    QString name;
    if (m_chooseName ? !m_chooseName(this, title, label, preset, name)
                     : !FileNameDlg::ask(this, title, kind, filter, preset,
                                         forSaving ? FileNameDlg::Save : FileNameDlg::Open, name))
        return false;
    // Relative names land beside the log rather than wherever the program
    // happened to be started from; an empty name stays empty and fails.
    path = name.isEmpty() ? name : QDir(AppPaths::writableDirectory()).absoluteFilePath(name);
    return true;
}

void MainWindow::sendCallSignToModem()
{
    if (!m_modem)
        return;
    // The modem takes the call as 8-bit text and copies it at once.
    QByteArray call;
    call.reserve(m_personalData.call.size());
    for (const QChar c : std::as_const(m_personalData.call))
        call.append(char(CodePage::toByte(c)));
    m_modem->Command(ModemCommand::kSetCwCallSign, reinterpret_cast<intptr_t>(call.constData()), 0, 0);
}

void MainWindow::saveQSO()
{
    if (!m_logBar || m_logBar->call().isEmpty()) {
        statusBar()->showMessage(tr("QSO not saved: the Call field is empty"), 5000);
        return;
    }

    // A half-typed locator or power is not logged as if it were one.
    const QString locator = QsoFields::locator(m_logBar->locator());
    const QString power = QsoFields::power(m_logBar->power());
    if (locator.isEmpty() != m_logBar->locator().isEmpty() || power.isEmpty() != m_logBar->power().isEmpty()) {
        statusBar()->showMessage(locator.isEmpty() != m_logBar->locator().isEmpty()
                                     ? tr("QSO not saved: %1 is not a locator (4 or 6 characters, JO62 or JO62qm)")
                                           .arg(m_logBar->locator())
                                     : tr("QSO not saved: %1 is not a power in watts").arg(m_logBar->power()),
                                 10000);
        return;
    }

    CQsoData qso;
    qso.clear();
    qso.call = m_logBar->call();
    qso.locator = locator;
    qso.power = power;
    qso.name = m_logBar->name();
    qso.qth = m_logBar->qth();
    qso.received = m_logBar->received();
    qso.sent = m_logBar->sent();
    qso.info = m_logBar->notes();
    qso.start = QDateTime::currentDateTimeUtc(); // ADIF and the search table show UTC
    qso.end = qso.start;
    qso.mode = m_currentMode;
    qso.frequencyB = rigQsoFrequency();
    if (qso.frequencyB == 0)
        qso.frequencyB = bandHz(BandTable::frequencyKHz(m_bandTable, m_logBar->band()));
    qso.frequencyA = qso.frequencyB;

    CHamLog log(logFileName());
    if (log.append(qso)) {
        if (m_workedBefore) {
            m_workedBefore->added(qso);
            updateWorkedBefore();
        }
        statusBar()->showMessage(tr("QSO saved: %1").arg(qso.call.toUpper()), 5000);
        reportLoggedQso(qso);
    } else {
        statusBar()->showMessage(tr("QSO not saved"), 5000);
        QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(),
                        tr("The QSO with %1 was not saved: the log file %2 cannot be written.")
                            .arg(qso.call.toUpper(), log.fileName()),
                        QMessageBox::Close, this);
        box.setInformativeText(log.errorString());
        box.exec();
    }
}

void MainWindow::clearQSO()
{
    if (m_logBar)
        m_logBar->clear();
}

void MainWindow::searchLog()
{
    SearchResultsDlg dialog(logFileName(), this);
    dialog.setNameChooser(m_chooseName ? m_chooseName : NameChooser(&FileNameDlg::askSave));
    connect(&dialog, &SearchResultsDlg::recordReplaced, this, &MainWindow::reportLoggedQso);
    dialog.exec();
}

bool MainWindow::importADIF()
{
    QString adif;
    if (!askFile(tr("Select ADIF file"), tr("Enter file name"), QString(), false, adif, QStringLiteral("adif"),
                 adifFilter()))
        return false;
    CHamLog log(logFileName());
    const bool ok = log.importAdif(adif);
    if (ok) {
        const QString done = tr("%1 QSO(s) imported from %2").arg(log.changedLines()).arg(adif);
        statusBar()->showMessage(done, 5000);
        // What the import left out or repaired is said, not only logged.
        if (!log.importNotes().isEmpty()) {
            QMessageBox box(QMessageBox::Information, QCoreApplication::applicationName(), done + u'.',
                            QMessageBox::Close, this);
            box.setInformativeText(log.importNotes());
            box.exec();
        }
    } else
        logCommandFailed(tr("Import from %1 failed.").arg(adif), log.errorString());
    return ok;
}

bool MainWindow::exportADIF()
{
    QString adif;
    if (!askFile(tr("Select ADIF file"), tr("Enter file name"), QString(), true, adif, QStringLiteral("adif"),
                 adifFilter())
        || (!adif.isEmpty() && !mayWriteFile(this, adif, logFileName())))
        return false;
    CHamLog log(logFileName());
    const bool ok = log.exportAdif(adif);
    if (ok)
        statusBar()->showMessage(tr("Log exported to %1").arg(adif), 5000);
    else
        logCommandFailed(tr("Export to %1 failed.").arg(adif), log.errorString());
    return ok;
}

bool MainWindow::mergeLog()
{
    QString other;
    if (!askFile(tr("Select log file"), tr("Enter file name"), QString(), false, other, QStringLiteral("log"),
                 tr("Log files (*.log);;All files (*)")))
        return false;
    CHamLog log(logFileName());
    CHamLog second(other);
    const bool ok = log.merge(second);
    if (ok)
        statusBar()->showMessage(tr("%1 QSO(s) merged from %2").arg(log.changedLines()).arg(other), 5000);
    else
        logCommandFailed(tr("Merging %1 into the log failed.").arg(other), log.errorString());
    return ok;
}

void MainWindow::logCommandFailed(const QString& text, const QString& reason)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), text, QMessageBox::Close, this);
    box.setInformativeText(reason);
    box.exec();
}

void MainWindow::slotPersonalData()
{
    PersonalDataDlg dialog(m_personalData, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_personalData = dialog.data();
    m_personalData.save();
    sendCallSignToModem();
    if (m_pskAction)
        applyReportSettings();
}
