// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"

#include <QFileInfo>
#include <QMutex>
#include <QtDebug>

#include <climits>
#include <cmath>

namespace {
QString& settingsPath()
{
    static QString s;
    return s;
}
} // namespace

Settings::Settings(QObject* parent)
    : QSettings(settingsPath(), QSettings::IniFormat, parent)
{
}

Settings::~Settings()
{
    if (!m_written)
        return;
    sync();
    if (status() != QSettings::AccessError)
        return;
    QString why = writeProblem();
    if (why.isEmpty())
        why = QStringLiteral("%1 could not be written; the disk may be full").arg(path());
    // One line per kind of failure; the window hears of every one.
    static QMutex lock;
    static QString lastSaid;
    QMutexLocker locked(&lock);
    if (why != lastSaid) {
        lastSaid = why;
        qWarning().noquote() << QStringLiteral("Settings were not saved: %1.").arg(why);
    }
    emit notifier()->writeFailed(why);
}

void Settings::setValue(QAnyStringView key, const QVariant& value)
{
    m_written = true;
    QSettings::setValue(key, value);
}

void Settings::remove(QAnyStringView key)
{
    m_written = true;
    QSettings::remove(key);
}

SettingsNotifier* Settings::notifier()
{
    static SettingsNotifier notifier;
    return &notifier;
}

void Settings::validateStored()
{
    struct Rule
    {
        QString key;
        double min;
        double max;
        double fallback;
    };
    // Whole numbers only, except the two frequencies. The rates are those
    // the sound card dialog takes.
    const double highestRate = std::ceil(kReceiveClockLimit) - 1;
    QList<Rule> rules = {
        {QStringLiteral("Audio/Input/SampleRate"), kLowestSampleRate, highestRate, 11025},
        {QStringLiteral("Audio/Output/SampleRate"), kLowestSampleRate, highestRate, 11025},
        {QStringLiteral("Audio/Input/ppm"), -100, 100, 0},
        {QStringLiteral("Audio/Output/ppm"), -100, 100, 0},
        {QStringLiteral("Audio/Output/LevelDb"), -40, 0, -3}, // transmit peak below full scale
        {QStringLiteral("Audio/varicode"), 0, 2, 0},
        {QStringLiteral("Brightness"), 0, 99, 20},
        {QStringLiteral("Contrast"), 1, 99, 50}, // 0 draws every signal black
        {QStringLiteral("AFC"), 0, 2, 0},
        {QStringLiteral("Lock"), 0, 2, 0},
        {QStringLiteral("SQ"), 0, 2, 0},
        {QStringLiteral("Comport/ComNumber"), 0, 999, 1},
        {QStringLiteral("Comport/BaudRate"), 0, 21, 12},
        {QStringLiteral("Comport/ByteSize"), 0, 3, 3},
        {QStringLiteral("Comport/Parity"), 0, 4, 0},
        {QStringLiteral("Comport/StopBits"), 0, 2, 0},
        // Flags: any value but 0 sets the line.
        {QStringLiteral("Comport/DTR"), INT_MIN, INT_MAX, 0},
        {QStringLiteral("Comport/RTS"), INT_MIN, INT_MAX, 0},
    };
    for (int i = 0; i < 24; ++i)
        rules.append({QStringLiteral("Macros/Macros %1/index").arg(i), 0, 23, double(i)});

    Settings settings;
    const auto check = [&settings](const Rule& rule, bool whole) {
        if (!settings.contains(rule.key))
            return;
        const QString stored = settings.value(rule.key).toString();
        bool ok = false;
        const double v = stored.trimmed().toDouble(&ok);
        if (ok && std::isfinite(v) && v >= rule.min && v <= rule.max && (!whole || v == std::floor(v)))
            return;
        const QVariant used = whole ? QVariant(qint64(rule.fallback)) : QVariant(rule.fallback);
        qWarning().noquote() << QStringLiteral("Settings: %1 = \"%2\" is outside %3 to %4; %5 is used instead.")
                                    .arg(rule.key, stored)
                                    .arg(rule.min)
                                    .arg(rule.max)
                                    .arg(used.toString());
        settings.setValue(rule.key, used);
    };
    for (const Rule& rule : std::as_const(rules))
        check(rule, true);
    // The corrected receive clock stays below the limit too, as the dialog
    // demands; with a rate near the top a large correction would pass it.
    const double inputRate = settings.value(QStringLiteral("Audio/Input/SampleRate"), 11025).toDouble();
    const QString ppmKey = QStringLiteral("Audio/Input/ppm");
    const int ppm = settings.value(ppmKey, 0).toInt();
    const double clock = (ppm + 1000000.0) * inputRate / 1000000.0;
    if (clock >= kReceiveClockLimit) {
        qWarning().noquote() << QStringLiteral("Settings: %1 = %2 makes the receive clock %3 Hz, not below %4; "
                                               "0 is used instead.")
                                    .arg(ppmKey)
                                    .arg(ppm)
                                    .arg(clock, 0, 'f', 2)
                                    .arg(kReceiveClockLimit, 0, 'f', 0);
        settings.setValue(ppmKey, 0);
    }
    // The carriers lie inside the band the (checked) input rate shows.
    const double halfRate = settings.value(QStringLiteral("Audio/Input/SampleRate"), 11025).toDouble() / 2;
    check({QStringLiteral("RxFq"), 0, halfRate, 1000}, false);
    check({QStringLiteral("TxFq"), 0, halfRate, 1000}, false);
}

QString Settings::writeProblem()
{
    const QFileInfo file(path());
    if (file.isDir())
        return QStringLiteral("%1 is a folder").arg(file.filePath());
    if (file.exists() && !file.isWritable())
        return QStringLiteral("%1 is read-only").arg(file.filePath());
    const QFileInfo folder(file.absolutePath());
    if (!file.exists() && !(folder.isDir() && folder.isWritable()))
        return QStringLiteral("the folder %1 cannot be written").arg(folder.filePath());
    return QString();
}

QString Settings::path()
{
    return settingsPath();
}

void Settings::setPath(const QString& path)
{
    settingsPath() = path;
}

QString Settings::pathFromArguments(const QStringList& arguments, const QString& appDir,
                                    const QString& appName)
{
    static const QLatin1String kOption("-ini:");
    for (const QString& arg : arguments) {
        const int at = arg.indexOf(kOption); // case-sensitive, anywhere in the argument
        if (at >= 0)
            return arg.mid(at + kOption.size());
    }
    return appDir + QLatin1Char('/') + appName + QLatin1String(".ini");
}
