// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/spectrumtitlebar.h"

#include "core/settings.h"
#include "display/spectrumwidget.h"
#include "modem/squelchgate.h"

#include <QComboBox>
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
// The readouts say this when there is no figure.
const QString kNoFigure = QStringLiteral("\u2014");

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
    m_squelchLevel->setFixedWidth(70);
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

    // Beside AFC: how far it may pull the receiver.
    m_afcRange = new QComboBox(this);
    m_afcRange->setObjectName(QStringLiteral("comboAfcRange"));
    for (int hz : kAfcRanges)
        m_afcRange->addItem(tr("\u00B1%1 Hz").arg(hz), hz);
    const int stored = m_afcRange->findData(settings.value(kAfcRange, kDefaultAfcRange).toInt());
    m_afcRange->setCurrentIndex(stored >= 0 ? stored : m_afcRange->findData(kDefaultAfcRange));
    m_afcRange->setToolTip(tr("AFC range: how far the AFC may pull the receiver from where you tuned it"));
    connect(m_afcRange, &QComboBox::currentIndexChanged, this, [this] { Settings().setValue(kAfcRange, afcRange()); });
    horizontalLayout_3->insertWidget(horizontalLayout_3->indexOf(checkBoxAFC) + 1, m_afcRange);

    // The readouts of the tuned signal, filled by the owner.
    for (QLineEdit* field : {lineEditSN, lineEditIMD}) {
        field->setReadOnly(true);
        field->setFocusPolicy(Qt::NoFocus);
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("IMD: -88 dB")) + 12);
    }
    lineEditSN->setToolTip(tr("Signal to noise ratio of the tuned signal, in dB in 2500 Hz"));
    lineEditIMD->setToolTip(tr("Intermodulation of the tuned signal while it idles: its third-order products against "
                               "its two tones, in dB (below -25 dB is clean); \u2014 while it sends text or is too weak "
                               "to tell"));
    showSignalReport(-99.0, std::nan(""));
}

int SpectrumTitleBar::afcRange() const
{
    return m_afcRange->currentData().toInt();
}

void SpectrumTitleBar::showSignalReport(double snrDb, double imdDb)
{
    lineEditSN->setText(snrDb > -90.0 ? tr("S/N: %1 dB").arg(std::lround(snrDb)) : tr("S/N: %1").arg(kNoFigure));
    lineEditIMD->setText(std::isnan(imdDb) ? tr("IMD: %1").arg(kNoFigure) : tr("IMD: %1 dB").arg(std::lround(imdDb)));
}

SpectrumTitleBar::~SpectrumTitleBar()
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
