// The journal's records as written and read back: the example of docs/journal-format.md,
// records of earlier and later versions, and the rule that tells the entry a run renamed.

#include "engine/JournalFormat.h"
#include "engine/JournalReader.h"
#include "engine/JournalRecovery.h"
#include "engine/JournalWriter.h"
#include "tests/support/StateFolder.h"

#include <QTest>

#include <cerrno>
#include <zlib.h>

using namespace orvel;

namespace {

// The example journal of the format's document, byte for byte.
QByteArray documentedExample(const QByteArray& doc)
{
    const qsizetype start = doc.indexOf("```journal\n");
    const qsizetype end = doc.indexOf("\n```", start);
    return start < 0 || end < 0 ? QByteArray() : doc.mid(start + 11, end + 1 - start - 11);
}

// The head of a run on /t (lower case, files), and its start folder's record.
QByteArray headAndFolder()
{
    QByteArray records;
    RecordBuilder(records, RecordKind::Head)
        .number(1)
        .bytes("all")
        .name(u"/t")
        .number(0)
        .number(1)
        .number(0)
        .number(0)
        .end();
    RecordBuilder(records, RecordKind::Folder).name(u"").number(5).end();
    return records;
}

// A row of whatCounts: bytes between the first rename and the second, as they are or "!"
// and a record's fields; bytes after the second; the digits of each record's checksum; the
// entries read; what counts, up to the "first" rename, the "second", or "all".
struct Counts {
    QByteArray middle, end;
    int digits, entries;
    QString counts;
};

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The document's example is what this program reads: every entry in its folder, with
    // its names as the disk's bytes and its fate; and the undo records it shows close it.
    void documentedExample()
    {
        QFile doc(QStringLiteral(ORVEL_SOURCE_DIR "/docs/journal-format.md"));
        QVERIFY(doc.open(QIODevice::ReadOnly));
        const QByteArray document = doc.readAll(), text = ::documentedExample(document);
        QVERIFY(!text.isEmpty());
        JournalReader journal(text);
        QVERIFY(journal.isValid());
        QCOMPARE(journal.wholeLength(), text.size());
        QVERIFY(journal.isEnded());
        QCOMPARE(journal.head().startFolder, "/home/ann/Photos");
        QCOMPARE(journal.head().options.style, CaseStyle::Proper);
        QVERIFY(!journal.head().options.keepExtension && !journal.head().options.keepCapitals); // an earlier version's
        QStringList entries;
        for (const JournalReader::Entry& entry : journal.entries()) {
            const JournalReader::Rename r = journal.rename(entry);
            const JournalReader::Folder& folder = journal.folders()[size_t(entry.folder)];
            entries << QString::fromUtf8(folder.path) + '|' + r.oldName + '>' + r.newName
                    + (entry.state == JournalReader::State::Failed ? QString("|%1").arg(entry.error) : QString());
        }
        QCOMPARE(entries,
                 (QStringList{"|BEACH DAY.JPG>Beach Day.jpg", "|NOTES.TXT>Notes.txt|17", "|SUMMER 2023>Summer 2023",
                              "|WINTER>Winter", "Summer 2023|CAF\u00c9.JPG>Caf\u00e9.jpg", "Winter|SNOW.JPG>Snow.jpg",
                              "Summer 2023|VIEW FROM THE HOTEL BALCONY AT NIGHT.JPG>View From The Hotel "
                              "Balcony At Night.jpg"}));
        QCOMPARE(journal.rename(journal.entries()[2]).identity, (EntryIdentity{0x802, 0x1c4083, 1693825314512866409}));
        QCOMPARE(journal.undoableCount(), 6);

        QByteArray undone = text;
        static const QRegularExpression record("`([UX]\\\\t[^`]*)`");
        for (auto it = record.globalMatch(QString::fromUtf8(document)); it.hasNext();)
            undone += it.next().captured(1).replace("\\t", "\t").toUtf8() + '\n';
        const JournalReader closed(undone);
        QCOMPARE(closed.wholeLength(), undone.size());
        QVERIFY(closed.isUndone());
        QCOMPARE(closed.undoableCount(), 0);
    }

