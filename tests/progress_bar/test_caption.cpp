// Where the caption goes, on which surface, in which colours, and when the surfaces
// are cleared for it.
#include "BarHost.h"

#include <QTest>

using namespace orvel;
using orvel::test::BarHost;
using orvel::test::countPixels;
using orvel::test::screenOf;

namespace {

const QRgb White = qRgb(255, 255, 255) & 0xFFFFFF;
const QRgb Black = 0;

// No fades, white empty part, black filled part: text on BG is black, on FG white.
void plain(MProgress& bar)
{
    bar.setFade(0);
    bar.setBackColor(0xFFFFFF);
    bar.setForeColor(0x000000);
}

QSet<std::pair<int, int>> pixelsOf(const QImage& image, QRgb colour)
{
    QSet<std::pair<int, int>> set;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == colour)
                set.insert({x, y});
    return set;
}

} // namespace

class TestCaption : public QObject {
    Q_OBJECT
private slots:
    void invertedWhereTheEdgeCrosses_data();
    void invertedWhereTheEdgeCrosses();
    void placementAlong_data();
    void placementAlong();
    void placementAcross_data();
    void placementAcross();
    void insetShiftsTheCaption();
    void unchangedCaptionWithoutFadesIsLeftAlone();
    void changedCaptionWithoutFadesClearsFirst();
    void withFadesTheCaptionIsDrawnEveryTime();
    void emptyCaptionDrawsAndClearsNothing();
    void unknownDirectionClearsButDrawsNothing();
    void centredInANarrowBarStaysInTheBar();
    void justPastAFullBarIsOutOfSight();
    void captionSetWithoutFadesIsShown();
};

void TestCaption::invertedWhereTheEdgeCrosses_data()
{
    QTest::addColumn<int>("width");
    QTest::newRow("even width") << 200;
    QTest::newRow("odd width: the centre falls on a half pixel") << 201;
}

void TestCaption::invertedWhereTheEdgeCrosses()
{
    QFETCH(int, width);
    BarHost host(width, 20, plain);
    host.bar->setValue(5000);
    QCOMPARE(host.bar->CaptionText(), QStringLiteral(" 50 %"));
    const QImage screen = screenOf(*host.bar);
    const QImage bg = host.bar->BG()->picture(); // the whole caption in black on white
    const int edge = host.bar->FG()->Left() + host.bar->FG()->Width();
    int left = 0;
    int right = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < width; ++x) {
            const bool text = (bg.pixel(x, y) & 0xFFFFFF) == Black;
            const QRgb shown = screen.pixel(x, y) & 0xFFFFFF;
            if (x < edge) {
                QCOMPARE(shown, text ? White : Black); // over the bar: white text on black
                left += text;
            } else {
                QCOMPARE(shown, text ? Black : White);
                right += text;
            }
        }
    QVERIFY(left > 0);
    QVERIFY(right > 0);
}

