// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/logbar.h"

#include "core/settings.h"

#include "ui_logbar.h"

#include <QBitmap>
#include <QIcon>
#include <QPixmap>

namespace {

// The button images are plain bitmaps; their corner colour is the
// background, shown as transparent so the buttons match any style.
QIcon bitmapIcon(const QString& resource)
{
    QPixmap pixmap(resource);
    if (pixmap.isNull())
        return QIcon();
    const QColor background = pixmap.toImage().pixelColor(0, 0);
    pixmap.setMask(pixmap.createMaskFromColor(background, Qt::MaskInColor));
    return QIcon(pixmap);
}

} // namespace

LogBar::LogBar(const BandTable::Table& bands, QWidget* parent)
    : QWidget(parent)
    , m_ui(std::make_unique<Ui::LogBar>())
{
    m_ui->setupUi(this);
    m_ui->toolButtonSave->setIcon(bitmapIcon(QStringLiteral(":/save.bmp")));
    m_ui->toolButtonClear->setIcon(bitmapIcon(QStringLiteral(":/clear.bmp")));
    m_ui->toolButtonSearch->setIcon(bitmapIcon(QStringLiteral(":/search.bmp")));

    m_ui->comboBox->addItems(BandTable::boxEntries(bands));
    Settings settings;
    const QString last = settings.value(QStringLiteral("LogBar/band"), QString()).toString();
    m_ui->comboBox->setCurrentIndex(qMax(0, m_ui->comboBox->findText(last, Qt::MatchExactly | Qt::MatchCaseSensitive)));

    connect(m_ui->toolButtonClear, &QToolButton::clicked, this, &LogBar::clear);
}

LogBar::~LogBar() = default;

void LogBar::saveSettings() const
{
    if (m_ui->comboBox->count() > 0) {
        Settings settings;
        settings.setValue(QStringLiteral("LogBar/band"), m_ui->comboBox->currentText());
    }
}

QString LogBar::call() const
{
    return m_ui->editCall->text();
}

QString LogBar::name() const
{
    return m_ui->editName->text();
}

QString LogBar::qth() const
{
    return m_ui->editQHT->text();
}

QString LogBar::received() const
{
    return m_ui->editRecv->text();
}

QString LogBar::sent() const
{
    return m_ui->editSent->text();
}

QString LogBar::notes() const
{
    return m_ui->editNotes->text();
}

QString LogBar::band() const
{
    return m_ui->comboBox->currentText();
}

void LogBar::setSent(const QString& report)
{
    m_ui->editSent->setText(report);
}

QToolButton* LogBar::saveButton() const
{
    return m_ui->toolButtonSave;
}

QToolButton* LogBar::clearButton() const
{
    return m_ui->toolButtonClear;
}

QToolButton* LogBar::searchButton() const
{
    return m_ui->toolButtonSearch;
}

QComboBox* LogBar::bandBox() const
{
    return m_ui->comboBox;
}

void LogBar::clear()
{
    m_ui->editCall->clear();
    m_ui->editName->clear();
    m_ui->editQHT->clear();
    m_ui->editRecv->clear();
    m_ui->editSent->clear();
    m_ui->editNotes->clear();
}
