// Where a control keeps its saved settings: in memory or in an INI file.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <utility>

class QSettings;

namespace orvel {

// Where a control keeps its settings between the design of a window and its run:
// named values, each read with the default that stands for "not saved".
class PropertyBag {
public:
    virtual ~PropertyBag() = default;

    // The value saved under `name`, or `defaultValue` when there is none.
    virtual QVariant ReadProperty(const QString& name, const QVariant& defaultValue) = 0;
    // Saves `value` under `name`. A bag may leave out a value equal to its default,
    // which then reads back as that default.
    virtual void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) = 0;
};

// A bag in memory. It keeps every value written, defaults included, in the order of
// the first write, and remembers the order of the reads; tests and copies use it.
class MemoryPropertyBag final : public PropertyBag {
public:
    QVariant ReadProperty(const QString& name, const QVariant& defaultValue) override;
    void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) override;

    void set(const QString& name, const QVariant& value);
    bool contains(const QString& name) const;
    QVariant value(const QString& name) const;
    QStringList names() const; // in write order
    QStringList readNames() const { return m_reads; } // every read, in order
    bool isEmpty() const { return m_entries.isEmpty(); }

private:
    QList<std::pair<QString, QVariant>> m_entries;
    QStringList m_reads;
};

// A bag kept in an INI file, or read from one compiled into the program (a path
// starting with ":/"; such a bag cannot be written). Values equal to their default
// are not stored. A font is kept as readable sub-keys (Font\Name, Font\Size, ...).
class SettingsPropertyBag final : public PropertyBag {
public:
    explicit SettingsPropertyBag(const QString& fileName, const QString& group = {});
    ~SettingsPropertyBag() override;

    QVariant ReadProperty(const QString& name, const QVariant& defaultValue) override;
    void WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue) override;

    // Writes pending changes to the file; false when they could not be saved.
    bool sync();
    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace orvel
