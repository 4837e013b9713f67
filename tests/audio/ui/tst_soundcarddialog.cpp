// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Choosing devices, rate and clock correction in the sound card dialog, on
// device tables the test makes up (no sound card is needed).

#include "app/settings.h"
#include "audio/soundcarddlg.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

AudioDevices::DeviceInfo device(const QString& name)
{
    AudioDevices::DeviceInfo info;
    info.name = name;
    info.maxInputChannels = 2;
    info.maxOutputChannels = 2;
    return info;
}

// Indices with gaps, as the audio library numbers devices of all directions
// together.
AudioDevices::DeviceTable inputTable()
{
    AudioDevices::DeviceTable t;
    t.insert(0, device(QStringLiteral("HDA Intel PCH: ALC257 Analog (hw:0,0)")));
    t.insert(3, device(QStringLiteral("USB Audio CODEC: Mikrofon \u00dcbertragung")));
    t.insert(7, device(QStringLiteral("pulse")));
    return t;
}

AudioDevices::DeviceTable outputTable()
{
    AudioDevices::DeviceTable t;
    t.insert(1, device(QStringLiteral("HDA Intel PCH: HDMI 0 (hw:0,3)")));
    t.insert(4, device(QStringLiteral("USB Audio CODEC: Lautsprecher")));
    return t;
}

template <typename T> T* child(QWidget& w, const char* name)
{
    return w.findChild<T*>(QLatin1String(name));
}

} // namespace

class TestSoundCardDialog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void formShowsTheDevicesAndRateInUse();
    void pickingEntriesChoosesTheirDevices();
    void unlistedDeviceKeepsTheDeviceInUse();
    void emptyDeviceTablesStillAccept();
    void okTakesTheTypedRate_data();
    void okTakesTheTypedRate();
    void okRefusesUnusableRates_data();
    void okRefusesUnusableRates();
    void mendedRateIsTakenAfterARefusal();
    void receiveCorrectionCountsAgainstTheReceiverLimit_data();
    void receiveCorrectionCountsAgainstTheReceiverLimit();
    void correctionSpinBoxesHoldWholePpm();
    void cancelTakesNothing();

private:
    static void typeRate(SoundCardDlg& dialog, const QString& text);
    static void clickOk(SoundCardDlg& dialog);
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSoundCardDialog::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    Settings::setPath(m_dir->filePath(QStringLiteral("Velkora32.ini")));
}

void TestSoundCardDialog::cleanup()
{
    m_dir.reset();
}

