// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "logbook/qsodata.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QMap>
#include <QStringList>
#include <QStringDecoder>
#include <QStringView>

#include <memory>

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

// The band (lower case) of a contact that was imported with a BAND and no
// FREQ, so that its frequency is only the band's usual one; else empty.
// Such a contact carries the band in text9.
QString onlyBand(const CQsoData& qso);

// One contact as the export writes it, "<CALL:5>DL1AB...<EOR>" and a line
// end, with start and end written as the record holds them.
QString recordText(const CQsoData& qso);

// The names of the fields of a record that decodeRecord() does not keep.
QStringList notKeptFields(const Fields& fields);

// Fills qso from one record's fields. Fails (qso not valid) without a
// non-empty CALL, a valid QSO_DATE ("yyyyMMdd") and TIME_ON ("hhmmss", or
// "hhmm" as many programs write it), or without a usable FREQ or BAND.
// TIME_OFF (with QSO_DATE_OFF) gives the end; NOTES stand for a missing
// COMMENT.
bool decodeRecord(const Fields& fields, CQsoData& qso);

} // namespace Adif

// Reads the records of an ADIF file one at a time, keeping only a little of
// the file in memory. Text is UTF-8, or the local 8-bit code page when the
// file does not start as valid UTF-8 (or a value is not); a file in UTF-16
// (with its byte order mark, or plain ASCII text in UTF-16) is read too.
// Fields before an "<EOH>" are header fields and are dropped; text outside
// tags is ignored.
//
// A length counts bytes. Files from older programs that counted characters,
// or that were wrapped into lines after writing, are read too: when the
// value so taken is not followed by a tag, a blank or the end, the value is
// taken again counting characters, or leaving line ends out. Line ends and
// other control characters are dropped from values (none of the fields read
// here may hold them); a tab becomes a blank.
//
// A value never holds the end of a record. A length that would take in an
// "<EOR>", or that does not end before a tag or a blank, is damaged: the
// value then ends at the first tag of a known ADIF field (or "<EOR>") inside
// it, and the record counts as repaired, so that one wrong length costs at
// most the field it belongs to. Used on the thread that owns the device.
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
    // Records that next() left out because they did not decode.
    int skippedRecords() const { return m_skipped; }
    // Records in which a damaged length was repaired.
    int repairedRecords() const { return m_repaired; }
    // For each field that a record read by next() held but that was not kept
    // (a field this program has no place for, or a value too long), the
    // number of records.
    const QMap<QString, int>& notKeptFields() const { return m_notKept; }

private:
    enum class Tag { None, Field, RecordEnd };

    bool fill();
    void compact();
    // How many bytes from m_pos hold the value of a tag with this length.
    qsizetype valueBytes(qsizetype length);
    // A value of up to kMaxValueLength: its bytes from m_pos, cut at the
    // point to read on from when its length is damaged.
    qsizetype shortValueBytes(qsizetype length, bool& repaired);
    // A longer value, looked through without keeping much of it in memory.
    // complete is false when part of it was dropped on the way.
    qsizetype longValueBytes(qsizetype length, bool& repaired, bool& complete);
    // What the "<" at position at starts (reading more input as needed).
    Tag tagAt(qsizetype at);
    bool endsWell(qsizetype end);
    QString valueText(qsizetype bytes) const;

    QIODevice* m_device;
    bool m_started = false;
    bool m_codePage = false;
    bool m_atEnd = false;
    bool m_failed = false;
    std::unique_ptr<QStringDecoder> m_utf16;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_recordRepaired = false;
    QStringList m_tooLong;
    int m_skipped = 0;
    int m_repaired = 0;
    QMap<QString, int> m_notKept;
};
