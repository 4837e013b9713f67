// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFont>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

// Shows the phase change and strength of the last 20 received PSK symbols as
// vectors from the centre of a black disc: a clean BPSK signal gives green
// vectors straight up and down, phase changes near a quarter turn show red.
// Below the disc, the tuned signal's S/N and IMD as the owner hands them in.
// GUI thread only; the modem's receive side emits the symbols there.
class PhaseScope : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHistory = 20;

    explicit PhaseScope(QWidget* parent = nullptr);

    // S/N in dB in 2500 Hz (below -90: nothing above the noise) and IMD in
    // dB (NaN: not measurable), shown as "S/N -8 dB" and "IMD -28 dB", with
    // a dash for a missing figure.
    void setSignalReport(double snrDb, double imdDb);
    QString snrText() const { return m_snrText; }
    QString imdText() const { return m_imdText; }
    // Symbols received since the scope was made.
    qint64 symbolsReceived() const { return m_received; }

public slots:
    // dangle: phase change, 2^32 per turn (signed); amp: 1000 = disc radius.
    void onPskSymbol(long dangle, long amp);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Symbol
    {
        std::int32_t dangle = 0;
        std::int32_t amp = 0;
    };
    std::array<Symbol, kHistory> m_history{};
    int m_next = 0;
    qint64 m_received = 0;
    QString m_snrText;
    QString m_imdText;
    QFont m_small;    // the corners' text
    QFont m_smallFor; // the widget's font it was made from
};
