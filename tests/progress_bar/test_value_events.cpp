// Value, range and percent arithmetic, the caption text, the property-change names,
// the numbered errors and the events of the progress bar.
#include "BarHost.h"

#include "platform/PlatformError.h"

#include <QEvent>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace orvel;
using orvel::test::BarHost;

namespace {

int errorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const PlatformError& e) {
        return e.number();
    }
    return 0;
}

QStringList namesOf(const QSignalSpy& spy)
{
    QStringList names;
    for (const auto& args : spy)
        names << args.at(0).toString();
    return names;
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* w) { w->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

} // namespace

class TestValueEvents : public QObject {
    Q_OBJECT
private slots:
    void newControlHasTheDefaults();
    void halfWayGivesFiftyPercentAndOneChange();
    void valueIsClamped_data();
    void valueIsClamped();
    void sameValueOnlyNotifies();
    void reachingMaxRaisesChangeTwice();
    void reachingMinRaisesChangeOnce();
    void percentIsTheRatioTimesHundredTruncated_data();
    void percentIsTheRatioTimesHundredTruncated();
    void maxRules();
    void minRules();
    void customCaptionAtMax();
    void disabledPercentShowsCaptionAlone();
    void captionTextsAroundThePercentage();
    void writingPercentFails();
    void directionSetsFlags_data();
    void directionSetsFlags();
    void conversionsThatOverflow();
    void clampingSetters();
    void scaleModeRejectedBySurface();
    void notificationNames_data();
    void notificationNames();
    void manualRefreshDefersTheBar();
    void paintsSynchronouslyAndOnlyWhenNeeded();
    void ownSurfaceEventsAreForwarded();
    void childSurfaceClicksAreNotForwarded();
};

void TestValueEvents::newControlHasTheDefaults()
{
    QWidget host;
    QFont hostFont(QStringLiteral("DejaVu Sans"), 13);
    host.setFont(hostFont);
    MProgress bar(&host);
    QCOMPARE(bar.Alignment(), 0);
    QCOMPARE(bar.BackColor(), 0x8000000Eu);
    QCOMPARE(bar.Blend(), 0);
    QCOMPARE(bar.BorderStyle(), 6);
    QCOMPARE(bar.Caption(), QString());
    QCOMPARE(bar.Caption2(), QStringLiteral("%"));
    QCOMPARE(bar.CustomCaption(), QStringLiteral("Done!"));
    QCOMPARE(bar.Direction(), 0);
    QCOMPARE(bar.DisablePercent(), false);
    QCOMPARE(bar.Fade(), 2);
    QCOMPARE(bar.FadeBG1(), 0x80000010u);
    QCOMPARE(bar.FadeBG2(), 0x80000014u);
    QCOMPARE(bar.FadeFG1(), 0x8000000Eu);
    QCOMPARE(bar.FadeFG2(), 0x8000000Du);
    QCOMPARE(bar.FadeStyle(), 1);
    QCOMPARE(bar.Font().family(), hostFont.family());
    QCOMPARE(bar.Font().pointSize(), 13);
    QCOMPARE(bar.BG()->TextFont().pointSize(), 13);
    QCOMPARE(bar.FG()->TextFont().pointSize(), 13);
    QCOMPARE(bar.ForeColor(), 0x80000012u);
    QCOMPARE(bar.ManualRefresh(), false);
    QCOMPARE(bar.Max(), Currency(10000));
    QCOMPARE(bar.Min(), Currency(0));
    QCOMPARE(bar.Percent(), 0);
    QCOMPARE(bar.ScaleMode(), 1);
    QCOMPARE(bar.ShowCustomCaption(), false);
    QCOMPARE(bar.Value(), Currency(0));
    QCOMPARE(bar.Reverse(), false);
    QCOMPARE(bar.Vertical(), false);
    QCOMPARE(bar.Interval(), 1);
    QCOMPARE(bar.property("Value").value<Currency>(), Currency(0)); // the default member is a property
    const QMetaObject* meta = bar.metaObject();
    const int info = meta->indexOfClassInfo("Description:CustomCaption");
    QVERIFY(info >= 0);
    QCOMPARE(QString::fromUtf8(meta->classInfo(info).value()), QStringLiteral("Sets object's custom \"Done!\" text."));
}

