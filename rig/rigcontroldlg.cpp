// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/rigcontroldlg.h"
#include "rig/selectportdlg.h"

#include "ui_rigcontrol.h"

#include <QStandardItemModel>

#include <algorithm>

namespace {

constexpr int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

void fillDevices(QComboBox* box, const QString& current)
{
    // The device is the item's text, so that one typed in reads the same;
    // the adapter's name is its tool tip.
    for (const SelectPortDlg::PortInfo& port : SelectPortDlg::ports()) {
        box->addItem(port.device);
        box->setItemData(box->count() - 1, port.description, Qt::ToolTipRole);
    }
    box->setCurrentText(current);
}

} // namespace

RigControlDlg::RigControlDlg(const RigConfig& config, const QList<RigModel>& models, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::RigControl>())
    , m_models(models)
    , m_initial(config)
{
    m_ui->setupUi(this);

    const auto addRig = [this](const QString& text, int model) {
        auto* item = new QListWidgetItem(text, m_ui->listRigs);
        item->setData(Qt::UserRole, model);
        if (model == m_initial.model)
            m_ui->listRigs->setCurrentItem(item);
    };
    addRig(tr("None"), RigConfig::kNone);
    addRig(tr("Hamlib network (rigctld)"), RigConfig::kNetwork);
    for (const RigModel& m : std::as_const(m_models)) {
        if (m.number != RigConfig::kNone && m.number != RigConfig::kNetwork)
            addRig(QStringLiteral("%1 %2 (%3)").arg(m.manufacturer, m.name).arg(m.number), m.number);
    }
    if (!m_ui->listRigs->currentItem())
        addRig(tr("Model %1 (not known to this Hamlib)").arg(m_initial.model), m_initial.model);

    fillDevices(m_ui->comboDevice, config.device);
    m_ui->comboBaud->addItem(tr("Rig default"), 0);
    for (int rate : kBaudRates)
        m_ui->comboBaud->addItem(QString::number(rate), rate);
    const int baud = m_ui->comboBaud->findData(config.baudRate);
    if (baud < 0)
        m_ui->comboBaud->addItem(QString::number(config.baudRate), config.baudRate);
    m_ui->comboBaud->setCurrentIndex(baud < 0 ? m_ui->comboBaud->count() - 1 : baud);
    m_ui->lineEditHost->setText(config.host);
    m_ui->spinPort->setValue(config.port);

    m_ui->comboPtt->addItem(tr("Serial RTS"), int(RigConfig::Ptt::SerialRts));
    m_ui->comboPtt->addItem(tr("CAT through Hamlib"), int(RigConfig::Ptt::Cat));
    m_ui->comboPtt->addItem(tr("Hamlib RTS/DTR on a device"), int(RigConfig::Ptt::HamlibLine));
    m_ui->comboPtt->setCurrentIndex(m_ui->comboPtt->findData(int(config.ptt)));
    m_ui->comboPttLine->addItems({QStringLiteral("RTS"), QStringLiteral("DTR")});
    m_ui->comboPttLine->setCurrentIndex(config.pttDtr ? 1 : 0);
    fillDevices(m_ui->comboPttDevice, config.pttDevice);
    m_ui->spinPttWait->setRange(RigConfig::kMinPttWaitMs, RigConfig::kMaxPttWaitMs);
    m_ui->spinPttWait->setValue(config.pttWaitMs);

    connect(m_ui->lineEditSearch, &QLineEdit::textChanged, this, &RigControlDlg::filter);
    connect(m_ui->listRigs, &QListWidget::currentItemChanged, this, &RigControlDlg::updateFields);
    connect(m_ui->comboPtt, &QComboBox::currentIndexChanged, this, &RigControlDlg::updateFields);
    connect(m_ui->buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_ui->buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    updateFields();
    if (QListWidgetItem* item = m_ui->listRigs->currentItem())
        m_ui->listRigs->scrollToItem(item);
}

RigControlDlg::~RigControlDlg() = default;

int RigControlDlg::chosenModel() const
{
    const QListWidgetItem* item = m_ui->listRigs->currentItem();
    return item ? item->data(Qt::UserRole).toInt() : m_initial.model;
}

void RigControlDlg::filter(const QString& text)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 0; i < m_ui->listRigs->count(); ++i) {
        QListWidgetItem* item = m_ui->listRigs->item(i);
        bool shown = true;
        for (const QString& w : words)
            shown = shown && item->text().contains(w, Qt::CaseInsensitive);
        item->setHidden(!shown);
    }
}

void RigControlDlg::updateFields()
{
    const int model = chosenModel();
    bool serial = false;
    for (const RigModel& m : std::as_const(m_models))
        serial = serial || (m.number == model && m.serial);
    const bool network = model != RigConfig::kNone && !serial
                         && (model == RigConfig::kNetwork
                             || std::any_of(m_models.cbegin(), m_models.cend(), [model](const RigModel& m) {
                                    return m.number == model && m.network;
                                }));
    for (QWidget* w : {static_cast<QWidget*>(m_ui->comboDevice), static_cast<QWidget*>(m_ui->comboBaud),
                       static_cast<QWidget*>(m_ui->labelDevice), static_cast<QWidget*>(m_ui->labelBaud)})
        w->setEnabled(serial);
    for (QWidget* w : {static_cast<QWidget*>(m_ui->lineEditHost), static_cast<QWidget*>(m_ui->spinPort),
                       static_cast<QWidget*>(m_ui->labelHost), static_cast<QWidget*>(m_ui->labelPort)})
        w->setEnabled(network);

    // CAT needs a rig to talk to; choosing "None" falls back to the port.
    auto* pttModel = qobject_cast<QStandardItemModel*>(m_ui->comboPtt->model());
    if (QStandardItem* cat = pttModel ? pttModel->item(1) : nullptr)
        cat->setEnabled(model != RigConfig::kNone);
    if (model == RigConfig::kNone && m_ui->comboPtt->currentIndex() == 1)
        m_ui->comboPtt->setCurrentIndex(0);
    const bool line = m_ui->comboPtt->currentData().toInt() == int(RigConfig::Ptt::HamlibLine);
    for (QWidget* w : {static_cast<QWidget*>(m_ui->comboPttLine), static_cast<QWidget*>(m_ui->comboPttDevice),
                       static_cast<QWidget*>(m_ui->labelPttLine), static_cast<QWidget*>(m_ui->labelPttDevice)})
        w->setEnabled(line);
    const bool hamlib = m_ui->comboPtt->currentData().toInt() != int(RigConfig::Ptt::SerialRts);
    m_ui->spinPttWait->setEnabled(hamlib);
    m_ui->labelPttWait->setEnabled(hamlib);
}

RigConfig RigControlDlg::config() const
{
    RigConfig c = m_initial;
    c.model = chosenModel();
    c.device = m_ui->comboDevice->currentText().trimmed();
    c.baudRate = m_ui->comboBaud->currentData().toInt();
    c.host = m_ui->lineEditHost->text().trimmed();
    if (c.host.isEmpty())
        c.host = QStringLiteral("localhost");
    c.port = m_ui->spinPort->value();
    c.ptt = RigConfig::Ptt(m_ui->comboPtt->currentData().toInt());
    c.pttDtr = m_ui->comboPttLine->currentIndex() == 1;
    c.pttDevice = m_ui->comboPttDevice->currentText().trimmed();
    c.pttWaitMs = m_ui->spinPttWait->value();
    return c;
}
