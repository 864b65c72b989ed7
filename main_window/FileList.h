// The names a file list shows of one folder, read and sorted apart from any widget.
#pragma once

#include <QString>
#include <QStringList>

namespace orvel {

class FileSystem;

// What a file list shows of one folder: the names of its plain files (no folders,
// no hidden or system entries), sorted by name without regard to letter case, so a
// rename that changes only the case of a name never moves it to another position.
class FileList {
public:
    explicit FileList(const FileSystem& fs)
        : m_fs(&fs)
    {
    }

    const QString& Path() const { return m_path; }
    // Re-reads `path` at once. A folder that cannot be read lists nothing.
    void setPath(const QString& path);
    void Refresh() { setPath(m_path); }

    int ListCount() const { return static_cast<int>(m_names.size()); }
    const QString& List(int i) const { return m_names.at(i); }
    const QStringList& names() const { return m_names; }

private:
    const FileSystem* m_fs;
    QString m_path;
    QStringList m_names;
};

} // namespace orvel
