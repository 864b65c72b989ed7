// Pixels of the rendered colour fades and of the copies that put them on the bar.
#include "BarHost.h"

#include "platform/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTest>

#include <cmath>

using namespace orvel;
using orvel::test::BarHost;
using orvel::test::rgbOf;
using orvel::test::screenOf;

namespace {

constexpr std::uint32_t Black = 0x000000;
constexpr std::uint32_t White = 0xFFFFFF;
constexpr std::uint32_t Red = 0x0000FF;
constexpr std::uint32_t Blue = 0xFF0000;

int grey(const PictureSurface& s, int x, int y)
{
    const std::uint32_t c = s.GetPixel(x, y);
    return static_cast<int>(c & 0xFF);
}

bool isGrey(std::uint32_t c)
{
    return (c & 0xFF) == ((c >> 8) & 0xFF) && (c & 0xFF) == ((c >> 16) & 0xFF);
}

// A bar 100 x 20 with a black-to-white background fade and a red-to-blue filled-part
// fade, no caption, at `value`.
void setUp(MProgress& bar, int fade, int fadeStyle)
{
    bar.setFadeBG1(Black);
    bar.setFadeBG2(White);
    bar.setFadeFG1(Red);
    bar.setFadeFG2(Blue);
    bar.setFadeStyle(fadeStyle);
    bar.setFade(fade);
    bar.setDisablePercent(true); // with no Caption: nothing is written over the fades
}

QList<QRgb> column(const QImage& image, int x)
{
    QList<QRgb> c;
    for (int y = 0; y < image.height(); ++y)
        c.append(image.pixel(x, y) & 0xFFFFFF);
    return c;
}

} // namespace

class TestFades : public QObject {
    Q_OBJECT
private slots:
    void blackToWhiteOverHundredColumns();
    void blendLaws_data();
    void blendLaws();
    void driftingBlends_data();
    void driftingBlends();
    void verticalFade();
    void fixedCopiesAtEdge49();
    void slidingCopiesAtEdge49();
    void otherDirectionsCopy_data();
    void otherDirectionsCopy();
    void verticalFadeLooksTheSameFixedOrSliding();
    void noFadeIsTwoPlainColours();
    void fadeCodesAboveTwoCopyWhatTheBuffersHold();
    void unknownDirectionCopiesNothing();
    void systemColoursRenderAsTheScreenShowsThem();
    void manualModeRendersWithoutPainting();
};

void TestFades::blackToWhiteOverHundredColumns()
{
    BarHost host(100, 20, [](MProgress& bar) { setUp(bar, 1, 1); });
    const PictureSurface& dbg = *host.bar->DBG();
    QCOMPARE(grey(dbg, 0, 0), 0);
    QCOMPARE(grey(dbg, 1, 0), 3); // 2.55
    QCOMPARE(grey(dbg, 40, 0), 102);
    QCOMPARE(grey(dbg, 99, 0), 252); // one step short of white
    int previous = -1;
    for (int x = 0; x < 100; ++x) {
        const int g = grey(dbg, x, 0);
        QVERIFY2(std::fabs(g - 2.55 * x) <= 0.51, qPrintable(QStringLiteral("column %1 shows %2").arg(x).arg(g)));
        QVERIFY(g >= previous);
        QVERIFY(g != 255);
        previous = g;
        for (int y = 0; y < 20; ++y) // every row alike, every pixel grey
            QCOMPARE(dbg.GetPixel(x, y), dbg.GetPixel(x, 0));
        QVERIFY(isGrey(dbg.GetPixel(x, 0)));
    }
}

void TestFades::blendLaws_data()
{
    QTest::addColumn<int>("blend");
    QTest::addColumn<int>("lastColumn");
    QTest::newRow("0 linear") << 0 << 252;
    QTest::newRow("1 three quarters") << 1 << 189;
    QTest::newRow("2 half") << 2 << 126;
    QTest::newRow("3 quarter") << 3 << 63;
    QTest::newRow("7 unchanged") << 7 << 0;
    QTest::newRow("100 unchanged") << 100 << 0;
    QTest::newRow("-1 unchanged") << -1 << 0;
}

