// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Opening, keying and reconfiguring the push-to-talk port through the adapter seam.

#include "core/settings.h"
#include "rig/comport.h"

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
    RecordingPort(const QString& device, std::shared_ptr<PortLog> log) : m_device(device), m_log(std::move(log))
    {
        m_log->calls << "create " + device;
    }
    ~RecordingPort() override { m_log->calls << "destroy"; }
    void setBaudRate(int code) override { m_log->calls << QStringLiteral("baud %1").arg(code); }
    void setFlowControlOff() override { m_log->calls << "flow off"; }
    void setParity(int code) override { m_log->calls << QStringLiteral("parity %1").arg(code); }
    void setDataBits(int code) override { m_log->calls << QStringLiteral("data %1").arg(code); }
    void setStopBits(int code) override { m_log->calls << QStringLiteral("stop %1").arg(code); }
    bool open() override
    {
        m_log->calls << "open";
        return m_open = m_log->openSucceeds && !m_device.isEmpty();
    }
    bool isOpen() const override { return m_open; }
    void close() override { m_log->calls << "close", m_open = false; }
    void setDtr(bool on) override { m_log->calls << QStringLiteral("dtr %1").arg(int(on)); }
    void setRts(bool on) override { m_log->calls << QStringLiteral("rts %1").arg(int(on)); }
    qint64 bytesAvailable() const override { return 0; }
    QByteArray read(qint64) override { return {}; }
    QString portName() const override { return m_device; }
    QString errorString() const override { return QStringLiteral("Permission denied"); }

private:
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
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            Settings().setValue(QStringLiteral("Comport/") + it.key(), it.value());
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
        m_log->calls.clear();
        comport.ptt(true);
        comport.ptt(false);
        QCOMPARE(m_log->calls, (QStringList{"rts 1", "rts 0"})); // only RTS keys
    }

    void dialogReopensWithResetLineSettingsAndAllIsSaved()
    {
        store({{"ComNumber", 12}, {"BaudRate", 15}, {"ByteSize", 1}, {"Parity", 1},
               {"StopBits", 2}, {"DTR", 1}, {"RTS", 1}});
        {
            Comport comport(factory());
            m_log->calls.clear();
            comport.close();
            comport.reconfigureWithDefaults(12, QString()); // the number already in use
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

    void portNumbersNameDevices()
    {
        QCOMPARE(Comport::windowsPortName(12), QStringLiteral("\\\\.\\COM12"));
        for (const auto& [number, device] : QList<QPair<int, QString>>{
                 {0, ""}, {99, "/dev/ttyS98"}, {199, "/dev/ttyUSB99"}, {200, "/dev/ttyACM0"}, {300, ""}})
            QCOMPARE(Comport::linuxDeviceName(number), device);
    }
};

QTEST_GUILESS_MAIN(TestPortOpening)
#include "tst_portopening.moc"
