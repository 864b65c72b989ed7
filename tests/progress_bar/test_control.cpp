// The control as its host sees it: values and the percentage, the caption text, where
// the bar goes, numbered errors, and everything the host hears in return, in order;
// and its settings saved and loaded.
#include "BarHost.h"

#include "platform/PropertyBag.h"
#include "progress_bar/ProgressBarModule.h"

#include <QApplication>
#include <QMetaProperty>
#include <QMouseEvent>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace orvel;
using namespace orvel::test;

namespace {

QString n(double value)
{
    return QString::number(value);
}

QString n(const QString& text)
{
    return text;
}

// Notifications by name, events with their arguments, repaints of the bar ("Paint") and
// the border hooks with the style they are given.
class HostLog : public QObject {
public:
    QStringList lines;
    explicit HostLog(MProgress& bar)
    {
        listen(bar, &MProgress::propertyChanged, ""), listen(bar, &MProgress::BarResize, "BarResize");
        listen(bar, &MProgress::Change, "Change"), listen(bar, &MProgress::Resize, "Resize");
        listen(bar, &MProgress::Click, "Click"), listen(bar, &MProgress::KeyDown, "KeyDown");
        listen(bar, &MProgress::KeyPress, "KeyPress"), listen(bar, &MProgress::KeyUp, "KeyUp");
        listen(bar, &MProgress::MouseDown, "MouseDown"), listen(bar, &MProgress::MouseMove, "MouseMove");
        listen(bar, &MProgress::MouseUp, "MouseUp");
        bar.BG()->installEventFilter(this);
        bar.FG()->installEventFilter(this);
        ProgressBarModule::SetHookObserver([this, own = bar.hWnd()](const char* hook, quintptr window, int style) {
            lines << QStringLiteral("%1 %2%3").arg(hook).arg(style).arg(window == own ? "" : " elsewhere");
        });
    }
    ~HostLog() override { ProgressBarModule::SetHookObserver({}); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && (lines.isEmpty() || lines.last() != "Paint"))
            lines << QStringLiteral("Paint"); // one repaint reaches both surfaces
        return false;
    }

private:
    template <typename... A>
    void listen(MProgress& bar, void (MProgress::*signal)(A...), const char* name)
    {
        connect(&bar, signal, this, [this, name](A... args) {
            QStringList parts{name};
            (parts.append(n(args)), ...);
            lines << parts.join(u' ').trimmed();
        });
    }
};

using Action = std::function<void(MProgress&, QStringList& log)>;

QString geometryOf(const QWidget* w)
{
    return QStringLiteral("%1,%2 %3x%4").arg(w->x()).arg(w->y()).arg(w->width()).arg(w->height());
}

// Where the bar goes for a value, and the direction flags (R reverse, V vertical).
Action place(int direction, int width, qint64 max, qint64 value)
{
    return [=](MProgress& b, QStringList& log) {
        b.resize(width, 20);
        b.setMax(max);
        b.setDirection(direction);
        b.setValue(1); // a change first, so that the cached offset and range are fresh
        b.setValue(value);
        log = QStringList{geometryOf(b.FG()), QString(b.Reverse() ? "R" : "-") + (b.Vertical() ? "V" : "-")};
    };
}

// The number of the error an assignment throws, and the field it was meant for.
Action error(const std::function<void(MProgress&)>& assign, int (MProgress::*field)() const)
{
    return [=](MProgress& b, QStringList& log) { log << n(errorOf([&] { assign(b); })) << n((b.*field)()); };
}

// From `start`, log only what setting `value` brings.
Action from(qint64 start, qint64 value)
{
    return [=](MProgress& b, QStringList& log) { b.setValue(start), log.clear(), b.setValue(value); };
}

} // namespace

// The saved names, in the order they are read and written.
static const QStringList kSavedNames =
    QStringLiteral(
        "BackColor Blend BorderStyle Custom CustomText Direction Fade FadeBG1 FadeBG2 FadeFG1 FadeFG2 FadeStyle Font "
        "ForeColor Interval ManualRefresh Max Min NoPercent Percent PercentAfter PercentAlign PercentBefore Reverse "
        "ScaleMode Value Vertical")
        .split(u' ');

