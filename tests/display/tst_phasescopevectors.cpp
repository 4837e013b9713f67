// SPDX-FileCopyrightText: 2026 The Velkora32 developers
// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/phasescope.h"

#include <QtTest>

#include <cmath>

namespace {

constexpr long kQuarterTurn = 1L << 30;

QImage render(PhaseScope& scope, int side = 101)
{
    scope.resize(side, side);
    QImage image(side, side, QImage::Format_ARGB32);
    image.fill(Qt::white);
    scope.render(&image);
    return image;
}

bool isBlack(QRgb c) { return qRed(c) < 30 && qGreen(c) < 30 && qBlue(c) < 30; }

// The pixel `distance` from the centre of a 101 x 101 scope, in the
// direction `degrees` counter-clockwise from 3 o'clock.
QRgb along(const QImage& image, double degrees, double distance)
{
    const double a = degrees * M_PI / 180.0;
    return image.pixel(qRound(50 + distance * std::cos(a)), qRound(50 - distance * std::sin(a)));
}

// How far the coloured vector in that direction reaches; 0 when there is
// none. The first pixels are skipped: the two-pixel pen's cap at the centre
// shows in every direction.
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
    void freshScopeShowsOnlyTheDisc();
    void vectorDirectionAndColour_data();
    void vectorDirectionAndColour();
    void lengthFollowsAmplitude_data();
    void lengthFollowsAmplitude();
    void keepsTheLastTwentySymbols();
    void discFitsTheSmallerSide();
    void constructedAsADock();
};

void TestPhaseScopeVectors::freshScopeShowsOnlyTheDisc()
{
    PhaseScope scope;
    const QImage image = render(scope);
    for (int y = 5; y <= 95; ++y)
        for (int x = 5; x <= 95; ++x)
            if (std::hypot(x - 50, y - 50) < 48)
                QVERIFY2(isBlack(image.pixel(x, y)), qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
    // Outside the disc the widget's own background.
    QVERIFY(!isBlack(image.pixel(2, 2)));
    QVERIFY(!isBlack(image.pixel(98, 98)));
}

void TestPhaseScopeVectors::vectorDirectionAndColour_data()
{
    QTest::addColumn<long>("dangle");
    QTest::addColumn<double>("direction"); // degrees from 3 o'clock, counter-clockwise
    QTest::addColumn<int>("hue");
    QTest::newRow("no change: up, green") << 0L << 90.0 << 120;
    QTest::newRow("quarter turn: left, red") << kQuarterTurn << 180.0 << 0;
    QTest::newRow("minus a quarter: right, red") << -kQuarterTurn << 0.0 << 0;
    QTest::newRow("reversal: down, green") << (2 * kQuarterTurn - 1) << 270.0 << 120;
    QTest::newRow("reversal from below: down, green") << -2 * kQuarterTurn << 270.0 << 120;
    QTest::newRow("eighth turn: up-left, yellow") << kQuarterTurn / 2 << 135.0 << 60;
    QTest::newRow("minus an eighth: up-right, yellow") << -kQuarterTurn / 2 << 45.0 << 60;
}

void TestPhaseScopeVectors::vectorDirectionAndColour()
{
    QFETCH(long, dangle);
    QFETCH(double, direction);
    QFETCH(int, hue);
    PhaseScope scope;
    scope.onPskSymbol(dangle, 1000);
    const QImage image = render(scope);

    for (int d = 6; d <= 40; d += 2) {
        const QColor c(along(image, direction, d));
        QVERIFY2(std::abs(c.hsvHue() - hue) <= 4 && c.hsvSaturation() > 230 && c.value() > 230,
                 qPrintable(QStringLiteral("%1 px: %2").arg(d).arg(c.name())));
    }
    // Nothing in the other directions.
    for (double other : {direction + 90.0, direction + 180.0, direction + 270.0})
        QCOMPARE(reach(image, other), 0);
}

void TestPhaseScopeVectors::lengthFollowsAmplitude_data()
{
    // 1000 is the disc's radius (50 px here); nothing is longer than 90 % of it.
    QTest::addColumn<long>("amp");
    QTest::addColumn<int>("length");
    QTest::newRow("full") << 1000L << 45;
    QTest::newRow("overdriven") << 5000L << 45;
    QTest::newRow("half") << 500L << 25;
    QTest::newRow("a fifth") << 200L << 10;
}

void TestPhaseScopeVectors::lengthFollowsAmplitude()
{
    QFETCH(long, amp);
    QFETCH(int, length);
    PhaseScope scope;
    scope.onPskSymbol(0, amp);
    const QImage image = render(scope);
    // The pen is two pixels wide with a square cap, so the end may stand
    // out by one.
    QVERIFY2(std::abs(reach(image, 90.0) - length) <= 1, qPrintable(QString::number(reach(image, 90.0))));
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
    scope.resize(200, 81);
    scope.onPskSymbol(-kQuarterTurn, 1000);
    QImage image(200, 81, QImage::Format_ARGB32);
    image.fill(Qt::white);
    scope.render(&image);
    // Radius (81 - 1) / 2 = 40 about (99, 40).
    QVERIFY(isBlack(image.pixel(99 - 38, 40)));
    QVERIFY(!isBlack(image.pixel(99 - 43, 40)));
    QVERIFY(isBlack(image.pixel(99, 40 + 38)));
    // The vector: 90 % of 40 to the right.
    QVERIFY(!isBlack(image.pixel(99 + 30, 40)));
    QVERIFY(isBlack(image.pixel(99 + 38, 40)));
}

void TestPhaseScopeVectors::constructedAsADock()
{
    PhaseScope scope;
    QCOMPARE(scope.objectName(), QStringLiteral("PhaseScope"));
    QCOMPARE(scope.windowTitle(), QStringLiteral("Form"));
    QCOMPARE(scope.size(), QSize(180, 147));
    QCOMPARE(scope.minimumSize(), QSize(50, 50));
    QCOMPARE(scope.sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QCOMPARE(scope.sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    QVERIFY(scope.sizePolicy().hasHeightForWidth());
}

QTEST_MAIN(TestPhaseScopeVectors)
#include "tst_phasescopevectors.moc"
