// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/audioin.h"
#include "rig/rigcontrol.h"
#include "tests/app/windowfolder.h"
#include "tests/audio/virtualsoundcard.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <vector>

#include <unistd.h>

// The program against Hamlib's dummy rig: in this process, and behind a
// rigctld that the test starts, stops and starts again.

// Generous: the rig thread polls once a second, and CI machines are busy.
constexpr int kWaitMs = 15000;

namespace {

// Whether process pid holds the socket listening on 127.0.0.1:port: other
// rigctld processes on the machine may race for the same free port.
bool listensOn(qint64 pid, quint16 port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (pid <= 0 || !table.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QByteArray local = "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    QByteArray socket;
    for (QByteArray line = table.readLine(); !line.isEmpty() && socket.isEmpty(); line = table.readLine()) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() > 9 && f[1] == local && f[3] == "0A") // listening
            socket = "socket:[" + f[9] + "]";
    }
    const QString fds = QStringLiteral("/proc/%1/fd").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const ssize_t n = ::readlink(qPrintable(fds + QLatin1Char('/') + fd), target, sizeof target - 1);
        if (!socket.isEmpty() && n > 0 && socket == QByteArray(target, int(n)))
            return true;
    }
    return false;
}

// Stands between the program and rigctld like a slow or unreliable rig:
// delays or loses the answer to a keying command, or drops the link once
// the daemon has keyed.
class RigProxy : public QObject
{
public:
    enum class Fault { SlowKeying, KeyingAnswerLost, LinkDropsAfterKeying };

    RigProxy(quint16 daemon, Fault fault) : m_daemon(daemon), m_fault(fault)
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, &RigProxy::accept);
    }
    quint16 port() const { return m_server.serverPort(); }
    int keyed() const { return m_keyed; } // keyings the daemon carried out

private:
    void accept()
    {
        while (QTcpSocket* client = m_server.nextPendingConnection()) {
            auto* daemon = new QTcpSocket(client);
            daemon->connectToHost(QHostAddress::LocalHost, m_daemon);
            daemon->waitForConnected(5000);
            auto keying = std::make_shared<QList<bool>>(); // per command waiting: keys (true) or releases
            connect(client, &QTcpSocket::readyRead, daemon, [client, daemon, keying] {
                static const QRegularExpression ptt(QStringLiteral("^T( \\S+)? ([01])\\s*$"));
                while (client->canReadLine()) {
                    const QByteArray line = client->readLine();
                    const QRegularExpressionMatch m = ptt.match(QString::fromLatin1(line));
                    if (m.hasMatch())
                        keying->append(m.captured(2) == QLatin1String("1"));
                    daemon->write(line);
                }
            });
            connect(daemon, &QTcpSocket::readyRead, client, [this, client, daemon, keying] {
                while (daemon->canReadLine()) {
                    const QByteArray line = daemon->readLine();
                    if (keying->isEmpty() || !line.startsWith("RPRT")) {
                        client->write(line);
                        continue;
                    }
                    const bool on = keying->takeFirst();
                    m_keyed += on && line.trimmed() == "RPRT 0";
                    if (m_fault == Fault::SlowKeying)
                        QTimer::singleShot(300, client, [client, line] { client->write(line); });
                    else if (on && m_fault == Fault::LinkDropsAfterKeying)
                        client->abort();
                    else if (!on || m_fault != Fault::KeyingAnswerLost)
                        client->write(line);
                    if (client->state() != QAbstractSocket::ConnectedState)
                        return;
                }
            });
            connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
        }
    }

    QTcpServer m_server;
    quint16 m_daemon;
    Fault m_fault;
    int m_keyed = 0;
};

} // namespace

Q_DECLARE_METATYPE(RigProxy::Fault)

class TestHamlib : public QObject
{
    Q_OBJECT

    VirtualSoundCard m_card;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<MainWindow> m_w;
    QProcess m_rigctld;
    int m_port = 0;

