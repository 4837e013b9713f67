// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/pskreceiver.h"

#include "modem/pskdecode.h"

#include <iterator>

// Each receiver's file provides its make function.
std::unique_ptr<PskReceiver> makeStandardReceiver(bool qpsk);
std::unique_ptr<PskReceiver> makeSensitiveReceiver(bool qpsk);

namespace {

struct Entry
{
    const char* name;
    std::unique_ptr<PskReceiver> (*make)(bool qpsk);
};

// The receivers the program offers, by the names the settings store.
const Entry kReceivers[] = {
    {"standard", makeStandardReceiver},
    {"sensitive", makeSensitiveReceiver},
};

} // namespace

void PskReceiver::setOutputs(CPskRecCharDone* chars, CSymbolReceiver* symbols, int charSet)
{
    CPskBitDecode& d = decoder();
    d.setCharSink(chars);
    d.setSymbolSink(symbols);
    d.setCharSet(charSet);
}

namespace PskReceivers {

QString standardName()
{
    return QString::fromLatin1(kReceivers[0].name);
}

QString defaultName()
{
    return QString::fromLatin1(kReceivers[1].name);
}

std::unique_ptr<PskReceiver> make(const QString& name, bool qpsk)
{
    for (const Entry& e : kReceivers) {
        if (name == QLatin1String(e.name))
            return e.make(qpsk);
    }
    return nullptr;
}

} // namespace PskReceivers
