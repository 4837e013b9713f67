// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook/qsodata.h"

#include <QByteArray>
#include <QHash>
#include <QString>
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
// given; nothing at all for an empty value. The length counts the bytes of
// the value in UTF-8, the encoding in which the text is written.
void writeField(QString& out, QStringView name, const QString& value, QStringView type = {});

// FREQ for a frequency in Hz: MHz with six decimals, exact to the hertz.
// 14070000 gives "14.070000".
QString frequencyText(quint32 hz);

// The frequency an ADIF band name stands for, in Hz (letter case does not
// matter); 0 for a band this program does not know.
quint32 bandFrequency(const QString& band);

// The ADIF band (lower case, "20m") that holds a frequency in Hz; empty
// outside every amateur band.
QString bandOf(quint32 hz);

// This program's mode name as ADIF MODE and SUBMODE: "BPSK63" is PSK with
// PSK63, "QPSK31" PSK with QPSK31; another name is written as it is.
void modeFields(const QString& mode, QString& adifMode, QString& adifSubmode);
// And back: PSK with PSK63 is "BPSK63", PSK with QPSK31 "QPSK31"; the
// older form with the submode as MODE ("PSK31") reads the same.
QString modeName(const QString& adifMode, const QString& adifSubmode);

// Fills qso from one record's fields. Fails (qso not valid) without a
// non-empty CALL, a valid QSO_DATE ("yyyyMMdd") and TIME_ON ("hhmmss", or
// "hhmm" as many programs write it), or without a usable FREQ or BAND.
bool decodeRecord(const Fields& fields, CQsoData& qso);

} // namespace Adif

// Reads the records of an ADIF file one at a time, keeping only a little of
// the file in memory. Text is UTF-8, or the local 8-bit code page when the
// file does not start as valid UTF-8 (or a value is not). Fields before an
// "<EOH>" are header fields and are dropped; text outside tags is ignored.
//
// A length counts bytes. Files from older programs that counted characters,
// or that were wrapped into lines after writing, are read too: when the
// value so taken is not followed by a tag, a blank or the end, the value is
// taken again counting characters, or leaving line ends out. Line ends and
// other control characters are dropped from values (none of the fields read
// here may hold them); a tab becomes a blank. Used on the thread that owns
// the device.
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
    // How many bytes from m_pos hold the value of a tag with this length.
    qsizetype valueBytes(qsizetype length);
    QString valueText(qsizetype bytes) const;

    QIODevice* m_device;
    bool m_started = false;
    bool m_codePage = false;
    bool m_atEnd = false;
    bool m_failed = false;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
};
