#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace orvel {

IniSettingsStore::IniSettingsStore(const QString& folder)
    : m_folder(folder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                                : folder)
{
}

QString IniSettingsStore::fileOf(const QString& application) const
{
    return QDir(m_folder).filePath(application + QStringLiteral(".ini"));
}

QString IniSettingsStore::read(const QString& application, const QString& section, const QString& key) const
{
    if (!QFile::exists(fileOf(application)))
        return {};
    QSettings ini(fileOf(application), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        return {};
    const QVariant v = ini.value(section + QLatin1Char('/') + key);
    // Anything that is not plain text (a list written by another program) reads as absent.
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

bool IniSettingsStore::write(const QString& application, const QString& section, const QString& key,
                             const QString& value)
{
    if (!QDir().mkpath(m_folder))
        return false;
    QSettings ini(fileOf(application), QSettings::IniFormat);
    ini.setValue(section + QLatin1Char('/') + key, value);
    ini.sync();
    return ini.status() == QSettings::NoError;
}

bool IniSettingsStore::deleteApplication(const QString& application)
{
    const QString file = fileOf(application);
    return !QFile::exists(file) || QFile::remove(file);
}

SettingsStore& hostSettingsStore()
{
    static IniSettingsStore store;
    return store;
}

} // namespace orvel
