// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "audio/soundthread.h"
#include "messagecatcher.h"
#include "virtualsoundcard.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cmath>
#include <complex>
#include <vector>

namespace {

constexpr int kRate = 11025, kToneSamples = kRate * 3 / 2;
constexpr double kToneHz = 1000.0, kAmplitude = 8000.0;
std::atomic<int> g_sent{0}, g_calls{0};

// The transmitter stand-in: 1.5 s of a 1000 Hz tone, then the end.
bool tone(qint16* samples, int count)
{
    g_calls.fetch_add(1);
    int n = g_sent.load();
    for (int i = 0; i < count; ++i, ++n)
        samples[i] = n < kToneSamples ? qint16(std::lround(kAmplitude * std::sin(2 * M_PI * kToneHz * n / kRate))) : 0;
    g_sent.store(n);
    return n < kToneSamples;
}

std::complex<double> bin(const std::vector<double>& x, int from, int count, double hz)
{
    std::complex<double> sum;
    for (int n = from; n < from + count; ++n)
        sum += x[size_t(n)] * std::polar(1.0, -2.0 * M_PI * hz * n / kRate);
    return sum / double(count);
}

// Checks the tone came back whole: length, level, pitch, and a steady phase
// in 40 ms windows (a lost or repeated block shifts the phase after it).
QString toneError(const QByteArray& bytes)
{
    const auto* raw = reinterpret_cast<const qint16*>(bytes.constData());
    const std::vector<double> x(raw, raw + bytes.size() / 2);
    int first = -1, last = -1;
    for (int n = 0; n < int(x.size()); ++n)
        if (std::abs(x[size_t(n)]) > kAmplitude / 4)
            last = n, first = first < 0 ? n : first;
    if (first < 0)
        return QStringLiteral("no tone");
    if (std::abs(last - first + 1 - kToneSamples) >= kRate / 100)
        return QStringLiteral("length %1").arg(last - first + 1);
    const int from = first + kRate / 10, to = last - kRate / 10;
    const double level = std::abs(bin(x, from, to - from, kToneHz));
    if (std::abs(level - kAmplitude / 2) > kAmplitude * 0.1)
        return QStringLiteral("level %1").arg(level);
    for (double hz : {700.0, 1300.0, 1500.0, 2000.0})
        if (std::abs(bin(x, from, to - from, hz)) > 0.05 * level)
            return QStringLiteral("energy at %1 Hz").arg(hz);
    const double phase0 = std::arg(bin(x, from, 441, kToneHz));
    for (int n = from; n + 441 <= to; n += 441)
        if (std::abs(std::remainder(std::arg(bin(x, n, 441, kToneHz)) - phase0, 2 * M_PI)) > 0.2)
            return QStringLiteral("phase jump at %1").arg(n);
    return {};
}

int indexOf(const AudioDevices::DeviceTable& table, const QString& name)
{
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        if (it.value().name == name)
            return it.key();
    return -100;
}

} // namespace

