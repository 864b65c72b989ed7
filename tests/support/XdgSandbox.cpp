#include "XdgSandbox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace orvel::test {

XdgSandbox::XdgSandbox()
{
    QDir(root()).mkpath(QStringLiteral("tmp"));
    setEnv("XDG_CONFIG_HOME", QFile::encodeName(configHome()));
    setEnv("XDG_CONFIG_DIRS", QFile::encodeName(configDir()));
    setEnv("XDG_DATA_HOME", QFile::encodeName(dataHome()));
    setEnv("XDG_DATA_DIRS", QFile::encodeName(dataDir()));
    setEnv("TMPDIR", QFile::encodeName(tempDir()));
    unsetEnv("XDG_CURRENT_DESKTOP");
}

XdgSandbox::~XdgSandbox()
{
    for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
        if (m_wasSet.value(it.key()))
            qputenv(it.key().constData(), it.value());
        else
            qunsetenv(it.key().constData());
    }
}

void XdgSandbox::setEnv(const char* name, const QByteArray& value)
{
    if (!m_saved.contains(name)) {
        m_wasSet.insert(name, qEnvironmentVariableIsSet(name));
        m_saved.insert(name, qgetenv(name));
    }
    qputenv(name, value);
}

void XdgSandbox::unsetEnv(const char* name)
{
    if (!m_saved.contains(name)) {
        m_wasSet.insert(name, qEnvironmentVariableIsSet(name));
        m_saved.insert(name, qgetenv(name));
    }
    qunsetenv(name);
}

QString XdgSandbox::writeFile(const QString& path, const QByteArray& content, bool executable)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    f.write(content);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther);
    return path;
}

QString XdgSandbox::argsFile(const QString& name) const
{
    return root() + QStringLiteral("/") + name + QStringLiteral(".args");
}

QString XdgSandbox::addStandIn(const QString& name)
{
    // Written to a side file and moved into place, so a waiting test never reads a
    // half-written list.
    const QByteArray out = QFile::encodeName(argsFile(name));
    const QByteArray script = "#!/bin/sh\n"
                              "out='" + out + "'\n"
                              ": > \"$out.part\"\n"
                              "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$out.part\"; done\n"
                              "mv \"$out.part\" \"$out\"\n";
    return writeFile(root() + QStringLiteral("/bin/") + name, script, true);
}

QStringList XdgSandbox::recordedArgs(const QString& name) const
{
    QFile f(argsFile(name));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(f.readAll());
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text.split(u'\n');
}

QString XdgSandbox::addDesktopEntry(const QString& dataFolder, const QString& relativePath,
                                    const QString& exec, const QString& extraLines)
{
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=Stand-in\nExec=") + exec +
                   u'\n' + extraLines;
    if (!text.endsWith(u'\n'))
        text += u'\n';
    return writeFile(dataFolder + QStringLiteral("/applications/") + relativePath, text.toUtf8());
}

void XdgSandbox::addMimeappsLine(const QString& listFile, const QString& group,
                                 const QString& mimeType, const QString& ids)
{
    QDir().mkpath(QFileInfo(listFile).absolutePath());
    QFile f(listFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    f.write(QStringLiteral("[%1]\n%2=%3\n").arg(group, mimeType, ids).toUtf8());
}

} // namespace orvel::test
