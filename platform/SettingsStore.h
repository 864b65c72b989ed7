// The per-user settings store, and the INI files that hold it.
#pragma once

#include <QString>

namespace orvel {

// The per-user store of string values addressed by application, section and key.
// A value that is absent, or a store that is missing, unreadable or corrupt, reads as
// the empty string: the store never stops the program.
class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual QString read(const QString& application, const QString& section, const QString& key) const = 0;
    // False when the value could not be stored.
    virtual bool write(const QString& application, const QString& section, const QString& key,
                       const QString& value) = 0;
    // Removes everything stored for `application`.
    virtual bool deleteApplication(const QString& application) = 0;
};

// INI files in the user's configuration folder, one per application. Only a regular
// file of at most 1 MB (or a link to one) is a store: anything else at its path (a
// FIFO, a device, a folder, a huge file) reads as empty and is never written or removed.
// Values are texts that may hold names that are not UTF-8; they come back unchanged.
class IniSettingsStore final : public SettingsStore {
public:
    // `folder` defaults to the user's configuration folder.
    explicit IniSettingsStore(const QString& folder = {});

    QString read(const QString& application, const QString& section, const QString& key) const override;
    bool write(const QString& application, const QString& section, const QString& key, const QString& value) override;
    bool deleteApplication(const QString& application) override;

    QString fileOf(const QString& application) const;

private:
    QString m_folder;
};

SettingsStore& hostSettingsStore();

} // namespace orvel
