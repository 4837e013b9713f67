// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/hamlog.h"

#include "core/apppaths.h"
#include "core/codepage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringView>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t kSeparator = u';';

QString translate(const char* text)
{
    return QCoreApplication::translate("CHamLog", text);
}

QString systemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

QByteArray nativeName(const QString& fileName)
{
    return QFile::encodeName(fileName);
}

// The format has no escape: a ";" would shift every later field and a line
// break would split the record, so both are replaced when a line is written.
bool needsCleaning(QChar c)
{
    switch (c.unicode()) {
    case u';':
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x0085: // next line
    case 0x2028: // line separator
    case 0x2029: // paragraph separator
        return true;
    default:
        return false;
    }
}

void appendField(QString& out, const QString& text)
{
    const auto bad = std::find_if(text.cbegin(), text.cend(), needsCleaning);
    if (bad == text.cend()) {
        out += text;
    } else {
        for (QChar c : text)
            out += !needsCleaning(c) ? c : (c == u';' ? QChar(u',') : QChar(u' '));
    }
    out += kSeparator;
}

void appendDigits(QString& out, int value, int width)
{
    const QString digits = QString::number(value);
    for (int i = digits.size(); i < width; ++i)
        out += u'0';
    out += digits;
}

// "yyyyMMdd" and, with the time, "yyyyMMddhhmmss"; empty for an invalid
// date-time. Written by hand: QDateTime::toString() with a format goes
// through the locale machinery and dominates the time of a large rewrite.
void appendStamp(QString& out, const QDateTime& dt, bool withTime)
{
    if (!dt.isValid())
        return;
    const QDate d = dt.date();
    appendDigits(out, d.year(), 4);
    appendDigits(out, d.month(), 2);
    appendDigits(out, d.day(), 2);
    if (withTime) {
        const QTime t = dt.time();
        appendDigits(out, t.hour(), 2);
        appendDigits(out, t.minute(), 2);
        appendDigits(out, t.second(), 2);
    }
}

QString stamp(const QDateTime& dt)
{
    QString s;
    appendStamp(s, dt, true);
    return s;
}

// Field 4: whole minutes from start to end, empty unless end is later.
QString minutesField(const CQsoData& qso)
{
    if (!qso.start.isValid() || !qso.end.isValid() || qso.end <= qso.start)
        return QString();
    return QString::number(qso.start.secsTo(qso.end) / 60);
}

bool isDigits(QStringView s)
{
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

// Decimal fields as QStringView::toUInt() and toInt() read them; plain digit
// runs, by far the most common, without the locale machinery.
quint32 toUnsigned(QStringView s)
{
    if (s.isEmpty() || s.size() > 9 || !isDigits(s))
        return s.toUInt();
    quint32 v = 0;
    for (QChar c : s)
        v = v * 10 + (c.unicode() - u'0');
    return v;
}

int toSigned(QStringView s)
{
    if (s.isEmpty())
        return 0;
    if (s.size() > 9 || !isDigits(s))
        return s.toInt();
    return int(toUnsigned(s));
}

int number(QStringView s, int from, int count)
{
    int v = 0;
    for (int i = from; i < from + count; ++i)
        v = v * 10 + (s[i].unicode() - u'0');
    return v;
}

// Exactly "yyyyMMddhhmmss" (or "yyyyMMdd" without the time). Times in the
// log carry no zone; they are read as UTC so that no daylight-saving gap can
// make a stored time invalid and comparisons do not depend on the machine.
QDateTime readStamp(QStringView s, bool withTime)
{
    const int length = withTime ? 14 : 8;
    if (s.size() != length || !isDigits(s))
        return QDateTime();
    const QDate date(number(s, 0, 4), number(s, 4, 2), number(s, 6, 2));
    const QTime time = withTime ? QTime(number(s, 8, 2), number(s, 10, 2), number(s, 12, 2))
                                : QTime(0, 0);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time, Qt::UTC);
}

