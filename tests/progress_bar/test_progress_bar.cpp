// The control as its host sees it: values and the percentage, the caption text, where
// the bar goes, numbered errors, and everything the host hears in return, in order;
// its settings saved and loaded; and what it puts on screen: the fade images and their
// copies onto the bar, the caption's place, colours and clearing, and colour values on
// any palette.
#include "platform/Contrast.h"
#include "platform/PlatformError.h"
#include "progress_bar/MProgress.h"
#include "progress_bar/PictureSurface.h"
#include "progress_bar/PropertyBag.h"

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAccessibleValueInterface>
#include <QSettings>
#include <QTest>

#include <algorithm>

using namespace orvel;

namespace {

// A window holding one progress bar of a given size in pixels, shown offscreen.
// `before` runs on the bar before the window is shown.
struct BarHost {
    QWidget window;
    MProgress* bar = new MProgress(&window);
    explicit BarHost(int width = 100, int height = 20, const std::function<void(MProgress&)>& before = {})
    {
        window.resize(width + 20, height + 20);
        bar->setGeometry(10, 10, width, height);
        if (before)
            before(*bar);
        window.show();
        if (!QTest::qWaitForWindowExposed(&window)) // painting reaches the screen once mapped
            qWarning("the bar's window was not exposed");
    }
};

constexpr QRgb White = 0xFFFFFF;
constexpr QRgb Black = 0x000000;

// No fades, white empty part, black filled part: text on BG is black, on FG white, in a
// saved font, which the surfaces take when the bar is shown.
void plain(MProgress& bar)
{
    MemoryPropertyBag saved;
    saved.set(QStringLiteral("Font"), QFont(QStringLiteral("DejaVu Serif"), 11));
    bar.ReadProperties(saved), bar.setFade(0), bar.setBackColor(White), bar.setForeColor(Black);
}

// Sliding fades without a caption, across the whole control (by default filled from the
// left): behind the empty part from a system colour, the button text (black), to white,
// behind the filled part red to blue; blend law 1 moves a channel by three quarters of
// the linear step.
void slidingFades(MProgress& bar)
{
    bar.setFadeBG1(0x80000012), bar.setFadeBG2(0xFFFFFF), bar.setFadeFG1(0x0000FF), bar.setFadeFG2(0xFF0000);
    bar.setFadeStyle(1), bar.setFade(1), bar.setDisablePercent(true), bar.setBlend(1);
}

// The number of the PlatformError that `action` throws, 0 if none.
int errorOf(const std::function<void()>& action)
{
    try {
        return action(), 0;
    } catch (const PlatformError& e) {
        return e.number();
    }
}

// What the control shows on screen, composed from its surfaces.
QImage screenOf(MProgress& bar)
{
    return bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Whether any pixel of `image` has the colour.
bool shows(const QImage& image, QRgb colour)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    const auto* pixels = reinterpret_cast<const QRgb*>(rgb.constBits());
    return std::any_of(pixels, pixels + rgb.width() * rgb.height(), [=](QRgb p) { return (p & White) == colour; });
}

// Notifications by name, events with their arguments and repaints of the bar ("Paint").
struct HostLog : QObject {
    QStringList lines;
    explicit HostLog(MProgress& bar)
    {
        listen(bar, &MProgress::propertyChanged, ""), listen(bar, &MProgress::BarResize, "BarResize");
        listen(bar, &MProgress::Change, "Change"), listen(bar, &MProgress::Resize, "Resize");
        listen(bar, &MProgress::Click, "Click"), listen(bar, &MProgress::KeyDown, "KeyDown");
        listen(bar, &MProgress::KeyPress, "KeyPress"), listen(bar, &MProgress::KeyUp, "KeyUp");
        listen(bar, &MProgress::MouseDown, "MouseDown"), listen(bar, &MProgress::MouseMove, "MouseMove");
        listen(bar, &MProgress::MouseUp, "MouseUp");
        bar.BG()->installEventFilter(this), bar.FG()->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && (lines.isEmpty() || lines.last() != "Paint"))
            lines << QStringLiteral("Paint"); // one repaint reaches both surfaces
        return false;
    }
    template <typename... A>
    void listen(MProgress& bar, void (MProgress::*signal)(A...), const char* name)
    {
        connect(&bar, signal, this, [this, name](A... args) {
            lines << (QStringList{name} << ... << QStringLiteral("%1").arg(args)).join(u' ').trimmed();
        });
    }
};

