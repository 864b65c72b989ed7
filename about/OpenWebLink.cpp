// Finding the desktop's web browser through a probe page, and starting it on an address.

#include "about/OpenWebLink.h"

#include "platform/Launch.h"

namespace orvel {

namespace {

const QString kProbeName = QStringLiteral("dummy.html");
const QString kWebPageType = QStringLiteral("text/html");

} // namespace

std::optional<DesktopEntry> FindWebBrowser()
{
    const QString probe = TemporaryFolder() + kProbeName;
    if (!CreateProbeFile(probe))
        return std::nullopt;
    auto browser = DefaultApplicationForMimeType(kWebPageType);
    if (!RemoveProbeFile(probe))
        return std::nullopt;
    return browser;
}

bool OpenWebLink(const QString& address)
{
    const auto browser = FindWebBrowser();
    if (!browser)
        return false;
    // The whole entry, not only its program: the Exec line may carry arguments of its
    // own around the address.
    const auto command = CommandForUrl(*browser, address);
    return command && StartDetached(*command);
}

} // namespace orvel
