// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/pskreporter.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QTimer>
#include <QUdpSocket>
#include <QtEndian>

#include <algorithm>
#include <cmath>

namespace {

void put16(QByteArray& out, quint16 v)
{
    const char b[2] = {char(v >> 8), char(v)};
    out.append(b, 2);
}

void put32(QByteArray& out, quint32 v)
{
    const char b[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(b, 4);
}

// A string of variable length: one length byte, then the bytes (at most
// 254, so the long form with 255 never arises).
void putString(QByteArray& out, const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() > 254)
        bytes.truncate(254);
    out.append(char(bytes.size()));
    out.append(bytes);
}

// One field specifier of enterprise 30351 (enterprise bit set).
void putField(QByteArray& out, quint16 id, quint16 length)
{
    put16(out, 0x8000 | id);
    put16(out, length);
    put32(out, PskIpfix::kEnterprise);
}

// A set: id, length (padding included), content, zero padding to 32 bits.
QByteArray set(quint16 id, const QByteArray& content)
{
    QByteArray out;
    const int padded = (4 + int(content.size()) + 3) & ~3;
    put16(out, id);
    put16(out, quint16(padded));
    out.append(content);
    out.append(padded - 4 - int(content.size()), '\0');
    return out;
}

constexpr quint16 kVariable = 0xffff;

} // namespace

QByteArray PskIpfix::templateSets()
{
    // Options template: receiver call (the scope), locator, software,
    // antenna, and the IANA element observationDomainId (149). A template of
    // variable-length fields only describes records with no fixed part, and
    // collectors that size records by their fixed part (Wireshark's, for
    // one) drop such a template and cannot read the receiver's record; the
    // domain, the same as in the message header, gives it four fixed bytes.
    QByteArray receiver;
    put16(receiver, kReceiverTemplate);
    put16(receiver, 5);  // fields
    put16(receiver, 1);  // scope fields
    putField(receiver, 2, kVariable);  // receiverCallsign
    putField(receiver, 4, kVariable);  // receiverLocator
    putField(receiver, 8, kVariable);  // decoderSoftware
    putField(receiver, 9, kVariable);  // antennaInformation
    put16(receiver, 149);
    put16(receiver, 4);
    // Template: sender call, frequency, SNR, mode, information source, and
    // the IANA element flowStartSeconds (150).
    QByteArray sender;
    put16(sender, kSenderTemplate);
    put16(sender, 6);
    putField(sender, 1, kVariable);   // senderCallsign
    putField(sender, 5, 4);           // frequency
    putField(sender, 6, 1);           // sNR
    putField(sender, 10, kVariable);  // mode
    putField(sender, 11, 1);          // informationSource
    put16(sender, 150);
    put16(sender, 4);
    return set(3, receiver) + set(2, sender);
}

QByteArray PskIpfix::receiverSet(const ReceivingStation& receiver, quint32 domain)
{
    QByteArray record;
    putString(record, receiver.call.toUpper());
    putString(record, receiver.locator);
    putString(record, receiver.software);
    putString(record, receiver.antenna);
    put32(record, domain);
    return set(kReceiverTemplate, record);
}

QByteArray PskIpfix::senderRecord(const PskSpot& spot)
{
    QByteArray record;
    putString(record, spot.call.toUpper());
    put32(record, spot.frequency);
    record.append(char(spot.snr));
    putString(record, spot.mode);
    record.append(char(spot.source));
    put32(record, spot.time);
    return record;
}

QByteArray PskIpfix::senderSet(const QByteArray& records)
{
    return set(kSenderTemplate, records);
}

QByteArray PskIpfix::message(const QByteArray& sets, quint32 exportTime, quint32 sequence, quint32 domain)
{
    QByteArray out;
    put16(out, kVersion);
    put16(out, quint16(16 + sets.size()));
    put32(out, exportTime);
    put32(out, sequence);
    put32(out, domain);
    out.append(sets);
    return out;
}

qint8 PskIpfix::snrField(double db)
{
    return std::isnan(db) ? 0 : qint8(std::clamp(std::lround(db), -128L, 127L));
}

QString PskIpfix::modeName(const QString& mode)
{
    if (mode.startsWith(QLatin1String("BPSK"), Qt::CaseInsensitive))
        return mode.mid(1).toUpper();
    return mode.toUpper();
}