using Action = std::function<void(MProgress&, QStringList& log)>;

QString geometryOf(const QWidget* w)
{
    return QStringLiteral("%1,%2 %3x%4").arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height());
}

// From `start`, log only what setting `value` brings.
Action from(qint64 start, qint64 value)
{
    return [=](MProgress& b, QStringList& log) { b.setValue(start), log.clear(), b.setValue(value); };
}

} // namespace

struct Placement {
    int direction, alignment;
    QString on;
    double base, factor, fgShift;
};
Q_DECLARE_METATYPE(Placement)

class TestProgressBar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whatTheHostSees_data();
    void whatTheHostSees()
    {
        QFETCH(Action, action);
        QFETCH(QStringList, log);
        BarHost host;
        QPointer<MProgress> bar = host.bar;
        HostLog heard(*bar);
        action(*bar, heard.lines);
        if (bar) {
            const QString range = bar->Min().toString() + ".." + bar->Max().toString() + ": ";
            const QString turned = QString(bar->Reverse() ? "R" : "") + (bar->Vertical() ? "V" : "");
            const QString state = (turned.isEmpty() ? turned : turned + " ")
                + (range == "0..10000: " ? QString() : range) + bar->Value().toString()
                + QStringLiteral(" %1% [%2] ").arg(bar->Percent()).arg(bar->CaptionText()) + geometryOf(bar->FG());
            if (state != "0 0% [ 0 %] -1,0 0x20")
                heard.lines << state;
        }
        QCOMPARE(heard.lines, log);
    }

    // A property written with the value it holds: the host hears the name the value is
    // saved under (or nothing, read-only), and the bar repaints, unless it is refreshed
    // by hand. One property of each kind.
    void notificationsAndRepaints()
    {
        for (bool byHand : {false, true}) {
            BarHost host;
            host.bar->setManualRefresh(byHand);
            HostLog log(*host.bar);
            for (const QString row : {"BackColor:BackColor|Paint", "Alignment:PercentAlign|Paint",
                                      "Direction:Direction|Reverse|Vertical|Paint",
                                      "BorderStyle:BorderStyle|Paint|Resize", "Value:Value", "Percent:"}) {
                const QMetaProperty p = host.bar->metaObject()->property(
                    host.bar->metaObject()->indexOfProperty(qPrintable(row.section(':', 0, 0))));
                log.lines.clear();
                QCOMPARE(p.write(host.bar, p.read(host.bar)), p.isWritable());
                QStringList expected = row.section(':', 1).split(u'|', Qt::SkipEmptyParts);
                if (byHand)
                    expected.removeAll("Paint");
                QCOMPARE(log.lines, expected);
            }
        }
    }

    // A screen reader is told of a new value when the bar is painted for it, and only
    // then: by hand, when the bar is refreshed; and reads it with its caption. (That the
    // window holds one progress bar, with a value that goes to its end, and nothing
    // unnamed, is read over the desktop's bus in check_screen_reader.sh.)
    void whatAScreenReaderIsTold()
    {
        BarHost host;
        MProgress& bar = *host.bar;
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(&bar);
        QVERIFY(face && face->valueInterface());
        QStringList told;
        for (int value : {100, 101, 150})
            bar.setValue(value), told << bar.ShownValue().toString();
        bar.setManualRefresh(true), bar.setValue(6000), told << bar.ShownValue().toString(), bar.Refresh();
        QCOMPARE(told << bar.ShownValue().toString(), QStringList({"100", "100", "150", "150", "6000"}));
        QCOMPARE(face->valueInterface()->currentValue().toDouble(), 6000);
        QCOMPARE(face->text(QAccessible::Value), "60 %");
    }

    void savedSettings()
    {
        // With nothing saved, the settings are the defaults, the host's font among them,
        // as a newly placed control has them.
        QWidget window;
        window.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 15));
        MemoryPropertyBag empty, original, copy;
        MProgress loaded(empty, &window);
        const QStringList names = empty.readNames();
        // Every setting away from its default, in the order read and typed as the control
        // writes it, is written in that order, read back and written again unchanged.
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPointSizeF(8.25);
        font.setUnderline(true);
        const QVariantList changed{0x102030u, 3,  2,    true, "Fertig",    1,    1,    0x010203u, 0x80000005u,
                                   0xABCDEFu, 0u, 0,    font, 0x80000008u, 3,    true, "250.5",   "-7",
                                   true,      41, "pc", 6,    "Files",     true, 3,    "100.25",  true};
        QCOMPARE(names.size(), changed.size());
        for (int i = 0; i < names.size(); ++i)
            original.set(names[i], changed[i]);
        QTemporaryDir dir;
        const QString ini = dir.filePath("window.ini");
        SettingsPropertyBag saved(ini, QStringLiteral("ProgressBar1"));
        MProgress(original, &window).WriteProperties(saved);
        QVERIFY(saved.sync());
        SettingsPropertyBag file(ini, QStringLiteral("ProgressBar1"));
        MProgress(file, &window).WriteProperties(copy);
        QCOMPARE(copy.names(), names);
        for (const QString& name : names)
            QVERIFY2(copy.value(name) == original.value(name), qPrintable(name));
        // Saved over them, either default control, each on its own, leaves nothing behind, a
        // font's parts included.
        MProgress placed(&window);
        for (const MProgress* fresh : {&loaded, &placed}) {
            MProgress(original, &window).WriteProperties(saved), fresh->WriteProperties(saved);
            QVERIFY(saved.sync());
            QCOMPARE(QSettings(ini, QSettings::IniFormat).allKeys(), QStringList());
        }
        // As other writers leave them, as the control writes them back: a Currency as a
        // plain number or as text, halves to even; a Boolean as text or as a number, and
        // as a number when a Boolean is saved for one; text with a fraction rounds. Not a
        // number: error 13, too large: 6. No font at all is the host's.
        const struct {
            const char* name;
            QVariant saved, loaded;
            int error = 0;
        } foreign[] = {{"Max", 50, "50"},           {"Min", "-0.00015", "-0.0002"}, {"Custom", "-1", true},
                       {"Reverse", "False", false}, {"Interval", true, -1},         {"Interval", "12.6", 13},
                       {"Blend", "&H10", 16},       {"Interval", "abc", {}, 13},    {"Interval", 40000, {}, 6},
                       {"Font", "", window.font()}};
        for (const auto& row : foreign) {
            MemoryPropertyBag one, back;
            one.set(row.name, row.saved);
            const QByteArray label = row.name + (" = " + row.saved.toString()).toUtf8();
            QVERIFY2(errorOf([&] { MProgress(one, &window).WriteProperties(back); }) == row.error, label.constData());
            QVERIFY2(back.value(row.name) == row.loaded, label.constData());
        }
    }

    void fades_data()
    {
        // A bar of slidingFades half way along 100 pixels. The filled part starts one pixel
        // early, so x = 0 shows its fade's pixel 51 and x = 49 the start of the empty part's.
        QTest::addColumn<int>("x");
        QTest::addColumn<uint>("colour");
        QTest::newRow("start of a fade") << 49 << uint(Black);
        QTest::newRow("middle of a fade") << 0 << uint(0x9D0062);
    }

    void fades()
    {
        QFETCH(int, x);
        QFETCH(uint, colour);
        BarHost host(100, 20, slidingFades);
        host.bar->setValue(5000);
        const QImage screen = screenOf(*host.bar);
        QCOMPARE(screen.pixel(x, 0) & White, colour);
        QCOMPARE(screen.pixel(x, 19) & White, colour); // stretched across
    }

    // A sliding fade moves with the edge of a bar that fills from the right: half full, its
    // empty part shows the half of the fade that an empty bar shows nearer the right.
    void slidingFadeFromTheRight()
    {
        const auto fadedBar = [](int value) {
            BarHost host(100, 20, [](MProgress& bar) { slidingFades(bar), bar.setDirection(2); });
            host.bar->setValue(value);
            return screenOf(*host.bar);
        };
        const QImage empty = fadedBar(0), half = fadedBar(5000);
        QVERIFY(empty.pixel(0, 10) != empty.pixel(50, 10));
        for (int x = 0; x < 48; ++x)
            QCOMPARE(half.pixel(x, 10) & White, empty.pixel(x + 50, 10) & White);
    }

    void coloursFollowThePalette()
    {
        // A dark theme as applications often set one: faces and texts, the 3-D shades left
        // as the light palette has them. On the main window's bar " 0 %" is drawn in the
        // palette's colour and reads at 4.5:1 or better against the bar, also when the
        // palette changes after the bar was built.
        const QPalette light = QGuiApplication::palette();
        const auto restore = qScopeGuard([light] { QGuiApplication::setPalette(light); });
        QPalette dark = light, grey = light; // grey: a text that only black lets read at 4.5:1
        for (auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
            dark.setColor(role, QColor(53, 53, 53));
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
            dark.setColor(role, Qt::white), grey.setColor(role, QColor(118, 118, 118));
        const QString ini = QFINDTESTDATA("../../main_window/progress_bar_settings.ini");
        for (const auto& [built, shown] : {std::pair{light, dark}, {grey, grey}}) {
            QGuiApplication::setPalette(built);
            QWidget window;
            MProgress* bar = CreateFromSavedProperties(ini, &window);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QGuiApplication::setPalette(shown);
            // The bar is empty and its fade runs across it, one colour a row. The caption
            // shows in the palette's button text colour, and that reads on every row; the
            // grey shades stay grey, every channel moved alike.
            const auto unreadable = [bar]() -> QString {
                const QRgb text = QGuiApplication::palette().color(QPalette::ButtonText).rgb();
                const QImage screen = screenOf(*bar);
                for (int y = 0; y < screen.height(); ++y)
                    if (!shows(screen, text & White) || ContrastRatio(text, screen.pixel(0, y)) < 4.5
                        || qBlue(screen.pixel(0, y)) != qRed(screen.pixel(0, y)))
                        return QStringLiteral("row %1: %2").arg(y).arg(screen.pixel(0, y), 0, 16);
                return {};
            };
            QTRY_COMPARE(unreadable(), QString());
        }
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
            {0, 1, "BG", 100, 0, 0}, {2, 2, "FG", 0, 0, 0}, {1, 5, "both", 0, 0, -100}, {0, 0, "both", 100, -0.5, 1}};
        for (const Placement& c : rows)
            QTest::addRow("direction %d, alignment %d", c.direction, c.alignment) << c;
    }

    void placement()
    {
        QFETCH(Placement, c);
        const bool vertical = c.direction == 1 || c.direction == 3;
        const int breadth = vertical ? 61 : 21;
        BarHost host(vertical ? breadth : 200, vertical ? 200 : breadth, [&](MProgress& bar) {
            plain(bar), bar.setDirection(c.direction), bar.setAlignment(c.alignment), bar.setBorderStyle(1);
        });
        host.bar->setValue(5000);
        const double k = 1; // the caption's inset with border style 1
        const PictureSurface *BG = host.bar->BG(), *FG = host.bar->FG();
        auto along = [&](const PictureSurface* s) { return double(vertical ? s->CurrentY : s->CurrentX); };
        const double length = vertical ? host.bar->CaptionHeight() : host.bar->CaptionWidth();
        QCOMPARE(along(c.on == "FG" ? FG : BG), c.base + c.factor * length + k);
        if (c.on == "both")
            QCOMPARE(along(FG), along(BG) + c.fgShift);
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
                const bool text = (bg.pixel(x, y) & White) == Black;
                QCOMPARE(screen.pixel(x, y) & White, text == (x < edge) ? White : Black);
                textPixels[x < edge] += text;
            }
        QVERIFY(textPixels[0] > 0 && textPixels[1] > 0); // the edge crosses the caption
        // Nothing else repaints the surfaces: a new caption replaces the old without a
        // trace, and so does a Caption set on its own.
        host.bar->setValue(6000);
        host.bar->setCaption(QStringLiteral("Renaming"));
        BarHost fresh(width, 20, [](MProgress& bar) { plain(bar), bar.setCaption(QStringLiteral("Renaming")); });
        fresh.bar->setValue(6000);
        QCOMPARE(screenOf(*host.bar), screenOf(*fresh.bar));
        host.bar->setForeColor(0x0000FF); // red: the caption over the empty part and the filled part take it at once
        QVERIFY(shows(host.bar->BG()->picture(), 0xFF0000) && !shows(screenOf(*host.bar), Black));
    }
};

