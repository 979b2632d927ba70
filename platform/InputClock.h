// The clock that key and pointer events are stamped with (milliseconds,
// X11's server time, or the compositor's on Wayland), and the keyboard.
#pragma once

#include <cstdint>

class wxWindow;

namespace platform {

// Now on that clock: asked of the X server through `window`'s display;
// on Wayland, which has no such question, the time of the event being
// handled. 0 when it cannot be known.
std::uint32_t InputClockNow(const wxWindow* window);

// Whether Return (either Enter key) is held down now; false where the
// keyboard cannot be asked (Wayland).
bool ReturnHeldDown();

} // namespace platform
