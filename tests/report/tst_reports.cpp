// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// What goes out to others: the calls found in decoded text, the spots sent to PSK Reporter, and the
// messages a logger on this computer hears.
#include "logbook/adif.h"
#include "logbook/qsodata.h"
#include "report/callextractor.h"
#include "report/pskreporter.h"
#include "report/wsjtxclient.h"

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

class TestReports : public QObject
{
    Q_OBJECT

private slots:
    void callSigns_data()
    {
        QTest::addColumn<QString>("word");
        QTest::addColumn<bool>("valid");
        const char* good[] = {"DL1ABC", "W1AW", "K1A", "2E0ABC", "9A1A", "4X4AA", "3DA0RU", "VK2ABC", "ja1xyz",
                              "DL1ABC/P", "F/DL1ABC", "VE3/W1AW/QRP", "OH0A", "A61AB", "KH6ABCD"};
        const char* bad[] = {"599", "5NN", "73", "QRZ", "QSL", "CQ", "DE", "14070KHZ", "ABC1", "1ST", "DL1", "W1",
                             "DL1ABCDE", "E", "12345", "DL1ABC/P/Q/R", "DL1ABC/LONGER", "X/Y/DL1AB", "Q1"};
        for (const char* w : good)
            QTest::newRow(w) << QString::fromLatin1(w) << true;
        for (const char* w : bad)
            QTest::newRow(w) << QString::fromLatin1(w) << false;
    }

    void callSigns()
    {
        QFETCH(QString, word);
        QFETCH(bool, valid);
        QCOMPARE(CallExtractor::isCallSign(word), valid);
    }