void TestValueEvents::halfWayGivesFiftyPercentAndOneChange()
{
    BarHost host;
    QSignalSpy change(host.bar, &MProgress::Change);
    host.bar->setValue(5000);
    QCOMPARE(host.bar->Percent(), 50);
    QCOMPARE(host.bar->CaptionText(), QStringLiteral(" 50 %"));
    QCOMPARE(change.count(), 1);
    QCOMPARE(host.bar->ValueOffset(), Currency(5000));
    QCOMPARE(host.bar->ValueRange(), Currency(10000));
}

void TestValueEvents::valueIsClamped_data()
{
    QTest::addColumn<qint64>("assigned");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<int>("percent");
    QTest::newRow("below Min") << qint64(-5) << qint64(0) << 0;
    QTest::newRow("above Max") << qint64(20000) << qint64(10000) << 100;
    QTest::newRow("inside") << qint64(1234) << qint64(1234) << 12;
    QTest::newRow("far below") << qint64(-900000000000000) << qint64(0) << 0;
}

void TestValueEvents::valueIsClamped()
{
    QFETCH(qint64, assigned);
    QFETCH(qint64, stored);
    QFETCH(int, percent);
    BarHost host;
    host.bar->setValue(3000); // start away from both ends
    host.bar->setValue(assigned);
    QCOMPARE(host.bar->Value(), Currency(stored));
    QCOMPARE(host.bar->Percent(), percent);
}

void TestValueEvents::sameValueOnlyNotifies()
{
    BarHost host;
    host.bar->setValue(20000); // stores Max
    QSignalSpy change(host.bar, &MProgress::Change);
    QSignalSpy names(host.bar, &MProgress::propertyChanged);
    QSignalSpy barResize(host.bar, &MProgress::BarResize);
    const QImage before = host.bar->BG()->picture();
    host.bar->setValue(20000);
    host.bar->setValue(10000);
    QCOMPARE(change.count(), 0);
    QCOMPARE(barResize.count(), 0);
    QCOMPARE(namesOf(names), QStringList({"Value", "Value"}));
    QCOMPARE(host.bar->BG()->picture(), before);
}

void TestValueEvents::reachingMaxRaisesChangeTwice()
{
    BarHost host;
    host.bar->setValue(9999);
    QCOMPARE(host.bar->Percent(), 99);
    QSignalSpy change(host.bar, &MProgress::Change);
    host.bar->setValue(10000);
    QCOMPARE(host.bar->Percent(), 100);
    QCOMPARE(change.count(), 2);
    QCOMPARE(host.bar->LastPercent(), 100);
}

void TestValueEvents::reachingMinRaisesChangeOnce()
{
    BarHost host;
    host.bar->setValue(50); // 0 %: no change of percentage
    QSignalSpy change(host.bar, &MProgress::Change);
    host.bar->setValue(0); // lands on Min, percentage still 0
    QCOMPARE(change.count(), 1);
    host.bar->setValue(10); // neither
    QCOMPARE(change.count(), 1);
}

void TestValueEvents::percentIsTheRatioTimesHundredTruncated_data()
{
    QTest::addColumn<qint64>("min");
    QTest::addColumn<qint64>("max");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<int>("percent");
    // 29 / 100 is 0.28999999999999998 in binary, times 100 just under 29.
    QTest::newRow("29 of 100") << qint64(0) << qint64(100) << qint64(29) << 28;
    QTest::newRow("57 of 100") << qint64(0) << qint64(100) << qint64(57) << 56;
    QTest::newRow("50 of 100") << qint64(0) << qint64(100) << qint64(50) << 50;
    QTest::newRow("2 of 3") << qint64(0) << qint64(3) << qint64(2) << 66;
    QTest::newRow("offset from Min") << qint64(-100) << qint64(100) << qint64(50) << 75;
    QTest::newRow("99.99 %") << qint64(0) << qint64(10000) << qint64(9999) << 99;
}

void TestValueEvents::percentIsTheRatioTimesHundredTruncated()
{
    QFETCH(qint64, min);
    QFETCH(qint64, max);
    QFETCH(qint64, value);
    QFETCH(int, percent);
    BarHost host;
    host.bar->setMax(max);
    host.bar->setMin(min);
    host.bar->setValue(value);
    QCOMPARE(host.bar->Percent(), percent);
}

