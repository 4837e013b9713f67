// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/rxview.h"

#include "core/settings.h"
#include "core/stationstate.h"

#include <QContextMenuEvent>
#include <QFontDialog>
#include <QMenu>
#include <QRegularExpression>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QTextCursor>

#include <memory>

namespace {

const QString kRxGroup = QStringLiteral("RXview");
const QString kFontKey = QStringLiteral("font");

bool echoingNow()
{
    return StationState::txEchoEnabled() && StationState::isTransmitting();
}

} // namespace

namespace TextPaneFont {

void restore(QWidget& pane, const QString& group)
{
    Settings settings;
    settings.beginGroup(group);
    const QString text = settings.value(kFontKey, QString()).toString();
    if (text.isEmpty())
        return;
    QFont font;
    if (font.fromString(text))
        pane.setFont(font);
}

void save(const QWidget& pane, const QString& group)
{
    Settings settings;
    settings.beginGroup(group);
    settings.setValue(kFontKey, pane.font().toString());
}

} // namespace TextPaneFont

CRxView::CRxView(QWidget* parent)
    : QTextEdit(parent)
    , m_printer(QPrinter::ScreenResolution)
    , m_echoColor(160, 0, 0, 255)
    , m_rxColor(0, 0, 0, 255)
{
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    TextPaneFont::restore(*this, kRxGroup);
}

CRxView::~CRxView() = default;

void CRxView::saveSettings() const
{
    TextPaneFont::save(*this, kRxGroup);
}

void CRxView::slotSelectFont()
{
    QFontDialog dialog(font(), this);
    if (runDialog(dialog) == QDialog::Accepted)
        setFont(dialog.currentFont());
}

void CRxView::slotCharReceived(QChar ch)
{
    // With echo on, the sent text stands in for what the receiver hears of
    // our own signal.
    if (echoingNow())
        return;
    if (m_echoing)
        m_newLine = true;
    m_echoing = false;
    appendText(QString(ch), m_rxColor);
}

void CRxView::slotTxEcho(QChar ch)
{
    if (!echoingNow())
        return;
    if (!m_echoing)
        m_newLine = true;
    m_echoing = true;
    if (ch == QChar(0x00AE))
        appendText(tr("[end]"), m_echoColor);
    else if (ch == QChar(0x00A9))
        appendText(tr("[Morse ID]"), m_echoColor);
    else
        appendText(QString(ch), m_echoColor);
}

void CRxView::slotOverStarted()
{
    // Without echo the received text simply runs on.
    if (StationState::txEchoEnabled())
        m_newLine = true;
}

void CRxView::appendText(const QString& text, const QColor& color)
{
    const QTextCursor userCursor = textCursor();
    const bool hadSelection = userCursor.hasSelection();
    const int selectionStart = userCursor.selectionStart();
    const int selectionEnd = userCursor.selectionEnd();

    // A cursor of its own inserts at the end without scrolling the view, so
    // a user reading a selection is not pulled to the bottom.
    QTextCursor end(document());
    end.movePosition(QTextCursor::End);
    QTextCharFormat format = end.charFormat();
    format.setForeground(color);
    if (m_newLine && !end.atBlockStart())
        end.insertBlock();
    m_newLine = false;
    end.insertText(text, format);

    if (hadSelection) {
        QTextCursor selection(document());
        selection.setPosition(selectionStart);
        selection.setPosition(selectionEnd, QTextCursor::KeepAnchor);
        setTextCursor(selection);
    } else {
        setTextCursor(end);
    }
    ensureCursorVisible();
}

void CRxView::slotPrint()
{
    QPrintDialog dialog(&m_printer, this);
    dialog.setWindowTitle(tr("Print Document"));
    dialog.setOption(QAbstractPrintDialog::PrintSelection, textCursor().hasSelection());
    if (runDialog(dialog) == QDialog::Accepted)
        print(&m_printer);
}

void CRxView::slotPrintPreview()
{
    QPrintPreviewDialog dialog(&m_printer, this);
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this, &CRxView::printPreview);
    runDialog(dialog);
}

void CRxView::slotPrintSetup()
{
    QPageSetupDialog dialog(&m_printer, this);
    runDialog(dialog);
}

void CRxView::printPreview(QPrinter* printer)
{
    print(printer);
}

void CRxView::contextMenuEvent(QContextMenuEvent* event)
{
    const std::unique_ptr<QMenu> menu(createPaneMenu(event->pos()));
    menu->exec(event->globalPos());
}

QMenu* CRxView::createPaneMenu(const QPoint& pos)
{
    QMenu* menu = createStandardContextMenu(pos);
    menu->addAction(tr("Clear"), this, &QTextEdit::clear);
    menu->addAction(tr("Select font..."), this, &CRxView::slotSelectFont);
    // A selection of one word, else the word under the pointer.
    QString word = textCursor().selectedText().trimmed();
    if (word.isEmpty() || word.contains(QRegularExpression(QStringLiteral("\\s")))) {
        QTextCursor at = cursorForPosition(pos);
        at.select(QTextCursor::WordUnderCursor);
        word = at.selectedText().trimmed();
    }
    if (!word.isEmpty() && word.size() <= 40 && !word.contains(QRegularExpression(QStringLiteral("\\s")))) {
        menu->addSeparator();
        const struct
        {
            WordTarget target;
            QString text;
        } targets[] = {{ToCall, tr("to Call")}, {ToName, tr("to Name")}, {ToQth, tr("to QTH")}};
        for (const auto& t : targets) {
            QAction* a = menu->addAction(t.text, this, [this, target = t.target, word] { emit signalWordChosen(target, word); });
            a->setStatusTip(t.text + QStringLiteral(": ") + word);
        }
    }
    return menu;
}

int CRxView::runDialog(QDialog& dialog)
{
    return dialog.exec();
}
