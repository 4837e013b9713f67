// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/bruxmode.h"
#include "modem/pskinterfaces.h"
#include "modem/receivechannel.h"
#include "modem/squelchgate.h"

#include <QChar>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <limits>
#include <memory>
#include <vector>

class CPskBitDecode;
class CPskBitEncode;
class CPskRxAlgorithms;
class CPskTxAlgorithms;
class PskReceiver;

// The PSK transceiver: the program's one modem. It holds the ring of
// received audio, one receive channel (ReceiveChannel: the receive DSP, a
// receiver chosen by name, squelch and AFC; the AFC has a coarse stage that
// finds the signal in the received spectrum when the operator tuned beside
// it, and the fine stage that follows the decoder's phase drift) and the
// transmitter (transmit DSP and bit encoder, BPSK, or QPSK when built with
// the mode name "QPSK"). It feeds received audio through its ring to the
// channel, answers the numeric command table (modem/modemcommands.h) and
// sequences each transmission (key-up carrier, idle reversals, characters,
// tail, Morse identification of the call sign).
//
// Threads: everything runs on the GUI thread except GenerateTxSamples, which
// the audio output callback calls. What the callback reads is either its own
// (the transmit state) or published atomically by the GUI thread: transmit
// frequency and level, character set, symbol rate, CW unit, CW call sign
// (sequence-counted buffer), character source and QPSK inversion. SetTransmit
// never touches the transmit state itself: it raises a restart request that
// the callback applies at the start of its next block, so restarting while a
// stream still runs cannot race. No locks, and nothing allocates per sample.
class CPskTxRx : public CSoundCardTxRx, public CPskRecCharDone, public CSymbolReceiver, private ChannelOutput
{
    Q_OBJECT
public:
    enum Mode { kModeBpsk = 0, kModeQpsk = 1, kModeFsk = 2, kModeQfsk = 3 };
    // Received samples handed to the receive DSP per call at most; a replay
    // catches up at this pace so one GUI event stays short.
    static constexpr int kWorkSize = 4096;
    // Longer call signs are cut to this many characters.
    static constexpr int kMaxCallSign = 32;

    // Mode names "BPSK" and "QPSK" select those modes; any other name (the
    // window's "BPSK31", or the never-built "FSK" and "QFSK") gives BPSK.
    // When parent has slotTxFqNotified(double) / slotRxFqNotified(double),
    // the DSPs' frequency announcements are connected to them.
    explicit CPskTxRx(const QString& modeName, QObject* parent = nullptr);
    ~CPskTxRx() override;

    intptr_t Command(int code, intptr_t p1, intptr_t p2, intptr_t p3) override;
    void SetupReset() override;
    void SetupShow() override {}
    void SetupClose() override {}
    // A receive rate the receive DSP refuses (or that is not a finite,
    // non-negative number) is not applied; the previous one stays and
    // inputRateAccepted() answers false until a good rate arrives.
    void SetSampleRates(double inputRate, double outputRate) override;
    void AfcStep() override;
    void ReceiveSamples(const qint16* samples, int count) override;
    // Audio output thread. Returns 0 once the transmission has ended.
    int GenerateTxSamples(qint16* out, int count) override;
    void SetTransmit(int on) override;
    virtual void GetFrequencies(double* rx, double* tx) const;
    virtual void SetFrequencies(double rx, double tx);

    void CharReceived(int channel, QChar ch) override;
    void CodeReceived(int channel, quint16 value) override;
    void SymbolReceived(int channel, int angle, int amplitude) override;

    // Where the next transmit word comes from; null sends nothing (idle).
    // The source is called on the audio output thread.
    void setTxCharSource(CTxCharSource* source) { m_txSource.store(source, std::memory_order_release); }

    // Character sets (0 "ASCII8", 1 "MMVari", 2 "Alternate"). The GUI builds
    // its Varicode menu from charSetNames(), checks the entry charSet() and
    // calls setCharSet() on a choice. A new set takes effect on transmit at
    // once; the decoder and the encoder's kana swap keep the set they were
    // created with until the next start. Numbers outside 0-2 are ignored.
    QStringList charSetNames() const { return m_charSetNames; }
    int charSet() const { return m_charSet.load(std::memory_order_relaxed); }
    void setCharSet(int set);

