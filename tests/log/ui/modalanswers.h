// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

// Answers the modal dialogs that the code under test opens, in the order
// expected, from inside their own event loops. An answer waits for an active
// modal widget of its class that was not answered before, so a dialog still
// open under a message box is left alone. Message box texts are collected.
class ModalAnswers : public QObject
{
public:
    ModalAnswers()
    {
        m_poll.setInterval(0);
        connect(&m_poll, &QTimer::timeout, this, [this] {
            QWidget* w = QApplication::activeModalWidget();
            if (m_queue.isEmpty())
                m_poll.stop();
            else if (w && w != m_answered && w->inherits(m_queue.constFirst().first)) {
                m_answered = w;
                m_queue.takeFirst().second(w);
            }
        });
    }

    void expect(const char* className, std::function<void(QWidget*)> handler)
    {
        m_queue.append({className, std::move(handler)});
        m_poll.start();
    }

    // The next message box is answered with this button.
    void press(QMessageBox::StandardButton button)
    {
        expect("QMessageBox", [this, button](QWidget* w) {
            auto* box = static_cast<QMessageBox*>(w);
            texts << box->text();
            details << box->informativeText();
            box->button(button)->click();
        });
    }

    qsizetype pending() const { return m_queue.size(); }

    QStringList texts;
    QStringList details;

private:
    QTimer m_poll;
    QList<QPair<const char*, std::function<void(QWidget*)>>> m_queue;
    QPointer<QWidget> m_answered;
};
