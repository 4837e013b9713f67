// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QDoubleSpinBox;
class QLabel;

// A small prompt for one number, used for the transmit frequency. Its locale
// is English (United States), so the decimal separator is always a point.
class EnterDouble : public QDialog
{
    Q_OBJECT
public:
    explicit EnterDouble(QWidget* parent = nullptr);

    QLabel* label() const { return m_label; }
    QDoubleSpinBox* spinBox() const { return m_spinBox; }

private:
    QLabel* m_label;
    QDoubleSpinBox* m_spinBox;
};
