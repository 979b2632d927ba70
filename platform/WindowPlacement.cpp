#include "platform/WindowPlacement.h"

#include "platform/DynamicLibrary.h"

#include <wx/toplevel.h>

#include <string>

namespace platform {

void RequestUserPosition(wxTopLevelWindow* window, int x, int y) {
    // GTK marks a position as the user's only through a geometry string.
    using ParseGeometry = int (*)(void*, const char*);
    auto parse = LinkedSymbol<ParseGeometry>("gtk_window_parse_geometry");
    if (parse == nullptr || window == nullptr || window->GetHandle() == nullptr) {
        return;
    }
    const std::string geometry = "+" + std::to_string(x) + "+" + std::to_string(y);
    parse(window->GetHandle(), geometry.c_str());
}

} // namespace platform
