// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/searchresultsdlg.h"

#include "core/apppaths.h"
#include "logbook/filetarget.h"
#include "logbook/hamlog.h"

#include "ui_searchresult.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTableWidgetItem>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const QString kTableTimeFormat = QStringLiteral("dd.MM.yyyy hh:mm:ss");

QString appName()
{
    return QCoreApplication::applicationName();
}

QString kHzText(quint32 hz)
{
    return QString::number(hz / 1000.0, 'f', 3);
}

} // namespace

SearchResultsDlg::SearchResultsDlg(QWidget* parent)
    : SearchResultsDlg(CHamLog::defaultFileName(), parent)
{
}

SearchResultsDlg::SearchResultsDlg(const QString& logFileName, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SearchResult>())
    , m_logFileName(logFileName)
    , m_reportDirectory(AppPaths::writableDirectory())
    , m_chooseName(&SelectNameDlg::ask)
{
    init();
}

SearchResultsDlg::~SearchResultsDlg() = default;

void SearchResultsDlg::init()
{
    m_ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/search.bmp")));
    search(QString());

    connect(m_ui->pushButtonClose, &QPushButton::clicked, this, &SearchResultsDlg::slotClose);
    connect(m_ui->pushButtonFile, &QPushButton::clicked, this, &SearchResultsDlg::slotFile);
    connect(m_ui->pushButtonDelete, &QPushButton::clicked, this, &SearchResultsDlg::slotDelete);
    connect(m_ui->pushButtonSearch, &QPushButton::clicked, this, &SearchResultsDlg::slotSearch);
    connect(m_ui->tableWidget, &QTableWidget::itemChanged, this, &SearchResultsDlg::slotItemChanged);
}

QTableWidget* SearchResultsDlg::table() const
{
    return m_ui->tableWidget;
}

QLineEdit* SearchResultsDlg::searchEdit() const
{
    return m_ui->lineEdit;
}

void SearchResultsDlg::setNameChooser(NameChooser chooser)
{
    m_chooseName = chooser ? std::move(chooser) : NameChooser(&SelectNameDlg::ask);
}

QString SearchResultsDlg::reportLine(const CQsoData& qso)
{
    // Each field is padded on its own: a value holding "%2" must not be
    // taken for a place holder of the next one.
    const QStringList fields = {
        qso.start.toString(QStringLiteral("dd-MMM-yyyy hh:mm:ss")),
        QString::number(qso.frequencyB * 0.001, 'f', 3).rightJustified(10),
        qso.mode.rightJustified(4),
        qso.call.rightJustified(14),
        qso.sent.rightJustified(3),
        qso.received.rightJustified(3),
        qso.name,
        qso.qth,
        qso.info,
    };
    return fields.join(u' ') + u'\n';
}

void SearchResultsDlg::warn(const QString& text, const QString& detail)
{
    QMessageBox box(QMessageBox::Warning, appName(), text, QMessageBox::Close, this);
    box.setInformativeText(detail);
    box.exec();
}

void SearchResultsDlg::search(const QString& text)
{
    CHamLog log(m_logFileName);
    m_results = log.search(text);
    m_edited.clear();
    // A log not written yet is simply empty; one that exists but cannot be
    // read must not look empty without a word.
    if (m_results.isEmpty() && log.error() != QFileDevice::NoError && QFileInfo::exists(m_logFileName))
        warn(tr("Can't read the log file %1.").arg(m_logFileName), log.errorString());
    for (qsizetype i = 0; i < m_results.size(); ++i)
        m_results[i].number = quint32(i);
    fillTable();

    QString title = windowTitle();
    const qsizetype colon = title.indexOf(u':');
    if (colon >= 0)
        title.truncate(colon);
    setWindowTitle(title + tr(": %1 QSO(s)").arg(m_results.size()));
}

