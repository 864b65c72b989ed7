// Where the filled part goes for each direction, the control's resize handling, the
// border style with its hooks, and moving the control to another window.
#include "BarHost.h"

#include "platform/PropertyBag.h"
#include "progress_bar/ProgressBarModule.h"

#include <QSignalSpy>
#include <QTest>

using namespace orvel;
using orvel::test::BarHost;

namespace {

struct HookCall {
    QString hook;
    quintptr hWnd;
    int style;
    bool operator==(const HookCall&) const = default;
};

class HookLog {
public:
    HookLog()
    {
        ProgressBarModule::SetHookObserver(
            [this](const char* hook, quintptr hWnd, int style) { calls.append({QString::fromLatin1(hook), hWnd, style}); });
    }
    ~HookLog() { ProgressBarModule::SetHookObserver({}); }
    QList<HookCall> calls;
};

} // namespace

class TestLayout : public QObject {
    Q_OBJECT
private slots:
    void barPlacement_data();
    void barPlacement();
    void unknownDirectionLeavesTheBar();
    void zeroRangeGivesZeroLength();
    void barResizeOnlyWhenTheLengthChanges();
    void resizeFillsTheControl();
    void resizeInManualMode();
    void borderStyle_data();
    void borderStyle();
    void borderHooksOverALife();
    void setParentMovesTheControl();
};

void TestLayout::barPlacement_data()
{
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<qint64>("max");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QRect>("fg");

    // 5000 * 101 / 10000 = 50.5: halves go to the even neighbour.
    QTest::newRow("0, half") << 0 << 100 << 20 << qint64(10000) << qint64(5000) << QRect(-1, 0, 50, 20);
    QTest::newRow("2, half") << 2 << 100 << 20 << qint64(10000) << qint64(5000) << QRect(50, 0, 50, 20);
    QTest::newRow("1, quarter") << 1 << 100 << 20 << qint64(10000) << qint64(2500) << QRect(0, 15, 100, 5);
    QTest::newRow("3, quarter") << 3 << 100 << 20 << qint64(10000) << qint64(2500) << QRect(0, -1, 100, 5);
    QTest::newRow("2, 51.5 to even") << 2 << 103 << 20 << qint64(2) << qint64(1) << QRect(51, 0, 52, 20);
    QTest::newRow("0, 75.75") << 0 << 100 << 20 << qint64(10000) << qint64(7500) << QRect(-1, 0, 76, 20);

    QTest::newRow("0, Min") << 0 << 100 << 20 << qint64(10000) << qint64(0) << QRect(-1, 0, 0, 20);
    QTest::newRow("1, Min") << 1 << 100 << 20 << qint64(10000) << qint64(0) << QRect(0, 20, 100, 0);
    QTest::newRow("2, Min") << 2 << 100 << 20 << qint64(10000) << qint64(0) << QRect(100, 0, 0, 20);
    QTest::newRow("3, Min") << 3 << 100 << 20 << qint64(10000) << qint64(0) << QRect(0, -1, 100, 0);

    // A full bar covers the control from one pixel before its start edge.
    QTest::newRow("0, Max") << 0 << 100 << 20 << qint64(10000) << qint64(10000) << QRect(-1, 0, 101, 20);
    QTest::newRow("1, Max") << 1 << 100 << 20 << qint64(10000) << qint64(10000) << QRect(0, 0, 100, 20);
    QTest::newRow("2, Max") << 2 << 100 << 20 << qint64(10000) << qint64(10000) << QRect(0, 0, 100, 20);
    QTest::newRow("3, Max") << 3 << 100 << 20 << qint64(10000) << qint64(10000) << QRect(0, -1, 100, 21);

    QTest::newRow("0, wide bar, 16-bit length") << 0 << 30000 << 10 << qint64(10000) << qint64(10000)
                                                << QRect(-1, 0, 30001, 10);
}

void TestLayout::barPlacement()
{
    QFETCH(int, direction);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(qint64, max);
    QFETCH(qint64, value);
    QFETCH(QRect, fg);
    BarHost host(width, height, [&](MProgress& bar) {
        bar.setMax(max);
        bar.setDirection(direction);
    });
    host.bar->setValue(1); // a change, so that the cached offset and range are fresh
    host.bar->setValue(value);
    const PictureSurface* FG = host.bar->FG();
    QCOMPARE(QRect(FG->Left(), FG->Top(), FG->Width(), FG->Height()), fg);
    QCOMPARE(FG->geometry(), fg);
    if (!fg.isEmpty())
        QCOMPARE(FG->picture().size(), fg.size());
}

void TestLayout::unknownDirectionLeavesTheBar()
{
    BarHost host;
    host.bar->setValue(3000);
    const QRect before = host.bar->FG()->geometry();
    host.bar->setDirection(5);
    host.bar->setValue(9000);
    host.bar->Refresh();
    QCOMPARE(host.bar->FG()->geometry(), before);
    host.bar->setDirection(0); // and it comes back with a known direction
    QCOMPARE(host.bar->FG()->geometry(), QRect(-1, 0, 91, 20));
}

void TestLayout::zeroRangeGivesZeroLength()
{
    // Only saved settings can make Min equal Max. The bar then has no length, and the
    // percentage cannot be worked out, so it keeps its value.
    MemoryPropertyBag bag;
    bag.set("Min", "5");
    bag.set("Max", "5");
    bag.set("Value", "8");
    bag.set("Percent", 40);
    QWidget window;
    auto* bar = new MProgress(bag, &window);
    bar->setGeometry(0, 0, 100, 20);
    window.show();
    QCOMPARE(bar->ValueOffset(), Currency(3));
    QCOMPARE(bar->ValueRange(), Currency(0));
    QCOMPARE(bar->FG()->geometry(), QRect(-1, 0, 0, 20));
    bar->setValue(7); // clamped to 5
    QCOMPARE(bar->Value(), Currency(5));
    QCOMPARE(bar->Percent(), 40);
}

