// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "modem/pskmodes.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class AfcAcquisition;

// Every PSK signal of one mode in the band at once: a detector that finds
// the carriers in the averaged spectrum of the received audio, and one
// receive channel (ReceiveChannel: a receiver with its AFC, so it follows a
// drifting signal, and no transmitter, audio ring or settings) per carrier
// found. A new carrier must show in two judgements in a row; its channel
// then starts on the last few seconds of audio, so the text from before it
// was found is not lost. A signal the detector has not seen for a minute
// is dropped. What a channel decodes while the detector
// does not see its carrier (between two overs, before the first) is noise
// and never becomes text; each over that follows one that ended starts a
// new line of the text.
//
// The detector smooths the spectrum over the width of a PSK signal of the
// mode (its idle lines lie half the symbol rate either side of the carrier,
// its main lobe one symbol rate) and takes each local maximum standing
// clearly above the band's noise floor, unless a single line holds nearly
// all of its power (an unmodulated carrier). A carrier of another mode's
// speed, and in BPSK a QPSK signal (in QPSK a BPSK one), is left out rather
// than decoded into garbage: a bank per mode lists every PSK signal once. QtCore only; lives on the thread
// that feeds it (the command line's, or the window's SignalBankWorker).
class SignalBank : public QObject
{
    Q_OBJECT
public:
    // The band searched.
    static constexpr double kLowHz = 200.0;
    static constexpr double kHighHz = 3500.0;
    // A signal unseen this long is dropped.
    static constexpr double kDropSeconds = 60.0;
    // Channels at most; a crowded band beyond this is ignored.
    static constexpr int kMaxSignals = 48;

    struct Signal
    {
        int id = 0;
        double frequency = 0.0;
        int quality = 0;      // the decoder's, 0 (worst) to 31
        double snrDb = 0.0;   // signal to noise in 2500 Hz (SignalQuality), from the averaged spectrum
        QString text;         // everything decoded that the quality confirmed, at most kMaxText
        double lastSeen = 0.0; // seconds of audio when the detector last saw it
        double lastHeard = 0.0; // seconds of audio when its carrier was last there
        double heardFrom = 0.0; // seconds of audio where its decoder's audio began
        QString mode;           // the bank's mode ("BPSK31" ...)
        bool kindKnown = false; // its channel has seen enough of it to tell BPSK from QPSK
        double quarterShare = 0.0; // the most of its symbols that turned a quarter, in a stretch
    };
    static constexpr int kMaxText = 65536;

    explicit SignalBank(QObject* parent = nullptr);
    ~SignalBank() override;

    // The mode of the signals looked for (one of PskModes); the bank starts
    // afresh.
    void setMode(const PskMode& mode);
    // Starts afresh at another rate: any clock the receivers take from
    // kMinRate on, so that a sound card's correction (8000 Hz at -100 ppm
    // is 7999.2 Hz) keeps the bank at the receiver's clock. Other rates
    // leave it as it was.
    static constexpr double kMinRate = 4000.0;
    void setSampleRate(double rate);
    // The receiver the channels use, and the character set the channels
    // found from now on decode in.
    void setSensitive(bool on);
    void setCharSet(int set);

    void feed(const qint16* samples, int count);
    // Audio that went by undecoded (while transmitting, say): the bank's
    // clock moves on with it, so that now() - lastSeen stays the time the
    // received audio has run on since.
    void skip(int count);
    // A few symbols of silence so the last characters come out.
    void finish();
    // Forgets every signal and the audio.
    void clear();

    // Sorted by frequency.
    std::vector<Signal> signalList() const;
    // The signals of banks of several modes, as one list by frequency: those
    // that made text; where a BPSK and a QPSK bank of one speed both made
    // text of one signal, the QPSK bank's when its channel saw QPSK's share
    // of quarter turns or the BPSK channel could not tell the kind (an over
    // too short), else the BPSK bank's (a QPSK receiver may find a few
    // quarter turns in the noise of a BPSK signal).
    static std::vector<Signal> acrossModes(std::vector<Signal> list);
    // Seconds of audio fed since the last start.
    double now() const { return m_samples / m_rate; }
    // Signal to noise in dB (noise in 2500 Hz) of a signal at an audio
    // frequency, from the spectrum of the last judgement: the estimate each
    // signal carries, for any frequency (the main receiver's). -99 when
    // nothing stands above the noise or nothing was judged yet.
    double signalToNoise(double frequency) const;

signals:
    // After each judgement of the spectrum, and when text arrives.
    void changed();
    void dropped(const SignalBank::Signal& signal);

private:
    struct Entry;
    struct Candidate
    {
        double frequency;
        int hits;
        double until; // one of another speed: looked at again from then
    };
    void judge();
    // Also sets the noise floor per bin, for signalToNoise().
    std::vector<double> findCarriers();
    // Whether a carrier stood at frequency in the half second of audio
    // before `at` (samples fed); true when the history cannot tell.
    bool carrierAt(double frequency, qint64 at) const;
    // Whether the carrier of e was there at `at` samples of audio.
    void applyJudgement(Entry& e, bool present, qint64 at);
    void startSignal(double frequency);
    std::unique_ptr<Entry> replayed(int id, double frequency);
    void retune(std::unique_ptr<Entry>& e);
    // How strongly the audio kept shows a PSK signal of this symbol rate at
    // frequency: the symbol-rate line of the power mixed down and averaged
    // over one symbol, relative to the mean power.
    double symbolLine(double frequency, double rate) const;
    // Whether the carrier at frequency shows the mode's own symbol rate
    // more than any other rate of the mode table.
    bool ownSpeed(double frequency) const;
    // Gives audio to one transceiver, and keeps or drops the text it held
    // back by the quality that follows.
    void receive(Entry& e, const qint16* samples, int count);
    // Counts a symbol's phase change (2^32 a turn) towards e's quarter turns.
    void countTurn(Entry& e, int angle, int level);
    // Moves the held characters decoded up to upTo (samples fed) to the text.
    void confirm(Entry& e, qint64 upTo);
    qint64 symbolsToSamples(double symbols) const;
    bool holding(const Entry& e) const;
    Signal snapshot(const Entry& e) const;
    QString receiverName() const;

    bool m_qpsk = false;
    int m_baudHundredths = 3125;
    QString m_modeName;
    double m_rate = 11025.0;
    bool m_sensitive = false;
    int m_charSet = 0;
    int m_nextId = 1;
    qint64 m_samples = 0;
    qint64 m_nextJudgement = 0;
    std::unique_ptr<AfcAcquisition> m_spectrum;
    std::vector<std::unique_ptr<Entry>> m_entries;
    std::vector<Candidate> m_candidates;
    std::vector<Candidate> m_otherSpeed;
    std::vector<qint16> m_history; // ring of the last seconds of audio
    size_t m_historyHead = 0;
    double m_noisePerBin = 0.0;      // the band's median (SignalQuality), linear, at the last judgement
    double m_noiseFloorPerBin = 0.0; // the detector's noise floor, linear
};