    void patterns_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("calls");
        const QStringList dl{QStringLiteral("DL1ABC")};
        QTest::newRow("de twice") << "ge om de DL1ABC DL1ABC pse k\n" << dl;
        QTest::newRow("cq then twice") << "CQ CQ CQ DL1ABC DL1ABC\n" << dl;
        QTest::newRow("cq pse then twice") << "cq cq test pse DL1ABC DL1ABC ar\n" << dl;
        QTest::newRow("de once and again") << "ur rst 599 de DL1ABC name is Hans hw DL1ABC \n" << dl;
        QTest::newRow("repeat in over once") << "CQ de DL1ABC DL1ABC DL1ABC DL1ABC\n" << dl;
        QTest::newRow("once only") << "de DL1ABC pse k\n" << QStringList();
        QTest::newRow("twice without de or cq") << "DL1ABC DL1ABC ur 599\n" << QStringList();
        QTest::newRow("twice apart, no de") << "cq DL1ABC tnx DL1ABC \n" << QStringList();
        QTest::newRow("over ends between") << "de DL1ABC pse kn DL1ABC \n" << QStringList();
        QTest::newRow("own call") << "de W1OWN W1OWN k cq de DL1ABC DL1ABC \n" << dl;
        QTest::newRow("two stations") << "W1AW de DL1ABC DL1ABC k\nDL1ABC de W1AW W1AW \n"
                                      << QStringList{QStringLiteral("DL1ABC"), QStringLiteral("W1AW")};
        QTest::newRow("noise") << "e t ie5e ie5e tt n1e tn DE e1e?t1e tnmatt 59 59 5nn 5nn qrz qrz eetie \n"
                               << QStringList();
        QTest::newRow("noise, de then long junk")
            << "de DL1ABCTEEETIEEETNEEETAAAETEN DL1ABCTEEETIEEETNEEETAAAETEN \n" << QStringList();
        QTest::newRow("word not finished") << "de DL1ABC DL1ABC" << QStringList();
        QTest::newRow("punctuation") << "CQ de DL1ABC,DL1ABC.\n" << dl;
    }

    void patterns()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, calls);
        // All at once and one character at a time give the same.
        CallExtractor whole, single;
        QStringList bySingle;
        for (CallExtractor* x : {&whole, &single})
            x->setOwnCall(QStringLiteral("w1own"));
        for (const QChar c : text)
            bySingle += single.feed(1400, QStringView(&c, 1));
        QVERIFY(whole.feed(1400, text) == calls && bySingle == calls);
    }

    void channelsAndOvers()
    {
        CallExtractor x;
        // "de CALL" on one channel and the call again on another is no pattern.
        QVERIFY(x.feed(500, u"de DL1ABC ").isEmpty() && x.feed(900, u"DL1ABC ").isEmpty());
        QCOMPARE(x.feed(500, u"DL1ABC "), QStringList{QStringLiteral("DL1ABC")});
        // A lost signal ends the over.
        QVERIFY(x.feed(900, u"de W1AW ").isEmpty());
        x.endOver(900);
        QVERIFY(x.feed(900, u"W1AW ").isEmpty() && x.channelCount() == 2);
        // A very long over is cut, so one over never grows without end.
        const QString talk = QStringLiteral("bla ").repeated(CallExtractor::kMaxWords);
        QVERIFY(x.feed(700, QStringLiteral("de DL2XYZ ") + talk + QStringLiteral("DL2XYZ ")).isEmpty());
        x.clear();
        QCOMPARE(x.channelCount(), 0);
    }

    void textTail()
    {
        TextTail t;
        QString text = QStringLiteral("cq de W1AW");
        QCOMPARE(t.advance(text), text);
        QCOMPARE(t.advance(text), QString());
        // A short mark that comes again in what was added ("cq" in "cq cq").
        TextTail cq;
        QVERIFY(cq.advance(QStringLiteral("cq")) == u"cq" && cq.advance(QStringLiteral("cq cq de ")) == u" cq de ");
        // Grows at the end while the oldest part is cut off, as a long text is.
        for (int i = 0; i < 3000; ++i) {
            const QString more = QStringLiteral(" %1").arg(i);
            text = (text + more).right(1000);
            QCOMPARE(t.advance(text), more);
        }
        // A text that starts afresh gives nothing old again.
        QCOMPARE(t.advance(QStringLiteral("new")), QString());
        QCOMPARE(t.advance(QStringLiteral("new de K1A")), QStringLiteral(" de K1A"));
    }

    void layout()
    {
        // Each template has a field of fixed length (0095, 8005, 8006, 800b,
        // 0096), or a collector that sizes records by it cannot read them.
        QCOMPARE(PskIpfix::templateSets(),
                 hex("0003 0030 9992 0005 0001 8002 ffff 0000768f 8004 ffff 0000768f 8008 ffff 0000768f"
                     "          8009 ffff 0000768f 0095 0004 0000"
                     "0002 0034 9993 0006 8001 ffff 0000768f 8005 0004 0000768f 8006 0001 0000768f"
                     "          800a ffff 0000768f 800b 0001 0000768f 0096 0004"));
        const ReceivingStation rx{QStringLiteral("dl1abc"), QStringLiteral("JO62QM"), QStringLiteral("Velkora32 4.0"),
                             QString()};
        QCOMPARE(PskIpfix::receiverSet(rx, 0xa1b2c3d4),
                 hex("9992 0028 06 444c31414243 06 4a4f3632514d 0d 56656c6b6f7261333220342e30 00 a1b2c3d4 000000"));
        const QByteArray record = PskIpfix::senderRecord(spot(QStringLiteral("w1aw")));
        QCOMPARE(record, hex("04 57314157 00d6b186 fb 05 50534b3331 01 65000000"));
        QCOMPARE(PskIpfix::senderSet(record + record).toHex(), (hex("9993 0030") + record + record + hex("0000")).toHex());
        QCOMPARE(PskIpfix::message(hex("9993 0004"), 0x01020304, 7, 0xa1b2c3d4),
                 hex("000a 0014 01020304 00000007 a1b2c3d4 9993 0004"));
        // A text longer than a short string can hold is cut, never mis-framed.
        QCOMPARE(quint8(PskIpfix::senderRecord(spot(QString(300, u'A'))).at(0)), quint8(254));
        // The SNR byte: rounded and held within its range; none is 0.
        for (const auto& [snr, byte] : {std::pair{-12.6, -13}, {400.0, 127}, {qQNaN(), 0}})
            QCOMPARE(PskIpfix::snrField(snr), qint8(byte));
        for (const auto& [mode, name] : {std::pair{"BPSK31", "PSK31"}, {"BPSK250", "PSK250"}, {"QPSK63", "QPSK63"}})
            QCOMPARE(PskIpfix::modeName(QLatin1String(mode)), QLatin1String(name));
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
        QCOMPARE(std::pair(sequence.first(), sequence.last()), std::pair(4u, 4u + 14 * 2));
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
        QVERIFY(setIds(m).size() == 4 && added > 40);
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
        QVERIFY(built.size() == 1 && !built.at(0).at(1).toBool() && off.spotsDropped() == 1 && off.queuedSpots() == 0);
    }

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
        // A group that is no multicast address leaves none, not the one before.
        QVERIFY(client.setMulticastGroup(QStringLiteral("239.255.0.1")) && !client.setMulticastGroup(QStringLiteral("192.0.2.1")) && client.multicastGroup().isNull());
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
        QVERIFY(m.ok() && m.type() == Wsjtx::Heartbeat && m.id() == QStringLiteral("Velkora32"));
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
        QVERIFY(m.type() == Wsjtx::QsoLogged && m.dateTime() == qso.end);
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
        QVERIFY(adif.contains(QLatin1String("<EOH>\n")) && adif.endsWith(Adif::recordText(qso)) && m.ok() && m.atEnd());

        client.stop();
        m = next();
        QCOMPARE(m.type(), quint32(Wsjtx::Close));
        QVERIFY(m.ok() && m.atEnd() && !client.isRunning());
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

QTEST_GUILESS_MAIN(TestReports)
#include "tst_reports.moc"
