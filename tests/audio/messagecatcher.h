// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QStringList>

// Collects the warnings of every thread while it lives, still passing them on.
class MessageCatcher
{
public:
    MessageCatcher() { s_self = this, m_previous = qInstallMessageHandler(&handle); }
    ~MessageCatcher() { qInstallMessageHandler(m_previous), s_self = nullptr; }
    QStringList warnings() const
    {
        QMutexLocker lock(&m_mutex);
        return m_warnings;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type == QtWarningMsg) {
            QMutexLocker lock(&s_self->m_mutex);
            s_self->m_warnings.append(text);
        }
        s_self->m_previous(type, context, text);
    }
    static inline MessageCatcher* s_self = nullptr;
    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_warnings;
};
