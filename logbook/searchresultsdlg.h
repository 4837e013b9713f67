// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook/qsodata.h"
#include "logbook/selectnamedlg.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <memory>

class QLineEdit;
class QTableView;
class SearchResultsModel;

namespace Ui {
class SearchResult;
}

// The log search: lists every contact whose log line holds a search text,
// lets the operator correct cells in place, delete selected contacts from the
// file and write selected (or all listed) contacts to a text report. The log
// file is read again for every search; changed cells are kept as pending
// edits until the operator chooses to save them, and every action asks about
// them first. The table shows the records through a model, so the dialog
// costs little more than the records themselves; a long text shows its
// beginning and is edited whole. GUI thread; run modally and discarded when
// closed.
class SearchResultsDlg : public QDialog
{
    Q_OBJECT
public:
    enum Column {
        ColumnUtc,
        ColumnKHz,
        ColumnMode,
        ColumnCall,
        ColumnSent,
        ColumnReceived,
        ColumnName,
        ColumnQth,
        ColumnInfo,
        ColumnCount
    };

    // Both list the whole log at once: the default log, or logFileName.
    explicit SearchResultsDlg(QWidget* parent = nullptr);
    explicit SearchResultsDlg(const QString& logFileName, QWidget* parent = nullptr);
    ~SearchResultsDlg() override;

    QString logFileName() const { return m_logFileName; }
    // The listed records in file order; a record's number is its row.
    const QList<CQsoData>& results() const { return m_results; }
    // Records changed in the table and not yet written to the log.
    qsizetype pendingEdits() const { return m_edited.size(); }

    QTableView* table() const;
    QLineEdit* searchEdit() const;

    // A relative report file name is taken relative to this directory, the
    // application's writable directory unless set.
    void setReportDirectory(const QString& dir) { m_reportDirectory = dir; }
    // How the report file name is asked for (SelectNameDlg::ask unless set).
    void setNameChooser(NameChooser chooser);

    // One line of the text report, with its line end.
    static QString reportLine(const CQsoData& qso);

signals:
    // A changed record was written to the log (with its new content).
    void recordReplaced(const CQsoData& record);

public slots:
    void slotSearch();
    void slotDelete();
    void slotFile();
    void slotClose();
    // A cell changed in the table: the record takes the text, or the change
    // is refused with a message. True when it was taken.
    bool slotItemChanged(int row, int column, const QString& text);
    // Escape and the window's close button ask about pending edits as well.
    void reject() override;

private:
    void init();
    // Asks whether to save pending edits; false when the action is to stop.
    bool settlePendingEdits();
    bool writeEdits();
    void search(const QString& text);
    void fillTable();
    // Takes a cell's text into a copy of the record; false (with the reason)
    // for a text that cannot stand in that column.
    bool takeCell(CQsoData& qso, int column, const QString& text, QString& reason) const;
    int editedIndex(quint32 number) const;
    QList<int> selectedRowsInTableOrder() const;
    QList<int> selectedRowsInSelectionOrder() const;
    void warn(const QString& text, const QString& detail = QString());

    std::unique_ptr<Ui::SearchResult> m_ui;
    SearchResultsModel* m_model = nullptr;
    QString m_logFileName;
    QString m_reportDirectory;
    NameChooser m_chooseName;
    QList<CQsoData> m_results;
    // Copies of records as they were before their first change.
    QList<CQsoData> m_edited;
};
