// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class CPskBitDecode;
class CPskRecCharDone;
class CPskRxAlgorithms;
class CSymbolReceiver;

// One PSK receiver behind the one seam every receiver shares. Samples go
// in; decided characters and each symbol's phase-scope vector come out
// through the sinks, and the decoder keeps the quality (0 to 31), the AFC
// error and the run of zero bits for the owner to read. The tuning (receive
// frequency, sample rate, symbol rate) is held by the front end the owner
// keeps (CPskRxAlgorithms), so that a receiver chosen afresh starts where
// the last one was tuned.
//
// Receivers are chosen by name from one table (PskReceivers); adding one is
// a new file with its make function and a line in that table. GUI thread
// (or whichever thread owns the channel), like the front end.
class PskReceiver
{
public:
    virtual ~PskReceiver() = default;

    // Ties the receiver to the front end that holds the tuning.
    virtual void attach(CPskRxAlgorithms& frontEnd) = 0;
    // Runs count samples through the receiver at the front end's tuning.
    virtual void process(const qint16* samples, int count, CPskRxAlgorithms& frontEnd) = 0;
    // The receiver's own state starts afresh (a replay of older audio).
    virtual void restart() = 0;
    // The decoder: Varicode word assembly, quality, AFC error, zero run.
    virtual CPskBitDecode& decoder() = 0;
    // QPSK's phase rotation the other way round.
    virtual void setInversion(bool on) = 0;

    // Where characters and symbols go, and the character set they are
    // decoded in.
    void setOutputs(CPskRecCharDone* chars, CSymbolReceiver* symbols, int charSet);
};

namespace PskReceivers {

// The receiver built from the classic chain, bit for bit.
QString standardName();
// The receiver a first start and the command line use: the sensitive one,
// which copies deeper into the noise and follows a fading channel.
QString defaultName();
// A receiver of that name for BPSK or QPSK; null for a name the table does
// not hold. Building a decoder clears the shared 8-bit decode table; it is
// filled again here.
std::unique_ptr<PskReceiver> make(const QString& name, bool qpsk);

} // namespace PskReceivers
