// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/wsjtxclient.h"

#include "logbook/adif.h"
#include "logbook/qsodata.h"

#include <QNetworkDatagram>
#include <QTimer>
#include <QNetworkProxy>
#include <QUdpSocket>

WsjtxClient::WsjtxClient(QObject* parent)
    : QObject(parent), m_socket(new QUdpSocket(this)), m_heartbeat(new QTimer(this))
{
    // Datagrams go straight out: asking the desktop's proxy settings would
    // start a lookup thread for every send, and no proxy carries UDP here.
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_heartbeat->setInterval(kHeartbeatMs);
    connect(m_heartbeat, &QTimer::timeout, this, &WsjtxClient::heartbeat);
}

WsjtxClient::~WsjtxClient() = default;

bool WsjtxClient::setServer(const QString& address, quint16 port)
{
    QHostAddress a;
    if (!a.setAddress(address.trimmed()) || port == 0)
        return false;
    m_address = a;
    m_port = port;
    if (a.isMulticast())
        m_socket->setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
    return true;
}

bool WsjtxClient::setMulticastGroup(const QString& group)
{
    m_group.clear();
    if (group.trimmed().isEmpty())
        return true;
    QHostAddress a;
    if (!a.setAddress(group.trimmed()) || !a.isMulticast())
        return false;
    m_group = a;
    // Multicast stays on the local network.
    m_socket->setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
    return true;
}

void WsjtxClient::start()
{
    if (m_heartbeat->isActive())
        return;
    m_heartbeat->start();
    heartbeat();
}

void WsjtxClient::stop()
{
    if (!m_heartbeat->isActive())
        return;
    m_heartbeat->stop();
    send(Wsjtx::close(m_id));
    m_lastStatus.clear();
}

bool WsjtxClient::isRunning() const
{
    return m_heartbeat->isActive();
}

void WsjtxClient::heartbeat()
{
    send(Wsjtx::heartbeat(m_id, m_version, QString()));
}

void WsjtxClient::updateStatus(const Wsjtx::StatusData& status)
{
    const QByteArray message = Wsjtx::status(m_id, status);
    if (message == m_lastStatus)
        return;
    m_lastStatus = message;
    send(message);
}

void WsjtxClient::logQso(const Wsjtx::QsoData& qso, const QString& adifRecord)
{
    send(Wsjtx::qsoLogged(m_id, qso));
    send(Wsjtx::loggedAdif(m_id, adifText(adifRecord)));
}

QString WsjtxClient::adifText(const QString& record)
{
    QString header = QStringLiteral("\n");
    Adif::writeField(header, u"ADIF_VER", QStringLiteral("3.1.4"));
    Adif::writeField(header, u"PROGRAMID", QStringLiteral("Velkora32"));
    return header + QStringLiteral("\n<EOH>\n") + record;
}

Wsjtx::QsoData WsjtxClient::qsoData(const CQsoData& record, const QString& myCall, const QString& myGrid)
{
    Wsjtx::QsoData q;
    q.timeOn = record.start;
    q.timeOff = record.end.isValid() && record.end > record.start ? record.end : record.start;
    q.dxCall = record.call.toUpper();
    q.dxGrid = QsoFields::locator(record.locator);
    q.frequency = record.frequencyB ? record.frequencyB : record.frequencyA;
    q.mode = modeName(record.mode);
    q.reportSent = record.sent;
    q.reportReceived = record.received;
    q.txPower = QsoFields::power(record.power);
    q.comments = record.info;
    q.name = record.name;
    q.myCall = myCall.toUpper();
    q.operatorCall = q.myCall;
    q.myGrid = myGrid;
    return q;
}

QString WsjtxClient::modeName(const QString& mode)
{
    QString adifMode;
    QString submode;
    Adif::modeFields(mode, adifMode, submode);
    return submode.isEmpty() ? adifMode : submode;
}

void WsjtxClient::send(const QByteArray& message)
{
    m_socket->writeDatagram(message, m_address, m_port);
    if (!m_group.isNull() && m_group != m_address)
        m_socket->writeDatagram(message, m_group, m_port);
    emit datagramSent(message);
}
