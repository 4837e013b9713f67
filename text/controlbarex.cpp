// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/controlbarex.h"

#include <QMouseEvent>
#include <QPushButton>
#include <QSignalMapper>

ControlBarEx::ControlBarEx(QWidget* parent)
    : QWidget(parent)
    , m_mapper(new QSignalMapper(this))
{
    setupUi(this);
    // Each page button shows its own page's number and flips to the other.
    connect(toolButton_1, &QToolButton::clicked, this, &ControlBarEx::setPage2);
    connect(toolButton_2, &QToolButton::clicked, this, &ControlBarEx::setPage1);

    m_buttons = findChildren<QPushButton*>();
    for (QPushButton* button : std::as_const(m_buttons)) {
        button->installEventFilter(this);
        m_mapper->setMapping(button, button->objectName());
        connect(button, &QPushButton::clicked, m_mapper, qOverload<>(&QSignalMapper::map));
    }
    connect(m_mapper, &QSignalMapper::mappedString, this, &ControlBarEx::buttonClicked);
    setPage1();
}

int ControlBarEx::buttonNumber(const QObject* button)
{
    const QString name = button->objectName();
    const qsizetype underscore = name.indexOf(QLatin1Char('_'));
    if (underscore < 0)
        return -1;
    bool ok = false;
    const int n = name.mid(underscore + 1).toInt(&ok);
    return ok ? n - 1 : -1;
}

void ControlBarEx::setPage1()
{
    stackedWidget->setCurrentWidget(page);
}

void ControlBarEx::setPage2()
{
    stackedWidget->setCurrentWidget(page_2);
}

void ControlBarEx::buttonClicked(const QString& objName)
{
    if (auto* button = findChild<QPushButton*>(objName))
        emit signalButtonClicked(buttonNumber(button));
}

void ControlBarEx::updateButtons(const QList<SMacro>& macros)
{
    for (QPushButton* button : std::as_const(m_buttons)) {
        const int number = buttonNumber(button);
        for (const SMacro& m : macros) {
            if (m.index == number) {
                button->setText(m.label);
                break;
            }
        }
    }
}

void ControlBarEx::updateButton(const SMacro& macro)
{
    for (QPushButton* button : std::as_const(m_buttons))
        if (buttonNumber(button) == macro.index)
            button->setText(macro.label);
}

bool ControlBarEx::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        if (auto* button = qobject_cast<QPushButton*>(watched); button && m_buttons.contains(button)) {
            // Consumed, so the button never sees the press and no click follows.
            emit signalRightMouseClicked(buttonNumber(button));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
