// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/rigcontrol.h"

#include "rig/hamlibrig.h"

#include <QThread>
#include <QtDebug>

#include <cmath>
#include <limits>

QString RigStatus::dialText(double hz)
{
    QString digits = QString::number(qint64(std::llround(hz)));
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char('.'));
    return digits;
}

QString RigStatus::text() const
{
    switch (link) {
    case Link::Off:
        return QString();
    case Link::Up:
        if (dialHz <= 0.0)
            return QObject::tr("Rig: PTT ready");
        return mode.isEmpty() ? dialText(dialHz) : dialText(dialHz) + QLatin1Char(' ') + mode;
    case Link::Connecting:
    case Link::Down:
        break;
    }
    return QObject::tr("Rig: %1").arg(message);
}

quint32 RigStatus::qsoFrequency(double audioHz) const
{
    if (!hasDial())
        return 0;
    const bool lower = mode == QLatin1String("LSB") || mode == QLatin1String("PKTLSB");
    const double hz = std::round(lower ? dialHz - audioHz : dialHz + audioHz);
    if (!std::isfinite(hz) || hz <= 0.0)
        return 0;
    return hz >= double(std::numeric_limits<quint32>::max()) ? std::numeric_limits<quint32>::max()
                                                              : quint32(hz);
}

RigControl::RigControl(SerialRts serialRts, QObject* parent)
    : QObject(parent)
    , m_serialRts(std::move(serialRts))
    , m_config(RigConfig::load())
    , m_thread(new QThread)
    , m_worker(new HamlibRig)
{
    qRegisterMetaType<RigStatus>();
    m_thread->setObjectName(QStringLiteral("rig control"));
    m_worker->moveToThread(m_thread);
    connect(m_worker, &HamlibRig::statusChanged, this, [this](const RigStatus& status) {
        m_status = status;
        emit statusChanged(status);
    });
    m_thread->start();
    setConfig(m_config);
}

RigControl::~RigControl()
{
    HamlibRig* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker] {
        delete worker;
        QThread::currentThread()->quit();
    });
    // A rig that hangs in a time-out holds the thread that long; beyond
    // that the program ends without waiting for it.
    if (m_thread->wait(3 * HamlibRig::kNetworkTimeoutMs)) {
        delete m_thread;
    } else {
        qWarning() << "Rig: the rig-control thread did not end; left behind";
    }
}

void RigControl::setConfig(const RigConfig& config)
{
    const bool stored = config != RigConfig::load();
    m_config = config;
    if (stored)
        m_config.save();
    HamlibRig* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, config] { worker->configure(config); });
}

bool RigControl::pttUp(QString* why)
{
    if (m_keyed != Keyed::None)
        return true;
    QString reason;
    switch (m_config.ptt) {
    case RigConfig::Ptt::SerialRts:
        if (m_serialRts)
            m_serialRts(true);
        m_keyed = Keyed::Serial;
        return true;
    case RigConfig::Ptt::Cat:
        if (!m_config.readsDial()) {
            reason = tr("push-to-talk through CAT needs a rig (Configure, Rig control...)");
            break;
        }
        [[fallthrough]];
    case RigConfig::Ptt::HamlibLine: {
        if (m_status.link != RigStatus::Link::Up) {
            reason = tr("the rig is not connected (%1)").arg(m_status.message);
            break;
        }
        // A rig already silent for longer than a PTT answer may take will
        // not answer this one either: no need to wait for it.
        if (m_worker->busyMs() > kPttAnswerMs) {
            reason = tr("the rig is not answering");
            break;
        }
        auto reply = std::make_shared<PttReply>();
        HamlibRig* worker = m_worker;
        QMetaObject::invokeMethod(worker, [worker, reply] { worker->setPtt(true, reply); });
        if (!reply->wait(kPttAnswerMs)) {
            // The request still stands on the rig thread: release after it.
            QMetaObject::invokeMethod(worker, [worker] { worker->setPtt(false, nullptr); });
            reason = tr("the rig did not confirm push-to-talk");
        } else if (!reply->ok()) {
            reason = tr("the rig refused push-to-talk: %1").arg(reply->error());
        } else {
            m_keyed = Keyed::Hamlib;
            return true;
        }
        break;
    }
    }
    if (why)
        *why = reason;
    return false;
}

void RigControl::pttDown()
{
    const Keyed keyed = m_keyed;
    m_keyed = Keyed::None;
    if (keyed == Keyed::Hamlib) {
        HamlibRig* worker = m_worker;
        QMetaObject::invokeMethod(worker, [worker] { worker->setPtt(false, nullptr); });
    } else if ((keyed == Keyed::Serial || m_config.ptt == RigConfig::Ptt::SerialRts) && m_serialRts) {
        m_serialRts(false);
    }
}

void RigControl::tune(double hz, const QString& mode)
{
    HamlibRig* worker = m_worker;
    QMetaObject::invokeMethod(worker, [worker, hz, mode] { worker->tune(hz, mode); });
}
