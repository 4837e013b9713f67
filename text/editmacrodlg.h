// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text/macros.h"
#include "ui_editmacro.h"

#include <QDialog>

class QListWidgetItem;

// The macro editor: one macro's label and text, and the list of tags that a
// double click or the "<<" button inserts at the text cursor. Works on its
// own copy; after an accepted run the caller reads macro(), whose index is
// unchanged. Modal and short-lived, GUI thread.
class EditMacroDlg : public QDialog, private Ui::EditMacro
{
    Q_OBJECT
public:
    explicit EditMacroDlg(const SMacro& macro, QWidget* parent = nullptr);

    const SMacro& macro() const { return m_macro; }

public slots:
    void accept() override;
    // Inserts the tags of all selected help entries.
    void add();
    // Inserts the tag that starts the entry; the separator inserts nothing.
    void add(QListWidgetItem* item);

private:
    SMacro m_macro;
};
