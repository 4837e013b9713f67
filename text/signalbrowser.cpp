// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/signalbrowser.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cmath>

CallSignPicker* CallSignPicker::watch(QAbstractScrollArea* view)
{
    auto* picker = new CallSignPicker(view);
    view->viewport()->installEventFilter(picker);
    return picker;
}

bool CallSignPicker::looksLikeCall(const QString& word)
{
    static const QRegularExpression call(QStringLiteral("^(?=.*[0-9])(?=.*[A-Z])[A-Z0-9/]{3,12}$"));
    return call.match(word.toUpper()).hasMatch();
}

bool CallSignPicker::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick) {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        QTextCursor cursor;
        if (auto* edit = qobject_cast<QTextEdit*>(parent()))
            cursor = edit->cursorForPosition(pos);
        else if (auto* plain = qobject_cast<QPlainTextEdit*>(parent()))
            cursor = plain->cursorForPosition(pos);
        // A call sign may hold '/', which ends a word for the cursor.
        const QString block = cursor.block().text();
        int from = cursor.positionInBlock(), to = from;
        auto inCall = [&block](int i) { return block.at(i).isLetterOrNumber() || block.at(i) == u'/'; };
        while (from > 0 && inCall(from - 1))
            --from;
        while (to < block.size() && inCall(to))
            ++to;
        const QString word = block.mid(from, to - from);
        if (looksLikeCall(word))
            emit callSignChosen(word.toUpper());
    }
    return QObject::eventFilter(watched, event);
}

SignalBrowser::SignalBrowser(QWidget* parent)
    : QWidget(parent)
    , m_header(new QLabel(this))
    , m_view(new QPlainTextEdit(this))
    , m_alert(new QLineEdit(this))
{
    setObjectName(QStringLiteral("SignalBrowser"));
    m_view->setReadOnly(true);
    // Lines are replaced in place on every refresh: nothing to undo, and no
    // history to grow.
    m_view->document()->setUndoRedoEnabled(false);
    m_view->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    m_view->setFont(mono);
    m_header->setObjectName(QStringLiteral("header"));
    m_header->setFont(mono);
    m_header->setText(QStringLiteral("%1 %2  %3").arg(tr("Audio"), 10).arg(tr("S/N"), 6).arg(tr("Text")));
    m_header->setToolTip(tr("Audio frequency; signal to noise ratio in dB, measured in 2500 Hz; the latest text"));
    m_view->viewport()->installEventFilter(this);
    m_alert->setObjectName(QStringLiteral("alert"));
    m_alert->setPlaceholderText(tr("Alert text, e.g. your call or CQ"));
    m_alert->setToolTip(tr("A line whose text shows this is marked, with one beep"));
    connect(CallSignPicker::watch(m_view), &CallSignPicker::callSignChosen, this, &SignalBrowser::callSignChosen);
    connect(m_alert, &QLineEdit::textChanged, this, [this] { m_alerted.clear(); });
    m_allModes = new QCheckBox(tr("All modes"), this);
    m_allModes->setObjectName(QStringLiteral("allModes"));
    m_allModes->setToolTip(tr("List every PSK signal whatever its mode, not only the current mode's; "
                              "a click on a line also switches to its mode"));
    auto* top = new QHBoxLayout;
    top->addWidget(m_alert, 1);
    top->addWidget(m_allModes);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(m_header);
    layout->addWidget(m_view);
}

void SignalBrowser::setLines(const QList<Line>& lines)
{
    m_lines = lines;
    const QString alert = m_alert->text().trimmed();
    bool beep = false;
    QStringList text;
    text.reserve(m_lines.size());
    for (const Line& l : m_lines) {
        if (!alert.isEmpty() && !m_alerted.contains(l.id) && l.text.contains(alert, Qt::CaseInsensitive)) {
            m_alerted.insert(l.id);
            beep = true;
        }
        text << lineText(l);
    }
    if (beep)
        QApplication::beep();
    if (text.size() != m_shown.size()) {
        const int scroll = m_view->verticalScrollBar()->value();
        m_view->setPlainText(text.join(u'\n'));
        m_view->verticalScrollBar()->setValue(scroll);
        m_marks = {-1}; // the marks' cursors went with the old text: set them anew
    } else {
        // Only the lines that changed are replaced: the others keep their
        // layout, and the view repaints what changed.
        QTextCursor cursor(m_view->document());
        QTextBlock block = m_view->document()->begin();
        bool editing = false;
        for (qsizetype row = 0; row < text.size() && block.isValid(); ++row, block = block.next()) {
            if (text.at(row) == m_shown.at(row))
                continue;
            if (!editing) {
                cursor.beginEditBlock();
                editing = true;
            }
            cursor.setPosition(block.position());
            cursor.setPosition(block.position() + block.length() - 1, QTextCursor::KeepAnchor);
            cursor.insertText(text.at(row));
        }
        if (editing)
            cursor.endEditBlock();
    }
    m_shown = text;
    highlight();
}

QString SignalBrowser::lineText(const Line& line)
{
    QString tail = line.text.right(kTextColumns);
    for (QChar& c : tail)
        if (c.isSpace() || !c.isPrint())
            c = u' ';
    const int snr = qBound(-99, int(std::lround(line.snrDb)), 99);
    const QString mode = line.mode.isEmpty() ? QString() : QStringLiteral(" %1").arg(line.mode, -7);
    return QStringLiteral("%1 Hz%2 %3 dB  %4").arg(line.frequency, 7, 'f', 1).arg(mode).arg(snr, 3).arg(tail);
}

void SignalBrowser::setTuned(double frequency, double tolerance)
{
    m_tuned = frequency;
    m_tolerance = tolerance;
    highlight();
}

void SignalBrowser::highlight()
{
    // Per line: 0 plain, 1 tuned, 2 alerted, 3 quiet.
    QList<int> marks(m_lines.size(), 0);
    for (int row = 0; row < m_lines.size(); ++row) {
        const Line& l = m_lines.at(row);
        marks[row] = std::abs(l.frequency - m_tuned) <= m_tolerance ? 1 : m_alerted.contains(l.id) ? 2 : l.quiet ? 3 : 0;
    }
    // The same marks again would repaint the whole view for nothing.
    if (marks == m_marks)
        return;
    m_marks = marks;
    QList<QTextEdit::ExtraSelection> selections;
    for (int row = 0; row < marks.size(); ++row) {
        QTextEdit::ExtraSelection mark;
        if (marks.at(row) == 1)
            mark.format.setBackground(QColor(170, 200, 255));
        else if (marks.at(row) == 2)
            mark.format.setBackground(QColor(255, 240, 120));
        else if (marks.at(row) == 3)
            mark.format.setForeground(Qt::gray);
        else
            continue;
        mark.format.setProperty(QTextFormat::FullWidthSelection, true);
        mark.cursor = QTextCursor(m_view->document()->findBlockByNumber(row));
        selections << mark;
    }
    m_view->setExtraSelections(selections);
}

bool SignalBrowser::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const int row = m_view->cursorForPosition(mouse->position().toPoint()).blockNumber();
        if (mouse->button() == Qt::LeftButton && row >= 0 && row < m_lines.size())
            emit lineClicked(m_lines.at(row).id, m_lines.at(row).frequency);
    }
    return QWidget::eventFilter(watched, event);
}
