// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/pskmodes.h"
#include "text/macros.h"

#include "core/settings.h"

#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QSaveFile>
#include <QTextStream>

namespace {

const QString kGroup = QStringLiteral("Macros");

QString subgroupName(int number)
{
    return QStringLiteral("Macros %1").arg(number);
}

QString translated(const char* text)
{
    return QCoreApplication::translate("Macros", text);
}

// A value as one file line: its line breaks become the tags that send them.
QString fileLine(const QString& value)
{
    QString line = value;
    line.replace(QLatin1Char('\r'), QLatin1String("<CR>"));
    line.replace(QLatin1Char('\n'), QLatin1String("<LF>"));
    return line;
}

} // namespace

namespace Macros {

QList<SMacro> loadFromSettings()
{
    QList<SMacro> macros;
    macros.reserve(kCount);
    Settings settings;
    settings.beginGroup(kGroup);
    for (int i = 0; i < kCount; ++i) {
        settings.beginGroup(subgroupName(i));
        SMacro m;
        m.index = settings.value(QStringLiteral("index"), i).toInt();
        m.label = settings.value(QStringLiteral("label"), QString()).toString();
        m.text = settings.value(QStringLiteral("text"), QString()).toString();
        settings.endGroup();
        macros.append(m);
    }
    settings.endGroup();
    return macros;
}

QList<SMacro> withDefaults(QList<SMacro> macros)
{
    for (const SMacro& m : std::as_const(macros))
        if (!m.label.isEmpty() || !m.text.isEmpty())
            return macros;
    static const struct
    {
        int index;
        const char* label;
        const char* text;
    } kDefaults[] = {
        {0, QT_TRANSLATE_NOOP("Macros", "CQ"),
         "<TX>\nCQ CQ CQ de <MYCALL> <MYCALL> <MYCALL>\nCQ CQ CQ de <MYCALL> <MYCALL> <MYCALL> pse k\n<RX>"},
        {1, QT_TRANSLATE_NOOP("Macros", "Answer"), "<TX>\n<CALL> <CALL> de <MYCALL> <MYCALL> <MYCALL> pse k\n<RX>"},
        {2, QT_TRANSLATE_NOOP("Macros", "RST+name"),
         "<TX>\n<CALL> de <MYCALL>\nThanks for the call. Your RST is <RST> <RST>.\n"
         "My name is <MYNAME> <MYNAME>.\nHow copy? <CALL> de <MYCALL> k\n<RX>"},
        {3, QT_TRANSLATE_NOOP("Macros", "QTH+rig"),
         "<TX>\n<CALL> de <MYCALL>\nMy QTH is <MYQTH> <MYQTH>.\n"
         "Rig: [your rig], antenna: [your antenna], software: Velkora32.\n<CALL> de <MYCALL> k\n<RX>"},
        {4, QT_TRANSLATE_NOOP("Macros", "73"),
         "<TX>\nThanks for the QSO <NAME>, 73 and good DX!\n<CALL> de <MYCALL> sk\n<RX>"},
        {5, QT_TRANSLATE_NOOP("Macros", "Turn"), "\n<CALL> de <MYCALL> k\n<RX>"},
        {6, QT_TRANSLATE_NOOP("Macros", "QRZ?"), "<TX>\nQRZ? de <MYCALL> <MYCALL> k\n<RX>"},
        {11, QT_TRANSLATE_NOOP("Macros", "TX/RX"), "<TXTOGGLE>"},
    };
    for (const auto& d : kDefaults) {
        for (SMacro& m : macros) {
            if (m.index == d.index) {
                m.label = QCoreApplication::translate("Macros", d.label);
                m.text = QString::fromUtf8(d.text);
            }
        }
    }
    return macros;
}

void saveToSettings(const QList<SMacro>& macros)
{
    Settings settings;
    settings.beginGroup(kGroup);
    for (const SMacro& m : macros) {
        settings.beginGroup(subgroupName(m.index));
        settings.setValue(QStringLiteral("index"), m.index);
        settings.setValue(QStringLiteral("label"), m.label);
        settings.setValue(QStringLiteral("text"), m.text);
        settings.endGroup();
    }
    settings.endGroup();
}

bool readFile(const QString& fileName, QList<SMacro>& macros, QString* message)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *message = translated("Can't load file %1").arg(fileName);
        return false;
    }
    QTextStream in(&file);
    in.setEncoding(QStringConverter::System);

    // Read into a copy: a damaged file changes no button at all.
    QList<SMacro> read = macros;
    // Only the end of the file ends a value list; empty lines are empty values.
    QString label;
    bool more = in.readLineInto(&label);
    for (int i = 0; more && i < read.size(); ++i) {
        QString text;
        if (!in.readLineInto(&text)) {
            *message = translated("Error reading %1").arg(fileName);
            return false;
        }
        read[i].label = label;
        read[i].text = text;
        more = in.readLineInto(&label);
    }
    if (file.error() != QFileDevice::NoError) {
        *message = translated("Error reading %1").arg(fileName);
        return false;
    }
    macros = read;
    return true;
}

