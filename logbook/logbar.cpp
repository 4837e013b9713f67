// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/logbar.h"

#include "core/settings.h"
#include "logbook/qsodata.h"

#include "ui_logbar.h"

#include <QBitmap>
#include <QIcon>
#include <QPixmap>
#include <QRegularExpressionValidator>

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

    // The validators only keep out what can never become a locator or a
    // power; a half-typed one is refused when the contact is saved.
    m_ui->editLocator->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\s*[A-Ra-r]{2}[0-9]{2}(?:[A-Xa-x]{2})?\\s*")), this));
    m_ui->editPower->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("\\s*\\d{1,5}(?:[.,]\\d{1,3})?\\s*[wW]?\\s*")), this));
    m_ui->editPower->setText(settings.value(QStringLiteral("LogBar/power"), QString()).toString());
    // Stored as soon as it reads as a power (or is emptied), so the next
    // start has it whichever way the program ends.
    connect(m_ui->editPower, &QLineEdit::textEdited, this, [this] {
        if (power().isEmpty() || !QsoFields::power(power()).isEmpty())
            Settings().setValue(QStringLiteral("LogBar/power"), power());
    });
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

QString LogBar::locator() const
{
    return m_ui->editLocator->text().trimmed();
}

QString LogBar::power() const
{
    return m_ui->editPower->text().trimmed();
}

void LogBar::setSent(const QString& report)
{
    m_ui->editSent->setText(report);
}

void LogBar::setSuggestedReport(const QString& report)
{
    m_suggested = report;
    m_ui->editSent->setPlaceholderText(report);
}

QToolButton* LogBar::saveButton() const
{
    return m_ui->toolButtonSave;
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
    m_ui->editLocator->clear();
}