    // Names are bytes: whatever a name holds comes back from its record as it went in,
    // and a record never holds a byte that would end it early.
    void namesAsBytes()
    {
        const QString name =
            QString::fromUtf8("50%41 off\tnow\n\x01\xc3\xa9\xc3\xa0") + QChar(0xDC00 + 0xff) + QChar(0);
        QByteArray text;
        RecordBuilder(text, RecordKind::Rename, 3)
            .name(name)
            .name(QString())
            .number(-1)
            .unsignedNumber(~0ULL, 16)
            .end();
        QCOMPARE(text.count('\n'), 1);
        QVERIFY(!text.contains('\0'));
        qint64 next = 0;
        const std::optional<Record> record = ReadRecord(text, 0, &next);
        QVERIFY(record);
        QCOMPARE(next, text.size());
        QCOMPARE(record->writer, 3);
        QCOMPARE(FieldName(record->fields[0]), name);
        QCOMPARE(record->fields[2], "-1");
        QCOMPARE(record->fields[3], "ffffffffffffffff");
        QVERIFY(!record->isKnown()); // a rename has five fields after its tag
        QCOMPARE(FieldName("%c3%a9%E0%4"), QString::fromUtf8("\xc3\xa9") + QChar(0xDCE0) + "%4"); // either case
        QCOMPARE(FieldBytes(QByteArrayView("a%4f").first(3)), "a%4"); // an escape cut by the field's end is none
        text[text.indexOf("off")] = 'O';
        QVERIFY(!ReadRecord(text, 0, &next)); // the checksum no longer fits
    }

    // What of a journal counts, between its first rename and its second, or after it.
    // Space reserved and never written reads as zeros, and a crash amid a copy leaves a
    // record cut short by them: both are skipped. A record torn at the end (a power cut)
    // ends what counts. A whole record this version does not know ends what is read, and
    // the rest is kept. Records of earlier versions end with a CRC-32 or a CRC-16.
    void whatCounts_data()
    {
        QTest::addColumn<Counts>("c");
        const auto row = [](const char* name, const Counts& c) { QTest::newRow(name) << c; };
        row("zeros reserved ahead", {QByteArray(40, '\0'), QByteArray(4096, '\0'), 16, 2, "second"});
        row("a copy cut short", {"R\tC.T" + QByteArray(40, '\0'), {}, 16, 2, "all"});
        row("torn at the end", {{}, "R\tC.TXT\tc", 16, 2, "second"});
        row("a torn record ends it", {"R\tC.TXT\tc.txt\t1\t3\t0\t1\n", {}, 16, 1, "first"});
        row("CRC-32", {{}, {}, 8, 2, "all"});
        row("CRC-16", {{}, {}, 4, 2, "all"});
        row("a later letter", {"!Q\t1", {}, 16, 1, "all"});
        row("more fields than any", {"!Q\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13", {}, 16, 1, "all"});
        row("an empty tag", {"!\tx", {}, 16, 1, "all"});
        row("writer 0 by number", {"!R0\ta\tb\t1\t2\t0", {}, 16, 1, "all"});
        row("an end by a writer", {"!E1\tdone", {}, 16, 1, "all"});
        row("a rename with a field more", {"!R\ta\tb\t1\t2\t0\t7", {}, 16, 1, "all"});
        // Longer than any record: not held whole to be checked, and kept, as one unknown.
        row("a line of 2 MiB", {QByteArray(2 << 20, 'x') + '\n', {}, 16, 1, "all"});
    }
    void whatCounts()
    {
        QFETCH(Counts, c);
        auto [middle, end, digits, entries, counts] = c;
        QByteArray records = headAndFolder();
        RecordBuilder(records, RecordKind::Rename).name(u"A").name(u"a").number(1).number(2).number(0).end();
        const qsizetype first = records.size();
        RecordBuilder(records, RecordKind::Rename).name(u"B").name(u"b").number(1).number(3).number(0).end();
        // Each record ends with its checksum as a version of `digits` wrote it.
        const auto sum = [](const QByteArray& fields, int digits) {
            const auto bytes = reinterpret_cast<const Bytef*>(fields.data());
            const quint64 value = digits == 8 ? ::crc32(0, bytes, uInt(fields.size())) : qChecksum(fields);
            return fields + '\t' + QByteArray::number(value, 16).rightJustified(digits, '0') + '\n';
        };
        if (middle.startsWith('!'))
            middle = sum(middle.sliced(1), 8); // a checksum of an earlier version fits any version
        QByteArray text;
        for (const QByteArray& line : records.split('\n')) {
            if (!line.isEmpty())
                text += digits == 16 ? line + '\n' : sum(line.left(line.lastIndexOf('\t')), digits);
            if (text.size() == first)
                text += middle;
        }
        const qsizetype second = text.size();
        text += end;
        const JournalReader journal(text);
        QCOMPARE(int(journal.entries().size()), entries);
        QCOMPARE(journal.wholeLength(), counts == "all" ? text.size() : counts == "second" ? second : first);
    }

