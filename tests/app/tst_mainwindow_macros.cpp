// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The macros in the main window: function keys, editor, tags, transmit switch and macro files.
#include "app/mainwindow.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "logbook/logbar.h"
#include "modem/psktxrx.h"
#include "tests/app/windowfolder.h"
#include "tests/audio/virtualsoundcard.h"
#include "text/controlbarex.h"
#include "text/txview.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class TestMainWindowMacros : public QObject
{
    Q_OBJECT

    VirtualSoundCard m_card;
    bool m_cardUp = false;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_w;
    QStringList m_prompts; // "title|label|preset" of every name prompt
    QString m_answer;
    bool m_confirm = true;

    void makeWindow()
    {
        m_w = std::make_unique<MainWindow>();
        m_w->setNameChooser([this](QWidget*, const QString& title, const QString& label, const QString& preset,
                                   QString& name) {
            m_prompts << title + '|' + label + '|' + preset;
            name = m_answer;
            return m_confirm;
        });
        m_w->show();
    }
    static void storeMacro(int number, const QString& label, const QString& text)
    {
        Settings s;
        s.setValue(QStringLiteral("Macros/Macros %1/label").arg(number), label);
        s.setValue(QStringLiteral("Macros/Macros %1/text").arg(number), text);
    }
    QPushButton* button(int n) const
    {
        return m_w->controlBar()->findChild<QPushButton*>(QStringLiteral("pushButton_%1").arg(n));
    }
    QString pending() const { return m_w->txView()->toPlainText(); }
    QLineEdit* field(const char* name) const { return m_w->logBar()->findChild<QLineEdit*>(name); }
    void onNextModal(std::function<void(QWidget*)> answer)
    {
        QTimer::singleShot(0, this, [answer] { answer(QApplication::activeModalWidget()); });
    }

private slots:
    void initTestCase()
    {
        QString why; // an output stream that runs, for "<TXTOGGLE>" while sending
        m_cardUp = m_card.available(&why) && m_card.start(&why);
    }
    void init()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Velkora32"));
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
        StationState::setTransmitting(false);
        m_prompts.clear();
        m_confirm = true;
    }
    void cleanup()
    {
        if (m_w)
            m_w->close();
        m_w.reset();
    }

    void editedMacroIsStoredAtExit()
    {
        makeWindow();
        QSignalSpy sent(m_w.get(), &MainWindow::signalAddTxText);
        m_w->controlBar()->setPage2();
        onNextModal([](QWidget* editor) {
            editor->findChild<QLineEdit*>()->setText(QStringLiteral("QSL"));
            editor->findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("QSL tu"));
            editor->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        });
        QTest::mouseClick(button(17), Qt::RightButton); // Ctrl+F5
        QCOMPARE(sent.count(), 0);
        QCOMPARE(button(17)->text(), QStringLiteral("QSL"));
        cleanup();
        QCOMPARE(Settings().value(QStringLiteral("Macros/Macros 16/text")).toString(), QStringLiteral("QSL tu"));
    }

    void functionKeysSendTheirMacroOnce()
    {
        storeMacro(1, QString(), QStringLiteral("two "));
        storeMacro(4, QString(), QStringLiteral("five "));
        storeMacro(23, QString(), QStringLiteral("24 "));
        makeWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        QSignalSpy sent(m_w.get(), &MainWindow::signalAddTxText);
        // From the transmit pane with Ctrl+F12's page hidden, then the other way round.
        m_w->txView()->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F5);
        QCOMPARE(sent.count(), 1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F12, Qt::ControlModifier);
        m_w->controlBar()->setPage2();
        QTest::keyClick(m_w.get(), Qt::Key_F12, Qt::ControlModifier);
        QTest::keyClick(m_w.get(), Qt::Key_F5);
        QTest::keyClick(m_w.get(), Qt::Key_F13);
        QCOMPARE(sent.count(), 4);
        QCOMPARE(pending(), QStringLiteral("five 24 24 five "));
        m_w->controlBar()->setPage1();
        QTest::mouseClick(button(2), Qt::LeftButton);
        QCOMPARE(pending(), QStringLiteral("five 24 24 five two "));
    }

    void tagsUseTheEntryBarAndAskForTheReport()
    {
        Settings().setValue(QStringLiteral("Personal data/call"), QStringLiteral("OE3XYZ"));
        storeMacro(0, QString(), QStringLiteral("<CALL> de <MYCALL> k<RX>"));
        storeMacro(1, QString(), QStringLiteral("ur <RST> <RST> "));
        makeWindow();
        field("editCall")->setText(QStringLiteral("DL1ABC"));
        QSignalSpy sent(m_w.get(), &MainWindow::signalAddTxText);
        m_w->slotControlBar(0);
        QCOMPARE(sent.at(0).at(0).toString(), QStringLiteral("DL1ABC de OE3XYZ k\u00AE\r\n"));
        m_confirm = false;
        m_w->slotControlBar(1);
        QCOMPARE(sent.at(1).at(0).toString(), QStringLiteral("ur   "));
        m_confirm = true; // the report lands in "Recv'd"; once there, nothing is asked
        m_answer = QStringLiteral("449");
        m_w->slotControlBar(1);
        m_w->slotControlBar(1);
        QCOMPARE(field("editRecv")->text(), QStringLiteral("449"));
        QCOMPARE(m_prompts, QStringList(2, QStringLiteral("Enter RST|RST to send|599")));
        QCOMPARE(sent.at(3).at(0).toString(), QStringLiteral("ur 449 449 "));
    }

    void controlTagsSwitchTransmitterAndMode()
    {
        storeMacro(0, QString(), QStringLiteral("<BPSK125>"));
        storeMacro(1, QString(), QStringLiteral("pse k<TX>"));
        storeMacro(2, QString(), QStringLiteral("<TXTOGGLE>"));
        makeWindow();
        QSignalSpy sent(m_w.get(), &MainWindow::signalAddTxText);
        m_w->slotControlBar(0);
        QCOMPARE(m_w->modem()->baud(), 125.0);
        QCOMPARE(m_w->currentMode(), QStringLiteral("BPSK125"));
        QCOMPARE(sent.count(), 0);

        m_w->slotControlBar(1);
        QCOMPARE(pending(), QStringLiteral("pse k"));
        if (!m_cardUp)
            QSKIP("no virtual sound card, so no running output to transmit with");
        QVERIFY(StationState::isTransmitting() && m_w->modem()->isTransmitting());
        QVERIFY(m_w->isOutputActive());
        m_w->slotControlBar(2);
        QVERIFY(!StationState::isTransmitting() && !m_w->isOutputActive());
        m_w->slotControlBar(2);
        QVERIFY(StationState::isTransmitting() && m_w->isOutputActive());
        m_w->stopAudioOut();
    }

    void macroFilesThroughThePrompt()
    {
        storeMacro(0, QStringLiteral("CQ"), QStringLiteral("CQ CQ"));
        makeWindow();
        const QString defaultFile = m_dir->filePath(QStringLiteral("Velkora32.mac"));
        m_answer = defaultFile;
        m_confirm = false;
        m_w->slotSaveMacros();
        QVERIFY(!QFile::exists(defaultFile));
        QCOMPARE(m_prompts, QStringList{"Select macros file name|Enter name|" + defaultFile});
        m_confirm = true;
        m_w->slotSaveMacros();
        QFile other(m_dir->filePath(QStringLiteral("contest.mac")));
        QVERIFY(other.open(QIODevice::WriteOnly) && other.write("TEST\nTEST\n\n\nQRZ\nQRZ?\n") > 0);
        other.close();
        m_answer = QStringLiteral("contest.mac"); // beside the default file
        m_w->slotLoadMacros();
        QCOMPARE(button(3)->text(), QStringLiteral("QRZ"));
        m_answer = defaultFile;
        m_w->slotLoadMacros();
        QCOMPARE(QStringList({button(1)->text(), button(3)->text()}), QStringList({"CQ", ""}));

        m_answer = m_dir->filePath(QStringLiteral("missing/x.mac"));
        QStringList boxes;
        for (int i = 0; i < 2; ++i) {
            onNextModal([&boxes](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                boxes << box->text();
                box->button(QMessageBox::Close)->click();
            });
            i == 0 ? m_w->slotSaveMacros() : m_w->slotLoadMacros();
        }
        QCOMPARE(boxes, QStringList({"Can't open file " + m_answer, "Can't load file " + m_answer}));
    }
};

QTEST_MAIN(TestMainWindowMacros)
#include "tst_mainwindow_macros.moc"
