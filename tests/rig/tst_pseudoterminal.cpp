// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real serial path on a pseudo-terminal: line settings, dropped rig bytes, reopening.

#include "core/settings.h"
#include "rig/comport.h"
#include "rig/rigconfig.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace {

// The test's own handle on the slave, opened before Comport's exclusive one.
struct PseudoTerminal
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    QString slavePath = master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0
        ? QString::fromLocal8Bit(ptsname(master)) : QString();
    int slave = slavePath.isEmpty() ? -1 : ::open(qPrintable(slavePath), O_RDWR | O_NOCTTY);
    ~PseudoTerminal() { ::close(slave), ::close(master); }
};

} // namespace

class TestPseudoTerminal : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    static void store(const QVariantMap& values)
    {
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            Settings().setValue(QStringLiteral("Comport/") + it.key(), it.value());
    }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("velkora.ini")));
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
    }

    // A port chosen by its device is stored as the number that names it.
    void portNumbersNameDevices()
    {
        for (int n : {1, 99, 100, 199, 200, 299})
            QCOMPARE(Comport::portNumberFor(Comport::linuxDeviceName(n)), n);
        for (const char* device : {"/dev/ttyS99", "/dev/ttyS05", "/dev/ttyUSB100", "/dev/pts/3", "ttyS0", ""})
            QCOMPARE(Comport::portNumberFor(QLatin1String(device)), 0);
    }

    // Baud, stop bit and parity codes as stored; parity none, odd, even, mark,
    // space, of which a terminal keeps only mark and space.
    void lineSettingsReachTheDevice_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<int>("speed");
        QTest::addColumn<bool>("twoStopBits");
        QTest::newRow("9600, one stop bit") << QVariantMap{{"BaudRate", 12}, {"StopBits", 0}, {"Parity", 0}} << int(B9600) << false;
        QTest::newRow("38400, two stop bits, space parity") << QVariantMap{{"BaudRate", 15}, {"StopBits", 2}, {"Parity", 4}} << int(B38400) << true;
        QTest::newRow("115200, one and a half taken as two, mark") << QVariantMap{{"BaudRate", 19}, {"StopBits", 1}, {"Parity", 3}} << int(B115200) << true;
    }
    void lineSettingsReachTheDevice()
    {
        QFETCH(QVariantMap, stored);
        PseudoTerminal pty;
        QVERIFY(pty.slave >= 0);
        store(stored), store({{"Device", pty.slavePath}});
        Comport comport;
        QVERIFY(comport.isOpen());
        termios t{};
        tcgetattr(pty.slave, &t);
        QTEST(int(cfgetospeed(&t)), "speed");
        QTEST(bool(t.c_cflag & CSTOPB), "twoStopBits");
        QCOMPARE(bool(t.c_cflag & CMSPAR), stored.value("Parity").toInt() >= 3);
        QVERIFY(!(t.c_cflag & CRTSCTS) && !(t.c_iflag & (IXON | IXOFF))); // no flow control
    }

    void rigBytesAreDroppedAndPttKeepsThePortOpen()
    {
        PseudoTerminal pty;
        QVERIFY(pty.slave >= 0);
        store({{"Device", pty.slavePath}, {"DTR", 1}, {"RTS", 1}, {"BaudRate", 15}, {"ByteSize", 2}, {"Parity", 4}, {"StopBits", 2}});
        // A pseudo-terminal has no RTS line: the adapter's request for it
        // fails, which is reported.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^Comport: cannot set RTS on .*will not key")));
        Comport comport;
        QVERIFY(comport.isOpen());

        qint64 dropped = 0;
        connect(comport.port(), &SerialPortAdapter::readyRead, this,
                [&] { dropped += comport.discardIncoming(); });
        const QByteArray burst("FA00014070000;IF00014070000;");
        QCOMPARE(::write(pty.master, burst.constData(), size_t(burst.size())), ssize_t(burst.size()));
        QTRY_COMPARE(dropped, qint64(burst.size()));
        QCOMPARE(comport.port()->bytesAvailable(), qint64(0));

        comport.ptt(true), comport.ptt(false);
        QVERIFY(comport.isOpen());
        // Reopening as the port dialog does: no lock or exclusive mode stands in the way.
        comport.close();
        QVERIFY(!comport.isOpen());
        comport.reconfigureWithDefaults(comport.portNumber(), comport.deviceOverride());
        QVERIFY(comport.isOpen());
        comport.saveSettings(); // the defaults: 9600 baud, 8 bits, no parity, one stop bit, DTR and RTS off
        QStringList saved;
        for (const char* key : {"BaudRate", "ByteSize", "Parity", "StopBits", "DTR", "RTS"})
            saved << Settings().value(QStringLiteral("Comport/") + key).toString();
        QCOMPARE(saved, QStringList({"12", "3", "0", "0", "0", "0"}));
    }

    void missingDeviceGivesOneWarningLine_data()
    {
        QTest::addColumn<int>("number"); // 1: a device named rather than numbered
        QTest::addColumn<QString>("message");
        QTest::newRow("named device") << 1 << QStringLiteral("^Comport: cannot open port 1 \\(.*no-such-tty\\): .+");
        // Nothing was tried, so no error of the serial library belongs here.
        QTest::newRow("port 0") << 0 << QStringLiteral("^Comport: cannot open port 0: no serial device has this number$");
    }

    void missingDeviceGivesOneWarningLine()
    {
        QFETCH(int, number);
        QFETCH(QString, message);
        store({{"ComNumber", number}});
        if (number)
            store({{"Device", m_dir.filePath(QStringLiteral("no-such-tty"))}});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(message));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        Comport comport;
        comport.ptt(true), comport.ptt(false);
        QVERIFY(!comport.isOpen() && comport.discardIncoming() == 0);
    }

    // The rig settings, each number read in full: QVariant takes 4294967297
    // for 1.
    void rigSettingsOutOfRangeFallBack_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("used");
        QTest::newRow("port") << "Port" << "4533" << 4533;
        QTest::newRow("port 2^32 + 1") << "Port" << "4294967297" << 4532;
        QTest::newRow("port 0") << "Port" << "0" << 4532;
        QTest::newRow("model 2^32 + 2") << "Model" << "4294967298" << 0;
        QTest::newRow("model text") << "Model" << "IC-7300" << 0;
        QTest::newRow("PTT wait, the longest") << "PttWaitMs" << " 10000 " << 10000;
        QTest::newRow("PTT wait too long") << "PttWaitMs" << "10001" << 1000;
    }
    void rigSettingsOutOfRangeFallBack()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(int, used);
        Settings().setValue(QStringLiteral("Rig/") + key, stored);
        if (QString::number(used) != stored.trimmed())
            QTest::ignoreMessage(QtWarningMsg, qPrintable(QStringLiteral("Rig: \"%1\" = \"%2\" is not valid; the default is used").arg(key, stored)));
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        const RigConfig c = RigConfig::load();
        QCOMPARE(key == "Port" ? c.port : key == "Model" ? c.model : c.pttWaitMs, used);
        RigConfig faster = c; // a changed baud rate alone is a change, and is stored
        QVERIFY(++faster.baudRate && faster != c);
    }
};

QTEST_GUILESS_MAIN(TestPseudoTerminal)
#include "tst_pseudoterminal.moc"