bool writeFile(const QString& fileName, const QList<SMacro>& macros, QString* message)
{
    // Written beside the file and put in its place only when whole, so a
    // full disk leaves the previous file as it was.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *message = translated("Can't open file %1").arg(fileName);
        return false;
    }
    QTextStream out(&file);
    out.setEncoding(QStringConverter::System);
    for (const SMacro& m : macros)
        out << fileLine(m.label) << '\n' << fileLine(m.text) << '\n';
    out.flush();
    // A full disk shows only now; the operator must not believe the macros safe.
    if (out.status() != QTextStream::Ok || !file.commit()) {
        *message = translated("Error writing %1").arg(fileName);
        return false;
    }
    return true;
}

void showFileMessage(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Warning, QCoreApplication::applicationName(), message, QMessageBox::Close,
                    parent);
    box.exec();
}

const QStringList& tagHelp()
{
    static const QStringList help = {
        translated("<MYCALL> - your callsign"),
        translated("<MYNAME> - your name"),
        translated("<MYQTH> - your QTH"),
        translated("<CALL> - callsign of other station"),
        translated("<NAME> - name of other station operator"),
        translated("<QTH> - QTH of other station"),
        translated("<RST> - RST for other station"),
        translated("<MYRST> - your RST"),
        translated("<NOTES> - QSO notes"),
        QStringLiteral("-------------------------------"),
        translated("<TX> - start transmission"),
        translated("<RX> - end transmission"),
        translated("<CWID> - send your callsign in Morse"),
        translated("<CR> - send Carriage Return  symbol"),
        translated("<LF> - send Line Feed symbol"),
        translated("<CRLF> - send both CR and LF"),
        translated("<TIME> - insert current time"),
        translated("<DATE> - insert current date"),
    };
    return help;
}

QString expand(const QString& text, const MacroFields& fields, MacroHost& host, const QDateTime& now)
{
    QString out = text;

    out.replace(QLatin1String("<MYNAME>"), fields.myName);
    out.replace(QLatin1String("<MYCALL>"), fields.myCall);
    out.replace(QLatin1String("<MYQTH>"), fields.myQth);
    out.replace(QLatin1String("<MYRST>"), fields.myRst);

    out.replace(QLatin1String("<NAME>"), fields.name);
    out.replace(QLatin1String("<CALL>"), fields.call);
    out.replace(QLatin1String("<QTH>"), fields.qth);
    out.replace(QLatin1String("<NOTES>"), fields.notes);

    if (out.contains(QLatin1String("<RST>"))) {
        QString report = fields.sent;
        if (report.isEmpty()) {
            QString entry = fields.suggestedRst.isEmpty() ? QStringLiteral("599") : fields.suggestedRst;
            if (host.askReport(entry)) {
                report = entry;
                host.setSentReport(entry);
            }
        }
        out.replace(QLatin1String("<RST>"), report);
    }

    const QDateTime utc = now.toUTC();
    out.replace(QLatin1String("<TIME>"), utc.toString(QStringLiteral("hh:mm")));
    out.replace(QLatin1String("<DATE>"), utc.toString(QStringLiteral("yyyy-MM-dd")));

    out.replace(QLatin1String("<RX>"), QStringLiteral("\u00AE\r\n"));
    out.replace(QLatin1String("<CWID>"), QStringLiteral("\u00A9"));
    out.replace(QLatin1String("<CR>"), QStringLiteral("\r"));
    out.replace(QLatin1String("<LF>"), QStringLiteral("\n"));
    out.replace(QLatin1String("<CRLF>"), QStringLiteral("\r\n"));

    if (out.contains(QLatin1String("<TX>"))) {
        out.remove(QLatin1String("<TX>"));
        // Restarting a running transmission begins a fresh key-up sequence.
        if (host.isOutputActive())
            host.setModemTransmit(false);
        host.startAudioOut();
    }
    if (out.contains(QLatin1String("<TXTOGGLE>"))) {
        out.remove(QLatin1String("<TXTOGGLE>"));
        if (host.isOutputActive())
            host.stopAudioOut();
        else
            host.startAudioOut();
    }

    // The BPSK modes have tags of their own ("<BPSK63>"); QPSK is chosen in
    // the window.
    for (const PskMode& mode : PskModes::all()) {
        if (mode.qpsk)
            continue;
        const QString name = mode.displayName();
        const QString tag = QLatin1Char('<') + name + QLatin1Char('>');
        if (out.contains(tag)) {
            out.remove(tag);
            host.changeMode(name);
        }
    }
    return out;
}

} // namespace Macros
