// Reading a folder's plain files for the file list, in an order blind to letter case.

#include "main_window/FileList.h"

#include "engine/CaseConversion.h"
#include "platform/FileSystem.h"

namespace orvel {

void FileList::setPath(const QString& path)
{
    m_path = path;
    m_names.clear();
    if (path.isEmpty())
        return;
    if (const auto entries = m_fs->list(path, false)) {
        m_names.reserve(entries->size());
        for (const DirEntry& e : *entries)
            m_names.append(e.name);
    }
    SortNames(m_names);
}

} // namespace orvel
