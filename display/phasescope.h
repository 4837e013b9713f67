// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <array>
#include <cstdint>

// Shows the phase change and strength of the last 20 received PSK symbols as
// vectors from the centre of a black disc: a clean BPSK signal gives green
// vectors straight up and down, phase changes near a quarter turn show red.
// GUI thread only; the modem's receive side emits the symbols there.
class PhaseScope : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kHistory = 20;

    explicit PhaseScope(QWidget* parent = nullptr);

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
};
