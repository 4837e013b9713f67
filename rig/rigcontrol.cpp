// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/rigcontrol.h"

#include "rig/hamlibrig.h"
#include "rig/jobqueue.h"

#include <QThread>
#include <QTimer>
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
    QString words;
    switch (link) {
    case Link::Off:
        break;
    case Link::Up:
        if (dialHz <= 0.0)
            words = QObject::tr("Rig: PTT ready");
        else
            words = mode.isEmpty() ? dialText(dialHz) : dialText(dialHz) + QLatin1Char(' ') + mode;
        break;
    case Link::Connecting:
    case Link::Down:
        words = QObject::tr("Rig: %1").arg(message);
        break;
    }
    if (pttUnsure)
        words += QObject::tr(" (may still be keyed: releasing push-to-talk)");
    return words;
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
    , m_pttTimer(new QTimer(this))
    , m_replies(new JobQueue(this))
    , m_jobs(new JobQueue)
    , m_gate(std::make_shared<Gate>())
{
    qRegisterMetaType<RigStatus>();
    m_pttTimer->setSingleShot(true);
    connect(m_pttTimer, &QTimer::timeout, this, &RigControl::pttNotConfirmed);
    m_thread->setObjectName(QStringLiteral("rig control"));
    m_worker->moveToThread(m_thread);
    m_jobs->moveToThread(m_thread);
    // The rig thread's reports come back the same way the work goes there;
    // the queue drops them once this object is gone.
    const JobQueue::Poster replies = m_replies->poster();
    connect(m_worker, &HamlibRig::statusChanged, m_worker, [this, replies](const RigStatus& status) {
        replies.post([this, status] {
            m_status = status;
            emit statusChanged(status);
        });
    }, Qt::DirectConnection);
    connect(m_worker, &HamlibRig::pttAnswered, m_worker, [this, replies](quint64 request, bool ok, const QString& error) {
        replies.post([this, request, ok, error] { answerPtt(request, ok, error); });
    }, Qt::DirectConnection);
    const std::shared_ptr<Gate> gate = m_gate;
    connect(m_thread, &QThread::started, m_thread, [gate] { gate->open(); }, Qt::DirectConnection);
    m_thread->start();
    // Its event loop exists before anything is posted to it.
    gate->waitOpen();
    setConfig(m_config);
}

void RigControl::Gate::open()
{
    const std::lock_guard<std::mutex> lock(mutex);
    ++state;
    changed.notify_all();
}

bool RigControl::Gate::waitOpen(int count, int ms)
{
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(ms), [&] { return state >= count; });
}

RigControl::~RigControl()
{
    HamlibRig* worker = m_worker;
    const std::shared_ptr<Gate> gate = m_gate;
    m_jobs->post([worker, gate] {
        delete worker;
        gate->open();
        QThread::currentThread()->quit();
    });
    // A rig that hangs in a time-out holds the thread that long; beyond
    // that the program ends without waiting for it.
    if (gate->waitOpen(2, 3 * HamlibRig::kNetworkTimeoutMs) && m_thread->wait(3 * HamlibRig::kNetworkTimeoutMs)) {
        delete m_jobs;
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
    m_jobs->post([worker, config] { worker->configure(config); });
}

RigControl::PttStart RigControl::pttUp(QString* why)
{
    if (m_keyed == Keyed::Waiting)
        return PttStart::Waiting;
    if (m_keyed != Keyed::None)
        return PttStart::Keyed;
    QString reason;
    switch (m_config.ptt) {
    case RigConfig::Ptt::SerialRts:
        if (m_serialRts)
            m_serialRts(true);
        m_keyed = Keyed::Serial;
        return PttStart::Keyed;
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
        // A rig already silent for longer than the wait will not confirm
        // this one in time either.
        if (m_worker->busyMs() > m_config.pttWaitMs) {
            reason = tr("the rig is not answering");
            break;
        }
        m_request = ++m_lastRequest;
        m_keyed = Keyed::Waiting;
        m_pttTimer->start(m_config.pttWaitMs);
        HamlibRig* worker = m_worker;
        const quint64 request = m_request;
        m_jobs->post([worker, request] { worker->setPtt(true, request); });
        return PttStart::Waiting;
    }
    }
    if (why)
        *why = reason;
    return PttStart::Refused;
}

void RigControl::answerPtt(quint64 request, bool ok, const QString& error)
{
    if (request == 0 || request != m_request)
        return; // given up or cancelled; the release followed the request
    m_request = 0;
    m_pttTimer->stop();
    m_keyed = ok ? Keyed::Hamlib : Keyed::None;
    emit pttAnswered(ok, ok ? QString() : tr("the rig refused push-to-talk: %1").arg(error));
}

void RigControl::pttNotConfirmed()
{
    if (m_keyed != Keyed::Waiting)
        return;
    // The request still stands on the rig thread: release after it.
    pttDown();
    emit pttAnswered(false, tr("the rig did not confirm push-to-talk within %1 ms").arg(m_config.pttWaitMs));
}

void RigControl::pttDown()
{
    const Keyed keyed = m_keyed;
    m_keyed = Keyed::None;
    m_request = 0;
    m_pttTimer->stop();
    if (keyed == Keyed::Hamlib || keyed == Keyed::Waiting) {
        HamlibRig* worker = m_worker;
        m_jobs->post([worker] { worker->setPtt(false); });
    } else if ((keyed == Keyed::Serial || m_config.ptt == RigConfig::Ptt::SerialRts) && m_serialRts) {
        m_serialRts(false);
    }
}
