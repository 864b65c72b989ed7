#include "about/mOpenURL.h"

#include "platform/Launch.h"
#include "platform/XdgLookup.h"

#include <optional>

namespace orvel {

namespace {

const QString kProbeName = QStringLiteral("dummy.html");
const QString kWebPageType = QStringLiteral("text/html");

// The lookup behind FindBrowser; OpenURL needs the whole desktop entry, since its
// Exec line may carry arguments of its own around the address.
std::optional<DesktopEntry> findBrowserEntry(long& result)
{
    const QString probe = TempFolder() + kProbeName;
    if (!CreateProbeFile(probe)) {
        result = kBrowserProbeNotWritten;
        return std::nullopt;
    }
    auto entry = DefaultApplicationForMimeType(kWebPageType);
    result = entry ? kBrowserFound : kBrowserNotRegistered;
    if (!RemoveProbeFile(probe)) {
        result = kBrowserProbeNotRemoved;
        return std::nullopt;
    }
    return entry;
}

} // namespace

bool OpenURL(const QString& address)
{
    long result = 0;
    const auto entry = findBrowserEntry(result);
    if (result < 32 || !entry)
        return false;
    const auto command = CommandForUrl(*entry, address);
    return command && StartDetached(*command);
}

QString FindBrowser(long& result)
{
    const auto entry = findBrowserEntry(result);
    if (!entry)
        return {};
    const auto words = SplitExecLine(entry->exec);
    if (!words || words->isEmpty())
        return {};
    return TrimAtNull(ResolveExecutable(words->first()));
}

QString TempFolder()
{
    return TrimAtNull(TemporaryFolder());
}

QString TrimAtNull(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 0 ? text : text.left(nul);
}

} // namespace orvel
