#pragma once

#include "main_window/frmMain.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "tests/support/FakeVolumes.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace orvel::test {

// A main window on a temporary folder, with message boxes that record and answer,
// a settings store of its own and volumes the test lays out.
struct MainWindowFixture {
    QTemporaryDir dir;
    QTemporaryDir config;
    RecordingMessageBoxes messages;
    FakeVolumes volumes;
    IniSettingsStore settings{config.path()};
    MainWindowServices services{nullptr, &volumes, &messages, &settings, dir.path(), dir.path(), {}, {}, {}};
    std::unique_ptr<frmMain> window;
    int endProcessCalls = 0;

    explicit MainWindowFixture(FileSystem* fs = nullptr) { services.fs = fs ? fs : &hostFileSystem(); }

    // Creates `files` (relative paths; each holds its own path as content), then opens
    // the window at `start` (relative; the temporary folder when empty).
    frmMain& open(const QStringList& files = {}, const QString& start = {})
    {
        for (const QString& f : files)
            touch(f);
        if (!start.isEmpty())
            services.startFolder = path(start);
        window = std::make_unique<frmMain>(services);
        window->endProcess = [this] { ++endProcessCalls; };
        return *window;
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }

    void touch(const QString& relative, const QByteArray& content = {}) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile f(path(relative));
        if (f.open(QIODevice::WriteOnly))
            f.write(content.isEmpty() ? relative.toUtf8() : content);
    }

    // Every entry below the temporary folder, relative, sorted: the tree as it stands.
    QStringList tree() const
    {
        QStringList all;
        QDirIterator it(dir.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            all << QDir(dir.path()).relativeFilePath(it.next());
        all.sort();
        return all;
    }

    QString recent(int i) const
    {
        return settings.read(QStringLiteral("Orvel Rename"), QStringLiteral("recent"), QStringLiteral("file%1").arg(i));
    }

    // The one message box shown so far.
    bool shownOnce(const QString& text, const QString& title, MessageBoxes::Icon icon, int buttons) const
    {
        if (messages.shown.size() != 1)
            return false;
        const auto& m = messages.shown.first();
        return m.text == text && m.title == title && m.icon == icon && m.buttons == buttons;
    }
};

inline QStringList entriesOf(const FileListBox* list)
{
    QStringList names;
    for (int i = 0; i < list->ListCount(); ++i)
        names << list->List(i);
    return names;
}

} // namespace orvel::test
