// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/settings.h"
#include "audio/audioout.h"
#include "messagecatcher.h"
#include "virtualsoundcard.h"

#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

// The transmitter stand-in: a fixed number of blocks, then the end.
std::atomic<int> g_blocksLeft{0};
std::atomic<int> g_calls{0};
std::atomic<int> g_oddSizedCalls{0};

bool shortTransmission(qint16* samples, int count)
{
    g_calls.fetch_add(1);
    if (count != AudioOut::kFramesPerBuffer)
        g_oddSizedCalls.fetch_add(1);
    std::fill_n(samples, count, qint16(1000));
    return g_blocksLeft.fetch_sub(1) > 1;
}

} // namespace

// The end of a transmission: the output asks its provider for blocks until
// the provider says the end, then stops on its own and tells the GUI thread
// exactly once, so push-to-talk can be released.
class TestPlaybackEnd : public QObject
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

    void init()
    {
        g_calls = 0;
        g_oddSizedCalls = 0;
    }

    void endIsSignalledOnceAndTheStreamStops()
    {
        AudioOut out;
        MessageCatcher catcher;
        int ends = 0;
        QObject gui;
        connect(&out, &AudioOut::signalStopAudioOut, &gui, [&] { ++ends; }, Qt::QueuedConnection);
        out.setSampleProvider(&shortTransmission);

        g_blocksLeft = 12;
        out.Start();
        QTRY_COMPARE_WITH_TIMEOUT(ends, 1, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!out.isActive(), 5000);
        QTest::qWait(200);
        QCOMPARE(ends, 1);
        QCOMPARE(g_calls.load(), 12);
        QCOMPARE(g_oddSizedCalls.load(), 0);
        // The main window then stops the stream, which is no failure.
        out.Stop();
        QCOMPARE(catcher.warnings(), QStringList());

        // The next transmission starts and ends the same way.
        g_blocksLeft = 5;
        out.Start();
        QVERIFY(out.isActive());
        QTRY_COMPARE_WITH_TIMEOUT(ends, 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!out.isActive(), 5000);
        QCOMPARE(g_calls.load(), 12 + 5);
        QCOMPARE(catcher.warnings(), QStringList());
    }

    // A start right after a transmission ended on its own, before the GUI
    // thread got round to stopping the stream.
    void restartBeforeTheStopArrives()
    {
        AudioOut out;
        MessageCatcher catcher;
        int ends = 0;
        QObject gui;
        connect(&out, &AudioOut::signalStopAudioOut, &gui, [&] { ++ends; }, Qt::QueuedConnection);
        out.setSampleProvider(&shortTransmission);
        g_blocksLeft = 3;
        out.Start();
        QTRY_VERIFY_WITH_TIMEOUT(!out.isActive(), 5000);
        g_blocksLeft = 3;
        out.Start();
        QVERIFY(out.isActive());
        QTRY_COMPARE_WITH_TIMEOUT(ends, 2, 5000);
        QCOMPARE(catcher.warnings(), QStringList());
    }

    void stopByTheUserSignalsNothing()
    {
        AudioOut out;
        int ends = 0;
        QObject gui;
        connect(&out, &AudioOut::signalStopAudioOut, &gui, [&] { ++ends; }, Qt::QueuedConnection);
        out.setSampleProvider(&shortTransmission);
        g_blocksLeft = 1000000;
        out.Start();
        QTRY_VERIFY_WITH_TIMEOUT(g_calls.load() > 5, 5000);
        out.Stop();
        QVERIFY(!out.isActive());
        QTest::qWait(100);
        QCOMPARE(ends, 0);
    }

private:
    VirtualSoundCard m_card;
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestPlaybackEnd)
#include "tst_playbackend.moc"
