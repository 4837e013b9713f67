// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QMutexLocker>
#include <QStringList>
#include <QtGlobal>

// Collects every warning written while it lives (from any thread) and still
// passes it on to the test log.
class MessageCatcher
{
public:
    MessageCatcher()
    {
        s_instance = this;
        m_previous = qInstallMessageHandler(&MessageCatcher::handle);
    }
    ~MessageCatcher()
    {
        qInstallMessageHandler(m_previous);
        s_instance = nullptr;
    }

    QStringList warnings() const
    {
        QMutexLocker lock(&m_mutex);
        return m_warnings;
    }
    void clear()
    {
        QMutexLocker lock(&m_mutex);
        m_warnings.clear();
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        MessageCatcher* self = s_instance;
        if (self && type == QtWarningMsg) {
            QMutexLocker lock(&self->m_mutex);
            self->m_warnings.append(text);
        }
        if (self && self->m_previous)
            self->m_previous(type, context, text);
    }

    static inline MessageCatcher* s_instance = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_warnings;
};
