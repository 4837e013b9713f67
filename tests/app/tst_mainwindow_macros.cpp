// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The macros in the whole main window: the bar in its dock, the function
// keys, the editor, the tags that reach the QSO entry bar, the transmit
// switch and the modem, and the macro file commands, with the name prompt
// answered by the test.

#include "app/apppaths.h"
#include "app/mainwindow.h"
#include "tests/app/windowfolder.h"
#include "app/settings.h"
#include "app/stationstate.h"
#include "log/logbar.h"
#include "modem/psktxrx.h"
#include "text/controlbarex.h"
#include "text/txview.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

class TestMainWindowMacros : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void barShowsStoredMacrosAndEditsGoBackAtExit();
    void functionKeysSendTheirMacroOnce();
    void tagsUseTheEntryBarAndAskForTheReport();
    void controlTagsSwitchTransmitterAndMode();
    void macroFilesThroughThePrompt();

private:
    std::unique_ptr<MainWindow> makeWindow();
    static void storeMacro(int number, const QString& label, const QString& text);
    QPushButton* button(int n) const
    {
        return m_w->controlBar()->findChild<QPushButton*>(QStringLiteral("pushButton_%1").arg(n));
    }
    QString pending() const { return m_w->txView()->toPlainText(); }
    QLineEdit* field(const char* name) const { return m_w->logBar()->findChild<QLineEdit*>(QLatin1String(name)); }
    // Runs answer on the modal dialog that the next call opens.
    void onNextModal(std::function<void(QWidget*)> answer)
    {
        QTimer::singleShot(0, this, [answer] { answer(QApplication::activeModalWidget()); });
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_w;
    QStringList m_prompts; // "title|label|preset" of every name prompt
    QString m_answer;
    bool m_confirm = true;
};

void TestMainWindowMacros::init()
{
    QCoreApplication::setApplicationName(QStringLiteral("Velkora32"));
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
    StationState::setTransmitting(false);
    m_prompts.clear();
    m_confirm = true;
}

void TestMainWindowMacros::cleanup()
{
    if (m_w)
        m_w->close();
    m_w.reset();
    m_dir.reset();
}

std::unique_ptr<MainWindow> TestMainWindowMacros::makeWindow()
{
    auto w = std::make_unique<MainWindow>();
    w->setNameChooser([this](QWidget*, const QString& title, const QString& label, const QString& preset,
                             QString& name) {
        m_prompts << title + QLatin1Char('|') + label + QLatin1Char('|') + preset;
        name = m_answer;
        return m_confirm;
    });
    w->show();
    return w;
}

void TestMainWindowMacros::storeMacro(int number, const QString& label, const QString& text)
{
    Settings s;
    s.setValue(QStringLiteral("Macros/Macros %1/label").arg(number), label);
    s.setValue(QStringLiteral("Macros/Macros %1/text").arg(number), text);
}

