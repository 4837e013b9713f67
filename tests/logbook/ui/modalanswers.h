// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answers the message boxes the code under test opens, in order, from inside their own event loops.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

class ModalAnswers : public QObject
{
public:
    ModalAnswers()
    {
        m_poll.setInterval(0);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (m_queue.isEmpty())
                m_poll.stop();
            else if (box && box != m_answered) { // not one still open below
                m_answered = box;
                texts << box->text();
                box->button(m_queue.takeFirst())->click();
            }
        });
    }

    // The next message box is answered with button; its text is kept.
    void press(QMessageBox::StandardButton button) { m_queue.append(button), m_poll.start(); }
    qsizetype pending() const { return m_queue.size(); }

    QStringList texts;

private:
    QTimer m_poll;
    QList<QMessageBox::StandardButton> m_queue;
    QPointer<QWidget> m_answered;
};
