// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/pskreporter.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <QtEndian>

namespace {

QByteArray hex(const char* text) { return QByteArray::fromHex(QByteArray(text).replace(' ', "")); }
quint32 be32(const QByteArray& b, int at) { return qFromBigEndian<quint32>(b.constData() + at); }
quint16 be16(const QByteArray& b, int at) { return qFromBigEndian<quint16>(b.constData() + at); }

// The set ids of a message, in order, after checking that the lengths add up.
QList<quint16> setIds(const QByteArray& m)
{
    QList<quint16> ids;
    if (m.size() < 16 || be16(m, 2) != m.size())
        return {0xdead};
    for (int at = 16; at < m.size();) {
        const int length = be16(m, at + 2);
        if (length < 4 || length % 4 != 0 || at + length > m.size())
            return {0xbeef};
        ids.append(be16(m, at));
        at += length;
    }
    return ids;
}

PskSpot spot(const QString& call, quint32 hz = 14070150) { return {call, hz, -5, QStringLiteral("PSK31"), 1, 0x65000000}; }

} // namespace

class TestPskReporter : public QObject
{
    Q_OBJECT
private slots:
    void layout()
    {
        QCOMPARE(PskIpfix::templateSets(),
                 hex("0003 0030 9992 0005 0001 8002 ffff 0000768f 8004 ffff 0000768f 8008 ffff 0000768f"
                     "          8009 ffff 0000768f 0095 0004 0000"
                     "0002 0034 9993 0006 8001 ffff 0000768f 8005 0004 0000768f 8006 0001 0000768f"
                     "          800a ffff 0000768f 800b 0001 0000768f 0096 0004"));
        const ReceivingStation rx{QStringLiteral("dl1abc"), QStringLiteral("JO62QM"), QStringLiteral("Velkora32 4.0"),
                             QString()};
        QCOMPARE(PskIpfix::receiverSet(rx, 0xa1b2c3d4),
                 hex("9992 0028 06 444c31414243 06 4a4f3632514d 0d 56656c6b6f7261333220342e30 00 a1b2c3d4 000000"));
        // Every template has a fixed part, or a collector that sizes records
        // by it cannot read the records.
        const QByteArray t = PskIpfix::templateSets();
        for (int at : {4, 52}) {
            const int fields = be16(t, at + 2);
            int fixed = 0;
            for (int i = 0, f = at + (be16(t, at - 4) == 3 ? 6 : 4); i < fields; ++i, f += be16(t, f) & 0x8000 ? 8 : 4)
                fixed += be16(t, f + 2) == 0xffff ? 0 : be16(t, f + 2);
            QVERIFY2(fixed > 0, qPrintable(QString::number(be16(t, at), 16)));
        }
        const QByteArray record = PskIpfix::senderRecord(spot(QStringLiteral("w1aw")));
        QCOMPARE(record, hex("04 57314157 00d6b186 fb 05 50534b3331 01 65000000"));
        QCOMPARE(PskIpfix::senderSet(record + record).toHex(), (hex("9993 0030") + record + record + hex("0000")).toHex());
        QCOMPARE(PskIpfix::message(hex("9993 0004"), 0x01020304, 7, 0xa1b2c3d4),
                 hex("000a 0014 01020304 00000007 a1b2c3d4 9993 0004"));
        // A text longer than a short string can hold is cut, never mis-framed.
        QCOMPARE(quint8(PskIpfix::senderRecord(spot(QString(300, u'A'))).at(0)), quint8(254));
        // The SNR byte: rounded and held within its range; none is 0.
        QCOMPARE(PskIpfix::snrField(-12.6), qint8(-13));
        QCOMPARE(PskIpfix::snrField(400.0), qint8(127));
        QCOMPARE(PskIpfix::snrField(qQNaN()), qint8(0));
        QCOMPARE(PskIpfix::modeName(QStringLiteral("BPSK31")), QStringLiteral("PSK31"));
        QCOMPARE(PskIpfix::modeName(QStringLiteral("BPSK250")), QStringLiteral("PSK250"));
        QCOMPARE(PskIpfix::modeName(QStringLiteral("QPSK63")), QStringLiteral("QPSK63"));
    }

