// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Answers the modal dialogs the code under test opens, in order, from inside their own event loops.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <functional>

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
            else if (w && w != m_answered && w->inherits(m_queue.constFirst().first)) { // not one still open below
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

    // The next message box is answered with button; its texts are kept.
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
