// What the bar puts on screen: the fade images and their copies onto the bar, the
// caption's place, colours and clearing, and colour values on any palette.
#include "BarHost.h"

#include "platform/Contrast.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScopeGuard>
#include <QTest>

#include <cmath>

using namespace orvel;
using namespace orvel::test;

struct FadeCase {
    int direction, fadeStyle, blend;
    double share;
    int filledShift, emptyShift;
};
struct Placement {
    int direction, alignment;
    QString on;
    double base, factor, fgShift;
};
Q_DECLARE_METATYPE(FadeCase)
Q_DECLARE_METATYPE(Placement)

class TestPainting : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fades_data()
    {
        // Fades along the bar, which is half way along 100 pixels. Each blend law moves a
        // channel by a share of the linear step; unknown laws stay at the start colour. The
        // filled part comes first in directions 0 and 3 and ends at e = 49, as FG starts one
        // pixel early; in 1 and 2 it starts at 50. Pixel p on screen shows the fade buffer's
        // pixel p + shift (filled, empty).
        QTest::addColumn<FadeCase>("c");
        const FadeCase rows[] = {{0, 0, 0, 1.0, 0, 0},     {0, 1, 1, 0.75, 51, -49}, {1, 0, 2, 0.5, 0, 0},
                                 {1, 1, 3, 0.25, -50, 50}, {2, 0, 0, 1.0, 0, 0},     {2, 1, 0, 1.0, -50, 50},
                                 {3, 0, 0, 1.0, 0, 0},     {3, 1, 0, 1.0, 51, -49},  {0, 0, 7, 0.0, 0, 0}};
        for (const FadeCase& c : rows)
            QTest::addRow("direction %d, style %d, blend %d", c.direction, c.fadeStyle, c.blend) << c;
    }

    void fades()
    {
        QFETCH(FadeCase, c);
        const bool vertical = c.direction == 1 || c.direction == 3;
        // The fade behind the empty part starts at a system colour, the button text: black.
        BarHost host(vertical ? 20 : 100, vertical ? 100 : 20, [&](MProgress& bar) {
            bar.setFadeBG1(0x80000012), bar.setFadeBG2(0xFFFFFF), bar.setFadeFG1(0x0000FF), bar.setFadeFG2(0xFF0000);
            bar.setFadeStyle(c.fadeStyle), bar.setFade(vertical ? 2 : 1), bar.setDisablePercent(true);
            bar.setDirection(c.direction), bar.setBlend(c.blend);
        });
        host.bar->setValue(5000);
        const QImage screen = screenOf(*host.bar);
        const QImage& dbg = host.bar->DBG()->picture();
        const QImage& dfg = host.bar->DFG()->picture();
        auto at = [&](const QImage& i, int p, int q = 5) {
            return (vertical ? i.pixel(q, p) : i.pixel(p, q)) & 0xFFFFFF;
        };
        const bool filledFirst = c.direction == 0 || c.direction == 3;
        for (int p = 0; p < 100; ++p) {
            // Black to white: pixel p shows the colour after p steps, the last one short of white.
            const QRgb grey = at(dbg, p, 0);
            QVERIFY2(std::fabs(qRed(grey) - 2.55 * c.share * p) <= 0.51,
                     qPrintable(QString("%1: %2").arg(p).arg(qRed(grey))));
            QCOMPARE(grey, qRgb(qRed(grey), qRed(grey), qRed(grey)) & 0xFFFFFF);
            QCOMPARE(at(dbg, p, 19), grey); // stretched across
            // Red to blue behind the filled part: blue rises as the grey does.
            QCOMPARE(at(dfg, p, 0), qRgb(qRed(at(dfg, p, 0)), 0, qRed(grey)) & 0xFFFFFF);
            const bool filled = (p < (filledFirst ? 49 : 50)) == filledFirst;
            QCOMPARE(at(screen, p), at(filled ? dfg : dbg, p + (filled ? c.filledShift : c.emptyShift)));
        }
    }

    void coloursFollowThePalette()
    {
        // A dark theme as applications often set one: faces and texts, the 3-D shades left
        // as the light palette has them. On the main window's bar " 0 %" is drawn in the
        // palette's colour and reads at 4.5:1 or better against the bar, also when the
        // palette changes after the bar was built.
        const QPalette light = QGuiApplication::palette();
        const auto restore = qScopeGuard([light] { QGuiApplication::setPalette(light); });
        QPalette dark = light;
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
            dark.setColor(role, QColor(53, 53, 53));
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            dark.setColor(role, Qt::white);
        QPalette grey = light; // a text that only black lets read at 4.5:1
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            grey.setColor(role, QColor(118, 118, 118));
        for (const auto& [built, shown] : {std::pair{light, light}, {dark, dark}, {light, dark}, {grey, grey}}) {
            QGuiApplication::setPalette(built);
            QWidget window;
            MProgress* bar = CreateFromSavedProperties(QFINDTESTDATA("../../main_window/ProgressBar1.ini"), &window);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QGuiApplication::setPalette(shown);
            // The bar is empty and its fade runs across it, one colour a row. The caption
            // shows in the palette's button text colour, and that reads on every row; the
            // grey shades stay grey, every channel moved alike.
            const auto unreadable = [bar]() -> QString {
                const QRgb text = QGuiApplication::palette().color(QPalette::ButtonText).rgb();
                const QImage screen = screenOf(*bar);
                if (!shows(screen, text & 0xFFFFFF))
                    return QStringLiteral("no caption in the button text colour");
                for (int y = 0; y < screen.height(); ++y)
                    if (ContrastRatio(text, screen.pixel(0, y)) < 4.5
                        || qBlue(screen.pixel(0, y)) != qRed(screen.pixel(0, y)))
                        return QStringLiteral("row %1: %2").arg(y).arg(screen.pixel(0, y), 0, 16);
                return {};
            };
            QTRY_COMPARE(unreadable(), QString());
        }
    }

    void surfaceLimits()
    {
        // A surface takes places and sizes up to 32767 pixels either way, and no more.
        const struct {
            double left, top, width, height;
            bool taken;
        } rows[] = {{0, 0, 32767, 1, true},   {0, 0, 32768, 1, false},     {0, 0, 1, 32767, true},
                    {0, 0, 1, 32768, false},  {-32767, 32767, 1, 1, true}, {32768, 0, 1, 1, false},
                    {0, -32768, 1, 1, false}, {0, 0, -1, 1, false},        {qQNaN(), 0, 1, 1, false}};
        PictureSurface surface(QStringLiteral("surface"), nullptr);
        for (const auto& r : rows)
            QVERIFY2(surface.Move(r.left, r.top, r.width, r.height) == r.taken,
                     qPrintable(QStringLiteral("%1,%2 %3x%4").arg(r.left).arg(r.top).arg(r.width).arg(r.height)));
        QCOMPARE(surface.Left(), -32767); // refused places leave it where it was
    }

    void placement_data()
    {
        // Along the bar the caption starts at base + factor * (its length along the bar)
        // + inset, on the surface named; where it goes on both, FG's coordinate is BG's
        // plus fgShift. 200 pixels along, half way: FG is 100 long, from -1 in directions
        // 0 and 3, from 100 in 1 and 2. Alignment 1 is just past the leading edge, 2 against
        // it in the bar, 3 and 4 centred in the empty and the filled part, 5 and 6 at the
        // control's start and end, 0 centred on it.
        QTest::addColumn<Placement>("c");
        const Placement rows[] = {
            {0, 1, "BG", 100, 0, 0},         {0, 2, "FG", 100, -1, 0},   {0, 3, "BG", 150, -0.5, 0},
            {0, 4, "FG", 50, -0.5, 0},       {0, 6, "both", 200, -1, 1}, {0, 0, "both", 100, -0.5, 1},
            {2, 1, "BG", 100, -1, 0},        {2, 2, "FG", 0, 0, 0},      {2, 3, "BG", 50, -0.5, 0},
            {1, 1, "BG", 100, -1, 0},        {1, 2, "FG", 0, 0, 0},      {1, 3, "BG", 50, -0.5, 0},
            {1, 4, "FG", 50, -0.5, 0},       {1, 5, "both", 0, 0, -100}, {1, 6, "both", 200, -1, -100},
            {1, 0, "both", 100, -0.5, -100}, {3, 1, "BG", 100, 0, 0},    {3, 2, "FG", 100, -1, 0},
            {3, 3, "BG", 150, -0.5, 0}};
        for (const Placement& c : rows)
            QTest::addRow("direction %d, alignment %d", c.direction, c.alignment) << c;
    }

    void placement()
    {
        QFETCH(Placement, c);
        const bool vertical = c.direction == 1 || c.direction == 3;
        const int breadth = vertical ? 61 : 21; // odd: centred across on a half pixel
        BarHost host(vertical ? breadth : 200, vertical ? 200 : breadth, [&](MProgress& bar) {
            plain(bar), bar.setDirection(c.direction), bar.setAlignment(c.alignment), bar.setBorderStyle(1);
        });
        host.bar->setValue(5000);
        const double k = 1; // the caption's inset with border style 1
        const PictureSurface *BG = host.bar->BG(), *FG = host.bar->FG();
        auto along = [&](const PictureSurface* s) { return double(vertical ? s->CurrentY : s->CurrentX); };
        auto across = [&](const PictureSurface* s) { return double(vertical ? s->CurrentX : s->CurrentY); };
        const double length = vertical ? host.bar->CaptionHeight() : host.bar->CaptionWidth();
        QCOMPARE(along(c.on == "FG" ? FG : BG), c.base + c.factor * length + k);
        if (c.on == "both")
            QCOMPARE(along(FG), along(BG) + c.fgShift);
        const double centre = (breadth - (vertical ? host.bar->CaptionWidth() : host.bar->CaptionHeight())) / 2.0 + k;
        QCOMPARE(across(BG), centre);
        QCOMPARE(across(FG), centre - (vertical ? FG->Left() : FG->Top()));
        // Text in a surface's text colour shows only on the surfaces drawn on (on FG
        // it may lie outside the bar, so there it is checked one way only).
        QCOMPARE(shows(BG->picture(), Black), c.on != "FG");
        if (c.on != "both")
            QCOMPARE(shows(FG->picture(), White), c.on == "FG");
    }

    void withoutFades()
    {
        // Where the bar's edge crosses the caption, each side shows in its own surface's
        // colours: white text on the black bar, black text on the white empty part.
        const int width = 201; // odd: the centred caption starts on a half pixel
        BarHost host(width, 20, plain);
        host.bar->setValue(5000);
        const QImage screen = screenOf(*host.bar);
        const QImage bg = host.bar->BG()->picture(); // the whole caption, black on white
        const int edge = host.bar->FG()->Left() + host.bar->FG()->Width();
        int textPixels[2] = {0, 0}; // over the empty part, over the bar
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < width; ++x) {
                const bool text = (bg.pixel(x, y) & 0xFFFFFF) == Black;
                const bool overBar = x < edge;
                QCOMPARE(screen.pixel(x, y) & 0xFFFFFF, text == overBar ? White : Black);
                textPixels[overBar] += text;
            }
        QVERIFY(textPixels[0] > 0);
        QVERIFY(textPixels[1] > 0);
        // Nothing else repaints the surfaces: an unchanged caption is left as it stands, a
        // new one replaces the old without a trace, and so does a Caption set on its own.
        host.bar->setValue(5050); // same caption; the bar grows by one pixel
        QCOMPARE(host.bar->BG()->picture(), bg);
        host.bar->setBackColor(White); // rebuilt fades clear the surfaces: the caption comes back
        QCOMPARE(host.bar->BG()->picture(), bg);
        host.bar->setValue(6000);
        host.bar->setCaption(QStringLiteral("Renaming"));
        BarHost fresh(width, 20, [](MProgress& bar) { plain(bar), bar.setCaption(QStringLiteral("Renaming")); });
        fresh.bar->setValue(6000);
        QCOMPARE(host.bar->BG()->picture(), fresh.bar->BG()->picture());
        QCOMPARE(screenOf(*host.bar), screenOf(*fresh.bar));
        host.bar->setForeColor(0x0000FF); // red: the caption over the empty part takes it at once
        QVERIFY(shows(host.bar->BG()->picture(), 0xFF0000));
        QVERIFY(!shows(host.bar->BG()->picture(), Black));
    }
};

QTEST_MAIN(TestPainting)
#include "test_painting.moc"