void TestLayout::barResizeOnlyWhenTheLengthChanges()
{
    BarHost host(100, 20);
    QSignalSpy barResize(host.bar, &MProgress::BarResize);
    for (int v = 1; v <= 10000; v += 7)
        host.bar->setValue(v);
    host.bar->setValue(10000);
    // Lengths 0..101 in direction 0: one report for each new length.
    QCOMPARE(barResize.count(), 101);
}

void TestLayout::resizeFillsTheControl()
{
    BarHost host(100, 20);
    host.bar->setValue(5000);
    QSignalSpy resize(host.bar, &MProgress::Resize);
    QSignalSpy barResize(host.bar, &MProgress::BarResize);
    host.bar->resize(200, 30);
    for (PictureSurface* s : {host.bar->DBG(), host.bar->DFG(), host.bar->BG()})
        QCOMPARE(QRect(s->Left(), s->Top(), s->Width(), s->Height()), QRect(0, 0, 200, 30));
    QCOMPARE(host.bar->FG()->geometry(), QRect(-1, 0, 100, 30)); // 5000 * 201 / 10000 = 100.5
    QCOMPARE(resize.count(), 1);
    QCOMPARE(barResize.count(), 1);
    QCOMPARE(host.bar->DBG()->picture().size(), QSize(200, 30));
}

void TestLayout::resizeInManualMode()
{
    BarHost host(100, 20, [](MProgress& bar) {
        bar.setFadeBG1(0x000000);
        bar.setFadeBG2(0xFFFFFF);
        bar.setFade(1);
        bar.setBackColor(0x00FF00);
    });
    host.bar->setValue(5000);
    host.bar->setManualRefresh(true);
    QSignalSpy resize(host.bar, &MProgress::Resize);
    QSignalSpy barResize(host.bar, &MProgress::BarResize);
    const QRect fg = host.bar->FG()->geometry();
    host.bar->resize(200, 30);
    QCOMPARE(host.bar->BG()->geometry(), QRect(0, 0, 200, 30));
    QCOMPARE(host.bar->DBG()->Width(), 200);
    QCOMPARE(host.bar->DFG()->Height(), 30);
    QCOMPARE(host.bar->FG()->geometry(), fg);
    QCOMPARE(resize.count(), 1);
    QCOMPARE(barResize.count(), 0);
    // The fades were rendered for the new size, but nothing was painted: BG shows
    // its plain background colour.
    QCOMPARE(host.bar->DBG()->GetPixel(40, 29), 0x333333u); // 40 steps of 255 / 200
    QCOMPARE(orvel::test::countPixels(host.bar->BG()->picture(), qRgb(0, 255, 0)), 200 * 30);
}

void TestLayout::borderStyle_data()
{
    QTest::addColumn<int>("assigned");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("inset");
    QTest::newRow("0") << 0 << 0 << 1;
    QTest::newRow("1") << 1 << 1 << 1;
    QTest::newRow("2") << 2 << 2 << 1;
    QTest::newRow("3") << 3 << 3 << 0;
    QTest::newRow("6") << 6 << 6 << 0;
    QTest::newRow("9 becomes 6") << 9 << 6 << 0;
    QTest::newRow("-3 kept") << -3 << -3 << 0;
}

void TestLayout::borderStyle()
{
    QFETCH(int, assigned);
    QFETCH(int, stored);
    QFETCH(int, inset);
    BarHost host;
    HookLog hooks;
    QSignalSpy resize(host.bar, &MProgress::Resize);
    QSignalSpy names(host.bar, &MProgress::propertyChanged);
    host.bar->setBorderStyle(assigned);
    QCOMPARE(host.bar->BorderStyle(), stored);
    QCOMPARE(host.bar->CaptionInset(), inset);
    QCOMPARE(resize.count(), 1);
    QCOMPARE(names.count(), 1);
    const QList<HookCall> expected{{"DetachBorder", host.bar->hWnd(), 0}, {"AttachBorder", host.bar->hWnd(), stored}};
    QCOMPARE(hooks.calls, expected);
}

void TestLayout::borderHooksOverALife()
{
    HookLog hooks;
    quintptr handle = 0;
    {
        QWidget window;
        auto* bar = new MProgress(&window);
        handle = bar->hWnd();
        bar->setBorderStyle(1);
        window.show(); // Show attaches, without detaching first
        bar->hide();
        bar->show(); // every show attaches again
    }
    const QList<HookCall> expected{
        {"DetachBorder", handle, 0}, {"AttachBorder", handle, 1}, {"AttachBorder", handle, 1},
        {"AttachBorder", handle, 1}, {"DetachBorder", handle, 0}, // Terminate
    };
    QCOMPARE(hooks.calls, expected);
}

void TestLayout::setParentMovesTheControl()
{
    BarHost host;
    QWidget other;
    other.resize(300, 100);
    other.show();
    host.bar->SetParent(MProgress::WindowHandleOf(&other));
    QCOMPARE(host.bar->parentWidget(), &other);
    QVERIFY(host.bar->isVisible());
    host.bar->SetParent(0xDEAD0000); // no such window: the call fails quietly
    QCOMPARE(host.bar->parentWidget(), &other);
    host.bar->setParent(&host.window); // give it back before the windows go
}

QTEST_MAIN(TestLayout)
#include "test_layout.moc"
