// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Click-to-tune with replay, end to end: BPSK31 audio from the real modem's
// transmitter goes, as the main window hands it on, through the waterfall's
// display block and into a second modem listening elsewhere. A click on the
// trace some lines down must make that receiver decode the text that went
// by before the click.

#include "display/spectrumwidget.h"
#include "displaytesthelpers.h"
#include "modem/pskinterfaces.h"
#include "modem/psktxrx.h"
#include "modem/replaydistance.h"

#include <QtTest>

#include <algorithm>

using namespace DisplayTest;

namespace {

constexpr int kChunk = 1024; // what the sound card delivers at a time
constexpr double kSignalHz = 1500.0;
constexpr double kListenHz = 800.0;
const QString kMessage = QStringLiteral("CQ CQ DE VK2XYZ VK2XYZ PSE K");

class TextSource : public CTxCharSource
{
public:
    explicit TextSource(const QString& text) : m_text(text) {}
    quint32 nextTxWord() override
    {
        if (m_next >= m_text.size())
            return TxWord::make(TxWord::kEnd);
        return TxWord::make(TxWord::kChar, m_text.at(m_next++).unicode());
    }

private:
    QString m_text;
    int m_next = 0;
};

std::vector<qint16> transmission(const QString& text)
{
    CPskTxRx tx(QStringLiteral("BPSK31"));
    tx.Command(90, 3125, 0, 0);
    tx.SetSampleRates(kRate, kRate);
    tx.SetFrequencies(kSignalHz, kSignalHz);
    TextSource source(text);
    tx.setTxCharSource(&source);
    tx.SetTransmit(1);
    std::vector<qint16> audio;
    qint16 block[512];
    // Far more than the text needs, in case the end never comes.
    for (int i = 0; i < 2000; ++i) {
        const bool ended = tx.GenerateTxSamples(block, 512) == 0;
        audio.insert(audio.end(), block, block + 512);
        if (ended)
            break;
    }
    tx.SetTransmit(0);
    tx.setTxCharSource(nullptr);
    return audio;
}

// The main window's input path: every chunk to the modem, and into the
// display block until it is full, which makes one waterfall line.
class Station
{
public:
    Station()
    {
        rx.Command(90, 3125, 0, 0);
        rx.SetSampleRates(kRate, kRate);
        rx.SetFrequencies(kListenHz, kListenHz);
        QObject::connect(&rx, &CPskTxRx::signalCharReceived, &rx, [this](QChar c) { decoded += c; });
        QObject::connect(&waterfall, &SpectrumWidget::signalFqChanged, &rx, &CPskTxRx::slotFqChanged);
        waterfall.resize(1024, 400);
    }

    void hear(const std::vector<qint16>& audio)
    {
        for (size_t at = 0; at + kChunk <= audio.size(); at += kChunk) {
            for (int i = 0; i < kChunk; ++i) {
                m_block[m_fill++] = audio[at + i];
                if (m_fill == kBlock) {
                    m_fill = 0;
                    waterfall.updateWaterfall(m_block.data());
                    ++lines;
                    break;
                }
            }
            rx.ReceiveSamples(audio.data() + at, kChunk);
        }
    }

    void hearSilence(int chunks) { hear(std::vector<qint16>(size_t(chunks) * kChunk, 0)); }

    CPskTxRx rx{QStringLiteral("BPSK31")};
    SpectrumWidget waterfall;
    QString decoded;
    int lines = 0;

private:
    std::array<float, kBlock> m_block{};
    int m_fill = 0;
};

} // namespace

class TestWaterfallReplay : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void clickDownTheTraceDecodesEarlierText();
    void clickOnNewestLinesDoesNotReplay();

private:
    std::unique_ptr<ScopedSettings> m_settings;
};

void TestWaterfallReplay::init()
{
    m_settings = std::make_unique<ScopedSettings>();
    ReplayDistance::set(0);
}

void TestWaterfallReplay::cleanup()
{
    m_settings.reset();
    ReplayDistance::set(0);
}

void TestWaterfallReplay::clickDownTheTraceDecodesEarlierText()
{
    const auto audio = transmission(kMessage);
    QVERIFY(audio.size() > size_t(kRate) * 5);

    Station station;
    station.hearSilence(20);
    const int before = station.lines;
    station.hear(audio);
    const int signalLines = station.lines - before;
    station.hearSilence(12);
    const int after = station.lines - before - signalLines;
    // Listening elsewhere, the text did not come through.
    QVERIFY2(!station.decoded.contains(QStringLiteral("VK2XYZ")), qPrintable(station.decoded));

    // Click the trace two lines below its oldest line, a few columns off:
    // everything from there on is decoded again at the signal's frequency.
    const int row = after + signalLines + 2;
    const int column = qRound(kSignalHz / kBinHz) + 2;
    station.decoded.clear();
    QTest::mouseClick(&station.waterfall, Qt::LeftButton, {}, QPoint(column, SpectrumWidget::kImageTop + row));
    QVERIFY(std::abs(station.waterfall.rx() - kSignalHz) < 4.0);
    double rx = 0.0;
    double tx = 0.0;
    station.rx.GetFrequencies(&rx, &tx);
    QCOMPARE(rx, station.waterfall.rx());

    // The receiver catches up on the replayed audio while new audio arrives.
    station.hearSilence(2 * row + 20);
    QVERIFY2(station.decoded.contains(kMessage.mid(3)), qPrintable(station.decoded));
}

void TestWaterfallReplay::clickOnNewestLinesDoesNotReplay()
{
    const auto audio = transmission(kMessage);
    Station station;
    station.hearSilence(20);
    const int before = station.lines;
    station.hear(audio);
    const int signalLines = station.lines - before;
    QVERIFY(signalLines > 20);

    // The trace is still under the newest lines, but a click there only
    // retunes: what went by is not decoded again.
    station.decoded.clear();
    const int column = qRound(kSignalHz / kBinHz);
    QTest::mouseClick(&station.waterfall, Qt::LeftButton, {}, QPoint(column, SpectrumWidget::kImageTop + 5));
    QVERIFY(std::abs(station.waterfall.rx() - kSignalHz) < 4.0);
    station.hearSilence(80);
    QVERIFY2(!station.decoded.contains(QStringLiteral("VK2XYZ")), qPrintable(station.decoded));
}

QTEST_MAIN(TestWaterfallReplay)
#include "tst_waterfallreplay.moc"