void SearchResultsDlg::fillTable()
{
    QTableWidget* table = m_ui->tableWidget;
    m_filling = true;
    table->clearContents();
    table->setColumnCount(ColumnCount);
    table->setHorizontalHeaderLabels({tr("UTC"), tr("kHz"), tr("Mode"), tr("Call"), tr("Sent"), tr("Rcvd"),
                                      tr("Name"), tr("QTH"), tr("Info")});
    table->setRowCount(int(m_results.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < ColumnCount; ++column)
            showCell(row, column);
    }
    table->resizeColumnsToContents();
    m_filling = false;
}

void SearchResultsDlg::showCell(int row, int column)
{
    const CQsoData& qso = m_results.at(row);
    QString text;
    switch (column) {
    case ColumnUtc: text = qso.start.toString(kTableTimeFormat); break;
    case ColumnKHz: text = kHzText(qso.frequencyB); break;
    case ColumnMode: text = qso.mode; break;
    case ColumnCall: text = qso.call; break;
    case ColumnSent: text = qso.sent; break;
    case ColumnReceived: text = qso.received; break;
    case ColumnName: text = qso.name; break;
    case ColumnQth: text = qso.qth; break;
    case ColumnInfo: text = qso.info; break;
    default: return;
    }
    const bool wasFilling = m_filling;
    m_filling = true;
    QTableWidgetItem* item = m_ui->tableWidget->item(row, column);
    if (item)
        item->setText(text);
    else
        m_ui->tableWidget->setItem(row, column, new QTableWidgetItem(text));
    m_filling = wasFilling;
}

bool SearchResultsDlg::takeCell(CQsoData& qso, int column, const QString& text, QString& reason) const
{
    switch (column) {
    case ColumnUtc: {
        const QDateTime typed = QDateTime::fromString(text.trimmed(), kTableTimeFormat);
        if (!typed.isValid()) {
            reason = tr("\"%1\" is not a date and time of the form %2.").arg(text, kTableTimeFormat);
            return false;
        }
        // The log keeps wall-clock stamps; the contact keeps its length.
        const qint64 length = qso.start.secsTo(qso.end);
        qso.start = QDateTime(typed.date(), typed.time(), qso.start.timeSpec());
        qso.end = qso.start.addSecs(qMax<qint64>(length, 0));
        return true;
    }
    case ColumnKHz: {
        bool ok = false;
        const double khz = text.trimmed().toDouble(&ok);
        const double hz = khz * 1000.0;
        if (!ok || !std::isfinite(hz) || hz < 0.0 || hz > double(std::numeric_limits<quint32>::max())) {
            reason = tr("\"%1\" is not a frequency in kHz.").arg(text);
            return false;
        }
        // Rounded, since kHz with decimals are seldom exact in binary.
        qso.frequencyB = quint32(std::llround(hz));
        qso.frequencyA = qso.frequencyB;
        return true;
    }
    case ColumnMode: qso.mode = text; return true;
    case ColumnCall:
        // A line without a call is no longer read as a record: the contact
        // would vanish from the log.
        if (text.trimmed().isEmpty()) {
            reason = tr("A QSO needs a call sign.");
            return false;
        }
        qso.call = text;
        return true;
    case ColumnSent: qso.sent = text; return true;
    case ColumnReceived: qso.received = text; return true;
    case ColumnName: qso.name = text; return true;
    case ColumnQth: qso.qth = text; return true;
    case ColumnInfo: qso.info = text; return true;
    default: return false;
    }
}

int SearchResultsDlg::editedIndex(quint32 number) const
{
    for (qsizetype i = 0; i < m_edited.size(); ++i) {
        if (m_edited.at(i).number == number)
            return int(i);
    }
    return -1;
}

void SearchResultsDlg::slotItemChanged(QTableWidgetItem* item)
{
    if (m_filling || !item)
        return;
    const int row = item->row();
    const int column = item->column();
    if (row < 0 || row >= m_results.size())
        return;

    CQsoData changed = m_results.at(row);
    QString reason;
    if (!takeCell(changed, column, item->text(), reason)) {
        warn(reason, tr("The cell keeps its previous value."));
        showCell(row, column);
        return;
    }
    if (editedIndex(quint32(row)) < 0)
        m_edited.append(m_results.at(row));
    changed.edited = true;
    m_results[row] = changed;
    // Show the value as it will be stored (a frequency with its three decimals).
    showCell(row, column);
}