void TestFades::blendLaws()
{
    QFETCH(int, blend);
    QFETCH(int, lastColumn);
    BarHost host(100, 20, [&](MProgress& bar) {
        setUp(bar, 1, 1);
        bar.setBlend(blend);
    });
    QCOMPARE(grey(*host.bar->DBG(), 99, 10), lastColumn);
    if (lastColumn == 0) { // the whole image in the start colour, the filled part too
        QCOMPARE(orvel::test::countPixels(host.bar->DBG()->picture(), rgbOf(Black)), 100 * 20);
        QCOMPARE(orvel::test::countPixels(host.bar->DFG()->picture(), rgbOf(Red)), 100 * 20);
    }
}

void TestFades::driftingBlends_data()
{
    QTest::addColumn<int>("blend");
    QTest::addColumn<std::uint32_t>("colour"); // start and end alike: no linear part
    QTest::addColumn<int>("column99");
    // cos(0) = 1 and sin(0) = 0: black climbs by one level per column, or stays.
    QTest::newRow("4 from black") << 4 << Black << 99;
    QTest::newRow("5 from black") << 5 << Black << 99;
    QTest::newRow("6 from black, clamped at 0") << 6 << Black << 0;
    // cos(255) - sin(255) = -0.356: white falls; the opposite sign is clamped at 255.
    QTest::newRow("5 from white") << 5 << White << 220;
    QTest::newRow("6 from white, clamped at 255") << 6 << White << 255;
}

void TestFades::driftingBlends()
{
    QFETCH(int, blend);
    QFETCH(std::uint32_t, colour);
    QFETCH(int, column99);
    BarHost host(100, 20, [&](MProgress& bar) {
        setUp(bar, 1, 1);
        bar.setFadeBG1(colour);
        bar.setFadeBG2(colour);
        bar.setBlend(blend);
    });
    QCOMPARE(grey(*host.bar->DBG(), 99, 0), column99);
    for (int x = 0; x < 100; ++x)
        QVERIFY(isGrey(host.bar->DBG()->GetPixel(x, 0)));
}

void TestFades::verticalFade()
{
    BarHost host(100, 20, [](MProgress& bar) { setUp(bar, 2, 1); });
    const PictureSurface& dbg = *host.bar->DBG();
    const int expected[] = {0, 13, 26, 38, 51, 64, 76, 89, 102, 115, 128, 140, 153, 166, 178, 191, 204, 217, 230, 242};
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 100; ++x)
            QCOMPARE(grey(dbg, x, y), expected[y]);
}

void TestFades::fixedCopiesAtEdge49()
{
    BarHost host(100, 20, [](MProgress& bar) { setUp(bar, 1, 0); });
    host.bar->setValue(5000);
    const QImage& bg = host.bar->BG()->picture();
    const QImage& fg = host.bar->FG()->picture();
    const QImage& dbg = host.bar->DBG()->picture();
    const QImage& dfg = host.bar->DFG()->picture();
    QCOMPARE(host.bar->FG()->Left(), -1);
    QCOMPARE(host.bar->FG()->Width(), 50);
    for (int x = 49; x <= 99; ++x)
        QCOMPARE(column(bg, x), column(dbg, x));
    for (int x = 1; x <= 49; ++x)
        QCOMPARE(column(fg, x), column(dfg, x - 1));
    // On screen every pixel shows the fade pixel at the same place of the control.
    const QImage screen = screenOf(*host.bar);
    for (int x = 0; x < 100; ++x)
        QCOMPARE(column(screen, x), column(x < 49 ? dfg : dbg, x));
}