void TestValueEvents::maxRules()
{
    BarHost host;
    host.bar->setMin(100);
    host.bar->setMax(50);
    QCOMPARE(host.bar->Max(), Currency(101)); // Min + 1
    host.bar->setMax(10000);
    host.bar->setMin(0);
    host.bar->setValue(5000);
    QCOMPARE(host.bar->Percent(), 50);
    const int fgWidth = host.bar->FG()->Width();

    QSignalSpy change(host.bar, &MProgress::Change);
    QSignalSpy names(host.bar, &MProgress::propertyChanged);
    host.bar->setMax(2000); // below Value: Value follows, nothing else is recomputed
    QCOMPARE(host.bar->Max(), Currency(2000));
    QCOMPARE(host.bar->Value(), Currency(2000));
    QCOMPARE(change.count(), 0);
    QCOMPARE(namesOf(names), QStringList({"Max"}));
    QCOMPARE(host.bar->Percent(), 50);
    QCOMPARE(host.bar->ValueOffset(), Currency(5000));
    QCOMPARE(host.bar->ValueRange(), Currency(10000));
    QCOMPARE(host.bar->FG()->Width(), fgWidth); // the bar keeps its old proportion

    host.bar->setValue(1000); // the next change brings everything up to date
    QCOMPARE(host.bar->ValueRange(), Currency(2000));
    QCOMPARE(host.bar->Percent(), 50);
}

void TestValueEvents::minRules()
{
    BarHost host;
    host.bar->setMin(20000);
    QCOMPARE(host.bar->Min(), Currency(9999)); // Max - 1
    QCOMPARE(host.bar->Value(), Currency(9999)); // pulled up without an event
    host.bar->setMin(-50);
    QCOMPARE(host.bar->Min(), Currency(-50));
    QCOMPARE(host.bar->Value(), Currency(9999));
    // Max itself obeys the same rule from the other side.
    host.bar->setMax(Currency::fromRaw(-500000)); // -50
    QCOMPARE(host.bar->Max(), Currency(-49));
}

void TestValueEvents::customCaptionAtMax()
{
    BarHost host;
    host.bar->setShowCustomCaption(true);
    host.bar->setValue(9000);
    QCOMPARE(host.bar->CaptionText(), QStringLiteral(" 90 %"));
    host.bar->setValue(10000);
    QCOMPARE(host.bar->CaptionText(), QStringLiteral("Done!"));
    host.bar->setCustomCaption(QStringLiteral("Finished"));
    QCOMPARE(host.bar->CaptionText(), QStringLiteral("Finished"));
}

void TestValueEvents::disabledPercentShowsCaptionAlone()
{
    BarHost host;
    host.bar->setValue(4500);
    host.bar->setCaption(QStringLiteral("Renaming"));
    host.bar->setDisablePercent(true);
    QCOMPARE(host.bar->CaptionText(), QStringLiteral("Renaming"));
    host.bar->setValue(6000); // the percentage no longer shows
    QCOMPARE(host.bar->CaptionText(), QStringLiteral("Renaming"));

    BarHost empty;
    empty.bar->setValue(4500);
    QCOMPARE(empty.bar->CaptionText(), QStringLiteral(" 45 %"));
    empty.bar->setDisablePercent(true);
    QCOMPARE(empty.bar->CaptionText(), QString());
}

void TestValueEvents::captionTextsAroundThePercentage()
{
    BarHost host;
    host.bar->setValue(4500);
    QCOMPARE(host.bar->CaptionText(), QStringLiteral(" 45 %"));
    host.bar->setCaption(QStringLiteral("Done"));
    host.bar->setCaption2(QString());
    QCOMPARE(host.bar->CaptionText(), QStringLiteral("Done 45 "));
}

void TestValueEvents::writingPercentFails()
{
    BarHost host;
    host.bar->setValue(3000);
    QCOMPARE(errorOf([&] { host.bar->setPercent(80); }), 393);
    host.bar->setAmbientUserMode(false);
    QCOMPARE(errorOf([&] { host.bar->setPercent(80); }), 382);
    QCOMPARE(host.bar->Percent(), 30);
}

void TestValueEvents::directionSetsFlags_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<bool>("reverse");
    QTest::addColumn<bool>("vertical");
    QTest::newRow("0 left to right") << 0 << false << false;
    QTest::newRow("1 bottom to top") << 1 << true << true;
    QTest::newRow("2 right to left") << 2 << true << false;
    QTest::newRow("3 top to bottom") << 3 << false << true;
}

