// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <complex>
#include <vector>

// Coarse frequency acquisition for the AFC, and the averaged power spectrum
// of the received audio it works on. The fine AFC steers from the decoder's
// phase drift, which is ambiguous beyond a few hertz (a quarter turn per
// symbol for BPSK, an eighth for QPSK) and sees only what the narrow receive
// filter passes; the
// spectrum sees the whole band, so it can say where a signal the operator
// clicked beside really is.
//
// The audio goes through Hann-windowed FFTs of about 5 Hz resolution with
// half-frame overlap; the power of each bin is averaged over the frames
// (exponentially, about three quarters of a second at 11025 samples per
// second). findCentre() looks near a frequency for the band of a PSK signal
// standing clearly above the noise and returns its centre, the centroid of
// the power above the noise: a PSK spectrum is symmetric about its carrier
// whether it idles (two lines half the symbol rate out) or carries text.
//
// Everything is allocated at construction for the largest frame; no
// allocation follows. On the thread of its owner (a receive channel, or the
// signal bank's detector).
class AfcAcquisition
{
public:
    // Frames are between these sizes; the size is picked per sample rate.
    static constexpr int kMinFrame = 256;
    static constexpr int kMaxFrame = 16384;
    // The least noise variance (in 16-bit steps squared) taken for real: 4
    // steps rms, about -78 dB against full scale. Where the audio is
    // digitally silent between signals (a virtual cable, a recording) there
    // is no noise to judge by, and a strong signal's leak a few hundred
    // hertz away, a fraction of a step, would pass for a carrier beside it.
    static constexpr double kLeastNoiseVariance = 16.0;

    AfcAcquisition();

    // Picks the frame size for the rate and forgets the average. A rate of
    // 0 (or anything but a finite positive number) stops the analysis until
    // a usable one comes.
    void setSampleRate(double rate);
    void addSamples(const qint16* samples, int count);

    double sampleRate() const { return m_rate; }
    int frameSize() const { return m_n; }
    // Frames analysed since the last clear or rate change.
    quint32 frameCount() const { return m_frames; }

    // Averaged power at a frequency (linear interpolation between bins), in
    // dB relative to a full-scale sine; -150 where nothing is known.
    double levelAt(double fq) const;

    // The centre of a clear signal whose centre lies within the search radius
    // of fq, for a symbol rate of baud: false (and *centre untouched) when
    // there is none, or when too few frames have been averaged to tell.
    // *excess, if asked for, is then its mean power per bin above the noise.
    bool findCentre(double fq, double baud, double* centre, double* excess = nullptr) const;

    // How far, in Hz, findCentre() looks from the receive frequency, and the
    // half-width of the band a signal of that symbol rate occupies.
    static double searchRadius(double baud);
    static double signalHalfWidth(double baud);

private:
    // Forgets the averaged spectrum and the audio not yet analysed.
    void clear();
    void analyseFrame();
    void transform();
    // Power above the noise in [lo, hi] (bins, fractional edges), its sum
    // and its first moment.
    void bandMoments(double lo, double hi, double noise, double* sum, double* moment) const;
    double noiseFloor(int from, int to) const;

    double m_rate = 0.0;
    int m_n = 0;           // frame size, a power of two; 0 when stopped
    int m_fill = 0;        // samples waiting in m_frame
    quint32 m_frames = 0;
    std::vector<float> m_frame;
    std::vector<float> m_window;
    std::vector<std::complex<double>> m_work;    // n/2 points, packed real input
    std::vector<std::complex<double>> m_twiddle; // e^(-2 pi i k / n), k < n/2
    std::vector<double> m_power;                 // averaged, bins 0 .. n/2 - 1
    std::vector<float> m_holdNow;                // the strongest frame per bin, this stretch
    std::vector<float> m_holdBefore;             // and the stretch before
    int m_holdFill = 0;                          // frames in this stretch
    mutable std::vector<double> m_scratch;       // for the noise median
};