class TestControl : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void whatTheHostSees_data();
    void whatTheHostSees();
    void savedNamesInNotifications();
    void roundTripThroughAFile();
    void anEmptyBagGivesTheDefaults();
    void valuesAsOtherWritersLeaveThem();
    void currencyFromText_data();
    void currencyFromText();
};

void TestControl::whatTheHostSees_data()
{
    // A 100 x 20 bar, range 0..10000, twips as its scale. The filled part starts at
    // x = -1 and is value * 101 / range long, halves to even.
    QTest::addColumn<Action>("action");
    QTest::addColumn<QStringList>("log");
    const auto row = [](const char* name, const Action& a, const QStringList& log) { QTest::newRow(name) << a << log; };

    // Value: clamped, the percentage truncated. A new length repaints, a new percentage
    // repaints and raises Change, and so does either end of the range.
    row("5000", [](auto& b, auto& log) { b.setValue(5000), log << n(b.Percent()) << b.CaptionText(); },
        {"Value", "Paint", "BarResize", "Paint", "Change", "50", " 50 %"});
    row("9999 to 10000", from(9999, 10000), {"Value", "Paint", "Change", "Paint", "Change"});
    row("onto Min, same percentage", from(50, 0), {"Value", "Paint", "BarResize", "Paint", "Change"});
    row("below Min", from(3000, -5), {"Value", "Paint", "BarResize", "Paint", "Change", "Paint", "Change"});
    row("above Max", from(3000, 20000), {"Value", "Paint", "BarResize", "Paint", "Change", "Paint", "Change"});
    row("clamped onto the same value", from(10000, 20000), {"Value"});
    row("same length and percentage", from(100, 101), {"Value"});
    row("1.01 to 1.515 pixels", from(100, 150), {"Value", "Paint", "BarResize"});
    row("29 of 100: the ratio, then the hundredfold",
        [](auto& b, auto& log) {
            b.setMax(100), log.clear(), b.setValue(29), log << n(b.Percent()) << b.Value().toString();
        },
        {"Value", "Paint", "BarResize", "Paint", "Change", "28", "29"});

    // Max and Min stay one unit apart; pulling Value along changes neither the bar nor
    // the percentage until Value next changes.
    row("Min above Max - 1",
        [](auto& b, auto& log) { b.setMin(20000), log << b.Min().toString() << b.Value().toString(); },
        {"Min", "Paint", "9999", "9999"});
    row("Max below Min + 1", [](auto& b, auto& log) { b.setMax(-50), log << b.Max().toString(); },
        {"Max", "Paint", "1"});
    row("Max below Value",
        [](auto& b, auto& log) {
            b.setValue(5000), log.clear(), b.setMax(2000);
            log << b.Value().toString() << n(b.Percent()) << geometryOf(b.FG());
        },
        {"Max", "Paint", "2000", "50", "-1,0 50x20"});
    row("the percentage counts from Min",
        [](auto& b, auto& log) {
            b.setMax(2000), b.setMin(-2000), log.clear(), b.setValue(1000), log << n(b.Percent()) << geometryOf(b.FG());
        },
        {"Value", "Paint", "BarResize", "Paint", "Change", "75", "-1,0 76x20"});
    row("a range too wide for Currency is passed over",
        [](auto& b, auto& log) {
            b.setMin(Currency::min()), b.setMax(Currency::max()), log.clear();
            log << n(errorOf([&] { b.setValue(Currency::max()); })) << n(b.Value() == Currency::max());
        },
        {"Value", "Paint", "Change", "0", "1"});

    // Every look setter repaints, unless the bar is refreshed by hand.
    const auto looks = [](bool byHand) {
        return Action([byHand](MProgress& b, QStringList& log) {
            b.setManualRefresh(byHand), log.clear(), b.setBackColor(1), b.setForeColor(2), b.setFade(1);
            b.setFadeStyle(0), b.setBlend(3), b.setFadeBG1(4), b.setFadeBG2(5), b.setFadeFG1(6), b.setFadeFG2(7);
            b.setAlignment(2), b.setFont(b.Font()), b.setShowCustomCaption(true), b.setDisablePercent(true);
        });
    };
    const QStringList looked{"BackColor", "ForeColor", "Fade",         "FadeStyle", "Blend",  "FadeBG1",  "FadeBG2",
                             "FadeFG1",   "FadeFG2",   "PercentAlign", "Font",      "Custom", "NoPercent"};
    QStringList painted;
    for (const QString& name : looked)
        painted << name << "Paint";
    row("look setters repaint", looks(false), painted);
    row("look setters, refreshed by hand", looks(true), looked);

    // The caption text.
    row("caption: texts around the percentage",
        [](auto& b, auto& log) {
            b.setValue(4500), log.clear(), b.setCaption("Done"), b.setCaption2(""), log << b.CaptionText();
        },
        {"PercentBefore", "Paint", "PercentAfter", "Paint", "Done 45 "});
    row("caption: custom text only at Max",
        [](auto& b, auto& log) {
            b.setShowCustomCaption(true), b.setValue(9999), log.clear();
            log << b.CaptionText(), b.setValue(10000), log << b.CaptionText();
        },
        {" 99 %", "Value", "Paint", "Change", "Paint", "Change", "Done!"});
    row("caption: percentage disabled",
        [](auto& b, auto& log) {
            b.setValue(4500), b.setDisablePercent(true), log.clear(), log << b.CaptionText();
            b.setCaption("Renaming"), log << b.CaptionText();
        },
        {"", "PercentBefore", "Paint", "Renaming"});

    // Numbered errors store nothing and notify no one.
    row("Percent at run time", error([](auto& b) { b.setPercent(80); }, &MProgress::Percent), {"393", "0"});
    row("Percent in design", error([](auto& b) { b.setAmbientUserMode(false), b.setPercent(80); }, &MProgress::Percent),
        {"382", "0"});
    row("Fade 300", error([](auto& b) { b.setFade(300); }, &MProgress::Fade), {"6", "2"});
    row("Alignment 256", error([](auto& b) { b.setAlignment(256); }, &MProgress::Alignment), {"6", "0"});
    row("FadeStyle -1", error([](auto& b) { b.setFadeStyle(-1); }, &MProgress::FadeStyle), {"6", "1"});
    row("ScaleMode 40000", error([](auto& b) { b.setScaleMode(40000); }, &MProgress::ScaleMode), {"6", "1"});
    row("ScaleMode 9: stored, then refused", error([](auto& b) { b.setScaleMode(9); }, &MProgress::ScaleMode),
        {"380", "9"});

    // Where the bar goes. In directions 0 and 3 it starts one pixel early and may reach
    // one pixel further, so that a full bar still covers everything.
    row("direction 0, 50.5 to even", place(0, 100, 10000, 5000), {"-1,0 50x20", "--"});
    row("direction 1, a quarter", place(1, 100, 10000, 2500), {"0,15 100x5", "RV"});
    row("direction 2, half", place(2, 100, 10000, 5000), {"50,0 50x20", "R-"});
    row("direction 3, 5.25", place(3, 100, 10000, 2500), {"0,-1 100x5", "-V"});
    row("direction 2, 51.5 to even", place(2, 103, 2, 1), {"51,0 52x20", "R-"});
    row("direction 0, Max", place(0, 100, 10000, 10000), {"-1,0 101x20", "--"});
    row("direction 3, Max", place(3, 100, 10000, 10000), {"0,-1 100x21", "-V"});
    row("an unknown direction keeps the flags and the bar",
        [](auto& b, auto& log) {
            place(1, 100, 10000, 2500)(b, log), b.setDirection(9), b.setValue(9000);
            log << geometryOf(b.FG()) << n(b.Reverse()) << n(b.Vertical());
        },
        {"0,15 100x5", "RV", "Direction", "Reverse", "Vertical", "Paint", "Value", "Paint", "Change", "0,15 100x5", "1",
         "1"});

    // Resize and move: the surfaces fill the control and the bar follows, unless it is
    // refreshed by hand; then the bar and the caption wait for Refresh.
    row("resize",
        [](auto& b, auto& log) {
            b.setValue(5000), log.clear(), b.resize(200, 30);
            log << geometryOf(b.DBG()) << geometryOf(b.DFG()) << geometryOf(b.BG()) << geometryOf(b.FG());
        },
        {"Paint", "BarResize", "Paint", "Resize", "0,0 200x30", "0,0 200x30", "0,0 200x30", "-1,0 100x30"});
    row("move", [](auto& b, auto&) { b.move(30, 5); }, {});
    row("resize, refreshed by hand",
        [](auto& b, auto& log) {
            b.setValue(5000), b.setManualRefresh(true), log.clear(), b.resize(200, 30);
            log << geometryOf(b.BG()) << geometryOf(b.FG());
        },
        {"Resize", "0,0 200x30", "-1,0 50x20"});
    row("caption set by hand is composed at once",
        [](auto& b, auto& log) {
            b.setManualRefresh(true), log.clear(), b.setCaption("Files"), log << b.CaptionText();
        },
        {"PercentBefore", "Files 0 %"});
    row("Refresh by hand",
        [](auto& b, auto& log) {
            b.setValue(5000), b.setManualRefresh(true), log.clear(), b.setValue(6000);
            log << geometryOf(b.FG()) << b.CaptionText(), b.Refresh(), log << geometryOf(b.FG()) << b.CaptionText();
        },
        {"Value", "Change", "-1,0 50x20", " 50 %", "BarResize", "Paint", "-1,0 61x20", " 60 %"});

    // Border style: at most 6, the hooks in order, the caption inset for 0 to 2.
    const auto border = [](int style) {
        return Action([style](MProgress& b, QStringList& log) { b.setBorderStyle(style), log << n(b.CaptionInset()); });
    };
    row("BorderStyle 9", border(9), {"DetachBorder 0", "AttachBorder 6", "BorderStyle", "Paint", "Resize", "0"});
    row("BorderStyle 2", border(2), {"DetachBorder 0", "AttachBorder 2", "BorderStyle", "Paint", "Resize", "1"});
    row("BorderStyle -3", border(-3), {"DetachBorder 0", "AttachBorder -3", "BorderStyle", "Paint", "Resize", "0"});
    row("shown again, then gone", [](auto& b, auto&) { b.hide(), b.show(), delete &b; },
        {"AttachBorder 6", "Paint", "Resize", "DetachBorder 0"});
    row("SetParent; an unknown window does nothing",
        [](auto& b, auto& log) {
            QWidget* home = b.parentWidget();
            QWidget other;
            other.show(), b.SetParent(MProgress::WindowHandleOf(&other)), b.SetParent(0xDEAD0000);
            log << n(b.parentWidget() == &other) << n(b.isVisible()), b.setParent(home);
        },
        {"AttachBorder 6", "Resize", "1", "1"}); // nothing is painted before the window is on screen

    // Keys and the mouse on the control's own surface, in its scale; the surfaces keep
    // their clicks.
    row("right button with Shift, in twips",
        [](auto& b, auto&) {
            QTest::mousePress(&b, Qt::RightButton, Qt::ShiftModifier, {4, 2});
            QTest::mouseRelease(&b, Qt::RightButton, Qt::ShiftModifier, {4, 2});
        },
        {"MouseDown 2 1 60 30", "MouseUp 2 1 60 30"});
    row("left, Ctrl",
        [](auto& b, auto&) {
            QTest::mouseClick(&b, Qt::LeftButton, Qt::ControlModifier, {1, 1});
        },
        {"MouseDown 1 2 15 15", "MouseUp 1 2 15 15", "Click"});
    row("move in pixels, no button",
        [](auto& b, auto&) {
            QMouseEvent move(QEvent::MouseMove, QPointF(4, 2), b.mapToGlobal(QPointF(4, 2)), Qt::NoButton, {}, {});
            b.setScaleMode(3), QApplication::sendEvent(&b, &move);
        },
        {"ScaleMode", "MouseMove 0 0 4 2"});
    const auto press = [](int scaleMode, Qt::MouseButton button, QPoint at) {
        return Action([=](MProgress& b, auto&) { b.setScaleMode(scaleMode), QTest::mousePress(&b, button, {}, at); });
    };
    row("press in characters", press(4, Qt::MiddleButton, {8, 16}), {"ScaleMode", "MouseDown 4 0 1 1"});
    row("press in millimetres", press(6, Qt::LeftButton, {96, 48}), {"ScaleMode", "MouseDown 1 0 25.4 12.7"});
    row("press in points", press(2, Qt::LeftButton, {4, 8}), {"ScaleMode", "MouseDown 1 0 3 6"});
    row("press in centimetres", press(7, Qt::LeftButton, {96, 48}), {"ScaleMode", "MouseDown 1 0 2.54 1.27"});
    row("press in the user scale: twips", press(0, Qt::LeftButton, {4, 2}), {"ScaleMode", "MouseDown 1 0 60 30"});
    row("clicks on the surfaces",
        [](auto& b, auto& log) {
            b.setValue(5000), log.clear();
            QTest::mouseClick(b.BG(), Qt::LeftButton, {}, {80, 5}),
                QTest::mouseClick(b.FG(), Qt::LeftButton, {}, {10, 5});
        },
        {});
    row("a key", [](auto& b, auto&) { QTest::keyClick(&b, Qt::Key_A); }, {"KeyDown 65 0", "KeyPress 97", "KeyUp 65 0"});
    row("Alt+Left", [](auto& b, auto&) { QTest::keyClick(&b, Qt::Key_Left, Qt::AltModifier); },
        {"KeyDown 18 4", "KeyDown 37 4", "KeyUp 37 4", "KeyUp 18 0"});
}

