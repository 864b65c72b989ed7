#include "main_window/modPathOnly.h"

namespace orvel {

QString ParentPath(const QString& path, const PathSyntax& syntax)
{
    const qsizetype last = path.lastIndexOf(syntax.separator);
    QString result = path.left(last + 1); // empty when there is no separator
    if (result.size() > syntax.rootLength && result.endsWith(syntax.separator))
        result.chop(1);
    return result;
}

} // namespace orvel
