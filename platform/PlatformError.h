// The numbered errors of the platform layer, thrown as an exception.
#pragma once

#include <stdexcept>
#include <string>

namespace orvel {

// The numbered errors of the platform that callers may need to tell apart:
// 6 overflow, 68 device unavailable, 382 and 393 for writing a read-only property.
class PlatformError : public std::runtime_error {
public:
    explicit PlatformError(int number, const std::string& what = {})
        : std::runtime_error(what.empty() ? "platform error " + std::to_string(number) : what)
        , m_number(number)
    {
    }
    int number() const noexcept { return m_number; }

    static constexpr int Overflow = 6;
    static constexpr int DeviceUnavailable = 68;
    static constexpr int SetNotSupportedAtRuntime = 382;
    static constexpr int SetNotPermitted = 393;

private:
    int m_number;
};

} // namespace orvel