void TestControl::whatTheHostSees()
{
    QFETCH(Action, action);
    QFETCH(QStringList, log);
    BarHost host;
    host.bar->setFocus();
    HostLog heard(*host.bar);
    action(*host.bar, heard.lines);
    QCOMPARE(heard.lines, log);
}

void TestControl::savedNamesInNotifications()
{
    // Each setter, given the value the control holds, notifies the host under the name
    // the value is saved under.
    const QHash<QString, QStringList> saved{{"Alignment", {"PercentAlign"}},
                                            {"Caption", {"PercentBefore"}},
                                            {"Caption2", {"PercentAfter"}},
                                            {"CustomCaption", {"CustomText"}},
                                            {"DisablePercent", {"NoPercent"}},
                                            {"ShowCustomCaption", {"Custom"}},
                                            {"Direction", {"Direction", "Reverse", "Vertical"}}};
    QCOMPARE(MProgress::staticMetaObject.userProperty().name(), "Value"); // the default member
    BarHost host;
    QSignalSpy heard(host.bar, &MProgress::propertyChanged);
    for (int i = MProgress::staticMetaObject.propertyOffset(); i < MProgress::staticMetaObject.propertyCount(); ++i) {
        const QMetaProperty p = MProgress::staticMetaObject.property(i);
        heard.clear();
        QCOMPARE(p.write(host.bar, p.read(host.bar)), p.isWritable());
        QStringList names;
        for (const QList<QVariant>& args : heard)
            names << args.at(0).toString();
        QCOMPARE(names, p.isWritable() ? saved.value(p.name(), {p.name()}) : QStringList());
    }
}

