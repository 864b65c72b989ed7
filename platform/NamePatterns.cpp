// Shell patterns matched with the system's fnmatch, on the exact bytes of a name.
#include "platform/NamePatterns.h"

#include "platform/NameCodec.h"

#include <fnmatch.h>

namespace orvel {

bool NamePatterns::matches(const QString& name, bool ignoreCase) const
{
    const QByteArray bytes = EncodeName(name);
    const int flags = ignoreCase ? FNM_CASEFOLD : 0;
    for (const QByteArray& pattern : m_patterns)
        if (::fnmatch(pattern.constData(), bytes.constData(), flags) == 0)
            return true;
    return false;
}

} // namespace orvel
