// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rig/serialadapter.h"

#include <QString>

#include <functional>
#include <memory>

// Keys the transmitter through the RTS line of a serial port (push-to-talk).
// Reads the "Comport" settings group and opens the port when constructed;
// saveSettings() writes the group back (the window calls it when it closes).
// A port that fails to open leaves PTT
// without effect, so a transmission goes on unkeyed. GUI thread only.
//
// Port numbers map to devices as follows (on Windows: COMn):
//   1..99    /dev/ttyS0  .. /dev/ttyS98
//   100..199 /dev/ttyUSB0 .. /dev/ttyUSB99
//   200..299 /dev/ttyACM0 .. /dev/ttyACM99
// A non-empty "Comport"/"Device" key names the device directly and wins over
// the number.
class Comport
{
public:
    using AdapterFactory = std::function<std::unique_ptr<SerialPortAdapter>(const QString& device)>;

    static constexpr int kDefaultPortNumber = 1;

    // The default factory drives the real port through Qt SerialPort.
    explicit Comport(AdapterFactory factory = {});
    // The factory a Comport built without one uses; tests of the whole
    // program put a recording port in place of the real one.
    static void setDefaultFactory(AdapterFactory factory);
    ~Comport();
    // Stores the port and its line settings (the window calls it when it
    // closes).
    void saveSettings() const;

    Comport(const Comport&) = delete;
    Comport& operator=(const Comport&) = delete;

    // Creates a new port object for the configured device, replacing the
    // previous one, and opens it with the stored line settings; openError()
    // says why it failed.
    void open();
    void close();
    bool isOpen() const;

    void reconfigure(int portNumber, int baudRate, int dataBits, int parity, int stopBits, int dtr,
                     int rts);
    // Reconfigures with the number and device chosen by the user (an empty
    // device: the number names the port) and the line settings reset to 9600
    // baud 8N1, DTR and RTS off.
    void reconfigureWithDefaults(int portNumber, const QString& device);

    void ptt(bool on);

    // Reads and drops whatever the rig sent; nothing is ever written to it.
    // Returns the number of bytes dropped.
    qint64 discardIncoming();

    // The current port object (null before the first open); connect its
    // readyRead() to a handler that calls discardIncoming().
    SerialPortAdapter* port() const { return m_port.get(); }

    int portNumber() const { return m_portNumber; }
    // The "Device" setting that overrides the number; empty when unused.
    QString deviceOverride() const { return m_device; }
    // Why the last open failed, for the window; empty after a good open.
    QString openError() const { return m_openError; }
    // The device the current settings name.
    QString deviceName() const;

    static QString windowsPortName(int portNumber);
    // Empty for a number outside the mapped ranges.
    static QString linuxDeviceName(int portNumber);
    // The device a number and an overriding device name stand for, as
    // deviceName() gives it for the stored ones.
    static QString deviceFor(int portNumber, const QString& device);
    // The other way: the number that names a device on this platform
    // ("/dev/ttyUSB0" is 100, "COM3" is 3); 0 for a device without one.
    static int portNumberFor(const QString& device);

private:
    AdapterFactory m_factory;
    std::unique_ptr<SerialPortAdapter> m_port;
    int m_portNumber = kDefaultPortNumber;
    int m_baudRate = SerialCodes::kBaud9600;
    int m_dataBits = SerialCodes::kDataBits8;
    int m_parity = SerialCodes::kParityNone;
    int m_stopBits = SerialCodes::kStopBitsOne;
    int m_dtr = 0;
    int m_rts = 0;
    QString m_device;
    QString m_openError;
};
