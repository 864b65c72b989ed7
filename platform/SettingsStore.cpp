// The settings store in INI files, where only a regular file of up to 1 MB counts as a store.

#include "platform/SettingsStore.h"

#include "platform/NameCodec.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>

namespace orvel {

namespace {

// A handful of short paths: anything much larger is not a store this program wrote,
// and reading it whole would cost its size twice over in memory.
constexpr qint64 kLargestStore = 1024 * 1024;

enum class Found { Nothing, Store, SomethingElse };

// What lies at `path`, links followed. stat() opens nothing, so neither a FIFO nor a
// device can stall the window or react to being opened.
Found whatIsAt(const QString& path)
{
    struct stat st;
    if (::stat(EncodeName(path).constData(), &st) != 0)
        return errno == ENOENT ? Found::Nothing : Found::SomethingElse;
    return S_ISREG(st.st_mode) && st.st_size <= kLargestStore ? Found::Store : Found::SomethingElse;
}

} // namespace

IniSettingsStore::IniSettingsStore(const QString& folder)
    : m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) : folder)
{
}

QString IniSettingsStore::fileOf(const QString& application) const
{
    return QDir(m_folder).filePath(application + QStringLiteral(".ini"));
}

QString IniSettingsStore::read(const QString& application, const QString& section, const QString& key) const
{
    if (whatIsAt(fileOf(application)) != Found::Store)
        return {};
    QSettings ini(fileOf(application), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return {};
    const QVariant v = ini.value(section + QLatin1Char('/') + key);
    if (v.typeId() == QMetaType::QByteArray)
        return DecodeName(v.toByteArray());
    // Anything else that is not plain text (a list written by another program) reads as absent.
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

bool IniSettingsStore::write(const QString& application, const QString& section, const QString& key,
                             const QString& value)
{
    // QSettings guards its writes with a lock file beside the store; that one must not
    // stall the window either.
    const QString file = fileOf(application);
    if (whatIsAt(file) == Found::SomethingElse || whatIsAt(file + QStringLiteral(".lock")) == Found::SomethingElse)
        return false;
    if (!QDir().mkpath(m_folder))
        return false;
    QSettings ini(file, QSettings::IniFormat);
    // The INI format keeps text as UTF-8, which has no room for the bytes of a name that
    // is not UTF-8: such a value is kept as its bytes. Every other value is written as
    // text, as it always was.
    const QByteArray bytes = EncodeName(value);
    if (bytes == value.toUtf8())
        ini.setValue(section + QLatin1Char('/') + key, value);
    else
        ini.setValue(section + QLatin1Char('/') + key, bytes);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

bool IniSettingsStore::deleteApplication(const QString& application)
{
    // Whatever else lies at the store's path is not ours to remove.
    const QString file = fileOf(application);
    switch (whatIsAt(file)) {
    case Found::Nothing: return true;
    case Found::Store: return QFile::remove(file);
    case Found::SomethingElse: break;
    }
    return false;
}

SettingsStore& hostSettingsStore()
{
    static IniSettingsStore store;
    return store;
}

} // namespace orvel
