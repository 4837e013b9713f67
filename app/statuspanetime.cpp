// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/statuspanetime.h"

#include "core/settings.h"

#include <QAction>
#include <QMenu>
#include <QMouseEvent>

StatusPaneTime::StatusPaneTime(QWidget* parent)
    : QLabel(parent)
    , m_localAction(new QAction(tr("Local"), this))
    , m_utcAction(new QAction(tr("UTC"), this))
    , m_menu(new QMenu(this))
{
    {
        Settings settings;
        m_local = settings.value(QStringLiteral("LocalTime"), false).toBool();
    }
    m_localAction->setCheckable(true);
    m_utcAction->setCheckable(true);
    m_menu->addAction(m_localAction);
    m_menu->addAction(m_utcAction);
    connect(m_localAction, &QAction::triggered, this, &StatusPaneTime::slotLocal);
    connect(m_utcAction, &QAction::triggered, this, &StatusPaneTime::slotUTC);
    connect(m_menu, &QMenu::aboutToShow, this, &StatusPaneTime::slotUpdateViewMenu);
    installEventFilter(this);
}

StatusPaneTime::~StatusPaneTime() = default;

void StatusPaneTime::saveSettings() const
{
    Settings settings;
    settings.setValue(QStringLiteral("LocalTime"), m_local);
}

void StatusPaneTime::slotUpdateViewMenu()
{
    m_localAction->setChecked(m_local);
    m_utcAction->setChecked(!m_local);
}

void StatusPaneTime::slotLocal(bool b)
{
    m_local = b;
}

void StatusPaneTime::slotUTC(bool b)
{
    m_local = !b;
}

bool StatusPaneTime::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == this && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            m_menu->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QLabel::eventFilter(watched, event);
}
