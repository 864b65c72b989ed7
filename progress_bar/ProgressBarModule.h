#pragma once

#include <QtGlobal>

#include <cstdint>
#include <functional>

namespace orvel::ProgressBarModule {

// Border hooks of the progress bar. The control calls AttachBorder when it is shown
// and after each change of its border style (after DetachBorder), and DetachBorder
// when it goes away. Neither draws anything or changes the window: the border style
// only moves the caption. Both always succeed.
std::int32_t AttachBorder(quintptr hWnd, std::int32_t borderStyle);
std::int16_t DetachBorder(quintptr hWnd);

// Lets a test or a diagnostic see the hook calls: ("AttachBorder", hWnd, style) and
// ("DetachBorder", hWnd, 0). Pass an empty function to stop.
using HookObserver = std::function<void(const char* hook, quintptr hWnd, int borderStyle)>;
void SetHookObserver(HookObserver observer);

} // namespace orvel::ProgressBarModule
