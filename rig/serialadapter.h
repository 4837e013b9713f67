// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSerialPort;

// The numeric line-setting codes kept in the "Comport" settings group. They
// are the enumeration values of the serial library the settings file was
// first written with, so existing files keep working.
namespace SerialCodes {

// 0..21: 50, 75, 110, 134, 150, 200, 300, 600, 1200, 1800, 2400, 4800, 9600,
// 14400, 19200, 38400, 56000, 57600, 76800, 115200, 128000, 256000 baud.
constexpr int kBaud9600 = 12;
constexpr int kDataBits8 = 3; // 0..3: 5..8 bits
constexpr int kParityNone = 0; // 0 none, 1 odd, 2 even, 3 mark, 4 space
constexpr int kStopBitsOne = 0; // 0 one, 1 one and a half, 2 two

// Baud rate for a code, or 0 for a code outside the table.
int baudRate(int code);
// Data bits (5..8) for a code, or 0 for a code outside the table.
int dataBits(int code);

} // namespace SerialCodes

// The few serial-port operations push-to-talk needs, in the terms of the
// stored codes. Comport talks only to this interface, so tests can record
// what it asks of the port. Lives on the GUI thread.
class SerialPortAdapter : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Line settings take effect at open() when set before it.
    virtual void setBaudRate(int code) = 0;
    virtual void setFlowControlOff() = 0;
    virtual void setParity(int code) = 0;
    virtual void setDataBits(int code) = 0;
    virtual void setStopBits(int code) = 0;

    // Opens for reading and writing.
    virtual bool open() = 0;
    virtual bool isOpen() const = 0;
    virtual void close() = 0;

    // Both are ignored while the port is not open.
    virtual void setDtr(bool on) = 0;
    virtual void setRts(bool on) = 0;

    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxSize) = 0;

    virtual QString portName() const = 0;
    virtual QString errorString() const = 0;

signals:
    void readyRead();
};

// The adapter over Qt SerialPort. QSerialPort watches the device with a
// socket notifier on the thread it lives on, so readyRead() arrives on the GUI
// thread.
class QtSerialPortAdapter : public SerialPortAdapter
{
    Q_OBJECT
public:
    explicit QtSerialPortAdapter(const QString& deviceName, QObject* parent = nullptr);
    ~QtSerialPortAdapter() override;

    void setBaudRate(int code) override;
    void setFlowControlOff() override;
    void setParity(int code) override;
    void setDataBits(int code) override;
    void setStopBits(int code) override;
    bool open() override;
    bool isOpen() const override;
    void close() override;
    void setDtr(bool on) override;
    void setRts(bool on) override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxSize) override;
    QString portName() const override;
    QString errorString() const override;

private:
    QSerialPort* m_port;
    bool m_rtsFailureReported = false;
};
