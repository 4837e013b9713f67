// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/spectrumtitlebar.h"

#include "core/settings.h"
#include "display/spectrumwidget.h"
#include "modem/squelchgate.h"

#include <QActionGroup>
#include <QMenu>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {
const QString kBrightness = QStringLiteral("Brightness");
const QString kContrast = QStringLiteral("Contrast");
const QString kAfc = QStringLiteral("AFC");
const QString kLock = QStringLiteral("Lock");
const QString kSquelch = QStringLiteral("SQ");
const QString kSquelchLevel = QStringLiteral("SQLevel");
const QString kAfcRange = QStringLiteral("AFCRange");

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

    // Beside SQ: its level. A stored level outside the slider's range
    // (a hand-edited file) lands on the nearest end.
    m_squelchLevel = new QSlider(Qt::Horizontal, this);
    m_squelchLevel->setObjectName(QStringLiteral("sliderSquelchLevel"));
    m_squelchLevel->setRange(SquelchGate::kMinLevel, SquelchGate::kMaxLevel);
    m_squelchLevel->setMaximumWidth(80);
    m_squelchLevel->setValue(settings.value(kSquelchLevel, SquelchGate::kDefaultLevel).toInt());
    auto levelTip = [this] {
        m_squelchLevel->setToolTip(tr("Squelch level: with SQ ticked, text shows while the tuned signal's S/N is at "
                                      "least %1 dB (in 2500 Hz, at BPSK31; 1.5 dB more for each doubling of the "
                                      "speed). Lower lets weaker signals through, higher keeps more noise out.")
                                       .arg(m_squelchLevel->value()));
    };
    levelTip();
    connect(m_squelchLevel, &QSlider::valueChanged, this, [levelTip](int level) {
        levelTip();
        Settings().setValue(kSquelchLevel, level);
    });
    horizontalLayout_3->insertWidget(horizontalLayout_3->indexOf(checkBoxSQ) + 1, m_squelchLevel);

    // The AFC's range: a menu of its own, on a right click on AFC. A stored
    // range that is not offered falls back to the first start's.
    m_afcRangeMenu = new QMenu(tr("AFC range"), this);
    m_afcRangeMenu->setObjectName(QStringLiteral("menuAfcRange"));
    m_afcRangeMenu->setToolTipsVisible(true);
    auto* group = new QActionGroup(m_afcRangeMenu);
    const int stored = settings.value(kAfcRange, kDefaultAfcRange).toInt();
    m_afcRangeHz = std::find(std::begin(kAfcRanges), std::end(kAfcRanges), stored) != std::end(kAfcRanges) ? stored : kDefaultAfcRange;
    for (int hz : kAfcRanges) {
        QAction* action = m_afcRangeMenu->addAction(tr("\u00B1%1 Hz").arg(hz));
        action->setCheckable(true);
        action->setChecked(hz == m_afcRangeHz);
        action->setData(hz);
        action->setToolTip(tr("The AFC pulls the receiver at most %1 Hz from where you tuned it").arg(hz));
        action->setStatusTip(action->toolTip());
        group->addAction(action);
    }
    connect(group, &QActionGroup::triggered, this, [this](QAction* action) {
        m_afcRangeHz = action->data().toInt();
        Settings().setValue(kAfcRange, m_afcRangeHz);
        emit afcRangeChanged(m_afcRangeHz);
    });
    checkBoxAFC->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(checkBoxAFC, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_afcRangeMenu->popup(checkBoxAFC->mapToGlobal(at)); });

    // The signal measurements are shown beside the phase scope.
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
