// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>

namespace Ui {
class SelectName;
}

// A one-line prompt for a file or other name: a label, a line edit and
// OK/Cancel. The caller reads name() after the dialog was accepted. GUI
// thread.
class SelectNameDlg : public QDialog
{
    Q_OBJECT
public:
    // An empty title or label keeps the form's "Select name" / "Enter name".
    SelectNameDlg(const QString& title, const QString& label, const QString& text,
                  QWidget* parent = nullptr);
    ~SelectNameDlg() override;

    // The text confirmed with OK; empty until then.
    QString name() const { return m_name; }

    // Runs the prompt modally; false when it was cancelled.
    static bool ask(QWidget* parent, const QString& title, const QString& label,
                    const QString& text, QString& name);

public slots:
    void accept() override;

private:
    std::unique_ptr<Ui::SelectName> m_ui;
    QString m_name;
};

// How a command asks the user for a name: SelectNameDlg::ask, or a stand-in
// that answers without a dialog (tests, scripted use). Returns false when the
// user cancelled.
using NameChooser = std::function<bool(QWidget* parent, const QString& title, const QString& label,
                                       const QString& text, QString& name)>;
