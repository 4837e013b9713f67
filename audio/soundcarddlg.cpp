// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/soundcarddlg.h"

#include "core/settings.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "modem/pskrxalgorithms.h"

#include "ui_soundcarddialog.h"

#include <QCoreApplication>
#include <QIntValidator>
#include <QMessageBox>

#include <cmath>

// The start-up check of the stored rates keeps exactly what Ok takes.
static_assert(Settings::kLowestSampleRate == SoundCardDlg::kMinSampleRate
              && Settings::kReceiveClockLimit == CPskRxAlgorithms::kMaxSampleRate);

namespace {

// The form's own translation context, so every text of the dialog is found
// in one place.
QString translated(const char* text)
{
    return QCoreApplication::translate("SoundCardDialog", text);
}

// The highest whole rate the receiver takes.
int highestRate()
{
    return int(std::ceil(CPskRxAlgorithms::kMaxSampleRate)) - 1;
}

} // namespace

SoundCardDlg::SoundCardDlg(int inputDevice, int outputDevice, int sampleRate, QWidget* parent)
    : SoundCardDlg(AudioIn::InputDevices(), AudioOut::OutputDevices(), inputDevice, outputDevice,
                   sampleRate, parent)
{
}

SoundCardDlg::SoundCardDlg(const AudioDevices::DeviceTable& inputs,
                           const AudioDevices::DeviceTable& outputs, int inputDevice,
                           int outputDevice, int sampleRate, QWidget* parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::SoundCardDialog>())
    , m_inputDevice(inputDevice)
    , m_outputDevice(outputDevice)
    , m_sampleRate(sampleRate)
{
    m_ui->setupUi(this);
    m_ui->doubleSpinBoxTX->setValue(0);
    m_ui->doubleSpinBoxRX->setValue(0);
    m_ui->lineEdit->setValidator(new QIntValidator(kMinSampleRate, kMaxFieldRate, m_ui->lineEdit));

    m_ui->comboBoxType->addItem(translated("Computer soundcard"), 0);
    m_ui->comboBoxType->addItem(translated("Brux Tarnquist device"), 1);
    m_ui->comboBoxType->setCurrentIndex(0);
    m_ui->comboBoxType->setEnabled(false);
    // The computer's sound card is the only device there is: the type is
    // still stored, but a greyed field offering no choice is not shown.
    m_ui->comboBoxType->hide();
    m_ui->label->hide();

    m_ui->lineEdit->setText(QString::number(sampleRate));

    m_ui->comboBoxInput->setCurrentIndex(fillDevices(m_ui->comboBoxInput, inputs, inputDevice));
    m_ui->comboBoxOutput->setCurrentIndex(fillDevices(m_ui->comboBoxOutput, outputs, outputDevice));

    // Connected only now, so filling the lists has not touched the devices
    // in use: an entry the user never picks keeps its device.
    connect(m_ui->comboBoxInput, &QComboBox::currentIndexChanged, this,
            &SoundCardDlg::slotInputChanged);
    connect(m_ui->comboBoxOutput, &QComboBox::currentIndexChanged, this,
            &SoundCardDlg::slotOutputChanged);
    connect(m_ui->pushButtonOk, &QPushButton::clicked, this, &SoundCardDlg::accept);
    connect(m_ui->pushButtonCancel, &QPushButton::clicked, this, &SoundCardDlg::reject);
}

SoundCardDlg::~SoundCardDlg() = default;

int SoundCardDlg::fillDevices(QComboBox* box, const AudioDevices::DeviceTable& devices, int inUse)
{
    // The table's names are already text: the device layer decodes them
    // from the local 8-bit code page.
    int position = 0;
    for (auto it = devices.cbegin(); it != devices.cend(); ++it) {
        if (it.key() == inUse)
            position = box->count();
        box->addItem(it.value().name, it.key());
    }
    return box->count() > 0 ? position : -1;
}

void SoundCardDlg::setTxPpm(int ppm)
{
    m_ui->doubleSpinBoxTX->setValue(ppm);
}

void SoundCardDlg::setRxPpm(int ppm)
{
    m_ui->doubleSpinBoxRX->setValue(ppm);
}

int SoundCardDlg::txPpm() const
{
    return int(m_ui->doubleSpinBoxTX->value());
}

int SoundCardDlg::rxPpm() const
{
    return int(m_ui->doubleSpinBoxRX->value());
}

double SoundCardDlg::correctedRate(int rate, int ppm)
{
    return (double(ppm) + 1000000.0) * double(rate) / 1000000.0;
}

QString SoundCardDlg::rateProblem(const QString& text, int rxPpm)
{
    // The validator lets half-typed and oversized numbers through to here:
    // "8" on the way to "8000", or 96000 that the receiver cannot filter.
    bool ok = false;
    const int rate = text.toInt(&ok, 10);
    if (!ok || rate < kMinSampleRate || rate > highestRate()) {
        return translated("The sample rate must be a whole number from %1 to %2 Hz.")
            .arg(kMinSampleRate)
            .arg(highestRate());
    }
    const double clock = correctedRate(rate, rxPpm);
    if (clock >= CPskRxAlgorithms::kMaxSampleRate) {
        return translated("With the RX correction of %1 ppm the receive clock would be %2 Hz; "
                          "it must stay below %3 Hz.")
            .arg(rxPpm)
            .arg(clock, 0, 'f', 2)
            .arg(CPskRxAlgorithms::kMaxSampleRate, 0, 'f', 0);
    }
    return QString();
}

void SoundCardDlg::slotInputChanged(int index)
{
    if (index >= 0)
        m_inputDevice = m_ui->comboBoxInput->itemData(index).toInt();
}

void SoundCardDlg::slotOutputChanged(int index)
{
    if (index >= 0)
        m_outputDevice = m_ui->comboBoxOutput->itemData(index).toInt();
}

void SoundCardDlg::accept()
{
    const QString text = m_ui->lineEdit->text();
    const QString problem = rateProblem(text, rxPpm());
    if (!problem.isEmpty()) {
        // Window-modal and not waited for: the dialog stays as it is, with
        // the old rate, until the user mends the field or cancels.
        auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), problem, QMessageBox::Ok,
                                    this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        m_ui->lineEdit->setFocus();
        m_ui->lineEdit->selectAll();
        return;
    }
    m_sampleRate = text.toInt(nullptr, 10);
    {
        Settings settings;
        settings.beginGroup(QStringLiteral("Audio"));
        settings.setValue(QStringLiteral("type"), m_ui->comboBoxType->currentIndex());
        settings.endGroup();
    }
    QDialog::accept();
}
