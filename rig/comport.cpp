// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/comport.h"

#include "core/settings.h"

#include <QRegularExpression>
#include <QtDebug>

namespace {

const QString kGroup = QStringLiteral("Comport");
const QString kNumberKey = QStringLiteral("ComNumber");
const QString kBaudKey = QStringLiteral("BaudRate");
const QString kByteSizeKey = QStringLiteral("ByteSize");
const QString kParityKey = QStringLiteral("Parity");
const QString kStopBitsKey = QStringLiteral("StopBits");
const QString kDtrKey = QStringLiteral("DTR");
const QString kRtsKey = QStringLiteral("RTS");
const QString kDeviceKey = QStringLiteral("Device");

std::unique_ptr<SerialPortAdapter> makeQtAdapter(const QString& device)
{
    return std::make_unique<QtSerialPortAdapter>(device);
}

Comport::AdapterFactory& defaultFactory()
{
    static Comport::AdapterFactory factory = makeQtAdapter;
    return factory;
}

} // namespace

void Comport::setDefaultFactory(AdapterFactory factory)
{
    defaultFactory() = factory ? std::move(factory) : AdapterFactory(makeQtAdapter);
}

Comport::Comport(AdapterFactory factory)
    : m_factory(factory ? std::move(factory) : defaultFactory())
{
    {
        Settings settings;
        settings.beginGroup(kGroup);
        m_portNumber = settings.value(kNumberKey, kDefaultPortNumber).toInt();
        m_baudRate = settings.value(kBaudKey, SerialCodes::kBaud9600).toInt();
        m_dataBits = settings.value(kByteSizeKey, SerialCodes::kDataBits8).toInt();
        m_parity = settings.value(kParityKey, SerialCodes::kParityNone).toInt();
        m_stopBits = settings.value(kStopBitsKey, SerialCodes::kStopBitsOne).toInt();
        m_dtr = settings.value(kDtrKey, 0).toInt();
        m_rts = settings.value(kRtsKey, 0).toInt();
        m_device = settings.value(kDeviceKey).toString().trimmed();
    }
    open();
}

Comport::~Comport()
{
    close();
}

void Comport::saveSettings() const
{
    Settings settings;
    settings.beginGroup(kGroup);
    settings.setValue(kNumberKey, m_portNumber);
    settings.setValue(kBaudKey, m_baudRate);
    settings.setValue(kByteSizeKey, m_dataBits);
    settings.setValue(kParityKey, m_parity);
    settings.setValue(kStopBitsKey, m_stopBits);
    settings.setValue(kDtrKey, m_dtr);
    settings.setValue(kRtsKey, m_rts);
    if (m_device.isEmpty())
        settings.remove(kDeviceKey);
    else
        settings.setValue(kDeviceKey, m_device);
}

void Comport::open()
{
    const QString device = deviceName();
    // The old object is released here; nothing refers to it any more.
    m_port = m_factory(device);
    m_port->setBaudRate(m_baudRate);
    m_port->setFlowControlOff();
    m_port->setParity(m_parity);
    m_port->setDataBits(m_dataBits);
    m_port->setStopBits(m_stopBits);
    // No message box: a missing rig must not stop receiving. One line tells
    // the user why the transmitter does not key; the window shows
    // openError() too. A number without a device is not tried at all, so no
    // error of the serial library belongs to it.
    if (device.isEmpty() || !m_port->open()) {
        m_openError = device.isEmpty()
                          ? QStringLiteral("cannot open port %1: no serial device has this number").arg(m_portNumber)
                          : QStringLiteral("cannot open port %1 (%2): %3").arg(m_portNumber).arg(device, m_port->errorString());
        qWarning().noquote() << QStringLiteral("Comport: ") + m_openError;
        return;
    }
    m_openError.clear();
    m_port->setDtr(m_dtr != 0);
    m_port->setRts(m_rts != 0);
}

void Comport::close()
{
    if (m_port)
        m_port->close();
}

bool Comport::isOpen() const
{
    return m_port && m_port->isOpen();
}

void Comport::reconfigure(int portNumber, int baudRate, int dataBits, int parity, int stopBits,
                          int dtr, int rts)
{
    m_portNumber = portNumber;
    m_baudRate = baudRate;
    m_dataBits = dataBits;
    m_parity = parity;
    m_stopBits = stopBits;
    m_dtr = dtr;
    m_rts = rts;
    open();
}

void Comport::reconfigureWithDefaults(int portNumber, const QString& device)
{
    m_device = device.trimmed();
    reconfigure(portNumber, SerialCodes::kBaud9600, SerialCodes::kDataBits8,
                SerialCodes::kParityNone, SerialCodes::kStopBitsOne, 0, 0);
}

void Comport::ptt(bool on)
{
    if (m_port)
        m_port->setRts(on);
}

qint64 Comport::discardIncoming()
{
    if (!isOpen())
        return 0;
    return m_port->read(m_port->bytesAvailable()).size();
}

QString Comport::deviceName() const
{
    return deviceFor(m_portNumber, m_device);
}

QString Comport::deviceFor(int portNumber, const QString& device)
{
    if (!device.isEmpty())
        return device;
#ifdef Q_OS_WIN
    return windowsPortName(portNumber);
#else
    return linuxDeviceName(portNumber);
#endif
}

int Comport::portNumberFor(const QString& device)
{
#ifdef Q_OS_WIN
    static const QRegularExpression kName(QStringLiteral("^(?:\\\\\\\\\\.\\\\)?COM([1-9]\\d{0,2})$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = kName.match(device);
    return m.hasMatch() ? m.captured(1).toInt() : 0;
#else
    static const QRegularExpression kName(QStringLiteral("^/dev/tty(S|USB|ACM)(\\d{1,2})$"));
    const QRegularExpressionMatch m = kName.match(device);
    if (!m.hasMatch())
        return 0;
    const int first = m.captured(1) == u"S" ? 1 : m.captured(1) == u"USB" ? 100 : 200;
    const int number = first + m.captured(2).toInt();
    return linuxDeviceName(number) == device ? number : 0;
#endif
}

QString Comport::windowsPortName(int portNumber)
{
    // From COM10 on, Windows only knows the port in the device namespace.
    if (portNumber <= 9)
        return QStringLiteral("COM%1").arg(portNumber);
    return QStringLiteral("\\\\.\\COM%1").arg(portNumber);
}

QString Comport::linuxDeviceName(int portNumber)
{
    struct Range
    {
        int first;
        int last;
        const char* prefix;
    };
    static constexpr Range kRanges[] = {
        {1, 99, "/dev/ttyS"}, {100, 199, "/dev/ttyUSB"}, {200, 299, "/dev/ttyACM"}};
    for (const Range& range : kRanges) {
        if (portNumber >= range.first && portNumber <= range.last)
            return QLatin1String(range.prefix) + QString::number(portNumber - range.first);
    }
    return {};
}
