// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/hamlibrig.h"

#include <QElapsedTimer>
#include <QTimer>

#include <hamlib/rig.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <mutex>

static_assert(RigConfig::kDummy == RIG_MODEL_DUMMY && RigConfig::kNetwork == RIG_MODEL_NETRIGCTL,
              "the stored model numbers are Hamlib's");

namespace {

// Hamlib's backend registry is process-wide and not guarded; creating and
// destroying rig objects and walking the model list take turns.
std::mutex& registryMutex()
{
    static std::mutex mutex;
    return mutex;
}

// Called first on the GUI thread (HamlibRig is built there).
void prepareHamlib()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Hamlib's own trace would fill the terminal on every retry; faults
        // reach the user through the status instead.
        rig_set_debug(RIG_DEBUG_NONE);
        // Opening a rig, Hamlib 4.5 switches LC_NUMERIC to "C" and back to
        // the name it read before, which the switch has freed: with any other
        // numeric locale it reads freed memory. Numbers are C numbers for
        // Hamlib anyway, and nothing of ours formats through the C locale.
        std::setlocale(LC_NUMERIC, "C");
    });
}

QString errorText(int code)
{
    return QString::fromLatin1(rigerror2(code)).trimmed();
}

// Codes that mean the rig is not (or no longer) answering, as against a
// request it refuses while the link is fine.
bool isLinkError(int code)
{
    switch (std::abs(code)) {
    case RIG_ETIMEOUT:
    case RIG_EIO:
    case RIG_EPROTO:
    case RIG_ETRUNC:
    case RIG_BUSERROR:
    case RIG_BUSBUSY:
        return true;
    default:
        return false;
    }
}

bool isNetworkPort(int portType)
{
    return portType == RIG_PORT_NETWORK || portType == RIG_PORT_UDP_NETWORK;
}

} // namespace

namespace {

qint64 steadyMs()
{
    static QElapsedTimer clock;
    static std::once_flag once;
    std::call_once(once, [] { clock.start(); });
    return clock.elapsed() + 1; // never 0, which means idle
}

} // namespace

HamlibRig::Busy::Busy(HamlibRig* rig)
    : m_rig(rig)
{
    m_rig->m_busySince.store(steadyMs());
}

HamlibRig::Busy::~Busy()
{
    m_rig->m_busySince.store(0);
}

qint64 HamlibRig::busyMs() const
{
    const qint64 since = m_busySince.load();
    return since == 0 ? 0 : steadyMs() - since;
}

