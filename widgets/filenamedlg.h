// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class QLineEdit;

// A one-line prompt for a file name with a Browse button beside it that
// opens the desktop's file chooser on the folder of the name typed so far.
// A relative name is taken from the program's writable folder. The caller
// reads name() after the dialog was accepted. GUI thread.
class FileNameDlg : public QDialog
{
    Q_OBJECT
public:
    enum Purpose
    {
        Open, // an existing file to read
        Save, // a file to write
    };

    FileNameDlg(const QString& title, const QString& label, const QString& text, Purpose purpose,
                QWidget* parent = nullptr);

    // The text confirmed with OK; empty until then.
    QString name() const { return m_name; }

    // How Browse asks the desktop for a file: the path chosen, or empty when
    // cancelled. The file dialog unless replaced (tests); empty restores it.
    using Chooser = std::function<QString(QWidget* parent, const QString& title, const QString& start, Purpose)>;
    static void setChooser(Chooser chooser);

    // Run the prompt modally; false when it was cancelled. Same shape as a
    // NameChooser, so the commands can use them where they ask for names.
    static bool askOpen(QWidget* parent, const QString& title, const QString& label, const QString& text,
                        QString& name);
    static bool askSave(QWidget* parent, const QString& title, const QString& label, const QString& text,
                        QString& name);

public slots:
    void accept() override;
    // Opens the file chooser; a file chosen there replaces the typed name.
    void browse();

private:
    QLineEdit* m_edit;
    Purpose m_purpose;
    QString m_name;
};