    // The receiver, by its name in the receiver table (PskReceivers):
    // "standard" or "sensitive" (settings key "Receiver"; nothing stored
    // means the default, "sensitive"). A receiver chosen
    // starts afresh at the present tuning; an unknown name is refused.
    bool setReceiver(const QString& name);
    QString receiverName() const;
    void setSensitiveReceiver(bool on);
    bool sensitiveReceiver() const;

    // Stores the receive and transmit frequencies, the receiver and the
    // character set. Only the window's own transceiver is saved, and only
    // when asked (at the close of the window); nothing of it is written when
    // a transceiver goes, so the signal browser's many come and go without
    // touching the user's settings.
    void saveSettings() const;

    // Switches between BPSK and QPSK: a fresh encoder and decoder (and
    // sensitive receiver when chosen) of the other mode, at the symbol rate
    // last used in it; frequencies, rates, character set and QPSK inversion
    // stay. Refused (false) while transmitting, as the audio output thread
    // then reads the encoder.
    bool setQpsk(bool on);

    // The tuned signal as the averaged spectrum shows it: S/N in dB in
    // 2500 Hz (SignalQuality::kNoSignalDb when nothing stands above the
    // noise) and, while the signal idles, its IMD in dB (NaN otherwise, or
    // when the signal is too weak to tell).
    struct SignalReport
    {
        double snrDb;
        double imdDb;
    };
    SignalReport signalReport() const;

    // The squelch by level (SquelchGate): with the squelch enabled, text
    // goes through while the tuned signal's S/N is at least db. NaN turns
    // back to the decoder's quality against the threshold of Command 80.
    void setSquelchLevel(double db);
    double squelchLevel() const { return m_squelchByLevel ? m_squelchGate.level() : std::numeric_limits<double>::quiet_NaN(); }

    // How far (Hz) the AFC may pull the receiver from where it was last
    // tuned by anything else (a click, a typed frequency); 0: no limit.
    void setAfcRange(double hz) { m_channel->setAfcRange(hz); }
    double afcRange() const { return m_channel->afcRange(); }

    bool inputRateAccepted() const { return m_inputRateAccepted; }
    int mode() const { return m_mode; }
    double baud() const { return m_baud.load(std::memory_order_relaxed); }
    bool isTransmitting() const { return m_transmitting.load(std::memory_order_relaxed) != 0; }
    bool squelchOpen() const { return m_channel->squelchOpen() != 0; }

    CPskTxAlgorithms* txDsp() const { return m_txDsp.get(); }
    CPskRxAlgorithms* rxDsp() const;
    CPskBitEncode* encoder() const { return m_encoder.get(); }
    // The decoder of the receiver in use.
    CPskBitDecode* decoder() const { return rxDecoder(); }

signals:
    void signalCharReceived(QChar ch);
    void signalPskSymbol(long dangle, long ampl);

public slots:
    // A click on the waterfall: retune (each side unless locked); with a
    // replay distance, decode again from where the trace at the new
    // frequency began.
    void slotFqChanged(double rx, double tx);

protected:
    // Level in dB of a bin of a 2048-point spectrum at 11025 Hz, for the
    // signal-to-noise, IMD and snap measurements: the received audio's
    // averaged spectrum (the one the AFC acquires signals from) read at the
    // bin's frequency, relative to a full-scale sine.
    virtual double binMagnitude(int bin) const;
    // The decoder's signal quality, 0 (worst) to 31, that the squelch reads.
    virtual int decoderQuality() const;

private:
    // Transmit state; touched only by GenerateTxSamples.
    struct TxState
    {
        int needSymbol = 1;
        int charBoundary = 1;
        int cwIdAfterText = 0;
        quint32 s = 0; // symbol counter; also marks key-up, tail and CW phases
        int nextCode = 0;
        std::array<char16_t, kMaxCallSign + 4> cwText{};
        int cwHead = 0;
        int cwLength = 0;
        quint32 cwPattern = 0;
        int cwCounter = 0;
        int charPending = 0;
        quint16 pendingChar = 0;
        quint16 pendingKind = 0;
        int endNotify = 0;
        int stopFetching = 0;
        // The line break taken after the end marker, going out before the
        // tail ("\r" may still have its "\n" to come); 0 when none.
        quint16 endLineBreak = 0;
        // After a Morse identification: whether an end marker behind it has
        // been looked for.
        int cwIdEndTaken = 0;
    };

