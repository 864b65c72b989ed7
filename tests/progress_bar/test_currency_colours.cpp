// The value type of the bar's range and the colour values it resolves.
#include "platform/Currency.h"
#include "platform/PlatformError.h"
#include "platform/SystemColors.h"

#include <QGuiApplication>
#include <QPalette>
#include <QTest>

using namespace orvel;

class TestCurrencyColours : public QObject {
    Q_OBJECT
private slots:
    void currencyFromText_data();
    void currencyFromText();
    void currencyArithmeticIsExactOrFails();
    void currencyFromDoubleRoundsHalfToEven();
    void systemColours_data();
    void systemColours();
    void directColoursPassThrough();
};

void TestCurrencyColours::currencyFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("raw");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<int>("error");
    QTest::newRow("whole") << "10000" << qint64(100000000) << "10000" << 0;
    QTest::newRow("fraction") << "-12.5" << qint64(-125000) << "-12.5" << 0;
    QTest::newRow("smallest") << "0.0001" << qint64(1) << "0.0001" << 0;
    QTest::newRow("half to even, down") << "0.00005" << qint64(0) << "0" << 0;
    QTest::newRow("half to even, up") << "0.00015" << qint64(2) << "0.0002" << 0;
    QTest::newRow("above half") << "0.000051" << qint64(1) << "0.0001" << 0;
    QTest::newRow("largest") << "922337203685477.5807" << qint64(9223372036854775807LL) << "922337203685477.5807" << 0;
    QTest::newRow("smallest negative") << "-922337203685477.5808" << qint64(-9223372036854775807LL - 1)
                                       << "-922337203685477.5808" << 0;
    QTest::newRow("too large") << "922337203685477.5808" << qint64(0) << "" << 6;
    QTest::newRow("not a number") << "12a" << qint64(0) << "" << 13;
    QTest::newRow("empty") << "" << qint64(0) << "" << 13;
}

void TestCurrencyColours::currencyFromText()
{
    QFETCH(QString, text);
    QFETCH(qint64, raw);
    QFETCH(QString, shown);
    QFETCH(int, error);
    try {
        const Currency c = Currency::fromString(text);
        QCOMPARE(0, error);
        QCOMPARE(c.raw(), raw);
        QCOMPARE(c.toString(), shown);
    } catch (const PlatformError& e) {
        QCOMPARE(e.number(), error);
    }
}

void TestCurrencyColours::currencyArithmeticIsExactOrFails()
{
    QCOMPARE((Currency(10000) - Currency(1)).raw(), qint64(99990000));
    QCOMPARE(Currency::fromString(u"0.1") + Currency::fromString(u"0.2"), Currency::fromString(u"0.3"));
    QVERIFY(Currency(-1) < Currency(0));
    QCOMPARE(Currency(922337203685477LL).raw(), qint64(9223372036854770000LL));
    int error = 0;
    try {
        (void)(Currency::min() - Currency(1));
    } catch (const PlatformError& e) {
        error = e.number();
    }
    QCOMPARE(error, 6);
    error = 0;
    try {
        (void)Currency(922337203685478LL);
    } catch (const PlatformError& e) {
        error = e.number();
    }
    QCOMPARE(error, 6);
}

void TestCurrencyColours::currencyFromDoubleRoundsHalfToEven()
{
    QCOMPARE(Currency::fromDouble(2.5).raw(), qint64(25000));
    QCOMPARE(Currency::fromDouble(0.03125).raw(), qint64(312)); // 312.5 ten-thousandths, exactly
    QCOMPARE(Currency::fromDouble(0.09375).raw(), qint64(938));
    QCOMPARE(Currency::fromDouble(-1.25).raw(), qint64(-12500));
}

void TestCurrencyColours::systemColours_data()
{
    QTest::addColumn<uint>("value");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("role");
    QTest::newRow("13 selection highlight") << 0x8000000Du << int(QPalette::Active) << int(QPalette::Highlight);
    QTest::newRow("14 highlighted text") << 0x8000000Eu << int(QPalette::Active) << int(QPalette::HighlightedText);
    QTest::newRow("16 button shadow") << 0x80000010u << int(QPalette::Active) << int(QPalette::Dark);
    QTest::newRow("18 button text") << 0x80000012u << int(QPalette::Active) << int(QPalette::ButtonText);
    QTest::newRow("20 3-D highlight") << 0x80000014u << int(QPalette::Active) << int(QPalette::Light);
    QTest::newRow("5 window") << 0x80000005u << int(QPalette::Active) << int(QPalette::Base);
    QTest::newRow("8 window text") << 0x80000008u << int(QPalette::Active) << int(QPalette::Text);
    QTest::newRow("15 button face") << 0x8000000Fu << int(QPalette::Active) << int(QPalette::Button);
}

void TestCurrencyColours::systemColours()
{
    QFETCH(uint, value);
    QFETCH(int, group);
    QFETCH(int, role);
    const QColor expected = QGuiApplication::palette().color(QPalette::ColorGroup(group), QPalette::ColorRole(role));
    QCOMPARE(ToQColor(value), QColor(expected.rgb()));
    const std::uint32_t direct = ResolveColor(value);
    QCOMPARE(int(direct & 0xFF), expected.red());
    QCOMPARE(int((direct >> 8) & 0xFF), expected.green());
    QCOMPARE(int((direct >> 16) & 0xFF), expected.blue());
}

void TestCurrencyColours::directColoursPassThrough()
{
    QCOMPARE(ResolveColor(0x00123456), 0x00123456u);
    QCOMPARE(ToQColor(0x000000FF), QColor(255, 0, 0)); // red in the low byte
    QCOMPARE(FromQColor(QColor(0, 0, 255)), 0x00FF0000u);
    QCOMPARE(ResolveColor(0x800000FF), 0u); // an index no colour stands for
}

QTEST_MAIN(TestCurrencyColours)
#include "test_currency_colours.moc"