void TestProgressBar::whatTheHostSees_data()
{
    // A 100 x 20 bar, range 0..10000, twips as its scale. The filled part starts at
    // x = -1 and is value * 101 / range long, halves to even. After each action the log
    // ends, unless they are as they were at first, with the direction flags (R reverse, V
    // vertical), the range (when it is not 0..10000), the value, the percentage, the
    // caption and where FG is.
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("log");
    const auto row = [](const char* name, const Action& a, const QStringList& log) { QTest::newRow(name) << a << log; };

    // Value: clamped, the percentage truncated. A new length repaints, a new percentage
    // repaints and raises Change, and so does either end of the range.
    row("above Max", from(3000, 20000),
        {"Value", "Paint", "BarResize", "Paint", "Change", "Paint", "Change", "10000 100% [ 100 %] -1,0 101x20"});
    row("clamped onto the same value", from(10000, 20000), {"Value", "10000 100% [ 100 %] -1,0 101x20"});
    row("same length and percentage", from(100, 101), {"Value", "101 1% [ 1 %] -1,0 1x20"});
    row("1.01 to 1.515 pixels", from(100, 150), {"Value", "Paint", "BarResize", "150 1% [ 1 %] -1,0 2x20"});
    row("29 of 100: the ratio, then the hundredfold",
        [](auto& b, auto& log) { b.setMax(100), log.clear(), b.setValue(29); },
        {"Value", "Paint", "BarResize", "Paint", "Change", "0..100: 29 28% [ 28 %] -1,0 29x20"});

    // Max and Min stay one unit apart; pulling Value along changes neither the bar nor
    // the percentage until Value next changes.
    row("Min above Max - 1", [](auto& b, auto&) { b.setMin(20000); },
        {"Min", "Paint", "9999..10000: 9999 0% [ 0 %] -1,0 0x20"});
    row("Max below Min + 1", [](auto& b, auto&) { b.setMax(-50); }, {"Max", "Paint", "0..1: 0 0% [ 0 %] -1,0 0x20"});
    row("Max below Value, a value set by hand laid out",
        [](auto& b, auto& log) {
            b.setManualRefresh(true), b.setValue(5000), b.setManualRefresh(false), log.clear(), b.setMax(2000);
        },
        {"Max", "Paint", "BarResize", "Paint", "0..2000: 2000 50% [ 50 %] -1,0 50x20"});
    row("the percentage counts from Min",
        [](auto& b, auto& log) { b.setMax(2000), b.setMin(-2000), log.clear(), b.setValue(1000); },
        {"Value", "Paint", "BarResize", "Paint", "Change", "-2000..2000: 1000 75% [ 75 %] -1,0 76x20"});
    row("a range too wide for Currency is passed over",
        [](auto& b, auto& log) {
            b.setMin(Currency::min()), b.setMax(Currency::max()), log.clear(), b.setValue(Currency::max());
        },
        {"Value", "Paint", "Change",
         "-922337203685477.5808..922337203685477.5807: 922337203685477.5807 0% [ 0 %] -1,0 0x20"});

    // The caption text.
    row("caption: texts around the percentage",
        [](auto& b, auto& log) { b.setValue(4500), log.clear(), b.setCaption("Done"), b.setCaption2(""); },
        {"PercentBefore", "Paint", "PercentAfter", "Paint", "4500 45% [Done 45 ] -1,0 45x20"});
    row("caption: custom text only at Max",
        [](auto& b, auto& log) {
            b.setShowCustomCaption(true), b.setValue(9999), log = {b.CaptionText()}, b.setValue(10000);
        },
        {" 99 %", "Value", "Paint", "Change", "Paint", "Change", "10000 100% [Done!] -1,0 101x20"});
    row("caption: percentage disabled",
        [](auto& b, auto& log) {
            b.setValue(4500), b.setDisablePercent(true), log = {b.CaptionText()}, b.setCaption("Renaming");
        },
        {"", "PercentBefore", "Paint", "4500 45% [Renaming] -1,0 45x20"});

    // Numbered errors store nothing and notify no one; ScaleMode keeps a code it refuses.
    row("numbered errors",
        [](auto& b, auto& log) {
            const auto tried = [&](const std::function<void()>& assign) { log << QString::number(errorOf(assign)); };
            tried([&] { b.setPercent(80); }), tried([&] { b.setFade(300); });
            tried([&] { b.setAmbientUserMode(false), b.setPercent(80); });
            for (int kept : {b.Percent(), b.Fade()})
                log << QString::number(kept);
            tried([&] { b.setScaleMode(9); }), log << QString::number(b.ScaleMode());
        },
        {"393", "6", "382", "0", "2", "380", "9"});

    // Where the bar goes. In directions 0 and 3 it starts one pixel early and may reach
    // one pixel further, so that a full bar still covers everything. An unknown direction
    // leaves the bar of direction 1 as it was.
    row("direction 2, 50.5 to even",
        [](auto& b, auto& log) { b.resize(101, 20), b.setMax(2), b.setDirection(2), b.setValue(1), log.clear(); },
        {"R 0..2: 1 50% [ 50 %] 51,0 50x20"});
    row("direction 3, Max", [](auto& b, auto& log) { b.setDirection(3), b.setValue(10000), log.clear(); },
        {"V 10000 100% [ 100 %] 0,-1 100x21"});
    row("an unknown direction keeps the flags and the bar",
        [](auto& b, auto& log) {
            b.setDirection(1), b.setValue(7500), log.clear(), b.setDirection(9), b.setValue(9000);
        },
        {"Direction", "Reverse", "Vertical", "Paint", "Value", "Paint", "Change", "RV 9000 90% [ 90 %] 0,5 100x15"});

    // Resize and move: the surfaces fill the control and the bar follows, unless it is
    // refreshed by hand; then the bar and the caption wait for Refresh.
    row("resize",
        [](auto& b, auto& log) {
            b.setValue(5000), log.clear(), b.resize(200, 30);
            log << geometryOf(b.DBG()) << geometryOf(b.DFG()) << geometryOf(b.BG());
        },
        {"Paint", "BarResize", "Paint", "Resize", "0,0 200x30", "0,0 200x30", "0,0 200x30",
         "5000 50% [ 50 %] -1,0 100x30"});
    row("refreshed by hand",
        [](auto& b, auto& log) {
            b.setValue(5000), b.setManualRefresh(true), log.clear(), b.resize(200, 30), log << geometryOf(b.BG());
            b.setValue(60), log << geometryOf(b.FG()) << b.CaptionText(), b.setCaption("Files");
            log << b.CaptionText(), b.Refresh();
        },
        {"Resize", "0,0 200x30", "Value", "Change", "-1,0 50x20", " 50 %", "PercentBefore", "Files 0 %", "BarResize",
         "Paint", "60 0% [Files 0 %] -1,0 1x30"});

    row("SetParent; an unknown window does nothing", // nothing is painted before the window is on screen
        [](auto& b, auto& log) {
            QWidget other;
            other.show(), b.SetParent(MProgress::WindowHandleOf(&other)), b.SetParent(0xDEAD0000);
            log << QString::number(b.parentWidget() == &other) << QString::number(b.isVisible());
        },
        {"Resize", "1", "1"});

    // Keys and the mouse on the control's own surface, in its scale; the surfaces keep
    // their clicks. A release outside the control is no click.
    row("buttons in twips",
        [](auto& b, auto&) {
            QMouseEvent move(QEvent::MouseMove, {4, 2}, {4, 2}, Qt::NoButton, Qt::MiddleButton | Qt::RightButton, {});
            QTest::mouseClick(&b, Qt::RightButton, Qt::ShiftModifier, {4, 2}), QApplication::sendEvent(&b, &move);
            QTest::mouseClick(&b, Qt::LeftButton, Qt::ControlModifier, {1, 1});
            QTest::mousePress(&b, Qt::LeftButton, {}, {1, 1}), QTest::mouseRelease(&b, Qt::LeftButton, {}, {1, 30});
        },
        {"MouseDown 2 1 60 30", "MouseUp 2 1 60 30", "MouseMove 6 0 60 30", "MouseDown 1 2 15 15", "MouseUp 1 2 15 15",
         "Click", "MouseDown 1 0 15 15", "MouseUp 1 0 15 450"});
    // Keys by their virtual-key codes: a letter, a digit of the keypad (not the row's), a
    // function key, which types nothing.
    row("keys",
        [](auto& b, auto&) {
            QTest::keyClick(&b, Qt::Key_A), QTest::keyClick(&b, Qt::Key_5, Qt::KeypadModifier);
            QTest::keyClick(&b, Qt::Key_F1);
        },
        {"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0", "KeyDown 101 0", "KeyPress 53", "KeyUp 101 0", "KeyDown 112 0",
         "KeyUp 112 0"});
}

QTEST_MAIN(TestProgressBar)
#include "test_progress_bar.moc"
