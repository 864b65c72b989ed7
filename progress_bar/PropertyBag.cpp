// The property bags in memory and in INI files; a font is kept as readable sub-keys.

#include "progress_bar/PropertyBag.h"

#include <QFont>
#include <QSettings>

namespace orvel {

QVariant MemoryPropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue)
{
    m_reads.append(name);
    for (const auto& entry : m_entries)
        if (entry.first == name)
            return entry.second;
    return defaultValue;
}

void MemoryPropertyBag::WriteProperty(const QString& name, const QVariant& value, const QVariant&)
{
    set(name, value);
}

void MemoryPropertyBag::set(const QString& name, const QVariant& value)
{
    for (auto& entry : m_entries)
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    m_entries.append({name, value});
}

bool MemoryPropertyBag::contains(const QString& name) const
{
    for (const auto& entry : m_entries)
        if (entry.first == name)
            return true;
    return false;
}

QVariant MemoryPropertyBag::value(const QString& name) const
{
    for (const auto& entry : m_entries)
        if (entry.first == name)
            return entry.second;
    return {};
}

QStringList MemoryPropertyBag::names() const
{
    QStringList result;
    for (const auto& entry : m_entries)
        result.append(entry.first);
    return result;
}

namespace {

bool isFont(const QVariant& v)
{
    return v.metaType().id() == QMetaType::QFont;
}

} // namespace

SettingsPropertyBag::SettingsPropertyBag(const QString& fileName, const QString& group)
    : m_settings(std::make_unique<QSettings>(fileName, QSettings::IniFormat))
{
    if (!group.isEmpty())
        m_settings->beginGroup(group);
}

SettingsPropertyBag::~SettingsPropertyBag() = default;

QVariant SettingsPropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue)
{
    if (isFont(defaultValue)) {
        QFont font = defaultValue.value<QFont>();
        if (m_settings->contains(name)) { // a whole font in one text, as QFont writes it
            QFont parsed;
            if (parsed.fromString(m_settings->value(name).toString()))
                return parsed;
            return defaultValue;
        }
        m_settings->beginGroup(name);
        const bool any = !m_settings->childKeys().isEmpty();
        if (any) {
            if (m_settings->contains(QStringLiteral("Name")))
                font.setFamily(m_settings->value(QStringLiteral("Name")).toString());
            if (m_settings->contains(QStringLiteral("Size"))) {
                bool ok = false;
                const double size = m_settings->value(QStringLiteral("Size")).toDouble(&ok);
                if (ok && size > 0)
                    font.setPointSizeF(size);
            }
            if (m_settings->contains(QStringLiteral("Weight"))) {
                bool ok = false;
                const int weight = m_settings->value(QStringLiteral("Weight")).toInt(&ok);
                if (ok && weight >= 1 && weight <= 1000)
                    font.setWeight(QFont::Weight(weight));
            }
            if (m_settings->contains(QStringLiteral("Italic")))
                font.setItalic(m_settings->value(QStringLiteral("Italic")).toBool());
            if (m_settings->contains(QStringLiteral("Underline")))
                font.setUnderline(m_settings->value(QStringLiteral("Underline")).toBool());
            if (m_settings->contains(QStringLiteral("Strikethrough")))
                font.setStrikeOut(m_settings->value(QStringLiteral("Strikethrough")).toBool());
        }
        m_settings->endGroup();
        return any ? QVariant(font) : defaultValue;
    }
    return m_settings->value(name, defaultValue);
}

void SettingsPropertyBag::WriteProperty(const QString& name, const QVariant& value, const QVariant& defaultValue)
{
    m_settings->remove(name); // also the sub-keys of a font
    if (value == defaultValue)
        return;
    if (isFont(value)) {
        const QFont font = value.value<QFont>();
        m_settings->beginGroup(name);
        m_settings->setValue(QStringLiteral("Name"), font.family());
        m_settings->setValue(QStringLiteral("Size"), font.pointSizeF());
        m_settings->setValue(QStringLiteral("Weight"), static_cast<int>(font.weight()));
        m_settings->setValue(QStringLiteral("Italic"), font.italic());
        m_settings->setValue(QStringLiteral("Underline"), font.underline());
        m_settings->setValue(QStringLiteral("Strikethrough"), font.strikeOut());
        m_settings->endGroup();
        return;
    }
    m_settings->setValue(name, value);
}

bool SettingsPropertyBag::sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

QString SettingsPropertyBag::fileName() const
{
    return m_settings->fileName();
}

} // namespace orvel