void TestCaption::placementAlong_data()
{
    // The caption's coordinate along the bar is base + factor * (its length along the
    // bar) + inset, on the surface named; where it goes on both, FG's coordinate is
    // BG's plus fgShift. Geometry: 200 pixels along, value at half: FG 100 long.
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("on");
    QTest::addColumn<double>("base");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("fgShift");

    // Direction 0: FG at -1, 100 wide.
    QTest::newRow("0/1 past the edge") << 0 << 1 << "BG" << 100.0 << 0.0 << 0.0;
    QTest::newRow("0/2 against the edge") << 0 << 2 << "FG" << 100.0 << -1.0 << 0.0;
    QTest::newRow("0/3 centre of empty") << 0 << 3 << "BG" << 150.0 << -0.5 << 0.0;
    QTest::newRow("0/4 centre of filled") << 0 << 4 << "FG" << 50.0 << -0.5 << 0.0;
    QTest::newRow("0/5 left end") << 0 << 5 << "both" << 0.0 << 0.0 << 1.0;
    QTest::newRow("0/6 right end") << 0 << 6 << "both" << 200.0 << -1.0 << 1.0;
    QTest::newRow("0/0 centred") << 0 << 0 << "both" << 100.0 << -0.5 << 1.0;
    QTest::newRow("0/7 centred") << 0 << 7 << "both" << 100.0 << -0.5 << 1.0;
    // Direction 2: FG at 100, 100 wide.
    QTest::newRow("2/1 past the edge") << 2 << 1 << "BG" << 100.0 << -1.0 << 0.0;
    QTest::newRow("2/2 against the edge") << 2 << 2 << "FG" << 0.0 << 0.0 << 0.0;
    QTest::newRow("2/3 centre of empty") << 2 << 3 << "BG" << 50.0 << -0.5 << 0.0;
    QTest::newRow("2/4 centre of filled") << 2 << 4 << "FG" << 50.0 << -0.5 << 0.0;
    QTest::newRow("2/5 left end") << 2 << 5 << "both" << 0.0 << 0.0 << -100.0;
    QTest::newRow("2/6 right end, where the bar starts") << 2 << 6 << "both" << 200.0 << -1.0 << -100.0;
    QTest::newRow("2/0 centred") << 2 << 0 << "both" << 100.0 << -0.5 << -100.0;
    // Direction 1: FG at top 100, 100 high.
    QTest::newRow("1/1 past the edge") << 1 << 1 << "BG" << 100.0 << -1.0 << 0.0;
    QTest::newRow("1/2 against the edge") << 1 << 2 << "FG" << 0.0 << 0.0 << 0.0;
    QTest::newRow("1/3 centre of empty") << 1 << 3 << "BG" << 50.0 << -0.5 << 0.0;
    QTest::newRow("1/4 centre of filled") << 1 << 4 << "FG" << 50.0 << -0.5 << 0.0;
    QTest::newRow("1/5 top end") << 1 << 5 << "both" << 0.0 << 0.0 << -100.0;
    QTest::newRow("1/6 bottom end") << 1 << 6 << "both" << 200.0 << -1.0 << -100.0;
    QTest::newRow("1/0 centred") << 1 << 0 << "both" << 100.0 << -0.5 << -100.0;
    // Direction 3: FG at top -1, 100 high.
    QTest::newRow("3/1 past the edge") << 3 << 1 << "BG" << 100.0 << 0.0 << 0.0;
    QTest::newRow("3/2 against the edge") << 3 << 2 << "FG" << 100.0 << -1.0 << 0.0;
    QTest::newRow("3/3 centre of empty") << 3 << 3 << "BG" << 150.0 << -0.5 << 0.0;
    QTest::newRow("3/4 centre of filled") << 3 << 4 << "FG" << 50.0 << -0.5 << 0.0;
    QTest::newRow("3/5 top end") << 3 << 5 << "both" << 0.0 << 0.0 << 1.0;
    QTest::newRow("3/6 bottom end") << 3 << 6 << "both" << 200.0 << -1.0 << 1.0;
    QTest::newRow("3/0 centred") << 3 << 0 << "both" << 100.0 << -0.5 << 1.0;
}

void TestCaption::placementAlong()
{
    QFETCH(int, direction);
    QFETCH(int, alignment);
    QFETCH(QString, on);
    QFETCH(double, base);
    QFETCH(double, factor);
    QFETCH(double, fgShift);
    const bool vertical = direction == 1 || direction == 3;
    for (int borderStyle : {6, 1}) { // inset 0, then 1
        BarHost host(vertical ? 60 : 200, vertical ? 200 : 20, [&](MProgress& bar) {
            plain(bar);
            bar.setDirection(direction);
            bar.setAlignment(alignment);
            bar.setBorderStyle(borderStyle);
        });
        host.bar->setValue(5000);
        const double k = host.bar->CaptionInset();
        QCOMPARE(k, borderStyle == 1 ? 1.0 : 0.0);
        const double t = vertical ? host.bar->CaptionHeight() : host.bar->CaptionWidth();
        QVERIFY(t > 0);
        const PictureSurface* BG = host.bar->BG();
        const PictureSurface* FG = host.bar->FG();
        auto along = [&](const PictureSurface* s) { return double(vertical ? s->CurrentY : s->CurrentX); };
        const double expected = base + factor * t + k;
        if (on == "FG")
            QCOMPARE(along(FG), expected);
        else
            QCOMPARE(along(BG), expected);
        if (on == "both")
            QCOMPARE(along(FG), expected + fgShift);
        // Text in a surface's text colour shows up only on the surfaces drawn on (on
        // FG it may lie outside the bar, so it is only checked for absence).
        const bool textOnBG = countPixels(BG->picture(), Black) > 0;
        const bool textOnFG = countPixels(FG->picture(), White) > 0;
        QCOMPARE(textOnBG, on != "FG");
        if (on == "BG")
            QVERIFY(!textOnFG);
        if (on == "FG")
            QVERIFY(textOnFG);
    }
}