void TestMainWindowMacros::barShowsStoredMacrosAndEditsGoBackAtExit()
{
    storeMacro(4, QStringLiteral("CQ"), QStringLiteral("CQ CQ"));
    storeMacro(16, QStringLiteral("C5"), QStringLiteral("never sent"));
    m_w = makeWindow();
    auto* dock = m_w->findChild<QDockWidget*>(QStringLiteral("ControlBar"));
    QCOMPARE(dock->windowTitle(), QStringLiteral("Macros"));
    QCOMPARE(m_w->dockWidgetArea(dock), Qt::TopDockWidgetArea);
    QCOMPARE(button(5)->text(), QStringLiteral("CQ"));
    QSignalSpy sent(m_w.get(), &MainWindow::signalAddTxText);

    // Right click on the fifth button of page 2: the editor for Ctrl+F5.
    m_w->controlBar()->setPage2();
    QString caption;
    onNextModal([&caption](QWidget* editor) {
        caption = editor->findChild<QLabel*>(QStringLiteral("label"))->text();
        QCOMPARE(editor->findChild<QLineEdit*>()->text(), QStringLiteral("C5"));
        editor->findChild<QLineEdit*>()->setText(QStringLiteral("QSL"));
        editor->findChild<QPlainTextEdit*>()->setPlainText(QStringLiteral("QSL tu"));
        editor->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    QTest::mouseClick(button(17), Qt::RightButton);
    QCOMPARE(caption, QStringLiteral("Label for Ctrl-F5"));
    QCOMPARE(sent.count(), 0);
    QCOMPARE(button(17)->text(), QStringLiteral("QSL"));
    QCOMPARE(m_w->macros().at(16), (SMacro{16, QStringLiteral("QSL"), QStringLiteral("QSL tu")}));

    // Cancel changes nothing.
    onNextModal([](QWidget* editor) {
        editor->findChild<QLineEdit*>()->setText(QStringLiteral("lost"));
        editor->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    });
    QTest::mouseClick(button(17), Qt::RightButton);
    QCOMPARE(button(17)->text(), QStringLiteral("QSL"));

    m_w->close();
    m_w.reset();
    Settings s;
    QCOMPARE(s.value(QStringLiteral("Macros/Macros 16/text")).toString(), QStringLiteral("QSL tu"));
    QCOMPARE(s.value(QStringLiteral("Macros/Macros 23/index"), -1).toInt(), 23);
}

void TestMainWindowMacros::functionKeysSendTheirMacroOnce()
{
    storeMacro(1, QString(), QStringLiteral("two "));
    storeMacro(4, QString(), QStringLiteral("five "));
    storeMacro(23, QString(), QStringLiteral("24 "));
    m_w = makeWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    QSignalSpy sent(m_w.get(), &MainWindow::signalAddTxText);

    // While typing in the transmit pane, with F5's button on the visible page
    // and Ctrl+F12's hidden; then the other way round.
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

void TestMainWindowMacros::tagsUseTheEntryBarAndAskForTheReport()
{
    Settings().setValue(QStringLiteral("Personal data/call"), QStringLiteral("OE3XYZ"));
    storeMacro(0, QString(), QStringLiteral("<CALL> de <MYCALL> k<RX>"));
    storeMacro(1, QString(), QStringLiteral("ur <RST> <RST> "));
    m_w = makeWindow();
    field("editCall")->setText(QStringLiteral("DL1ABC"));
    field("editSent")->setText(QStringLiteral("559"));
    QSignalSpy sent(m_w.get(), &MainWindow::signalAddTxText);
    m_w->slotControlBar(0);
    QCOMPARE(sent.at(0).at(0).toString(), QStringLiteral("DL1ABC de OE3XYZ k\u00AE\r\n"));

    m_confirm = false;
    m_w->slotControlBar(1);
    QCOMPARE(sent.at(1).at(0).toString(), QStringLiteral("ur   "));
    QCOMPARE(m_prompts, QStringList{QStringLiteral("Enter RST|RST to send|599")});

    // Confirmed, the report lands in "Recv'd"; filled, nothing is asked.
    m_confirm = true;
    m_answer = QStringLiteral("449");
    m_w->slotControlBar(1);
    m_w->slotControlBar(1);
    QCOMPARE(field("editRecv")->text(), QStringLiteral("449"));
    QCOMPARE(field("editSent")->text(), QStringLiteral("559"));
    QCOMPARE(m_prompts.size(), 2);
    QCOMPARE(sent.at(3).at(0).toString(), QStringLiteral("ur 449 449 "));
}

void TestMainWindowMacros::controlTagsSwitchTransmitterAndMode()
{
    storeMacro(0, QString(), QStringLiteral("<BPSK125>"));
    storeMacro(1, QString(), QStringLiteral("pse k<TX>"));
    m_w = makeWindow();
    QSignalSpy sent(m_w.get(), &MainWindow::signalAddTxText);
    m_w->slotControlBar(0);
    QCOMPARE(m_w->modem()->baud(), 125.0);
    QCOMPARE(m_w->currentMode(), QStringLiteral("BPSK125"));
    QCOMPARE(sent.count(), 0); // nothing left to send

    m_w->slotControlBar(1);
    QVERIFY(StationState::isTransmitting());
    QVERIFY(m_w->modem()->isTransmitting());
    QCOMPARE(pending(), QStringLiteral("pse k"));
    m_w->stopAudioOut();
}

void TestMainWindowMacros::macroFilesThroughThePrompt()
{
    storeMacro(0, QStringLiteral("CQ"), QStringLiteral("CQ CQ\nde <MYCALL>"));
    m_w = makeWindow();
    const QString defaultFile = m_dir->filePath(QStringLiteral("Velkora32.mac"));
    m_answer = defaultFile;
    m_confirm = false;
    m_w->slotSaveMacros();
    QVERIFY(!QFile::exists(defaultFile));
    QCOMPARE(m_prompts, QStringList{QStringLiteral("Select macros file name|Enter name|") + defaultFile});

    m_confirm = true;
    m_w->slotSaveMacros();
    // A relative name means the folder of the default file.
    QFile other(m_dir->filePath(QStringLiteral("contest.mac")));
    QVERIFY(other.open(QIODevice::WriteOnly) && other.write("TEST\nTEST <MYCALL>\n\n\nQRZ\nQRZ?\n") > 0);
    other.close();
    m_answer = QStringLiteral("contest.mac");
    m_w->slotLoadMacros();
    QCOMPARE(button(3)->text(), QStringLiteral("QRZ"));
    m_answer = defaultFile;
    m_w->slotLoadMacros();
    QCOMPARE(button(1)->text(), QStringLiteral("CQ"));
    QCOMPARE(button(3)->text(), QString());
    QCOMPARE(m_w->macros().at(0).text, QStringLiteral("CQ CQ<LF>de <MYCALL>"));

    m_answer = m_dir->filePath(QStringLiteral("missing/x.mac"));
    QStringList boxes;
    for (int i = 0; i < 2; ++i) {
        onNextModal([&boxes](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            boxes << box->windowTitle() + QLatin1Char('|') + box->text();
            box->button(QMessageBox::Close)->click();
        });
        i == 0 ? m_w->slotSaveMacros() : m_w->slotLoadMacros();
    }
    QCOMPARE(boxes, (QStringList{QStringLiteral("Velkora32|Can't open file ") + m_answer,
                                 QStringLiteral("Velkora32|Can't load file ") + m_answer}));
}

QTEST_MAIN(TestMainWindowMacros)
#include "tst_mainwindow_macros.moc"
