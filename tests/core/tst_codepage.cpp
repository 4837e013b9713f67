// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The 8-bit code page under a UTF-8 (or plain C) locale: Windows-1252.
#include "core/codepage.h"

#include <QtTest>

#include <clocale>

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

    void characters_data()
    {
        QTest::addColumn<QChar>("character");
        QTest::addColumn<int>("byte");
        QTest::newRow("e acute") << QChar(u'é') << 0xE9;
        QTest::newRow("euro") << QChar(u'€') << 0x80;
        QTest::newRow("oe") << QChar(u'œ') << 0x9C;
        QTest::newRow("omega, not in the page") << QChar(u'Ω') << int('?');
    }
    void characters()
    {
        QFETCH(QChar, character);
        QFETCH(int, byte);
        QCOMPARE(int(CodePage::toByte(character)), byte);
        if (byte != '?')
            QCOMPARE(CodePage::fromByte(quint8(byte)), character);
    }

    void everyByteComesBack()
    {
        for (int b = 0; b < 256; ++b) // including the five the page leaves undefined
            QCOMPARE(int(CodePage::toByte(CodePage::fromByte(quint8(b)))), b);
        QCOMPARE(CodePage::fromBytes(QByteArray("caf\xE9 \x80", 6)), QStringLiteral("café €"));
    }
};

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_codepage.moc"
