// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/codepage.h"

#include <QtTest>

#include <clocale>

// The 8-bit code page under a UTF-8 (or plain C) locale: Windows-1252.
class TestCodePage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The table is built on first use from the locale in force then.
        if (!std::setlocale(LC_CTYPE, "C.UTF-8"))
            std::setlocale(LC_CTYPE, "C");
        QCOMPARE(CodePage::name(), QStringLiteral("Windows-1252"));
    }

    void knownCharacters_data()
    {
        QTest::addColumn<QChar>("character");
        QTest::addColumn<int>("byte");
        QTest::newRow("A") << QChar(u'A') << 0x41;
        QTest::newRow("e acute") << QChar(u'é') << 0xE9;
        QTest::newRow("euro") << QChar(u'€') << 0x80;
        QTest::newRow("oe") << QChar(u'œ') << 0x9C;
        QTest::newRow("y diaeresis") << QChar(u'ÿ') << 0xFF;
        QTest::newRow("no-break space") << QChar(u'\u00A0') << 0xA0;
    }

    void knownCharacters()
    {
        QFETCH(QChar, character);
        QFETCH(int, byte);
        QCOMPARE(int(CodePage::toByte(character)), byte);
        QCOMPARE(CodePage::fromByte(quint8(byte)), character);
    }

    void unmappableCharacterBecomesQuestionMark()
    {
        QCOMPARE(int(CodePage::toByte(QChar(u'Ω'))), int('?'));
        QCOMPARE(int(CodePage::toByte(QChar(0x3042))), int('?'));
    }

    void everyByteComesBack()
    {
        // Including the five positions the code page leaves undefined.
        for (int b = 0; b < 256; ++b)
            QCOMPARE(int(CodePage::toByte(CodePage::fromByte(quint8(b)))), b);
        QCOMPARE(CodePage::fromBytes(QByteArray("caf\xE9 \x80", 6)), QStringLiteral("café €"));
    }
};

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