// Two times are the same record time when they are stored alike: the log
// keeps whole seconds and no zone.
bool sameStoredTime(const QDateTime& a, const QDateTime& b)
{
    return stamp(a) == stamp(b);
}

void stripLineEnd(QByteArray& line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
}

bool syncDirectoryOf(const QString& fileName)
{
    const QByteArray dir = nativeName(QFileInfo(fileName).absolutePath());
    const int fd = ::open(dir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Some file systems cannot sync a directory; there is nothing more to do.
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
    ::close(fd);
    return ok;
}

bool copyFileDurably(const QString& from, const QString& to)
{
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    while (!in.atEnd()) {
        const QByteArray block = in.read(1 << 16);
        if (block.isEmpty() || out.write(block) != block.size())
            return false;
    }
    return out.flush() && ::fsync(out.handle()) == 0;
}

// A log the user made read-only (no write bit, or no write access) is not
// written, by an append or a rewrite, even where root could.
bool isReadOnly(const QString& fileName)
{
    const QByteArray name = nativeName(fileName);
    struct stat st{};
    if (::stat(name.constData(), &st) != 0)
        return false;
    if (::access(name.constData(), W_OK) != 0)
        return true;
    errno = EACCES;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

constexpr int kLockWaitMs = 2000;
constexpr int kLockPollMs = 20;

} // namespace

// ------------------------------------------------------------------- LogLock

LogLock::LogLock(const QString& logFileName)
    : m_logName(CHamLog::resolvedFileName(logFileName))
{
}

LogLock::~LogLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

bool LogLock::acquire()
{
    if (m_fd >= 0)
        return true;
    const QString lockName = m_logName + QLatin1String(".lock");
    // A link placed at the lock file's name is not followed: it could make
    // the program create or lock a file anywhere the link points.
    m_fd = ::open(nativeName(lockName).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (m_fd < 0) {
        const int openError = errno;
        if (openError == ELOOP) {
            m_error = translate("The lock file %1 is a symbolic link, which is not followed. Please remove "
                                "the link; the program creates the lock file itself.")
                          .arg(lockName);
        } else if (openError == EACCES || openError == EROFS || openError == EPERM) {
            m_error = CHamLog::folderNotWritableMessage(lockName, m_logName);
        } else {
            m_error = translate("Can't open the lock file %1: %2").arg(lockName, systemError());
        }
        return false;
    }
    for (int waited = 0;; waited += kLockPollMs) {
        if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno != EWOULDBLOCK && errno != EINTR) {
            m_error = translate("Can't lock the log file %1: %2").arg(m_logName, systemError());
            break;
        }
        if (waited >= kLockWaitMs) {
            m_error = translate("The log file %1 is being changed by another instance of the program. "
                                "Nothing was written; please try again.")
                          .arg(m_logName);
            break;
        }
        ::usleep(kLockPollMs * 1000);
    }
    ::close(m_fd);
    m_fd = -1;
    return false;
}

// ---------------------------------------------------------------- LogRewrite

LogRewrite::LogRewrite(const QString& logFileName)
    : m_logName(CHamLog::resolvedFileName(logFileName))
    , m_in(m_logName)
    , m_out(m_logName + QLatin1String(".tmp"))
{
}

LogRewrite::~LogRewrite()
{
    m_in.close();
    m_out.close();
    if (m_created && !m_committed)
        QFile::remove(m_out.fileName());
}

bool LogRewrite::fail(const QString& message)
{
    if (m_error.isEmpty())
        m_error = message;
    return false;
}

bool LogRewrite::begin(MissingLog missing)
{
    if (m_logName.isEmpty())
        return fail(translate("No log file name was given."));
    if (isReadOnly(m_logName))
        return fail(CHamLog::notWritableMessage(m_logName, systemError()));
    if (m_in.open(QIODevice::ReadOnly)) {
        m_logExists = true;
    } else if (missing == MissingLog::AsEmpty && !QFileInfo(m_logName).exists()
               && !QFileInfo(m_logName).isSymLink()) {
        m_logExists = false;
    } else {
        return fail(translate("Can't read the log file %1: %2").arg(m_logName, m_in.errorString()));
    }

    // A ".tmp" left by a rewrite that died is stale. It is removed rather than
    // truncated, so that a link placed there cannot redirect the new content.
    const QByteArray tmp = nativeName(m_out.fileName());
    if (::unlink(tmp.constData()) != 0 && errno != ENOENT)
        return fail(translate("Can't remove the old temporary file %1: %2")
                        .arg(m_out.fileName(), systemError()));
    if (!m_out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        const QByteArray folder = nativeName(QFileInfo(m_out.fileName()).absolutePath());
        if (::access(folder.constData(), W_OK) != 0 && (errno == EACCES || errno == EROFS))
            return fail(CHamLog::folderNotWritableMessage(m_out.fileName(), m_logName));
        return fail(translate("Can't create the temporary file %1: %2")
                        .arg(m_out.fileName(), m_out.errorString()));
    }
    m_created = true;
    return true;
}

bool LogRewrite::readLine(QByteArray& line)
{
    if (!m_logExists || !m_in.isOpen())
        return false;
    line = m_in.readLine();
    if (line.isEmpty()) {
        if (m_in.error() != QFileDevice::NoError)
            fail(translate("Can't read the log file %1: %2").arg(m_logName, m_in.errorString()));
        return false;
    }
    stripLineEnd(line);
    return true;
}

bool LogRewrite::writeLine(const QByteArray& line)
{
    if (m_writeFailed || !m_out.isOpen())
        return false;
    errno = 0;
    if (m_out.write(line) != line.size() || !m_out.putChar('\n')) {
        m_writeFailed = true;
        return fail(translate("Can't write the temporary file %1: %2")
                        .arg(m_out.fileName(), errno != 0 ? systemError() : m_out.errorString()));
    }
    return true;
}

bool LogRewrite::makeBackup()
{
    // The backup is a second name for the old log's content, made under a
    // staging name and renamed over ".bak" so that ".bak" is never missing.
    const QString bak = m_logName + QLatin1String(".bak");
    const QString staging = bak + QLatin1String(".tmp");
    const QByteArray stagingName = nativeName(staging);
    if (::unlink(stagingName.constData()) != 0 && errno != ENOENT)
        return fail(translate("Can't remove %1: %2").arg(staging, systemError()));
    if (::link(nativeName(m_logName).constData(), stagingName.constData()) != 0) {
        const int linkError = errno;
        const bool noHardLinks = linkError == EPERM || linkError == EXDEV || linkError == EMLINK
                                 || linkError == EOPNOTSUPP || linkError == ENOSYS;
        if (!noHardLinks || !copyFileDurably(m_logName, staging)) {
            ::unlink(stagingName.constData());
            errno = linkError;
            return fail(translate("Can't make the backup %1: %2").arg(staging, systemError()));
        }
    }
    if (::rename(stagingName.constData(), nativeName(bak).constData()) != 0) {
        const QString reason = systemError();
        ::unlink(stagingName.constData());
        return fail(translate("Can't make the backup %1: %2").arg(bak, reason));
    }
    return true;
}

void LogRewrite::keepOwnership()
{
    // The new file takes the old one's owner, group and mode, so that a log
    // shared through a group stays shared. Only root may give a file away;
    // anyone may hand it to a group they belong to.
    struct stat st{};
    if (::fstat(m_in.handle(), &st) != 0)
        return;
    const int fd = m_out.handle();
    if (::fchown(fd, st.st_uid, st.st_gid) != 0 && ::fchown(fd, uid_t(-1), st.st_gid) != 0)
        qWarning("Can't give %s the group of the log: %s", qPrintable(m_out.fileName()), std::strerror(errno));
    // After the change of group, which may clear the set-id bits.
    if (::fchmod(fd, st.st_mode & 07777) != 0)
        qWarning("Can't give %s the mode of the log: %s", qPrintable(m_out.fileName()), std::strerror(errno));
}

bool LogRewrite::commit()
{
    if (!m_out.isOpen() || m_committed)
        return fail(translate("The rewrite of %1 was not started.").arg(m_logName));
    if (!m_error.isEmpty())
        return false;
    errno = 0;
    if (!m_out.flush() || ::fsync(m_out.handle()) != 0)
        return fail(translate("Can't write the temporary file %1: %2")
                        .arg(m_out.fileName(), errno != 0 ? systemError() : m_out.errorString()));
    if (m_logExists)
        keepOwnership();
    m_out.close();
    if (m_out.error() != QFileDevice::NoError)
        return fail(translate("Can't write the temporary file %1: %2")
                        .arg(m_out.fileName(), m_out.errorString()));
    m_in.close();

    if (m_logExists && !makeBackup())
        return false;
    if (::rename(nativeName(m_out.fileName()).constData(), nativeName(m_logName).constData()) != 0) {
        return fail(translate("Can't replace the log file %1: %2").arg(m_logName, systemError()));
    }
    m_committed = true;
    if (!syncDirectoryOf(m_logName))
        return fail(translate("The log file %1 was rewritten but may not be on disk yet: %2")
                        .arg(m_logName, systemError()));
    return true;
}

// ------------------------------------------------------------------- CHamLog

CHamLog::CHamLog()
    : QFile(defaultFileName())
{
}

CHamLog::CHamLog(const QString& fileName)
    : QFile(fileName)
{
}

QString CHamLog::defaultFileName()
{
    return QDir(AppPaths::writableDirectory())
        .absoluteFilePath(QCoreApplication::applicationName() + QLatin1String(".log"));
}

QString CHamLog::resolvedFileName(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.isSymLink())
        return fileName;
    const QString target = info.canonicalFilePath();
    return target.isEmpty() ? fileName : target;
}

