#include "progress_bar/ProgressBarModule.h"

#include <utility>

namespace orvel::ProgressBarModule {

namespace {
HookObserver& observer()
{
    static HookObserver instance;
    return instance;
}
} // namespace

std::int32_t AttachBorder(quintptr hWnd, std::int32_t borderStyle)
{
    if (observer())
        observer()("AttachBorder", hWnd, borderStyle);
    return 0;
}

std::int16_t DetachBorder(quintptr hWnd)
{
    if (observer())
        observer()("DetachBorder", hWnd, 0);
    return 0;
}

void SetHookObserver(HookObserver o)
{
    observer() = std::move(o);
}

} // namespace orvel::ProgressBarModule