HamlibRig::HamlibRig(QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
{
    prepareHamlib();
    m_timer->setInterval(kPollMs);
    connect(m_timer, &QTimer::timeout, this, &HamlibRig::poll);
}

HamlibRig::~HamlibRig()
{
    close(true);
}

QList<RigModel> HamlibRig::models()
{
    prepareHamlib();
    QList<RigModel> list;
    std::lock_guard<std::mutex> lock(registryMutex());
    rig_load_all_backends();
    rig_list_foreach(
        [](const rig_caps* caps, void* data) -> int {
            RigModel m;
            m.number = int(caps->rig_model);
            m.manufacturer = QString::fromLatin1(caps->mfg_name).trimmed();
            m.name = QString::fromLatin1(caps->model_name).trimmed();
            m.serial = caps->port_type == RIG_PORT_SERIAL;
            m.network = isNetworkPort(caps->port_type);
            static_cast<QList<RigModel>*>(data)->append(m);
            return 1;
        },
        &list);
    std::sort(list.begin(), list.end(), [](const RigModel& a, const RigModel& b) {
        const int c = a.manufacturer.compare(b.manufacturer, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name.compare(b.name, Qt::CaseInsensitive) < 0;
    });
    return list;
}

void HamlibRig::configure(const RigConfig& config)
{
    close(true);
    m_config = config;
    m_status = RigStatus();
    if (!m_config.usesHamlib()) {
        m_pttStuck = false; // no longer ours to release
        m_timer->stop();
        publish();
        return;
    }
    m_timer->start();
    open();
}

bool HamlibRig::open()
{
    m_where = m_config.linkName();
    // While retrying, the fault stays in view rather than flickering.
    if (m_status.link != RigStatus::Link::Down) {
        m_status.link = RigStatus::Link::Connecting;
        m_status.message = tr("connecting to %1").arg(m_where);
        publish();
    }
    const int model = m_config.readsDial() ? m_config.model : RigConfig::kDummy;
    {
        std::lock_guard<std::mutex> lock(registryMutex());
        m_rig = rig_init(rig_model_t(model));
    }
    if (!m_rig) {
        m_status.link = RigStatus::Link::Down;
        m_status.message = tr("Hamlib knows no rig model %1").arg(model);
        publish();
        return false;
    }

    if (m_config.readsDial() && m_config.model != RigConfig::kNetwork) {
        // "Icom IC-7300 on /dev/ttyUSB0" says more than a model number.
        const QString name = QStringLiteral("%1 %2").arg(QLatin1String(m_rig->caps->mfg_name),
                                                         QLatin1String(m_rig->caps->model_name));
        m_where = m_config.device.isEmpty() ? name : tr("%1 on %2").arg(name, m_config.device);
    }
    QString refused;
    const auto set = [&](const char* name, const QString& value) {
        const int e = rig_set_conf(m_rig, rig_token_lookup(m_rig, name), value.toLocal8Bit().constData());
        if (e != RIG_OK && refused.isEmpty())
            refused = tr("%1 \"%2\" refused: %3").arg(QLatin1String(name), value, errorText(e));
    };
    const int portType = m_rig->caps->port_type;
    if (m_config.readsDial() && isNetworkPort(portType)) {
        set("rig_pathname", QStringLiteral("%1:%2").arg(m_config.host).arg(m_config.port));
        set("timeout", QString::number(kNetworkTimeoutMs));
    } else if (m_config.readsDial() && portType == RIG_PORT_SERIAL) {
        if (!m_config.device.isEmpty())
            set("rig_pathname", m_config.device);
        if (m_config.baudRate > 0)
            set("serial_speed", QString::number(m_config.baudRate));
    }
    switch (m_config.ptt) {
    case RigConfig::Ptt::SerialRts:
        // The "Comport" port keys the rig; Hamlib must not open it too.
        set("ptt_type", QStringLiteral("None"));
        break;
    case RigConfig::Ptt::Cat:
        set("ptt_type", QStringLiteral("RIG"));
        break;
    case RigConfig::Ptt::HamlibLine: {
        const QString device = m_config.pttDevice.isEmpty() ? m_config.device : m_config.pttDevice;
        if (device.isEmpty() && refused.isEmpty())
            refused = tr("no device is set for the PTT line");
        set("ptt_type", m_config.pttDtr ? QStringLiteral("DTR") : QStringLiteral("RTS"));
        set("ptt_pathname", device);
        break;
    }
    }
    int e = RIG_OK;
    if (refused.isEmpty()) {
        const Busy busy(this);
        e = rig_open(m_rig);
    }
    if (!refused.isEmpty() || e != RIG_OK) {
        {
            std::lock_guard<std::mutex> lock(registryMutex());
            rig_cleanup(m_rig);
        }
        m_rig = nullptr;
        m_status = RigStatus();
        m_status.link = RigStatus::Link::Down;
        m_status.message = tr("cannot open %1: %2; retrying").arg(m_where, refused.isEmpty() ? errorText(e) : refused);
        publish();
        return false;
    }

    m_status.link = RigStatus::Link::Up;
    m_status.message.clear();
    // A keying that may have stuck is released before anything else; a
    // link lost again on it is retried on the next tick.
    if (m_pttStuck && release() != RIG_OK && !m_rig)
        return false;
    poll();
    return m_rig != nullptr;
}

void HamlibRig::close(bool releasePtt)
{
    if (!m_rig)
        return;
    const Busy busy(this);
    if (m_status.ptt || m_pttStuck) {
        m_pttStuck = !releasePtt || rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_OFF) != RIG_OK;
        m_status.ptt = false;
    }
    rig_close(m_rig);
    std::lock_guard<std::mutex> lock(registryMutex());
    rig_cleanup(m_rig);
    m_rig = nullptr;
}

void HamlibRig::lose(const QString& what, int code)
{
    // A link that has just failed would only time out again on a release:
    // it is sent once the rig answers again.
    close(false);
    m_status = RigStatus();
    m_status.link = RigStatus::Link::Down;
    m_status.message = tr("%1 %2: %3; retrying").arg(what, m_where, errorText(code));
    publish();
}

void HamlibRig::poll()
{
    if (!m_config.usesHamlib())
        return;
    if (!m_rig) {
        open();
        return;
    }
    if (m_pttStuck && release() != RIG_OK && !m_rig)
        return;
    const Busy busy(this);
    if (!m_config.readsDial()) {
        // A PTT line only: asking for its state notices a device that went.
        ptt_t ptt = RIG_PTT_OFF;
        const int e = rig_get_ptt(m_rig, RIG_VFO_CURR, &ptt);
        if (e != RIG_OK && isLinkError(e))
            lose(tr("lost"), e);
        return;
    }
    freq_t hz = 0;
    int e = rig_get_freq(m_rig, RIG_VFO_CURR, &hz);
    if (e != RIG_OK) {
        lose(tr("no answer from"), e);
        return;
    }
    rmode_t mode = RIG_MODE_NONE;
    pbwidth_t width = 0;
    e = rig_get_mode(m_rig, RIG_VFO_CURR, &mode, &width);
    if (e != RIG_OK && isLinkError(e)) {
        lose(tr("no answer from"), e);
        return;
    }
    m_status.dialHz = hz;
    m_status.mode = e == RIG_OK && mode != RIG_MODE_NONE ? QString::fromLatin1(rig_strrmode(mode)) : QString();
    publish();
}

void HamlibRig::setPtt(bool on, quint64 request)
{
    const auto answer = [&](int code) {
        if (request != 0)
            emit pttAnswered(request, code == RIG_OK, code == RIG_OK ? QString() : errorText(code));
    };
    if (!on) {
        answer(m_status.ptt || m_pttStuck ? release() : RIG_OK);
        return;
    }
    if (!m_rig) {
        if (request != 0)
            emit pttAnswered(request, false, m_status.message);
        return;
    }
    int e = RIG_OK;
    {
        const Busy busy(this);
        e = rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_ON);
    }
    if (e == RIG_OK) {
        m_status.ptt = true;
        m_pttStuck = false;
        publish();
        answer(e);
        return;
    }
    // Refused or unanswered, the rig may have carried it out all the same
    // (the answer lost, or the link gone right after the command).
    m_pttStuck = true;
    if (isLinkError(e))
        lose(tr("push-to-talk failed on"), e);
    else
        release();
    answer(e);
}

int HamlibRig::release()
{
    if (!m_rig) {
        // Closing released it, or m_pttStuck has it sent once the rig is back.
        publish();
        return m_pttStuck ? -RIG_EIO : RIG_OK;
    }
    int e = RIG_OK;
    {
        const Busy busy(this);
        e = rig_set_ptt(m_rig, RIG_VFO_CURR, RIG_PTT_OFF);
        ptt_t ptt = RIG_PTT_ON;
        // A rig that will not take the command may still say it is not keyed.
        if (e != RIG_OK && !isLinkError(e) && rig_get_ptt(m_rig, RIG_VFO_CURR, &ptt) == RIG_OK && ptt == RIG_PTT_OFF)
            e = RIG_OK;
    }
    m_status.ptt = false;
    m_pttStuck = e != RIG_OK;
    if (isLinkError(e))
        lose(tr("cannot release push-to-talk on"), e);
    else
        publish();
    return e;
}

void HamlibRig::publish()
{
    m_status.pttUnsure = m_pttStuck;
    if (m_status == m_published)
        return;
    m_published = m_status;
    emit statusChanged(m_status);
}