void TestControl::roundTripThroughAFile()
{
    // Every setting away from its default, typed as the control writes it, is written
    // in the saved order, read back and written again unchanged.
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSizeF(8.25);
    const QVariantMap changed{
        {"BackColor", 0x102030u},
        {"Blend", 3},
        {"BorderStyle", 2},
        {"Custom", true},
        {"CustomText", "Fertig"},
        {"Direction", 1},
        {"Fade", 1},
        {"FadeBG1", 0x010203u},
        {"FadeBG2", 0x80000005u},
        {"FadeFG1", 0xABCDEFu},
        {"FadeFG2", 0u},
        {"FadeStyle", 0},
        {"Font", font},
        {"ForeColor", 0x80000008u},
        {"Interval", 3},
        {"ManualRefresh", true},
        {"Max", "250.5"},
        {"Min", "-7"},
        {"NoPercent", true},
        {"Percent", 41},
        {"PercentAfter", "pc"},
        {"PercentAlign", 6},
        {"PercentBefore", "Files"},
        {"Reverse", true},
        {"ScaleMode", 3},
        {"Value", "100.25"},
        {"Vertical", true},
    };
    MemoryPropertyBag original;
    for (auto it = changed.begin(); it != changed.end(); ++it)
        original.set(it.key(), it.value());
    QTemporaryDir dir;
    QWidget window;
    {
        SettingsPropertyBag file(dir.filePath("window.ini"), QStringLiteral("ProgressBar1"));
        MProgress(original, &window).WriteProperties(file);
        QVERIFY(file.sync());
    }
    SettingsPropertyBag file(dir.filePath("window.ini"), QStringLiteral("ProgressBar1"));
    MemoryPropertyBag copy;
    MProgress(file, &window).WriteProperties(copy);
    QCOMPARE(copy.names(), kSavedNames);
    for (const QString& name : kSavedNames)
        QVERIFY2(copy.value(name) == original.value(name), qPrintable(name));
}

