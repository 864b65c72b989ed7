#include "main_window/FileList.h"

#include "platform/FileSystem.h"

#include <algorithm>

namespace orvel {

void FileList::setPath(const QString& path)
{
    m_path = path;
    m_names.clear();
    if (path.isEmpty())
        return;
    if (const auto entries = m_fs->list(path, QStringLiteral("*.*"), false)) {
        m_names.reserve(entries->size());
        for (const DirEntry& e : *entries)
            m_names.append(e.name);
    }
    sortNames(m_names);
}

void FileList::sortNames(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

} // namespace orvel
