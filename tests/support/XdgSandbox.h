#pragma once

#include <QTest>

#include <optional>

namespace orvel::test {

// A private desktop for one test: the XDG configuration and data folders and the
// temporary folder all point into a fresh QTemporaryDir, so the programs the test
// registers are the only ones the desktop knows. Layout inside it: config/
// (XDG_CONFIG_HOME), etc-xdg/ (XDG_CONFIG_DIRS), data/ (XDG_DATA_HOME), share/
// (XDG_DATA_DIRS), tmp/ (TMPDIR), bin/ (stand-ins). The environment comes back on exit.
class XdgSandbox {
public:
    XdgSandbox()
    {
        QDir().mkpath(path("tmp"));
        setEnv("XDG_CONFIG_HOME", path("config"));
        setEnv("XDG_CONFIG_DIRS", path("etc-xdg"));
        setEnv("XDG_DATA_HOME", path("data"));
        setEnv("XDG_DATA_DIRS", path("share"));
        setEnv("TMPDIR", path("tmp"));
        setEnv("XDG_CURRENT_DESKTOP", std::nullopt);
    }
    ~XdgSandbox()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it)
            it.value() ? qputenv(it.key(), *it.value()) : qunsetenv(it.key());
    }

    QString path(const QString& relative) const { return m_dir.path() + u'/' + relative; }

    void setEnv(const char* name, const std::optional<QString>& value)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        value ? qputenv(name, QFile::encodeName(*value)) : qunsetenv(name);
    }

    // Appends `text` to the file at `relative` (folders made as needed); its full path.
    QString write(const QString& relative, const QString& text, bool executable = false) const
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile f(path(relative));
        if (f.open(QIODevice::Append))
            f.write(text.toUtf8());
        if (executable)
            f.setPermissions(f.permissions() | QFile::ExeOwner);
        return f.fileName();
    }

    // bin/`name`, a script that writes its arguments, one a line, to `name`.args. The
    // list is moved into place whole, so a waiting test never reads half of it.
    QString standIn(const QString& name) const
    {
        return write("bin/" + name,
                     "#!/bin/sh\nout='" + path(name + ".args")
                         + "'\n: > \"$out.part\"\n"
                           "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$out.part\"; done\n"
                           "mv \"$out.part\" \"$out\"\n",
                     true);
    }
    // What the stand-in received; empty until it has run.
    QStringList recordedArgs(const QString& name) const
    {
        QFile f(path(name + ".args"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).split(u'\n', Qt::SkipEmptyParts)
                                           : QStringList();
    }

    // The user's default program for web pages: a desktop entry with this Exec line.
    void registerBrowser(const QString& exec) const
    {
        write("data/applications/stand-in.desktop",
              "[Desktop Entry]\nType=Application\nName=Stand-in\nExec=" + exec + "\n");
        write("config/mimeapps.list", "[Default Applications]\ntext/html=stand-in.desktop\n");
    }

private:
    QTemporaryDir m_dir;
    QHash<QByteArray, std::optional<QByteArray>> m_saved;
};

} // namespace orvel::test
