// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/bruxmode.h"

#include <QString>

CBruxCmdTarget::CBruxCmdTarget(QObject* parent)
    : QObject(parent)
{
}

CBruxCmdTarget::~CBruxCmdTarget() = default;

intptr_t CBruxCmdTarget::Command(int code, intptr_t p1, intptr_t, intptr_t)
{
    switch (code) {
    case ModemCommand::kSetOwner:
        setOwner(reinterpret_cast<CBruxCmdTarget*>(p1));
        return 1;
    case ModemCommand::kOwner:
        return reinterpret_cast<intptr_t>(owner());
    default:
        return 0;
    }
}

intptr_t CBruxCmdTarget::CommandToOwner(int code, intptr_t p1, intptr_t p2, intptr_t p3)
{
    CBruxCmdTarget* o = owner();
    return o ? o->Command(code, p1, p2, p3) : 0;
}

CBruxMode::CBruxMode(QObject* parent)
    : CBruxCmdTarget(parent)
{
}

intptr_t CBruxMode::Command(int code, intptr_t p1, intptr_t p2, intptr_t p3)
{
    if (const intptr_t r = CBruxCmdTarget::Command(code, p1, p2, p3))
        return r;
    switch (code) {
    case ModemCommand::kPassToOwner:
        // Passing this on to an owner that is this object itself would come
        // straight back here; only a different owner hears it.
        if (owner() != this)
            CommandToOwner(ModemCommand::kPassToOwner, p1, p2, p3);
        return 1;
    case ModemCommand::kSetUserA:
        m_userA = qint32(p1);
        return 1;
    case ModemCommand::kUserA:
        return m_userA;
    case ModemCommand::kSetUserB:
        m_userB = qint32(p1);
        return 1;
    case ModemCommand::kTextCommand:
        return reinterpret_cast<intptr_t>(TextCommand(reinterpret_cast<const char*>(p1)));
    default:
        return 0;
    }
}

CSoundCardTxRx::CSoundCardTxRx(QObject* parent)
    : CBruxMode(parent)
    , m_ring(kRingSize, 0)
{
}

CSoundCardTxRx::~CSoundCardTxRx() = default;

intptr_t CSoundCardTxRx::Command(int code, intptr_t p1, intptr_t p2, intptr_t p3)
{
    if (const intptr_t r = CBruxMode::Command(code, p1, p2, p3))
        return r;
    switch (code) {
    case ModemCommand::kService:
        Service();
        return 1;
    case ModemCommand::kTxLevel:
        return txLevel();
    case ModemCommand::kSetTxLevel: {
        const quint32 v = quint32(p1);
        const qint32 level = v == 0 ? 1 : (v >= 10000 ? 10000 : qint32(v));
        m_txLevel.store(level, std::memory_order_relaxed);
        return 1;
    }
    case ModemCommand::kReserved26:
    case ModemCommand::kReserved88:
    case ModemCommand::kReserved151:
        return 1;
    case ModemCommand::kNominalRate:
        return kNominalRate;
    case ModemCommand::kSetTxOffset:
        m_txOffset = qint32(p1);
        return 1;
    case ModemCommand::kRxLockState:
        return m_rxLock;
    case ModemCommand::kSetUserC:
        m_userC = qint32(p1);
        return 1;
    default:
        return 0;
    }
}

const char* CSoundCardTxRx::TextCommand(const char* text)
{
    if (!text)
        return text;
    const QString upper = QString::fromLatin1(text).toUpper();
    int code = 0;
    if (upper.contains(QLatin1String("RXFQ:")))
        code = ModemCommand::kSetRxFrequency;
    else if (upper.contains(QLatin1String("TXFQ:")))
        code = ModemCommand::kSetTxFrequency;
    else
        return text;

    // The number is read from position 5 of the whole text: an optional sign
    // and the leading digits, 0 when there are none.
    const QString rest = upper.mid(5);
    int pos = 0;
    bool negative = false;
    if (pos < rest.size() && (rest[pos] == QLatin1Char('-') || rest[pos] == QLatin1Char('+')))
        negative = rest[pos++] == QLatin1Char('-');
    qint64 number = 0;
    while (pos < rest.size() && rest[pos].isDigit() && number < 100000000)
        number = number * 10 + rest[pos++].digitValue();
    if (negative)
        number = -number;
    if (number < 0)
        return text;
    Command(code, intptr_t(number), 0, 0);
    return nullptr;
}

void CSoundCardTxRx::SetSampleRates(double inputRate, double outputRate)
{
    m_inputRate = inputRate;
    m_outputRate = outputRate;
}

void CSoundCardTxRx::ReceiveSamples(const qint16* samples, int count)
{
    for (int i = 0; i < count; ++i) {
        m_ring[m_writeIndex] = samples[i];
        m_writeIndex = (m_writeIndex + 1) % kRingSize;
    }
    if (count > 0)
        m_fill = int(qMin<qint64>(qint64(m_fill) + count, kRingSize));
}

int CSoundCardTxRx::GenerateTxSamples(qint16*, int)
{
    return 0;
}

void CSoundCardTxRx::SetTransmit(int) {}

int CSoundCardTxRx::takeFromRing(qint16* dst, int max)
{
    int n = 0;
    while (n < max && m_readIndex != m_writeIndex) {
        dst[n++] = m_ring[m_readIndex];
        m_readIndex = (m_readIndex + 1) % kRingSize;
    }
    return n;
}

int CSoundCardTxRx::setRingReadBack(int back)
{
    back = qBound(0, back, m_fill);
    m_readIndex = (m_writeIndex - back + kRingSize) % kRingSize;
    return back;
}

void CSoundCardTxRx::copyRecent(qint16* dst, int count, int back) const
{
    for (int i = 0; i < count; ++i) {
        const int age = back - i; // 1: the newest sample
        dst[i] = age >= 1 && age <= m_fill ? m_ring[size_t((m_writeIndex - age + kRingSize) % kRingSize)] : 0;
    }
}
