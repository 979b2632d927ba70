// Desktop notifications (org.freedesktop.Notifications on the session bus).
#pragma once

#include <string>

namespace platform {

// Shows `summary` and `body` as a notification of the program, in place
// of the one it showed before. Returns at once; with no session bus or no
// notification service nothing happens and nothing is said.
void ShowDesktopNotification(const std::string& summary, const std::string& body);

} // namespace platform
