// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/rigconfig.h"

#include "core/settings.h"

#include <QtDebug>

#include <limits>

namespace {

const QString kGroup = QStringLiteral("Rig");
const char* const kPttNames[] = {"SerialRts", "Cat", "HamlibLine"};

void warnDefault(const QString& key, const QVariant& value)
{
    qWarning().noquote() << QStringLiteral("Rig: \"%1\" = \"%2\" is not valid; the default is used")
                                .arg(key, value.toString());
}

// A whole number from min to max, read from its text: QVariant would wrap
// 4294967297 round to 1.
int readInt(const Settings& s, const QString& key, int fallback, qint64 min, qint64 max)
{
    if (!s.contains(key))
        return fallback;
    const QVariant stored = s.value(key);
    bool ok = false;
    const qint64 v = stored.toString().trimmed().toLongLong(&ok);
    if (ok && v >= min && v <= max)
        return int(v);
    warnDefault(key, stored);
    return fallback;
}

} // namespace

QString RigConfig::linkName() const
{
    if (model == kNetwork)
        return QStringLiteral("rigctld at %1:%2").arg(host).arg(port);
    if (model == kNone)
        return QStringLiteral("the PTT line on %1").arg(pttDevice);
    if (device.isEmpty())
        return QStringLiteral("rig model %1").arg(model);
    return QStringLiteral("rig model %1 on %2").arg(model).arg(device);
}

RigConfig RigConfig::load()
{
    RigConfig c;
    Settings s;
    s.beginGroup(kGroup);
    c.model = readInt(s, QStringLiteral("Model"), kNone, 0, std::numeric_limits<int>::max());
    c.device = s.value(QStringLiteral("Device")).toString().trimmed();
    c.baudRate = readInt(s, QStringLiteral("BaudRate"), 0, 0, 10000000);
    c.host = s.value(QStringLiteral("Host"), c.host).toString().trimmed();
    if (c.host.isEmpty())
        c.host = QStringLiteral("localhost");
    c.port = readInt(s, QStringLiteral("Port"), kDefaultPort, 1, 65535);
    const QString ptt = s.value(QStringLiteral("Ptt"), QLatin1String(kPttNames[0])).toString();
    int i = 0;
    while (i < 3 && ptt != QLatin1String(kPttNames[i]))
        ++i;
    if (i == 3)
        warnDefault(QStringLiteral("Ptt"), ptt);
    c.ptt = i < 3 ? Ptt(i) : Ptt::SerialRts;
    c.pttDtr = s.value(QStringLiteral("PttLine"), QStringLiteral("RTS")).toString().compare(
                   QLatin1String("DTR"), Qt::CaseInsensitive)
               == 0;
    c.pttDevice = s.value(QStringLiteral("PttDevice")).toString().trimmed();
    c.pttWaitMs = readInt(s, QStringLiteral("PttWaitMs"), kDefaultPttWaitMs, kMinPttWaitMs, kMaxPttWaitMs);
    return c;
}

void RigConfig::save() const
{
    Settings s;
    s.beginGroup(kGroup);
    s.setValue(QStringLiteral("Model"), model);
    s.setValue(QStringLiteral("Device"), device);
    s.setValue(QStringLiteral("BaudRate"), baudRate);
    s.setValue(QStringLiteral("Host"), host);
    s.setValue(QStringLiteral("Port"), port);
    s.setValue(QStringLiteral("Ptt"), QLatin1String(kPttNames[int(ptt)]));
    s.setValue(QStringLiteral("PttLine"), pttDtr ? QStringLiteral("DTR") : QStringLiteral("RTS"));
    s.setValue(QStringLiteral("PttDevice"), pttDevice);
    s.setValue(QStringLiteral("PttWaitMs"), pttWaitMs);
}

bool RigConfig::operator==(const RigConfig& o) const
{
    return model == o.model && device == o.device && baudRate == o.baudRate && host == o.host
           && port == o.port && ptt == o.ptt && pttDtr == o.pttDtr && pttDevice == o.pttDevice
           && pttWaitMs == o.pttWaitMs;
}
