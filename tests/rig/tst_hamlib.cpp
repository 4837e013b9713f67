// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"
#include "audio/audioin.h"
#include "core/settings.h"
#include "core/stationstate.h"
#include "logbook/hamlog.h"
#include "logbook/logbar.h"
#include "modem/psktxrx.h"
#include "rig/rigcontrol.h"
#include "tests/app/windowfolder.h"
#include "tests/audio/virtualsoundcard.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QStatusBar>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

// The program against Hamlib's dummy rig: in this process, and behind a
// rigctld that the test starts, stops and starts again.

// Generous: the rig thread polls once a second, and CI machines are busy.
constexpr int kWaitMs = 15000;

class TestHamlib : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { VIRTUAL_SOUND_CARD_OR_SKIP(m_card); } // a transmission needs a running output
    void init();
    void cleanup();
    void dialModePttAndLoggedFrequency_data();
    void dialModePttAndLoggedFrequency();
    void lostRigctldIsReportedAndRetried();
    void pttLineOnAMissingDeviceRefusesTransmission();

private:
    bool startRigctld();
    // Starts rigctld and chooses it, with push-to-talk over CAT.
    bool useRigctld();
    // One rigctld command over a connection of the test's own; the reply.
    QString rigctld(const QString& command);
    void setDial(double hz, const QString& mode);
    void chooseDummyRigInDialog();
    quint32 savedFrequency();

    VirtualSoundCard m_card;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_w;
    QProcess m_rigctld;
    int m_port = 0;
};

void TestHamlib::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
    Settings().setValue(QStringLiteral("Audio/Output/Name"), QStringLiteral("pulse"));
    StationState::setTransmitting(false);
}

void TestHamlib::cleanup()
{
    m_w.reset();
    m_rigctld.kill();
    m_rigctld.waitForFinished();
    m_dir.reset();
}

bool TestHamlib::startRigctld()
{
    if (m_port == 0) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
    }
    m_rigctld.start(QStringLiteral("rigctld"), {QStringLiteral("-m"), QStringLiteral("1"), QStringLiteral("-P"),
                                                 QStringLiteral("RIG"), QStringLiteral("-T"),
                                                 QStringLiteral("127.0.0.1"), QStringLiteral("-t"),
                                                 QString::number(m_port)});
    if (!m_rigctld.waitForStarted(5000))
        return false;
    for (int i = 0; i < 50; ++i) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, quint16(m_port));
        if (s.waitForConnected(100))
            return true;
        QTest::qWait(100);
    }
    return false;
}

QString TestHamlib::rigctld(const QString& command)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, quint16(m_port));
    if (!s.waitForConnected(2000))
        return QString();
    s.write(command.toLatin1() + '\n');
    while (!s.canReadLine() && s.waitForReadyRead(2000)) {
    }
    return QString::fromLatin1(s.readLine()).trimmed();
}

void TestHamlib::setDial(double hz, const QString& mode)
{
    if (m_rigctld.state() == QProcess::Running) {
        // Another program sharing the rig turns the dial.
        QCOMPARE(rigctld(QStringLiteral("F %1").arg(qint64(hz))), QStringLiteral("RPRT 0"));
        QCOMPARE(rigctld(QStringLiteral("M %1 0").arg(mode)), QStringLiteral("RPRT 0"));
    } else {
        m_w->rig()->tune(hz, mode);
    }
}

void TestHamlib::chooseDummyRigInDialog()
{
    QTimer::singleShot(0, this, [] {
        auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(d);
        d->findChild<QLineEdit*>(QStringLiteral("lineEditSearch"))->setText(QStringLiteral("hamlib dummy"));
        auto* list = d->findChild<QListWidget*>(QStringLiteral("listRigs"));
        QListWidgetItem* dummy = nullptr;
        for (int i = 0; i < list->count(); ++i) {
            if (!list->item(i)->isHidden())
                dummy = dummy ? dummy : list->item(i);
        }
        QVERIFY(dummy && dummy->text().contains(QStringLiteral("(1)")));
        list->setCurrentItem(dummy);
        d->findChild<QComboBox*>(QStringLiteral("comboPtt"))->setCurrentText(QStringLiteral("CAT through Hamlib"));
        d->accept();
    });
    m_w->slotRigControl();
}

quint32 TestHamlib::savedFrequency()
{
    m_w->logBar()->findChild<QLineEdit*>(QStringLiteral("editCall"))->setText(QStringLiteral("DL1ABC"));
    m_w->saveQSO();
    const QList<CQsoData> saved = CHamLog(m_w->logFileName()).search(QString());
    return saved.isEmpty() ? 0 : saved.last().frequencyB;
}

