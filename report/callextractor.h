// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>

// Finds the call signs of calling stations in decoded text, one over at a
// time per channel (a channel is a receiver or browser slot, named by its
// audio frequency or any other number). A call counts only when the text
// makes it plain that the station sends it, so that a decoder copying noise
// does not report stations that were never there:
//   "DE CALL CALL"                     the call sent twice after "de";
//   "CQ ... CALL CALL"                 a call sent twice in a CQ over;
//   "DE CALL ... CALL"                 after "de", the same call again
//                                      later in the same over.
// Words are compared without regard to letter case. An over ends at "K",
// "KN", "SK" or "BK", at endOver(), or after kMaxWords words; every call is
// reported at most once per over.
class CallExtractor
{
public:
    static constexpr int kMaxWords = 80;

    // True for a word that is an amateur call sign: a prefix (one to three
    // letters, a letter and a digit, or a digit and one or two letters, as
    // the ITU series run), one digit and a suffix of one to four letters;
    // three to seven characters; optionally one "AREA/" before it and one
    // "/P", "/MM", "/QRP" or area after it.
    static bool isCallSign(QStringView word);

    // The own call (not reported when the transmit echo shows it).
    void setOwnCall(const QString& call);

    // Feeds decoded characters of one channel; returns the calls whose
    // pattern a word of this text completed. A word counts once a blank or a
    // line end follows it.
    QStringList feed(qint64 channel, QStringView text);
    // The over on a channel ended (signal lost, channel closed or retuned).
    void endOver(qint64 channel);
    // Forgets every channel.
    void clear();
    int channelCount() const { return static_cast<int>(m_channels.size()); }

private:
    struct Over {
        QString pending;          // the word being received
        QStringList words;        // the over's words so far, upper case
        QStringList reported;     // calls reported in this over
    };
    void takeWord(Over& over, QStringList& found);

    QHash<qint64, Over> m_channels;
    QString m_ownCall;
};

// Follows a text that grows at its end and may lose its oldest part (as a
// decoder's text does once it is long): each call gives what was added
// since the last one. The last kTail characters seen mark the place: where
// they were while the text only grows, else where they are found again.
class TextTail
{
public:
    static constexpr int kTail = 48;
    // How far from the end the mark is looked for: a text that has lost its
    // oldest part and gained more than this since the last call counts as a
    // new one.
    static constexpr int kWindow = 4096;
    QString advance(const QString& text);

private:
    QString m_tail;
    qsizetype m_size = 0;
};
