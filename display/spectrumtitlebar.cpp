// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/spectrumtitlebar.h"

#include "core/settings.h"
#include "display/spectrumwidget.h"

#include <algorithm>

namespace {
const QString kBrightness = QStringLiteral("Brightness");
const QString kContrast = QStringLiteral("Contrast");
const QString kAfc = QStringLiteral("AFC");
const QString kLock = QStringLiteral("Lock");
const QString kSquelch = QStringLiteral("SQ");

// A hand-edited file may hold anything; keep the box in a state it knows.
Qt::CheckState checkState(const QVariant& stored)
{
    return Qt::CheckState(std::clamp(stored.toInt(), int(Qt::Unchecked), int(Qt::Checked)));
}
} // namespace

SpectrumTitleBar::SpectrumTitleBar(QWidget* parent)
    : QWidget(parent)
{
    setupUi(this);

    // Restored before anyone is connected, so nothing downstream reacts; the
    // owner pushes the states once after wiring.
    Settings settings;
    // The waterfall's own defaults: sliders at 0 would show a black waterfall
    // and write that back for every later start.
    sliderBrightness->setValue(settings.value(kBrightness, SpectrumWidget::kDefaultBrightness).toInt());
    sliderContrast->setValue(settings.value(kContrast, SpectrumWidget::kDefaultContrast).toInt());
    checkBoxAFC->setCheckState(checkState(settings.value(kAfc, 0)));
    checkBoxLock->setCheckState(checkState(settings.value(kLock, 0)));
    checkBoxSQ->setCheckState(checkState(settings.value(kSquelch, 0)));

    // The signal measurements behind these fields are not wired up.
    lineEditIMD->hide();
    lineEditSN->hide();
}

SpectrumTitleBar::~SpectrumTitleBar() = default;

void SpectrumTitleBar::saveSettings() const
{
    Settings settings;
    settings.setValue(kBrightness, sliderBrightness->value());
    settings.setValue(kContrast, sliderContrast->value());
    settings.setValue(kAfc, int(checkBoxAFC->checkState()));
    settings.setValue(kLock, int(checkBoxLock->checkState()));
    settings.setValue(kSquelch, int(checkBoxSQ->checkState()));
}

void SpectrumTitleBar::setModeList(const QStringList& modes)
{
    comboBox->addItems(modes);
}