void TestSoundCardDialog::typeRate(SoundCardDlg& dialog, const QString& text)
{
    auto* field = child<QLineEdit>(dialog, "lineEdit");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void TestSoundCardDialog::clickOk(SoundCardDlg& dialog)
{
    QTest::mouseClick(child<QPushButton>(dialog, "pushButtonOk"), Qt::LeftButton);
}

void TestSoundCardDialog::formShowsTheDevicesAndRateInUse()
{
    SoundCardDlg dialog(inputTable(), outputTable(), 3, 4, 11025);
    QCOMPARE(dialog.objectName(), QStringLiteral("SoundCardDialog"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Sound card"));
    QCOMPARE(child<QLabel>(dialog, "label_4")->text(), QStringLiteral("Samplerate, Hz"));
    QCOMPARE(child<QGroupBox>(dialog, "groupBox")->title(), QStringLiteral("Clock adjustment, ppm"));

    auto* type = child<QComboBox>(dialog, "comboBoxType");
    QCOMPARE(type->count(), 2);
    QCOMPARE(type->currentText(), QStringLiteral("Computer soundcard"));
    QVERIFY(!type->isEnabled());
    QCOMPARE(dialog.deviceType(), 0);

    auto* input = child<QComboBox>(dialog, "comboBoxInput");
    QCOMPARE(input->count(), 3);
    QCOMPARE(input->currentText(), QStringLiteral("USB Audio CODEC: Mikrofon \u00dcbertragung"));
    QCOMPARE(input->currentData().toInt(), 3);
    QCOMPARE(input->itemData(2).toInt(), 7);

    auto* output = child<QComboBox>(dialog, "comboBoxOutput");
    QCOMPARE(output->count(), 2);
    QCOMPARE(output->currentText(), QStringLiteral("USB Audio CODEC: Lautsprecher"));

    QCOMPARE(child<QLineEdit>(dialog, "lineEdit")->text(), QStringLiteral("11025"));
    QCOMPARE(child<QDoubleSpinBox>(dialog, "doubleSpinBoxTX")->value(), 0.0);
    QCOMPARE(child<QDoubleSpinBox>(dialog, "doubleSpinBoxRX")->value(), 0.0);
    QCOMPARE(dialog.inputDevice(), 3);
    QCOMPARE(dialog.outputDevice(), 4);
    QCOMPARE(dialog.sampleRate(), 11025);
}

void TestSoundCardDialog::pickingEntriesChoosesTheirDevices()
{
    SoundCardDlg dialog(inputTable(), outputTable(), 0, 1, 11025);
    dialog.show();
    child<QComboBox>(dialog, "comboBoxInput")->setCurrentIndex(2);
    QCOMPARE(dialog.inputDevice(), 7);
    QCOMPARE(dialog.outputDevice(), 1);
    child<QComboBox>(dialog, "comboBoxOutput")->setCurrentIndex(1);
    QCOMPARE(dialog.outputDevice(), 4);
    QCOMPARE(dialog.inputDevice(), 7);
    clickOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.inputDevice(), 7);
    QCOMPARE(dialog.outputDevice(), 4);
}

void TestSoundCardDialog::unlistedDeviceKeepsTheDeviceInUse()
{
    // The device in use has gone (unplugged, say): the list shows its first
    // entry, but only picking an entry changes the device.
    SoundCardDlg dialog(inputTable(), outputTable(), 12, 9, 11025);
    dialog.show();
    QCOMPARE(child<QComboBox>(dialog, "comboBoxInput")->currentIndex(), 0);
    QCOMPARE(child<QComboBox>(dialog, "comboBoxOutput")->currentIndex(), 0);
    clickOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.inputDevice(), 12);
    QCOMPARE(dialog.outputDevice(), 9);
}

void TestSoundCardDialog::emptyDeviceTablesStillAccept()
{
    // A machine without a sound card: nothing to list, and Ok still works.
    SoundCardDlg dialog({}, {}, -1, -1, 11025);
    dialog.show();
    QCOMPARE(child<QComboBox>(dialog, "comboBoxInput")->count(), 0);
    QCOMPARE(child<QComboBox>(dialog, "comboBoxOutput")->count(), 0);
    typeRate(dialog, QStringLiteral("12000"));
    clickOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.inputDevice(), -1);
    QCOMPARE(dialog.outputDevice(), -1);
    QCOMPARE(dialog.sampleRate(), 12000);
}

void TestSoundCardDialog::okTakesTheTypedRate_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("rate");
    QTest::newRow("lowest") << "8000" << 8000;
    QTest::newRow("nominal") << "11025" << 11025;
    QTest::newRow("48 kHz") << "48000" << 48000;
    QTest::newRow("highest the receiver takes") << "64249" << 64249;
}

void TestSoundCardDialog::okTakesTheTypedRate()
{
    QFETCH(QString, typed);
    QFETCH(int, rate);
    SoundCardDlg dialog(inputTable(), outputTable(), 0, 1, 22050);
    dialog.show();
    typeRate(dialog, typed);
    clickOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.sampleRate(), rate);
    QVERIFY(!dialog.findChild<QMessageBox*>());
    Settings settings;
    QCOMPARE(settings.value(QStringLiteral("Audio/type"), -1).toInt(), 0);
}

void TestSoundCardDialog::okRefusesUnusableRates_data()
{
    QTest::addColumn<QString>("typed");
    QTest::newRow("half-typed 8000") << "8";
    QTest::newRow("empty field") << "";
    QTest::newRow("letters only") << "abc";
    QTest::newRow("just below 8000") << "7999";
    QTest::newRow("receiver limit itself") << "64250";
    QTest::newRow("96 kHz") << "96000";
    QTest::newRow("top of the field's range") << "2822400";
}

