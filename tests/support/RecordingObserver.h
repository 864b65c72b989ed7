#pragma once

#include "engine/Paths.h"
#include "engine/RenameFile.h"
#include "engine/RunObserver.h"

#include <QDir>
#include <QStringList>

namespace orvel::test {

// A run's observer that keeps the entries the run reports, in order: "old > new" for a
// rename, "old > new name | reason" for a name left; paths relative to `base`.
class RecordingObserver : public RunObserver {
public:
    QString base;
    QStringList entries;

    bool hearsEachName() const override { return true; }
    void renamed(const QString& folder, const QString& oldName, const QString& newName) override
    {
        entries << shown(JoinPath(folder, oldName)) + " > " + shown(JoinPath(folder, newName));
    }
    void left(const NotChanged& item, const QString& newName) override
    {
        entries << shown(item.path) + " > " + newName + " | " + item.reason;
    }

    // The names left, as the entries show them.
    QStringList leftEntries() const { return entries.filter(QStringLiteral(" | ")); }

private:
    QString shown(const QString& path) const { return base.isEmpty() ? path : QDir(base).relativeFilePath(path); }
};

} // namespace orvel::test
