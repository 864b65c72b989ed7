#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace orvel::test {

// A private desktop for one test: the XDG configuration and data folders and the
// temporary folder all point into a fresh QTemporaryDir, so the programs the test
// registers are the only ones the desktop knows. Restores the environment when it
// goes away.
class XdgSandbox {
public:
    XdgSandbox();
    ~XdgSandbox();
    XdgSandbox(const XdgSandbox&) = delete;
    XdgSandbox& operator=(const XdgSandbox&) = delete;

    bool isValid() const { return m_dir.isValid(); }
    QString root() const { return m_dir.path(); }
    QString configHome() const { return root() + QStringLiteral("/config"); }
    QString configDir() const { return root() + QStringLiteral("/etc-xdg"); }
    QString dataHome() const { return root() + QStringLiteral("/data"); }
    QString dataDir() const { return root() + QStringLiteral("/share"); }
    QString tempDir() const { return root() + QStringLiteral("/tmp"); }

    // Writes `content` to `path` (folders made as needed); returns the path.
    static QString writeFile(const QString& path, const QByteArray& content, bool executable = false);

    // A shell script that records its arguments, one a line, in argsFile(name) once
    // it has run. Returns the script's path.
    QString addStandIn(const QString& name);
    QString argsFile(const QString& name) const;
    // The arguments the stand-in received (empty when it has not run).
    QStringList recordedArgs(const QString& name) const;

    // A desktop entry in `dataFolder`/applications, at `relativePath` (a sub-folder
    // there turns into "-" in the desktop file id), with the given Exec line and any
    // further lines.
    QString addDesktopEntry(const QString& dataFolder, const QString& relativePath, const QString& exec,
                            const QString& extraLines = {});

    // Appends a group with one `mimeType=ids` line to a mimeapps.list file.
    static void addMimeappsLine(const QString& listFile, const QString& group,
                                const QString& mimeType, const QString& ids);

    void setEnv(const char* name, const QByteArray& value);
    void unsetEnv(const char* name);

private:
    QTemporaryDir m_dir;
    QHash<QByteArray, QByteArray> m_saved;
    QHash<QByteArray, bool> m_wasSet;
};

} // namespace orvel::test
