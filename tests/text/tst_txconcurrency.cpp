// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The transmit pane feeding a modem thread at BPSK250 pace (512-sample blocks)
// while the operator types: every character goes out exactly once, in order.

#include "core/settings.h"
#include "core/stationstate.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>

#if defined(__SANITIZE_THREAD__)
// Qt's own locks are invisible in the uninstrumented Qt libraries; the text the
// audio thread reads is handled by code compiled into this test.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libQt6Test.so.6\n";
}
#endif

namespace {

// Pulls like the transmit sequencer (a character costs at least three bits:
// two zero bits and the shortest Varicode word) until the end marker or maxChars.
QString pull(CTxCharSource& source, int maxChars, const std::atomic<bool>& abandon)
{
    QString out;
    for (double bits = 0.0; !abandon.load() && out.size() < maxChars; std::this_thread::yield()) {
        for (bits += 512 * 250.0 / 11025.0; bits >= 3.0; bits -= 3.0) {
            const quint32 word = source.nextTxWord();
            if (TxWord::kind(word) == TxWord::kNothing) {
                bits = 0.0; // idle reversals fill the rest of the block
                break;
            }
            out += QChar(TxWord::ch(word));
            if (TxWord::kind(word) == TxWord::kEnd)
                return out;
        }
    }
    return out;
}

} // namespace

class TestTxConcurrency : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void init() { Settings::setPath(m_dir.filePath(QStringLiteral("velkora.ini"))); }

    void everyCharacterGoesOutOnceInOrder()
    {
        const QString opening = QStringLiteral("CQ CQ CQ de DL1ABC pse k\n"), closing = QStringLiteral("73 sk \u00AE");
        const int kRounds = 40;
        auto typed = [](int round) { return QStringLiteral("tnx fer call %1 rst 599 ").arg(round); };
        auto withMacro = [](int round) { return round % 5 == 4; };
        QString sent = opening; // as it goes on the air
        for (int round = 0; round < kRounds; ++round)
            sent += typed(round) + (withMacro(round) ? QStringLiteral("\nname Hans\n") : QString());
        sent += closing;

        StationState::setTransmitting(true);
        const auto stopTransmitting = qScopeGuard([] { StationState::setTransmitting(false); });
        CRxView rx;
        CTxView tx;
        connect(&tx, &CTxView::signalTxEcho, &rx, &CRxView::slotTxEcho);
        tx.slotAddTxText(opening); // a macro starts the transmission

        QString pulled;
        std::atomic<bool> done{false}, abandon{false};
        std::thread modem([&] { pulled = pull(tx, int(sent.size()), abandon), done.store(true); });
        const auto joinModem = qScopeGuard([&] { abandon.store(true), modem.join(); });

        for (int round = 0; round < kRounds; ++round) {
            QTest::keyClicks(&tx, typed(round));
            if (withMacro(round)) {
                QTest::keyClick(&tx, Qt::Key_Return, round % 2 ? Qt::ShiftModifier : Qt::NoModifier);
                tx.slotAddTxText(QStringLiteral("name Hans\r\n"));
            }
            QCoreApplication::processEvents();
        }
        tx.slotAddTxText(closing);
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 60000);
        QCoreApplication::processEvents();

        QCOMPARE(pulled, sent);
        QVERIFY(tx.document()->isEmpty());
        QCOMPARE(rx.toPlainText(), QString(sent).replace(QChar(0x00AE), QStringLiteral("[end]")));
    }

    // Transmissions cut short while the modem thread takes as fast as it
    // can: every character is either sent once or dropped once, in order.
    void dropsWhileTakingNeitherRepeatNorLose()
    {
        CTxView tx;
        QString pulled;
        std::atomic<bool> abandon{false};
        std::thread modem([&] {
            while (!abandon.load()) {
                const quint32 word = tx.nextTxWord();
                if (TxWord::kind(word) != TxWord::kNothing)
                    pulled += QChar(TxWord::ch(word));
                std::this_thread::yield();
            }
        });
        const auto joinModem = qScopeGuard([&] { abandon.store(true), modem.joinable() ? modem.join() : void(); });
        QString all;
        int dropped = 0;
        for (int round = 0; round < 300; ++round) {
            const QString over = QStringLiteral("over %1 text\u00AE\n").arg(round);
            all += over;
            tx.slotAddTxText(over);
            QCoreApplication::processEvents();
            if (round % 3 == 0)
                dropped += tx.discardUnsentOver();
            QCoreApplication::processEvents();
        }
        QTRY_VERIFY_WITH_TIMEOUT(tx.document()->isEmpty(), 30000);
        abandon.store(true);
        modem.join();
        QCOMPARE(pulled.size() + dropped, all.size());
        int at = 0;
        for (QChar c : pulled) {
            at = int(all.indexOf(c, at)) + 1;
            QVERIFY2(at > 0, "a character out of order, or twice");
        }
        QVERIFY(dropped > 0);
    }
};

QTEST_MAIN(TestTxConcurrency)
#include "tst_txconcurrency.moc"
