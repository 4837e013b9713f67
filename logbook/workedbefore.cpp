// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/workedbefore.h"

#include "logbook/hamlog.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

WorkedBefore::WorkedBefore(const QString& logFileName)
    : m_fileName(logFileName)
{
}

void WorkedBefore::note(const CQsoData& qso)
{
    Summary& s = m_byCall[qso.call.trimmed().toUpper()];
    if (s.count++ == 0 || qso.start >= s.last.start)
        s.last = qso;
}

void WorkedBefore::readIfChanged()
{
    const QFileInfo info(m_fileName);
    const qint64 size = info.exists() ? info.size() : 0;
    const QDateTime modified = info.lastModified();
    if (size == m_size && modified == m_modified)
        return;
    m_byCall.clear();
    m_size = size;
    m_modified = modified;
    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly))
        return; // no log yet: nobody worked
    CQsoData qso;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        if (CHamLog::parse(CHamLog::lineText(line), qso))
            note(qso);
    }
}

WorkedBefore::Summary WorkedBefore::lookUp(const QString& call)
{
    const QString key = call.trimmed().toUpper();
    if (key.isEmpty())
        return {};
    readIfChanged();
    return m_byCall.value(key);
}

void WorkedBefore::added(const CQsoData& qso)
{
    if (m_size < 0)
        return; // not read yet: the first question reads the whole file
    const QFileInfo info(m_fileName);
    note(qso);
    m_size = info.size();
    m_modified = info.lastModified();
}

QString WorkedBefore::hint(const Summary& summary)
{
    if (summary.count == 0)
        return QString();
    const CQsoData& q = summary.last;
    QString last = q.start.toUTC().toString(QStringLiteral("yyyy-MM-dd hh:mm")) + QStringLiteral(" UTC");
    if (!q.mode.isEmpty())
        last += QStringLiteral(", ") + q.mode;
    if (q.frequencyB != 0)
        last += QStringLiteral(", %1 kHz").arg(q.frequencyB / 1000.0, 0, 'f', 1);
    if (!q.name.isEmpty())
        last += QStringLiteral(", ") + q.name;
    return QCoreApplication::translate("WorkedBefore", "Worked before: %n QSO(s), last %1", nullptr, summary.count)
        .arg(last);
}
