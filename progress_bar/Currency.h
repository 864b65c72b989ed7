// A fixed-point number with four decimal places: the progress bar's values.
#pragma once

#include "platform/PlatformError.h"

#include <QMetaType>
#include <QString>
#include <QStringView>

#include <cmath>
#include <compare>
#include <concepts>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace orvel {

// A 64-bit fixed-point number with four decimal places: the value times 10 000.
// Sums and differences are exact; anything that does not fit raises the overflow
// error (6), as the progress bar's callers expect.
class Currency {
public:
    static constexpr std::int64_t Scale = 10000;

    constexpr Currency() = default;

    // Whole units: `Currency(5)` is five, not five ten-thousandths.
    template <std::integral T>
    requires(!std::same_as<T, bool>) constexpr Currency(
        T units) // NOLINT(google-explicit-constructor): numbers read naturally
    {
        if constexpr (std::unsigned_integral<T>) {
            if (units > static_cast<std::make_unsigned_t<std::int64_t>>(std::numeric_limits<std::int64_t>::max()))
                throw PlatformError(PlatformError::Overflow);
        }
        if (__builtin_mul_overflow(static_cast<std::int64_t>(units), Scale, &m_raw))
            throw PlatformError(PlatformError::Overflow);
    }

    static constexpr Currency fromRaw(std::int64_t raw)
    {
        Currency c;
        c.m_raw = raw;
        return c;
    }

    // Rounds to the nearest ten-thousandth, halves to even.
    static Currency fromDouble(double units)
    {
        if (!std::isfinite(units))
            throw PlatformError(PlatformError::Overflow);
        const long double scaled = static_cast<long double>(units) * Scale;
        if (scaled < -9223372036854775808.0L || scaled >= 9223372036854775808.0L)
            throw PlatformError(PlatformError::Overflow);
        return fromRaw(static_cast<std::int64_t>(std::nearbyint(scaled)));
    }

    // Decimal text such as "10000", "-12.5" or "0.0001". More than four decimals are
    // rounded, halves to even. Text that is not a number raises type mismatch (13).
    static Currency fromString(QStringView text)
    {
        text = text.trimmed();
        bool negative = false;
        qsizetype i = 0;
        if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) {
            negative = text[i] == u'-';
            ++i;
        }
        unsigned __int128 whole = 0;
        int digits = 0;
        for (; i < text.size() && text[i].isDigit(); ++i, ++digits) {
            whole = whole * 10 + static_cast<unsigned>(text[i].digitValue());
            if (whole > (static_cast<unsigned __int128>(1) << 64))
                throw PlatformError(PlatformError::Overflow);
        }
        unsigned __int128 fraction = 0; // in ten-thousandths
        int fractionDigits = 0;
        int roundDigit = -1;
        bool stickyBeyond = false;
        if (i < text.size() && text[i] == u'.') {
            for (++i; i < text.size() && text[i].isDigit(); ++i, ++digits) {
                const int d = text[i].digitValue();
                if (fractionDigits < 4) {
                    fraction = fraction * 10 + static_cast<unsigned>(d);
                    ++fractionDigits;
                } else if (roundDigit < 0) {
                    roundDigit = d;
                } else if (d != 0) {
                    stickyBeyond = true;
                }
            }
        }
        if (digits == 0 || i != text.size())
            throw PlatformError(TypeMismatch);
        for (; fractionDigits < 4; ++fractionDigits)
            fraction *= 10;
        unsigned __int128 magnitude = whole * Scale + fraction;
        if (roundDigit > 5 || (roundDigit == 5 && (stickyBeyond || (magnitude & 1))))
            ++magnitude;
        const unsigned __int128 limit =
            negative ? (static_cast<unsigned __int128>(1) << 63) : (static_cast<unsigned __int128>(1) << 63) - 1;
        if (magnitude > limit)
            throw PlatformError(PlatformError::Overflow);
        if (negative)
            return fromRaw(static_cast<std::int64_t>(-static_cast<__int128>(magnitude)));
        return fromRaw(static_cast<std::int64_t>(magnitude));
    }

    constexpr std::int64_t raw() const { return m_raw; }
    constexpr double toDouble() const { return static_cast<double>(m_raw) / Scale; }

    // Shortest decimal text that reads back to the same value: "10000", "-12.5".
    QString toString() const
    {
        const bool negative = m_raw < 0;
        const unsigned long long magnitude =
            negative ? 0ULL - static_cast<unsigned long long>(m_raw) : static_cast<unsigned long long>(m_raw);
        QString text = QString::number(magnitude / Scale);
        unsigned long long fraction = magnitude % Scale;
        if (fraction != 0) {
            QString f = QString::number(fraction).rightJustified(4, u'0');
            while (f.endsWith(u'0'))
                f.chop(1);
            text += u'.' + f;
        }
        return negative ? u'-' + text : text;
    }

    friend Currency operator+(Currency a, Currency b)
    {
        std::int64_t r;
        if (__builtin_add_overflow(a.m_raw, b.m_raw, &r))
            throw PlatformError(PlatformError::Overflow);
        return fromRaw(r);
    }
    friend Currency operator-(Currency a, Currency b)
    {
        std::int64_t r;
        if (__builtin_sub_overflow(a.m_raw, b.m_raw, &r))
            throw PlatformError(PlatformError::Overflow);
        return fromRaw(r);
    }
    friend constexpr bool operator==(Currency a, Currency b) = default;
    friend constexpr std::strong_ordering operator<=>(Currency a, Currency b) = default;

    static constexpr int TypeMismatch = 13;

    static constexpr Currency max() { return fromRaw(std::numeric_limits<std::int64_t>::max()); }
    static constexpr Currency min() { return fromRaw(std::numeric_limits<std::int64_t>::min()); }

private:
    std::int64_t m_raw = 0;
};

} // namespace orvel

Q_DECLARE_METATYPE(orvel::Currency)
