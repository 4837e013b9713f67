// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QPlainTextEdit>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;

// Double-clicking a word that looks like a call sign in a text view (a
// QTextEdit or QPlainTextEdit, watched through its viewport) announces it.
class CallSignPicker : public QObject
{
    Q_OBJECT
public:
    // Watches view's viewport; the picker belongs to the view.
    static CallSignPicker* watch(QAbstractScrollArea* view);
    // Letters and at least one digit, 3 to 12 characters, '/' allowed.
    static bool looksLikeCall(const QString& word);

signals:
    void callSignChosen(const QString& call);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using QObject::QObject;
};

// The signal browser: one line per signal of the band, by frequency, with
// its audio frequency (and its mode, when every mode is listed), its
// signal-to-noise ratio in 2500 Hz and the last characters decoded, under a header naming the columns. A click on a line asks to tune there; the line the receiver sits
// on is highlighted. A line whose text has shown the alert text is marked,
// and the first time it does the browser beeps.
class SignalBrowser : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kTextColumns = 60;

    struct Line
    {
        int id = 0;
        double frequency = 0.0;
        double snrDb = 0.0;
        QString text;
        bool quiet = false; // fading out: not seen for a while
        QString mode;       // shown when the browser lists every mode
    };

    explicit SignalBrowser(QWidget* parent = nullptr);

    void setLines(const QList<Line>& lines);
    // The main receiver's frequency; the line within tolerance Hz of it is
    // highlighted.
    void setTuned(double frequency, double tolerance);

    QPlainTextEdit* view() const { return m_view; }
    QLabel* header() const { return m_header; }
    // One line as the view shows it.
    static QString lineText(const Line& line);
    QLineEdit* alertField() const { return m_alert; }
    // "All modes": every PSK signal whatever its mode, each line naming it.
    QCheckBox* allModesBox() const { return m_allModes; }
    // Ids of the lines whose text held the alert text.
    const QSet<int>& alerted() const { return m_alerted; }
    int lineCount() const { return int(m_lines.size()); }
    const Line& line(int row) const { return m_lines.at(row); }

signals:
    // The line's signal, and its frequency when last shown.
    void lineClicked(int id, double frequency);
    void callSignChosen(const QString& call);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void highlight();

    QLabel* m_header = nullptr;
    QPlainTextEdit* m_view = nullptr;
    QLineEdit* m_alert = nullptr;
    QCheckBox* m_allModes = nullptr;
    QList<Line> m_lines;
    QStringList m_shown;  // the view's lines as last set
    QList<int> m_marks;   // each line's highlight as last set
    QSet<int> m_alerted;
    double m_tuned = -1.0;
    double m_tolerance = 0.0;
};
