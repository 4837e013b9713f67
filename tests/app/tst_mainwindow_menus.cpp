// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The menu bar: every entry's text, tip and shortcut, the check and enable
// rules applied before each menu opens, and the keyboard commands of the
// QSO entry bar.

#include "core/apppaths.h"
#include "app/mainwindow.h"
#include "tests/app/windowfolder.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "display/spectrumtitlebar.h"
#include "logbook/logbar.h"
#include "modem/psktxrx.h"
#include "text/signalbrowser.h"

#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>

#include <memory>

class TestMainWindowMenus : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    std::unique_ptr<MainWindow> makeWindow()
    {
        auto w = std::make_unique<MainWindow>();
        w->show();
        QApplication::setActiveWindow(w.get());
        return w;
    }
    static QMenu* menu(MainWindow& w, const QString& title)
    {
        for (QAction* a : w.menuBar()->actions())
            if (a->text() == title)
                return a->menu();
        return nullptr;
    }
    static QAction* entry(QMenu* m, const QString& text)
    {
        for (QAction* a : m->actions())
            if (a->text() == text)
                return a;
        return nullptr;
    }
    static QLineEdit* field(MainWindow& w, const char* name) { return w.logBar()->findChild<QLineEdit*>(name); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        const QString data = prepareWindowFolder(*m_dir);
        QVERIFY(!data.isEmpty());
        StationState::setTxEchoEnabled(true);
    }

    void menuBarHoldsFourMenusInOrder()
    {
        auto w = makeWindow();
        QStringList titles;
        for (QAction* a : w->menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles, QStringList({"&File", "Mode", "View", "Configure"}));
    }

    void fileMenuEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("tip");
        QTest::addColumn<QKeySequence>("shortcut");
        QTest::newRow("print") << "&Print" << "Print" << QKeySequence(QKeySequence::Print);
        QTest::newRow("preview") << "Print previe&w..." << "Print preview" << QKeySequence();
        QTest::newRow("setup") << "Print setup..." << "Print setup" << QKeySequence();
        QTest::newRow("send") << "Send &file..." << "Send file" << QKeySequence();
        QTest::newRow("clear") << "C&lear QSO data" << "Clear QSO" << QKeySequence(Qt::ALT | Qt::Key_L);
        QTest::newRow("search") << "&Search in logfile..." << "Search in logfile" << QKeySequence(Qt::ALT | Qt::Key_S);
        QTest::newRow("import") << "Import ADIF" << "Import ADIF" << QKeySequence();
        QTest::newRow("export") << "Export ADIF" << "Export ADIF" << QKeySequence();
        QTest::newRow("merge") << "Merge" << "Merge log files" << QKeySequence();
        QTest::newRow("exit") << "&Exit" << "Exit application" << QKeySequence(QKeySequence::Quit);
    }

    void fileMenuEntries()
    {
        QFETCH(QString, text);
        QFETCH(QString, tip);
        QFETCH(QKeySequence, shortcut);
        auto w = makeWindow();
        QMenu* file = menu(*w, "&File");
        QVERIFY(file);
        QAction* a = entry(file, text);
        QVERIFY2(a, qPrintable(text));
        QCOMPARE(a->statusTip(), tip);
        QCOMPARE(a->shortcut(), shortcut);
        QCOMPARE(file->actions().size(), 14); // ten entries, four separators
    }

    void configureMenuEntries()
    {
        auto w = makeWindow();
        QMenu* configure = menu(*w, "Configure");
        QStringList texts, tips;
        for (QAction* a : configure->actions()) {
            texts << a->text();
            tips << a->statusTip();
        }
        QCOMPARE(texts, QStringList({"Personal data...", "Sound card...", "Select port...", "Load macros",
                                     "Save macros", "Varicode", "Sensitive receiver", "TX echo"}));
        QCOMPARE(tips.mid(0, 5), QStringList({"Set personal data", "Select sound card", "Select com port",
                                              "Load nacros", "Save macros"}));
        QCOMPARE(tips.last(), QStringLiteral("TX echo mode"));
        QVERIFY(entry(configure, "TX echo")->isCheckable());
        entry(configure, "Sensitive receiver")->trigger();
        QVERIFY(w->modem()->sensitiveReceiver());
    }

    void modeMenuChecksTheCurrentMode()
    {
        auto w = makeWindow();
        QMenu* mode = w->modeMenu();
        QCOMPARE(mode->actions().size(), 10); // four BPSK, four QPSK, a line, the inversion
        QCOMPARE(mode->actions().at(2)->statusTip(), QStringLiteral("Select BPSK125"));
        w->slotModeChanged(QStringLiteral("BPSK63"));
        emit mode->aboutToShow();
        for (QAction* a : mode->actions())
            QCOMPARE(a->isChecked(), a->text() == QStringLiteral("BPSK63"));

        // Choosing another mode switches the modem; choosing the current one
        // leaves it untouched.
        entry(mode, "BPSK250")->trigger();
        QCOMPARE(w->currentMode(), QStringLiteral("BPSK250"));
        QCOMPARE(w->modem()->baud(), 250.0);
        w->modem()->Command(90, 3125, 0, 0); // behind the window's back
        entry(mode, "BPSK250")->trigger();
        QCOMPARE(w->modem()->baud(), 31.25);
    }

    // QPSK chosen in the mode box: the modem sends a text and decodes it
    // back; back to BPSK it still receives.
    void modeBoxRunsQpsk()
    {
        struct Source : CTxCharSource
        {
            QString text{QStringLiteral("qpsk de vk2xyz")};
            int next = 0;
            quint32 nextTxWord() override
            {
                return next < text.size() ? TxWord::make(TxWord::kChar, text.at(next++).unicode())
                                          : TxWord::make(TxWord::kEnd);
            }
        } source;
        auto w = makeWindow();
        for (const QString mode : {QStringLiteral("QPSK63"), QStringLiteral("BPSK31")}) {
            w->titleBar()->comboBox->setCurrentText(mode);
            QCOMPARE(w->currentMode(), mode);
            QCOMPARE(w->modem()->mode(), mode.startsWith(u'Q') ? 1 : 0);
            source.next = 0;
            w->modem()->setTxCharSource(&source);
            std::vector<qint16> audio(512);
            w->modem()->SetTransmit(1);
            while (w->modem()->GenerateTxSamples(audio.data() + audio.size() - 512, 512) != 0)
                audio.resize(audio.size() + 512);
            w->modem()->SetTransmit(0);
            audio.resize(audio.size() + 11025, 0);
            QString heard;
            connect(w->modem(), &CPskTxRx::signalCharReceived, this, [&heard](QChar c) { heard += c; });
            for (size_t at = 0; at < audio.size(); at += 512)
                w->modem()->ReceiveSamples(audio.data() + at, 512);
            QVERIFY2(heard.contains(source.text), qPrintable(heard));
            disconnect(w->modem(), &CPskTxRx::signalCharReceived, this, nullptr);
        }
    }

    // The "Signals" dock: off at a first start; two stations get a line each;
    // a click on one tunes the main receiver there and replays its older
    // audio; a double-clicked call goes to the Call field; the alert marks.
    void signalsDockTunesTheReceiver()
    {
        auto w = makeWindow();
        auto* dock = w->findChild<QDockWidget*>(QStringLiteral("Signals"));
        QVERIFY(dock && !dock->isVisible());
        dock->show();
        SignalBrowser* browser = w->signalBrowser();
        browser->alertField()->setText(QStringLiteral("cq de"));
        std::vector<qint16> mix(11025 * 14, 0);
        const std::pair<double, QString> stations[] = {{700.0, QStringLiteral("cq de vk2abc pse k")},
                                                       {1600.0, QStringLiteral("qrz de dl2zz k")}};
        for (const auto& [hz, text] : stations) {
            struct Source : CTxCharSource
            {
                QString text;
                int next = 0;
                quint32 nextTxWord() override
                {
                    return next < text.size() ? TxWord::make(TxWord::kChar, text.at(next++).unicode())
                                              : TxWord::make(TxWord::kEnd);
                }
            } source;
            source.text = text;
            CPskTxRx tx(QStringLiteral("BPSK31"));
            tx.SetSampleRates(11025, 11025);
            tx.SetFrequencies(hz, hz);
            tx.setTxCharSource(&source);
            tx.SetTransmit(1);
            qint16 block[512];
            for (size_t at = 11025; at + 512 <= mix.size() && tx.GenerateTxSamples(block, 512) != 0; at += 512)
                for (int i = 0; i < 512; ++i)
                    mix[at + size_t(i)] += block[i] / 3;
        }
        w->modem()->SetFrequencies(2500.0, 2500.0);
        for (size_t at = 0; at < mix.size(); at += 1024) {
            w->modem()->ReceiveSamples(mix.data() + at, 1024);
            w->feedSignalBank(mix.data() + at, 1024);
        }
        QTRY_COMPARE(browser->lineCount(), 2);
        QVERIFY(browser->alerted().contains(browser->line(0).id) && browser->alerted().size() == 1);
        QString heard;
        connect(w->modem(), &CPskTxRx::signalCharReceived, this, [&heard](QChar c) { heard += c; });
        QPlainTextEdit* view = browser->view();
        const QTextBlock second = view->document()->findBlockByNumber(1);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(QTextCursor(second)).center());
        double rx = 0.0, tx = 0.0;
        w->modem()->GetFrequencies(&rx, &tx);
        QVERIFY2(std::abs(rx - 1600.0) < 3.0, qPrintable(QString::number(rx)));
        w->modem()->ReceiveSamples(nullptr, 0); // the replay catches up in steps
        for (int i = 0; i < 64; ++i)
            w->modem()->ReceiveSamples(nullptr, 0);
        QVERIFY2(heard.contains(stations[1].second), qPrintable(heard));
        QTRY_COMPARE(view->extraSelections().size(), 2); // the tuned line and the alerted one
        // The call in the first line, double-clicked, goes to the Call field.
        QTextCursor call(view->document()->findBlockByNumber(0));
        call.setPosition(call.position() + view->document()->findBlockByNumber(0).text().indexOf(u"vk2abc") + 2);
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, view->cursorRect(call).center());
        QCOMPARE(field(*w, "editCall")->text(), QStringLiteral("VK2ABC"));
    }

    void viewMenuFollowsTheDocks()
    {
        auto w = makeWindow();
        QMenu* view = w->viewMenu();
        auto* spectrum = w->findChild<QDockWidget*>(QStringLiteral("Spectrum"));
        QAction* show = entry(view, "Show Spectrum");
        QAction* dock = entry(view, "Dock Spectrum");
        QVERIFY(show && dock);
        QCOMPARE(show->parent(), spectrum);
        QCOMPARE(dock->statusTip(), QStringLiteral("Dock Spectrum"));
        QCOMPARE(entry(view, "Show RX")->parent()->objectName(), QStringLiteral("DockOutputWidget"));

        emit view->aboutToShow();
        QVERIFY(show->isChecked());
        QVERIFY(dock->isChecked());
        QVERIFY(dock->isEnabled());

        spectrum->setFloating(true);
        emit view->aboutToShow();
        QVERIFY(!dock->isChecked());
        QVERIFY(dock->isEnabled());

        spectrum->hide();
        emit view->aboutToShow();
        QVERIFY(!show->isChecked());
        QVERIFY(show->isEnabled());
        QVERIFY(!dock->isEnabled());

        // Choosing the entries toggles visibility and docking.
        show->trigger();
        QVERIFY(spectrum->isVisible());
        emit view->aboutToShow();
        dock->trigger();
        QVERIFY(!spectrum->isFloating());
    }

    void varicodeMenuShowsAndSetsTheCharacterSet()
    {
        auto w = makeWindow();
        QMenu* varicode = w->varicodeMenu();
        QStringList names;
        for (QAction* a : varicode->actions())
            names << a->text();
        QCOMPARE(names, QStringList({"ASCII8", "MMVari", "Alternate"}));
        emit varicode->aboutToShow();
        QVERIFY(varicode->actions().at(0)->isChecked());
        QVERIFY(!varicode->actions().at(2)->isChecked());

        varicode->actions().at(2)->trigger();
        QCOMPARE(w->modem()->charSet(), 2);
        emit varicode->aboutToShow();
        QVERIFY(!varicode->actions().at(0)->isChecked());
        QVERIFY(varicode->actions().at(2)->isChecked());
        QCOMPARE(w->modem()->Command(149, 0, 0, 0), intptr_t(16));
    }

    void txEchoFollowsTheSetting()
    {
        Settings().setValue(QStringLiteral("echo"), false);
        auto w = makeWindow();
        QMenu* configure = w->configureMenu();
        QAction* echo = entry(configure, "TX echo");
        echo->setChecked(true);
        emit configure->aboutToShow();
        QVERIFY(!echo->isChecked());
        echo->trigger();
        QVERIFY(StationState::txEchoEnabled());
        w->close();
        QCOMPARE(Settings().value(QStringLiteral("echo")).toBool(), true);
    }

    void sendFileOnlyReports()
    {
        auto w = makeWindow();
        entry(menu(*w, "&File"), "Send &file...")->trigger();
        QCOMPARE(w->statusBar()->currentMessage(), QStringLiteral("Menu File/Send saveFile"));
    }

    void altLClearsTheEntryBarAndAltASaves()
    {
        auto w = makeWindow();
        QTRY_VERIFY(w->isActiveWindow());
        field(*w, "editCall")->setText(QStringLiteral("JA1QRP"));
        field(*w, "editName")->setText(QStringLiteral("Taro"));
        field(*w, "editCall")->setFocus();

        // Alt+A saves the contact and leaves the fields as they are.
        QTest::keyClick(field(*w, "editCall"), Qt::Key_A, Qt::AltModifier);
        QFile log(w->logFileName());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray saved = log.readAll();
        QVERIFY(saved.contains("JA1QRP"));
        QCOMPARE(saved.count('\n'), 1);
        QCOMPARE(field(*w, "editCall")->text(), QStringLiteral("JA1QRP"));

        // Alt+S searches the log rather than moving to the "Sent" field.
        bool searched = false;
        QTimer::singleShot(0, this, [&] {
            if (QWidget* d = QApplication::activeModalWidget()) {
                searched = d->objectName() == QStringLiteral("SearchResult");
                d->close();
            }
        });
        QTest::keyClick(field(*w, "editCall"), Qt::Key_S, Qt::AltModifier);
        QVERIFY(searched);

        // Alt+L empties the entry bar and writes nothing.
        QApplication::setActiveWindow(w.get());
        QTRY_VERIFY(w->isActiveWindow());
        field(*w, "editCall")->setFocus();
        QTest::keyClick(field(*w, "editCall"), Qt::Key_L, Qt::AltModifier);
        QCOMPARE(field(*w, "editCall")->text(), QString());
        QCOMPARE(field(*w, "editName")->text(), QString());
        log.seek(0);
        QCOMPARE(log.readAll(), saved);
    }
};

QTEST_MAIN(TestMainWindowMenus)
#include "tst_mainwindow_menus.moc"
