// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/serialadapter.h"

#include <QSerialPort>
#include <QtDebug>

#include <array>

namespace {

constexpr std::array<int, 22> kBaudRates = {50,    75,    110,   134,    150,    200,
                                            300,   600,   1200,  1800,   2400,   4800,
                                            9600,  14400, 19200, 38400,  56000,  57600,
                                            76800, 115200, 128000, 256000};

void warnUnknownCode(const char* what, int code)
{
    qWarning("Comport: unknown %s code %d ignored", what, code);
}

} // namespace

namespace SerialCodes {

int baudRate(int code)
{
    return code >= 0 && code < int(kBaudRates.size()) ? kBaudRates[size_t(code)] : 0;
}

int dataBits(int code)
{
    return code >= 0 && code <= 3 ? 5 + code : 0;
}

} // namespace SerialCodes

QtSerialPortAdapter::QtSerialPortAdapter(const QString& deviceName, QObject* parent)
    : SerialPortAdapter(parent)
    , m_port(new QSerialPort(deviceName, this))
{
    connect(m_port, &QSerialPort::readyRead, this, &SerialPortAdapter::readyRead);
}

QtSerialPortAdapter::~QtSerialPortAdapter() = default;

void QtSerialPortAdapter::setBaudRate(int code)
{
    const int baud = SerialCodes::baudRate(code);
    if (baud == 0)
        warnUnknownCode("baud rate", code);
    else
        m_port->setBaudRate(baud);
}

void QtSerialPortAdapter::setFlowControlOff()
{
    m_port->setFlowControl(QSerialPort::NoFlowControl);
}

void QtSerialPortAdapter::setParity(int code)
{
    static constexpr QSerialPort::Parity kParities[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    if (code < 0 || code > 4)
        warnUnknownCode("parity", code);
    else
        m_port->setParity(kParities[code]);
}

void QtSerialPortAdapter::setDataBits(int code)
{
    const int bits = SerialCodes::dataBits(code);
    if (bits == 0)
        warnUnknownCode("data bits", code);
    else
        m_port->setDataBits(QSerialPort::DataBits(bits));
}

void QtSerialPortAdapter::setStopBits(int code)
{
    switch (code) {
    case 0:
        m_port->setStopBits(QSerialPort::OneStop);
        break;
    case 1:
#ifdef Q_OS_WIN
        m_port->setStopBits(QSerialPort::OneAndHalfStop);
#else
        // termios has no one and a half stop bits and Qt would quietly use
        // one; two is what a receiver set for 1.5 accepts.
        m_port->setStopBits(QSerialPort::TwoStop);
#endif
        break;
    case 2:
        m_port->setStopBits(QSerialPort::TwoStop);
        break;
    default:
        warnUnknownCode("stop bits", code);
    }
}

bool QtSerialPortAdapter::open()
{
    return m_port->open(QIODevice::ReadWrite);
}

bool QtSerialPortAdapter::isOpen() const
{
    return m_port->isOpen();
}

void QtSerialPortAdapter::close()
{
    if (m_port->isOpen())
        m_port->close();
}

void QtSerialPortAdapter::setDtr(bool on)
{
    // QSerialPort warns on every call to a closed port; a port that failed to
    // open has been reported once already.
    if (m_port->isOpen())
        m_port->setDataTerminalReady(on);
}

void QtSerialPortAdapter::setRts(bool on)
{
    if (!m_port->isOpen())
        return;
    // A port without modem-control lines (a pseudo-terminal, some adapters)
    // opens fine but can never key the rig; say so once.
    if (!m_port->setRequestToSend(on) && !m_rtsFailureReported) {
        m_rtsFailureReported = true;
        qWarning().noquote() << QStringLiteral("Comport: cannot set RTS on %1 (%2); push-to-talk will not key")
                                    .arg(m_port->portName(), m_port->errorString());
    }
}

qint64 QtSerialPortAdapter::bytesAvailable() const
{
    return m_port->bytesAvailable();
}

QByteArray QtSerialPortAdapter::read(qint64 maxSize)
{
    return m_port->read(maxSize);
}

QString QtSerialPortAdapter::portName() const
{
    return m_port->portName();
}

QString QtSerialPortAdapter::errorString() const
{
    return m_port->errorString();
}
