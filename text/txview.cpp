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

} // namespace

void PendingTxText::publish(const QString& text, quint64 firstIndex)
{
    Snapshot& slot = m_slots[m_writeSlot];
    slot.text.assign(reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
    slot.firstIndex = firstIndex;
    // Hand the filled slot over and get back whichever the taker is not using.
    m_writeSlot = m_middle.exchange(m_writeSlot | kFresh, std::memory_order_acq_rel) & kSlotMask;
}

bool PendingTxText::take(QChar& ch)
{
    if (m_middle.load(std::memory_order_relaxed) & kFresh)
        m_readSlot = m_middle.exchange(m_readSlot, std::memory_order_acq_rel) & kSlotMask;
    const Snapshot& snapshot = m_slots[m_readSlot];
    // A head character removed without having been handed out (the removal
    // slot called directly) is simply gone.
    if (m_handedOut < snapshot.firstIndex)
        m_handedOut = snapshot.firstIndex;
    const quint64 offset = m_handedOut - snapshot.firstIndex;
    if (offset >= snapshot.text.size())
        return false;
    ch = QChar(snapshot.text[size_t(offset)]);
    ++m_handedOut;
    return true;
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

CTxView::~CTxView()
{
    TextPaneFont::save(*this, kTxGroup);
}

quint32 CTxView::nextTxWord()
{
    quint32 word = 0;
    slotGetChar(word);
    return word;
}

void CTxView::slotGetChar(quint32& dw)
{
    QChar ch;
    if (!m_pending.take(ch)) {
        dw = TxWord::make(TxWord::kNothing);
        return;
    }
    TxWord::Kind kind = TxWord::kChar;
    if (ch == kEndMarker) {
        kind = TxWord::kEnd;
    } else if (ch == kCwIdMarker) {
        kind = TxWord::kCwId;
    } else if (ch == QChar::ParagraphSeparator || ch == QChar::LineSeparator) {
        // Line breaks live in the document as separators (Enter and
        // Shift+Enter); on the air they are line feeds.
        ch = QLatin1Char('\n');
    }
    emit signalDeleteChar();
    if (StationState::txEchoEnabled())
        emit signalTxEcho(ch);
    dw = TxWord::make(kind, ch.unicode());
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