void TestSoundCardDialog::okRefusesUnusableRates()
{
    QFETCH(QString, typed);
    SoundCardDlg dialog(inputTable(), outputTable(), 0, 1, 11025);
    dialog.show();
    typeRate(dialog, typed);
    clickOk(dialog);

    // Still open, the old rate kept, the reason shown, nothing stored.
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.result() != int(QDialog::Accepted));
    QCOMPARE(dialog.sampleRate(), 11025);
    auto* box = dialog.findChild<QMessageBox*>();
    QVERIFY(box);
    QVERIFY(box->isVisible());
    QVERIFY2(box->text().contains(QStringLiteral("8000")) && box->text().contains(QStringLiteral("64249")),
             qPrintable(box->text()));
    Settings settings;
    QVERIFY(!settings.contains(QStringLiteral("Audio/type")));
}

void TestSoundCardDialog::mendedRateIsTakenAfterARefusal()
{
    SoundCardDlg dialog(inputTable(), outputTable(), 0, 1, 11025);
    dialog.show();
    typeRate(dialog, QStringLiteral("8"));
    clickOk(dialog);
    auto* box = dialog.findChild<QMessageBox*>();
    QVERIFY(box);
    box->close();
    // The refused text is selected for retyping; the user types on instead.
    auto* field = child<QLineEdit>(dialog, "lineEdit");
    QCOMPARE(field->selectedText(), QStringLiteral("8"));
    QTest::keyClick(field, Qt::Key_End);
    QTest::keyClicks(field, QStringLiteral("000"));
    QCOMPARE(field->text(), QStringLiteral("8000"));
    clickOk(dialog);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.sampleRate(), 8000);
}

void TestSoundCardDialog::receiveCorrectionCountsAgainstTheReceiverLimit_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("rxPpm");
    QTest::addColumn<int>("txPpm");
    QTest::addColumn<bool>("accepted");
    // 64249 Hz 16 ppm fast is 64250.03 Hz at the receiver.
    QTest::newRow("fast card at the top") << 64249 << 16 << 0 << false;
    QTest::newRow("15 ppm still fits") << 64249 << 15 << 0 << true;
    QTest::newRow("slow card at the top") << 64249 << -100 << 0 << true;
    QTest::newRow("transmit correction does not count") << 64249 << 0 << 100 << true;
}

void TestSoundCardDialog::receiveCorrectionCountsAgainstTheReceiverLimit()
{
    QFETCH(int, rate);
    QFETCH(int, rxPpm);
    QFETCH(int, txPpm);
    QFETCH(bool, accepted);
    SoundCardDlg dialog(inputTable(), outputTable(), 0, 1, 11025);
    dialog.show();
    dialog.setRxPpm(rxPpm);
    dialog.setTxPpm(txPpm);
    typeRate(dialog, QString::number(rate));
    clickOk(dialog);
    QCOMPARE(dialog.result() == int(QDialog::Accepted), accepted);
    QCOMPARE(dialog.sampleRate(), accepted ? rate : 11025);
    QCOMPARE(dialog.findChild<QMessageBox*>() != nullptr, !accepted);
}

void TestSoundCardDialog::correctionSpinBoxesHoldWholePpm()
{
    SoundCardDlg dialog(inputTable(), outputTable(), 0, 1, 11025);
    auto* tx = child<QDoubleSpinBox>(dialog, "doubleSpinBoxTX");
    auto* rx = child<QDoubleSpinBox>(dialog, "doubleSpinBoxRX");
    QCOMPARE(tx->decimals(), 0);
    QCOMPARE(rx->decimals(), 0);

    dialog.setTxPpm(-7);
    dialog.setRxPpm(12);
    QCOMPARE(dialog.txPpm(), -7);
    QCOMPARE(dialog.rxPpm(), 12);
    QCOMPARE(tx->text(), QStringLiteral("-7"));

    dialog.setTxPpm(-250);
    dialog.setRxPpm(250);
    QCOMPARE(dialog.txPpm(), -100);
    QCOMPARE(dialog.rxPpm(), 100);
}

void TestSoundCardDialog::cancelTakesNothing()
{
    SoundCardDlg dialog(inputTable(), outputTable(), 0, 1, 11025);
    dialog.show();
    child<QComboBox>(dialog, "comboBoxInput")->setCurrentIndex(1);
    typeRate(dialog, QStringLiteral("48000"));
    QTest::mouseClick(child<QPushButton>(dialog, "pushButtonCancel"), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.sampleRate(), 11025);
    Settings settings;
    QVERIFY(!settings.contains(QStringLiteral("Audio/type")));
}

QTEST_MAIN(TestSoundCardDialog)
#include "tst_soundcarddialog.moc"
