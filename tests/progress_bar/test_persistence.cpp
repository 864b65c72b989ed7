// Saving and loading the progress bar's settings.
#include "BarHost.h"

#include "platform/PropertyBag.h"

#include <QTemporaryDir>
#include <QTest>

using namespace orvel;
using namespace orvel::test;

namespace {

// The saved names, in the order they are read and written.
const QStringList kSavedNames = QStringLiteral(
    "BackColor Blend BorderStyle Custom CustomText Direction Fade FadeBG1 FadeBG2 FadeFG1 FadeFG2 FadeStyle Font "
    "ForeColor Interval ManualRefresh Max Min NoPercent Percent PercentAfter PercentAlign PercentBefore Reverse "
    "ScaleMode Value Vertical").split(u' ');

void compareBags(const MemoryPropertyBag& actual, const MemoryPropertyBag& expected)
{
    QCOMPARE(actual.names(), kSavedNames);
    for (const QString& name : kSavedNames)
        QVERIFY2(actual.value(name) == expected.value(name), qPrintable(name));
}

// Answers every read with its default, and notes the writes whose value is not the
// default they are written with.
class DefaultsBag final : public PropertyBag {
public:
    QStringList reads;
    QStringList notDefault;
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue) override
    {
        reads << name;
        return defaultValue;
    }
    void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) override
    {
        if (value != defaultValue)
            notDefault << name;
    }
};

} // namespace

class TestPersistence : public QObject {
    Q_OBJECT
private slots:
    void roundTripThroughAFile();
    void bagWithoutEntriesGivesTheDefaults();
    void currencyFromText_data();
    void currencyFromText();
};

void TestPersistence::roundTripThroughAFile()
{
    // Every setting away from its default, typed as the control writes it.
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSizeF(8.25);
    const QVariantMap changed{
        {"BackColor", 0x102030u}, {"Blend", 3}, {"BorderStyle", 2}, {"Custom", true}, {"CustomText", "Fertig"},
        {"Direction", 1}, {"Fade", 1}, {"FadeBG1", 0x010203u}, {"FadeBG2", 0x80000005u}, {"FadeFG1", 0xABCDEFu},
        {"FadeFG2", 0u}, {"FadeStyle", 0}, {"Font", font}, {"ForeColor", 0x80000008u}, {"Interval", 3},
        {"ManualRefresh", true}, {"Max", "250.5"}, {"Min", "-7"}, {"NoPercent", true}, {"Percent", 41},
        {"PercentAfter", "pc"}, {"PercentAlign", 6}, {"PercentBefore", "Files"}, {"Reverse", true},
        {"ScaleMode", 3}, {"Value", "100.25"}, {"Vertical", true},
    };
    MemoryPropertyBag original;
    for (auto it = changed.begin(); it != changed.end(); ++it)
        original.set(it.key(), it.value());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("window.ini"));
    QWidget window;
    {
        SettingsPropertyBag bag(file, QStringLiteral("ProgressBar1"));
        MProgress(original, &window).WriteProperties(bag);
        QVERIFY(bag.sync());
    }
    SettingsPropertyBag bag(file, QStringLiteral("ProgressBar1"));
    MemoryPropertyBag copy;
    MProgress(bag, &window).WriteProperties(copy);
    compareBags(copy, original);
}

void TestPersistence::bagWithoutEntriesGivesTheDefaults()
{
    QWidget window;
    window.setFont(QFont(QStringLiteral("DejaVu Sans Mono"), 15));
    DefaultsBag empty;
    MProgress loaded(empty, &window);
    QCOMPARE(empty.reads, kSavedNames);
    QCOMPARE(loaded.Font().pointSize(), 15); // the host's
    QCOMPARE(loaded.Max(), Currency(10000));
    QCOMPARE(loaded.BackColor(), 0x8000000Eu);
    // Saving uses the same defaults, so none of them is written out.
    loaded.WriteProperties(empty);
    QCOMPARE(empty.notDefault, QStringList());
    // Everything as a newly placed control has it.
    MemoryPropertyBag fromEmpty;
    MemoryPropertyBag fromNew;
    loaded.WriteProperties(fromEmpty);
    MProgress(&window).WriteProperties(fromNew);
    compareBags(fromEmpty, fromNew);
}

void TestPersistence::currencyFromText_data()
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

void TestPersistence::currencyFromText()
{
    QFETCH(QString, text);
    QFETCH(qint64, raw);
    QFETCH(int, error);
    Currency c;
    QCOMPARE(errorOf([&] { c = Currency::fromString(text); }), error);
    QCOMPARE(c.raw(), raw);
}

QTEST_MAIN(TestPersistence)
#include "test_persistence.moc"
