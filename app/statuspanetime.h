// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>

class QAction;
class QMenu;

// The status bar's clock label. Its context menu chooses between local time
// and UTC; the choice is kept under "LocalTime". GUI thread.
class StatusPaneTime : public QLabel
{
    Q_OBJECT
public:
    explicit StatusPaneTime(QWidget* parent = nullptr); // reads "LocalTime"
    ~StatusPaneTime() override;
    void saveSettings() const; // writes "LocalTime"

    bool isLocal() const { return m_local; }
    QMenu* contextMenu() const { return m_menu; }
    QAction* localAction() const { return m_localAction; }
    QAction* utcAction() const { return m_utcAction; }

public slots:
    void slotUpdateViewMenu();
    void slotLocal(bool b);
    void slotUTC(bool b);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool m_local = false;
    QAction* m_localAction;
    QAction* m_utcAction;
    QMenu* m_menu;
};
