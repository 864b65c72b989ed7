// Names as bytes: decoded to text and encoded back byte for byte, and the working folder however deep.

#include "platform/NameCodec.h"
#include "tests/support/TempTree.h"

#include <QRandomGenerator>
#include <QTest>

using namespace orvel;

class TestNameCodec : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Bytes that are not UTF-8, each kept as its own code, and the valid forms nearest to
    // them. Then random byte strings, weighted towards the bytes that start and continue
    // UTF-8 sequences so that valid and broken sequences both turn up often.
    void decodeAndEncode()
    {
        const std::pair<QByteArray, QStringView> rows[] = {
            {"\xEF\xBB\xBF", u"\xFEFF"}, // byte-order mark alone
            {"a\xEF\xBF\xBD", u"a\xFFFD"}, // literal replacement mark
            {"R\xe9SUM\xe9.DOC", u"R\xDCE9SUM\xDCE9.DOC"}, // latin-1
            {"\xff", u"\xDCFF"}, // lone ff
            {"\xE2\x82\x41", u"\xDCE2\xDC82\x41"}, // truncated
            {"x\xF0\x9F\x98", u"x\xDCF0\xDC9F\xDC98"}, // truncated at the end
            {"\xC0\x80", u"\xDCC0\xDC80"}, // overlong nul
            {"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"}, // overlong three-byte
            {"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"}, // encoded surrogate
            {"\xED\xB3\xA9", u"\xDCED\xDCB3\xDCA9"}, // encoded escape look-alike
            {"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"}, // past U+10FFFF
            {"\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"}, // last code point
        };
        for (const auto& [bytes, text] : rows) {
            QCOMPARE(DecodeName(bytes), text.toString());
            QCOMPARE(EncodeName(text), bytes);
        }
        QRandomGenerator random(20240611);
        const QByteArray pieces[] = {"a",        "/",    "\x80",         "\xBF", "\xC3", "\xE2\x82",
                                     "\xF0\x9F", "\xED", "\xEF\xBB\xBF", "\xF4", "\x90", "\xC0",
                                     "\xFF",     "\xE0", "\xA0",         "\xF0"};
        int valid = 0;
        for (int n = 0; n < 4000; ++n) {
            QByteArray b;
            for (int k = random.bounded(12); k > 0; --k)
                b += random.bounded(3) ? pieces[random.bounded(16)] : QByteArray(1, char(random.bounded(256)));
            const QString text = DecodeName(b);
            QCOMPARE(EncodeName(text), b);
            // Where Qt's own decoder accepts the bytes, both read them alike (Qt drops
            // a leading byte-order mark, which is why it is not used for names).
            if (QByteArrayView(b).isValidUtf8() && !b.startsWith("\xEF\xBB\xBF")) {
                ++valid;
                QCOMPARE(text, QString::fromUtf8(b));
            }
        }
        QVERIFY2(valid > 400, qPrintable(QString::number(valid)));
        // Surrogates that decoding never makes are written as a replacement mark.
        QCOMPARE(EncodeName(u"\xD800\x61\xDC7F\xDCE9\xD83D"),
                 QByteArray("\xEF\xBF\xBD\x61\xEF\xBF\xBD\xE9\xEF\xBF\xBD"));
    }

    // A working folder longer than the first buffer the system is asked to fill.
    void deepWorkingFolder()
    {
        const orvel::test::TempDir dir;
        const QByteArray start = QFile::encodeName(QDir::currentPath()), name(200, 'x');
        QVERIFY(::chdir(QFile::encodeName(dir.path()).constData()) == 0);
        int levels = 0;
        while (levels < 25 && ::mkdir(name, 0700) == 0 && ::chdir(name) == 0)
            ++levels;
        const QString found = CurrentFolder();
        for (; levels > 0 && ::chdir("..") == 0; --levels)
            ::rmdir(name);
        QVERIFY(::chdir(start.constData()) == 0);
        QCOMPARE(found, dir.path() + QString('/' + name).repeated(25));
    }
};

QTEST_GUILESS_MAIN(TestNameCodec)
#include "test_name_codec.moc"
