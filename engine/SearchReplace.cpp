// Text search-replace that goes on until nothing more is found.
#include "engine/SearchReplace.h"

namespace orvel {

void SearchReplace(QString& field, const QString& search, const QString& replacement)
{
    if (search.isEmpty())
        return;
    const bool startAgain = !replacement.contains(search);
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = field.indexOf(search, from);
        if (at < 0)
            return;
        field.replace(at, search.size(), replacement);
        if (startAgain) {
            // The text before `at` held no occurrence, so the first one now can begin
            // no earlier than where it would reach into the replacement: starting
            // there finds what a search from the very beginning would find.
            from = qMax<qsizetype>(0, at - search.size() + 1);
        } else {
            from = at + replacement.size();
        }
    }
}

} // namespace orvel