void TestFades::slidingCopiesAtEdge49()
{
    BarHost host(100, 20, [](MProgress& bar) { setUp(bar, 1, 1); });
    host.bar->setValue(5000);
    const QImage& bg = host.bar->BG()->picture();
    const QImage& fg = host.bar->FG()->picture();
    const QImage& dbg = host.bar->DBG()->picture();
    const QImage& dfg = host.bar->DFG()->picture();
    for (int x = 49; x <= 99; ++x)
        QCOMPARE(column(bg, x), column(dbg, x - 49));
    for (int x = 1; x <= 49; ++x)
        QCOMPARE(column(fg, x), column(dfg, x + 50));
    // The empty part starts with the fade's first column at the edge; the filled
    // part ends with the fade's last column there.
    const QImage screen = screenOf(*host.bar);
    QCOMPARE(column(screen, 49), column(dbg, 0));
    QCOMPARE(column(screen, 48), column(dfg, 99));
    QCOMPARE(column(screen, 0), column(dfg, 51));
}

void TestFades::otherDirectionsCopy_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("fadeStyle");
    QTest::newRow("1 sliding") << 1 << 1;
    QTest::newRow("1 fixed") << 1 << 0;
    QTest::newRow("2 sliding") << 2 << 1;
    QTest::newRow("2 fixed") << 2 << 0;
    QTest::newRow("3 sliding") << 3 << 1;
    QTest::newRow("3 fixed") << 3 << 0;
}

void TestFades::otherDirectionsCopy()
{
    QFETCH(int, direction);
    QFETCH(int, fadeStyle);
    const bool vertical = direction == 1 || direction == 3;
    // Fades along the direction of growth, so that the copies are told apart.
    BarHost host(vertical ? 20 : 100, vertical ? 100 : 20, [&](MProgress& bar) {
        setUp(bar, vertical ? 2 : 1, fadeStyle);
        bar.setDirection(direction);
    });
    host.bar->setValue(5000);
    const QImage screen = screenOf(*host.bar);
    const PictureSurface& dbg = *host.bar->DBG();
    const PictureSurface& dfg = *host.bar->DFG();
    const bool sliding = fadeStyle == 1;
    // Position p along the bar (column or row) on screen against the buffers.
    auto shown = [&](int p) { return vertical ? screen.pixel(5, p) & 0xFFFFFF : screen.pixel(p, 5) & 0xFFFFFF; };
    auto from = [&](const PictureSurface& s, int p) { return rgbOf(vertical ? s.GetPixel(5, p) : s.GetPixel(p, 5)); };
    switch (direction) {
    case 1: { // FG rows 50..99, e = 50
        QCOMPARE(host.bar->FG()->Top(), 50);
        for (int y = 0; y < 50; ++y)
            QCOMPARE(shown(y), from(dbg, sliding ? y + 50 : y));
        for (int y = 50; y < 100; ++y)
            QCOMPARE(shown(y), from(dfg, sliding ? y - 50 : y));
        break;
    }
    case 2: { // FG columns 50..99, e = 50
        QCOMPARE(host.bar->FG()->Left(), 50);
        for (int x = 0; x < 50; ++x)
            QCOMPARE(shown(x), from(dbg, sliding ? x + 50 : x));
        for (int x = 50; x < 100; ++x)
            QCOMPARE(shown(x), from(dfg, sliding ? x - 50 : x));
        break;
    }
    case 3: { // FG rows -1..48, e = 49
        QCOMPARE(host.bar->FG()->Top(), -1);
        QCOMPARE(host.bar->FG()->Height(), 50);
        for (int y = 0; y < 49; ++y)
            QCOMPARE(shown(y), from(dfg, sliding ? y + 51 : y));
        for (int y = 49; y < 100; ++y)
            QCOMPARE(shown(y), from(dbg, sliding ? y - 49 : y));
        break;
    }
    }
}

void TestFades::verticalFadeLooksTheSameFixedOrSliding()
{
    BarHost fixed(100, 20, [](MProgress& bar) { setUp(bar, 2, 0); });
    BarHost sliding(100, 20, [](MProgress& bar) { setUp(bar, 2, 1); });
    fixed.bar->setValue(3700);
    sliding.bar->setValue(3700);
    QCOMPARE(screenOf(*fixed.bar), screenOf(*sliding.bar));
    // ... and it is not a blank picture
    QVERIFY(screenOf(*fixed.bar).pixel(10, 0) != screenOf(*fixed.bar).pixel(10, 19));
}