    // A journal longer than the pieces it is read in: every record counts, those across
    // the pieces' borders too, and each reads back.
    void longerThanAPiece()
    {
        QByteArray text = headAndFolder();
        const int count = 150000; // some 7 MiB
        for (int i = 0; i < count; ++i)
            RecordBuilder(text, RecordKind::Rename)
                .name(QString("NAME %1").arg(i))
                .name(QString("name %1").arg(i))
                .number(1)
                .number(i)
                .number(0)
                .end();
        const JournalReader journal(text);
        QCOMPARE(qint64(journal.entries().size()), count);
        QCOMPARE(journal.wholeLength(), text.size());
        for (const int i : {0, 77777, count - 1})
            QCOMPARE(journal.rename(journal.entries()[size_t(i)]).oldName, QString("NAME %1").arg(i));
    }

    // Each writer's renames keep their folder and their fate, however the writers' records
    // interleave; the failure of a writer's last rename is in the journal too, and the
    // run's options in its head.
    void writersRecords()
    {
        test::StateFolder state;
        {
            RunJournal journal(*state.journals, {"all", "/t", {true, true, CaseStyle::Lower, false, true}, true}, {});
            JournalWriter first(journal, 0), second(journal, 1);
            first.inFolder("a");
            second.inFolder("b");
            first.willRename("A", "a", {1, 2, 0});
            second.willRename("B", "b", {1, 3, 0});
            first.renamed(0);
            second.renamed(EBUSY);
            journal.finish(false);
            QVERIFY(journal.holdsUndoableRename());
        }
        const std::optional<JournalReader> journal = ReadJournal(*state.journals, state.journals->names().value(0));
        QVERIFY(journal);
        QStringList entries;
        for (const JournalReader::Entry& entry : journal->entries())
            entries << QString::fromUtf8(journal->folders()[size_t(entry.folder)].path) + '/'
                    + journal->rename(entry).oldName + (entry.state == JournalReader::State::Failed ? " failed" : "");
        QCOMPARE(entries, (QStringList{"a/A", "b/B failed"}));
        QCOMPARE(journal->undoableCount(), 1);
        const RunOptions& o = journal->head().options;
        QVERIFY(o.style == CaseStyle::Lower && !o.keepExtension && o.keepCapitals);
    }

    // A rename, or a rename back, cut between its two steps is the one whose hidden name no
    // later record settles; one that a later record settles is no longer cut.
    void stepsCut()
    {
        QByteArray records = headAndFolder();
        RecordBuilder(records, RecordKind::Rename).name(u"A").name(u"a").number(1).number(2).number(0).end();
        RecordBuilder(records, RecordKind::Temporary).bytes("hidden A").end();
        RecordBuilder(records, RecordKind::Rename).name(u"B").name(u"b").number(1).number(3).number(0).end();
        RecordBuilder(records, RecordKind::Temporary).bytes("hidden B").end();
        RecordBuilder(records, RecordKind::UndoTemporary).number(0).bytes("back A").end();
        RecordBuilder(records, RecordKind::Undone).number(0).number(0).end();
        RecordBuilder(records, RecordKind::UndoTemporary).number(1).bytes("back B").end();
        const JournalReader journal(records);
        QCOMPARE(journal.renameStepsCut(), std::vector<qint64>{1});
        QCOMPARE(journal.temporaryName(1), "hidden B");
        QCOMPARE(journal.temporaryName(0), QByteArray());
        QCOMPARE(journal.undoStepsCut(), std::vector<qint64>{1});
        QCOMPARE(journal.undoTemporaryName(1), "back B");
        QCOMPARE(journal.undoTemporaryName(0), QByteArray());
    }

    // An entry whose number the run took from its folder's listing has no birth time in
    // the journal: one born after the folder was listed took the number over.
    void numberTakenOver()
    {
        JournalReader::Rename r{"A", "a", {7, 42, 0}, 1000};
        QVERIFY(r.isEntry({7, 42, 999}));
        QVERIFY(r.isEntry({7, 42, 0})); // no birth times on this file system
        QVERIFY(!r.isEntry({7, 42, 1001}));
        QVERIFY(!r.isEntry({8, 42, 999}));
        r.identity.born = 500; // taken from the entry itself: it must be that very birth
        QVERIFY(r.isEntry({7, 42, 500}));
        QVERIFY(!r.isEntry({7, 42, 499}));
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "test_journal.moc"