// Real PortAudio streams on a virtual sound card ("pulse" and "default"):
// device choice, reopening, the loopback AudioOut -> AudioIn and its end.
class TestAudioLoopback : public QObject
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

    void deviceByExactNameElseDefault_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("opened");
        QTest::newRow("exact") << "pulse" << "pulse";
        QTest::newRow("other case") << "Pulse" << "default";
        QTest::newRow("prefix") << "puls" << "default";
        QTest::newRow("empty") << "" << "default";
    }
    void deviceByExactNameElseDefault()
    {
        QFETCH(QString, name);
        QFETCH(QString, opened);
        AudioIn in;
        QCOMPARE(AudioIn::DeviceByName(name), indexOf(AudioIn::InputDevices(), opened));
        QCOMPARE(AudioOut::DeviceByName(name), indexOf(AudioOut::OutputDevices(), opened));
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
            if (name.isValid())
                Settings().setValue(QStringLiteral("Audio/%1/Name").arg(side), name);
            if (rate.isValid())
                Settings().setValue(QStringLiteral("Audio/%1/SampleRate").arg(side), rate);
        }
        {
            AudioIn in;
            AudioOut out;
            QCOMPARE(in.device(), indexOf(AudioIn::InputDevices(), opened));
            QCOMPARE(out.device(), indexOf(AudioOut::OutputDevices(), opened));
            QCOMPARE(in.sampleRate(), openedRate);
            QCOMPARE(out.sampleRate(), openedRate);
            QSignalSpy captured(&in, &AudioIn::notify);
            in.Start();
            QVERIFY(captured.wait(10000));
        }
        for (const char* side : {"Input", "Output"}) {
            QCOMPARE(Settings().value(QStringLiteral("Audio/%1/Name").arg(side)).toString(), opened);
            QCOMPARE(Settings().value(QStringLiteral("Audio/%1/SampleRate").arg(side)).toInt(), openedRate);
        }
    }

    void changeReopensOnlyForAnotherDeviceOrRate()
    {
        AudioIn in;
        AudioOut out;
        in.Start();
        QVERIFY(!in.ChangeDevice(in.device(), in.sampleRate()));
        QVERIFY(in.ChangeDevice(in.device(), 22050));
        QVERIFY(in.isActive());
        QSignalSpy captured(&in, &AudioIn::notify);
        QVERIFY(captured.wait(10000));
        g_sent = -100 * kRate; // a long transmission
        out.setSampleProvider(&tone);
        out.Start();
        QVERIFY(out.ChangeDevice(out.device(), 22050));
        QCOMPARE(out.sampleRate(), 22050);
        QVERIFY(out.isActive());
        const int calls = g_calls.load();
        QTRY_VERIFY_WITH_TIMEOUT(g_calls.load() > calls + 4, 5000);
    }

    // The tone comes back whole on two captures at once (nothing shared by
    // name), and the output stops on its own, signalling the end once.
    void playedToneComesBackWholeAndTheEndIsSignalledOnce()
    {
        Settings().setValue(QStringLiteral("Audio/Input/Name"), QStringLiteral("pulse"));
        Settings().setValue(QStringLiteral("Audio/Output/Name"), QStringLiteral("pulse"));
        AudioIn in, second;
        AudioOut out;
        MessageCatcher catcher;
        second.CreateAudio(AudioIn::DeviceByName(QStringLiteral("default")), kRate);
        QVERIFY(in.device() != second.device());
        QByteArray captured, capturedSecond, firstTone, firstToneSecond;
        QList<int> announced;
        int ends = 0;
        QObject gui;
        connect(&in, &AudioIn::notify, &gui, [&](int bytes) {
            announced.append(bytes);
            in.readAvailable(captured);
        }, Qt::QueuedConnection);
        connect(&second, &AudioIn::notify, &gui, [&] { second.readAvailable(capturedSecond); },
                Qt::QueuedConnection);
        connect(&out, &AudioOut::signalStopAudioOut, &gui, [&] { ++ends; }, Qt::QueuedConnection);
        in.Start();
        second.Start();
        QTRY_VERIFY_WITH_TIMEOUT(!captured.isEmpty() && !capturedSecond.isEmpty(), 8000);
        QTest::qWait(300);

        for (int round = 1; round <= 2; ++round) { // the next transmission ends the same way
            g_sent = 0;
            g_calls = 0;
            out.setSampleProvider(&tone);
            out.Start();
            QVERIFY(out.isActive());
            QTRY_VERIFY_WITH_TIMEOUT(!out.isActive(), 8000);
            QTest::qWait(400);
            if (round == 1)
                firstTone = captured, firstToneSecond = capturedSecond;
            QCOMPARE(ends, round);
            QCOMPARE(g_calls.load(), (kToneSamples + AudioOut::kFramesPerBuffer) / AudioOut::kFramesPerBuffer);
            out.Stop(); // as the main window does; no failure
        }
        QCOMPARE(announced.count(2048), announced.size());
        QCOMPARE(in.droppedSamples(), quint64(0));
        QCOMPARE(catcher.warnings(), QStringList());
        QCOMPARE(toneError(firstTone), QString());
        QCOMPARE(toneError(firstToneSecond), QString());
    }

    // The sound server dies while we receive, then while we transmit: the
    // streams are reported lost, a start fails at once instead of hanging,
    // and both come back by themselves with the server. Last here.
    void deadServerIsReportedAndOutlived()
    {
        AudioIn in;
        AudioOut out;
        QSignalSpy captured(&in, &AudioIn::notify), lost(&out, &SoundStream::signalStreamLost);
        out.setSampleProvider(&tone);
        QString why;
        QVERIFY(in.Start());
        for (bool transmitting : {false, true}) {
            g_sent = -100 * kRate;
            QVERIFY(!transmitting || out.Start());
            QVERIFY(captured.wait(10000));
            m_card.kill();
            QTRY_VERIFY_WITH_TIMEOUT(in.isLost() && out.isLost() == transmitting, 8000);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(!out.Start(true));
            // At most one time-out, should closing the dead input hang.
            QVERIFY(clock.elapsed() < SoundThread::kAnswerMs + 500 && out.isLost());
            QVERIFY2(m_card.start(&why), qPrintable(why));
            QTRY_VERIFY_WITH_TIMEOUT(!in.isLost() && !out.isLost(), 10000);
            captured.clear();
        }
        QCOMPARE(lost.count(), 2);
        g_sent = 0;
        QVERIFY(out.Start());
        QTRY_VERIFY_WITH_TIMEOUT(!out.isActive(), 8000);
        QVERIFY(captured.count() > 0);
    }

private:
    VirtualSoundCard m_card;
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestAudioLoopback)
#include "tst_audioloopback.moc"
