#include "platform/WindowPlacement.h"

#include <wx/toplevel.h>

#include <dlfcn.h>

#include <string>

namespace platform {

void RequestUserPosition(wxTopLevelWindow* window, int x, int y) {
    // GTK marks a position as the user's only through a geometry string;
    // looked up at run time, as the program has no build dependency on
    // GTK's headers.
    using ParseGeometry = int (*)(void*, const char*);
    auto parse = reinterpret_cast<ParseGeometry>(dlsym(RTLD_DEFAULT, "gtk_window_parse_geometry"));
    if (parse == nullptr || window == nullptr || window->GetHandle() == nullptr) {
        return;
    }
    const std::string geometry = "+" + std::to_string(x) + "+" + std::to_string(y);
    parse(window->GetHandle(), geometry.c_str());
}

} // namespace platform