void TestValueEvents::directionSetsFlags()
{
    QFETCH(int, direction);
    QFETCH(bool, reverse);
    QFETCH(bool, vertical);
    BarHost host;
    host.bar->setValue(2500);
    QSignalSpy names(host.bar, &MProgress::propertyChanged);
    host.bar->setDirection(direction);
    QCOMPARE(host.bar->Reverse(), reverse);
    QCOMPARE(host.bar->Vertical(), vertical);
    QCOMPARE(namesOf(names), QStringList({"Direction", "Reverse", "Vertical"}));

    // An unknown direction keeps the flags and leaves the bar where it is.
    const QRect fg = host.bar->FG()->geometry();
    host.bar->setDirection(9);
    QCOMPARE(host.bar->Direction(), 9);
    QCOMPARE(host.bar->Reverse(), reverse);
    QCOMPARE(host.bar->Vertical(), vertical);
    host.bar->setValue(7500);
    QCOMPARE(host.bar->FG()->geometry(), fg);
}

void TestValueEvents::conversionsThatOverflow()
{
    BarHost host;
    host.bar->setFade(1);
    host.bar->setAlignment(3);
    QSignalSpy names(host.bar, &MProgress::propertyChanged);
    QCOMPARE(errorOf([&] { host.bar->setFade(300); }), 6);
    QCOMPARE(errorOf([&] { host.bar->setFade(-1); }), 6);
    QCOMPARE(host.bar->Fade(), 1);
    QCOMPARE(errorOf([&] { host.bar->setAlignment(256); }), 6);
    QCOMPARE(host.bar->Alignment(), 3);
    QCOMPARE(errorOf([&] { host.bar->setFadeStyle(-1); }), 6);
    QCOMPARE(host.bar->FadeStyle(), 1);
    QCOMPARE(errorOf([&] { host.bar->setScaleMode(40000); }), 6);
    QCOMPARE(host.bar->ScaleMode(), 1);
    QCOMPARE(names.count(), 0);
    // Currency does not wrap either.
    QCOMPARE(errorOf([] { Currency c(1000000000000000LL); (void)c; }), 6);
    QCOMPARE(errorOf([] { (void)(Currency::max() + Currency(1)); }), 6);
    QCOMPARE(errorOf([&] { host.bar->setMin(Currency::min()); host.bar->setMax(Currency::max()); host.bar->setValue(Currency::max()); }), 0);
    QCOMPARE(host.bar->Value(), Currency::max()); // the range does not fit: percent and caches keep their values
}

void TestValueEvents::clampingSetters()
{
    BarHost host;
    host.bar->setFadeStyle(5);
    QCOMPARE(host.bar->FadeStyle(), 1);
    host.bar->setFadeStyle(0);
    QCOMPARE(host.bar->FadeStyle(), 0);
    host.bar->setBorderStyle(9);
    QCOMPARE(host.bar->BorderStyle(), 6);
    host.bar->setBorderStyle(-3);
    QCOMPARE(host.bar->BorderStyle(), -3);
    host.bar->setAlignment(255);
    QCOMPARE(host.bar->Alignment(), 255);
}

void TestValueEvents::scaleModeRejectedBySurface()
{
    BarHost host;
    QSignalSpy names(host.bar, &MProgress::propertyChanged);
    host.bar->setScaleMode(3);
    QCOMPARE(namesOf(names), QStringList({"ScaleMode"}));
    QCOMPARE(errorOf([&] { host.bar->setScaleMode(9); }), 380);
    QCOMPARE(host.bar->ScaleMode(), 9); // stored before the surface refused it
    QCOMPARE(names.count(), 1);
}