void TestCaption::placementAcross_data()
{
    QTest::addColumn<int>("direction");
    QTest::newRow("0") << 0;
    QTest::newRow("1") << 1;
    QTest::newRow("2") << 2;
    QTest::newRow("3") << 3;
}

void TestCaption::placementAcross()
{
    QFETCH(int, direction);
    const bool vertical = direction == 1 || direction == 3;
    BarHost host(vertical ? 61 : 200, vertical ? 200 : 21, [&](MProgress& bar) {
        plain(bar);
        bar.setDirection(direction);
        bar.setBorderStyle(2);
    });
    host.bar->setValue(5000);
    const PictureSurface* BG = host.bar->BG();
    const PictureSurface* FG = host.bar->FG();
    if (vertical) {
        const double x = (61 - host.bar->CaptionWidth()) / 2.0 + 1;
        QCOMPARE(double(BG->CurrentX), x);
        QCOMPARE(double(FG->CurrentX), x - FG->Left());
    } else {
        const double y = (21 - host.bar->CaptionHeight()) / 2.0 + 1;
        QCOMPARE(double(BG->CurrentY), y);
        QCOMPARE(double(FG->CurrentY), y - FG->Top());
    }
}

void TestCaption::insetShiftsTheCaption()
{
    BarHost flat(200, 20, plain);
    BarHost inset(200, 20, [](MProgress& bar) {
        plain(bar);
        bar.setBorderStyle(0);
    });
    flat.bar->setValue(3000);
    inset.bar->setValue(3000);
    QSet<std::pair<int, int>> shifted;
    for (const auto& [x, y] : pixelsOf(flat.bar->BG()->picture(), Black))
        shifted.insert({x + 1, y + 1});
    QVERIFY(!shifted.isEmpty());
    QCOMPARE(pixelsOf(inset.bar->BG()->picture(), Black), shifted);
}

void TestCaption::unchangedCaptionWithoutFadesIsLeftAlone()
{
    BarHost host(200, 20, plain);
    host.bar->setValue(5000);
    const QImage bg = host.bar->BG()->picture();
    const QImage fg = host.bar->FG()->picture();
    host.bar->setValue(5001); // same caption; the bar grows by one pixel
    QCOMPARE(host.bar->FG()->Width(), 101);
    QCOMPARE(host.bar->BG()->picture(), bg);
    QCOMPARE(host.bar->FG()->picture().copy(0, 0, 100, 20), fg); // the old text is not moved
    QCOMPARE(countPixels(host.bar->FG()->picture(), Black, QRect(100, 0, 1, 20)), 20);
}

void TestCaption::changedCaptionWithoutFadesClearsFirst()
{
    BarHost host(200, 20, plain);
    host.bar->setValue(5000);
    host.bar->setValue(6000);
    BarHost fresh(200, 20, plain);
    fresh.bar->setValue(6000);
    // Nothing of " 50 %" is left under " 60 %".
    QCOMPARE(host.bar->BG()->picture(), fresh.bar->BG()->picture());
    QCOMPARE(host.bar->FG()->picture(), fresh.bar->FG()->picture());
    QCOMPARE(screenOf(*host.bar), screenOf(*fresh.bar));
}

