// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class AfcAcquisition;

// Signal-to-noise ratio and intermodulation of one PSK signal, read from
// the averaged power spectrum of the received audio (AfcAcquisition). The
// main receiver's readout, its squelch and every line of the signal browser
// take their figures from here, so they agree.
//
// S/N: the power within one symbol rate either side of the carrier (where
// PSK keeps nearly all of it), less the noise there, over the noise in
// 2500 Hz. The noise per bin is the band's median: an averaged noise
// spectrum scatters little about its mean, and signals fill only its top.
//
// IMD: an idling PSK signal is two tones half the symbol rate either side
// of the carrier; a transmitter that is not linear adds third-order products
// one and a half symbol rates out. The figure is the products' power over
// the tones', each less the noise. Plain functions; the caller's thread.
namespace SignalQuality {

// Below any S/N the spectrum can show: nothing stands above the noise.
constexpr double kNoSignalDb = -99.0;
// The bandwidth the S/N is given in.
constexpr double kBandwidthHz = 2500.0;
// The tones must stand this far above the noise in the products' bands
// before an IMD figure means anything; weaker, it is not measurable.
constexpr double kImdMarginDb = 25.0;

// The median power per bin (linear, re a full-scale sine) between lowHz and
// highHz; 0 when the spectrum holds nothing there yet.
double noisePerBin(const AfcAcquisition& spectrum, double lowHz, double highHz);

// S/N in dB in 2500 Hz of the signal at frequency; kNoSignalDb when nothing
// stands above the noise (or the noise is not known).
double snrDb(const AfcAcquisition& spectrum, double frequency, double baud, double noisePerBin);

// IMD in dB (negative: the products below the tones) of a signal idling at
// frequency; NaN when the tones do not stand kImdMarginDb above the noise.
// A product lost in the noise counts as the noise itself, so a clean signal
// reads as "at least this good".
double imdDb(const AfcAcquisition& spectrum, double frequency, double baud, double noisePerBin);

} // namespace SignalQuality
