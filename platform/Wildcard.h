#pragma once

#include <QString>
#include <QStringView>

namespace orvel {

// A name pattern as the folder searches take it: '*' stands for any run of
// characters, '?' for exactly one, letter case never matters. "*" and "*.*" match
// every name, with or without a dot, and so does any pattern ending in ".*" for the
// names that match it without that ending ("a*.*" matches "abc"), as the drive
// searches the program was first written for always did. An empty pattern matches
// nothing.
class Wildcard {
public:
    explicit Wildcard(const QString& pattern)
        : m_folded(pattern.toCaseFolded())
        , m_all(pattern == QLatin1String("*") || pattern == QLatin1String("*.*"))
    {
        if (m_folded.endsWith(QLatin1String(".*")))
            m_withoutDotStar = m_folded.chopped(2);
    }

    bool matchesEverything() const { return m_all; }

    bool matches(const QString& name) const
    {
        if (m_all)
            return true;
        if (m_folded.isEmpty())
            return false;
        const QString folded = name.toCaseFolded();
        return match(m_folded, folded) || (!m_withoutDotStar.isNull() && match(m_withoutDotStar, folded));
    }

private:
    // Linear-time greedy matching: on a mismatch only the last '*' is retried,
    // one character further on, which is enough for patterns without classes.
    static bool match(QStringView pattern, QStringView name)
    {
        qsizetype p = 0, n = 0, starP = -1, starN = 0;
        while (n < name.size()) {
            if (p < pattern.size() && pattern[p] == u'?') {
                ++p; // one character: a surrogate pair is one
                n += (name[n].isHighSurrogate() && n + 1 < name.size() && name[n + 1].isLowSurrogate()) ? 2 : 1;
            } else if (p < pattern.size() && pattern[p] == name[n]) {
                ++p;
                ++n;
            } else if (p < pattern.size() && pattern[p] == u'*') {
                starP = p++;
                starN = n;
            } else if (starP >= 0) {
                p = starP + 1;
                n = ++starN;
            } else {
                return false;
            }
        }
        while (p < pattern.size() && pattern[p] == u'*')
            ++p;
        return p == pattern.size();
    }

    QString m_folded;
    QString m_withoutDotStar; // null unless the pattern ends in ".*"
    bool m_all;
};

} // namespace orvel
