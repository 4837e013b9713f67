// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// Macros: their tags expanded, the report asked with the suggestion offered,
// and macro files that cannot be read or written changing nothing. The
// transmit pane feeding a modem thread at BPSK250 pace (512-sample blocks)
// while the operator types: every character goes out exactly once, in order.
#include "tests/core/fulldisk.h"
#include "text/macros.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "text/rxview.h"
#include "text/txview.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <atomic>
#include <thread>

// Expanding macro tags, with a program stand-in that logs what it is asked, in order.
class RecordingHost : public MacroHost
{
public:
    bool askReport(QString& report) override
    {
        events << "ask " + report;
        report = QStringLiteral("449"); // also when cancelled: then to be ignored
        return confirm;
    }
    void setSentReport(const QString& report) override { events << "keep " + report; }
    bool isOutputActive() const override { return active; }
    void setModemTransmit(bool on) override { events << (on ? "on" : "off"); }
    void startAudioOut() override { events << "start"; }
    void stopAudioOut() override { events << "stop"; }
    void changeMode(const QString& mode) override { events << mode; }
    bool confirm = true, active = false;
    QStringList events;
};

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

class TestMacros : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void expand_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("sending"); // the output stream is running
        QTest::addColumn<bool>("confirm"); // answer to the report prompt ("449")
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QStringList>("events");
        const QStringList none;
        const QString rx = QStringLiteral("\u00AE\r\n");
        QTest::newRow("own data") << "<MYNAME>,<MYQTH>,<MYRST>" << false << true << "Anna,Wien,589" << none;
        QTest::newRow("entry bar") << "<NAME>,<QTH>,<NOTES>,<CALL> <CALL>" << false << true << "Bernd,Hamburg,1st,C C" << none;
        QTest::newRow("line tags") << "a<CR>b<LF>c<CRLF>d" << false << true << "a\rb\nc\r\nd" << none;
        // Half past midnight two hours east of Greenwich is the evening before in UTC.
        QTest::newRow("time and date") << "<DATE> <TIME>z" << false << true << "2026-02-28 22:30z" << none;
        QTest::newRow("lower case") << "<time> <call> <tx> <rst>" << false << true << "<time> <call> <tx> <rst>" << none;
        QTest::newRow("report asked") << "ur <RST> <RST>" << false << true << "ur 449 449" << QStringList{"ask 599", "keep 449"};
        QTest::newRow("report cancelled") << "ur <RST>." << false << false << "ur ." << QStringList{"ask 599"};
        QTest::newRow("TX at the end") << "pse k<RX><TX>" << false << true << "pse k" + rx << QStringList{"start"};
        QTest::newRow("CW identification") << "de <MYCALL> <CWID><RX>" << false << true << "de M \u00A9" + rx << none;
        QTest::newRow("TX while sending") << "<TX>again<TX>" << true << true << "again" << QStringList{"off", "start"};
        QTest::newRow("TXTOGGLE idle") << "73<TXTOGGLE>" << false << true << "73" << QStringList{"start"};
        QTest::newRow("TXTOGGLE sending") << "<TXTOGGLE>73" << true << true << "73" << QStringList{"stop"};
        QTest::newRow("modes, each once, in speed order")
            << "<BPSK250>qsy<BPSK31> <BPSK250>" << false << true << "qsy " << QStringList{"BPSK31", "BPSK250"};
    }
    void expand()
    {
        QFETCH(QString, text);
        QFETCH(bool, sending);
        QFETCH(bool, confirm);
        MacroFields f;
        f.myCall = "M", f.myName = "Anna", f.myQth = "Wien", f.myRst = "589";
        f.call = "C", f.name = "Bernd", f.qth = "Hamburg", f.notes = "1st";
        RecordingHost host;
        host.confirm = confirm, host.active = sending;
        QTEST(Macros::expand(text, f, host, QDateTime(QDate(2026, 3, 1), QTime(0, 30), QTimeZone(2 * 3600))), "expected");
        QTEST(host.events, "events");
    }

    // The report prompt offers the report suggested from the signal's S/N.
    void reportPromptOffersTheSuggestion()
    {
        MacroFields f;
        f.suggestedRst = QStringLiteral("339");
        RecordingHost host;
        QCOMPARE(Macros::expand(QStringLiteral("ur <RST>"), f, host, QDateTime::currentDateTimeUtc()), QStringLiteral("ur 449"));
        QCOMPARE(host.events, QStringList({"ask 339", "keep 449"}));
    }

    // A macro file that cannot be read whole, or written whole, changes
    // nothing: neither the buttons nor the file that was there.
    void fileFailuresChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("onDisk");
        QTest::addColumn<bool>("write");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file") << QByteArray() << false << "Can't load file";
        QTest::newRow("last label without text") << QByteArray("L1\nT1\nL2\nT2\nL3\n") << false << "Error reading";
        QTest::newRow("full disk") << QByteArray("Old\nold text\n") << true << "Error writing";
        QTest::newRow("a folder in the file's place") << QByteArray() << true << "Can't open file";
    }
    void fileFailuresChangeNothing()
    {
        QFETCH(QByteArray, onDisk);
        QFETCH(bool, write);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("v.mac"));
        QFile file(path);
        QVERIFY(onDisk.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(onDisk) == onDisk.size()));
        file.close();
        QList<SMacro> macros;
        for (int i = 0; i < Macros::kCount; ++i)
            macros.append({i, QStringLiteral("label %1").arg(i), QStringLiteral("text %1").arg(i)});
        const QList<SMacro> before = macros;
        QString said;
        if (write) {
            FullDisk full;
            QVERIFY(!message.startsWith(QLatin1String("Can't open")) || QDir(dir.path()).mkdir(QStringLiteral("v.mac")));
            QVERIFY(!Macros::writeFile(path, macros, &said));
        } else {
            QVERIFY(!Macros::readFile(path, macros, &said));
        }
        QCOMPARE(std::pair(said, macros), std::pair(message + QLatin1Char(' ') + path, before));
        QCOMPARE(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(), onDisk);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), onDisk.isEmpty() ? 0 : 1);
    }

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

        QVERIFY(pulled == sent && tx.document()->isEmpty());
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

QTEST_MAIN(TestMacros)
#include "tst_macros.moc"
