// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/settings.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "audio/soundthread.h"
#include "virtualsoundcard.h"

#include <QDeadlineTimer>
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

// The tone came back whole: its length, and a steady phase in 40 ms
// windows (a lost or repeated block shifts the phase after it).
QString toneError(const QByteArray& bytes)
{
    const auto* raw = reinterpret_cast<const qint16*>(bytes.constData());
    const std::vector<double> x(raw, raw + bytes.size() / 2);
    const auto bin = [&](int from, int count) {
        std::complex<double> sum;
        for (int n = from; n < from + count; ++n)
            sum += x[size_t(n)] * std::polar(1.0, -2.0 * M_PI * kToneHz * n / kRate);
        return sum / double(count);
    };
    int first = -1, last = -1;
    for (int n = 0; n < int(x.size()); ++n)
        if (std::abs(x[size_t(n)]) > kAmplitude / 4)
            last = n, first = first < 0 ? n : first;
    if (first < 0 || std::abs(last - first + 1 - kToneSamples) >= kRate / 100)
        return QStringLiteral("tone from %1 to %2").arg(first).arg(last);
    const int from = first + kRate / 10, to = last - kRate / 10;
    for (int n = from; n + 441 <= to; n += 441)
        if (std::abs(std::remainder(std::arg(bin(n, 441)) - std::arg(bin(from, 441)), 2 * M_PI)) > 0.2)
            return QStringLiteral("phase jump at %1").arg(n);
    return {};
}

} // namespace

// Real PortAudio streams on a virtual sound card ("pulse" and "default").
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

    // The sound server dies while we receive, then while we transmit: the
    // streams are reported lost, a start fails at once instead of hanging,
    // and both come back by themselves with the server. Then a tone played
    // comes back whole, and its end is signalled once.
    void streamsOutliveADeadServer()
    {
        Settings().setValue(QStringLiteral("Audio/Input/Name"), QStringLiteral("pulse"));
        Settings().setValue(QStringLiteral("Audio/Output/Name"), QStringLiteral("USB Audio CODEC")); // gone
        QByteArray captured;
        {
            AudioIn in;
            AudioOut out;
            QSignalSpy lost(&out, &SoundStream::signalStreamLost);
            int ends = 0; // both signals come from the audio threads
            connect(&out, &AudioOut::signalStopAudioOut, &in, [&] { ++ends; }, Qt::QueuedConnection);
            connect(&in, &AudioIn::notify, &in, [&] { in.readAvailable(captured); }, Qt::QueuedConnection);
            out.setSampleProvider(&tone);
            // Another rate reopens the capture and is kept for the next start.
            QVERIFY(in.Start() && AudioDevices::deviceName(in.device()) == QStringLiteral("pulse")); // the card chosen
            QVERIFY(in.ChangeDevice(in.device(), 22050) && Settings().value(QStringLiteral("Audio/Input/SampleRate")) == 22050);
            for (bool transmitting : {false, true}) {
                g_sent = -100 * kRate;
                QVERIFY(!transmitting || out.Start());
                const int before = int(captured.size());
                QTRY_VERIFY_WITH_TIMEOUT(captured.size() > before, 10000);
                m_card.kill();
                QTRY_VERIFY_WITH_TIMEOUT(in.isLost() && out.isLost() == transmitting, 8000);
                QDeadlineTimer clock(SoundThread::kAnswerMs + 500);
                QVERIFY(!out.Start(true));
                // At most one time-out, should closing the dead input hang.
                QVERIFY(!clock.hasExpired() && out.isLost());
                QVERIFY(transmitting || in.ChangeDevice(AudioIn::DeviceByName(QStringLiteral("default")), kRate)); // chosen while lost
                QString why;
                QVERIFY2(m_card.start(&why), qPrintable(why));
                QTRY_VERIFY_WITH_TIMEOUT(!in.isLost() && !out.isLost(), 10000);
            }
            QCOMPARE(lost.count(), 2);
            // Another rate reopens the capture (the same one does not), which runs on below.
            QVERIFY(!in.ChangeDevice(in.device(), in.sampleRate()) && in.ChangeDevice(in.device(), 22050)
                    && in.ChangeDevice(in.device(), kRate));
            captured.clear(); // the capture runs again before the tone starts
            QTRY_VERIFY_WITH_TIMEOUT(captured.size() > kRate, 10000);
            g_sent = 0, g_calls = 0, ends = 0;
            QVERIFY(out.Start());
            QTRY_VERIFY_WITH_TIMEOUT(!out.isActive(), 8000);
            QTRY_COMPARE(ends, 1);
            QCOMPARE(g_calls.load(), (kToneSamples + AudioOut::kFramesPerBuffer) / AudioOut::kFramesPerBuffer);
            QTRY_COMPARE_WITH_TIMEOUT(toneError(captured), QString(), 5000); // its end comes back later
            QCOMPARE(ends, 1); // once: a second end would stop the next transmission
            out.saveSettings();
        }
        for (const char* key : {"Audio/Input/Name", "Audio/Output/Name"})
            QCOMPARE(Settings().value(QLatin1String(key)).toString(), QStringLiteral("default"));
    }

    // No sound server when the program starts: no device is found, and
    // choosing none in the dialog keeps the names the user had chosen; the
    // streams open once the server is there.
    void serverDeadAtStartIsFoundWhenBack()
    {
        m_card.kill();
        for (const char* key : {"Audio/Input/Name", "Audio/Output/Name"})
            Settings().setValue(QLatin1String(key), QStringLiteral("pulse"));
        for (bool comesBack : {false, true}) {
            AudioIn in;
            AudioOut out;
            QVERIFY(!in.Start() && in.isLost());
            if (!comesBack) { // Ok in the sound card dialog, which lists nothing
                in.ChangeDevice(in.device(), kRate), out.ChangeDevice(out.device(), kRate);
                continue;
            }
            QString why;
            QVERIFY2(m_card.start(&why), qPrintable(why));
            QTRY_VERIFY_WITH_TIMEOUT(!in.isLost(), 15000);
            QVERIFY(AudioDevices::deviceName(in.device()) == QStringLiteral("pulse") && out.Start(true) && out.isActive());
            out.Stop();
            in.saveSettings(), out.saveSettings();
        }
        for (const char* key : {"Audio/Input/Name", "Audio/Output/Name"})
            QCOMPARE(Settings().value(QLatin1String(key)).toString(), QStringLiteral("pulse"));
    }

private:
    VirtualSoundCard m_card;
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestAudioLoopback)
#include "tst_audioloopback.moc"
