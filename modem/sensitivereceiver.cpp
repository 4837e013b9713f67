// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sensitive receiver (CSensitiveRx) behind the receiver seam: it takes
// the samples itself and reads only the tuning from the front end.

#include "modem/pskreceiver.h"
#include "modem/pskrxalgorithms.h"
#include "modem/psksensitiverx.h"

namespace {

class SensitiveReceiver : public PskReceiver
{
public:
    explicit SensitiveReceiver(bool qpsk) : m_rx(qpsk) {}
    // The front end only holds the tuning here; it decodes nothing.
    void attach(CPskRxAlgorithms& frontEnd) override { frontEnd.setSymbolSink(nullptr); }
    void process(const qint16* samples, int count, CPskRxAlgorithms& frontEnd) override
    {
        m_rx.process(samples, count, frontEnd);
    }
    void restart() override { m_rx.Reset(); }
    CPskBitDecode& decoder() override { return m_rx; }
    void setInversion(bool on) override { m_rx.setInversion(on); }

private:
    CSensitiveRx m_rx;
};

} // namespace

std::unique_ptr<PskReceiver> makeSensitiveReceiver(bool qpsk)
{
    return std::make_unique<SensitiveReceiver>(qpsk);
}
