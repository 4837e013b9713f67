// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "text/editmacrodlg.h"

#include <QListWidgetItem>

EditMacroDlg::EditMacroDlg(const SMacro& macro, QWidget* parent)
    : QDialog(parent)
    , m_macro(macro)
{
    setupUi(this);
    if (m_macro.index < 12)
        label->setText(tr("Label for F%1").arg(m_macro.index + 1));
    else
        label->setText(tr("Label for Ctrl-F%1").arg(m_macro.index % 12 + 1));
    lineEdit->setText(m_macro.label);
    plainTextEdit->setPlainText(m_macro.text);
    for (const QString& entry : Macros::tagHelp()) {
        if (entry.isEmpty())
            break;
        listWidget->addItem(entry);
    }
    connect(buttonBox, &QDialogButtonBox::accepted, this, &EditMacroDlg::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &EditMacroDlg::reject);
    connect(toolButton, &QToolButton::clicked, this, qOverload<>(&EditMacroDlg::add));
    connect(listWidget, &QListWidget::itemDoubleClicked, this, qOverload<QListWidgetItem*>(&EditMacroDlg::add));
}

void EditMacroDlg::accept()
{
    m_macro.label = lineEdit->text();
    m_macro.text = plainTextEdit->toPlainText();
    QDialog::accept();
}

void EditMacroDlg::add()
{
    const QList<QListWidgetItem*> items = listWidget->selectedItems();
    for (QListWidgetItem* item : items)
        add(item);
}

void EditMacroDlg::add(QListWidgetItem* item)
{
    if (!item)
        return;
    const QString entry = item->text();
    if (entry.contains(QLatin1String("---")))
        return;
    const qsizetype p = entry.indexOf(QLatin1Char('>'));
    if (p >= 0)
        plainTextEdit->insertPlainText(entry.left(p + 1));
}
