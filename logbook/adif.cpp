// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/adif.h"

#include "core/codepage.h"
#include "logbook/hamlog.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QIODevice>
#include <QSaveFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <cmath>

namespace {

constexpr qint64 kChunkSize = 1 << 16;
// A "<" with no ">" this close behind it is text, not a tag.
constexpr qsizetype kMaxTagLength = 256;
// Consumed text is dropped from the read-ahead buffer past this point.
constexpr qsizetype kCompactAt = 1 << 16;
// A declared length beyond this is taken as damage, not as a value to skip:
// skipping it would swallow the rest of the file.
constexpr qsizetype kMaxSkippedLength = 1 << 20;

#ifndef VELKORA_VERSION
#error "VELKORA_VERSION must give the program version"
#endif

// The ADIF version the export follows.
const char kAdifVersion[] = "3.1.4";

struct Band
{
    const char* name;
    double mhz;
};

constexpr Band kBands[] = {
    {"160M", 1.838}, {"80M", 3.58},  {"40M", 7.07},  {"30M", 10.14},
    {"20M", 14.07},  {"17M", 18.109}, {"15M", 21.07}, {"12M", 24.919},
    {"10M", 28.12},  {"6M", 50.0},    {"2M", 144.0},  {"70CM", 432.0},
};

// The amateur bands of ADIF, edges in Hz, as far as a 32-bit frequency reaches.
struct BandEdges
{
    const char* name;
    quint32 lowHz;
    quint32 highHz;
};

constexpr BandEdges kBandEdges[] = {
    {"2190m", 135700, 137800},         {"630m", 472000, 479000},
    {"560m", 501000, 504000},          {"160m", 1800000, 2000000},
    {"80m", 3500000, 4000000},         {"60m", 5060000, 5450000},
    {"40m", 7000000, 7300000},         {"30m", 10100000, 10150000},
    {"20m", 14000000, 14350000},       {"17m", 18068000, 18168000},
    {"15m", 21000000, 21450000},       {"12m", 24890000, 24990000},
    {"10m", 28000000, 29700000},       {"8m", 40000000, 45000000},
    {"6m", 50000000, 54000000},        {"5m", 54000001, 69900000},
    {"4m", 70000000, 71000000},        {"2m", 144000000, 148000000},
    {"1.25m", 222000000, 225000000},   {"70cm", 420000000, 450000000},
    {"33cm", 902000000, 928000000},    {"23cm", 1240000000, 1300000000},
    {"13cm", 2300000000u, 2450000000u}, {"9cm", 3300000000u, 3500000000u},
};

// MHz to whole Hz; the half hertz keeps a value such as 14.0705, which is
// 14070499.99... in binary, from losing its last hertz. 0 when it does not fit.
bool megahertzToHertz(double mhz, quint32& hz)
{
    const double value = mhz * 1000000.0 + 0.5;
    if (!std::isfinite(mhz) || mhz < 0.0 || value >= 4294967296.0)
        return false;
    hz = quint32(value);
    return true;
}

bool allDigits(QStringView s)
{
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return !s.isEmpty();
}

QDate readDate(QStringView s)
{
    if (s.size() != 8 || !allDigits(s))
        return QDate();
    return QDate(s.mid(0, 4).toInt(), s.mid(4, 2).toInt(), s.mid(6, 2).toInt());
}

QTime readTime(QStringView s)
{
    if ((s.size() != 6 && s.size() != 4) || !allDigits(s))
        return QTime();
    return QTime(s.mid(0, 2).toInt(), s.mid(2, 2).toInt(), s.size() == 6 ? s.mid(4, 2).toInt() : 0);
}

void appendDigits(QString& out, int value, int width)
{
    const QString digits = QString::number(value);
    for (qsizetype i = digits.size(); i < width; ++i)
        out += u'0';
    out += digits;
}

void stripLineEnd(QByteArray& line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
}

bool readRawLine(QIODevice& device, QByteArray& line)
{
    line = device.readLine();
    if (line.isEmpty())
        return false;
    stripLineEnd(line);
    return true;
}

QString translate(const char* text)
{
    return QCoreApplication::translate("CHamLog", text);
}

// One record offered to the log by an import or merge, as a ready log line.
struct Incoming
{
    qint64 start = 0; // seconds since 1970, UTC
    QString key;
    QByteArray line;
};

class IncomingSource
{
public:
    virtual ~IncomingSource() = default;
    virtual bool next(Incoming& record) = 0;
    virtual QString error() const = 0;
};

class AdifSource final : public IncomingSource
{
public:
    AdifSource(AdifReader& reader, const QString& fileName)
        : m_reader(reader)
        , m_fileName(fileName)
    {
    }

