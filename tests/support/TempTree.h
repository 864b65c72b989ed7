#pragma once

#include "platform/NameCodec.h"

#include <QTest>

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace orvel::test {

// A temporary folder that goes away even when it holds names that are not UTF-8,
// which QTemporaryDir cannot see and so would leave behind.
struct TempDir : QTemporaryDir {
    using QTemporaryDir::QTemporaryDir;
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path().toStdString(), ignored);
    }
};

// Lays out real entries below `root`: "name/" a folder, "name->target" a symbolic
// link, "name=content" a file; parent folders are made as needed. Names are written
// byte for byte as EncodeName gives them, so DecodeName("R\xe9SUM\xe9.DOC") makes a name
// that is not UTF-8.
inline bool makeTree(const QString& root, const QStringList& items)
{
    for (const QString& item : items) {
        const QString target = item.section(QLatin1String("->"), 1);
        const QString name = item.section(QLatin1String("->"), 0, 0).section('=', 0, 0);
        const std::string path = EncodeName(root + '/' + name).toStdString();
        std::error_code error;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
        if (error)
            return false;
        if (item.endsWith('/'))
            continue;
        if (target.isEmpty() ? !(std::ofstream(path) << EncodeName(item.section('=', 1)).toStdString())
                             : ::symlink(EncodeName(target).constData(), path.c_str()) != 0)
            return false;
    }
    return true;
}

// Reads a tree back in the same notation ("name?" for anything else), sorted, straight
// from the directory, names decoded as the program decodes them: dot-names included,
// so that neither a left-over temporary name nor a lost file can hide.
inline QStringList readTree(const QString& root, const QByteArray& rawFolder = {}, const QString& shown = {})
{
    const QByteArray folder = rawFolder.isNull() ? EncodeName(root) : rawFolder;
    QStringList out;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.constData()), ::closedir);
    while (const dirent* e = dir ? ::readdir(dir.get()) : nullptr) {
        const QByteArray name(e->d_name), path = folder + '/' + name;
        const QString rel = shown + DecodeName(name);
        struct stat st;
        if (name == "." || name == ".." || ::lstat(path.constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            out << rel + '/' << readTree(root, path, rel + '/');
        } else if (S_ISLNK(st.st_mode)) {
            out << rel + "->"
                    + DecodeName(QByteArray::fromStdString(std::filesystem::read_symlink(path.constData()).string()));
        } else if (S_ISREG(st.st_mode)) {
            std::ifstream in(path.constData());
            out << rel + '='
                    + DecodeName(QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(in), {})));
        } else {
            out << rel + '?';
        }
    }
    out.sort();
    return out;
}

// Every entry below `root`, its name byte for byte, with its time stamps (access,
// change of content, change of state) to the nanosecond. Folders are read without
// touching their access time, so that a first read here does not hide one by the run.
inline QStringList stamps(const QString& root)
{
    QStringList found;
    const std::function<void(const QByteArray&)> walk = [&](const QByteArray& path) {
        struct stat st;
        if (::lstat(path.constData(), &st) != 0)
            return;
        const auto time = [](const timespec& t) { return QStringLiteral(" %1.%2").arg(t.tv_sec).arg(t.tv_nsec); };
        found << DecodeName(path) + time(st.st_atim) + time(st.st_mtim) + time(st.st_ctim);
        if (!S_ISDIR(st.st_mode))
            return;
        DIR* dir = ::fdopendir(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOATIME | O_CLOEXEC));
        QByteArrayList names;
        while (const dirent* entry = dir ? ::readdir(dir) : nullptr)
            if (const QByteArray name(entry->d_name); name != "." && name != "..")
                names << name;
        if (dir)
            ::closedir(dir);
        for (const QByteArray& name : std::as_const(names))
            walk(path + '/' + name);
    };
    walk(EncodeName(root));
    found.sort();
    return found;
}

// The columns of a rename table: the folder before, the rename, and the whole folder
// after, read back with readTree (empty: the rename is refused and nothing changes).
inline void renameColumns()
{
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QStringList>("after");
}

inline void renameRow(const char* name, const QStringList& before, const QString& from, const QString& to,
                      const QStringList& after)
{
    QTest::newRow(name) << before << from << to << after;
}

} // namespace orvel::test
