// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/rigconfig.h"

#include "core/settings.h"

#include <QtDebug>

namespace {

const QString kGroup = QStringLiteral("Rig");
const char* const kPttNames[] = {"SerialRts", "Cat", "HamlibLine"};

void warnDefault(const QString& key, const QVariant& value)
{
    qWarning().noquote() << QStringLiteral("Rig: \"%1\" = \"%2\" is not valid; the default is used")
                                .arg(key, value.toString());
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
    bool ok = true;
    const QVariant model = s.value(QStringLiteral("Model"), kNone);
    c.model = model.toInt(&ok);
    if (!ok || c.model < 0) {
        warnDefault(QStringLiteral("Model"), model);
        c.model = kNone;
    }
    c.device = s.value(QStringLiteral("Device")).toString().trimmed();
    c.baudRate = qMax(0, s.value(QStringLiteral("BaudRate"), 0).toInt());
    c.host = s.value(QStringLiteral("Host"), c.host).toString().trimmed();
    if (c.host.isEmpty())
        c.host = QStringLiteral("localhost");
    const QVariant port = s.value(QStringLiteral("Port"), kDefaultPort);
    c.port = port.toInt(&ok);
    if (!ok || c.port < 1 || c.port > 65535) {
        warnDefault(QStringLiteral("Port"), port);
        c.port = kDefaultPort;
    }
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
}

bool RigConfig::operator==(const RigConfig& o) const
{
    return model == o.model && device == o.device && baudRate == o.baudRate && host == o.host
           && port == o.port && ptt == o.ptt && pttDtr == o.pttDtr && pttDevice == o.pttDevice;
}
