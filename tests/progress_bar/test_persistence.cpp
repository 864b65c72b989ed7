// Saving and loading the progress bar's settings, and the settings the main window
// ships for its ProgressBar1.
#include "BarHost.h"

#include "platform/PlatformError.h"
#include "platform/PropertyBag.h"
#include "platform/Twips.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace orvel;

namespace {

const QStringList kSavedNames{
    "BackColor", "Blend",         "BorderStyle", "Custom",       "CustomText",   "Direction",     "Fade",
    "FadeBG1",   "FadeBG2",       "FadeFG1",     "FadeFG2",      "FadeStyle",    "Font",          "ForeColor",
    "Interval",  "ManualRefresh", "Max",         "Min",          "NoPercent",    "Percent",       "PercentAfter",
    "PercentAlign", "PercentBefore", "Reverse",  "ScaleMode",    "Value",        "Vertical",
};

// A control with every saved setting away from its default.
void changeEverything(MProgress& bar)
{
    bar.setManualRefresh(true); // first, so that nothing below depends on painting
    bar.setBackColor(0x102030);
    bar.setBlend(3);
    bar.setBorderStyle(2);
    bar.setShowCustomCaption(true);
    bar.setCustomCaption(QStringLiteral("Fertig"));
    bar.setDirection(1);
    bar.setFade(1);
    bar.setFadeBG1(0x010203);
    bar.setFadeBG2(0x80000005);
    bar.setFadeFG1(0xABCDEF);
    bar.setFadeFG2(0x000000);
    bar.setFadeStyle(0);
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSizeF(11.5);
    font.setItalic(true);
    bar.setFont(font);
    bar.setForeColor(0x80000008);
    bar.setMax(Currency::fromString(u"250.5"));
    bar.setMin(-7);
    bar.setDisablePercent(true);
    bar.setValue(Currency::fromString(u"100.25"));
    bar.setCaption2(QStringLiteral("pc"));
    bar.setAlignment(6);
    bar.setCaption(QStringLiteral("Files"));
    bar.setScaleMode(3);
}

void compareSettings(const MProgress& a, const MProgress& b)
{
    QCOMPARE(a.BackColor(), b.BackColor());
    QCOMPARE(a.Blend(), b.Blend());
    QCOMPARE(a.BorderStyle(), b.BorderStyle());
    QCOMPARE(a.ShowCustomCaption(), b.ShowCustomCaption());
    QCOMPARE(a.CustomCaption(), b.CustomCaption());
    QCOMPARE(a.Direction(), b.Direction());
    QCOMPARE(a.Fade(), b.Fade());
    QCOMPARE(a.FadeBG1(), b.FadeBG1());
    QCOMPARE(a.FadeBG2(), b.FadeBG2());
    QCOMPARE(a.FadeFG1(), b.FadeFG1());
    QCOMPARE(a.FadeFG2(), b.FadeFG2());
    QCOMPARE(a.FadeStyle(), b.FadeStyle());
    QCOMPARE(a.Font().family(), b.Font().family());
    QCOMPARE(a.Font().pointSizeF(), b.Font().pointSizeF());
    QCOMPARE(a.Font().italic(), b.Font().italic());
    QCOMPARE(a.ForeColor(), b.ForeColor());
    QCOMPARE(a.Interval(), b.Interval());
    QCOMPARE(a.ManualRefresh(), b.ManualRefresh());
    QCOMPARE(a.Max(), b.Max());
    QCOMPARE(a.Min(), b.Min());
    QCOMPARE(a.DisablePercent(), b.DisablePercent());
    QCOMPARE(a.Percent(), b.Percent());
    QCOMPARE(a.Caption2(), b.Caption2());
    QCOMPARE(a.Alignment(), b.Alignment());
    QCOMPARE(a.Caption(), b.Caption());
    QCOMPARE(a.Reverse(), b.Reverse());
    QCOMPARE(a.ScaleMode(), b.ScaleMode());
    QCOMPARE(a.Value(), b.Value());
    QCOMPARE(a.Vertical(), b.Vertical());
}

} // namespace

class TestPersistence : public QObject {
    Q_OBJECT
private slots:
    void roundTripInMemory();
    void roundTripThroughAFile();
    void bagWithoutEntriesGivesTheDefaults();
    void loadingStoresWithoutRules();
    void badSavedValuesAreErrors_data();
    void badSavedValuesAreErrors();
    void progressBar1FromTheProgram();
};

void TestPersistence::roundTripInMemory()
{
    QWidget window;
    MProgress original(&window);
    changeEverything(original);
    QCOMPARE(original.Percent(), 41); // 107.25 / 257.5

    MemoryPropertyBag bag;
    original.WriteProperties(bag);
    QCOMPARE(bag.names(), kSavedNames);

    MProgress copy(bag, &window);
    QCOMPARE(bag.readNames(), kSavedNames);
    compareSettings(copy, original);
    QCOMPARE(copy.LastPercent(), 0); // loading sets the fields only
}