    bool next(Incoming& record) override
    {
        CQsoData qso;
        if (!m_reader.next(qso))
            return false;
        record.start = qso.start.toSecsSinceEpoch();
        record.key = CHamLog::recordKey(qso);
        record.line = CHamLog::logLine(qso).toUtf8();
        return true;
    }

    QString error() const override
    {
        return m_reader.failed() ? translate("Can't read the ADIF file %1.").arg(m_fileName) : QString();
    }

private:
    AdifReader& m_reader;
    QString m_fileName;
};

// Lines of a second log; only lines that read as a dated record are offered.
class LogSource final : public IncomingSource
{
public:
    explicit LogSource(QFile& file)
        : m_file(file)
    {
    }

    bool next(Incoming& record) override
    {
        QByteArray raw;
        CQsoData qso;
        while (readRawLine(m_file, raw)) {
            if (CHamLog::parse(CHamLog::lineText(raw), qso) && qso.start.isValid()) {
                record.start = qso.start.toSecsSinceEpoch();
                record.key = CHamLog::recordKey(qso);
                record.line = raw;
                return true;
            }
        }
        return false;
    }

    QString error() const override
    {
        return m_file.error() != QFileDevice::NoError
                   ? translate("Can't read the log file %1: %2").arg(m_file.fileName(), m_file.errorString())
                   : QString();
    }

private:
    QFile& m_file;
};

// The keys of every record already in the log. Collected before the merge,
// so that a record is recognised even where the log is not in time order.
bool collectKeys(const QString& logName, QSet<QString>& keys, QString& error)
{
    QFile file(logName);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        error = translate("Can't read the log file %1: %2").arg(logName, file.errorString());
        return false;
    }
    QByteArray raw;
    CQsoData qso;
    while (readRawLine(file, raw)) {
        if (CHamLog::parse(CHamLog::lineText(raw), qso))
            keys.insert(CHamLog::recordKey(qso));
    }
    if (file.error() != QFileDevice::NoError) {
        error = translate("Can't read the log file %1: %2").arg(logName, file.errorString());
        return false;
    }
    return true;
}

struct MergeResult
{
    bool ok = false;
    int offered = 0;
    int added = 0;
    QString error;
};

