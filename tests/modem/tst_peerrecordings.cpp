// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Recordings made by another station's PSK program: our receiver must read
// them exactly, so that we interoperate on the air (phase conventions, the
// QPSK code and its sideband, Varicode, symbol timing).

#include "modemtesthelpers.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace ModemTest;

class TestPeerRecordings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void decodesExactly_data();
    void decodesExactly();

private:
    QDir m_dir;
    QString m_text;
    std::unique_ptr<SettingsSandbox> m_settings;
};

void TestPeerRecordings::initTestCase()
{
    m_dir = QDir(qEnvironmentVariable("VELKORA_SOURCE_DIR") + QStringLiteral("/../shared/testdata/peer"));
    if (!m_dir.exists())
        QSKIP("the peer recordings are not present");
    QFile textFile(m_dir.filePath(QStringLiteral("text_c.txt")));
    QVERIFY2(textFile.open(QIODevice::ReadOnly), qPrintable(textFile.fileName()));
    m_text = QString::fromUtf8(textFile.readAll());
    QVERIFY(!m_text.isEmpty());
    m_settings = std::make_unique<SettingsSandbox>();
    QVERIFY(m_settings->isValid());
}

void TestPeerRecordings::decodesExactly_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("modeName");
    QTest::addColumn<double>("carrier");
    QTest::addColumn<bool>("afc");
    struct Recording
    {
        const char* file;
        const char* mode;
        double carrier;
    };
    const Recording recordings[] = {
        {"bpsk31_1200.wav", "BPSK31", 1200.0},   {"bpsk63_800.wav", "BPSK63", 800.0},
        {"bpsk125_1700.wav", "BPSK125", 1700.0}, {"bpsk250_1500.wav", "BPSK250", 1500.0},
        {"qpsk31_1000.wav", "QPSK31", 1000.0},   {"qpsk63_2000.wav", "QPSK63", 2000.0},
    };
    for (const Recording& r : recordings) {
        for (bool afc : {false, true}) {
            QTest::addRow("%s%s", r.file, afc ? " with AFC" : "")
                << QString::fromLatin1(r.file) << QString::fromLatin1(r.mode) << r.carrier << afc;
        }
    }
}

void TestPeerRecordings::decodesExactly()
{
    QFETCH(QString, file);
    QFETCH(QString, modeName);
    QFETCH(double, carrier);
    QFETCH(bool, afc);

    int rate = 0;
    const std::vector<qint16> samples = readWav16(m_dir.filePath(file), &rate);
    QVERIFY2(!samples.empty(), qPrintable(file));
    QCOMPARE(rate, 11025);

    const RxResult rx = receive(mode(modeName), samples, {carrier, double(rate), afc});
    QVERIFY2(rx.text.contains(m_text), qPrintable(QStringLiteral("decoded: ") + rx.text));
}

QTEST_GUILESS_MAIN(TestPeerRecordings)
#include "tst_peerrecordings.moc"
