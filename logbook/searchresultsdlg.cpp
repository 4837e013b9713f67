// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/searchresultsdlg.h"

#include "core/apppaths.h"
#include "logbook/adif.h"
#include "logbook/filetarget.h"
#include "logbook/hamlog.h"

#include "ui_searchresult.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QAbstractTableModel>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
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

// A cell shows at most this many characters of its text; the rest follows
// as "…". Measuring and drawing a text of megabytes would cost far more than
// the text itself.
constexpr qsizetype kShownCharacters = 200;

QString cellText(const CQsoData& qso, int column)
{
    switch (column) {
    case SearchResultsDlg::ColumnUtc: return qso.start.toString(kTableTimeFormat);
    case SearchResultsDlg::ColumnKHz: return kHzText(qso.frequencyB);
    case SearchResultsDlg::ColumnMode: return qso.mode;
    case SearchResultsDlg::ColumnCall: return qso.call;
    case SearchResultsDlg::ColumnSent: return qso.sent;
    case SearchResultsDlg::ColumnReceived: return qso.received;
    case SearchResultsDlg::ColumnName: return qso.name;
    case SearchResultsDlg::ColumnQth: return qso.qth;
    case SearchResultsDlg::ColumnInfo: return qso.info;
    default: return QString();
    }
}

} // namespace

// The result list as a table: one row per record, the columns of
// SearchResultsDlg::Column. Edits go to the dialog, which decides.
class SearchResultsModel : public QAbstractTableModel
{
public:
    explicit SearchResultsModel(SearchResultsDlg* dialog)
        : QAbstractTableModel(dialog)
        , m_dialog(dialog)
    {
    }

    void reset()
    {
        beginResetModel();
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_dialog->results().size());
    }

    int columnCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(SearchResultsDlg::ColumnCount);
    }

    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_dialog->results().size()
            || (role != Qt::DisplayRole && role != Qt::EditRole))
            return QVariant();
        const QString text = cellText(m_dialog->results().at(index.row()), index.column());
        if (role == Qt::DisplayRole && text.size() > kShownCharacters)
            return QString(text.left(kShownCharacters) + QChar(0x2026));
        return text;
    }

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
            return QAbstractTableModel::headerData(section, orientation, role);
        static const char* const kHeaders[] = {"UTC", "kHz", "Mode", "Call", "Sent", "Rcvd", "Name", "QTH", "Info"};
        if (section < 0 || section >= SearchResultsDlg::ColumnCount)
            return QVariant();
        return SearchResultsDlg::tr(kHeaders[section]);
    }

    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override
    {
        if (!index.isValid() || role != Qt::EditRole)
            return false;
        const bool taken = m_dialog->slotItemChanged(index.row(), index.column(), value.toString());
        emit dataChanged(index, index);
        return taken;
    }

private:
    SearchResultsDlg* m_dialog;
};

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
    m_model = new SearchResultsModel(this);
    m_ui->tableWidget->setModel(m_model);
    // Rows of one line each, so the view need not measure every row.
    m_ui->tableWidget->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_ui->tableWidget->setWordWrap(false);
    search(QString());

    connect(m_ui->pushButtonClose, &QPushButton::clicked, this, &SearchResultsDlg::slotClose);
    connect(m_ui->pushButtonFile, &QPushButton::clicked, this, &SearchResultsDlg::slotFile);
    connect(m_ui->pushButtonDelete, &QPushButton::clicked, this, &SearchResultsDlg::slotDelete);
    connect(m_ui->pushButtonSearch, &QPushButton::clicked, this, &SearchResultsDlg::slotSearch);
}

QTableView* SearchResultsDlg::table() const
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
    m_model->reset();
    // Sized by the first rows; the view looks at no more than that.
    m_ui->tableWidget->resizeColumnsToContents();
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
        // A frequency typed in is one the contact had, not its band's.
        if (!Adif::onlyBand(qso).isEmpty())
            qso.text9.clear();
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

bool SearchResultsDlg::slotItemChanged(int row, int column, const QString& text)
{
    if (row < 0 || row >= m_results.size())
        return false;
    CQsoData changed = m_results.at(row);
    QString reason;
    if (!takeCell(changed, column, text, reason)) {
        warn(reason, tr("The cell keeps its previous value."));
        return false;
    }
    if (editedIndex(quint32(row)) < 0)
        m_edited.append(m_results.at(row));
    changed.edited = true;
    m_results[row] = changed;
    return true;
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
        if (row < m_results.size())
            emit recordReplaced(m_results.at(row));
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
    const QItemSelection ranges = m_ui->tableWidget->selectionModel()->selection();
    for (const QItemSelectionRange& range : ranges) {
        // A range of whole rows spans every column; count each row once.
        if (range.left() != 0)
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row) {
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

    // One rewrite of the log for all rows, which are in file order.
    QList<CQsoData> targets;
    targets.reserve(rows.size());
    for (int row : rows) {
        // An edit the operator chose not to save is not in the file: the
        // line to remove is the one as it was read.
        const int edited = editedIndex(quint32(row));
        targets.append(edited >= 0 ? m_edited.at(edited) : m_results.at(row));
    }
    CHamLog log(m_logFileName);
    if (!log.deleteRecords(targets, int(targets.size())))
        warn(tr("Can't delete from the log file %1.").arg(m_logFileName), log.errorString());
    else if (log.changedLines() < targets.size())
        warn(tr("%1 of the %2 selected QSO(s) were deleted; the others were not found in the log file %3 "
                "as they were listed (the file has changed since).")
                 .arg(log.changedLines())
                 .arg(targets.size())
                 .arg(m_logFileName));
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
