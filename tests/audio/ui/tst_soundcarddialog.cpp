// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The sound card dialog: devices, rate and clock correction, on made-up device tables.

#include "core/settings.h"
#include "audio/soundcarddlg.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Indices with gaps, as PortAudio numbers the devices of all directions together.
AudioDevices::DeviceTable table(const QMap<int, QString>& names)
{
    AudioDevices::DeviceTable t;
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        t.insert(it.key(), AudioDevices::DeviceInfo{it.value(), 2, 2});
    return t;
}
const auto kIn = table({{0, "HDA Intel PCH: ALC257 Analog (hw:0,0)"}, {3, "USB Audio CODEC: Mikrofon \u00dcbertragung"}, {7, "pulse"}});
const auto kOut = table({{1, "HDA Intel PCH: HDMI 0 (hw:0,3)"}, {4, "USB Audio CODEC: Lautsprecher"}});

template <typename T> T* child(QWidget& w, const char* name) { return w.findChild<T*>(QLatin1String(name)); }

void typeRate(SoundCardDlg& dialog, const QString& text)
{
    auto* field = child<QLineEdit>(dialog, "lineEdit");
    field->selectAll();
    QTest::keyClick(field, Qt::Key_Delete);
    QTest::keyClicks(field, text);
}

void click(SoundCardDlg& dialog, const char* button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

} // namespace

class TestSoundCardDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("Velkora32.ini")));
        Settings::setPath(m_dir.filePath(QStringLiteral("Velkora32.ini")));
    }

    void formShowsTheDevicesAndRateInUse()
    {
        SoundCardDlg dialog(kIn, kOut, 3, 4, 11025);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Sound card"));
        QCOMPARE(child<QComboBox>(dialog, "comboBoxType")->currentText(), QStringLiteral("Computer soundcard"));
        QVERIFY(!child<QComboBox>(dialog, "comboBoxType")->isEnabled());
        QCOMPARE(child<QComboBox>(dialog, "comboBoxInput")->currentText(), QStringLiteral("USB Audio CODEC: Mikrofon \u00dcbertragung"));
        QCOMPARE(child<QComboBox>(dialog, "comboBoxOutput")->currentText(), QStringLiteral("USB Audio CODEC: Lautsprecher"));
        QCOMPARE(child<QLineEdit>(dialog, "lineEdit")->text(), QStringLiteral("11025"));
    }

    void okAccepts_data()
    {
        QTest::addColumn<bool>("noDevices");
        QTest::addColumn<int>("inUse");    // input and output device in use
        QTest::addColumn<int>("pick");     // entry picked in both lists, -1 none
        QTest::addColumn<QString>("typed"); // null: field untouched
        QTest::addColumn<int>("rxPpm");
        QTest::addColumn<QList<int>>("taken"); // input, output, rate
        QTest::newRow("unchanged") << false << 0 << -1 << QString() << 0 << QList<int>{0, 1, 11025};
        QTest::newRow("entries picked") << false << 0 << 1 << QString() << 0 << QList<int>{3, 4, 11025};
        QTest::newRow("unlisted device kept") << false << 12 << -1 << QString() << 0 << QList<int>{12, 12, 11025};
        QTest::newRow("no devices") << true << -1 << -1 << "12000" << 0 << QList<int>{-1, -1, 12000};
        QTest::newRow("lowest rate") << false << 0 << -1 << "8000" << 0 << QList<int>{0, 1, 8000};
        QTest::newRow("highest rate, 15 ppm fast") << false << 0 << -1 << "64249" << 15 << QList<int>{0, 1, 64249};
    }
    void okAccepts()
    {
        QFETCH(bool, noDevices);
        QFETCH(int, inUse);
        QFETCH(int, pick);
        QFETCH(QString, typed);
        QFETCH(int, rxPpm);
        QFETCH(QList<int>, taken);
        SoundCardDlg dialog(noDevices ? AudioDevices::DeviceTable() : kIn, noDevices ? AudioDevices::DeviceTable() : kOut,
                            inUse, inUse == 0 ? 1 : inUse, 11025);
        dialog.show();
        if (pick >= 0) {
            child<QComboBox>(dialog, "comboBoxInput")->setCurrentIndex(pick);
            child<QComboBox>(dialog, "comboBoxOutput")->setCurrentIndex(pick);
        }
        dialog.setRxPpm(rxPpm);
        dialog.setTxPpm(100); // the transmit correction does not count against the limit
        if (!typed.isNull())
            typeRate(dialog, typed);
        click(dialog, "pushButtonOk");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(!dialog.isVisible());
        QCOMPARE((QList<int>{dialog.inputDevice(), dialog.outputDevice(), dialog.sampleRate()}), taken);
        QCOMPARE(Settings().value(QStringLiteral("Audio/type"), -1).toInt(), 0);
    }

    void okRefusesUnusableRates_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("rxPpm");
        QTest::newRow("half-typed 8000") << "8" << 0;
        QTest::newRow("empty field") << "" << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("just below 8000") << "7999" << 0;
        QTest::newRow("receiver limit itself") << "64250" << 0;
        QTest::newRow("96 kHz") << "96000" << 0;
        QTest::newRow("16 ppm fast at the top") << "64249" << 16;
    }
    void okRefusesUnusableRates()
    {
        QFETCH(QString, typed);
        QFETCH(int, rxPpm);
        SoundCardDlg dialog(kIn, kOut, 0, 1, 11025);
        dialog.show();
        dialog.setRxPpm(rxPpm);
        typeRate(dialog, typed);
        click(dialog, "pushButtonOk");
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.sampleRate(), 11025);
        auto* box = dialog.findChild<QMessageBox*>();
        QVERIFY(box && box->isVisible());
        QVERIFY2(box->text().contains(QRegularExpression(QStringLiteral("642(49|50)"))), qPrintable(box->text()));
        QVERIFY(!Settings().contains(QStringLiteral("Audio/type")));
        // The refused text is selected for retyping.
        box->close();
        auto* field = child<QLineEdit>(dialog, "lineEdit");
        QCOMPARE(field->selectedText(), field->text());
        dialog.setRxPpm(0);
        typeRate(dialog, QStringLiteral("8000"));
        click(dialog, "pushButtonOk");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.sampleRate(), 8000);
    }

    void correctionSpinBoxesHoldWholePpm()
    {
        SoundCardDlg dialog(kIn, kOut, 0, 1, 11025);
        QCOMPARE(child<QDoubleSpinBox>(dialog, "doubleSpinBoxTX")->decimals(), 0);
        QCOMPARE(child<QDoubleSpinBox>(dialog, "doubleSpinBoxRX")->decimals(), 0);
        dialog.setTxPpm(-7);
        dialog.setRxPpm(12);
        QCOMPARE(dialog.txPpm(), -7);
        QCOMPARE(dialog.rxPpm(), 12);
        QCOMPARE(child<QDoubleSpinBox>(dialog, "doubleSpinBoxTX")->text(), QStringLiteral("-7"));
        dialog.setTxPpm(-250);
        dialog.setRxPpm(250);
        QCOMPARE(dialog.txPpm(), -100);
        QCOMPARE(dialog.rxPpm(), 100);
    }

    void cancelTakesNothing()
    {
        SoundCardDlg dialog(kIn, kOut, 0, 1, 11025);
        dialog.show();
        child<QComboBox>(dialog, "comboBoxInput")->setCurrentIndex(1);
        typeRate(dialog, QStringLiteral("48000"));
        click(dialog, "pushButtonCancel");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.sampleRate(), 11025);
        QVERIFY(!Settings().contains(QStringLiteral("Audio/type")));
    }
};

QTEST_MAIN(TestSoundCardDialog)
#include "tst_soundcarddialog.moc"