void TestCaption::withFadesTheCaptionIsDrawnEveryTime()
{
    BarHost host(200, 20, [](MProgress& bar) {
        plain(bar);
        bar.setFadeBG1(0x808080);
        bar.setFadeBG2(0x808080);
        bar.setFadeFG1(0x404040);
        bar.setFadeFG2(0x404040);
        bar.setFade(1);
    });
    host.bar->setValue(5000);
    const int bgText = countPixels(host.bar->BG()->picture(), Black);
    const int fgText = countPixels(host.bar->FG()->picture(), White);
    QVERIFY(bgText > 0);
    QVERIFY(fgText > 0);
    host.bar->setValue(5001); // the fade copies cover the old text; it is drawn again
    QVERIFY(countPixels(host.bar->BG()->picture(), Black) > 0);
    QVERIFY(countPixels(host.bar->FG()->picture(), White) > 0);
    QCOMPARE(countPixels(host.bar->BG()->picture(), qRgb(0x80, 0x80, 0x80) & 0xFFFFFF)
                 + countPixels(host.bar->BG()->picture(), Black),
             200 * 20);
}

void TestCaption::emptyCaptionDrawsAndClearsNothing()
{
    BarHost host(200, 20, plain);
    host.bar->setValue(5000);
    const QImage bg = host.bar->BG()->picture();
    host.bar->setDisablePercent(true); // no Caption: the caption is empty
    QCOMPARE(host.bar->CaptionText(), QString());
    QCOMPARE(host.bar->BG()->picture(), bg); // the earlier text stays
    QVERIFY(countPixels(bg, Black) > 0);
}

void TestCaption::unknownDirectionClearsButDrawsNothing()
{
    BarHost host(200, 20, plain);
    host.bar->setValue(5000);
    host.bar->setDirection(4);
    host.bar->setValue(6000); // a new caption: both surfaces cleared, no text
    QCOMPARE(countPixels(host.bar->BG()->picture(), White), 200 * 20);
    QCOMPARE(countPixels(host.bar->FG()->picture(), Black), 100 * 20);
}

void TestCaption::centredInANarrowBarStaysInTheBar()
{
    BarHost host(200, 20, [](MProgress& bar) {
        plain(bar);
        bar.setAlignment(4);
    });
    host.bar->setValue(500); // a bar 10 pixels long, narrower than the caption
    QVERIFY(host.bar->CaptionWidth() > host.bar->FG()->Width());
    QVERIFY(host.bar->FG()->CurrentX < 0);
    QCOMPARE(countPixels(host.bar->BG()->picture(), Black), 0);
    const QImage screen = screenOf(*host.bar);
    QCOMPARE(countPixels(screen, Black, QRect(9, 0, 191, 20)), 0); // nothing in the empty part
    QVERIFY(countPixels(screen, White, QRect(0, 0, 9, 20)) > 0); // the cut caption in the bar
}

void TestCaption::justPastAFullBarIsOutOfSight()
{
    BarHost host(200, 20, [](MProgress& bar) {
        plain(bar);
        bar.setAlignment(1);
    });
    host.bar->setValue(10000);
    QCOMPARE(double(host.bar->BG()->CurrentX), 201.0);
    QCOMPARE(countPixels(screenOf(*host.bar), White), 0); // all bar, no caption
}

void TestCaption::captionSetWithoutFadesIsShown()
{
    BarHost host(200, 20, plain);
    host.bar->setValue(5000);
    const QImage before = host.bar->BG()->picture();
    host.bar->setCaption(QStringLiteral("Renaming"));
    QCOMPARE(host.bar->CaptionText(), QStringLiteral("Renaming 50 %"));
    QVERIFY(host.bar->BG()->picture() != before);
    BarHost fresh(200, 20, [](MProgress& bar) {
        plain(bar);
        bar.setCaption(QStringLiteral("Renaming"));
    });
    fresh.bar->setValue(5000);
    QCOMPARE(host.bar->BG()->picture(), fresh.bar->BG()->picture());
}

QTEST_MAIN(TestCaption)
#include "test_caption.moc"
