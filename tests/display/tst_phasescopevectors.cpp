// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
// The phase scope as rendered: the disc and the last twenty symbols' vectors.
#include "display/phasescope.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr long kQuarterTurn = 1L << 30;

QImage render(PhaseScope& scope, QSize size = QSize(101, 101))
{
    scope.resize(size);
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    scope.render(&image);
    return image;
}

bool isBlack(QRgb c) { return qRed(c) < 30 && qGreen(c) < 30 && qBlue(c) < 30; }

// The pixel `distance` from the centre of a 101 x 101 scope, `degrees` counter-clockwise from 3 o'clock.
QRgb along(const QImage& image, double degrees, double distance)
{
    const double a = degrees * M_PI / 180.0;
    return image.pixel(qRound(50 + distance * std::cos(a)), qRound(50 - distance * std::sin(a)));
}

// How far a coloured vector reaches that way, 0 for none; the pen's cap shows round the centre.
int reach(const QImage& image, double degrees)
{
    int last = 0;
    for (int d = 3; d < 50; ++d)
        if (!isBlack(along(image, degrees, d)))
            last = d;
    return last;
}

} // namespace

class TestPhaseScopeVectors : public QObject
{
    Q_OBJECT
private slots:
    void vector_data();
    void vector();
    void keepsTheLastTwentySymbols();
    void discFitsTheSmallerSide();
};

void TestPhaseScopeVectors::vector_data()
{
    // An amplitude of 1000 is the disc's radius (50 px); no vector is longer than 90 % of it.
    QTest::addColumn<long>("dangle");
    QTest::addColumn<long>("amp");
    QTest::addColumn<double>("direction");
    QTest::addColumn<int>("hue");
    QTest::addColumn<int>("length");
    QTest::newRow("no change: up, green") << 0L << 1000L << 90.0 << 120 << 45;
    QTest::newRow("quarter turn: left, red, half") << kQuarterTurn << 500L << 180.0 << 0 << 25;
    QTest::newRow("minus a quarter: right, red, overdriven") << -kQuarterTurn << 5000L << 0.0 << 0 << 45;
    QTest::newRow("reversal: down, green, a fifth") << (2 * kQuarterTurn - 1) << 200L << 270.0 << 120 << 10;
    QTest::newRow("reversal from below: down, green") << -2 * kQuarterTurn << 1000L << 270.0 << 120 << 45;
    QTest::newRow("eighth turn: up-left, yellow") << kQuarterTurn / 2 << 1000L << 135.0 << 60 << 45;
    QTest::newRow("minus an eighth: up-right, yellow") << -kQuarterTurn / 2 << 1000L << 45.0 << 60 << 45;
}

void TestPhaseScopeVectors::vector()
{
    QFETCH(long, dangle);
    QFETCH(long, amp);
    QFETCH(double, direction);
    QFETCH(int, hue);
    QFETCH(int, length);
    PhaseScope scope;
    scope.onPskSymbol(dangle, amp);
    const QImage image = render(scope);
    for (int d = 6; d <= length - 4; d += 2) {
        const QColor c(along(image, direction, d));
        QVERIFY2(std::abs(c.hsvHue() - hue) <= 4 && c.hsvSaturation() > 230 && c.value() > 230,
                 qPrintable(QStringLiteral("%1 px: %2").arg(d).arg(c.name())));
    }
    // A two-pixel pen with a square cap may stand out by one.
    const int tolerance = std::fmod(direction, 90.0) == 0.0 ? 1 : 2; // the cap's corner on a diagonal
    QVERIFY2(std::abs(reach(image, direction) - length) <= tolerance, qPrintable(QString::number(reach(image, direction))));
    for (double other : {direction + 90.0, direction + 180.0, direction + 270.0})
        QCOMPARE(reach(image, other), 0);
}

void TestPhaseScopeVectors::keepsTheLastTwentySymbols()
{
    PhaseScope scope;
    scope.onPskSymbol(0, 1000); // up
    for (int i = 0; i < 19; ++i)
        scope.onPskSymbol(kQuarterTurn, 600); // left
    QImage image = render(scope);
    QVERIFY(reach(image, 90.0) >= 44);
    QVERIFY(std::abs(reach(image, 180.0) - 30) <= 1);
    scope.onPskSymbol(kQuarterTurn, 600); // the 21st replaces the first
    image = render(scope);
    QCOMPARE(reach(image, 90.0), 0);
    QVERIFY(std::abs(reach(image, 180.0) - 30) <= 1);
}

void TestPhaseScopeVectors::discFitsTheSmallerSide()
{
    PhaseScope scope;
    scope.onPskSymbol(-kQuarterTurn, 1000);
    const QImage image = render(scope, QSize(200, 81));
    // A black disc of radius (81 - 1) / 2 = 40 about (99, 40); the vector 90 % of it to the right.
    QVERIFY(isBlack(image.pixel(99 - 38, 40)) && !isBlack(image.pixel(99 - 43, 40)));
    QVERIFY(isBlack(image.pixel(99, 40 + 38)));
    QVERIFY(!isBlack(image.pixel(99 + 30, 40)) && isBlack(image.pixel(99 + 38, 40)));
}

QTEST_MAIN(TestPhaseScopeVectors)
#include "tst_phasescopevectors.moc"
