// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/pskinterfaces.h"
#include "modem/pskmodes.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <vector>

class CPskTxRx;

// Drives the program's own modem (CPskTxRx) without sound card or window:
// a whole transmission of a text into samples, and samples into decoded
// characters. Used by velkora32-cli and the benchmarks; single-threaded.
namespace ModemSession {

// A mode of the modem's table (PskModes) as the operator names it.
struct Mode
{
    Mode() = default;
    explicit Mode(const PskMode& m) : name(m.displayName()), modemName(m.modemName()), baudHundredths(m.baudHundredths), table(&m) {}
    QString name;          // "BPSK31" ... "QPSK250"
    QString modemName;     // what the transceiver is built with
    int baudHundredths = 0; // Command 90's argument: 3125, 6250, 12500, 25000
    const PskMode* table = nullptr;
    double baud() const { return baudHundredths / 100.0; }
};

// The names of the modem's mode table, in its order.
QStringList modeNames();
// Case-insensitive; false for an unknown name.
bool parseMode(const QString& text, Mode* mode);

// "ASCII8", "MMVari", "Alternate" (0, 1, 2).
QStringList charSetNames();
// Case-insensitive; -1 for an unknown name.
int parseCharSet(const QString& text);

// The receiver's input rates: the moving sums of its front end limit the top.
constexpr int kMinReceiveRate = 8000;
constexpr int kMaxReceiveRate = 64249;

// Points the settings store at a file in a private temporary folder for as
// long as it lives, so that the modem objects (which read their keys when
// built) never see the program's own settings. Create it before any modem object and let it outlive them all.
class PrivateSettings
{
public:
    PrivateSettings();
    ~PrivateSettings();
    bool isValid() const { return m_dir.isValid(); }
    // The character set a transceiver takes when it is built.
    void setCharSet(int charSet);

private:
    QTemporaryDir m_dir;
    QString m_previousPath;
};

// Hands a text to the transmit sequencer one UTF-16 unit at a time, then the
// end marker for as long as it is asked. Not thread-safe: here the sequencer
// runs on the caller's thread, not on an audio callback.
class TextSource : public CTxCharSource
{
public:
    explicit TextSource(const QString& text) : m_text(text) {}
    quint32 nextTxWord() override;
    // How many characters have been taken so far.
    int taken() const { return m_next; }

private:
    QString m_text;
    int m_next = 0;
};

struct TxParams
{
    Mode mode;
    double frequency = 1000.0;
    double sampleRate = 11025.0;
    int level = 10000;
};

// One whole transmission (key-up, the text, the end marker, the tail) with the
// character set the settings hold. Ends after at most maxSeconds of audio
// even if the transmitter has not finished, as a guard against a sequencer
// that never ends; *complete tells which it was.
std::vector<qint16> transmit(const TxParams& params, const QString& text, bool* complete = nullptr,
                             double maxSeconds = 0.0);
// The same, block by block into sink; a false answer from the sink stops
// the transmission, and then the result is false.
bool transmit(const TxParams& params, const QString& text, const std::function<bool(const qint16*, int)>& sink,
              bool* complete, double maxSeconds = 0.0);
// At least as many samples as one transmission of text takes in charSet.
qint64 transmissionLength(const TxParams& params, const QString& text, int charSet);

struct RxParams
{
    Mode mode;
    double frequency = 1000.0;
    double sampleRate = 11025.0;
    bool afc = false;
    int squelch = -1; // threshold 0-31; -1 leaves the squelch off
    bool sensitive = false; // the sensitive receiver instead of the standard one (decode says which)
};

// Builds and keeps a receiving transceiver; decoded characters reach onChar
// as they come.
class Receiver
{
public:
    static constexpr int kBlockSize = 1024;

    Receiver(const RxParams& params, std::function<void(QChar)> onChar);
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // Hands the samples to the transceiver in blocks of kBlockSize, the size
    // the sound card delivers.
    void feed(const qint16* samples, size_t count);
    // A few symbol periods of silence, so that the symbols still inside the
    // filters come out and the last character is complete.
    void finish();

    double frequency() const;
    CPskTxRx& modem() { return *m_modem; }

private:
    RxParams m_params;
    CPskTxRx* m_modem = nullptr;
};

} // namespace ModemSession