void TestValueEvents::notificationNames_data()
{
    QTest::addColumn<std::function<void(MProgress&)>>("setter");
    QTest::addColumn<QStringList>("names");
    using F = std::function<void(MProgress&)>;
    QTest::newRow("Alignment") << F([](MProgress& b) { b.setAlignment(2); }) << QStringList{"PercentAlign"};
    QTest::newRow("BackColor") << F([](MProgress& b) { b.setBackColor(0xFF); }) << QStringList{"BackColor"};
    QTest::newRow("Blend") << F([](MProgress& b) { b.setBlend(2); }) << QStringList{"Blend"};
    QTest::newRow("BorderStyle") << F([](MProgress& b) { b.setBorderStyle(1); }) << QStringList{"BorderStyle"};
    QTest::newRow("Caption") << F([](MProgress& b) { b.setCaption("a"); }) << QStringList{"PercentBefore"};
    QTest::newRow("Caption2") << F([](MProgress& b) { b.setCaption2("b"); }) << QStringList{"PercentAfter"};
    QTest::newRow("CustomCaption") << F([](MProgress& b) { b.setCustomCaption("c"); }) << QStringList{"CustomText"};
    QTest::newRow("DisablePercent") << F([](MProgress& b) { b.setDisablePercent(true); }) << QStringList{"NoPercent"};
    QTest::newRow("Fade") << F([](MProgress& b) { b.setFade(1); }) << QStringList{"Fade"};
    QTest::newRow("FadeBG1") << F([](MProgress& b) { b.setFadeBG1(1); }) << QStringList{"FadeBG1"};
    QTest::newRow("FadeBG2") << F([](MProgress& b) { b.setFadeBG2(1); }) << QStringList{"FadeBG2"};
    QTest::newRow("FadeFG1") << F([](MProgress& b) { b.setFadeFG1(1); }) << QStringList{"FadeFG1"};
    QTest::newRow("FadeFG2") << F([](MProgress& b) { b.setFadeFG2(1); }) << QStringList{"FadeFG2"};
    QTest::newRow("FadeStyle") << F([](MProgress& b) { b.setFadeStyle(0); }) << QStringList{"FadeStyle"};
    QTest::newRow("Font") << F([](MProgress& b) { b.setFont(QFont("DejaVu Sans", 9)); }) << QStringList{"Font"};
    QTest::newRow("ForeColor") << F([](MProgress& b) { b.setForeColor(0xFF00); }) << QStringList{"ForeColor"};
    QTest::newRow("ManualRefresh") << F([](MProgress& b) { b.setManualRefresh(true); }) << QStringList{"ManualRefresh"};
    QTest::newRow("Max") << F([](MProgress& b) { b.setMax(50); }) << QStringList{"Max"};
    QTest::newRow("Min") << F([](MProgress& b) { b.setMin(5); }) << QStringList{"Min"};
    QTest::newRow("ShowCustomCaption") << F([](MProgress& b) { b.setShowCustomCaption(true); }) << QStringList{"Custom"};
    QTest::newRow("Value") << F([](MProgress& b) { b.setValue(7); }) << QStringList{"Value"};
}

void TestValueEvents::notificationNames()
{
    QFETCH(std::function<void(MProgress&)>, setter);
    QFETCH(QStringList, names);
    BarHost host;
    QSignalSpy spy(host.bar, &MProgress::propertyChanged);
    setter(*host.bar);
    QCOMPARE(namesOf(spy), names);
}

void TestValueEvents::manualRefreshDefersTheBar()
{
    BarHost host;
    host.bar->setManualRefresh(true);
    QSignalSpy change(host.bar, &MProgress::Change);
    const QRect fg = host.bar->FG()->geometry();
    const QString caption = host.bar->CaptionText();
    host.bar->setValue(6000);
    QCOMPARE(host.bar->Percent(), 60);
    QCOMPARE(change.count(), 1);
    QCOMPARE(host.bar->FG()->geometry(), fg);
    QCOMPARE(host.bar->CaptionText(), caption);
    host.bar->Refresh();
    QCOMPARE(host.bar->FG()->Width(), 61); // 6000 * 101 / 10000 = 60.6
    QCOMPARE(host.bar->CaptionText(), QStringLiteral(" 60 %"));
}

void TestValueEvents::paintsSynchronouslyAndOnlyWhenNeeded()
{
    BarHost host(100, 20);
    PaintCounter paints(host.bar->BG());
    QSignalSpy barResize(host.bar, &MProgress::BarResize);

    host.bar->setValue(100); // 1 %, and the bar grows by one pixel
    QVERIFY(paints.count > 0); // on screen before the assignment returned
    QCOMPARE(barResize.count(), 1);

    paints.count = 0;
    host.bar->setValue(101); // same length, same percentage
    host.bar->setValue(102);
    QCOMPARE(paints.count, 0);
    QCOMPARE(barResize.count(), 1);

    host.bar->setValue(150); // 1.515 pixels -> 2: only the length changes
    QVERIFY(paints.count > 0);
    QCOMPARE(barResize.count(), 2);
}

