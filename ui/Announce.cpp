#include "ui/Announce.h"

#include "platform/Accessibility.h"
#include "platform/DesktopNotification.h"
#include "platform/ShownText.h"

#include <wx/toplevel.h>

void AnnounceToUser(wxWindow* from, const wxString& summary, const wxString& body) {
    platform::Announce(from, body.empty() ? summary : summary + " " + body);
    auto* top = dynamic_cast<wxTopLevelWindow*>(wxGetTopLevelParent(from));
    const bool away = top == nullptr || !top->IsActive();
    if (away) {
        platform::ShowDesktopNotification(summary.utf8_string(), body.utf8_string());
    }
    NoteShownText(away ? "notified" : "announced", summary);
}
