#include "ui/AppIcons.h"

#include "platform/Paths.h"

#include <string>
#include <vector>

wxIconBundle LoadAppIcons() {
    wxIconBundle icons;
    const std::vector<std::string> dirs = platform::IconDirs();
    for (const int px : {16, 24, 32, 48, 64, 128, 256, 512}) {
        const std::string path = platform::FindIn(
            dirs, wxString::Format("%dx%d/apps/%s.png", px, px, platform::kAppId).ToStdString());
        if (!path.empty()) {
            icons.AddIcon(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG);
        }
    }
    return icons;
}
