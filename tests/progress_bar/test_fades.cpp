// Pixels of the rendered colour fades, of the copies that put them on the bar, and the
// colour values behind them.
#include "BarHost.h"

#include "platform/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTest>

#include <cmath>

using namespace orvel;
using namespace orvel::test;

namespace {

// Black to white behind, red to blue in the filled part, and no caption over them.
void fades(MProgress& bar, int fade, int fadeStyle)
{
    bar.setFadeBG1(0x000000);
    bar.setFadeBG2(0xFFFFFF);
    bar.setFadeFG1(0x0000FF);
    bar.setFadeFG2(0xFF0000);
    bar.setFadeStyle(fadeStyle);
    bar.setFade(fade);
    bar.setDisablePercent(true);
}

} // namespace

class TestFades : public QObject {
    Q_OBJECT
private slots:
    void fadeByBlend_data();
    void fadeByBlend();
    void copiesOntoTheBar_data();
    void copiesOntoTheBar();
    void colours_data();
    void colours();
};

void TestFades::fadeByBlend_data()
{
    // Each blend law moves a channel by a share of the linear step; unknown codes
    // leave the start colour everywhere.
    QTest::addColumn<int>("fade");
    QTest::addColumn<int>("blend");
    QTest::addColumn<double>("share");
    QTest::newRow("horizontal, 0 linear") << 1 << 0 << 1.0;
    QTest::newRow("horizontal, 1") << 1 << 1 << 0.75;
    QTest::newRow("horizontal, 2") << 1 << 2 << 0.5;
    QTest::newRow("horizontal, 3") << 1 << 3 << 0.25;
    QTest::newRow("horizontal, 7") << 1 << 7 << 0.0;
    QTest::newRow("horizontal, -1") << 1 << -1 << 0.0;
    QTest::newRow("vertical, 0 linear") << 2 << 0 << 1.0;
}

void TestFades::fadeByBlend()
{
    QFETCH(int, fade);
    QFETCH(int, blend);
    QFETCH(double, share);
    BarHost host(100, 20, [&](MProgress& bar) {
        fades(bar, fade, 1);
        bar.setBlend(blend);
    });
    const QImage& dbg = host.bar->DBG()->picture();
    const bool horizontal = fade == 1;
    const int length = horizontal ? 100 : 20;
    for (int p = 0; p < length; ++p) {
        // Pixel p shows the colour after p steps of 255 / length: the last one short of white.
        const QRgb c = (horizontal ? dbg.pixel(p, 0) : dbg.pixel(0, p)) & 0xFFFFFF;
        const double expected = 255.0 / length * share * p;
        QVERIFY2(std::fabs(qRed(c) - expected) <= 0.51, qPrintable(QString("pixel %1: %2").arg(p).arg(qRed(c))));
        QCOMPARE(c, qRgb(qRed(c), qRed(c), qRed(c)) & 0xFFFFFF);
        QCOMPARE((horizontal ? dbg.pixel(p, 19) : dbg.pixel(99, p)) & 0xFFFFFF, c); // stretched across
    }
}

void TestFades::copiesOntoTheBar_data()
{
    // Half way along 100 pixels. The filled part comes first in directions 0 and 3 and
    // ends at e = 49, as FG starts one pixel early; in 1 and 2 it starts at 50.
    // Position p on screen shows the fade buffer's pixel p + shift.
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("fadeStyle");
    QTest::addColumn<int>("filledShift");
    QTest::addColumn<int>("emptyShift");
    QTest::newRow("0 fixed") << 0 << 0 << 0 << 0;
    QTest::newRow("0 sliding") << 0 << 1 << 51 << -49;
    QTest::newRow("1 fixed") << 1 << 0 << 0 << 0;
    QTest::newRow("1 sliding") << 1 << 1 << -50 << 50;
    QTest::newRow("2 fixed") << 2 << 0 << 0 << 0;
    QTest::newRow("2 sliding") << 2 << 1 << -50 << 50;
    QTest::newRow("3 fixed") << 3 << 0 << 0 << 0;
    QTest::newRow("3 sliding") << 3 << 1 << 51 << -49;
}

void TestFades::copiesOntoTheBar()
{
    QFETCH(int, direction);
    QFETCH(int, fadeStyle);
    QFETCH(int, filledShift);
    QFETCH(int, emptyShift);
    const bool vertical = direction == 1 || direction == 3;
    const bool filledFirst = direction == 0 || direction == 3;
    // Fades along the direction of growth, so that shifted copies are told apart.
    BarHost host(vertical ? 20 : 100, vertical ? 100 : 20, [&](MProgress& bar) {
        fades(bar, vertical ? 2 : 1, fadeStyle);
        bar.setDirection(direction);
    });
    host.bar->setValue(5000);
    const QImage screen = screenOf(*host.bar);
    const QImage& dbg = host.bar->DBG()->picture();
    const QImage& dfg = host.bar->DFG()->picture();
    auto at = [&](const QImage& image, int p) { return (vertical ? image.pixel(5, p) : image.pixel(p, 5)) & 0xFFFFFF; };
    const int e = filledFirst ? 49 : 50;
    for (int p = 0; p < 100; ++p) {
        const bool filled = (p < e) == filledFirst;
        QCOMPARE(at(screen, p), at(filled ? dfg : dbg, p + (filled ? filledShift : emptyShift)));
    }
}

void TestFades::colours_data()
{
    // What a colour value shows on screen: system colours follow the palette.
    QTest::addColumn<uint>("value");
    QTest::addColumn<QColor>("colour");
    const QPalette palette = QGuiApplication::palette();
    QTest::newRow("13 selection highlight") << 0x8000000Du << palette.color(QPalette::Highlight);
    QTest::newRow("14 highlighted text") << 0x8000000Eu << palette.color(QPalette::HighlightedText);
    QTest::newRow("16 button shadow") << 0x80000010u << palette.color(QPalette::Dark);
    QTest::newRow("18 button text") << 0x80000012u << palette.color(QPalette::ButtonText);
    QTest::newRow("20 3-D highlight") << 0x80000014u << palette.color(QPalette::Light);
    QTest::newRow("an index no colour stands for") << 0x800000FFu << QColor(Qt::black);
    QTest::newRow("direct: red in the low byte") << 0x000000FFu << QColor(255, 0, 0);
}

void TestFades::colours()
{
    QFETCH(uint, value);
    QFETCH(QColor, colour);
    QCOMPARE(ToQColor(value), QColor(colour.rgb()));
    QCOMPARE(ResolveColor(value), uint(colour.red() | colour.green() << 8 | colour.blue() << 16));
}

QTEST_MAIN(TestFades)
#include "test_fades.moc"
