// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/pskinterfaces.h"

#include <QChar>
#include <QString>
#include <QTextEdit>

#include <array>
#include <atomic>
#include <string>

class QDialog;
class QMenu;

// The pending transmit text as the audio thread sees it: the GUI thread
// publishes a copy of the text after every change, the audio thread takes
// characters from the newest copy. Publishing and taking never block and
// never wait for each other (a triple buffer: each side owns one slot, the
// third is swapped through an atomic).
//
// Characters are numbered from the start of the session. A copy carries the
// number of its first character, which is the number of characters removed
// from the pane so far; the number of the next character to hand out is kept
// in one atomic counter. Taking character (next - first) of the newest copy
// therefore never repeats one whose removal is still queued, and never skips
// one. (An edit at the very head of the pane between a take and its removal,
// one event-loop turn, still shifts the queue by that edit.)
//
// publish() and skipTo() belong to one thread (GUI), take() and peek() to one
// other (audio). The taker claims each character by moving the counter on
// with compare-and-swap, so a skip by the GUI and a take never both get the
// same character.
class PendingTxText
{
public:
    // text: the pane's pending text; firstIndex: the number of its first
    // character, counted from the start.
    void publish(const QString& text, quint64 firstIndex);
    // The next character not yet handed out; false when there is none.
    bool take(QChar& ch);
    // The character take() would hand out now, left in place.
    bool peek(QChar& ch);
    // Marks every character numbered below index as handed out, unless the
    // taker got there first; answers the number of the first character that
    // was not handed out before (index or more when nothing was skipped).
    quint64 skipTo(quint64 index);

private:
    // Plain standard-library storage, not QString: the copies are written
    // and read only by code compiled into this program, where the thread
    // sanitizer can follow every access, and a slot keeps its capacity.
    struct Snapshot
    {
        std::u16string text;
        quint64 firstIndex = 0;
    };
    static constexpr unsigned kFresh = 4; // flag beside the slot index in m_middle

    // Taker: the newest copy.
    const Snapshot& newest();

    std::array<Snapshot, 3> m_slots;
    unsigned m_writeSlot = 0; // publisher only
    std::atomic<unsigned> m_middle{1};
    unsigned m_readSlot = 2; // taker only
    std::atomic<quint64> m_next{0}; // number of the next character to hand out
};

// The transmit pane and queue: the operator types into it, macros are
// appended at its end, and the modem takes its characters from the head one
// at a time. What the pane shows is exactly the text not yet taken; a taken
// character leaves the pane through a queued removal on the GUI thread.
// Keeps its font under "TXview".
//
// Threads: a widget of the GUI thread, except slotGetChar() and
// nextTxWord(), which the modem calls on the audio output thread. Those read
// only the published copy of the pending text, never the document.
class CTxView : public QTextEdit, public CTxCharSource
{
    Q_OBJECT
public:
    explicit CTxView(QWidget* parent = nullptr);
    ~CTxView() override;
    // Stores the pane's font (the window calls it when it closes).
    void saveSettings() const;

    // The next transmit word: kind << 16 | UTF-16 code unit.
    quint32 nextTxWord() override;
    quint32 peekTxWord() override;

    // GUI thread, when the operator cuts a transmission short: drops what was
    // not yet sent of it, from the head of the pane up to and including its
    // end (the first end marker with the line break after it, or the first
    // Morse identification marker with an end marker right behind it), or
    // all of the pane when it holds no marker; what follows that end is kept
    // for the next transmission. Characters already handed out to the modem
    // leave through their queued removals as usual. Answers how many
    // characters were dropped.
    int discardUnsentOver();

signals:
    void signalDeleteChar();
    void signalTxEcho(QChar ch);

public slots:
    void slotSelectFont();
    virtual void slotGetChar(quint32& dw);
    void slotAddTxText(const QString& text);
    void slotDeleteChar();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    // The standard menu with "Select font..." appended; the caller owns it.
    QMenu* createPaneMenu(const QPoint& pos);
    virtual int runDialog(QDialog& dialog);

private:
    void publishPending();

    PendingTxText m_pending;
    quint64 m_removed = 0; // GUI thread: characters retired from the head
    bool m_removing = false;
};
