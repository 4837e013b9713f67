// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The codes of the modem's numeric command interface,
// Command(code, p1, p2, p3). The enumeration is unscoped so that a code is
// an int: callers that send plain numbers (text commands, older scripts,
// the command table's own tests) keep working, and every caller in the
// program names the code instead.
//
// Frequencies are whole Hz; texts travel as const char* in p1 and come back
// as const char* cast to the result. "Set" commands answer 1, "reserved"
// codes answer 1 and do nothing.
//
// Answered by the command target (CBruxCmdTarget) and the mode (CBruxMode):
//   0 kSetOwner          owner := p1 (a command target)
//   1 kOwner             -> the owner
//  89 kPassToOwner       passes itself to an owner other than the object
// 104 kSetUserA / 105 kUserA, 108 kSetUserB: values kept for the caller
// 114 kTextCommand       "RXFQ:n" (as 67) or "TXFQ:n" (as 64); -> null
//                        when handled, else the text
// Answered by the sound-card base (CSoundCardTxRx):
//   9 kService           runs Service()
//  10 kTxLevel / 11 kSetTxLevel  transmit level 1 to 10000
//  26, 88, 151           reserved
//  62 kNominalRate       -> 11025
//  63 kSetTxOffset       added to every transmit frequency a command sets
// 160 kSetUserC
// 161 kRxLockState       -> the receive lock. (It used to share 67 with
//                        "set receive frequency"; 67 now has that one
//                        meaning and itself refuses while the lock is set.)
// Answered by the PSK transceiver (CPskTxRx):
//   2 kMeasureSnr        reports peak and noise to the owner as 73
//   4, 5, 7              set-up reset (both frequencies 1000 Hz), show, close
//   6, 8, 25, 27, 46, 50, 53, 56, 72, 76, 86  reserved
//  23 kModeText ("BPSK63") / 24 kModeTextSpaced ("BPSK 63")
//  43 kSetCwCallSign (8-bit text) / 44 kSetCwUnit (1: a Morse unit is one
//                        symbol, else two)
//  47 kSetUserD / 48 kUserD
//  49 kSnapFrequency     -> the signal centre near p1, or p1
//  51 kSetAfc / 52 kAfc
//  54 kSetTxLock (unlocking also moves transmit to receive + offset) / 55 kTxLock
//  57 kSetRxLock / 58 kRxLock
//  59 kIsQpsk, 60 kSetQpskInversion / 61 kQpskInversion
//  64 kSetTxFrequency    p1 + offset, unless the transmit lock is set
//  65 kForceTxFrequency  p1 + offset, whatever the lock
//  66, 71 kTxFrequency   -> transmit frequency minus the offset
//  67 kSetRxFrequency    receive frequency := p1; while the receive lock is
//                        set nothing changes and the answer is the lock (1)
//  68 kRxFrequency, 69 kRxFrequencyTenths
//  70 kSetBothFrequencies  transmit (unless locked) and receive := p1
//  77 kSetSquelch / 78 kSquelch, 80 kSetSquelchThreshold / 81 kSquelchThreshold
//  79 kQuality           -> the decoder's quality, 0 to 31
//  82 kSquelchOpen / 83 kSetSquelchOpen
//  84 kNotFsk, 85 kMeasureImd (dB), 132 kWidestImdText, 133 kImdText
//  90 kSetSymbolRate     p1 in hundredths of a baud (3125 is BPSK31)
// 149 kBitsPerChar       -> 8 for "ASCII8", else 16
// Reports the transceiver sends to its owner:
//  27 kTxSwitched (p1 on), 32 kTxEchoByte / 33 kTxEchoWide (p1 the
//  character), 42 kTailEnded (asks whether to go on), 45 kEndNotified,
//  73 kSnrResult (p1 peak, p2 noise)
namespace ModemCommand {

enum Code : int {
    kSetOwner = 0,
    kOwner = 1,
    kMeasureSnr = 2,
    kSetupReset = 4,
    kSetupShow = 5,
    kReserved6 = 6,
    kSetupClose = 7,
    kReserved8 = 8,
    kService = 9,
    kTxLevel = 10,
    kSetTxLevel = 11,
    kModeText = 23,
    kModeTextSpaced = 24,
    kReserved25 = 25,
    kReserved26 = 26,
    kTxSwitched = 27, // also a reserved code: the transceiver answers it with 1
    kTxEchoByte = 32,
    kTxEchoWide = 33,
    kTailEnded = 42,
    kSetCwCallSign = 43,
    kSetCwUnit = 44,
    kEndNotified = 45,
    kReserved46 = 46,
    kSetUserD = 47,
    kUserD = 48,
    kSnapFrequency = 49,
    kReserved50 = 50,
    kSetAfc = 51,
    kAfc = 52,
    kReserved53 = 53,
    kSetTxLock = 54,
    kTxLock = 55,
    kReserved56 = 56,
    kSetRxLock = 57,
    kRxLock = 58,
    kIsQpsk = 59,
    kSetQpskInversion = 60,
    kQpskInversion = 61,
    kNominalRate = 62,
    kSetTxOffset = 63,
    kSetTxFrequency = 64,
    kForceTxFrequency = 65,
    kTxFrequency = 66,
    kSetRxFrequency = 67,
    kRxFrequency = 68,
    kRxFrequencyTenths = 69,
    kSetBothFrequencies = 70,
    kTxFrequencyToo = 71,
    kReserved72 = 72,
    kSnrResult = 73,
    kReserved76 = 76,
    kSetSquelch = 77,
    kSquelch = 78,
    kQuality = 79,
    kSetSquelchThreshold = 80,
    kSquelchThreshold = 81,
    kSquelchOpen = 82,
    kSetSquelchOpen = 83,
    kNotFsk = 84,
    kMeasureImd = 85,
    kReserved86 = 86,
    kReserved88 = 88,
    kPassToOwner = 89,
    kSetSymbolRate = 90,
    kSetUserA = 104,
    kUserA = 105,
    kSetUserB = 108,
    kTextCommand = 114,
    kWidestImdText = 132,
    kImdText = 133,
    kBitsPerChar = 149,
    kReserved151 = 151,
    kSetUserC = 160,
    kRxLockState = 161,
};

} // namespace ModemCommand
