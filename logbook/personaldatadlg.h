// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook/personaldata.h"

#include <QDialog>

#include <memory>

namespace Ui {
class PersonalDataDialog;
}

// Edits the operator's own call, name, QTH, locator and antenna on a copy
// of the personal data; the caller takes data() back after the dialog was accepted. GUI
// thread.
class PersonalDataDlg : public QDialog
{
    Q_OBJECT
public:
    explicit PersonalDataDlg(const PersonalData& data, QWidget* parent = nullptr);
    ~PersonalDataDlg() override;

    const PersonalData& data() const { return m_data; }

public slots:
    // Takes the fields into the copy (the call in upper case) and resets
    // the report to the default; the free text is not touched. A locator
    // that is not one keeps the dialog open with a line that says why.
    void accept() override;

private:
    std::unique_ptr<Ui::PersonalDataDialog> m_ui;
    PersonalData m_data;
};