bool TestHamlib::useRigctld()
{
    Settings s;
    s.setValue(QStringLiteral("Rig/Model"), RigConfig::kNetwork);
    s.setValue(QStringLiteral("Rig/Ptt"), QStringLiteral("Cat"));
    const bool started = startRigctld();
    s.setValue(QStringLiteral("Rig/Port"), m_port);
    return started;
}

void TestHamlib::dialModePttAndLoggedFrequency_data()
{
    QTest::addColumn<bool>("network");
    QTest::newRow("in process") << false;
    QTest::newRow("rigctld") << true;
}

void TestHamlib::dialModePttAndLoggedFrequency()
{
    QFETCH(bool, network);
    if (network)
        QVERIFY(useRigctld());
    m_w = std::make_unique<MainWindow>();
    QVERIFY(m_w->rigLabel()->isHidden() || network);
    if (!network) {
        // Chosen while the program runs, and kept for the next start.
        chooseDummyRigInDialog();
        QCOMPARE(Settings().value(QStringLiteral("Rig/Model")).toInt(), RigConfig::kDummy);
    }
    QTRY_COMPARE_WITH_TIMEOUT(m_w->rig()->status().link, RigStatus::Link::Up, kWaitMs);
    m_w->modem()->SetFrequencies(1234.4, 1234.4);

    setDial(14070000, QStringLiteral("USB"));
    QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("14.070.000 USB"), kWaitMs);
    QCOMPARE(m_w->logBar()->band(), QStringLiteral("20m"));
    QCOMPARE(savedFrequency(), 14071234u);
    setDial(7070000, QStringLiteral("LSB"));
    QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("7.070.000 LSB"), kWaitMs);
    QCOMPARE(m_w->logBar()->band(), QStringLiteral("40m"));
    QCOMPARE(savedFrequency(), 7068766u);

    // Keyed before the transmission starts, released when it has ended.
    const auto keyed = [&] {
        return network ? rigctld(QStringLiteral("t")) == QLatin1String("1") : m_w->rig()->status().ptt;
    };
    QVERIFY(!keyed());
    m_w->startAudioOut();
    QVERIFY(StationState::isTransmitting());
    QTRY_VERIFY_WITH_TIMEOUT(keyed(), kWaitMs);
    m_w->stopAudioOut();
    QTRY_VERIFY_WITH_TIMEOUT(!keyed(), kWaitMs);
}

void TestHamlib::lostRigctldIsReportedAndRetried()
{
    QVERIFY(useRigctld());
    m_w = std::make_unique<MainWindow>();
    QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("145.000.000 FM"), kWaitMs);

    m_rigctld.kill();
    m_rigctld.waitForFinished();
    const QString where = QStringLiteral("rigctld at localhost:%1").arg(m_port);
    QTRY_VERIFY_WITH_TIMEOUT(m_w->rigLabel()->text().contains(where), kWaitMs);
    QVERIFY(m_w->rigLabel()->text().contains(QStringLiteral("retrying")));

    // Receiving goes on.
    const int ring = m_w->modem()->ringWriteIndex();
    std::vector<qint16> block(AudioIn::kFramesPerBuffer, 100);
    m_w->audioIn()->captureBlock(block.data(), int(block.size()));
    m_w->slotAudioInputReady(int(block.size() * 2));
    QVERIFY(m_w->modem()->ringWriteIndex() != ring);
    // Sending unkeyed is refused, in words.
    m_w->startAudioOut();
    QVERIFY(!StationState::isTransmitting());
    QVERIFY(m_w->statusBar()->currentMessage().startsWith(QStringLiteral("Not transmitting: the rig is not connected")));

    QVERIFY(startRigctld());
    QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("145.000.000 FM"), kWaitMs);
    m_w->startAudioOut();
    QVERIFY(StationState::isTransmitting());
    m_w->stopAudioOut();
}

void TestHamlib::pttLineOnAMissingDeviceRefusesTransmission()
{
    {
        Settings s;
        s.setValue(QStringLiteral("Rig/Ptt"), QStringLiteral("HamlibLine"));
        s.setValue(QStringLiteral("Rig/PttDevice"), m_dir->filePath(QStringLiteral("ttyGone")));
    }
    m_w = std::make_unique<MainWindow>();
    QTRY_VERIFY_WITH_TIMEOUT(m_w->rigLabel()->text().startsWith(QStringLiteral("Rig: cannot open the PTT line on")), kWaitMs);
    m_w->startAudioOut();
    QVERIFY(!StationState::isTransmitting());
    QVERIFY(m_w->statusBar()->currentMessage().startsWith(QStringLiteral("Not transmitting")));
}

QTEST_MAIN(TestHamlib)
#include "tst_hamlib.moc"
