#include "platform/AppIdentity.h"

#include "platform/DynamicLibrary.h"
#include "platform/Paths.h"

#include <glib.h>

namespace platform {

void SetApplicationId() {
    // GTK sends the program name as the Wayland application id and uses it
    // as the X11 instance name; the class would be derived from it too
    // ("Example.vestrel.Vestrel") unless set.
    g_set_prgname(kAppId);
    using SetProgramClass = void (*)(const char*);
    if (auto setClass = LinkedSymbol<SetProgramClass>("gdk_set_program_class")) {
        setClass(kWmClass);
    }
}

} // namespace platform