bool CHamLog::isLogOrCompanion(const QString& path, const QString& logFileName)
{
    if (path.isEmpty() || logFileName.isEmpty())
        return false;
    auto normal = [](const QString& name) {
        const QFileInfo info(name);
        const QString canonical = info.canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    };
    const QString target = normal(path);
    for (const QString& log : {logFileName, resolvedFileName(logFileName)}) {
        for (const char* suffix : {"", ".bak", ".tmp", ".lock", ".bak.tmp"}) {
            if (normal(log + QLatin1String(suffix)) == target)
                return true;
        }
    }
    return false;
}

QString CHamLog::folderNotWritableMessage(const QString& fileName, const QString& logFileName)
{
    const QString folder = QFileInfo(logFileName).absolutePath();
    return translate("Can't create %1 beside the log: the folder %2 is not writable. The log can only be "
                     "changed when its folder is writable: make %2 writable for you, or use a log in a "
                     "folder you may write to.")
        .arg(fileName, QDir::toNativeSeparators(folder));
}

QString CHamLog::notWritableMessage(const QString& fileName, const QString& reason)
{
    return translate("Can't open the log file %1 for writing: %2").arg(fileName, reason);
}

bool CHamLog::failWith(const QString& message)
{
    if (isOpen())
        close();
    setErrorString(message);
    return false;
}

