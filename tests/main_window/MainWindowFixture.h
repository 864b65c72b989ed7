#pragma once

#include "main_window/frmMain.h"
#include "platform/SettingsStore.h"
#include "tests/support/FakeVolumes.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/RecordingMessageBoxes.h"
#include "tests/support/TempTree.h"

#include <QtTest>
#include <QtWidgets>
#include <memory>

namespace orvel::test {

// '1' or '0' for each control's (or menu item's) enabled state, in order.
inline QString enabledStates(std::initializer_list<const QObject*> controls)
{
    QString states;
    for (const QObject* c : controls)
        states += c->property("enabled").toBool() ? u'1' : u'0';
    return states;
}

// A click, or a press followed by a double click, on an item of a list.
inline void clickItem(QListWidget* list, const QListWidgetItem* item, bool twice)
{
    const QPoint at = list->visualItemRect(item).center();
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, at);
    if (twice)
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    else
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
}

// A main window on a temporary folder, with a file system that passes everything on
// unless told to fail, message boxes that record and answer, a settings store of its own
// and volumes the test lays out.
struct MainWindowFixture {
    QTemporaryDir dir;
    QTemporaryDir config;
    FaultyFileSystem fs;
    RecordingMessageBoxes messages;
    FakeVolumes volumes;
    IniSettingsStore settings{config.path()};
    MainWindowServices services{&fs, &volumes, &messages, &settings, dir.path(), dir.path(), {}, {}, {}};
    std::unique_ptr<frmMain> window;
    int endProcessCalls = 0;

    // Lays out `entries` (relative, as makeTree reads them), then opens the window at
    // `start` (relative; the temporary folder when empty).
    frmMain& open(const QStringList& entries = {}, const QString& start = {})
    {
        touch(entries);
        if (!start.isEmpty())
            services.startFolder = path(start);
        window = std::make_unique<frmMain>(services);
        window->endProcess = [this] { ++endProcessCalls; };
        return *window;
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }

    bool touch(const QStringList& entries) const { return makeTree(dir.path(), entries); }

    // The tree below the temporary folder as it stands, as readTree writes it.
    QStringList tree() const { return readTree(dir.path()); }

    // The temporary folder written as "~".
    QString shortened(QString text) const { return text.replace(dir.path(), QStringLiteral("~")); }

    // Where the window stands: "open folder | txtDirectory | txtSubDirectory | files listed".
    QString where() const
    {
        QStringList files;
        for (int i = 0; i < window->File1->count(); ++i)
            files << window->File1->item(i)->text();
        return shortened(
            QStringList{window->Dir1->Path(), window->txtDirectory->text(), window->txtSubDirectory, files.join(", ")}
                .join(" | "));
    }

    // The three recent folders in the store, newest first.
    QStringList recents() const
    {
        const auto entry = [this](const char* key) { return shortened(settings.read("Orvel Rename", "recent", key)); };
        return {entry("file1"), entry("file2"), entry("file3")};
    }
};

} // namespace orvel::test
