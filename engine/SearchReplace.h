// Text search-replace that goes on until nothing more is found.
#pragma once

#include <QString>

namespace orvel {

// Replaces every occurrence of `search` in `field` by `replacement`, comparing
// exactly (letter case counts). After each replacement the search begins again
// from the start, so an occurrence that a replacement completes together with the
// text before or after it is replaced too ("aaaa" with "aa" -> "a" gives "a").
// When the replacement holds the search text itself, starting again would never
// end; then the search goes on after the inserted replacement instead, one pass
// through the text. An empty search text changes nothing.
void SearchReplace(QString& field, const QString& search, const QString& replacement);

} // namespace orvel
