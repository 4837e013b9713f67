// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// How the program reaches the rig: which Hamlib rig model (if any) reports
// the dial, over which serial device or network address, and how the
// transmitter is keyed. Kept in the settings group "Rig"; a value that makes
// no sense there falls back to its default with one warning line.
struct RigConfig
{
    // Model numbers as Hamlib counts them; 0 is no rig control at all.
    static constexpr int kNone = 0;
    static constexpr int kDummy = 1;
    static constexpr int kNetwork = 2; // "Hamlib network": a rigctld
    static constexpr int kDefaultPort = 4532;
    // How long a transmission waits for the rig to confirm push-to-talk;
    // rigs at 4800 to 19200 baud take a few hundred ms.
    static constexpr int kDefaultPttWaitMs = 1000;
    static constexpr int kMinPttWaitMs = 50;
    static constexpr int kMaxPttWaitMs = 10000;

    enum class Ptt {
        SerialRts, // the "Comport" port's RTS line, as without rig control
        Cat, // a command to the rig through Hamlib
        HamlibLine, // RTS or DTR of a device, switched by Hamlib
    };

    int model = kNone;
    QString device; // serial device of a rig model
    int baudRate = 0; // 0: the model's own rate
    QString host = QStringLiteral("localhost");
    int port = kDefaultPort;
    Ptt ptt = Ptt::SerialRts;
    bool pttDtr = false; // HamlibLine: DTR rather than RTS
    QString pttDevice; // HamlibLine: empty means the rig's own device
    int pttWaitMs = kDefaultPttWaitMs; // Cat and HamlibLine

    // A Hamlib rig object is needed: for the dial, or for the PTT line.
    bool usesHamlib() const { return model != kNone || ptt == Ptt::HamlibLine; }
    bool readsDial() const { return model != kNone; }
    bool hamlibPtt() const { return ptt != Ptt::SerialRts; }
    // Where the rig is, for messages: "rigctld at localhost:4532",
    // "rig model 3073 on /dev/ttyUSB0".
    QString linkName() const;

    static RigConfig load();
    void save() const;

    bool operator==(const RigConfig& o) const;
    bool operator!=(const RigConfig& o) const { return !(*this == o); }
};
