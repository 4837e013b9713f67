// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "report/wsjtxmessage.h"

#include <QHostAddress>
#include <QObject>

class QTimer;
class QUdpSocket;
struct CQsoData;

// Sends the program's state and its logged contacts to a logger that
// listens for the WSJT-X network messages: a heartbeat every 15 s, a status
// when it changes, each logged contact as "QSO Logged" and "Logged ADIF",
// and "Close" at the end. The address is a literal one (127.0.0.1 by
// default, or a multicast group, and optionally a multicast group besides);
// the messages go out without waiting.
class WsjtxClient : public QObject
{
    Q_OBJECT
public:
    static constexpr int kHeartbeatMs = 15000;
    static QString defaultId() { return QStringLiteral("Velkora32"); }

    explicit WsjtxClient(QObject* parent = nullptr);
    ~WsjtxClient() override;

    // False for text that is not an IP address.
    bool setServer(const QString& address, quint16 port);
    QHostAddress server() const { return m_address; }
    quint16 port() const { return m_port; }
    // A multicast group that hears every message too, on the same port, so
    // that several programs on the network can listen; an empty text for
    // none. False (and no group) for text that is not a multicast address.
    bool setMulticastGroup(const QString& group);
    QHostAddress multicastGroup() const { return m_group; }
    void setId(const QString& id) { m_id = id; }
    void setVersion(const QString& version) { m_version = version; }

    // Starts the heartbeat (and sends one at once); stop() sends Close.
    void start();
    void stop();
    bool isRunning() const;

    // Sends Status when it differs from the last one sent.
    void updateStatus(const Wsjtx::StatusData& status);
    // Sends QSO Logged and Logged ADIF for one contact; the ADIF record (as
    // the export writes it) goes out behind a short header.
    void logQso(const Wsjtx::QsoData& qso, const QString& adifRecord);
    static QString adifText(const QString& record);
    // The mode as loggers know it: "BPSK31" is "PSK31", "QPSK63" stays.
    static QString modeName(const QString& mode);
    // The QSO Logged fields of a log record.
    static Wsjtx::QsoData qsoData(const CQsoData& record, const QString& myCall, const QString& myGrid);

signals:
    void datagramSent(const QByteArray& message);

private:
    void send(const QByteArray& message);
    void heartbeat();

    QUdpSocket* m_socket;
    QTimer* m_heartbeat;
    QHostAddress m_address = QHostAddress(QHostAddress::LocalHost);
    quint16 m_port = Wsjtx::kDefaultPort;
    QHostAddress m_group;
    QString m_id = defaultId();
    QString m_version;
    QByteArray m_lastStatus;
};
