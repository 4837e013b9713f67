// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"
#include "audio/audioin.h"
#include "audio/audioout.h"
#include "virtualsoundcard.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cmath>
#include <complex>
#include <vector>

namespace {

constexpr int kRate = 11025;
constexpr double kToneHz = 1000.0;
constexpr double kAmplitude = 8000.0;
constexpr int kToneSamples = kRate * 3 / 2;

// The transmitter stand-in: 1.5 s of a 1000 Hz tone, then the end.
std::atomic<int> g_toneSent{0};

bool tone(qint16* samples, int count)
{
    int n = g_toneSent.load(std::memory_order_relaxed);
    for (int i = 0; i < count; ++i, ++n) {
        samples[i] = n < kToneSamples
            ? qint16(std::lround(kAmplitude * std::sin(2.0 * M_PI * kToneHz * n / kRate)))
            : qint16(0);
    }
    g_toneSent.store(n, std::memory_order_relaxed);
    return n < kToneSamples;
}

std::vector<double> samplesOf(const QByteArray& bytes)
{
    const qint16* raw = reinterpret_cast<const qint16*>(bytes.constData());
    return std::vector<double>(raw, raw + bytes.size() / 2);
}

// The tone as it came back: where it starts and ends, and its phase seen in
// short windows. A lost or repeated block shifts the phase of everything
// after it.
struct Received
{
    int first = -1;
    int last = -1;
    double rms = 0.0;
    std::vector<double> phases;
    double otherBinsRatio = 0.0;
};

std::complex<double> toneComponent(const std::vector<double>& x, int from, int count, double hz)
{
    std::complex<double> sum;
    for (int n = from; n < from + count; ++n)
        sum += x[size_t(n)] * std::polar(1.0, -2.0 * M_PI * hz * n / kRate);
    return sum / double(count);
}

Received analyse(const std::vector<double>& x)
{
    Received r;
    for (int n = 0; n < int(x.size()); ++n) {
        if (std::abs(x[size_t(n)]) > kAmplitude / 4) {
            if (r.first < 0)
                r.first = n;
            r.last = n;
        }
    }
    if (r.first < 0)
        return r;
    // The body of the tone, away from its edges.
    const int from = r.first + kRate / 10;
    const int to = r.last - kRate / 10;
    double power = 0.0;
    for (int n = from; n < to; ++n)
        power += x[size_t(n)] * x[size_t(n)];
    r.rms = std::sqrt(power / std::max(1, to - from));
    constexpr int kWindow = 441; // 40 ms, a whole number of tone periods
    for (int n = from; n + kWindow <= to; n += kWindow)
        r.phases.push_back(std::arg(toneComponent(x, n, kWindow, kToneHz)));
    const double wanted = std::abs(toneComponent(x, from, to - from, kToneHz));
    double other = 0.0;
    for (double hz : {700.0, 1300.0, 1500.0, 2000.0})
        other = std::max(other, std::abs(toneComponent(x, from, to - from, hz)));
    r.otherBinsRatio = other / wanted;
    return r;
}

double phaseDistance(double a, double b)
{
    return std::abs(std::remainder(a - b, 2.0 * M_PI));
}

} // namespace

