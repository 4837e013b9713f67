// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/enterdouble.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

EnterDouble::EnterDouble(QWidget* parent)
    : QDialog(parent)
    , m_label(new QLabel(tr("Enter value"), this))
    , m_spinBox(new QDoubleSpinBox(this))
{
    setObjectName(QStringLiteral("EnterDouble"));
    setWindowTitle(tr("Enter"));
    setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    m_spinBox->setObjectName(QStringLiteral("doubleSpinBox"));
    m_spinBox->setLocale(locale());
    m_spinBox->setAlignment(Qt::AlignRight);
    m_spinBox->setMaximum(5000.0);
    m_spinBox->setSingleStep(1.0);
    m_spinBox->setDecimals(2);

    auto* row = new QHBoxLayout;
    row->addWidget(m_label);
    row->addWidget(m_spinBox);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    resize(234, 75);
}
