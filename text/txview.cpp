// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/txview.h"

#include "core/stationstate.h"
#include "text/rxview.h"

#include <QContextMenuEvent>
#include <QFontDialog>
#include <QMenu>
#include <QTextCursor>
#include <QTextDocument>

#include <memory>

namespace {

const QString kTxGroup = QStringLiteral("TXview");
constexpr unsigned kSlotMask = 3;
constexpr char16_t kEndMarker = u'\u00AE'; // "®", left by the <RX> macro tag
constexpr char16_t kCwIdMarker = u'\u00A9'; // "©"

// The transmit word for a character of the pane.
quint32 wordFor(QChar ch)
{
    if (ch == kEndMarker)
        return TxWord::make(TxWord::kEnd, ch.unicode());
    if (ch == kCwIdMarker)
        return TxWord::make(TxWord::kCwId, ch.unicode());
    // Line breaks live in the document as separators (Enter and
    // Shift+Enter); on the air they are line feeds.
    if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator)
        return TxWord::make(TxWord::kChar, u'\n');
    return TxWord::make(TxWord::kChar, ch.unicode());
}

bool isLineBreak(QChar ch)
{
    return ch == QLatin1Char('\n') || ch == QLatin1Char('\r') || ch == QChar::ParagraphSeparator
        || ch == QChar::LineSeparator;
}

// Where the transmission that text is the rest of ends: just after its end
// marker and the line break behind it, or after its Morse identification
// marker (and an end marker right behind that, with its line break); the
// whole text when it has no marker.
int overEnd(const QString& text)
{
    const int n = int(text.size());
    for (int i = 0; i < n; ++i) {
        if (text.at(i) == kCwIdMarker) {
            if (i + 1 >= n || text.at(i + 1) != kEndMarker)
                return i + 1;
            ++i;
        }
        if (text.at(i) != kEndMarker)
            continue;
        int end = i + 1;
        if (end < n && text.at(end) == QLatin1Char('\r')) {
            ++end;
            if (end < n && text.at(end) == QLatin1Char('\n'))
                ++end;
        } else if (end < n && isLineBreak(text.at(end))) {
            ++end;
        }
        return end;
    }
    return n;
}

} // namespace

void PendingTxText::publish(const QString& text, quint64 firstIndex)
{
    Snapshot& slot = m_slots[m_writeSlot];
    slot.text.assign(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
    slot.firstIndex = firstIndex;
    // Hand the filled slot over and get back whichever the taker is not using.
    m_writeSlot = m_middle.exchange(m_writeSlot | kFresh, std::memory_order_acq_rel) & kSlotMask;
}

const PendingTxText::Snapshot& PendingTxText::newest()
{
    if (m_middle.load(std::memory_order_relaxed) & kFresh)
        m_readSlot = m_middle.exchange(m_readSlot, std::memory_order_acq_rel) & kSlotMask;
    return m_slots[m_readSlot];
}

bool PendingTxText::take(QChar& ch)
{
    const Snapshot& snapshot = newest();
    quint64 next = m_next.load(std::memory_order_acquire);
    for (;;) {
        // A head character removed without having been handed out (the
        // removal slot called directly) is simply gone.
        const quint64 at = qMax(next, snapshot.firstIndex);
        const quint64 offset = at - snapshot.firstIndex;
        if (offset >= snapshot.text.size())
            return false;
        // Fails only when the GUI skipped characters meanwhile; the copy is
        // numbered right for the new count too.
        if (m_next.compare_exchange_weak(next, at + 1, std::memory_order_acq_rel, std::memory_order_acquire)) {
            ch = QChar(snapshot.text[size_t(offset)]);
            return true;
        }
    }
}

bool PendingTxText::peek(QChar& ch)
{
    const Snapshot& snapshot = newest();
    const quint64 at = qMax(m_next.load(std::memory_order_acquire), snapshot.firstIndex);
    const quint64 offset = at - snapshot.firstIndex;
    if (offset >= snapshot.text.size())
        return false;
    ch = QChar(snapshot.text[size_t(offset)]);
    return true;
}

quint64 PendingTxText::skipTo(quint64 index)
{
    quint64 next = m_next.load(std::memory_order_acquire);
    while (next < index
           && !m_next.compare_exchange_weak(next, index, std::memory_order_acq_rel, std::memory_order_acquire)) {
    }
    return next;
}

CTxView::CTxView(QWidget* parent)
    : QTextEdit(parent)
{
    // The pane is a queue of characters; pasted formatting, tables or images
    // would only put placeholder characters on the air.
    setAcceptRichText(false);
    connect(this, &CTxView::signalDeleteChar, this, &CTxView::slotDeleteChar,
            Qt::QueuedConnection);
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (!m_removing)
            publishPending();
    });
    TextPaneFont::restore(*this, kTxGroup);
    publishPending();
}