    // Starts a rigctld of the test's own, on a free port the first time and
    // on the same port again after that. A port found free may be taken by
    // another process before rigctld binds it: the daemon that listens must
    // be the one started here.
    bool startRigctld()
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            const bool again = m_port != 0;
            if (!again) {
                QTcpServer probe;
                if (!probe.listen(QHostAddress::LocalHost))
                    return false;
                m_port = probe.serverPort();
            }
            m_rigctld.start(QStringLiteral("rigctld"), QStringLiteral("-m 1 -P RIG -T 127.0.0.1 -t %1").arg(m_port).split(' '));
            if (!m_rigctld.waitForStarted(5000))
                return false;
            const auto listening = [this] { return listensOn(m_rigctld.processId(), quint16(m_port)); };
            if (QTest::qWaitFor([&] { return listening() || m_rigctld.state() != QProcess::Running; }, 10000) && listening())
                return true;
            stopRigctld();
            if (again)
                return false; // the program is set to this port
            m_port = 0;
        }
        return false;
    }
    void stopRigctld() { m_rigctld.kill(), m_rigctld.waitForFinished(); }

    // Starts rigctld and chooses it (through port, when given), with
    // push-to-talk over CAT; not at "localhost", which may reach another
    // daemon on ::1.
    bool useRigctld(quint16 port = 0)
    {
        const bool started = m_rigctld.state() == QProcess::Running || startRigctld();
        WindowTest::store({{"Rig/Model", RigConfig::kNetwork}, {"Rig/Ptt", "Cat"}, {"Rig/Host", "127.0.0.1"},
                           {"Rig/Port", port ? port : m_port}});
        return started;
    }

    // One rigctld command over a connection of the test's own; the reply.
    // rigctld now and then closes a fresh connection unanswered, while
    // another client connects or leaves: ask again. A busy machine may hold
    // the daemon up for seconds.
    QString rigctld(const QString& command)
    {
        QDeadlineTimer deadline(kWaitMs);
        QString reply;
        bool answered = false;
        (void)QTest::qWaitFor([&] { // "answered" says how it went
            QTcpSocket s;
            s.connectToHost(QHostAddress::LocalHost, quint16(m_port));
            if (s.waitForConnected(int(deadline.remainingTime()))) {
                s.write(command.toLatin1() + '\n');
                while (!s.canReadLine() && s.waitForReadyRead(int(deadline.remainingTime()))) {
                }
                if ((answered = s.canReadLine()))
                    reply = QString::fromLatin1(s.readLine()).trimmed();
            }
            return answered;
        }, kWaitMs);
        return reply;
    }

    // Another program sharing the rig turns the dial.
    void setDial(double hz, const QString& mode)
    {
        QCOMPARE(rigctld(QStringLiteral("F %1").arg(qint64(hz))), QStringLiteral("RPRT 0"));
        QCOMPARE(rigctld(QStringLiteral("M %1 0").arg(mode)), QStringLiteral("RPRT 0"));
    }

    void chooseDummyRigInDialog()
    {
        WindowTest::withDialog([this] { m_w->slotRigControl(); }, [](QDialog* d) {
            d->findChild<QLineEdit*>(QStringLiteral("lineEditSearch"))->setText(QStringLiteral("hamlib dummy"));
            auto* list = d->findChild<QListWidget*>(QStringLiteral("listRigs"));
            QListWidgetItem* dummy = nullptr;
            for (int i = 0; i < list->count() && !dummy; ++i)
                dummy = list->item(i)->isHidden() ? nullptr : list->item(i);
            QVERIFY(dummy && dummy->text().contains(QStringLiteral("(1)")));
            list->setCurrentItem(dummy);
            d->findChild<QComboBox*>(QStringLiteral("comboPtt"))->setCurrentText(QStringLiteral("CAT through Hamlib"));
            d->findChild<QSpinBox*>(QStringLiteral("spinPttWait"))->setValue(1500);
            WindowTest::pressOk(d);
        });
    }

    quint32 savedFrequency()
    {
        m_w->logBar()->findChild<QLineEdit*>(QStringLiteral("editCall"))->setText(QStringLiteral("DL1ABC"));
        m_w->saveQSO();
        const QList<CQsoData> saved = CHamLog(m_w->logFileName()).search(QString());
        return saved.isEmpty() ? 0 : saved.last().frequencyB;
    }