    void timing()
    {
        qint64 now = 1000;
        QUdpSocket collector;
        QVERIFY(collector.bind(QHostAddress::LocalHost, 0));
        PskReporter r(nullptr, [&now] { return now; });
        r.setCollector(QStringLiteral("127.0.0.1"), collector.localPort());
        r.setWallClock([] { return 0x65000000u; });
        QSignalSpy built(&r, &PskReporter::messageBuilt);
        const qint64 minute = 60 * 1000;

        QVERIFY(r.addSpot(spot(QStringLiteral("W1AW"))));
        now += 4 * minute;
        QVERIFY(!r.addSpot(spot(QStringLiteral("w1aw"), 7040000)));  // once in five minutes
        QVERIFY(r.addSpot(spot(QStringLiteral("DL1ABC"))));
        r.poll();
        QCOMPARE(built.size(), 0);                                    // not yet five minutes
        now = 1000 + 5 * minute;
        QVERIFY(r.addSpot(spot(QStringLiteral("W1AW"))));             // five minutes since the first
        r.poll();
        QCOMPARE(built.size(), 1);
        QByteArray m = built.at(0).at(0).toByteArray();
        QCOMPARE(setIds(m), (QList<quint16>{3, 2, 0x9992, 0x9993}));
        QCOMPARE(be32(m, 8), 0u);                                     // no data records before
        const quint32 domain = be32(m, 12);
        QCOMPARE(domain, r.observationDomain());
        r.poll();
        QCOMPARE(built.size(), 1);                                    // nothing more until next time

        // Templates ride along in the first three messages, then once an hour.
        QList<bool> templates;
        QList<quint32> sequence;
        for (int i = 0; i < 15; ++i) {
            now += 5 * minute;
            r.addSpot(spot(QStringLiteral("K%1AA").arg(i % 10) + QChar(u'A' + i)));
            r.poll();
            m = built.last().at(0).toByteArray();
            templates.append(setIds(m).first() == 3);
            sequence.append(be32(m, 8));
            QCOMPARE(be32(m, 12), domain);
        }
        QCOMPARE(built.size(), 16);
        // The third went out at 15 minutes, so the next is due at 75.
        QList<bool> expected(15, false);
        expected[0] = expected[1] = expected[13] = true;
        QCOMPARE(templates, expected);
        // The sequence number counts the data records sent before: 1 + 3 in the
        // first message, then 1 + 1 in each.
        QCOMPARE(sequence.first(), 4u);
        QCOMPARE(sequence.last(), 4u + 14 * 2);
        // An empty queue sends nothing.
        now += 5 * minute;
        r.poll();
        QCOMPARE(built.size(), 16);
    }

    void fullMessage()
    {
        qint64 now = 0;
        QUdpSocket collector;
        QVERIFY(collector.bind(QHostAddress::LocalHost, 0));
        PskReporter r(nullptr, [&now] { return now; });
        r.setCollector(QStringLiteral("127.0.0.1"), collector.localPort());
        QSignalSpy built(&r, &PskReporter::messageBuilt);
        int added = 0;
        for (int i = 0; built.isEmpty() && i < 500; ++i)
            added += r.addSpot(spot(QStringLiteral("DL%1ABC%2%3").arg(i % 10).arg(QChar(u'A' + i / 10 % 26)).arg(QChar(u'A' + i / 260))));
        QCOMPARE(built.size(), 1);  // full before five minutes
        const QByteArray m = built.at(0).at(0).toByteArray();
        QVERIFY(m.size() <= PskIpfix::kMaxMessage && m.size() > PskIpfix::kMaxMessage - 30);
        QCOMPARE(r.queuedSpots(), 1);  // the spot that did not fit waits
        QCOMPARE(setIds(m).size(), 4);
        QVERIFY(added > 40);
    }

    void loopbackAndNoNetwork()
    {
        QUdpSocket collector;
        QVERIFY(collector.bind(QHostAddress::LocalHost, 0));
        PskReporter r;
        r.setCollector(QStringLiteral("127.0.0.1"), collector.localPort());
        r.setReceiver({QStringLiteral("DL1ABC"), QStringLiteral("JO62"), QStringLiteral("Velkora32 4.0"),
                       QStringLiteral("dipole")});
        QList<QNetworkDatagram> got;
        for (const char* call : {"W1AW", "K1ABC"}) {
            r.addSpot(spot(QString::fromLatin1(call)));
            r.flush();
            QTRY_VERIFY_WITH_TIMEOUT(collector.hasPendingDatagrams(), 10000);
            got.append(collector.receiveDatagram());
        }
        QCOMPARE(got.at(0).senderPort(), got.at(1).senderPort());  // one source port
        QVERIFY(got.at(1).data().contains("K1ABC") && got.at(0).data().contains("dipole"));
        QCOMPARE(r.messagesSent(), 2);

        // A host that does not resolve: the spots go, the program stays.
        PskReporter off;
        off.setCollector(QStringLiteral("collector.invalid"), 4739);
        QSignalSpy built(&off, &PskReporter::messageBuilt);
        QVERIFY(off.addSpot(spot(QStringLiteral("W1AW"))));
        off.flush();
        QVERIFY(built.size() == 1 && !built.at(0).at(1).toBool());
        QVERIFY(off.spotsDropped() == 1 && off.queuedSpots() == 0);
    }
};

QTEST_GUILESS_MAIN(TestPskReporter)
#include "tst_pskreporter.moc"
