// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/controlbarex.h"

#include <algorithm>

#include <QHelpEvent>
#include <QMouseEvent>
#include <QLayout>
#include <QPushButton>
#include <QSpacerItem>
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
    // One width for all, whatever their texts: the buttons share the bar's
    // width equally, from 54 pixels up to room for a long label.
    const int widest = std::max(60, fontMetrics().horizontalAdvance(QStringLiteral("^F12 MMMMMMMMMM")));
    for (QPushButton* button : std::as_const(m_buttons)) {
        button->setMinimumWidth(54);
        button->setMaximumWidth(widest);
        button->setSizePolicy(QSizePolicy::Ignored, button->sizePolicy().verticalPolicy());
        setLabel(button, QString());
        button->installEventFilter(this);
        m_mapper->setMapping(button, button->objectName());
        connect(button, &QPushButton::clicked, m_mapper, qOverload<>(&QSignalMapper::map));
    }
    connect(m_mapper, &QSignalMapper::mappedString, this, &ControlBarEx::buttonClicked);
    // The gaps between the groups of four stay small, so the width goes to
    // the buttons.
    for (QLayout* layout : findChildren<QLayout*>()) {
        for (int i = 0; i < layout->count(); ++i)
            if (QSpacerItem* gap = layout->itemAt(i)->spacerItem())
                gap->changeSize(10, 20, QSizePolicy::Fixed, QSizePolicy::Minimum);
        layout->invalidate();
    }
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

QString ControlBarEx::keyName(int number)
{
    return (number < 12 ? QStringLiteral("F%1") : QStringLiteral("^F%1")).arg(number % 12 + 1);
}

void ControlBarEx::setLabel(QPushButton* button, const QString& label)
{
    button->setProperty("label", label);
    const QString text = label.isEmpty() ? keyName(buttonNumber(button)) : keyName(buttonNumber(button)) + u' ' + label;
    button->setText(button->fontMetrics().elidedText(text, Qt::ElideRight, button->width() - 6));
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
                setLabel(button, m.label);
                break;
            }
        }
    }
}

void ControlBarEx::updateButton(const SMacro& macro)
{
    for (QPushButton* button : std::as_const(m_buttons))
        if (buttonNumber(button) == macro.index)
            setLabel(button, macro.label);
}

bool ControlBarEx::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        if (auto* button = qobject_cast<QPushButton*>(watched); button && m_buttons.contains(button))
            setLabel(button, button->property("label").toString());
    }
    if (event->type() == QEvent::ToolTip) {
        if (auto* button = qobject_cast<QPushButton*>(watched); button && m_buttons.contains(button)) {
            const int n = buttonNumber(button);
            const QString key = n < 12 ? QStringLiteral("F%1").arg(n + 1) : QStringLiteral("Ctrl+F%1").arg(n - 11);
            const QString label = button->property("label").toString();
            QString tip = QStringLiteral("<b>%1</b>").arg((label.isEmpty() ? key : key + QStringLiteral(": ") + label).toHtmlEscaped());
            const QString sent = m_preview ? m_preview(n) : QString();
            tip += sent.trimmed().isEmpty() ? tr("<br>(empty)")
                                           : QStringLiteral("<pre>%1</pre>").arg(sent.trimmed().toHtmlEscaped());
            button->setToolTip(tip + tr("Click or press %1 to send, right-click to edit.").arg(key));
        }
    }
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
