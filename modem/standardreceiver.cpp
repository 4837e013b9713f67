// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The standard receiver: the front end (CPskRxAlgorithms: mixer, moving
// sums, FIR, symbol clock) feeding the BPSK or QPSK symbol decoder.

#include "modem/pskdecode.h"
#include "modem/pskreceiver.h"
#include "modem/pskrxalgorithms.h"

namespace {

class StandardReceiver : public PskReceiver
{
public:
    explicit StandardReceiver(bool qpsk)
    {
        if (qpsk)
            m_decoder = std::make_unique<CQpskDecode>();
        else
            m_decoder = std::make_unique<CBpskDecode>();
        m_qpsk = qpsk;
    }
    void attach(CPskRxAlgorithms& frontEnd) override { frontEnd.setSymbolSink(m_decoder.get()); }
    void process(const qint16* samples, int count, CPskRxAlgorithms& frontEnd) override
    {
        frontEnd.ProcessSamples(samples, count);
    }
    // The front end's state is its owner's to reset; the decoder carries on.
    void restart() override {}
    CPskBitDecode& decoder() override { return *m_decoder; }
    void setInversion(bool on) override
    {
        if (m_qpsk)
            static_cast<CQpskDecode*>(m_decoder.get())->setInversion(on);
    }

private:
    std::unique_ptr<CPskBitDecode> m_decoder;
    bool m_qpsk = false;
};

} // namespace

std::unique_ptr<PskReceiver> makeStandardReceiver(bool qpsk)
{
    return std::make_unique<StandardReceiver>(qpsk);
}
