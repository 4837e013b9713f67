// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "text/macros.h"
#include "ui_controlbarex.h"

#include <QList>
#include <QWidget>

#include <functional>

class QPushButton;
class QSignalMapper;

// The macro bar: 24 buttons on two pages of twelve (F1 to F12, Ctrl+F1 to
// Ctrl+F12) and a page button that flips between them. A left click asks
// for the button's macro to be sent, a right click for it to be edited; the
// main window does both. Button numbers come from the object names:
// "pushButton_1" is macro 0, "pushButton_24" macro 23.
//
// The buttons are all of one width and show their key and label ("F1 CQ");
// the label is cut to fit and shown whole in the tool tip.
//
// The buttons carry no keyboard shortcuts of their own: the main window
// binds the function keys once for the whole program, so a key press never
// meets two bindings. GUI thread.
class ControlBarEx : public QWidget, private Ui::ControlBarEx
{
    Q_OBJECT
public:
    explicit ControlBarEx(QWidget* parent = nullptr);

    // The number after the first "_" of the object name, minus 1; -1 when
    // the name holds none.
    static int buttonNumber(const QObject* button);
    // "F1" ... "F12", "^F1" ... "^F12" (Ctrl) for macro numbers 0 to 23.
    static QString keyName(int number);
    // What a button's tool tip shows: the text its macro would send now.
    // Asked each time the tip comes up.
    void setPreviewSource(std::function<QString(int)> source) { m_preview = std::move(source); }

signals:
    void signalButtonClicked(int index);
    void signalRightMouseClicked(int index);

public slots:
    void setPage1();
    void setPage2();
    void buttonClicked(const QString& objName);
    // Each button takes the label of the first record with its number; a
    // button without one keeps its text.
    void updateButtons(const QList<SMacro>& macros);
    void updateButton(const SMacro& macro);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The key name and the label, cut to the button's width.
    void setLabel(QPushButton* button, const QString& label);

    QList<QPushButton*> m_buttons;
    std::function<QString(int)> m_preview;
    QSignalMapper* m_mapper = nullptr;
};
