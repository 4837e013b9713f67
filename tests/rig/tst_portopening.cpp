// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How the push-to-talk port is opened, keyed, reopened and remembered, seen
// through a stand-in port that records what it is asked.

#include "app/settings.h"
#include "rig/comport.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

// Shared with the test, because Comport owns and replaces the port objects.
struct PortLog
{
    QStringList calls;
    bool openSucceeds = true;
};

class RecordingPort : public SerialPortAdapter
{
public:
    RecordingPort(const QString& device, std::shared_ptr<PortLog> log)
        : m_device(device), m_log(std::move(log))
    {
        add(QStringLiteral("create ") + device);
    }
    ~RecordingPort() override { add(QStringLiteral("destroy")); }

    void setBaudRate(int code) override { add(QStringLiteral("baud %1").arg(code)); }
    void setFlowControlOff() override { add(QStringLiteral("flow off")); }
    void setParity(int code) override { add(QStringLiteral("parity %1").arg(code)); }
    void setDataBits(int code) override { add(QStringLiteral("data %1").arg(code)); }
    void setStopBits(int code) override { add(QStringLiteral("stop %1").arg(code)); }
    bool open() override
    {
        add(QStringLiteral("open"));
        return m_open = m_log->openSucceeds && !m_device.isEmpty();
    }
    bool isOpen() const override { return m_open; }
    void close() override { add(QStringLiteral("close")); m_open = false; }
    void setDtr(bool on) override { add(QStringLiteral("dtr %1").arg(int(on))); }
    void setRts(bool on) override { add(QStringLiteral("rts %1").arg(int(on))); }
    qint64 bytesAvailable() const override { return 0; }
    QByteArray read(qint64) override { return {}; }
    QString portName() const override { return m_device; }
    QString errorString() const override { return QStringLiteral("Permission denied"); }

private:
    void add(const QString& call) { m_log->calls << call; }

    QString m_device;
    std::shared_ptr<PortLog> m_log;
    bool m_open = false;
};

QStringList opening(const QString& device, int baud, int data, int parity, int stop, int dtr, int rts)
{
    return {QStringLiteral("create ") + device, QStringLiteral("baud %1").arg(baud),
            QStringLiteral("flow off"),         QStringLiteral("parity %1").arg(parity),
            QStringLiteral("data %1").arg(data), QStringLiteral("stop %1").arg(stop),
            QStringLiteral("open"),             QStringLiteral("dtr %1").arg(dtr),
            QStringLiteral("rts %1").arg(rts)};
}

} // namespace

class TestPortOpening : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::shared_ptr<PortLog> m_log;

    Comport::AdapterFactory factory() const
    {
        return [log = m_log](const QString& device) { return std::make_unique<RecordingPort>(device, log); };
    }
    static void store(const QVariantMap& values)
    {
        Settings settings;
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            settings.setValue(QStringLiteral("Comport/") + it.key(), it.value());
    }