PskReporter::PskReporter(QObject* parent, Clock clock)
    : QObject(parent),
      m_clock(std::move(clock)),
      m_wallClock([] { return quint32(QDateTime::currentSecsSinceEpoch()); }),
      m_socket(new QUdpSocket(this)),
      m_timer(new QTimer(this)),
      m_domain(QRandomGenerator::system()->generate())
{
    m_socket->setProxy(QNetworkProxy::NoProxy); // UDP goes straight out, as the logger's does
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return timer->elapsed(); };
    }
    m_nextSend = m_clock() + kSendInterval;
    m_timer->setInterval(10 * 1000);
    connect(m_timer, &QTimer::timeout, this, &PskReporter::poll);
    m_timer->start();
    m_host = defaultHost();
}

PskReporter::~PskReporter()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
}

void PskReporter::setReceiver(const ReceivingStation& receiver)
{
    m_receiver = receiver;
}

void PskReporter::setCollector(const QString& host, quint16 port)
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    m_lookupId = -1;
    m_host = host.trimmed();
    m_port = port;
    m_address.clear();
    // A literal address is taken at once; a name is looked up with the
    // first spot, so that a reporter without spots never asks the network.
    m_address.setAddress(m_host);
}

void PskReporter::lookUp()
{
    if (m_lookupId >= 0 || m_host.isEmpty())
        return;
    if (m_address.setAddress(m_host))
        return;
    m_lookupId = QHostInfo::lookupHost(m_host, this, SLOT(hostFound(QHostInfo)));
}

void PskReporter::hostFound(const QHostInfo& info)
{
    m_lookupId = -1;
    for (const QHostAddress& a : info.addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            m_address = a;
            return;
        }
    }
    if (!info.addresses().isEmpty())
        m_address = info.addresses().constFirst();
}

bool PskReporter::addSpot(const PskSpot& spot)
{
    const QString call = spot.call.toUpper();
    const qint64 now = m_clock();
    const auto last = m_lastQueued.constFind(call);
    if (call.isEmpty() || (last != m_lastQueued.constEnd() && now - *last < kCallInterval))
        return false;
    m_lastQueued.insert(call, now);
    if (m_address.isNull())
        lookUp();
    const QByteArray record = PskIpfix::senderRecord(spot);
    QList<QByteArray> next = m_queue;
    next.append(record);
    if (buildMessage(next, true).size() > PskIpfix::kMaxMessage)
        send(int(m_queue.size()));
    m_queue.append(record);
    return true;
}

void PskReporter::poll()
{
    const qint64 now = m_clock();
    // Calls not heard for five minutes are forgotten, so the table stays small.
    for (auto it = m_lastQueued.begin(); it != m_lastQueued.end();)
        it = now - it.value() >= kCallInterval ? m_lastQueued.erase(it) : std::next(it);
    if (now < m_nextSend)
        return;
    while (m_nextSend <= now)
        m_nextSend += kSendInterval;
    if (m_address.isNull())
        lookUp();
    send(int(m_queue.size()));
}

void PskReporter::flush()
{
    send(int(m_queue.size()));
}

QByteArray PskReporter::buildMessage(const QList<QByteArray>& records, bool withTemplates) const
{
    QByteArray sets;
    if (withTemplates)
        sets += PskIpfix::templateSets();
    sets += PskIpfix::receiverSet(m_receiver, m_domain);
    QByteArray senders;
    for (const QByteArray& r : records)
        senders += r;
    sets += PskIpfix::senderSet(senders);
    return PskIpfix::message(sets, m_wallClock(), m_sequence, m_domain);
}

void PskReporter::send(int count)
{
    if (count <= 0)
        return;
    const QList<QByteArray> records = m_queue.mid(0, count);
    m_queue.remove(0, count);
    const qint64 now = m_clock();
    const bool withTemplates = m_templatesSent < kTemplateStartCount || now - m_lastTemplates >= kTemplateInterval;
    const QByteArray message = buildMessage(records, withTemplates);
    bool sent = false;
    if (!m_address.isNull()) {
        // The socket binds once, on the first message, and keeps its port.
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            m_socket->bind(m_address.protocol() == QAbstractSocket::IPv6Protocol ? QHostAddress::AnyIPv6
                                                                                 : QHostAddress::AnyIPv4,
                           0);
        sent = m_socket->writeDatagram(message, m_address, m_port) == message.size();
    }
    if (sent) {
        ++m_sent;
        m_sequence += quint32(records.size()) + 1;  // data records, the receiver's included
        if (withTemplates) {
            ++m_templatesSent;
            m_lastTemplates = now;
        }
    } else {
        m_dropped += int(records.size());
    }
    emit messageBuilt(message, sent);
}
