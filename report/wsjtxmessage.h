// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The UDP messages that loggers and companion programs read from digital-mode
// programs (the WSJT-X network protocol): big-endian, a header of the magic
// number 0xadbccbda, the schema number and the message type, then the
// sender's id and the fields in the QDataStream encoding of schema 2: text as
// UTF-8 with a 32-bit length, a date-time as Julian day (64 bits),
// milliseconds since midnight (32 bits) and the Qt::TimeSpec (8 bits, 1 = UTC).
namespace Wsjtx {

constexpr quint32 kMagic = 0xadbccbda;
constexpr quint32 kSchema = 2;
constexpr quint32 kMaxSchema = 3;
constexpr quint16 kDefaultPort = 2237;

enum Type : quint32 { Heartbeat = 0, Status = 1, QsoLogged = 5, Close = 6, LoggedAdif = 12 };

struct StatusData {
    quint64 dialFrequency = 0;  // Hz
    QString mode;
    QString dxCall;
    QString report;
    QString txMode;
    bool txEnabled = false;
    bool transmitting = false;
    bool decoding = true;
    quint32 rxOffset = 0;       // audio Hz
    quint32 txOffset = 0;
    QString deCall;
    QString deGrid;
    QString dxGrid;
};

struct QsoData {
    QDateTime timeOff;
    QString dxCall;
    QString dxGrid;
    quint64 frequency = 0;      // Hz
    QString mode;
    QString reportSent;
    QString reportReceived;
    QString txPower;
    QString comments;
    QString name;
    QDateTime timeOn;
    QString operatorCall;
    QString myCall;
    QString myGrid;
    QString exchangeSent;
    QString exchangeReceived;
    QString propagationMode;
};

class Writer
{
public:
    Writer(Type type, const QString& id);
    Writer& u8(quint8 v);
    Writer& u32(quint32 v);
    Writer& u64(quint64 v);
    Writer& boolean(bool v) { return u8(v ? 1 : 0); }
    Writer& utf8(const QString& text);
    Writer& dateTime(const QDateTime& t);
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

QByteArray heartbeat(const QString& id, const QString& version, const QString& revision);
QByteArray status(const QString& id, const StatusData& s);
QByteArray qsoLogged(const QString& id, const QsoData& q);
QByteArray close(const QString& id);
QByteArray loggedAdif(const QString& id, const QString& adif);

// Reads a message field by field; any read past the end or a wrong header
// leaves ok() false.
class Reader
{
public:
    explicit Reader(const QByteArray& message);
    bool ok() const { return m_ok; }
    quint32 schema() const { return m_schema; }
    quint32 type() const { return m_type; }
    const QString& id() const { return m_id; }
    bool atEnd() const { return m_pos == m_bytes.size(); }
    quint8 u8();
    quint32 u32();
    quint64 u64();
    bool boolean() { return u8() != 0; }
    QString utf8();
    QDateTime dateTime();

private:
    bool take(int n);
    QByteArray m_bytes;
    qsizetype m_pos = 0;
    bool m_ok = true;
    quint32 m_schema = 0;
    quint32 m_type = 0;
    QString m_id;
};

} // namespace Wsjtx
