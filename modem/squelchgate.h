// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// The squelch by level: text goes through while the tuned signal's S/N
// (SignalQuality, dB in 2500 Hz) stands at or above the level. Noise alone
// reads far below any signal a receiver can copy (its excess over the band's
// median sums to about nothing), so a level between the two keeps the noise
// out without the decoder's quality figure, which noise now and then
// reaches and which a weak QPSK signal seldom does.
//
// The averaged spectrum takes a few tenths of a second to show a signal that
// starts, so what was decoded shortly before the gate opens is held, and
// goes out when it opens; held text older than that is dropped. The
// spectrum forgets a signal that ends within a second, and the gate closes
// with it. GUI thread, like the transceiver that owns it.
class SquelchGate
{
public:
    // Levels the window offers, and its default: below every signal the
    // receivers copy (about -12 dB for BPSK31 on the sensitive receiver),
    // above what noise reads at the widest mode.
    static constexpr int kMinLevel = -30;
    static constexpr int kMaxLevel = 20;
    static constexpr int kDefaultLevel = -16;
    // Text decoded up to this long before the gate opens still goes out.
    static constexpr double kLookBackSeconds = 0.8;

    void setLevel(double db) { m_level = db; }
    double level() const { return m_level; }
    bool isOpen() const { return m_open; }

    // The S/N measured now, after `at` seconds of received audio. Returns
    // the text held back that opening lets through (empty when none).
    QString update(double snrDb, double at);
    // A character decoded at `at` seconds: true when it may go out now;
    // otherwise it is held.
    bool pass(QChar ch, double at);
    // Forgets the held text (a retune: it belongs to another signal).
    void clear();

private:
    struct Held
    {
        QChar ch;
        double at;
    };
    double m_level = kDefaultLevel;
    bool m_open = false;
    std::vector<Held> m_held;
};