QString CHamLog::lineText(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    // A replacement character that the bytes do not hold themselves means
    // they are not UTF-8.
    if (text.contains(QChar::ReplacementCharacter) && !bytes.contains("\xEF\xBF\xBD"))
        return CodePage::fromBytes(bytes);
    return text;
}

QString CHamLog::logLine(const CQsoData& qso)
{
    QString line;
    line.reserve(96 + qso.name.size() + qso.qth.size() + qso.info.size());
    line += QString::number(qso.number);
    line += kSeparator;
    appendField(line, qso.call.toUpper());
    appendStamp(line, qso.start, true);
    line += kSeparator;
    line += minutesField(qso);
    line += kSeparator;
    if (qso.extraDate1.isValid() && qso.extraDate1 > qso.start)
        appendStamp(line, qso.extraDate1, false);
    line += kSeparator;
    if (qso.extraDate2.isValid() && qso.extraDate2 > qso.start)
        appendStamp(line, qso.extraDate2, false);
    line += kSeparator;
    line += QString::number(qso.frequencyB != 0 ? 0u : qso.frequencyA);
    line += kSeparator;
    line += QString::number(qso.frequencyB);
    line += kSeparator;
    appendField(line, qso.text9);
    appendField(line, qso.mode);
    appendField(line, qso.sent);
    appendField(line, qso.received);
    appendField(line, qso.text13);
    appendField(line, qso.text14);
    appendField(line, qso.name);
    appendField(line, qso.qth);
    appendField(line, qso.info);
    appendField(line, qso.locator);
    appendField(line, qso.power);
    return line;
}

