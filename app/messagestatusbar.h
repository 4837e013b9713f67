// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QStatusBar>
#include <QString>

class QMainWindow;

// The main window's status bar. A message too long for the room left of the
// permanent fields ends in "…", and its tool tip holds all of it. Every
// message shown is kept with its time (UTC), the last kHistorySize of them,
// so that nothing said is lost once the next one replaces it; a message said
// again in a row only counts once more. The status tips of menus and buttons
// pass by unrecorded. GUI thread.
class MessageStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    static constexpr int kHistorySize = 100;

    struct Entry
    {
        QDateTime time;
        QString text;
        int count = 1;
    };

    explicit MessageStatusBar(QMainWindow* window);

    const QList<Entry>& history() const { return m_history; }
    // The history as lines, oldest first: "hh:mm:ss  text (×n)".
    QString historyText() const;
    // The current message as it fits in the bar.
    QString shownMessage() const;

    // A modal list of the messages kept.
    void showHistory();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void record(const QString& message);
    QRect messageRect() const;
    void updateToolTip();

    QList<Entry> m_history;
    QString m_statusTip; // shown for a menu entry or button, not recorded
};
