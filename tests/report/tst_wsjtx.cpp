// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "logbook/adif.h"
#include "logbook/qsodata.h"
#include "report/wsjtxclient.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>

class TestWsjtx : public QObject
{
    Q_OBJECT
private slots:
    void bytes()
    {
        QCOMPARE(Wsjtx::close(QStringLiteral("Velkora32")).toHex(' '),
                 QByteArray("ad bc cb da 00 00 00 02 00 00 00 06 00 00 00 09 56 65 6c 6b 6f 72 61 33 32"));
        Wsjtx::Writer w(Wsjtx::QsoLogged, QString());
        w.dateTime(QDateTime(QDate(2026, 12, 7), QTime(18, 10, 5), Qt::UTC)).utf8(QStringLiteral("Ä"));
        // Julian day 2461382, 65405000 ms since midnight, UTC; then "Ä" in UTF-8.
        QCOMPARE(w.bytes().mid(16).toHex(' '),
                 QByteArray("00 00 00 00 00 25 8e c6 03 e6 00 48 01 00 00 00 02 c3 84"));
    }

    void roundTripOverLoopback()
    {
        QUdpSocket logger;
        QVERIFY(logger.bind(QHostAddress::LocalHost, 0));
        WsjtxClient client;
        QVERIFY(!client.setServer(QStringLiteral("logger.example"), 2237));
        QVERIFY(client.setServer(QStringLiteral("127.0.0.1"), logger.localPort()));
        client.setVersion(QStringLiteral("4.0"));
        QList<QByteArray> got;
        auto next = [&]() -> Wsjtx::Reader {
            if (got.isEmpty()) {
                [&] { QTRY_VERIFY_WITH_TIMEOUT(logger.hasPendingDatagrams(), 10000); }();
                while (logger.hasPendingDatagrams())
                    got.append(logger.receiveDatagram().data());
            }
            return Wsjtx::Reader(got.isEmpty() ? QByteArray() : got.takeFirst());
        };

        client.start();
        Wsjtx::Reader m = next();
        QVERIFY(m.ok() && m.type() == Wsjtx::Heartbeat);
        QCOMPARE(m.id(), QStringLiteral("Velkora32"));
        QCOMPARE(m.u32(), Wsjtx::kMaxSchema);
        QCOMPARE(m.utf8(), QStringLiteral("4.0"));
        m.utf8();
        QVERIFY(m.ok() && m.atEnd());

        Wsjtx::StatusData status;
        status.dialFrequency = 14070000, status.mode = QStringLiteral("PSK31"), status.dxCall = QStringLiteral("W1AW");
        status.rxOffset = 1500, status.deCall = QStringLiteral("DL1ABC");
        client.updateStatus(status);
        client.updateStatus(status);  // unchanged: not sent again
        status.dxCall = QStringLiteral("K1ABC");
        client.updateStatus(status);
        for (const char* dx : {"W1AW", "K1ABC"}) {
            m = next();
            QCOMPARE(m.type(), quint32(Wsjtx::Status));
            QCOMPARE(m.u64(), quint64(14070000));
            QCOMPARE(QStringList({m.utf8(), m.utf8()}), QStringList({"PSK31", dx}));
            m.utf8(), m.utf8(), m.boolean(), m.boolean(), m.boolean();
            QCOMPARE(m.u32(), 1500u);
            m.u32();
            QCOMPARE(m.utf8(), QStringLiteral("DL1ABC"));
            m.utf8(), m.utf8(), m.boolean(), m.utf8(), m.boolean(), m.u8(), m.u32(), m.u32(), m.utf8(), m.utf8();
            QVERIFY(m.ok() && m.atEnd());
        }

        CQsoData qso;
        qso.call = QStringLiteral("W1AW"), qso.start = QDateTime(QDate(2026, 12, 7), QTime(18, 10, 5), Qt::UTC);
        qso.end = qso.start.addSecs(600), qso.frequencyB = 14071500, qso.mode = QStringLiteral("BPSK31");
        qso.sent = QStringLiteral("599"), qso.received = QStringLiteral("579");
        qso.name = QStringLiteral("Hiram"), qso.info = QStringLiteral("first QSO");
        client.logQso(WsjtxClient::qsoData(qso, QStringLiteral("dl1abc"), QStringLiteral("JO62QM")),
                      Adif::recordText(qso));
        m = next();
        QCOMPARE(m.type(), quint32(Wsjtx::QsoLogged));
        QCOMPARE(m.dateTime(), qso.end);
        QCOMPARE(m.utf8(), QStringLiteral("W1AW"));
        m.utf8();
        QCOMPARE(m.u64(), quint64(14071500));
        QCOMPARE(m.utf8(), QStringLiteral("PSK31"));
        QCOMPARE(QStringList({m.utf8(), m.utf8(), m.utf8(), m.utf8(), m.utf8()}),
                 QStringList({"599", "579", "", "first QSO", "Hiram"}));
        QCOMPARE(m.dateTime(), qso.start);
        QCOMPARE(QStringList({m.utf8(), m.utf8(), m.utf8()}), QStringList({"DL1ABC", "DL1ABC", "JO62QM"}));
        m.utf8(), m.utf8(), m.utf8();
        QVERIFY(m.ok() && m.atEnd());

        m = next();
        QCOMPARE(m.type(), quint32(Wsjtx::LoggedAdif));
        const QString adif = m.utf8();
        QVERIFY(adif.contains(QLatin1String("<EOH>\n")));
        QVERIFY(adif.endsWith(Adif::recordText(qso)));
        QVERIFY(m.ok() && m.atEnd());

        client.stop();
        m = next();
        QCOMPARE(m.type(), quint32(Wsjtx::Close));
        QVERIFY(m.ok() && m.atEnd());
        QVERIFY(!client.isRunning());
    }

    void damagedInput()
    {
        const auto readsText = [](const QByteArray& bytes) {
            Wsjtx::Reader r(bytes);
            return !r.utf8().isEmpty() || r.ok();
        };
        const QByteArray good = Wsjtx::loggedAdif(QStringLiteral("X"), QStringLiteral("<EOR>"));
        QByteArray wrongMagic = good, hugeLength = good;
        wrongMagic[0] = 0;
        hugeLength[20] = char(0x7f);  // the ADIF text's length
        QVERIFY(readsText(good) && !readsText(good.chopped(1)) && !readsText(wrongMagic) && !readsText(hugeLength));
    }
};

QTEST_GUILESS_MAIN(TestWsjtx)
#include "tst_wsjtx.moc"