bool CHamLog::parse(const QString& line, CQsoData& qso, int mask)
{
    qso.valid = false;
    const QList<QStringView> field = QStringView(line).split(kSeparator);
    if (field.size() < kFieldCount)
        return false;

    if (mask & ParseNumber)
        qso.number = toUnsigned(field[0]);
    if (mask & ParseCall) {
        if (field[1].isEmpty())
            return false;
        qso.call = field[1].toString();
    }
    if (mask & ParseStart) {
        if (field[2].isEmpty())
            return false;
        qso.start = readStamp(field[2], true);
    }
    if (mask != 0) {
        qso.end = qso.start.addSecs(qint64(toSigned(field[3])) * 60);
        qso.extraDate1 = field[4].isEmpty() ? QDateTime() : readStamp(field[4], false);
        qso.extraDate2 = field[5].isEmpty() ? QDateTime() : readStamp(field[5], false);
    }
    if (mask & ParseFrequencyAndMode) {
        quint32 a = toUnsigned(field[6]);
        const quint32 b = toUnsigned(field[7]);
        if (a == 0)
            a = b;
        qso.frequencyA = a;
        qso.frequencyB = b != 0 ? b : a;
        qso.mode = field[9].toString();
    }
    if (mask != 0) {
        qso.text9 = field[8].toString();
        qso.sent = field[10].toString();
        qso.received = field[11].toString();
        qso.text13 = field[12].toString();
        qso.text14 = field[13].toString();
        qso.name = field[14].toString();
        qso.qth = field[15].toString();
        qso.info = field[16].toString();
        qso.locator = field[17].toString();
        qso.power = field[18].toString();
    }
    qso.valid = true;
    return true;
}

QString CHamLog::recordKey(const CQsoData& qso)
{
    // The log holds calls in upper case; a file may not.
    QString key = qso.call.toUpper();
    key += kSeparator;
    appendStamp(key, qso.start, true);
    key += kSeparator;
    key += sameModeName(qso.mode);
    key += kSeparator;
    key += QString::number(qso.frequencyA);
    return key;
}

QString CHamLog::sameModeName(const QString& mode)
{
    // "PSK31" is what older versions of the program stored for BPSK31.
    if (mode.size() > 3 && mode.startsWith(QLatin1String("PSK"), Qt::CaseInsensitive)
        && isDigits(QStringView(mode).mid(3)))
        return QStringLiteral("BPSK") + mode.mid(3);
    return mode;
}

