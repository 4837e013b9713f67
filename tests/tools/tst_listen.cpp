// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// "velkora32-cli listen" on a virtual sound card: what is played comes back
// as one line per over, the calls sent as a pattern reach a collector on
// this computer, and SIGTERM ends the run with the last spots sent.

#include "tests/audio/virtualsoundcard.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

class TestListen : public QObject
{
    Q_OBJECT
    VirtualSoundCard m_card;
    QTemporaryDir m_dir;

    static QString cli() { return qEnvironmentVariable("VELKORA_BIN_DIR") + QStringLiteral("/velkora32-cli"); }

    bool encode(const QString& name, const QString& freq, const QString& text)
    {
        QProcess p;
        // At half scale: the sound server's resampling would clip a full-scale
        // signal, and its splatter beside it is a signal too.
        p.start(cli(), {QStringLiteral("encode"), QStringLiteral("--level"), QStringLiteral("5000"), QStringLiteral("--freq"), freq,
                        QStringLiteral("--text"), text, m_dir.filePath(name)});
        return p.waitForFinished(60000) && p.exitCode() == 0;
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("paplay")).isEmpty())
            QSKIP("paplay (pulseaudio-utils) is not installed");
        VIRTUAL_SOUND_CARD_OR_SKIP(m_card);
        QVERIFY(encode(QStringLiteral("cq.wav"), QStringLiteral("1200"), QStringLiteral("cq cq de W1AW W1AW pse k")));
        QVERIFY(encode(QStringLiteral("once.wav"), QStringLiteral("1800"), QStringLiteral("tnx fer call de K1ABC k")));
    }

    void linesAndSpots()
    {
        QUdpSocket collector;
        QVERIFY(collector.bind(QHostAddress::LocalHost, 0));
        QProcess listen;
        // At the card's own rate: listen's long blocks fit its ring there too.
        listen.start(cli(), QStringLiteral("listen --device pulse --rate 48000 --report --call DL9SWL --locator JO62qm --dial 14070000 "
                                            "--collector 127.0.0.1:%1").arg(collector.localPort()).split(u' '));
        QVERIFY(listen.waitForStarted(10000));
        // Played only once it hears, or the start of the first over is lost.
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += listen.readAllStandardError()).contains("listening on pulse"), 30000);
        for (const char* name : {"cq.wav", "once.wav"}) {
            QProcess play;
            play.start(QStringLiteral("paplay"), {m_dir.filePath(QString::fromLatin1(name))});
            QVERIFY(play.waitForFinished(60000) && play.exitCode() == 0);
        }
        QByteArray out;
        QTRY_VERIFY_WITH_TIMEOUT((out += listen.readAllStandardOutput()).contains("K1ABC k"), 30000);
        listen.terminate();
        QVERIFY(listen.waitForFinished(30000) && listen.exitStatus() == QProcess::NormalExit && listen.exitCode() == 0);
        // Its long blocks are no stall, also on a busy computer.
        QVERIFY2(!(said += listen.readAllStandardError()).contains("was lost"), said.constData());
        const QRegularExpression line(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d 1\\d\\d\\d\\.\\d Hz BPSK31: (.*)$"),
                                      QRegularExpression::MultilineOption);
        QStringList texts;
        for (auto it = line.globalMatch(QString::fromUtf8(out)); it.hasNext();)
            texts << it.next().captured(1);
        QCOMPARE(texts, (QStringList{QStringLiteral("cq cq de W1AW W1AW pse k"),
                                     QStringLiteral("tnx fer call de K1ABC k")}));
        // The spots went out at the end, W1AW's only.
        QTRY_VERIFY_WITH_TIMEOUT(collector.hasPendingDatagrams(), 10000);
        const QByteArray message = collector.receiveDatagram().data();
        QVERIFY2(message.contains("W1AW") && !message.contains("K1ABC") && message.contains("DL9SWL"), message.toHex().constData());
    }
};

QTEST_GUILESS_MAIN(TestListen)
#include "tst_listen.moc"
