// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/qsodata.h"

#include <QRegularExpression>

CQsoData::CQsoData()
{
    clear();
}

void CQsoData::clear()
{
    // One clock reading for all four: separate readings could leave an extra
    // date a millisecond "later than start", and it would then be stored.
    const QDateTime now = QDateTime::currentDateTimeUtc();
    number = 0;
    call.clear();
    start = now;
    end = now;
    extraDate1 = now;
    extraDate2 = now;
    frequencyA = 0;
    frequencyB = 0;
    text9.clear();
    mode.clear();
    sent.clear();
    received.clear();
    text13.clear();
    text14.clear();
    name.clear();
    qth.clear();
    info.clear();
    locator.clear();
    power.clear();
    valid = false;
    edited = false;
}

QString QsoFields::locator(const QString& text)
{
    static const QRegularExpression kLocator(QStringLiteral("^[A-R]{2}[0-9]{2}(?:[A-X]{2})?$"),
                                             QRegularExpression::CaseInsensitiveOption);
    const QString t = text.trimmed();
    return kLocator.match(t).hasMatch() ? t.left(4).toUpper() + t.mid(4).toLower() : QString();
}

QString QsoFields::power(const QString& text)
{
    static const QRegularExpression kWatts(QStringLiteral("^(\\d{1,5}(?:[.,]\\d{1,3})?)\\s*[wW]?$"));
    const QRegularExpressionMatch m = kWatts.match(text.trimmed());
    if (!m.hasMatch())
        return QString();
    const double watts = m.captured(1).replace(u',', u'.').toDouble();
    if (watts <= 0.0 || watts > 10000.0)
        return QString();
    return QString::number(watts, 'g', 8);
}
