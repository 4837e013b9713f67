// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/bandtable.h"

#include <QString>
#include <QWidget>

#include <memory>

class QComboBox;
class QToolButton;

namespace Ui {
class LogBar;
}

// The QSO entry bar: the other station's call, name, QTH, the two reports,
// the band and notes of the contact in progress, its locator and the power
// sent, with save, clear and search buttons. The bar only holds what is
// typed; the main window turns it into a log record and opens the search,
// through the save and search buttons. The fields are not stored between
// runs; the band is (group "LogBar", key "band"), and so is the power ("power",
// written when it is changed). GUI thread.
class LogBar : public QWidget
{
    Q_OBJECT
public:
    // Fills the band box from the table, in ascending order of frequency,
    // with the band used last selected (the first band when it is not in
    // the table). The band is stored when the bar is destroyed.
    explicit LogBar(const BandTable::Table& bands, QWidget* parent = nullptr);
    ~LogBar() override;
    // Stores the band chosen.
    void saveSettings() const;

    QString call() const;
    QString name() const;
    QString qth() const;
    QString received() const;
    QString sent() const;
    QString notes() const;
    QString band() const;
    // As typed, trimmed; QsoFields checks them.
    QString locator() const;
    QString power() const;

    // Macros fill in the report sent when they ask for it.
    void setSent(const QString& report);
    // The report suggested from the tuned signal's S/N (empty: none): shown
    // greyed in the empty Sent field, and offered first by the report prompt.
    void setSuggestedReport(const QString& report);
    QString suggestedReport() const { return m_suggested; }

    QToolButton* saveButton() const;
    QToolButton* searchButton() const;
    QComboBox* bandBox() const;

public slots:
    // Empties the six text fields and the locator; the band and the power
    // stay, as they do from one contact to the next.
    void clear();

private:
    std::unique_ptr<Ui::LogBar> m_ui;
    QString m_suggested;
};
