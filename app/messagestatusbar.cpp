// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/messagestatusbar.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QLayout>
#include <QMainWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSizeGrip>
#include <QStatusTipEvent>
#include <QStyleOption>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {
// The room QStatusBar leaves before and after its message.
constexpr int kMargin = 6;
}

MessageStatusBar::MessageStatusBar(QMainWindow* window)
    : QStatusBar(window)
{
    // The window turns status tips into messages; seen here first, they
    // can be told apart from what the program says.
    window->installEventFilter(this);
    connect(this, &QStatusBar::messageChanged, this, [this](const QString& message) {
        if (!message.isEmpty() && message != m_statusTip)
            record(message);
        m_statusTip.clear();
        updateToolTip();
        update();
    });
}

bool MessageStatusBar::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::StatusTip)
        m_statusTip = static_cast<QStatusTipEvent*>(event)->tip();
    return QStatusBar::eventFilter(watched, event);
}

void MessageStatusBar::record(const QString& message)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    if (!m_history.isEmpty() && m_history.last().text == message) {
        m_history.last().time = now;
        ++m_history.last().count;
        return;
    }
    m_history.append({now, message, 1});
    if (m_history.size() > kHistorySize)
        m_history.removeFirst();
}

QString MessageStatusBar::historyText() const
{
    QStringList lines;
    for (const Entry& e : m_history)
        lines << e.time.toString(QStringLiteral("hh:mm:ss")) + QLatin1String("  ") + e.text
                     + (e.count > 1 ? QStringLiteral(" (\u00d7%1)").arg(e.count) : QString());
    return lines.join(u'\n');
}

QRect MessageStatusBar::messageRect() const
{
    // QStatusBar lays out its normal fields, a stretch and then the permanent
    // ones, and writes a message up to the first permanent field it shows.
    const std::function<QLayout*(QLayout*)> fieldRow = [&fieldRow](QLayout* layout) -> QLayout* {
        for (int i = 0; layout && i < layout->count(); ++i) {
            QLayoutItem* item = layout->itemAt(i);
            if (item->spacerItem())
                return layout;
            if (QLayout* inner = fieldRow(item->layout()))
                return inner;
        }
        return nullptr;
    };
    int right = width() - 2 * kMargin;
    QLayout* row = fieldRow(layout());
    bool permanent = false;
    for (int i = 0; row && i < row->count(); ++i) {
        QLayoutItem* item = row->itemAt(i);
        permanent = permanent || item->spacerItem();
        if (permanent && item->widget() && item->widget()->isVisible()) {
            right = item->widget()->x() - 2;
            break;
        }
    }
    return QRect(kMargin, 0, std::max(0, right - kMargin), height());
}

QString MessageStatusBar::shownMessage() const
{
    return fontMetrics().elidedText(currentMessage(), Qt::ElideRight, messageRect().width());
}

void MessageStatusBar::updateToolTip()
{
    const QString message = currentMessage();
    setToolTip(!message.isEmpty() && shownMessage() != message ? message : QString());
}

void MessageStatusBar::resizeEvent(QResizeEvent* event)
{
    QStatusBar::resizeEvent(event);
    updateToolTip();
}

void MessageStatusBar::paintEvent(QPaintEvent* event)
{
    if (currentMessage().isEmpty()) {
        QStatusBar::paintEvent(event);
        return;
    }
    // As QStatusBar paints it, with the message cut to fit.
    QPainter p(this);
    QStyleOption opt;
    opt.initFrom(this);
    style()->drawPrimitive(QStyle::PE_PanelStatusBar, &opt, &p, this);
    for (QWidget* w : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (w->isVisible() && !w->isWindow() && !qobject_cast<QSizeGrip*>(w) && w->x() >= messageRect().right()) {
            opt.rect = w->geometry().adjusted(-1, -1, 1, 1);
            style()->drawPrimitive(QStyle::PE_FrameStatusBarItem, &opt, &p, w);
        }
    }
    p.setPen(palette().windowText().color());
    p.drawText(messageRect(), Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine, shownMessage());
}

void MessageStatusBar::showHistory()
{
    QDialog dialog(window());
    dialog.setObjectName(QStringLiteral("Messages"));
    dialog.setWindowTitle(tr("Messages"));
    auto* text = new QPlainTextEdit(historyText(), &dialog);
    text->setReadOnly(true);
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    text->setToolTip(tr("The last %1 status bar messages, oldest first; times in UTC").arg(kHistorySize));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(text);
    layout->addWidget(buttons);
    dialog.resize(640, 360);
    text->moveCursor(QTextCursor::End);
    dialog.exec();
}
