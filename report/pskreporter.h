// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QHostInfo;

class QTimer;
class QUdpSocket;

// One reception: who was heard, where and how well.
struct PskSpot {
    QString call;            // the sender's call sign
    quint32 frequency = 0;   // RF frequency in Hz
    qint8 snr = 0;           // dB
    QString mode;            // "PSK31", "QPSK63", ...
    quint8 source = 1;       // 1 decoded text, 2 a logged QSO, 3 entered by hand
    quint32 time = 0;        // seconds since 1970, UTC
};

// The receiving station as the reports name it.
struct ReceivingStation {
    QString call;
    QString locator;         // Maidenhead, 4 or 6 characters
    QString software;        // "Velkora32 4.0"
    QString antenna;         // free text, may be empty
};

// The reports are IPFIX messages (RFC 7011) with the fields of enterprise
// 30351. A message carries a message header, optionally the two templates
// (receiver as an options template, sender as a template), one receiver data
// record and any number of sender data records.
namespace PskIpfix {

constexpr quint16 kVersion = 10;
constexpr quint32 kEnterprise = 30351;
constexpr quint16 kReceiverTemplate = 0x9992;
constexpr quint16 kSenderTemplate = 0x9993;
// Messages stay below this size so that no link has to fragment them.
constexpr int kMaxMessage = 1400;

// Both template sets, padded to whole 32-bit words.
QByteArray templateSets();
// The data set of the receiver record; the observation domain is the
// message header's.
QByteArray receiverSet(const ReceivingStation& receiver, quint32 domain);
// One sender record, without a set header.
QByteArray senderRecord(const PskSpot& spot);
// A data set of sender records: header, records, padding.
QByteArray senderSet(const QByteArray& records);
// A whole message: header, then the sets as given.
QByteArray message(const QByteArray& sets, quint32 exportTime, quint32 sequence, quint32 domain);

// An SNR estimate in dB as the one byte the record holds: rounded, kept
// within -128 to 127; 0 when there is none (not a number).
qint8 snrField(double db);

// The report mode of one of this program's mode names: "BPSK31" is
// "PSK31", "QPSK63" stays "QPSK63".
QString modeName(const QString& mode);

} // namespace PskIpfix

// Collects spots and sends them to the reporter's collector: each call at
// most once in five minutes, one message per five minutes unless it is
// full, the templates in the first three messages and then once an hour,
// always from the same UDP source port. The five-minute rhythm runs from
// the reporter's start on a monotonic clock, never on the wall clock. Host
// names are looked up in the background; while no address is known the
// spots that are due are dropped. Nothing here ever waits on the network.
class PskReporter : public QObject
{
    Q_OBJECT
public:
    // Milliseconds on a monotonic clock; tests give their own.
    using Clock = std::function<qint64()>;
    static constexpr qint64 kSendInterval = 5 * 60 * 1000;
    static constexpr qint64 kCallInterval = 5 * 60 * 1000;
    static constexpr qint64 kTemplateInterval = 60 * 60 * 1000;
    static constexpr int kTemplateStartCount = 3;
    static constexpr quint16 kDefaultPort = 4739;
    static QString defaultHost() { return QStringLiteral("report.pskreporter.info"); }

    explicit PskReporter(QObject* parent = nullptr, Clock clock = {});
    ~PskReporter() override;

    void setReceiver(const ReceivingStation& receiver);
    const ReceivingStation& receiver() const { return m_receiver; }
    // Where the messages go; a host name is looked up (in the background)
    // when the first spot comes.
    void setCollector(const QString& host, quint16 port);
    QString collectorHost() const { return m_host; }
    quint16 collectorPort() const { return m_port; }
    void setObservationDomain(quint32 domain) { m_domain = domain; }
    quint32 observationDomain() const { return m_domain; }
    // The wall clock (seconds since 1970) for the message header.
    void setWallClock(std::function<quint32()> clock) { m_wallClock = std::move(clock); }

    // Queues a spot unless the call was queued in the last five minutes;
    // true when queued. A full message is sent at once.
    bool addSpot(const PskSpot& spot);
    // Sends when the five minutes are up; the reporter's timer calls it.
    void poll();
    // Sends what is queued now (at the end of a run).
    void flush();

    int queuedSpots() const { return static_cast<int>(m_queue.size()); }
    quint32 sequenceNumber() const { return m_sequence; }
    int messagesSent() const { return m_sent; }
    int spotsDropped() const { return m_dropped; }
    bool hasAddress() const { return !m_address.isNull(); }

signals:
    // Each message as it leaves (also when no address is known and it is
    // dropped: then sent is false).
    void messageBuilt(const QByteArray& message, bool sent);

private slots:
    // The collector's address, looked up by name. A slot by name rather than
    // a functor: Qt 6.4 loses a functor's copy when a lookup is aborted.
    void hostFound(const QHostInfo& info);

private:
    void lookUp();
    void send(int count);
    QByteArray buildMessage(const QList<QByteArray>& records, bool withTemplates) const;

    Clock m_clock;
    std::function<quint32()> m_wallClock;
    ReceivingStation m_receiver;
    QString m_host;
    quint16 m_port = kDefaultPort;
    QHostAddress m_address;
    int m_lookupId = -1;
    QUdpSocket* m_socket = nullptr;
    QTimer* m_timer = nullptr;
    quint32 m_domain = 0;
    quint32 m_sequence = 0;
    int m_sent = 0;
    int m_dropped = 0;
    int m_templatesSent = 0;
    qint64 m_lastTemplates = 0;
    qint64 m_nextSend = 0;
    QList<QByteArray> m_queue;             // sender records
    QHash<QString, qint64> m_lastQueued;   // call -> when it was queued
};