// Two-way merge by start time: a log line goes first while it starts no
// later than the pending incoming record. The log's own lines are all kept,
// in their order, including lines that do not read as a dated record; an
// incoming record is written only when its key is new.
MergeResult mergeInto(const QString& logName, IncomingSource& source)
{
    MergeResult result;
    LogLock lock(logName);
    if (!lock.acquire()) {
        result.error = lock.errorString();
        return result;
    }
    QSet<QString> written;
    if (!collectKeys(logName, written, result.error))
        return result;
    LogRewrite rewrite(logName);
    if (!rewrite.begin(LogRewrite::MissingLog::AsEmpty)) {
        result.error = rewrite.errorString();
        return result;
    }

    struct OwnLine
    {
        qint64 start = 0;
        QByteArray line;
    };
    CQsoData qso;
    auto nextOwn = [&](OwnLine& own) {
        QByteArray raw;
        while (rewrite.readLine(raw)) {
            if (CHamLog::parse(CHamLog::lineText(raw), qso) && qso.start.isValid()) {
                own.start = qso.start.toSecsSinceEpoch();
                own.line = raw;
                return true;
            }
            rewrite.writeLine(raw);
        }
        return false;
    };

    OwnLine own;
    Incoming incoming;
    bool haveOwn = nextOwn(own);
    bool haveIncoming = source.next(incoming);
    while (haveOwn || haveIncoming) {
        if (haveOwn && (!haveIncoming || own.start <= incoming.start)) {
            rewrite.writeLine(own.line);
            haveOwn = nextOwn(own);
        } else {
            ++result.offered;
            if (!written.contains(incoming.key)) {
                written.insert(incoming.key);
                rewrite.writeLine(incoming.line);
                ++result.added;
            }
            haveIncoming = source.next(incoming);
        }
    }

    result.error = source.error();
    if (result.error.isEmpty())
        result.error = rewrite.errorString();
    if (!result.error.isEmpty())
        return result;
    // Nothing new: the log and its backup stay as they are.
    if (result.added > 0 && !rewrite.commit()) {
        result.error = rewrite.errorString();
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace

// ---------------------------------------------------------------------- Adif

void Adif::writeField(QString& out, QStringView name, const QString& value, QStringView type)
{
    if (value.isEmpty())
        return;
    out += u'<';
    out += name;
    out += u':';
    out += QString::number(value.toUtf8().size());
    if (!type.isEmpty()) {
        out += u':';
        out += type;
    }
    out += u'>';
    out += value;
}

QString Adif::frequencyText(quint32 hz)
{
    return QString::number(hz / 1000000u) + u'.' + QStringLiteral("%1").arg(hz % 1000000u, 6, 10, QLatin1Char('0'));
}

QString Adif::bandOf(quint32 hz)
{
    for (const BandEdges& b : kBandEdges) {
        if (hz >= b.lowHz && hz <= b.highHz)
            return QLatin1String(b.name);
    }
    return QString();
}

void Adif::modeFields(const QString& mode, QString& adifMode, QString& adifSubmode)
{
    static const QRegularExpression kPsk(QStringLiteral("^([BQ])PSK(\\d+)$"));
    const QRegularExpressionMatch m = kPsk.match(mode);
    if (!m.hasMatch()) {
        adifMode = mode;
        adifSubmode.clear();
        return;
    }
    adifMode = QStringLiteral("PSK");
    adifSubmode = (m.captured(1) == u"Q" ? QStringLiteral("QPSK") : QStringLiteral("PSK")) + m.captured(2);
}

QString Adif::modeName(const QString& adifMode, const QString& adifSubmode)
{
    static const QRegularExpression kPsk(QStringLiteral("^(Q?)PSK(\\d+)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QString mode = adifMode.trimmed();
    const QString submode = adifSubmode.trimmed();
    const QString psk = mode.compare(u"PSK", Qt::CaseInsensitive) == 0 ? submode : mode;
    const QRegularExpressionMatch m = kPsk.match(psk);
    if (!m.hasMatch())
        return mode.isEmpty() ? submode : mode;
    return (m.captured(1).isEmpty() ? QStringLiteral("BPSK") : QStringLiteral("QPSK")) + m.captured(2);
}

quint32 Adif::bandFrequency(const QString& band)
{
    const QString upper = band.trimmed().toUpper();
    for (const Band& b : kBands) {
        if (upper == QLatin1String(b.name)) {
            quint32 hz = 0;
            megahertzToHertz(b.mhz, hz);
            return hz;
        }
    }
    return 0;
}

bool Adif::decodeRecord(const Fields& fields, CQsoData& qso)
{
    qso.valid = false;
    qso.extraDate1 = QDateTime();
    qso.extraDate2 = QDateTime();

    const QString call = fields.value(QStringLiteral("CALL")).trimmed();
    const QDate date = readDate(fields.value(QStringLiteral("QSO_DATE")).trimmed());
    const QTime time = readTime(fields.value(QStringLiteral("TIME_ON")).trimmed());
    if (call.isEmpty() || !date.isValid() || !time.isValid())
        return false;

    quint32 hz = 0;
    bool haveFrequency = false;
    const QString freq = fields.value(QStringLiteral("FREQ")).trimmed();
    if (!freq.isEmpty()) {
        bool ok = false;
        const double mhz = freq.toDouble(&ok);
        haveFrequency = ok && megahertzToHertz(mhz, hz);
    }
    if (!haveFrequency) {
        // A FREQ that cannot be read counts as absent, so BAND can still serve.
        hz = bandFrequency(fields.value(QStringLiteral("BAND")));
        if (hz == 0)
            return false;
    }

    qso.call = call;
    qso.start = QDateTime(date, time, Qt::UTC);
    qso.end = qso.start;
    qso.frequencyA = hz;
    qso.frequencyB = hz;
    qso.sent = fields.value(QStringLiteral("RST_SENT"));
    qso.received = fields.value(QStringLiteral("RST_RCVD"));
    qso.name = fields.value(QStringLiteral("NAME"));
    qso.qth = fields.value(QStringLiteral("QTH"));
    qso.info = fields.value(QStringLiteral("COMMENT"));
    qso.mode = modeName(fields.value(QStringLiteral("MODE")), fields.value(QStringLiteral("SUBMODE")));
    qso.valid = true;
    return true;
}

// ---------------------------------------------------------------- AdifReader

AdifReader::AdifReader(QIODevice* device)
    : m_device(device)
{
}

bool AdifReader::fill()
{
    if (m_atEnd || !m_device)
        return false;
    const QByteArray chunk = m_device->read(kChunkSize);
    if (chunk.isEmpty()) {
        m_atEnd = true;
        // A read error on a file shows as an error string on a device that
        // is not at its end.
        m_failed = !m_device->isSequential() && !m_device->atEnd();
        return false;
    }
    if (!m_started) {
        m_started = true;
        // A replacement character that the bytes do not hold themselves
        // means the file is not UTF-8. The decoder keeps a character cut at
        // the end of the chunk for later, so that is no error.
        QStringDecoder utf8(QStringConverter::Utf8);
        const QString text = utf8.decode(chunk);
        m_codePage = text.contains(QChar::ReplacementCharacter) && !chunk.contains("\xEF\xBF\xBD");
    }
    m_buffer += chunk;
    return true;
}

void AdifReader::compact()
{
    if (m_pos >= kCompactAt) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
}

qsizetype AdifReader::valueBytes(qsizetype length)
{
    const qsizetype size = m_buffer.size();
    // The value ends where a tag, a blank or the end of the input follows.
    auto endsWell = [&](qsizetype end) {
        if (end >= size)
            return true;
        const char c = m_buffer.at(end);
        return c == '<' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
    };
    const qsizetype byBytes = qMin(length, size - m_pos);
    if (endsWell(m_pos + byBytes))
        return byBytes;

    qsizetype end = m_pos;
    if (!m_codePage) {
        // Counted in characters (UTF-16 code units), as older programs did.
        qsizetype units = 0;
        while (units < length && end < size) {
            const auto b = quint8(m_buffer.at(end));
            const int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
            units += n == 4 ? 2 : 1;
            end = qMin(end + n, size);
        }
        if (units == length && end != m_pos + byBytes && endsWell(end))
            return end - m_pos;
    }
    // Line ends not counted: a file wrapped into lines after it was written.
    qsizetype counted = 0;
    for (end = m_pos; counted < length && end < size; ++end) {
        const char c = m_buffer.at(end);
        if (c != '\r' && c != '\n')
            ++counted;
    }
    if (counted == length && end != m_pos + byBytes && endsWell(end))
        return end - m_pos;
    return byBytes;
}

QString AdifReader::valueText(qsizetype bytes) const
{
    const QByteArray raw = m_buffer.mid(m_pos, bytes);
    QString text = m_codePage ? CodePage::fromBytes(raw) : CHamLog::lineText(raw);
    qsizetype out = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'\t')
            text[out++] = u' ';
        else if (c.category() != QChar::Other_Control && c.category() != QChar::Separator_Line
                 && c.category() != QChar::Separator_Paragraph)
            text[out++] = c;
    }
    text.truncate(out);
    return text;
}

bool AdifReader::nextFields(Adif::Fields& fields)
{
    fields.clear();
    for (;;) {
        compact();
        qsizetype open = m_buffer.indexOf('<', m_pos);
        while (open < 0) {
            m_pos = m_buffer.size();
            if (!fill())
                return false;
            open = m_buffer.indexOf('<', m_pos);
        }
        m_pos = open;

        qsizetype close = m_buffer.indexOf('>', open + 1);
        while (close < 0 && m_buffer.size() - open <= kMaxTagLength && fill())
            close = m_buffer.indexOf('>', open + 1);
        if (close < 0 || close - open > kMaxTagLength) {
            ++m_pos; // a lone "<" in text between tags
            continue;
        }
        // A copy: reading the value below may grow, and so move, the buffer.
        const QByteArray tag = m_buffer.mid(open + 1, close - open - 1);
        const qsizetype nested = tag.lastIndexOf('<');
        if (nested >= 0) {
            m_pos = open + 1 + nested;
            continue;
        }
        m_pos = close + 1;

        const qsizetype colon = tag.indexOf(':');
        const QByteArray name = (colon < 0 ? tag : tag.left(colon)).trimmed();
        if (name.compare("EOR", Qt::CaseInsensitive) == 0)
            return true;
        if (name.compare("EOH", Qt::CaseInsensitive) == 0) {
            fields.clear(); // everything so far was header
            continue;
        }
        if (colon < 0)
            continue;

        QByteArray lengthText = tag.mid(colon + 1);
        const qsizetype typeColon = lengthText.indexOf(':');
        if (typeColon >= 0)
            lengthText.truncate(typeColon);
        lengthText = lengthText.trimmed();
        if (!allDigits(QString::fromLatin1(lengthText)) || lengthText.size() > 9)
            continue;
        const qsizetype length = lengthText.toLongLong();
        if (length > kMaxSkippedLength)
            continue;
        if (length > Adif::kMaxValueLength) {
            while (m_buffer.size() - m_pos < length && fill()) {
            }
            m_pos += qMin(length, m_buffer.size() - m_pos);
            continue;
        }
        // Room for the longest reading of the value and the byte after it.
        while (m_buffer.size() - m_pos <= 4 * length && fill()) {
        }
        const qsizetype bytes = valueBytes(length);
        const QString key = QString::fromLatin1(name).toUpper();
        // The first value that is not empty counts.
        if (fields.value(key).isEmpty())
            fields.insert(key, valueText(bytes));
        m_pos += bytes;
    }
}

bool AdifReader::next(CQsoData& qso)
{
    Adif::Fields fields;
    while (nextFields(fields)) {
        if (Adif::decodeRecord(fields, qso))
            return true;
    }
    return false;
}

// ------------------------------------------------ CHamLog: export, import, merge

bool CHamLog::exportAdif(const QString& adifFileName)
{
    if (!open(QIODevice::ReadOnly))
        return failWith(tr("Can't read the log file %1: %2").arg(fileName(), errorString()));
    if (isLogOrCompanion(adifFileName, fileName()))
        return failWith(tr("The ADIF file %1 would overwrite the log.").arg(adifFileName));

    // A save file leaves an existing file of that name as it was unless the
    // whole export succeeds.
    QSaveFile out(adifFileName);
    if (!out.open(QIODevice::WriteOnly))
        return failWith(tr("Can't open the ADIF file %1 for writing: %2").arg(adifFileName, out.errorString()));
    // The header is text that does not start with "<", then its fields.
    QString header = QStringLiteral("Velkora32 logbook exported as ADIF\n");
    Adif::writeField(header, u"ADIF_VER", QLatin1String(kAdifVersion));
    Adif::writeField(header, u"PROGRAMID", QStringLiteral("Velkora32"));
    Adif::writeField(header, u"PROGRAMVERSION", QStringLiteral(VELKORA_VERSION));
    Adif::writeField(header, u"CREATED_TIMESTAMP",
                     QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd hhmmss")));
    header += QLatin1String("\n<EOH>\n");
    out.write(header.toUtf8());

    QByteArray raw;
    CQsoData qso;
    QString record;
    while (readRawLine(*this, raw)) {
        if (!parse(lineText(raw), qso))
            continue;
        record.clear();
        QString timeOn;
        QString qsoDate;
        if (qso.start.isValid()) {
            const QDate date = qso.start.date();
            const QTime time = qso.start.time();
            appendDigits(timeOn, time.hour(), 2);
            appendDigits(timeOn, time.minute(), 2);
            appendDigits(timeOn, time.second(), 2);
            appendDigits(qsoDate, date.year(), 4);
            appendDigits(qsoDate, date.month(), 2);
            appendDigits(qsoDate, date.day(), 2);
        }
        QString mode;
        QString submode;
        Adif::modeFields(qso.mode, mode, submode);
        Adif::writeField(record, u"CALL", qso.call);
        Adif::writeField(record, u"QSO_DATE", qsoDate);
        Adif::writeField(record, u"TIME_ON", timeOn);
        Adif::writeField(record, u"BAND", Adif::bandOf(qso.frequencyB));
        Adif::writeField(record, u"FREQ", Adif::frequencyText(qso.frequencyB));
        Adif::writeField(record, u"MODE", mode);
        Adif::writeField(record, u"SUBMODE", submode);
        Adif::writeField(record, u"RST_RCVD", qso.received);
        Adif::writeField(record, u"RST_SENT", qso.sent);
        Adif::writeField(record, u"NAME", qso.name);
        Adif::writeField(record, u"QTH", qso.qth);
        Adif::writeField(record, u"COMMENT", qso.info);
        record += QLatin1String("<EOR>\n");
        out.write(record.toUtf8());
    }
    const bool readFailed = error() != QFileDevice::NoError;
    const QString readError = errorString();
    close();
    if (readFailed) {
        out.cancelWriting();
        return failWith(tr("Can't read the log file %1: %2").arg(fileName(), readError));
    }
    if (!out.commit())
        return failWith(tr("Can't write the ADIF file %1: %2").arg(adifFileName, out.errorString()));
    return true;
}

bool CHamLog::importAdif(const QString& adifFileName)
{
    m_changedLines = 0;
    QFile adif(adifFileName);
    if (!adif.open(QIODevice::ReadOnly))
        return failWith(tr("Can't open the ADIF file %1: %2").arg(adifFileName, adif.errorString()));
    AdifReader reader(&adif);
    AdifSource source(reader, adifFileName);
    const MergeResult result = mergeInto(fileName(), source);
    if (!result.ok)
        return failWith(result.error);
    if (result.offered == 0)
        return failWith(tr("The ADIF file %1 holds no record that can be imported.").arg(adifFileName));
    m_changedLines = result.added;
    return true;
}

bool CHamLog::merge(CHamLog& other)
{
    m_changedLines = 0;
    if (!other.open(QIODevice::ReadOnly))
        return failWith(tr("Can't open the log file %1: %2").arg(other.fileName(), other.errorString()));
    LogSource source(other);
    const MergeResult result = mergeInto(fileName(), source);
    other.close();
    if (!result.ok)
        return failWith(result.error);
    m_changedLines = result.added;
    return true;
}