void TestPersistence::roundTripThroughAFile()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("window.ini"));
    QWidget window;
    MProgress original(&window);
    changeEverything(original);
    {
        SettingsPropertyBag bag(file, QStringLiteral("ProgressBar1"));
        original.WriteProperties(bag);
        QVERIFY(bag.sync());
    }
    {
        SettingsPropertyBag bag(file, QStringLiteral("ProgressBar1"));
        MProgress copy(bag, &window);
        compareSettings(copy, original);
    }
    // Values at their default are left out of the file.
    MProgress plain(&window);
    {
        SettingsPropertyBag bag(file, QStringLiteral("Plain"));
        plain.WriteProperties(bag);
        QVERIFY(bag.sync());
    }
    QSettings raw(file, QSettings::IniFormat);
    raw.beginGroup(QStringLiteral("Plain"));
    QCOMPARE(raw.allKeys(), QStringList());
    raw.endGroup();
    raw.beginGroup(QStringLiteral("ProgressBar1"));
    QCOMPARE(raw.value(QStringLiteral("Max")).toString(), QStringLiteral("250.5"));
    QCOMPARE(raw.value(QStringLiteral("Font/Name")).toString(), QStringLiteral("DejaVu Serif"));
}

void TestPersistence::bagWithoutEntriesGivesTheDefaults()
{
    QWidget window;
    QFont hostFont(QStringLiteral("DejaVu Sans Mono"), 15);
    window.setFont(hostFont);
    MemoryPropertyBag empty;
    MProgress loaded(empty, &window);
    QCOMPARE(empty.readNames(), kSavedNames);
    MProgress fresh(&window); // the defaults of a newly placed control
    compareSettings(loaded, fresh);
    QCOMPARE(loaded.Font().family(), hostFont.family());
    QCOMPARE(loaded.Font().pointSize(), 15);
    QCOMPARE(loaded.Max(), Currency(10000));
    QCOMPARE(loaded.BackColor(), 0x8000000Eu);
    QCOMPARE(loaded.Interval(), 1);
}

void TestPersistence::loadingStoresWithoutRules()
{
    MemoryPropertyBag bag;
    bag.set("Max", "10");
    bag.set("Value", "50"); // outside the range
    bag.set("Percent", 77);
    bag.set("BorderStyle", 9);
    bag.set("Direction", 2);
    bag.set("ScaleMode", 3);
    QWidget window;
    auto* bar = new MProgress(bag, &window);
    QCOMPARE(bar->Value(), Currency(50));
    QCOMPARE(bar->BorderStyle(), 9);
    QCOMPARE(bar->Reverse(), false); // saved on its own, not derived from Direction
    QCOMPARE(bar->ScaleMode(), 3);
    bar->setGeometry(0, 0, 100, 20);
    window.show();
    QCOMPARE(bar->ValueOffset(), Currency(50)); // the caches are filled at Show
    QCOMPARE(bar->ValueRange(), Currency(10));
    QCOMPARE(bar->Percent(), 77); // kept until Value changes
    QCOMPARE(bar->CaptionText(), QStringLiteral(" 77 %"));
    // The control's own scale is still twips: ScaleMode was only stored.
    float x = 0;
    QObject::connect(bar, &MProgress::MouseDown, bar, [&](short&, short&, float& X, float&) { x = X; });
    QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(2, 2));
    QCOMPARE(x, 30.0f);
    bar->setValue(5);
    QCOMPARE(bar->Percent(), 50);
}

void TestPersistence::badSavedValuesAreErrors_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("error");
    QTest::newRow("Fade 300") << "Fade" << QVariant(300) << 6;
    QTest::newRow("Percent -1") << "Percent" << QVariant(-1) << 6;
    QTest::newRow("ScaleMode 70000") << "ScaleMode" << QVariant(70000) << 6;
    QTest::newRow("colour too wide") << "BackColor" << QVariant(QStringLiteral("4294967296")) << 6;
    QTest::newRow("Max not a number") << "Max" << QVariant(QStringLiteral("lots")) << 13;
}

void TestPersistence::badSavedValuesAreErrors()
{
    QFETCH(QString, name);
    QFETCH(QVariant, value);
    QFETCH(int, error);
    MemoryPropertyBag bag;
    bag.set(name, value);
    int number = 0;
    try {
        MProgress bar(bag, nullptr);
    } catch (const PlatformError& e) {
        number = e.number();
    }
    QCOMPARE(number, error);
}

void TestPersistence::progressBar1FromTheProgram()
{
    const QString path = QStringLiteral(":/main_window/ProgressBar1.ini");
    QVERIFY(QFile::exists(path));
    QWidget window;
    MProgress* bar = CreateFromSavedProperties(path, &window);
    QCOMPARE(bar->parentWidget(), &window);
    QCOMPARE(bar->size(), QSize(twipsToPixels(5295), twipsToPixels(255)));
    QCOMPARE(bar->size(), QSize(353, 17));
    QCOMPARE(bar->Font().family(), QStringLiteral("MS Sans Serif"));
    QCOMPARE(bar->Font().pointSizeF(), 8.25);
    // Everything else as a new control has it.
    MProgress fresh(&window);
    fresh.setFont(bar->Font());
    compareSettings(*bar, fresh);
    // And it works: shown and driven as the rename run drives it.
    window.resize(400, 40);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    bar->setMax(200);
    bar->setValue(90);
    QCOMPARE(bar->CaptionText(), QStringLiteral(" 45 %"));
    QCOMPARE(bar->FG()->Width(), 159); // 90 * 354 / 200 = 159.3
}

QTEST_MAIN(TestPersistence)
#include "test_persistence.moc"
