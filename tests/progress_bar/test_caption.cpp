// Where the caption goes, on which surface, in which colours, and when the surfaces
// are cleared for it.
#include "BarHost.h"

#include <QTest>

using namespace orvel;
using namespace orvel::test;

class TestCaption : public QObject {
    Q_OBJECT
private slots:
    void invertedWhereTheEdgeCrosses();
    void placement_data();
    void placement();
    void withoutFades();
};

void TestCaption::invertedWhereTheEdgeCrosses()
{
    const int width = 201; // odd: the centred caption starts on a half pixel
    BarHost host(width, 20, plain);
    host.bar->setValue(5000);
    const QImage screen = screenOf(*host.bar);
    const QImage bg = host.bar->BG()->picture(); // the whole caption, black on white
    const int edge = host.bar->FG()->Left() + host.bar->FG()->Width();
    int textLeft = 0;
    int textRight = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < width; ++x) {
            const bool text = (bg.pixel(x, y) & 0xFFFFFF) == Black;
            const bool overBar = x < edge; // there: white text on black
            QCOMPARE(screen.pixel(x, y) & 0xFFFFFF, text == overBar ? White : Black);
            (overBar ? textLeft : textRight) += text;
        }
    QVERIFY(textLeft > 0);
    QVERIFY(textRight > 0);
}

void TestCaption::placement_data()
{
    // Along the bar the caption starts at base + factor * (its length along the bar)
    // + inset, on the surface named; where it goes on both, FG's coordinate is BG's
    // plus fgShift. 200 pixels along, half way: FG is 100 long, from -1 in directions
    // 0 and 3, from 100 in 1 and 2.
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<QString>("on");
    QTest::addColumn<double>("base");
    QTest::addColumn<double>("factor");
    QTest::addColumn<double>("fgShift");
    const auto row = [](int d, int a, const char* on, double base, double factor, double fgShift = 0) {
        QTest::addRow("%d/%d", d, a) << d << a << QString(on) << base << factor << fgShift;
    };
    row(0, 1, "BG", 100, 0); // just past the leading edge
    row(0, 2, "FG", 100, -1); // against it, in the bar
    row(0, 3, "BG", 150, -0.5); // centre of the empty part
    row(0, 4, "FG", 50, -0.5); // centre of the filled part (2 alike)
    row(0, 6, "both", 200, -1, 1); // the control's end
    row(0, 0, "both", 100, -0.5, 1); // centred
    row(2, 1, "BG", 100, -1);
    row(2, 2, "FG", 0, 0);
    row(2, 3, "BG", 50, -0.5);
    row(1, 1, "BG", 100, -1);
    row(1, 2, "FG", 0, 0);
    row(1, 3, "BG", 50, -0.5);
    row(1, 4, "FG", 50, -0.5); // (3 alike)
    row(1, 5, "both", 0, 0, -100); // the control's start
    row(1, 6, "both", 200, -1, -100);
    row(1, 0, "both", 100, -0.5, -100);
    row(3, 1, "BG", 100, 0);
    row(3, 2, "FG", 100, -1);
    row(3, 3, "BG", 150, -0.5);
}

void TestCaption::placement()
{
    QFETCH(int, direction);
    QFETCH(int, alignment);
    QFETCH(QString, on);
    QFETCH(double, base);
    QFETCH(double, factor);
    QFETCH(double, fgShift);
    const bool vertical = direction == 1 || direction == 3;
    const int breadth = vertical ? 61 : 21; // odd: centred across on a half pixel
    for (int borderStyle : {6, 1}) { // caption inset 0, then 1
        BarHost host(vertical ? breadth : 200, vertical ? 200 : breadth, [&](MProgress& bar) {
            plain(bar);
            bar.setDirection(direction);
            bar.setAlignment(alignment);
            bar.setBorderStyle(borderStyle);
        });
        host.bar->setValue(5000);
        const double k = borderStyle == 1 ? 1 : 0;
        const PictureSurface* BG = host.bar->BG();
        const PictureSurface* FG = host.bar->FG();
        auto along = [&](const PictureSurface* s) { return double(vertical ? s->CurrentY : s->CurrentX); };
        auto across = [&](const PictureSurface* s) { return double(vertical ? s->CurrentX : s->CurrentY); };
        const double length = vertical ? host.bar->CaptionHeight() : host.bar->CaptionWidth();
        QCOMPARE(along(on == "FG" ? FG : BG), base + factor * length + k);
        if (on == "both")
            QCOMPARE(along(FG), along(BG) + fgShift);
        const double centre = (breadth - (vertical ? host.bar->CaptionWidth() : host.bar->CaptionHeight())) / 2.0 + k;
        QCOMPARE(across(BG), centre);
        QCOMPARE(across(FG), centre - (vertical ? FG->Left() : FG->Top()));
        // Text in a surface's text colour shows only on the surfaces drawn on (on FG
        // it may lie outside the bar, so there it is checked one way only).
        QCOMPARE(countPixels(BG->picture(), Black) > 0, on != "FG");
        if (on != "both")
            QCOMPARE(countPixels(FG->picture(), White) > 0, on == "FG");
    }
}

void TestCaption::withoutFades()
{
    // Nothing else repaints the surfaces: an unchanged caption is left as it stands, a
    // new one replaces the old without a trace, and so does a Caption set on its own.
    BarHost host(200, 20, plain);
    host.bar->setValue(5000);
    const QImage bg = host.bar->BG()->picture();
    host.bar->setValue(5001); // same caption; the bar grows by one pixel
    QCOMPARE(host.bar->BG()->picture(), bg);
    host.bar->setValue(6000);
    host.bar->setCaption(QStringLiteral("Renaming"));
    QCOMPARE(host.bar->CaptionText(), QStringLiteral("Renaming 60 %"));
    BarHost fresh(200, 20, [](MProgress& bar) {
        plain(bar);
        bar.setCaption(QStringLiteral("Renaming"));
    });
    fresh.bar->setValue(6000);
    QCOMPARE(host.bar->BG()->picture(), fresh.bar->BG()->picture());
    QCOMPARE(screenOf(*host.bar), screenOf(*fresh.bar));
}

QTEST_MAIN(TestCaption)
#include "test_caption.moc"