CTxView::~CTxView() = default;

void CTxView::saveSettings() const
{
    TextPaneFont::save(*this, kTxGroup);
}

quint32 CTxView::nextTxWord()
{
    quint32 word = 0;
    slotGetChar(word);
    return word;
}

quint32 CTxView::peekTxWord()
{
    QChar ch;
    return m_pending.peek(ch) ? wordFor(ch) : TxWord::make(TxWord::kNothing);
}

void CTxView::slotGetChar(quint32& dw)
{
    QChar ch;
    if (!m_pending.take(ch)) {
        dw = TxWord::make(TxWord::kNothing);
        return;
    }
    dw = wordFor(ch);
    emit signalDeleteChar();
    if (StationState::txEchoEnabled())
        emit signalTxEcho(QChar(TxWord::ch(dw)));
}

int CTxView::discardUnsentOver()
{
    const QString text = document()->toRawText();
    const int end = overEnd(text);
    // The head characters the modem has taken are still in the pane until
    // their removals run; what it took of this transmission is sent.
    const quint64 endIndex = m_removed + quint64(end);
    const quint64 taken = m_pending.skipTo(endIndex);
    if (taken >= endIndex)
        return 0;
    const int from = taken > m_removed ? int(taken - m_removed) : 0;
    m_removing = true;
    QTextCursor cursor(document());
    cursor.setPosition(from);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
    moveCursor(QTextCursor::End);
    m_removing = false;
    // The characters still waiting for their removal are numbered just
    // below the skipped ones, so the first one kept is number endIndex.
    m_removed = endIndex - quint64(from);
    publishPending();
    return end - from;
}

void CTxView::slotAddTxText(const QString& text)
{
    moveCursor(QTextCursor::End);
    insertPlainText(text);
}

void CTxView::slotDeleteChar()
{
    // Every call retires one handed-out character, even when the operator
    // has already deleted it, so the published copy stays numbered right.
    ++m_removed;
    m_removing = true;
    QTextCursor cursor = textCursor();
    cursor.movePosition(QTextCursor::Start);
    cursor.deleteChar();
    cursor.movePosition(QTextCursor::End);
    setTextCursor(cursor);
    m_removing = false;
    publishPending();
}

void CTxView::slotSelectFont()
{
    QFontDialog dialog(font(), this);
    if (runDialog(dialog) == QDialog::Accepted)
        setFont(dialog.currentFont());
}

void CTxView::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createPaneMenu(event->pos()));
    menu->exec(event->globalPos());
}

QMenu* CTxView::createPaneMenu(const QPoint& pos)
{
    QMenu* menu = createStandardContextMenu(pos);
    menu->addAction(tr("Select font..."), this, &CTxView::slotSelectFont);
    return menu;
}

int CTxView::runDialog(QDialog& dialog)
{
    return dialog.exec();
}

void CTxView::publishPending()
{
    // Raw text keeps paragraph breaks as U+2029, one character each, as in
    // the document.
    m_pending.publish(document()->toRawText(), m_removed);
}
