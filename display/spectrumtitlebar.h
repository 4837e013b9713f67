// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui_spectrumtitle.h"

#include <QStringList>
#include <QWidget>

// The strip of display controls: waterfall brightness and contrast, the AFC,
// LOCK and SQ boxes and the mode selector. It only restores and saves the
// control states; the owner wires the controls (they are public through the
// form) to the waterfall and the modem. The IMD and S/N fields exist but are
// never shown. GUI thread only.
class SpectrumTitleBar : public QWidget, public Ui::SpectrumTitle
{
    Q_OBJECT
public:
    explicit SpectrumTitleBar(QWidget* parent = nullptr);
    ~SpectrumTitleBar() override;
    // Stores the sliders and the AFC, lock and squelch boxes.
    void saveSettings() const;

    // Appends the mode names to the mode selector, in order.
    void setModeList(const QStringList& modes);
};
