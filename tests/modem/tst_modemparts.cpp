// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The modem's parts on their own: the receive DSP refuses the rates its moving sums cannot
// hold and the transmit DSP shapes a symbol as a raised cosine; the Varicode words against the
// published table and every character's word back; reading ".cwt" Morse tables.
#include "modem/cwtables.h"
#include "modem/pskrxalgorithms.h"
#include "modem/psktxalgorithms.h"
#include "modem/varicode.h"
#include "modemtesthelpers.h"

#include <QTest>

#include <cmath>

namespace {

// A minimal complete table; tests append their own lines.
const QString kHeader = QStringLiteral("[Name]\r\nTEST\r\n[CharSet]\r\nlatin\r\n[TX]\r\n");

// UTF-16 little-endian behind its byte order mark.
QByteArray utf16Le(const QString& text)
{
    return QByteArray("\xFF\xFE", 2) + QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

} // namespace

class TestModemParts : public QObject
{
    Q_OBJECT

    ModemTest::SettingsSandbox m_settings;
    QTemporaryDir m_dir;
    QList<CCwTableMessage> m_messages;

    QString write(const QString& name, const QByteArray& bytes)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(f.fileName()));
        return f.fileName();
    }

private slots:
    void ratesBeyondTheSumBuffersAreRefused()
    {
        CPskRxAlgorithms rx;
        rx.setFrequency(1500);
        for (double bad : {64250.0, -8000.0, std::nan("")}) {
            QVERIFY(!rx.setSampleRate(bad));
            QCOMPARE(rx.movingSumLength(), 22);
        }
        QVERIFY(rx.setSampleRate(64249.0));
        QCOMPARE(rx.movingSumLength(), 128);
    }

    void riseFromSilenceIsRaisedCosine()
    {
        // One symbol (256 samples) of 1000 Hz at 8000 samples a second, from no carrier to code 0.
        CPskTxAlgorithms dsp;
        dsp.setSampleRate(8000.0);
        dsp.setShiftAndBaud(0.0, 31.25);
        dsp.setFrequency(1000.0);
        dsp.reset();
        dsp.setCurrentCode(0);
        std::vector<int> x;
        int needAt = -1;
        for (int n = 0, need = 0; n < 256; ++n) {
            x.push_back(dsp.NextSample(&need));
            if (need && needAt < 0)
                needAt = n;
        }
        QCOMPARE(needAt, 255); // the next symbol is due after the last sample
        QCOMPARE(x[0], 0);
        for (int first = 0; first + 8 <= 256; first += 8) {
            double i = 0, q = 0;
            for (int n = first; n < first + 8; ++n) {
                i += x[n] * std::cos(M_PI * n / 4.0);
                q += x[n] * std::sin(M_PI * n / 4.0);
            }
            const double expected = 32766.0 * (1.0 - std::cos(M_PI * (first + 3.5) / 256.0)) / 2.0;
            QVERIFY2(std::abs(std::hypot(i, q) / 4.0 - expected) < 330.0, qPrintable(QString::number(first)));
        }
    }

    void publishedWords_data()
    {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("word");
        QTest::newRow("space") << 0x20 << "1";
        QTest::newRow("e") << int('e') << "11";
        QTest::newRow("NUL") << 0 << "1010101011";
        QTest::newRow("DEL") << 0x7F << "1110110101";
        QTest::newRow("128") << 128 << "1110111101";
        QTest::newRow("143") << 143 << "10101010101";
        QTest::newRow("255") << 255 << "101101011011";
    }

    void publishedWords()
    {
        QFETCH(int, value);
        QFETCH(QString, word);
        QCOMPARE(QString::number(Varicode::ascii8Word(value), 2), word);
        QCOMPARE(Varicode::ascii8Word(value), CMMVari::instance().codeWord(quint16(value), false));
    }

    void everyCharacterRoundTrips()
    {
        const CMMVari& v = CMMVari::instance();
        for (bool swap : {false, true}) {
            for (int value = 0; value < 256; ++value)
                QCOMPARE(v.charOfWord(v.codeWord(quint16(value), swap), swap), quint16(value));
            for (int lead = 0x81; lead <= 0xFE; ++lead) {
                for (int trail = 0x40; trail <= 0xFF; ++trail) {
                    const quint32 w = v.codeWord(quint16(lead << 8 | trail), swap);
                    // Received double bytes keep sending order: lead byte low.
                    QCOMPARE(v.charOfWord(w, swap), quint16(trail << 8 | lead));
                }
            }
            // Values whose rank lies beyond the list have no word.
            for (int value : {CMMVari::kWordCount, 0x80FF, 0xFF40, 0xFFFF})
                QCOMPARE(v.codeWord(quint16(value), swap), 0u);
        }
    }

    void badFilesAreSkippedWithAWarning()
    {
        const QString ansi = write(QStringLiteral("ansi.cwt"), kHeader.toLatin1() + "A  .-\r\n");
        QVERIFY(!CwTables::loadTable(ansi, &m_messages));
        QCOMPARE(m_messages.value(0).text, ansi + QStringLiteral(" is not a Unicode file!"));
        const QString bad = write(QStringLiteral("t.cwt"), utf16Le(QStringLiteral("[Name]\nX\n[CharSet]\nLATIN\n[TX]\nA  .-")));
        m_messages.clear();
        QVERIFY(!CwTables::loadTable(bad, &m_messages));
        QCOMPARE(m_messages.value(0).text, QStringLiteral("Error loading %1!").arg(bad));
        QVERIFY(CwTables::tables().empty());
        // Without an "ENG" table the program cannot start.
        write(QStringLiteral("ENG.cwt"), utf16Le(QStringLiteral("[Name]\nENG\n[TX]\nA  .-\n")));
        QVERIFY(!CwTables::loadAll(m_dir.path(), &m_messages));
        QCOMPARE(m_messages.back().severity, CCwTableMessage::Critical);
    }
};

QTEST_GUILESS_MAIN(TestModemParts)
#include "tst_modemparts.moc"
