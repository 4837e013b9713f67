// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook/qsodata.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

class AdifReader;

// An advisory lock on the companion file "<log>.lock", held from acquire()
// until the object is destroyed, so that two instances of the program on one
// log take turns: every append and every rewrite holds it, and reads the log
// only once it has it. A second writer waits up to two seconds and then
// fails with a message. A lock file that is a symbolic link is refused, not
// followed. The lock file is never removed (removing it would
// let two writers lock two different files). Used on the GUI thread.
class LogLock
{
public:
    explicit LogLock(const QString& logFileName);
    ~LogLock();

    LogLock(const LogLock&) = delete;
    LogLock& operator=(const LogLock&) = delete;

    bool acquire();
    QString errorString() const { return m_error; }

private:
    QString m_logName;
    int m_fd = -1;
    QString m_error;
};

// Writes the next version of a log file so that, whatever moment the process
// dies (kill -9 included), the log is afterwards either its complete old or
// its complete new content. The new content goes to "<log>.tmp", which is
// flushed and fsync'ed; the old content is kept as "<log>.bak" (a hard link,
// or a copy where the file system has none, put in place by rename); then
// rename(2) puts the temporary file over the log and the directory is
// fsync'ed. Every failed step makes the rewrite fail and leaves the log as it
// was. A log that is a symbolic link is rewritten where the link points, in
// that folder, so the link stays. A log without write permission is refused
// as an append is. The new file keeps the log's owner, group and mode where
// the process may set them. One object serves one rewrite, under a LogLock taken by
// the caller; used on the GUI thread.
class LogRewrite
{
public:
    enum class MissingLog { Fail, AsEmpty };

    explicit LogRewrite(const QString& logFileName);
    // An uncommitted rewrite is abandoned: ".tmp" is removed, the log kept.
    ~LogRewrite();

    LogRewrite(const LogRewrite&) = delete;
    LogRewrite& operator=(const LogRewrite&) = delete;

    // Opens the log for reading and creates a fresh ".tmp". A log that does
    // not exist yet reads as empty with MissingLog::AsEmpty.
    bool begin(MissingLog missing = MissingLog::Fail);
    // The next line of the current log without its line end; false at the end.
    bool readLine(QByteArray& line);
    // One line of the new content; the line end is added here.
    bool writeLine(const QByteArray& line);
    // Puts the new content in place; false (log unchanged) when any step fails.
    bool commit();

    QString errorString() const { return m_error; }

private:
    bool fail(const QString& message);
    bool makeBackup();
    void keepOwnership();

    QString m_logName;
    QFile m_in;
    QFile m_out;
    bool m_logExists = false;
    bool m_created = false;
    bool m_writeFailed = false;
    bool m_committed = false;
    QString m_error;
};

// The log book: one plain-text file, one contact per line of 19 fields, each
// followed by ";". Appends records, searches the file into records, deletes
// and replaces records through a LogRewrite, and exports, imports (ADIF) and
// merges. Created on the stack for one operation; the file is never held open
// between operations and nothing is cached. Used on the GUI thread.
//
// Every operation that fails returns false (an empty list for search) and
// leaves a message naming the file in errorString(). Appends and rewrites
// hold a LogLock, so a second instance on the same log never undoes them.
class CHamLog : public QFile
{
    Q_OBJECT
public:
    // Which fields parse() takes. Every field other than these four groups is
    // taken whenever the mask is not 0.
    enum ParseMask {
        ParseNumber = 1,
        ParseCall = 2,
        ParseStart = 4,
        ParseFrequencyAndMode = 8,
        ParseAll = ParseNumber | ParseCall | ParseStart | ParseFrequencyAndMode,
    };

    static constexpr int kFieldCount = 19;

    // The default log: "<application name>.log" in the application directory.
    CHamLog();
    explicit CHamLog(const QString& fileName);
    static QString defaultFileName();
    // The file a log name stands for: the target of a symbolic link (its
    // companions lie beside it), else the name itself.
    static QString resolvedFileName(const QString& fileName);
    // True when path names the log or one of its companion files (".bak",
    // ".tmp", ".lock"), directly or through a link: no report, macro or ADIF
    // file is written there.
    static bool isLogOrCompanion(const QString& path, const QString& logFileName);
    // The message for a log that cannot be written, the same for an append
    // and a rewrite.
    static QString notWritableMessage(const QString& fileName, const QString& reason);
    // The message for a companion file (lock or temporary file) that cannot
    // be created because the log's folder is not writable.
    static QString folderNotWritableMessage(const QString& fileName, const QString& logFileName);

    // Adds the record's line at the end of the file (created when missing).
    bool append(const CQsoData& qso);

    // Records in file order whose line contains pattern (any letter case) and
    // parses; an empty pattern lists every line that parses.
    QList<CQsoData> search(const QString& pattern);

    // Removes the lines of the first count records of a list in file order
    // (as search returns it): the current target is dropped at its first line
    // with the same start, call and mode, then the next record becomes the
    // target. A target that is not found stops the later ones from matching.
    bool deleteRecords(const QList<CQsoData>& records, int count);

    // Replaces every line with oldQso's start, end, call and mode by newQso's
    // line (the call must appear in the line in the same letter case).
    bool replace(const CQsoData& oldQso, const CQsoData& newQso);

    // Lines dropped or replaced by the last deleteRecords() or replace(), or
    // records added by the last importAdif() or merge(). When it is 0 the
    // file, and its backup, were left untouched.
    int changedLines() const { return m_changedLines; }

    // ADIF export of every line that parses, in file order.
    bool exportAdif(const QString& adifFileName);
    // Merges the ADIF file's records into the log in time order, leaving out
    // records already there. A log that does not exist yet is created.
    bool importAdif(const QString& adifFileName);
    // What the last importAdif() left out or repaired: records skipped,
    // damaged lengths repaired, fields not kept with their counts. Empty when
    // every record was taken whole.
    QString importNotes() const { return m_importNotes; }
    // Merges the records of a second log in this program's format likewise.
    bool merge(CHamLog& other);

    // Reads one log line into qso; false (qso not valid) for a line of fewer
    // than 19 fields, or with an empty call or start when those are asked for.
    static bool parse(const QString& line, CQsoData& qso, int mask = ParseAll);
    // The record's log line, without line end. ";" in a text becomes "," and
    // a line break a blank, so that one record is always one line of 19 fields.
    static QString logLine(const CQsoData& qso);
    // "CALL;start;mode;frequency A", the call in upper case and the mode as
    // sameModeName() gives it: the identity by which import and merge
    // recognise a record they have already written.
    static QString recordKey(const CQsoData& qso);
    // One spelling for the names a mode has had: "PSK63" (older logs, and
    // ADIF MODE without SUBMODE) is "BPSK63"; other names stay as they are.
    static QString sameModeName(const QString& mode);
    // The text of a raw line of a log file: UTF-8, or the local 8-bit code page
    // for lines that are not UTF-8 (logs written by older programs).
    static QString lineText(const QByteArray& bytes);

private:
    bool failWith(const QString& message);
    // Ends a delete or replace: reports a read or write error, keeps the
    // file when nothing changed, and puts the new file in place otherwise.
    bool finishRewrite(LogRewrite& rewrite);

    static QString importReport(const AdifReader& reader);

    int m_changedLines = 0;
    QString m_importNotes;
};
