// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QPrinter>
#include <QString>
#include <QTextEdit>

class QDialog;
class QMenu;

// Font persistence and font choice shared by the receive and transmit panes.
namespace TextPaneFont {

// Sets the font stored under <group>/"font"; an empty value keeps the
// widget's font.
void restore(QWidget& pane, const QString& group);
void save(const QWidget& pane, const QString& group);

} // namespace TextPaneFont

// The receive pane: a read-only text pane that shows decoded characters in
// black and, while transmitting with TX echo on, the sent characters in dark
// red instead. Each transmission's echo starts on a line of its own, and so
// does the received text after it; the end and Morse identification markers
// are echoed as "[end]" and "[Morse ID]". New text always goes to the end; a selection held by the user
// survives it and keeps the view where it is. Prints, previews and sets up
// pages on one printer kept for the pane's lifetime. Keeps its font under
// "RXview". GUI thread only; the echo arrives queued from the audio thread.
class CRxView : public QTextEdit
{
    Q_OBJECT
public:
    explicit CRxView(QWidget* parent = nullptr);
    ~CRxView() override;
    // Stores the pane's font (the window calls it when it closes).
    void saveSettings() const;

    QPrinter& printer() { return m_printer; }

    // Where a word picked from the pane's menu goes in the QSO entry bar.
    enum WordTarget { ToCall, ToName, ToQth };
    // The standard menu with "Clear" and "Select font..." appended and, for
    // the selected word (or the word at pos), "to Call", "to Name" and "to
    // QTH"; the caller owns it.
    QMenu* createPaneMenu(const QPoint& pos);

signals:
    void signalWordChosen(int target, const QString& word);

public slots:
    void slotSelectFont();
    virtual void slotCharReceived(QChar ch);
    virtual void slotTxEcho(QChar ch);
    // A transmission starts: its echo begins on a new line.
    void slotOverStarted();
    virtual void slotPrint();
    virtual void slotPrintPreview();
    virtual void slotPrintSetup();
    void printPreview(QPrinter* printer);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

    // Every dialog the pane opens runs through here, so it can be driven
    // without a modal loop.
    virtual int runDialog(QDialog& dialog);

private:
    void appendText(const QString& text, const QColor& color);

    QPrinter m_printer;
    QColor m_echoColor;
    QColor m_rxColor;
    bool m_newLine = false; // the next text begins a line of its own
    bool m_echoing = false; // the last text shown was echo
};