    // A click asked to decode again from clickedBack samples before the
    // newest: the receiver starts afresh where the trace under its
    // frequency began, as far back as the ring holds.
    void replayTrace(int clickedBack);
    // Samples back to where the trace at fq that passes clickedBack samples
    // ago began (with a little quiet before it); clickedBack itself when no
    // trace is there.
    int traceStart(double fq, int clickedBack) const;
    void applySampleRates(double inputRate, double outputRate);
    void setTxFrequency(double fq);
    void setRxFrequency(double fq);
    double txFrequency() const;
    double rxFrequency() const;
    // The receive channel's results.
    void channelChar(QChar ch) override;
    void channelSymbol(int angle, int amplitude) override;
    void channelFollowed(double fq) override;
    // The S/N the squelch gate reads; the band's noise is measured again
    // every few spectrum frames.
    double squelchSnr();
    // The decoder of the receiver in use.
    CPskBitDecode* rxDecoder() const;

    const char* modeText(const char* format, double add);
    double bin(int index) const;
    int spectrumCentre() const;
    double spectrumPeak(int c, double m) const;
    double imdLevel(int c, double m) const;
    double noiseLevel(int c, double m) const;
    int measureImd();
    const char* imdText(int p1);
    int snapFrequency(int fq) const;

    void setCallSign(const char* text);
    int readCallSign(char16_t* dst) const;

    // Audio output thread.
    void restartTransmit();
    quint32 tailEncoderSymbols() const;
    quint32 fetchWord();
    quint32 peekWord();
    // Takes the next word if it is a line break character that may follow
    // after ("\r" or 0); answers it, or 0 when it left the word alone.
    quint16 takeLineBreak(quint16 after);
    void takeEndAfterCwId();
    void loadChar(quint16 ch, quint32 kind);
    quint16 wordChar(quint32 word) const;
    void appendCwText(const char16_t* text, int length);
    void appendCallSignToCw();
    void echoCwId();
    void startFetch();
    void nextSymbol(int k, int* result);
    // These return whether the encoder may give this symbol's code.
    bool countSymbol(int k, int* result);
    bool tailSymbol(int k, int* result);
    void takeWord();
    // One symbol of the CW identification; false when it has run out and
    // the symbol counter should count on.
    bool cwStep(int k);

    QStringList m_charSetNames;
    std::atomic<int> m_transmitting{0};
    int m_mode = kModeBpsk;
    std::atomic<qint32> m_qpskInversion{0};
    qint32 m_userD = 0;
    std::atomic<double> m_baud{31.25};
    std::atomic<int> m_charSet{0};
    std::atomic<qint32> m_cwUnit{0};
    bool m_inputRateAccepted = true;

    // The call sign as a sequence-counted buffer: the GUI thread makes the
    // counter odd while it writes, so the callback can tell a torn copy and
    // read again, without either side waiting on a lock.
    std::array<std::atomic<char16_t>, kMaxCallSign> m_callSign{};
    std::atomic<int> m_callSignLength{0};
    std::atomic<quint32> m_callSignVersion{0};

    std::atomic<CTxCharSource*> m_txSource{nullptr};
    std::atomic<bool> m_restartRequested{false};
    TxState m_tx;

    std::unique_ptr<CPskTxAlgorithms> m_txDsp;
    std::unique_ptr<CPskBitEncode> m_encoder;
    // The receive side: front end, receiver, AFC and squelch.
    std::unique_ptr<ReceiveChannel> m_channel;
    // Squelch by level, whether the receiver catches up on older audio, the
    // audio it has decoded (seconds) and the band's noise per bin with the
    // spectrum frame it was measured at.
    SquelchGate m_squelchGate;
    bool m_squelchByLevel = false;
    bool m_replaying = false;
    double m_rxSeconds = 0.0;
    double m_noisePerBin = 0.0;
    quint32 m_noiseFrames = 0;
    std::vector<qint16> m_work;

    // Texts handed out by Commands 23, 24 and 133; per object, GUI thread.
    char m_modeText[32] = {};
    char m_imdText[32] = {};
};
