// Shell patterns ("*.JPG") that pick the names of a run, matched against a name's bytes.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace orvel {

class NamePatterns {
public:
    NamePatterns() = default;
    // Each pattern as the bytes the user gave: "*", "?", "[...]" and "\\" as a shell has
    // them; a leading dot is an ordinary character, so "*" matches ".bashrc" too.
    explicit NamePatterns(QList<QByteArray> patterns)
        : m_patterns(std::move(patterns))
    {
    }

    bool isEmpty() const { return m_patterns.isEmpty(); }
    // Whether `name` matches one of them, without regard to letter case with
    // `ignoreCase` (a file system that ignores it). Without patterns, none does.
    bool matches(const QString& name, bool ignoreCase) const;

private:
    QList<QByteArray> m_patterns;
};

} // namespace orvel
