// Value, range and percent arithmetic, the caption text, the numbered errors and the
// Change events of the progress bar.
#include "BarHost.h"

#include <QEvent>
#include <QSignalSpy>
#include <QTest>

using namespace orvel;
using namespace orvel::test;

namespace {

// Counts the paint events of the bar's visible surfaces.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(MProgress& bar)
    {
        bar.BG()->installEventFilter(this);
        bar.FG()->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override
    {
        count += e->type() == QEvent::Paint;
        return false;
    }
};

} // namespace

class TestValueEvents : public QObject {
    Q_OBJECT
private slots:
    void valueAndChange_data();
    void valueAndChange();
    void maxAndMinRules();
    void captionText_data();
    void captionText();
    void errorsStoreNothing_data();
    void errorsStoreNothing();
};

void TestValueEvents::valueAndChange_data()
{
    QTest::addColumn<qint64>("max");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("assigned");
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("changes");
    QTest::addColumn<bool>("paints"); // on screen before the assignment returns
    QTest::newRow("5000 of 10000") << 10000LL << 0LL << 5000LL << 5000LL << 50 << 1 << true;
    // The percentage changes, then landing on Max raises Change a second time.
    QTest::newRow("9999 to 10000") << 10000LL << 9999LL << 10000LL << 10000LL << 100 << 2 << true;
    QTest::newRow("onto Min, same percent") << 10000LL << 50LL << 0LL << 0LL << 0 << 1 << true;
    QTest::newRow("below Min") << 10000LL << 3000LL << -5LL << 0LL << 0 << 2 << true;
    QTest::newRow("above Max") << 10000LL << 3000LL << 20000LL << 10000LL << 100 << 2 << true;
    QTest::newRow("clamped onto the same value") << 10000LL << 10000LL << 20000LL << 10000LL << 100 << 0 << false;
    QTest::newRow("same length, same percent") << 10000LL << 100LL << 101LL << 101LL << 1 << 0 << false;
    QTest::newRow("1.01 to 1.515 pixels: only the length") << 10000LL << 100LL << 150LL << 150LL << 1 << 0 << true;
    // 29 / 100 is just under 0.29 in binary: ratio first, then the hundredfold, truncated.
    QTest::newRow("29 of 100") << 100LL << 0LL << 29LL << 29LL << 28 << 1 << true;
}

void TestValueEvents::valueAndChange()
{
    QFETCH(qint64, max);
    QFETCH(qint64, start);
    QFETCH(qint64, assigned);
    QFETCH(qint64, stored);
    QFETCH(int, percent);
    QFETCH(int, changes);
    QFETCH(bool, paints);
    BarHost host;
    host.bar->setMax(max);
    host.bar->setValue(start);
    QSignalSpy change(host.bar, &MProgress::Change);
    PaintCounter painted(*host.bar);
    host.bar->setValue(assigned);
    QCOMPARE(host.bar->Value(), Currency(stored));
    QCOMPARE(host.bar->Percent(), percent);
    QCOMPARE(change.count(), changes);
    QCOMPARE(painted.count > 0, paints);
}

void TestValueEvents::maxAndMinRules()
{
    BarHost host;
    MProgress& b = *host.bar;
    b.setMin(20000);
    QCOMPARE(b.Min(), Currency(9999)); // at most Max - 1
    QCOMPARE(b.Value(), Currency(9999)); // and Value comes along
    b.setMax(50);
    QCOMPARE(b.Max(), Currency(10000)); // at least Min + 1
    b.setMin(0);
    b.setValue(5000);
    const int fgWidth = b.FG()->Width();

    // Max below Value pulls Value down, but the bar and the percentage keep their
    // proportions and no Change is raised until Value next changes.
    QSignalSpy change(&b, &MProgress::Change);
    b.setMax(2000);
    QCOMPARE(b.Value(), Currency(2000));
    QCOMPARE(b.Percent(), 50);
    QCOMPARE(b.FG()->Width(), fgWidth);
    QCOMPARE(change.count(), 0);
    b.setMin(-2000);
    b.setValue(0);
    QCOMPARE(b.Percent(), 50); // the offset from Min against the range

    // A range too wide for Currency is passed over, not thrown.
    QCOMPARE(errorOf([&] { b.setMin(Currency::min()); b.setMax(Currency::max()); b.setValue(Currency::max()); }), 0);
    QCOMPARE(b.Value(), Currency::max());
}

void TestValueEvents::captionText_data()
{
    QTest::addColumn<Setup>("steps"); // taken at 45 %
    QTest::addColumn<QString>("caption");
    QTest::newRow("percentage") << Setup([](MProgress&) {}) << " 45 %";
    QTest::newRow("texts around it") << Setup([](auto& b) { b.setCaption("Done"); b.setCaption2(""); }) << "Done 45 ";
    QTest::newRow("custom below Max")
        << Setup([](auto& b) { b.setShowCustomCaption(true); b.setValue(9999); }) << " 99 %";
    QTest::newRow("custom at Max")
        << Setup([](auto& b) { b.setShowCustomCaption(true); b.setValue(10000); }) << "Done!";
    QTest::newRow("disabled, own caption")
        << Setup([](auto& b) { b.setCaption("Renaming"); b.setDisablePercent(true); b.setValue(6000); }) << "Renaming";
    QTest::newRow("disabled, no caption") << Setup([](auto& b) { b.setDisablePercent(true); b.setValue(6000); }) << "";
}

void TestValueEvents::captionText()
{
    QFETCH(Setup, steps);
    QFETCH(QString, caption);
    BarHost host;
    host.bar->setValue(4500);
    steps(*host.bar);
    QCOMPARE(host.bar->CaptionText(), caption);
}

void TestValueEvents::errorsStoreNothing_data()
{
    QTest::addColumn<Setup>("action");
    QTest::addColumn<int>("error");
    QTest::newRow("Percent at run time") << Setup([](auto& b) { b.setPercent(80); }) << 393;
    QTest::newRow("Percent in design") << Setup([](auto& b) { b.setAmbientUserMode(false); b.setPercent(80); }) << 382;
    QTest::newRow("Fade 300") << Setup([](auto& b) { b.setFade(300); }) << 6;
    QTest::newRow("Alignment 256") << Setup([](auto& b) { b.setAlignment(256); }) << 6;
    QTest::newRow("FadeStyle -1") << Setup([](auto& b) { b.setFadeStyle(-1); }) << 6;
    QTest::newRow("ScaleMode 40000") << Setup([](auto& b) { b.setScaleMode(40000); }) << 6;
    QTest::newRow("Max beyond Currency") << Setup([](auto& b) { b.setMax(Currency::max() + Currency(1)); }) << 6;
}

void TestValueEvents::errorsStoreNothing()
{
    QFETCH(Setup, action);
    QFETCH(int, error);
    BarHost host;
    host.bar->setValue(3000);
    auto state = [&] {
        const MProgress& b = *host.bar;
        return QList<qint64>{b.Fade(), b.Alignment(), b.FadeStyle(), b.ScaleMode(), b.Percent(), b.Max().raw()};
    };
    const auto before = state();
    QSignalSpy names(host.bar, &MProgress::propertyChanged);
    QCOMPARE(errorOf([&] { action(*host.bar); }), error);
    QCOMPARE(state(), before);
    QCOMPARE(names.count(), 0);
}

QTEST_MAIN(TestValueEvents)
#include "test_value_events.moc"
