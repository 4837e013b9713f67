// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>

// Tells whoever listens (the main window) that a save of the settings
// failed, at the moment it failed.
class SettingsNotifier : public QObject
{
    Q_OBJECT
signals:
    // why: what went wrong, as a sentence part ("the disk may be full").
    void writeFailed(const QString& why);
};

// The program's one settings store: a QSettings that always opens the INI
// file whose path the entry point fixed before any window existed. Callers
// keep one only for the duration of a read or write sequence.
//
// One that was written to saves when it goes and checks that the file took
// it: a failure (a full disk, a file made read-only or replaced by a folder
// while the program runs) is reported on the warning output and through
// notifier(), never silently dropped.
class Settings : public QSettings
{
    Q_OBJECT
public:
    // The sample rates the program takes: whole Hz from kLowestSampleRate,
    // with the receive clock (the rate after its correction) below
    // kReceiveClockLimit, which the receiver's filters cannot go beyond.
    static constexpr int kLowestSampleRate = 8000;
    static constexpr double kReceiveClockLimit = 64250.0;

    explicit Settings(QObject* parent = nullptr);
    ~Settings() override;

    // As QSettings's, noting that something is to be saved.
    void setValue(QAnyStringView key, const QVariant& value);
    void remove(QAnyStringView key);

    // Raises writeFailed() on the thread of the failing save.
    static SettingsNotifier* notifier();

    // The process-wide settings path. Set once by main before anything
    // reads a setting; tests and tools set their own.
    static QString path();
    static void setPath(const QString& path);

    // The settings path for this argument list: <appDir>/<appName>.ini, or
    // everything after the first "-ini:" found anywhere in an argument (the
    // first such argument wins, later ones are not looked at).
    static QString pathFromArguments(const QStringList& arguments, const QString& appDir,
                                     const QString& appName);

    // Checks every stored number against the range the program accepts
    // (sample rates the receiver takes, frequencies inside the band shown,
    // codes the port knows...). A value outside it is replaced in the file
    // by its default, with one line on the terminal; absent keys stay
    // absent. Run once at start, before any part reads its keys.
    static void validateStored();

    // Why the settings file cannot be written (a read-only file, a folder in
    // its place, a folder that cannot be written), or empty when it can.
    static QString writeProblem();

private:
    bool m_written = false;
};
