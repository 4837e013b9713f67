// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui_spectrumtitle.h"

#include <QStringList>
#include <QWidget>

class QComboBox;
class QSlider;

// The strip of display controls: waterfall brightness and contrast, the AFC
// box with the AFC's range, LOCK, the SQ box with the squelch level, the S/N
// and IMD readouts of the tuned signal and the mode selector. It only
// restores and saves the control states; the owner wires the controls (they
// are public through the form) to the waterfall and the modem, and feeds the
// readouts. The squelch level and the AFC range are stored as soon as they
// change. GUI thread only.
class SpectrumTitleBar : public QWidget, public Ui::SpectrumTitle
{
    Q_OBJECT
public:
    // The AFC ranges offered (Hz either side of where the receiver was
    // tuned) and the one of a first start.
    static constexpr int kAfcRanges[] = {15, 50, 100};
    static constexpr int kDefaultAfcRange = 50;

    explicit SpectrumTitleBar(QWidget* parent = nullptr);
    ~SpectrumTitleBar() override;

    // Appends the mode names to the mode selector, in order.
    void setModeList(const QStringList& modes);

    // The squelch level in dB (S/N in 2500 Hz at BPSK31) and the AFC's
    // range in Hz, as chosen.
    QSlider* squelchLevelSlider() const { return m_squelchLevel; }
    QComboBox* afcRangeBox() const { return m_afcRange; }
    int afcRange() const;

    // Shows the tuned signal's S/N (dB in 2500 Hz; below -90: nothing above
    // the noise) and IMD (dB; NaN when not measurable) as "—" or figures.
    void showSignalReport(double snrDb, double imdDb);

private:
    QSlider* m_squelchLevel = nullptr;
    QComboBox* m_afcRange = nullptr;
};
