// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "virtualsoundcard.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

std::atomic<int> g_providerCalls{0};

bool endlessSilence(qint16* samples, int count)
{
    std::fill_n(samples, count, qint16(0));
    g_providerCalls.fetch_add(1);
    return true;
}

int indexOf(const AudioDevices::DeviceTable& table, const QString& name)
{
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (it.value().name == name)
            return it.key();
    }
    return -100;
}

QVariant stored(const QString& key)
{
    return Settings().value(key);
}

} // namespace

// Which sound device and rate the streams open, what they remember, and when
// a change of device or rate reopens them. Runs on a private virtual sound
// card whose ALSA devices are "pulse" and "default" (the default one).
class TestDeviceSelection : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        VIRTUAL_SOUND_CARD_OR_SKIP(m_card);
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
    }

    void init() { QFile::remove(Settings::path()); }

    void nameLookupIsExactElseTheDefault_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("opened");
        QTest::newRow("exact") << "pulse" << "pulse";
        QTest::newRow("other case") << "Pulse" << "default";
        QTest::newRow("prefix") << "puls" << "default";
        QTest::newRow("empty") << "" << "default";
    }

    void nameLookupIsExactElseTheDefault()
    {
        QFETCH(QString, name);
        QFETCH(QString, opened);
        AudioIn in;
        AudioOut out;
        QCOMPARE(AudioIn::DeviceByName(name), indexOf(AudioIn::InputDevices(), opened));
        QCOMPARE(AudioOut::DeviceByName(name), indexOf(AudioOut::OutputDevices(), opened));
        for (const auto& info : AudioIn::InputDevices())
            QVERIFY(info.maxInputChannels > 0);
        for (const auto& info : AudioOut::OutputDevices())
            QVERIFY(info.maxOutputChannels > 0);
    }

    void storedChoiceIsOpenedAndKept_data()
    {
        QTest::addColumn<QVariant>("name");
        QTest::addColumn<QVariant>("rate");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<int>("openedRate");
        QTest::newRow("first start") << QVariant() << QVariant() << "default" << 11025;
        QTest::newRow("stored card") << QVariant("pulse") << QVariant(8000) << "pulse" << 8000;
        QTest::newRow("vanished card") << QVariant("USB Audio CODEC") << QVariant() << "default" << 11025;
    }

    void storedChoiceIsOpenedAndKept()
    {
        QFETCH(QVariant, name);
        QFETCH(QVariant, rate);
        QFETCH(QString, opened);
        QFETCH(int, openedRate);
        for (const char* side : {"Input", "Output"}) {
            Settings settings;
            if (name.isValid())
                settings.setValue(QStringLiteral("Audio/%1/Name").arg(side), name);
            if (rate.isValid())
                settings.setValue(QStringLiteral("Audio/%1/SampleRate").arg(side), rate);
        }
        {
            AudioIn in;
            AudioOut out;
            QCOMPARE(in.device(), indexOf(AudioIn::InputDevices(), opened));
            QCOMPARE(out.device(), indexOf(AudioOut::OutputDevices(), opened));
            QCOMPARE(in.sampleRate(), openedRate);
            QCOMPARE(out.sampleRate(), openedRate);
            QVERIFY(!out.isActive());
            QSignalSpy captured(&in, &AudioIn::notify);
            in.Start();
            QVERIFY(captured.wait(10000));
        }
        for (const char* side : {"Input", "Output"}) {
            QCOMPARE(stored(QStringLiteral("Audio/%1/Name").arg(side)).toString(), opened);
            QCOMPARE(stored(QStringLiteral("Audio/%1/SampleRate").arg(side)).toInt(), openedRate);
        }
    }

    void unknownIndexOpensTheDefault()
    {
        AudioIn in;
        AudioOut out;
        for (int index : {9999, -7}) {
            in.CreateAudio(index, 11025);
            out.CreateAudio(index, 11025);
            QCOMPARE(in.device(), indexOf(AudioIn::InputDevices(), QStringLiteral("default")));
            QCOMPARE(out.device(), indexOf(AudioOut::OutputDevices(), QStringLiteral("default")));
        }
    }

    void inputRestartsOnlyForAnotherDeviceOrRate()
    {
        AudioIn in;
        in.Start();
        QVERIFY(!in.ChangeDevice(in.device(), in.sampleRate()));
        QVERIFY(in.isActive());

        QVERIFY(in.ChangeDevice(in.device(), 22050));
        QCOMPARE(in.sampleRate(), 22050);
        QVERIFY(in.isActive());
        QSignalSpy captured(&in, &AudioIn::notify);
        QVERIFY(captured.wait(10000));
    }

    void outputKeepsItsStateAcrossAChange()
    {
        AudioOut out;
        const int pulse = indexOf(AudioOut::OutputDevices(), QStringLiteral("pulse"));
        QVERIFY(out.ChangeDevice(pulse, 11025));
        QCOMPARE(out.device(), pulse);
        QVERIFY(!out.isActive());

        out.setSampleProvider(&endlessSilence);
        out.Start();
        QVERIFY(out.ChangeDevice(pulse, 22050));
        QCOMPARE(out.sampleRate(), 22050);
        QVERIFY(out.isActive());
        const int calls = g_providerCalls.load();
        QTRY_VERIFY_WITH_TIMEOUT(g_providerCalls.load() > calls + 4, 5000);
    }

private:
    VirtualSoundCard m_card;
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestDeviceSelection)
#include "tst_deviceselection.moc"
