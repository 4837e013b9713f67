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

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace {

constexpr qint64 kChunkSize = 1 << 16;
// A "<" with no ">" this close behind it is text, not a tag.
constexpr qsizetype kMaxTagLength = 256;
// Consumed text is dropped from the read-ahead buffer past this point.
constexpr qsizetype kCompactAt = 1 << 16;
// While a long value is scanned for damage, at most this much of it is kept
// in memory; a value this long is never kept anyway.
constexpr qsizetype kMaxScanKeep = 1 << 20;

// The fields this program keeps from a record (or that only say again what
// it keeps); every other field with a value is reported as not kept.
const QSet<QString>& keptFields()
{
    static const QSet<QString> kKept = {
        QStringLiteral("CALL"),     QStringLiteral("QSO_DATE"), QStringLiteral("TIME_ON"),
        QStringLiteral("FREQ"),     QStringLiteral("BAND"),     QStringLiteral("MODE"),
        QStringLiteral("SUBMODE"),  QStringLiteral("RST_SENT"), QStringLiteral("RST_RCVD"),
        QStringLiteral("NAME"),     QStringLiteral("QTH"),      QStringLiteral("COMMENT"),
        QStringLiteral("NOTES"),    QStringLiteral("TIME_OFF"), QStringLiteral("QSO_DATE_OFF"),
        QStringLiteral("GRIDSQUARE"), QStringLiteral("TX_PWR"),
    };
    return kKept;
}

// The field names of ADIF 3.1. A "<" that starts a tag with one of them is
// where reading picks up again after a damaged length.
bool isKnownFieldName(const QByteArray& upperName)
{
    static const QSet<QByteArray> kNames = [] {
        const char* const names[] = {
            "ADDRESS", "ADIF_VER", "AGE", "A_INDEX", "ANT_AZ", "ANT_EL", "ANT_PATH", "ARRL_SECT",
            "AWARD_GRANTED", "AWARD_SUBMITTED", "BAND", "BAND_RX", "CALL", "CHECK", "CLASS",
            "CLUBLOG_QSO_UPLOAD_DATE", "CLUBLOG_QSO_UPLOAD_STATUS", "CNTY", "COMMENT", "CONT",
            "CONTACTED_OP", "CONTEST_ID", "COUNTRY", "CQZ", "CREATED_TIMESTAMP", "CREDIT_GRANTED",
            "CREDIT_SUBMITTED", "DARC_DOK", "DISTANCE", "DXCC", "EMAIL", "EQ_CALL", "EQSL_QSLRDATE",
            "EQSL_QSLSDATE", "EQSL_QSL_RCVD", "EQSL_QSL_SENT", "FISTS", "FISTS_CC", "FORCE_INIT", "FREQ",
            "FREQ_RX", "GRIDSQUARE", "GUEST_OP", "HRDLOG_QSO_UPLOAD_DATE", "HRDLOG_QSO_UPLOAD_STATUS",
            "IOTA", "IOTA_ISLAND_ID", "ITUZ", "K_INDEX", "LAT", "LON", "LOTW_QSLRDATE", "LOTW_QSLSDATE",
            "LOTW_QSL_RCVD", "LOTW_QSL_SENT", "MAX_BURSTS", "MODE", "MS_SHOWER", "MY_ANTENNA", "MY_CITY",
            "MY_CNTY", "MY_COUNTRY", "MY_CQ_ZONE", "MY_DXCC", "MY_FISTS", "MY_GRIDSQUARE", "MY_IOTA",
            "MY_IOTA_ISLAND_ID", "MY_ITU_ZONE", "MY_LAT", "MY_LON", "MY_NAME", "MY_POSTAL_CODE", "MY_RIG",
            "MY_SIG", "MY_SIG_INFO", "MY_SOTA_REF", "MY_STATE", "MY_STREET", "MY_USACA_COUNTIES",
            "MY_VUCC_GRIDS", "NAME", "NOTES", "NR_BURSTS", "NR_PINGS", "OPERATOR", "OWNER_CALLSIGN", "PFX",
            "PRECEDENCE", "PROGRAMID", "PROGRAMVERSION", "PROP_MODE", "PUBLIC_KEY", "QRZCOM_QSO_UPLOAD_DATE",
            "QRZCOM_QSO_UPLOAD_STATUS", "QSLMSG", "QSLRDATE", "QSLSDATE", "QSL_RCVD", "QSL_RCVD_VIA",
            "QSL_SENT", "QSL_SENT_VIA", "QSL_VIA", "QSO_COMPLETE", "QSO_DATE", "QSO_DATE_OFF", "QSO_RANDOM",
            "QTH", "REGION", "RIG", "RST_RCVD", "RST_SENT", "RX_PWR", "SAT_MODE", "SAT_NAME", "SFI", "SIG",
            "SIG_INFO", "SILENT_KEY", "SKCC", "SOTA_REF", "SRX", "SRX_STRING", "STATE", "STATION_CALLSIGN",
            "STX", "STX_STRING", "SUBMODE", "SWL", "TEN_TEN", "TIME_OFF", "TIME_ON", "TX_PWR", "UKSMG",
            "USACA_COUNTIES", "VE_PROV", "VUCC_GRIDS", "WEB",
        };
        QSet<QByteArray> set;
        for (const char* name : names)
            set.insert(QByteArray(name));
        return set;
    }();
    return kNames.contains(upperName) || upperName.startsWith("APP_") || upperName.startsWith("USERDEF");
}

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

    // The incoming records in time order (equal times in the order read),
    // whatever order their file has: the log stays in date order.
    QList<Incoming> incoming;
    for (Incoming record; source.next(record);)
        incoming.append(std::move(record));
    std::stable_sort(incoming.begin(), incoming.end(),
                     [](const Incoming& a, const Incoming& b) { return a.start < b.start; });

    OwnLine own;
    bool haveOwn = nextOwn(own);
    qsizetype next = 0;
    while (haveOwn || next < incoming.size()) {
        if (haveOwn && (next == incoming.size() || own.start <= incoming.at(next).start)) {
            rewrite.writeLine(own.line);
            haveOwn = nextOwn(own);
        } else {
            const Incoming& record = incoming.at(next++);
            ++result.offered;
            if (!written.contains(record.key)) {
                written.insert(record.key);
                rewrite.writeLine(record.line);
                ++result.added;
            }
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

QString Adif::onlyBand(const CQsoData& qso)
{
    if (qso.text9.isEmpty() || bandFrequency(qso.text9) != qso.frequencyB)
        return QString();
    return qso.text9.toLower();
}

QStringList Adif::notKeptFields(const Fields& fields)
{
    QStringList names;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        if (!it.value().trimmed().isEmpty() && !keptFields().contains(it.key()))
            names << it.key();
    }
    // NOTES stands in for a missing COMMENT only.
    if (!fields.value(QStringLiteral("COMMENT")).isEmpty() && !fields.value(QStringLiteral("NOTES")).trimmed().isEmpty()
        && fields.value(QStringLiteral("NOTES")) != fields.value(QStringLiteral("COMMENT")))
        names << QStringLiteral("NOTES");
    // A locator or power that does not check is not kept either.
    for (const auto& [name, check] : {std::pair{QStringLiteral("GRIDSQUARE"), &QsoFields::locator},
                                      std::pair{QStringLiteral("TX_PWR"), &QsoFields::power}}) {
        const QString value = fields.value(name);
        if (!value.trimmed().isEmpty() && check(value).isEmpty())
            names << name;
    }
    return names;
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
    QString bandOnly;
    if (!haveFrequency) {
        // A FREQ that cannot be read counts as absent, so BAND can still serve.
        const QString band = fields.value(QStringLiteral("BAND")).trimmed();
        hz = bandFrequency(band);
        if (hz == 0)
            return false;
        bandOnly = band.toLower();
    }

    qso.call = call;
    qso.start = QDateTime(date, time, Qt::UTC);
    qso.end = qso.start;
    // The end of the contact, on the day of QSO_DATE_OFF, else on the day of
    // the start or the next one, whichever lies after the start.
    const QTime timeOff = readTime(fields.value(QStringLiteral("TIME_OFF")).trimmed());
    if (timeOff.isValid()) {
        const QDate dateOff = readDate(fields.value(QStringLiteral("QSO_DATE_OFF")).trimmed());
        QDateTime end(dateOff.isValid() ? dateOff : date, timeOff, Qt::UTC);
        if (!dateOff.isValid() && end < qso.start)
            end = end.addDays(1);
        if (end > qso.start)
            qso.end = end;
    }
    qso.frequencyA = hz;
    qso.frequencyB = hz;
    // A contact known only by its band keeps the band: its frequency is the
    // band's usual one, which the contact never had and an export leaves out.
    qso.text9 = bandOnly;
    qso.sent = fields.value(QStringLiteral("RST_SENT"));
    qso.received = fields.value(QStringLiteral("RST_RCVD"));
    qso.name = fields.value(QStringLiteral("NAME"));
    qso.qth = fields.value(QStringLiteral("QTH"));
    qso.info = fields.value(QStringLiteral("COMMENT"));
    if (qso.info.isEmpty())
        qso.info = fields.value(QStringLiteral("NOTES"));
    qso.mode = modeName(fields.value(QStringLiteral("MODE")), fields.value(QStringLiteral("SUBMODE")));
    qso.locator = QsoFields::locator(fields.value(QStringLiteral("GRIDSQUARE")));
    qso.power = QsoFields::power(fields.value(QStringLiteral("TX_PWR")));
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
    QByteArray chunk = m_device->read(kChunkSize);
    if (chunk.isEmpty()) {
        m_atEnd = true;
        // A read error on a file shows as an error string on a device that
        // is not at its end.
        m_failed = !m_device->isSequential() && !m_device->atEnd();
        return false;
    }
    if (!m_started) {
        m_started = true;
        // UTF-16 by its byte order mark, or by the zero bytes that ASCII text
        // has in it; it is read as UTF-8 from here on.
        const bool zeroSecond = chunk.size() >= 2 && chunk.at(0) != 0 && chunk.at(1) == 0;
        const bool zeroFirst = chunk.size() >= 2 && chunk.at(0) == 0 && chunk.at(1) != 0;
        if (chunk.startsWith("\xFF\xFE") || zeroSecond)
            m_utf16 = std::make_unique<QStringDecoder>(QStringConverter::Utf16LE);
        else if (chunk.startsWith("\xFE\xFF") || zeroFirst)
            m_utf16 = std::make_unique<QStringDecoder>(QStringConverter::Utf16BE);
        if (!m_utf16) {
            if (chunk.startsWith("\xEF\xBB\xBF"))
                chunk.remove(0, 3);
            // A replacement character that the bytes do not hold themselves
            // means the file is not UTF-8. The decoder keeps a character cut
            // at the end of the chunk for later, so that is no error.
            QStringDecoder utf8(QStringConverter::Utf8);
            const QString text = utf8.decode(chunk);
            m_codePage = text.contains(QChar::ReplacementCharacter) && !chunk.contains("\xEF\xBF\xBD");
        }
    }
    if (m_utf16)
        chunk = QString(m_utf16->decode(chunk)).toUtf8();
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

AdifReader::Tag AdifReader::tagAt(qsizetype at)
{
    qsizetype close = m_buffer.indexOf('>', at + 1);
    while (close < 0 && m_buffer.size() - at <= kMaxTagLength && fill())
        close = m_buffer.indexOf('>', at + 1);
    if (close < 0 || close - at > kMaxTagLength)
        return Tag::None;
    const QByteArray tag = m_buffer.mid(at + 1, close - at - 1);
    if (tag.contains('<'))
        return Tag::None;
    const qsizetype colon = tag.indexOf(':');
    const QByteArray name = (colon < 0 ? tag : tag.left(colon)).trimmed().toUpper();
    if (colon < 0)
        return name == "EOR" || name == "EOH" ? Tag::RecordEnd : Tag::None;
    QByteArray length = tag.mid(colon + 1);
    const qsizetype typeColon = length.indexOf(':');
    if (typeColon >= 0)
        length.truncate(typeColon);
    length = length.trimmed();
    if (length.isEmpty() || !allDigits(QString::fromLatin1(length)))
        return Tag::None;
    return isKnownFieldName(name) ? Tag::Field : Tag::None;
}

bool AdifReader::endsWell(qsizetype end)
{
    while (end >= m_buffer.size() && fill()) {
    }
    if (end >= m_buffer.size())
        return true;
    const char c = m_buffer.at(end);
    return c == '<' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

qsizetype AdifReader::shortValueBytes(qsizetype length, bool& repaired)
{
    // Room for the longest reading of the value and the byte after it.
    while (m_buffer.size() - m_pos <= 4 * length && fill()) {
    }
    const qsizetype bytes = valueBytes(length);
    const qsizetype end = m_pos + bytes;
    bool damaged = !endsWell(end);
    qsizetype firstTag = -1;
    for (qsizetype at = m_buffer.indexOf('<', m_pos); at >= 0 && at < end; at = m_buffer.indexOf('<', at + 1)) {
        const Tag tag = tagAt(at);
        if (tag == Tag::None)
            continue;
        if (firstTag < 0)
            firstTag = at;
        if (tag == Tag::RecordEnd) {
            damaged = true;
            break;
        }
    }
    repaired = damaged && firstTag >= 0;
    return repaired ? firstTag - m_pos : bytes;
}

qsizetype AdifReader::longValueBytes(qsizetype length, bool& repaired, bool& complete)
{
    repaired = false;
    complete = true;
    const qsizetype start = m_pos;
    qsizetype end = start + length; // moves back when read bytes are dropped
    qsizetype at = start;
    qsizetype firstTag = -1;
    for (;;) {
        const qsizetype limit = qMin(end, m_buffer.size());
        const qsizetype open = m_buffer.indexOf('<', at);
        if (open >= 0 && open < limit) {
            const Tag tag = tagAt(open);
            if (tag != Tag::None && firstTag < 0)
                firstTag = open;
            if (tag == Tag::RecordEnd) {
                repaired = true;
                return firstTag - start;
            }
            at = open + 1;
            continue;
        }
        if (limit == end) {
            repaired = firstTag >= 0 && !endsWell(end);
            return repaired ? firstTag - start : end - start;
        }
        at = limit;
        // A tag this deep inside was text of a long value after all.
        if (firstTag >= 0 && at - firstTag > kMaxScanKeep)
            firstTag = -1;
        if (firstTag < 0 && at - start > kMaxScanKeep) {
            const qsizetype drop = at - start;
            m_buffer.remove(start, drop);
            end -= drop;
            at = start;
            complete = false;
        }
        if (!fill()) {
            // The input ends inside the value.
            repaired = firstTag >= 0;
            return (repaired ? firstTag : m_buffer.size()) - start;
        }
    }
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
    m_recordRepaired = false;
    m_tooLong.clear();
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
        if (name.compare("EOR", Qt::CaseInsensitive) == 0) {
            if (m_recordRepaired)
                ++m_repaired;
            return true;
        }
        if (name.compare("EOH", Qt::CaseInsensitive) == 0) {
            fields.clear(); // everything so far was header
            m_recordRepaired = false;
            m_tooLong.clear();
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
        const QString key = QString::fromLatin1(name).toUpper();
        bool repaired = false;
        bool complete = true;
        const qsizetype bytes = length <= Adif::kMaxValueLength ? shortValueBytes(length, repaired)
                                                                : longValueBytes(length, repaired, complete);
        m_recordRepaired = m_recordRepaired || repaired;
        // A value too long to keep; a repaired one counts by what it holds.
        bool tooLong = !complete || (!repaired && length > Adif::kMaxValueLength)
                       || bytes > 4 * Adif::kMaxValueLength;
        QString value;
        if (!tooLong) {
            value = valueText(bytes);
            tooLong = value.size() > Adif::kMaxValueLength;
        }
        if (tooLong) {
            if (!m_tooLong.contains(key))
                m_tooLong << key;
        } else if (fields.value(key).isEmpty()) {
            // The first value that is not empty counts.
            fields.insert(key, value);
        }
        m_pos += bytes;
    }
}

bool AdifReader::next(CQsoData& qso)
{
    Adif::Fields fields;
    while (nextFields(fields)) {
        if (Adif::decodeRecord(fields, qso)) {
            QStringList notKept = Adif::notKeptFields(fields);
            for (const QString& name : std::as_const(m_tooLong)) {
                if (!notKept.contains(name))
                    notKept << name;
            }
            for (const QString& name : std::as_const(notKept))
                ++m_notKept[name];
            return true;
        }
        if (!fields.isEmpty() || !m_tooLong.isEmpty())
            ++m_skipped;
    }
    return false;
}

// ------------------------------------------------ CHamLog: export, import, merge

QString Adif::recordText(const CQsoData& qso)
{
    auto dateText = [](const QDateTime& t) {
        QString text;
        appendDigits(text, t.date().year(), 4);
        appendDigits(text, t.date().month(), 2);
        appendDigits(text, t.date().day(), 2);
        return text;
    };
    auto timeText = [](const QDateTime& t) {
        QString text;
        appendDigits(text, t.time().hour(), 2);
        appendDigits(text, t.time().minute(), 2);
        appendDigits(text, t.time().second(), 2);
        return text;
    };
    QString record;
    const bool dated = qso.start.isValid();
    const bool ended = dated && qso.end.isValid() && qso.end > qso.start;
    QString mode;
    QString submode;
    Adif::modeFields(qso.mode, mode, submode);
    // A contact imported with its band alone gets no frequency it never had.
    const QString onlyBand = Adif::onlyBand(qso);
    Adif::writeField(record, u"CALL", qso.call);
    Adif::writeField(record, u"QSO_DATE", dated ? dateText(qso.start) : QString());
    Adif::writeField(record, u"TIME_ON", dated ? timeText(qso.start) : QString());
    if (ended && qso.end.date() != qso.start.date())
        Adif::writeField(record, u"QSO_DATE_OFF", dateText(qso.end));
    Adif::writeField(record, u"TIME_OFF", ended ? timeText(qso.end) : QString());
    Adif::writeField(record, u"BAND", onlyBand.isEmpty() ? Adif::bandOf(qso.frequencyB) : onlyBand);
    if (onlyBand.isEmpty())
        Adif::writeField(record, u"FREQ", Adif::frequencyText(qso.frequencyB));
    Adif::writeField(record, u"MODE", mode);
    Adif::writeField(record, u"SUBMODE", submode);
    Adif::writeField(record, u"RST_RCVD", qso.received);
    Adif::writeField(record, u"RST_SENT", qso.sent);
    Adif::writeField(record, u"NAME", qso.name);
    Adif::writeField(record, u"QTH", qso.qth);
    Adif::writeField(record, u"COMMENT", qso.info);
    // Other text that an older program left in these fields is not exported.
    Adif::writeField(record, u"GRIDSQUARE", QsoFields::locator(qso.locator));
    Adif::writeField(record, u"TX_PWR", QsoFields::power(qso.power));
    record += QLatin1String("<EOR>\n");
    return record;
}

bool CHamLog::exportAdif(const QString& adifFileName)
{
    if (!open(QIODevice::ReadOnly))
        return failWith(tr("Can't read the log file %1: %2").arg(fileName(), errorString()));
    if (isLogOrCompanion(adifFileName, fileName()))
        return failWith(tr("The ADIF file %1 would overwrite the log.").arg(adifFileName));

    // Only a regular file is replaced, through a save file that leaves it as
    // it was unless the whole export succeeds. A pipe or a character device
    // is written to as a stream; anything else is refused.
    bool stream = false;
    struct stat st{};
    if (::stat(QFile::encodeName(adifFileName).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (!S_ISFIFO(st.st_mode) && !S_ISCHR(st.st_mode))
            return failWith(tr("%1 is not a regular file and is not replaced; the ADIF export writes a "
                               "regular file, a pipe or a character device.")
                                .arg(adifFileName));
        stream = true;
    }
    QSaveFile saveFile(adifFileName);
    QFile streamFile(adifFileName);
    QFileDevice& out = stream ? static_cast<QFileDevice&>(streamFile) : saveFile;
    if (!out.open(QIODevice::WriteOnly))
        return failWith(tr("Can't open the ADIF file %1 for writing: %2").arg(adifFileName, out.errorString()));
    bool writeFailed = false;
    auto put = [&](const QString& text) {
        const QByteArray bytes = text.toUtf8();
        if (!writeFailed && out.write(bytes) != bytes.size())
            writeFailed = true;
    };
    // The header is text that does not start with "<", then its fields.
    QString header = QStringLiteral("Velkora32 logbook exported as ADIF\n");
    Adif::writeField(header, u"ADIF_VER", QLatin1String(kAdifVersion));
    Adif::writeField(header, u"PROGRAMID", QStringLiteral("Velkora32"));
    Adif::writeField(header, u"PROGRAMVERSION", QStringLiteral(VELKORA_VERSION));
    Adif::writeField(header, u"CREATED_TIMESTAMP",
                     QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd hhmmss")));
    header += QLatin1String("\n<EOH>\n");
    put(header);

    QByteArray raw;
    CQsoData qso;
    while (!writeFailed && readRawLine(*this, raw)) {
        if (!parse(lineText(raw), qso))
            continue;
        put(Adif::recordText(qso));
    }
    const bool readFailed = error() != QFileDevice::NoError;
    const QString readError = errorString();
    close();
    if (readFailed) {
        saveFile.cancelWriting();
        return failWith(tr("Can't read the log file %1: %2").arg(fileName(), readError));
    }
    if (stream) {
        if (writeFailed || !streamFile.flush() || streamFile.error() != QFileDevice::NoError)
            return failWith(tr("Can't write the ADIF file %1: %2").arg(adifFileName, streamFile.errorString()));
        streamFile.close();
        return true;
    }
    // QSaveFile::commit() takes a buffer that its close could only write in
    // part (a full disk) for success: the rest is flushed here first.
    const QString reason = writeFailed       ? saveFile.errorString()
                           : !saveFile.flush() ? tr("only part of it could be written; the disk may be full")
                                               : QString();
    if (!reason.isEmpty()) {
        saveFile.cancelWriting();
        return failWith(tr("Can't write the ADIF file %1: %2").arg(adifFileName, reason));
    }
    if (!saveFile.commit())
        return failWith(tr("Can't write the ADIF file %1: %2").arg(adifFileName, saveFile.errorString()));
    return true;
}

QString CHamLog::importReport(const AdifReader& reader)
{
    QStringList parts;
    if (reader.skippedRecords() > 0)
        parts << tr("%1 record(s) left out: no call, date, time or usable frequency or band.")
                     .arg(reader.skippedRecords());
    if (reader.repairedRecords() > 0)
        parts << tr("%1 record(s) with a damaged field length repaired: the value was cut where the "
                    "next field starts.")
                     .arg(reader.repairedRecords());
    const QMap<QString, int>& notKept = reader.notKeptFields();
    if (!notKept.isEmpty()) {
        QStringList fields;
        for (auto it = notKept.cbegin(); it != notKept.cend(); ++it)
            fields << QStringLiteral("%1 (%2)").arg(it.key()).arg(it.value());
        parts << tr("Fields not kept (in how many records): %1.").arg(fields.join(QStringLiteral(", ")));
    }
    return parts.join(u' ');
}

bool CHamLog::importAdif(const QString& adifFileName)
{
    m_changedLines = 0;
    m_importNotes.clear();
    QFile adif(adifFileName);
    if (!adif.open(QIODevice::ReadOnly))
        return failWith(tr("Can't open the ADIF file %1: %2").arg(adifFileName, adif.errorString()));
    AdifReader reader(&adif);
    AdifSource source(reader, adifFileName);
    const MergeResult result = mergeInto(fileName(), source);
    if (!result.ok)
        return failWith(result.error);
    m_importNotes = importReport(reader);
    if (result.offered == 0) {
        QString reason = tr("The ADIF file %1 holds no record that can be imported.").arg(adifFileName);
        if (!m_importNotes.isEmpty())
            reason += u' ' + m_importNotes;
        return failWith(reason);
    }
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
