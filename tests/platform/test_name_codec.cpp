#include "platform/NameCodec.h"

#include "tests/support/TempTree.h"

#include <QRandomGenerator>
#include <QUrl>
#include <QtTest>

#include <unistd.h>

using namespace orvel;

class TestNameCodec : public QObject {
    Q_OBJECT
private slots:
    void decodeAndEncode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        auto row = [](const char* name, const QByteArray& b, const QString& t) { QTest::newRow(name) << b << t; };
        row("empty", "", "");
        row("ascii", "Holiday PICTURE.JPG", "Holiday PICTURE.JPG");
        row("byte-order mark alone", "\xEF\xBB\xBF", QString(QChar(0xFEFF)));
        row("byte-order mark before dot", "\xEF\xBB\xBF.", QString(QChar(0xFEFF)) + '.');
        row("byte-order mark before dot-dot", "\xEF\xBB\xBF..", QString(QChar(0xFEFF)) + "..");
        row("literal replacement mark", "a\xEF\xBF\xBD", QString("a") + QChar(0xFFFD));
        row("latin-1", "R\xe9SUM\xe9.DOC", QString("R") + QChar(0xDCE9) + "SUM" + QChar(0xDCE9) + ".DOC");
        row("lone ff", "\xff", QString(QChar(0xDCFF)));
        row("truncated three-byte", "\xE2\x82" "A", QString(QChar(0xDCE2)) + QChar(0xDC82) + 'A');
        row("truncated at the end", "x\xF0\x9F\x98", QString("x") + QChar(0xDCF0) + QChar(0xDC9F) + QChar(0xDC98));
        row("overlong nul", "\xC0\x80", QString(QChar(0xDCC0)) + QChar(0xDC80));
        row("overlong three-byte", "\xE0\x80\xAF", QString(QChar(0xDCE0)) + QChar(0xDC80) + QChar(0xDCAF));
        row("encoded surrogate", "\xED\xA0\x80", QString(QChar(0xDCED)) + QChar(0xDCA0) + QChar(0xDC80));
        row("escape look-alike", "\xED\xB3\xA9", QString(QChar(0xDCED)) + QChar(0xDCB3) + QChar(0xDCA9));
        row("past U+10FFFF", "\xF4\x90\x80\x80", QString(QChar(0xDCF4)) + QChar(0xDC90) + QChar(0xDC80) + QChar(0xDC80));
        row("last code point", "\xF4\x8F\xBF\xBF", QString::fromUcs4(U"\U0010FFFF"));
        row("two-byte and three-byte", "caf\xC3\xA9 \xE2\x82\xAC", QString::fromUtf8("caf\u00e9 \u20ac"));
        row("emoji", "\xF0\x9F\x98\x80.txt", QString::fromUcs4(U"\U0001F600.txt"));
    }
    void decodeAndEncode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(DecodeName(bytes), text);
        QCOMPARE(EncodeName(text), bytes);
    }

    void foreignSurrogatesEncodeAsReplacement_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("lone high") << QString("a") + QChar(0xD83D) << QByteArray("a\xEF\xBF\xBD");
        QTest::newRow("escape before high") << QString(QChar(0xDCE9)) + QChar(0xD800) << QByteArray("\xE9\xEF\xBF\xBD");
        QTest::newRow("low outside escapes") << QString(QChar(0xDC7F)) + QChar(0xDD00) << QByteArray("\xEF\xBF\xBD\xEF\xBF\xBD");
    }
    void foreignSurrogatesEncodeAsReplacement()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(EncodeName(text), bytes);
    }

    // Random byte strings, weighted towards the bytes that start and continue UTF-8
    // sequences so that valid and broken sequences both turn up often.
    void roundTripOfRandomBytes()
    {
        QRandomGenerator random(20240611);
        const QByteArray pieces[] = {"a", "/", ".", "\x80", "\xBF", "\xC3", "\xE2\x82", "\xF0\x9F", "\xED",
                                     "\xEF\xBB\xBF", "\xF4", "\x90", "\xC0", "\xFF", "\xE0", "\xA0"};
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
    }

    void localPathOfUrl_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::addColumn<QString>("path");
        QTest::newRow("escaped latin-1") << QUrl::fromEncoded("file:///tmp/R%E9SUM%E9")
                                         << QString("/tmp/R") + QChar(0xDCE9) + "SUM" + QChar(0xDCE9);
        QTest::newRow("escaped utf-8 and blank") << QUrl::fromEncoded("file:///caf%C3%A9%20x/") << QString::fromUtf8("/caf\u00e9 x/");
        QTest::newRow("localhost") << QUrl::fromEncoded("file://localhost/a") << "/a";
        QTest::newRow("other host") << QUrl::fromEncoded("file://elsewhere.example/a") << "";
        QTest::newRow("web address") << QUrl::fromEncoded("https://example.com/a") << "";
        QTest::newRow("relative") << QUrl::fromEncoded("a/b") << "";
    }
    void localPathOfUrl()
    {
        QFETCH(QUrl, url);
        QFETCH(QString, path);
        QCOMPARE(LocalPathOfUrl(url), path);
    }

    void currentFolderKeepsEveryByte()
    {
        orvel::test::TempDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/R\xe9SUM\xe9";
        QVERIFY(::mkdir(folder.constData(), 0700) == 0);
        const QByteArray before = QFile::encodeName(QDir::currentPath());
        QVERIFY(::chdir(folder.constData()) == 0);
        const QString inside = CurrentFolder();
        // A working folder that was removed cannot be named.
        QVERIFY(::rmdir(folder.constData()) == 0);
        const QString removed = CurrentFolder();
        QVERIFY(::chdir(before.constData()) == 0);
        QCOMPARE(inside, DecodeName(folder));
        QCOMPARE(removed, QString());
    }

    void homeFolder()
    {
        const QByteArray saved = qgetenv("HOME");
        qputenv("HOME", "/home/R\xe9SUM\xe9");
        const QString fromEnvironment = HomeFolder();
        qunsetenv("HOME");
        const QString fromPasswords = HomeFolder();
        qputenv("HOME", saved);
        QCOMPARE(fromEnvironment, QString("/home/R") + QChar(0xDCE9) + "SUM" + QChar(0xDCE9));
        QVERIFY2(fromPasswords.startsWith('/'), qPrintable(fromPasswords));
    }
};

QTEST_MAIN(TestNameCodec)
#include "test_name_codec.moc"
