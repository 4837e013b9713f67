// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>

// What the rig-control thread last learned of the rig: whether the link is
// up, the dial frequency and mode it reported, the push-to-talk state it
// confirmed, and, when something is wrong, what in words.
struct RigStatus
{
    enum class Link {
        Off, // no rig control chosen
        Connecting,
        Up,
        Down, // failed or lost; retried in the background
    };

    Link link = Link::Off;
    double dialHz = 0.0; // 0 while unknown
    QString mode; // Hamlib's name: "USB", "LSB", "PKTUSB", ...
    bool ptt = false;
    // A keying or release failed or went unanswered: the rig may be keyed
    // and the release is being sent until the rig confirms it.
    bool pttUnsure = false;
    QString message; // the fault, while Down; what is tried, while Connecting

    bool hasDial() const { return link == Link::Up && dialHz > 0.0; }
    // The status bar's words: "14.070.000 USB", or the fault; and a keying
    // that may have stuck.
    QString text() const;
    // The frequency of a station heard at audioHz in the receiver: the dial
    // plus the audio frequency, minus it on the lower sideband; whole Hz, or
    // 0 while the dial is unknown.
    quint32 qsoFrequency(double audioHz) const;
    // "14.070.000": Hz in groups of three.
    static QString dialText(double hz);

    bool operator==(const RigStatus& o) const
    {
        return link == o.link && dialHz == o.dialHz && mode == o.mode && ptt == o.ptt
               && pttUnsure == o.pttUnsure && message == o.message;
    }
    bool operator!=(const RigStatus& o) const { return !(*this == o); }
};

Q_DECLARE_METATYPE(RigStatus)
