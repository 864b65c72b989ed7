// The cost of working out a new name: 1 000 000 mixed file names, plain ASCII and not,
// each converted in the three case styles in turn; the median of three rounds.
// Prints "case_ns_per_name ascii N" and "case_ns_per_name non_ascii N", then the same
// with both options on (the extension kept, words in capitals kept).
//
//   bench_case_conversion [--names 1000000] [--rounds 3]

#include "engine/CaseConversion.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace orvel;

namespace {

const char* const kAscii[] = {"holiday PHOTO (copy)", "REPORT final", "my_file-name", "2ND try",
                              "Budget DRAFT v2",      "scan",         "INVOICE 2024", "the art of war (vol. II)"};
const char* const kOther[] = {"Straße nach KÖLN",  "ΣΟΦΟΣ ΚΑΙ ΑΛΛΟΣ",     "ǆungla ǉubav", "İSTANBUL ılık",
                              "ЂУРЂЕВДАН празник", "Ärger über Öl (alt)", "café CRÈME",   "Łódź zdjęcia"};
const char* const kExtensions[] = {".TXT", ".jpg", ".tar.GZ", ""};

QStringList names(const char* const (&words)[8], int count)
{
    QStringList out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out << QString::fromUtf8(words[i % 8]) + u' ' + QString::number(i) + QString::fromLatin1(kExtensions[i % 4]);
    return out;
}

double nsPerName(const QStringList& list, int rounds, bool options = false)
{
    static const CaseStyle styles[] = {CaseStyle::Lower, CaseStyle::Upper, CaseStyle::Proper};
    std::vector<double> times;
    qsizetype sink = 0;
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        for (qsizetype i = 0; i < list.size(); ++i)
            sink += ConvertFileName(list[i], {styles[i % 3], options, options}).size();
        times.push_back(double(clock.nsecsElapsed()) / double(list.size()));
    }
    if (sink == 0)
        std::fprintf(stderr, "nothing converted\n");
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    int count = 1000000, rounds = 3;
    for (qsizetype i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == "--names")
            count = args[i + 1].toInt();
        else if (args[i] == "--rounds")
            rounds = args[i + 1].toInt();
    }
    std::printf("case_ns_per_name ascii %.1f\n", nsPerName(names(kAscii, count), rounds));
    std::printf("case_ns_per_name non_ascii %.1f\n", nsPerName(names(kOther, count), rounds));
    std::printf("case_ns_per_name ascii_with_options %.1f\n", nsPerName(names(kAscii, count), rounds, true));
    std::printf("case_ns_per_name non_ascii_with_options %.1f\n", nsPerName(names(kOther, count), rounds, true));
    return 0;
}
