// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/callextractor.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// A word is at most this long; longer runs of characters are noise.
constexpr int kMaxWordLength = 20;

bool isOverEnd(const QString& word)
{
    return word == QLatin1String("K") || word == QLatin1String("KN") || word == QLatin1String("SK")
        || word == QLatin1String("BK");
}

bool isWordChar(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'/';
}

} // namespace

bool CallExtractor::isCallSign(QStringView word)
{
    static const QRegularExpression kBase(QStringLiteral(
        "^(?:[A-Z]{1,3}|[A-Z][0-9][A-Z]?|[0-9][A-Z]{1,2})[0-9][A-Z]{1,4}$"));
    static const QRegularExpression kPart(QStringLiteral("^[A-Z0-9]{1,4}$"));
    const QString upper = word.toString().toUpper();
    const QStringList parts = upper.split(u'/');
    if (parts.size() > 3)
        return false;
    // The base call is the part that reads as one; a prefix before it and a
    // suffix after it are short.
    int base = -1;
    for (int i = 0; i < parts.size(); ++i) {
        const QString& p = parts.at(i);
        if (p.size() >= 3 && p.size() <= 7 && kBase.match(p).hasMatch()) {
            base = i;
            break;
        }
    }
    if (base < 0 || base > 1 || (parts.size() == 3 && base != 1))
        return false;
    for (int i = 0; i < parts.size(); ++i) {
        if (i != base && !kPart.match(parts.at(i)).hasMatch())
            return false;
    }
    return true;
}

void CallExtractor::setOwnCall(const QString& call)
{
    m_ownCall = call.trimmed().toUpper();
}

QStringList CallExtractor::feed(qint64 channel, QStringView text)
{
    QStringList found;
    Over& over = m_channels[channel];
    for (const QChar c : text) {
        if (isWordChar(c)) {
            if (over.pending.size() < kMaxWordLength + 1)
                over.pending += c.toUpper();
        } else if (!over.pending.isEmpty()) {
            takeWord(over, found);
        }
    }
    return found;
}

void CallExtractor::takeWord(Over& over, QStringList& found)
{
    QString word = over.pending;
    over.pending.clear();
    if (word.size() > kMaxWordLength)
        word = QStringLiteral("#");  // noise, but still a word between others
    if (isOverEnd(word) || over.words.size() >= kMaxWords) {
        over = Over();
        if (isOverEnd(word))
            return;
    }
    over.words.append(word);
    const QStringList& w = over.words;
    const int n = static_cast<int>(w.size());
    if (!isCallSign(word) || word == m_ownCall || over.reported.contains(word))
        return;
    const auto at = [&](int i) { return i >= 0 && i < n ? w.at(i) : QString(); };
    const QLatin1String de("DE");
    const QLatin1String cq("CQ");
    bool accepted = false;
    if (at(n - 2) == word) {
        // "DE CALL CALL", or a call twice in a row anywhere after "CQ".
        accepted = at(n - 3) == de || w.mid(0, n - 2).contains(cq);
    } else {
        // "DE CALL" earlier in the over, and the call again now.
        for (int i = 1; i < n - 1 && !accepted; ++i)
            accepted = w.at(i) == word && w.at(i - 1) == de;
    }
    if (accepted) {
        over.reported.append(word);
        found.append(word);
    }
}

void CallExtractor::endOver(qint64 channel)
{
    m_channels.remove(channel);
}

void CallExtractor::clear()
{
    m_channels.clear();
}

QString TextTail::advance(const QString& text)
{
    QString gained;
    if (m_tail.isEmpty()) {
        gained = text.right(kWindow);
    } else if (text.size() >= m_size && QStringView(text).mid(m_size - m_tail.size(), m_tail.size()) == m_tail) {
        // Only grown: searching for the mark could find it again in what
        // was added ("cq" in "cq cq de") and lose the text before it.
        gained = text.mid(m_size);
    } else {
        const qsizetype from = std::max<qsizetype>(0, text.size() - m_tail.size() - kWindow);
        const qsizetype at = QStringView(text).mid(from).lastIndexOf(m_tail);
        // A text that no longer holds the mark is a new text: nothing of it
        // is taken twice, and it is followed from here on.
        if (at >= 0)
            gained = text.mid(from + at + m_tail.size());
    }
    m_tail = text.right(kTail);
    m_size = text.size();
    return gained;
}
