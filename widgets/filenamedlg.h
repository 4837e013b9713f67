// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

// How the program asks for the name of a file to read or write: the
// desktop's file dialog (its native one where the desktop has one), with
// filters for the kind of file, opened in the folder last used for that kind
// (settings group "Folders", written when a file is chosen). A relative
// preset is taken from that folder, or else from the program's writable
// folder. GUI thread.
class FileNameDlg
{
public:
    enum Purpose
    {
        Open, // an existing file to read
        Save, // a file to write; the caller asks before replacing one
    };

    // How the desktop is asked: the path chosen, or empty when cancelled.
    // The file dialog unless replaced (tests); empty restores it.
    using Chooser = std::function<QString(QWidget* parent, const QString& title, const QString& start, Purpose)>;
    static void setChooser(Chooser chooser);

    // kind names the remembered folder ("adif", "macros"); filter is a
    // QFileDialog filter ("ADIF files (*.adi *.adif)"), whose first pattern
    // gives a saved name without an extension its extension. False when
    // cancelled; name is then unchanged.
    static bool ask(QWidget* parent, const QString& title, const QString& kind, const QString& filter,
                    const QString& preset, Purpose purpose, QString& name);

    // A text file to write, in the shape of a NameChooser, for the commands
    // that take one (the label is not shown).
    static bool askSave(QWidget* parent, const QString& title, const QString& label, const QString& text,
                        QString& name);
};