// Through a real pair of PortAudio streams on a virtual sound card: what the
// output plays comes back on the input whole, at the right pitch and level,
// without a block lost or repeated on the way to the GUI thread.
class TestAudioLoopback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        VIRTUAL_SOUND_CARD_OR_SKIP(m_card);
        QVERIFY(m_dir.isValid());
        Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini")));
        // The card's "pulse" device starts capturing at once; its "default"
        // device takes a second or two.
        Settings settings;
        settings.setValue(QStringLiteral("Audio/Input/Name"), QStringLiteral("pulse"));
        settings.setValue(QStringLiteral("Audio/Output/Name"), QStringLiteral("pulse"));
    }

    void playedToneComesBackWhole()
    {
        AudioIn in;
        AudioOut out;
        QCOMPARE(in.sampleRate(), kRate);
        QCOMPARE(out.sampleRate(), kRate);

        QByteArray captured;
        QList<int> announced;
        QObject gui;
        connect(
            &in, &AudioIn::notify, &gui,
            [&](int bytes) {
                announced.append(bytes);
                in.readAvailable(captured);
            },
            Qt::QueuedConnection);
        int ends = 0;
        connect(&out, &AudioOut::signalStopAudioOut, &gui, [&] { ++ends; }, Qt::QueuedConnection);

        // A sound server may take a moment before capture flows; the tone
        // must not start before that.
        in.Start();
        QTRY_VERIFY_WITH_TIMEOUT(!announced.isEmpty(), 8000);
        QTest::qWait(300);
        g_toneSent = 0;
        out.setSampleProvider(&tone);
        out.Start();
        // As the main window does: stop the stream once the end is reported.
        QTRY_COMPARE_WITH_TIMEOUT(ends, 1, 8000);
        out.Stop();
        QTest::qWait(400);
        in.Stop();
        in.readAvailable(captured);

        QVERIFY(!announced.isEmpty());
        QCOMPARE(announced.count(2048), announced.size());
        QCOMPARE(in.droppedSamples(), quint64(0));

        const Received r = analyse(samplesOf(captured));
        QVERIFY2(r.first >= 0, "the tone did not come back");
        const int length = r.last - r.first + 1;
        QVERIFY2(std::abs(length - kToneSamples) < kRate / 100, qPrintable(QString::number(length)));
        QVERIFY2(std::abs(r.rms - kAmplitude / std::sqrt(2.0)) < kAmplitude * 0.15,
                 qPrintable(QString::number(r.rms)));
        QVERIFY2(r.otherBinsRatio < 0.05, qPrintable(QString::number(r.otherBinsRatio)));
        QVERIFY(r.phases.size() > 20);
        for (double phase : r.phases)
            QVERIFY2(phaseDistance(phase, r.phases.front()) < 0.2,
                     qPrintable(QStringLiteral("phase %1 after %2").arg(phase).arg(r.phases.front())));
    }

    // Two captures at once: nothing they use is shared by name, so a second
    // program (or one started after a crash) can capture too.
    void twoCapturesRunSideBySide()
    {
        AudioIn first;
        AudioIn second;
        AudioOut out;
        const int other = AudioIn::DeviceByName(QStringLiteral("default"));
        second.CreateAudio(other, kRate);
        QCOMPARE(second.device(), other);
        QVERIFY(first.device() != second.device());

        QByteArray capturedFirst;
        QByteArray capturedSecond;
        QObject gui;
        connect(&first, &AudioIn::notify, &gui, [&] { first.readAvailable(capturedFirst); },
                Qt::QueuedConnection);
        connect(&second, &AudioIn::notify, &gui, [&] { second.readAvailable(capturedSecond); },
                Qt::QueuedConnection);
        first.Start();
        second.Start();
        QTRY_VERIFY_WITH_TIMEOUT(!capturedFirst.isEmpty() && !capturedSecond.isEmpty(), 8000);
        g_toneSent = 0;
        out.setSampleProvider(&tone);
        out.Start();
        QTRY_VERIFY_WITH_TIMEOUT(!out.isActive(), 8000);
        QTest::qWait(300);
        first.Stop();
        second.Stop();
        first.readAvailable(capturedFirst);
        second.readAvailable(capturedSecond);

        for (const QByteArray* captured : {&capturedFirst, &capturedSecond}) {
            const Received r = analyse(samplesOf(*captured));
            QVERIFY2(r.first >= 0, "one capture missed the tone");
            QVERIFY(r.otherBinsRatio < 0.05);
        }
    }

private:
    VirtualSoundCard m_card;
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestAudioLoopback)
#include "tst_audioloopback.moc"
