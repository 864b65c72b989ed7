#pragma once

#include "main_window/frmMain.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "tests/support/FakeVolumes.h"
#include "tests/support/RecordingMessageBoxes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

namespace orvel::test {

// A main window on a temporary folder, with message boxes that record and answer,
// a settings store of its own and volumes the test lays out.
struct MainWindowFixture {
    QTemporaryDir dir;
    QTemporaryDir config;
    RecordingMessageBoxes messages;
    FakeVolumes volumes;
    std::unique_ptr<IniSettingsStore> settings;
    std::unique_ptr<frmMain> window;

    explicit MainWindowFixture(FileSystem* fs = nullptr)
    {
        settings = std::make_unique<IniSettingsStore>(config.path());
        services.fs = fs ? fs : &hostFileSystem();
        services.volumes = &volumes;
        services.messages = &messages;
        services.settings = settings.get();
        services.startFolder = dir.path();
        services.programFolder = dir.path();
    }

    frmMain& open()
    {
        window = std::make_unique<frmMain>(services);
        window->endProcess = [this] { ++endProcessCalls; };
        return *window;
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }

    void touch(const QString& relative, const QByteArray& content = {}) const
    {
        const QString p = path(relative);
        QDir().mkpath(QFileInfo(p).path());
        QFile f(p);
        if (f.open(QIODevice::WriteOnly))
            f.write(content.isEmpty() ? relative.toUtf8() : content);
    }

    void mkdir(const QString& relative) const { QDir().mkpath(path(relative)); }

    QStringList filesOnDisk(const QString& relative = {}) const
    {
        QStringList names = QDir(relative.isEmpty() ? dir.path() : path(relative))
                                .entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name);
        return names;
    }

    MainWindowServices services;
    int endProcessCalls = 0;
};

} // namespace orvel::test