void TestControl::anEmptyBagGivesTheDefaults()
{
    // Read in the saved order: every default, the host's font among them, as a newly
    // placed control has them; and saving leaves every one of them out.
    QWidget window;
    window.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 15));
    MemoryPropertyBag empty;
    MemoryPropertyBag fromEmpty;
    MemoryPropertyBag fromNew;
    MProgress loaded(empty, &window);
    QCOMPARE(empty.readNames(), kSavedNames);
    QCOMPARE(loaded.Font().pointSize(), 15);
    loaded.WriteProperties(fromEmpty);
    MProgress(&window).WriteProperties(fromNew);
    for (const QString& name : kSavedNames)
        QVERIFY2(fromEmpty.value(name) == fromNew.value(name), qPrintable(name));
    QTemporaryDir dir;
    SettingsPropertyBag file(dir.filePath("window.ini"));
    loaded.WriteProperties(file);
    QVERIFY(file.sync());
    QCOMPARE(QSettings(dir.filePath("window.ini"), QSettings::IniFormat).allKeys(), QStringList());
}

void TestControl::valuesAsOtherWritersLeaveThem()
{
    // A plain number for a Currency, -1 and 0 as text for True and False.
    MemoryPropertyBag bag;
    bag.set("Max", 50), bag.set("Custom", "-1"), bag.set("NoPercent", "0");
    QWidget window;
    MProgress bar(bag, &window);
    QCOMPARE(bar.Max(), Currency(50));
    QCOMPARE(bar.ShowCustomCaption(), true);
    QCOMPARE(bar.DisablePercent(), false);
}

void TestControl::currencyFromText_data()
{
    // Max, Min and Value are saved as decimal text; the round trip covers the plain cases.
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("raw");
    QTest::addColumn<int>("error");
    QTest::newRow("half to even, down") << "0.00005" << 0LL << 0;
    QTest::newRow("half to even, up") << "-0.00015" << -2LL << 0;
    QTest::newRow("largest") << "922337203685477.5807" << 9223372036854775807LL << 0;
    QTest::newRow("too large") << "922337203685477.5808" << 0LL << 6;
    QTest::newRow("not a number") << "12a" << 0LL << 13;
}

void TestControl::currencyFromText()
{
    QFETCH(QString, text);
    QFETCH(qint64, raw);
    QFETCH(int, error);
    Currency c;
    QCOMPARE(errorOf([&] { c = Currency::fromString(text); }), error);
    QCOMPARE(c.raw(), raw);
}

QTEST_MAIN(TestControl)
#include "test_control.moc"