void TestValueEvents::ownSurfaceEventsAreForwarded()
{
    BarHost host;
    struct Mouse {
        short button, shift;
        float x, y;
    };
    QList<Mouse> downs, ups;
    QList<std::pair<short, short>> keyDowns, keyUps;
    QList<short> keyPresses;
    int clicks = 0;
    connect(host.bar, &MProgress::MouseDown, host.bar,
            [&](short& b, short& s, float& x, float& y) { downs.append({b, s, x, y}); });
    connect(host.bar, &MProgress::MouseUp, host.bar,
            [&](short& b, short& s, float& x, float& y) { ups.append({b, s, x, y}); });
    connect(host.bar, &MProgress::Click, host.bar, [&] { ++clicks; });
    connect(host.bar, &MProgress::KeyDown, host.bar, [&](short& k, short& s) { keyDowns.append({k, s}); });
    connect(host.bar, &MProgress::KeyUp, host.bar, [&](short& k, short& s) { keyUps.append({k, s}); });
    connect(host.bar, &MProgress::KeyPress, host.bar, [&](short& k) { keyPresses.append(k); });

    QTest::mousePress(host.bar, Qt::RightButton, Qt::ShiftModifier, QPoint(4, 2));
    QTest::mouseRelease(host.bar, Qt::RightButton, Qt::ShiftModifier, QPoint(4, 2));
    QTest::mouseClick(host.bar, Qt::LeftButton, Qt::ControlModifier, QPoint(1, 1));
    QCOMPARE(downs.size(), 2);
    QCOMPARE(downs[0].button, short(2)); // right button
    QCOMPARE(downs[0].shift, short(1));  // Shift
    QCOMPARE(downs[0].x, 60.0f);         // in twips, the control's scale
    QCOMPARE(downs[0].y, 30.0f);
    QCOMPARE(downs[1].button, short(1));
    QCOMPARE(downs[1].shift, short(2)); // Ctrl
    QCOMPARE(ups.size(), 2);
    QCOMPARE(clicks, 1); // the left button only

    host.bar->setScaleMode(3); // pixels
    QTest::mousePress(host.bar, Qt::LeftButton, {}, QPoint(4, 2));
    QCOMPARE(downs.size(), 3);
    QCOMPARE(downs[2].x, 4.0f);

    QTest::keyClick(host.bar, Qt::Key_A);
    QCOMPARE(keyDowns.size(), 1);
    QCOMPARE(keyDowns[0].first, short(65));
    QCOMPARE(keyPresses.size(), 1);
    QCOMPARE(keyPresses[0], short('a'));
    QCOMPARE(keyUps.size(), 1);
    QTest::keyClick(host.bar, Qt::Key_Left, Qt::AltModifier);
    QCOMPARE(keyDowns.size(), 3); // Alt goes down first
    QCOMPARE(keyDowns[1], std::make_pair(short(0x12), short(4)));
    QCOMPARE(keyDowns[2], std::make_pair(short(0x25), short(4)));
    QCOMPARE(keyPresses.size(), 1); // no character

    // A handler may change the by-reference arguments; later handlers see the change.
    short seen = -1;
    connect(host.bar, &MProgress::KeyPress, host.bar, [](short& keyAscii) { keyAscii = 0; });
    connect(host.bar, &MProgress::KeyPress, host.bar, [&seen](short& keyAscii) { seen = keyAscii; });
    QTest::keyClick(host.bar, Qt::Key_B);
    QCOMPARE(seen, short(0));
}

void TestValueEvents::childSurfaceClicksAreNotForwarded()
{
    BarHost host;
    host.bar->setValue(5000);
    int downs = 0;
    int clicks = 0;
    connect(host.bar, &MProgress::MouseDown, host.bar, [&](short&, short&, float&, float&) { ++downs; });
    connect(host.bar, &MProgress::Click, host.bar, [&] { ++clicks; });
    QTest::mouseClick(host.bar->BG(), Qt::LeftButton, {}, QPoint(80, 5));
    QTest::mouseClick(host.bar->FG(), Qt::LeftButton, {}, QPoint(10, 5));
    QCOMPARE(downs, 0);
    QCOMPARE(clicks, 0);
}

QTEST_MAIN(TestValueEvents)
#include "test_value_events.moc"
