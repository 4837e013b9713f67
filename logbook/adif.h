// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook/qsodata.h"

#include <QHash>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

class QIODevice;

// The tagged text form of ADIF: each field "<NAME:length>value" or, with a
// data type, "<NAME:length:type>value"; a record ends with "<EOR>" and an
// optional header (free text and tags) with "<EOH>". Field names match
// without regard to letter case, and a value is always taken by its length,
// so it may hold "<", ">" or line breaks.
namespace Adif {

// Field values longer than this are treated as absent.
constexpr int kMaxValueLength = 300;

// Field name (upper case) to value, for one record.
using Fields = QHash<QString, QString>;

// Appends "<name:length>value", with ":type" after the length when a type is
// given; nothing at all for an empty value. The length counts characters.
void writeField(QString& out, QStringView name, const QString& value, QStringView type = {});

// FREQ for a frequency in Hz: MHz with at least three decimals and as many
// more (up to six) as it takes to hold every hertz, so a round trip through
// ADIF keeps the frequency exact. 14070000 gives "14.070".
QString frequencyText(quint32 hz);

// The frequency an ADIF band name stands for, in Hz (letter case does not
// matter); 0 for a band this program does not know.
quint32 bandFrequency(const QString& band);

// Fills qso from one record's fields. Fails (qso not valid) without a
// non-empty CALL, a valid QSO_DATE ("yyyyMMdd") and TIME_ON ("hhmmss", or
// "hhmm" as many programs write it), or without a usable FREQ or BAND.
bool decodeRecord(const Fields& fields, CQsoData& qso);

} // namespace Adif

// Reads the records of an ADIF file one at a time, keeping only a little of
// the file in memory. Text is UTF-8, or the local 8-bit code page when the
// file does not start as valid UTF-8. Fields before an "<EOH>" are header
// fields and are dropped; text outside tags is ignored. Used on the thread
// that owns the device.
class AdifReader
{
public:
    explicit AdifReader(QIODevice* device);

    // The fields of the next record; false at the end of the input (a last
    // record without its end tag is not a record).
    bool nextFields(Adif::Fields& fields);
    // The next record that decodes; records that do not are skipped.
    bool next(CQsoData& qso);

    // True when the device reported a read error.
    bool failed() const { return m_failed; }

private:
    bool fill();
    void compact();

    QIODevice* m_device;
    QStringDecoder m_utf8;
    bool m_started = false;
    bool m_codePage = false;
    bool m_atEnd = false;
    bool m_failed = false;
    QString m_buffer;
    qsizetype m_pos = 0;
};
