// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui_spectrumtitle.h"

#include <QStringList>
#include <QWidget>

class QActionGroup;
class QMenu;
class QSlider;

// The strip of display controls: waterfall brightness and contrast, the AFC
// box (its range in a menu the box opens on a right click, which the owner
// may also put into its own menus), LOCK, the SQ box with the squelch level
// slider and the mode selector. It only restores and saves the control
// states; the owner wires the controls (they are public through the form) to
// the waterfall and the modem. The squelch level and the AFC range are
// stored as soon as they change. The IMD and S/N fields exist but are never
// shown (the phase scope shows the figures). GUI thread only.
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
    // Stores the sliders and the AFC, lock and squelch boxes.
    void saveSettings() const;

    // Appends the mode names to the mode selector, in order.
    void setModeList(const QStringList& modes);

    // The squelch level in dB (S/N in 2500 Hz at BPSK31) and the AFC's
    // range in Hz, as chosen; afcRangeChanged() follows the range.
    QSlider* squelchLevelSlider() const { return m_squelchLevel; }
    QMenu* afcRangeMenu() const { return m_afcRangeMenu; }
    int afcRange() const { return m_afcRangeHz; }

signals:
    void afcRangeChanged(int hz);

private:
    QSlider* m_squelchLevel = nullptr;
    QMenu* m_afcRangeMenu = nullptr;
    int m_afcRangeHz = kDefaultAfcRange;
};