void TestFades::noFadeIsTwoPlainColours()
{
    BarHost host(100, 20, [](MProgress& bar) {
        setUp(bar, 0, 1);
        bar.setBackColor(White);
        bar.setForeColor(Blue);
    });
    host.bar->setValue(5000);
    const QImage screen = screenOf(*host.bar);
    QCOMPARE(orvel::test::countPixels(screen, rgbOf(Blue), QRect(0, 0, 49, 20)), 49 * 20);
    QCOMPARE(orvel::test::countPixels(screen, rgbOf(White), QRect(49, 0, 51, 20)), 51 * 20);
}

void TestFades::fadeCodesAboveTwoCopyWhatTheBuffersHold()
{
    BarHost host(100, 20, [](MProgress& bar) { setUp(bar, 1, 0); });
    host.bar->setValue(5000);
    const QImage rendered = host.bar->DBG()->picture();
    host.bar->setFade(3); // nothing rendered, the old images are still copied
    QCOMPARE(host.bar->DBG()->picture(), rendered);
    QCOMPARE(column(screenOf(*host.bar), 70), column(rendered, 70));
    // Resolving a system colour leaves DBG filled with it, and that is what shows.
    host.bar->setFadeBG2(0x80000014);
    const QRgb light = ToQColor(0x80000014).rgb() & 0xFFFFFF;
    QCOMPARE(orvel::test::countPixels(host.bar->DBG()->picture(), light), 100 * 20);
    QCOMPARE(orvel::test::countPixels(screenOf(*host.bar), light, QRect(49, 0, 51, 20)), 51 * 20);
}

void TestFades::unknownDirectionCopiesNothing()
{
    BarHost host(100, 20, [](MProgress& bar) {
        setUp(bar, 1, 1);
        bar.setBackColor(0x00FF00);
    });
    host.bar->setValue(5000);
    host.bar->setDirection(4);
    host.bar->setFadeBG1(0x404040); // renders anew and repaints
    QCOMPARE(orvel::test::countPixels(host.bar->BG()->picture(), qRgb(0, 255, 0)), 100 * 20);
}

void TestFades::systemColoursRenderAsTheScreenShowsThem()
{
    BarHost host(100, 20); // the default colours are all system colours
    const QPalette palette = QGuiApplication::palette();
    QCOMPARE(rgbOf(host.bar->DBG()->GetPixel(50, 0)), palette.color(QPalette::Dark).rgb() & 0xFFFFFF);
    QCOMPARE(rgbOf(host.bar->DFG()->GetPixel(50, 0)), palette.color(QPalette::HighlightedText).rgb() & 0xFFFFFF);
    QCOMPARE(host.bar->FadeBG1(), 0x80000010u); // the property keeps the system colour
    // The fade's start row is the button shadow, its last row close to the 3-D highlight.
    const QColor last = QColor::fromRgb(rgbOf(host.bar->DBG()->GetPixel(50, 19)));
    const QColor light = palette.color(QPalette::Light);
    QVERIFY(std::abs(last.red() - light.red()) <= std::abs(light.red() - palette.color(QPalette::Dark).red()) / 10 + 1);
}

void TestFades::manualModeRendersWithoutPainting()
{
    BarHost host(100, 20, [](MProgress& bar) { setUp(bar, 1, 1); });
    host.bar->setValue(5000);
    host.bar->setManualRefresh(true);
    host.bar->setBackColor(0x00FF00); // clears BG, renders, does not paint
    QCOMPARE(orvel::test::countPixels(host.bar->BG()->picture(), qRgb(0, 255, 0)), 100 * 20);
    host.bar->Refresh();
    QCOMPARE(column(host.bar->BG()->picture(), 60), column(host.bar->DBG()->picture(), 11));
}

QTEST_MAIN(TestFades)
#include "test_fades.moc"
