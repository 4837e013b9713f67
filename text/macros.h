// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>
#include <QStringList>

class QWidget;

// One user macro: the text of its button and its body with tags. Index 0 to
// 11 belong to F1 to F12, 12 to 23 to Ctrl+F1 to Ctrl+F12.
struct SMacro
{
    int index = 0;
    QString label;
    QString text;

    friend bool operator==(const SMacro& a, const SMacro& b)
    {
        return a.index == b.index && a.label == b.label && a.text == b.text;
    }
    friend bool operator!=(const SMacro& a, const SMacro& b) { return !(a == b); }
};
Q_DECLARE_METATYPE(SMacro)

// What the data tags stand for when a macro is sent: the operator's own
// data and the QSO entry bar's fields as currently typed.
struct MacroFields
{
    QString myCall;
    QString myName;
    QString myQth;
    QString myRst;
    QString call;
    QString name;
    QString qth;
    QString notes;
    QString sent; // the "Sent" report, which "<RST>" sends
    QString suggestedRst; // from the signal's S/N: what the report prompt offers first
};

// What sending a macro may ask of the program: the report prompt and the
// transmit and mode switches. The main window answers in the program; tests
// answer with a recorder.
class MacroHost
{
public:
    virtual ~MacroHost() = default;

    // Prompts for the report to send, starting from report; false when the
    // operator cancels (report is then not used).
    virtual bool askReport(QString& report) = 0;
    // Keeps a report the operator entered in the "Sent" field.
    virtual void setSentReport(const QString& report) = 0;

    virtual bool isOutputActive() const = 0;
    virtual void setModemTransmit(bool on) = 0;
    virtual void startAudioOut() = 0;
    virtual void stopAudioOut() = 0;
    virtual void changeMode(const QString& mode) = 0;
};

// The 24 user macros: their settings group, the ".mac" file, the tag
// expansion and the editor's tag help. Widget-free apart from the message
// box; GUI thread.
namespace Macros {

constexpr int kCount = 24;

// Group "Macros", one subgroup "Macros <n>" per macro. Absent keys give
// index n and empty texts, so a first start has 24 empty macros.
QList<SMacro> loadFromSettings();
// The macros for a first contact (CQ, answer, report and name, QTH and rig,
// 73, turn-over, QRZ and a transmit switch on F12) when every label and
// text is empty, as on a first start; otherwise the list unchanged.
QList<SMacro> withDefaults(QList<SMacro> macros);
// Each record goes to the subgroup named after its index field.
void saveToSettings(const QList<SMacro>& macros);

// A ".mac" file holds one line per value: label and text of record 0, of
// record 1, and so on; the index is not stored.
//
// Reading changes labels and texts in place, and only once the whole file
// was read: an empty file, an unreadable one or one whose last label has no
// text changes nothing (on failure message names the file). Pairs beyond
// the list are ignored. Writing goes through a temporary file that takes
// the file's place only when complete, so a failed write keeps the old one.
bool readFile(const QString& fileName, QList<SMacro>& macros, QString* message);
// A line break inside a value would end its line and shift every later
// pair, so line feeds are written as "<LF>" and carriage returns as "<CR>":
// the tags send the same characters on air.
bool writeFile(const QString& fileName, const QList<SMacro>& macros, QString* message);
// The file operations' failure message as a modal warning.
void showFileMessage(QWidget* parent, const QString& message);

// The tags offered in the macro editor, each with its meaning; the entry of
// hyphens separates the data tags from the control tags.
const QStringList& tagHelp();

// The text to send for a macro body. Tags are case-sensitive; data tags are
// replaced first, so a value that itself holds a tag is expanded too.
// "<TIME>" and "<DATE>" give now in UTC as "hh:mm" and "yyyy-MM-dd".
// The control tags "<TX>", "<TXTOGGLE>" and "<BPSK31>" ... "<BPSK250>" act
// through host at once, wherever they stand, and leave nothing behind;
// "<RX>" leaves the end-of-transmission marker that acts where it stands.
QString expand(const QString& text, const MacroFields& fields, MacroHost& host, const QDateTime& now);

} // namespace Macros