bool CHamLog::append(const CQsoData& qso)
{
    LogLock lock(fileName());
    if (!lock.acquire())
        return failWith(lock.errorString());
    if (isReadOnly(fileName()))
        return failWith(notWritableMessage(fileName(), systemError()));
    // A last line without its line end (a file edited by hand, or an append
    // cut short) would swallow the new record; it gets its line end first.
    bool needsLineEnd = false;
    if (open(QIODevice::ReadOnly)) {
        char last = '\n';
        if (size() > 0 && seek(size() - 1) && getChar(&last))
            needsLineEnd = last != '\n';
        close();
    }
    // Unbuffered, so that a failed write leaves nothing behind in a buffer
    // that close() would write after the file has been cut back.
    if (!open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return failWith(notWritableMessage(fileName(), errorString()));

    const qint64 oldSize = size();
    QByteArray bytes;
    if (needsLineEnd)
        bytes += '\n';
    bytes += logLine(qso).toUtf8();
    bytes += '\n';
    errno = 0;
    if (write(bytes) == bytes.size() && ::fsync(handle()) == 0) {
        close();
        return true;
    }
    const QString reason = errno != 0 ? systemError() : errorString();
    // Take back a partial line so that the file stays as it was.
    if (::ftruncate(handle(), oldSize) != 0)
        qWarning("Can't cut %s back to its old size", qPrintable(fileName()));
    return failWith(tr("Can't write to the log file %1: %2").arg(fileName(), reason));
}

QList<CQsoData> CHamLog::search(const QString& pattern)
{
    QList<CQsoData> result;
    if (!open(QIODevice::ReadOnly)) {
        failWith(tr("Can't read the log file %1: %2").arg(fileName(), errorString()));
        return result;
    }
    QByteArray raw;
    CQsoData qso;
    while (!(raw = readLine()).isEmpty()) {
        stripLineEnd(raw);
        const QString line = lineText(raw);
        if (!pattern.isEmpty() && !line.contains(pattern, Qt::CaseInsensitive))
            continue;
        qso.clear();
        if (parse(line, qso, ParseAll))
            result.append(qso);
    }
    const bool readFailed = error() != QFileDevice::NoError;
    const QString reason = errorString();
    close();
    if (readFailed)
        failWith(tr("Can't read the log file %1: %2").arg(fileName(), reason));
    return result;
}

bool CHamLog::deleteRecords(const QList<CQsoData>& records, int count)
{
    m_changedLines = 0;
    count = qBound(0, count, int(records.size()));
    LogLock lock(fileName());
    if (!lock.acquire())
        return failWith(lock.errorString());
    LogRewrite rewrite(fileName());
    if (!rewrite.begin())
        return failWith(rewrite.errorString());

    int target = 0;
    QByteArray raw;
    CQsoData qso;
    while (rewrite.readLine(raw)) {
        if (target < count) {
            const CQsoData& wanted = records.at(target);
            const QString line = lineText(raw);
            if (line.contains(wanted.call, Qt::CaseInsensitive) && parse(line, qso, ParseAll)
                && sameStoredTime(qso.start, wanted.start) && qso.call == wanted.call
                && qso.mode == wanted.mode) {
                ++target;
                ++m_changedLines;
                continue;
            }
        }
        rewrite.writeLine(raw);
    }
    return finishRewrite(rewrite);
}

bool CHamLog::finishRewrite(LogRewrite& rewrite)
{
    if (!rewrite.errorString().isEmpty())
        return failWith(rewrite.errorString());
    // Nothing matched: the file and its backup stay as they are.
    if (m_changedLines == 0)
        return true;
    if (!rewrite.commit())
        return failWith(rewrite.errorString());
    return true;
}

bool CHamLog::replace(const CQsoData& oldQso, const CQsoData& newQso)
{
    m_changedLines = 0;
    LogLock lock(fileName());
    if (!lock.acquire())
        return failWith(lock.errorString());
    LogRewrite rewrite(fileName());
    if (!rewrite.begin())
        return failWith(rewrite.errorString());

    const QByteArray newLine = logLine(newQso).toUtf8();
    const QString oldMinutes = minutesField(oldQso);
    QByteArray raw;
    CQsoData qso;
    while (rewrite.readLine(raw)) {
        const QString line = lineText(raw);
        if (line.contains(oldQso.call, Qt::CaseSensitive) && parse(line, qso, ParseAll)
            && sameStoredTime(qso.start, oldQso.start) && minutesField(qso) == oldMinutes
            && qso.call == oldQso.call && qso.mode == oldQso.mode) {
            ++m_changedLines;
            rewrite.writeLine(newLine);
        } else {
            rewrite.writeLine(raw);
        }
    }
    return finishRewrite(rewrite);
}
