// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/wsjtxmessage.h"

#include <QtEndian>

namespace Wsjtx {

Writer::Writer(Type type, const QString& id)
{
    u32(kMagic).u32(kSchema).u32(type).utf8(id);
}

Writer& Writer::u8(quint8 v)
{
    m_bytes.append(char(v));
    return *this;
}

Writer& Writer::u32(quint32 v)
{
    char b[4];
    qToBigEndian(v, b);
    m_bytes.append(b, 4);
    return *this;
}

Writer& Writer::u64(quint64 v)
{
    char b[8];
    qToBigEndian(v, b);
    m_bytes.append(b, 8);
    return *this;
}

Writer& Writer::utf8(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    u32(quint32(bytes.size()));
    m_bytes.append(bytes);
    return *this;
}

Writer& Writer::dateTime(const QDateTime& t)
{
    if (!t.isValid()) {
        // A null date-time: invalid Julian day, invalid time, local time (Qt::LocalTime).
        u64(quint64(qint64(0))).u32(0xffffffff).u8(0);
        return *this;
    }
    const QDateTime utc = t.toUTC();
    u64(quint64(utc.date().toJulianDay()));
    u32(quint32(utc.time().msecsSinceStartOfDay()));
    return u8(1);
}

QByteArray heartbeat(const QString& id, const QString& version, const QString& revision)
{
    return Writer(Heartbeat, id).u32(kMaxSchema).utf8(version).utf8(revision).bytes();
}

QByteArray status(const QString& id, const StatusData& s)
{
    Writer w(Status, id);
    w.u64(s.dialFrequency).utf8(s.mode).utf8(s.dxCall).utf8(s.report).utf8(s.txMode);
    w.boolean(s.txEnabled).boolean(s.transmitting).boolean(s.decoding);
    w.u32(s.rxOffset).u32(s.txOffset).utf8(s.deCall).utf8(s.deGrid).utf8(s.dxGrid);
    // Tx watchdog, submode, fast mode, special operation (none), frequency
    // tolerance and T/R period (not applicable), configuration name, Tx message.
    w.boolean(false).utf8(QString()).boolean(false).u8(0).u32(0xffffffff).u32(0xffffffff);
    w.utf8(QString()).utf8(QString());
    return w.bytes();
}

QByteArray qsoLogged(const QString& id, const QsoData& q)
{
    Writer w(QsoLogged, id);
    w.dateTime(q.timeOff).utf8(q.dxCall).utf8(q.dxGrid).u64(q.frequency).utf8(q.mode);
    w.utf8(q.reportSent).utf8(q.reportReceived).utf8(q.txPower).utf8(q.comments).utf8(q.name);
    w.dateTime(q.timeOn).utf8(q.operatorCall).utf8(q.myCall).utf8(q.myGrid);
    w.utf8(q.exchangeSent).utf8(q.exchangeReceived).utf8(q.propagationMode);
    return w.bytes();
}

QByteArray close(const QString& id)
{
    return Writer(Close, id).bytes();
}

QByteArray loggedAdif(const QString& id, const QString& adif)
{
    return Writer(LoggedAdif, id).utf8(adif).bytes();
}

Reader::Reader(const QByteArray& message) : m_bytes(message)
{
    const quint32 magic = u32();
    m_schema = u32();
    m_type = u32();
    m_id = utf8();
    if (magic != kMagic || m_schema < 2 || m_schema > kMaxSchema)
        m_ok = false;
}

bool Reader::take(int n)
{
    if (!m_ok || m_bytes.size() - m_pos < n) {
        m_ok = false;
        return false;
    }
    return true;
}

quint8 Reader::u8()
{
    if (!take(1))
        return 0;
    return quint8(m_bytes.at(m_pos++));
}

quint32 Reader::u32()
{
    if (!take(4))
        return 0;
    const quint32 v = qFromBigEndian<quint32>(m_bytes.constData() + m_pos);
    m_pos += 4;
    return v;
}

quint64 Reader::u64()
{
    if (!take(8))
        return 0;
    const quint64 v = qFromBigEndian<quint64>(m_bytes.constData() + m_pos);
    m_pos += 8;
    return v;
}

QString Reader::utf8()
{
    const quint32 length = u32();
    if (length == 0xffffffff)
        return QString();
    if (length > 0x7fffffff || !take(int(length)))
        return QString();
    const QString text = QString::fromUtf8(m_bytes.constData() + m_pos, qsizetype(length));
    m_pos += length;
    return text;
}

QDateTime Reader::dateTime()
{
    const qint64 day = qint64(u64());
    const quint32 ms = u32();
    const quint8 timeSpec = u8();
    if (timeSpec == 2)
        u32();  // offset from UTC, never written here
    if (!m_ok || ms == 0xffffffff)
        return QDateTime();
    const QDate date = QDate::fromJulianDay(day);
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ms));
    return timeSpec == 1 ? QDateTime(date, time, Qt::UTC) : QDateTime(date, time);
}

} // namespace Wsjtx