bool SearchResultsDlg::writeEdits()
{
    CHamLog log(m_logFileName);
    while (!m_edited.isEmpty()) {
        const CQsoData& old = m_edited.constFirst();
        const qsizetype row = qsizetype(old.number);
        if (row < m_results.size() && !log.replace(old, m_results.at(row))) {
            warn(tr("Can't save the changes to the log file %1.").arg(m_logFileName), log.errorString());
            return false;
        }
        m_edited.removeFirst();
    }
    return true;
}

bool SearchResultsDlg::settlePendingEdits()
{
    if (m_edited.isEmpty())
        return true;
    const auto answer = QMessageBox::information(
        this, appName(), tr("Some entries have been edited.\nWould you like to save changes?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    switch (answer) {
    case QMessageBox::Save: return writeEdits();
    case QMessageBox::Discard: return true;
    default: return false;
    }
}

void SearchResultsDlg::slotSearch()
{
    if (!settlePendingEdits())
        return;
    search(m_ui->lineEdit->text());
}

QList<int> SearchResultsDlg::selectedRowsInTableOrder() const
{
    QList<int> rows = selectedRowsInSelectionOrder();
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QList<int> SearchResultsDlg::selectedRowsInSelectionOrder() const
{
    QList<int> rows;
    const QList<QTableWidgetSelectionRange> ranges = m_ui->tableWidget->selectedRanges();
    for (const QTableWidgetSelectionRange& range : ranges) {
        for (int row = range.topRow(); row <= range.bottomRow(); ++row) {
            if (row >= 0 && row < m_results.size())
                rows.append(row);
        }
    }
    return rows;
}

void SearchResultsDlg::slotDelete()
{
    if (!settlePendingEdits())
        return;
    const QList<int> rows = selectedRowsInTableOrder();
    if (rows.isEmpty())
        return;
    const QString question = rows.size() == 1 ? tr("Delete selected QSO?")
                                              : tr("Delete %1 lines from the log?").arg(rows.size());
    if (QMessageBox::warning(this, appName(), question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;

    CHamLog log(m_logFileName);
    for (int row : rows) {
        // An edit the operator chose not to save is not in the file: the
        // line to remove is the one as it was read.
        const int edited = editedIndex(quint32(row));
        const CQsoData& target = edited >= 0 ? m_edited.at(edited) : m_results.at(row);
        if (!log.deleteRecords({target}, 1)) {
            warn(tr("Can't delete from the log file %1.").arg(m_logFileName), log.errorString());
            break;
        }
    }
    search(m_ui->lineEdit->text());
}

void SearchResultsDlg::slotFile()
{
    if (!settlePendingEdits())
        return;
    QString name;
    if (!m_chooseName(this, tr("Select export file name"), tr("Enter name"), QStringLiteral("export.txt"), name))
        return;
    const QString path = QDir(m_reportDirectory).absoluteFilePath(name);
    if (!name.isEmpty() && !mayWriteFile(this, path, m_logFileName))
        return;

    QFile file(path);
    if (name.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        warn(tr("Can't open file for export."), name.isEmpty() ? tr("No file name was given.")
                                                                 : path + QStringLiteral(": ") + file.errorString());
        return;
    }
    QTextStream out(&file);
    const QList<int> rows = selectedRowsInSelectionOrder();
    if (rows.isEmpty()) {
        for (const CQsoData& qso : std::as_const(m_results))
            out << reportLine(qso);
    } else {
        for (int row : rows)
            out << reportLine(m_results.at(row));
    }
    out.flush();
    if (out.status() != QTextStream::Ok || !file.flush() || file.error() != QFileDevice::NoError)
        warn(tr("Can't write the report to %1.").arg(path), file.errorString());
}

void SearchResultsDlg::slotClose()
{
    if (settlePendingEdits())
        accept();
}

void SearchResultsDlg::reject()
{
    if (settlePendingEdits())
        QDialog::reject();
}