private slots:
    void initTestCase() { VIRTUAL_SOUND_CARD_OR_SKIP(m_card); } // a transmission needs a running output
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(!prepareWindowFolder(*m_dir).isEmpty());
        Settings().setValue(QStringLiteral("Audio/Output/Name"), QStringLiteral("pulse"));
        StationState::setTransmitting(false);
    }
    void cleanup()
    {
        m_w.reset();
        stopRigctld();
        m_port = 0;
        m_dir.reset();
    }

    // Chosen while the program runs, and kept for the next start.
    void rigChosenInTheDialog()
    {
        m_w = std::make_unique<MainWindow>();
        QVERIFY(m_w->rigLabel()->isHidden());
        chooseDummyRigInDialog();
        QCOMPARE(std::pair(Settings().value(QStringLiteral("Rig/Model")).toInt(), m_w->rig()->config().pttWaitMs), std::pair(int(RigConfig::kDummy), 1500));
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rig()->status().link, RigStatus::Link::Up, kWaitMs);
    }

    void dialModePttAndLoggedFrequency()
    {
        QVERIFY(useRigctld());
        m_w = std::make_unique<MainWindow>();
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rig()->status().link, RigStatus::Link::Up, kWaitMs);
        m_w->modem()->SetFrequencies(1234.4, 1234.4);

        setDial(14070000, QStringLiteral("USB"));
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("14.070.000 USB"), kWaitMs);
        QVERIFY(!m_w->rigLabel()->isHidden());
        QCOMPARE(std::pair(m_w->logBar()->band(), savedFrequency()), std::pair(QStringLiteral("20m"), 14071234u));
        setDial(7070000, QStringLiteral("LSB"));
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("7.070.000 LSB"), kWaitMs);
        QCOMPARE(std::pair(m_w->logBar()->band(), savedFrequency()), std::pair(QStringLiteral("40m"), 7068766u));

        // Keyed before the transmission starts, released when it has ended.
        QCOMPARE(rigctld(QStringLiteral("t")), QStringLiteral("0"));
        m_w->startAudioOut();
        QTRY_VERIFY_WITH_TIMEOUT(StationState::isTransmitting(), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(rigctld(QStringLiteral("t")), QStringLiteral("1"), kWaitMs);
        setDial(14070000, QStringLiteral("LSB")); // the rig's news does not end a transmission
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("14.070.000 LSB"), kWaitMs);
        QVERIFY(StationState::isTransmitting());
        m_w->stopAudioOut();
        QTRY_COMPARE_WITH_TIMEOUT(rigctld(QStringLiteral("t")), QStringLiteral("0"), kWaitMs);
    }

    void lostRigctldIsReportedAndRetried()
    {
        QVERIFY(useRigctld());
        m_w = std::make_unique<MainWindow>();
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("145.000.000 FM"), kWaitMs);

        stopRigctld();
        const QString where = QStringLiteral("rigctld at 127.0.0.1:%1").arg(m_port);
        QTRY_VERIFY_WITH_TIMEOUT(m_w->rigLabel()->text().contains(where), kWaitMs);
        QVERIFY(m_w->rigLabel()->text().contains(QStringLiteral("retrying")) && m_w->rigLabel()->toolTip().contains(where));

        // Receiving goes on.
        const int ring = m_w->modem()->ringWriteIndex();
        std::vector<qint16> block(AudioIn::kFramesPerBuffer, 100);
        m_w->audioIn()->captureBlock(block.data(), int(block.size()));
        m_w->slotAudioInputReady(int(block.size() * 2));
        QVERIFY(m_w->modem()->ringWriteIndex() != ring);

        QVERIFY(startRigctld());
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("145.000.000 FM"), kWaitMs);
        m_w->startAudioOut();
        QTRY_VERIFY_WITH_TIMEOUT(StationState::isTransmitting(), kWaitMs);
        m_w->stopAudioOut();
    }

    void slowOrLostKeyingAnswer_data()
    {
        QTest::addColumn<RigProxy::Fault>("fault");
        QTest::newRow("answer slower than 80 ms") << RigProxy::Fault::SlowKeying;
        QTest::newRow("answer lost") << RigProxy::Fault::KeyingAnswerLost;
        QTest::newRow("link drops after keying") << RigProxy::Fault::LinkDropsAfterKeying;
    }

    void slowOrLostKeyingAnswer()
    {
        QFETCH(RigProxy::Fault, fault);
        QVERIFY(startRigctld());
        RigProxy proxy(quint16(m_port), fault);
        QVERIFY(useRigctld(proxy.port()));
        // Room for a busy machine on top of the rig's 300 ms.
        Settings().setValue(QStringLiteral("Rig/PttWaitMs"), 3000);
        m_w = std::make_unique<MainWindow>();
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("145.000.000 FM"), kWaitMs);
        QSignalSpy statuses(m_w->rig(), &RigControl::statusChanged);
        // Messages follow each other quickly here: each one said counts.
        QSignalSpy messages(m_w->statusBar(), &QStatusBar::messageChanged);
        const auto said = [&messages](const QString& start) {
            return std::any_of(messages.cbegin(), messages.cend(),
                               [&start](const QList<QVariant>& m) { return m.at(0).toString().startsWith(start); });
        };

        m_w->startAudioOut();
        QVERIFY(!StationState::isTransmitting()); // the window does not wait for the rig
        if (fault == RigProxy::Fault::SlowKeying) {
            QTRY_VERIFY_WITH_TIMEOUT(StationState::isTransmitting(), kWaitMs);
            QCOMPARE(rigctld(QStringLiteral("t")), QStringLiteral("1"));
            m_w->stopAudioOut();
            QTRY_COMPARE_WITH_TIMEOUT(rigctld(QStringLiteral("t")), QStringLiteral("0"), kWaitMs);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(said(QStringLiteral("Not transmitting")), kWaitMs);
        QVERIFY(!StationState::isTransmitting() && !m_w->modem()->isTransmitting() && proxy.keyed() >= 1);
        // The rig carried the keying out: it is released once it answers again,
        // and the status bar says so meanwhile.
        QTRY_COMPARE_WITH_TIMEOUT(rigctld(QStringLiteral("t")), QStringLiteral("0"), kWaitMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), QStringLiteral("145.000.000 FM"), kWaitMs);
        QVERIFY(std::any_of(statuses.cbegin(), statuses.cend(),
                            [](const QList<QVariant>& s) { return s.at(0).value<RigStatus>().pttUnsure; }));
        QTRY_VERIFY_WITH_TIMEOUT(said(QStringLiteral("The rig confirmed push-to-talk off")), kWaitMs);
    }

    // A push-to-talk that cannot be keyed (as while the rig is not connected)
    // refuses the transmission and says why.
    void unkeyablePttRefusesTransmission_data()
    {
        QTest::addColumn<QString>("ptt");
        QTest::addColumn<QString>("why"); // %1: the PTT line's error
        QTest::newRow("PTT line on a missing device") << "HamlibLine" << "the rig is not connected (%1)";
        QTest::newRow("CAT without a rig") << "Cat" << "push-to-talk through CAT needs a rig (Configure, Rig control...)";
    }
    void unkeyablePttRefusesTransmission()
    {
        QFETCH(QString, ptt);
        QFETCH(QString, why);
        const QString device = m_dir->filePath(QStringLiteral("ttyGone")), error = "cannot open the PTT line on " + device + ": IO error; retrying";
        WindowTest::store({{"Rig/Ptt", ptt}, {"Rig/PttDevice", device}});
        m_w = std::make_unique<MainWindow>();
        if (ptt == u"HamlibLine")
            QTRY_COMPARE_WITH_TIMEOUT(m_w->rigLabel()->text(), "Rig: " + error, kWaitMs);
        QTest::mouseClick(m_w->txButton(), Qt::LeftButton);
        QVERIFY(!StationState::isTransmitting() && !m_w->modem()->isTransmitting() && !m_w->txButton()->isChecked()); // the button springs back
        QCOMPARE(m_w->statusBar()->currentMessage(), "Not transmitting: " + why.replace(QStringLiteral("%1"), error));
    }
};

QTEST_MAIN(TestHamlib)
#include "tst_hamlib.moc"
