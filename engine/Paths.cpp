// Every rule the program has about path texts, for Windows and POSIX syntax alike.
#include "engine/Paths.h"

namespace orvel {

QString NormalizePath(const QString& path, const PathSyntax& syntax)
{
    const qsizetype keep = syntax.designatorLength;
    const QChar separator = syntax.separator;
    QString text = path;
    if (text.size() > keep) {
        qsizetype end = text.size();
        while (end > 0 && text[end - 1] == separator)
            --end;
        text.truncate(end);
        if (separator != u'/')
            text.replace(u'/', separator);
    }
    if (text.size() <= keep)
        return text;

    QString result;
    result.reserve(text.size());
    result.append(QStringView(text).first(keep));
    const qsizetype n = text.size();
    for (qsizetype i = keep; i < n;) {
        if (text[i] == separator && i + 1 < n && text[i + 1] == separator) {
            result.append(separator);
            i += 2;
        } else {
            result.append(text[i++]);
        }
    }
    return result;
}

QString ParentPath(const QString& path, const PathSyntax& syntax)
{
    const qsizetype last = path.lastIndexOf(syntax.separator);
    QString result = path.left(last + 1); // empty when there is no separator
    if (result.size() > syntax.rootLength && result.endsWith(syntax.separator))
        result.chop(1);
    return result;
}

} // namespace orvel