private slots:
    void init()
    {
        const QString path = m_dir.filePath(QStringLiteral("velkora.ini"));
        QFile::remove(path);
        Settings::setPath(path);
        m_log = std::make_shared<PortLog>();
    }

    void storedSettingsOpenThePortInOrder_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("nothing stored: COM1, 9600 8N1, DTR and RTS off")
            << QVariantMap{} << opening("/dev/ttyS0", 12, 3, 0, 0, 0, 0);
        QTest::newRow("every key")
            << QVariantMap{{"ComNumber", 3}, {"BaudRate", 19}, {"ByteSize", 2}, {"Parity", 2},
                           {"StopBits", 2}, {"DTR", 1}, {"RTS", 1}}
            << opening("/dev/ttyS2", 19, 2, 2, 2, 1, 1);
        QTest::newRow("USB adapter by number") << QVariantMap{{"ComNumber", 101}}
                                               << opening("/dev/ttyUSB1", 12, 3, 0, 0, 0, 0);
        QTest::newRow("device key wins") << QVariantMap{{"ComNumber", 5}, {"Device", "/dev/rig"}}
                                         << opening("/dev/rig", 12, 3, 0, 0, 0, 0);
    }

    void storedSettingsOpenThePortInOrder()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QStringList, expected);
        store(stored);
        Comport comport(factory());
        QVERIFY(comport.isOpen());
        QCOMPARE(m_log->calls, expected);
    }

    void pttDrivesOnlyRts()
    {
        store({{"RTS", 1}}); // stays up after opening until the first transmission ends
        Comport comport(factory());
        m_log->calls.clear();
        comport.ptt(true);
        comport.ptt(false);
        QCOMPARE(m_log->calls, (QStringList{"rts 1", "rts 0"}));
    }

    void dialogReopensWithResetLineSettingsAndAllIsSaved()
    {
        store({{"ComNumber", 12}, {"BaudRate", 15}, {"ByteSize", 1}, {"Parity", 1},
               {"StopBits", 2}, {"DTR", 1}, {"RTS", 1}});
        {
            Comport comport(factory());
            m_log->calls.clear();
            comport.close();
            comport.reconfigureWithDefaults(12); // the number already in use
            QStringList expected = opening("/dev/ttyS11", 12, 3, 0, 0, 0, 0);
            expected.insert(1, QStringLiteral("destroy")); // the old port object goes
            expected.prepend(QStringLiteral("close"));
            QCOMPARE(m_log->calls, expected);
            comport.reconfigure(7, 17, 2, 3, 1, 1, 0);
            QVERIFY(m_log->calls.contains("create /dev/ttyS6"));
        }
        QCOMPARE(m_log->calls.mid(m_log->calls.size() - 2), (QStringList{"close", "destroy"}));
        Settings settings;
        settings.beginGroup(QStringLiteral("Comport"));
        const QVariantMap saved{{"ComNumber", 7}, {"BaudRate", 17}, {"ByteSize", 2}, {"Parity", 3},
                                {"StopBits", 1}, {"DTR", 1},       {"RTS", 0}};
        for (auto it = saved.cbegin(); it != saved.cend(); ++it)
            QCOMPARE(settings.value(it.key()).toInt(), it.value().toInt());
    }

    void portThatFailsToOpenWarnsOnce_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("warning");
        QTest::newRow("refused") << 4 << "cannot open port 4 \\(/dev/ttyS3\\): Permission denied";
        QTest::newRow("no device for the number") << 0 << "cannot open port 0 \\(no device";
    }

    void portThatFailsToOpenWarnsOnce()
    {
        QFETCH(int, number);
        QFETCH(QString, warning);
        m_log->openSucceeds = false;
        store({{"ComNumber", number}, {"RTS", 1}});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
        Comport comport(factory());
        QVERIFY(!comport.isOpen());
        QCOMPARE(m_log->calls.last(), QStringLiteral("open")); // no line set on a closed port
        comport.ptt(true); // the transmission goes on unkeyed
        comport.ptt(false);
    }

    void portNumbersNameDevices()
    {
        // Windows knows COM10 and above only in the device namespace.
        QCOMPARE(Comport::windowsPortName(9), QStringLiteral("COM9"));
        QCOMPARE(Comport::windowsPortName(12), QStringLiteral("\\\\.\\COM12"));
        const QList<QPair<int, QString>> devices{
            {0, ""},         {1, "/dev/ttyS0"},     {99, "/dev/ttyS98"},  {100, "/dev/ttyUSB0"},
            {199, "/dev/ttyUSB99"}, {200, "/dev/ttyACM0"}, {299, "/dev/ttyACM99"}, {300, ""}};
        for (const auto& [number, device] : devices)
            QCOMPARE(Comport::linuxDeviceName(number), device);
    }
};

QTEST_GUILESS_MAIN(TestPortOpening)
#include "tst_portopening.moc"
