#include "app/CommandLine.h"
#include "app/CorvaneApp.h"
#include "platform/AppIdentity.h"
#include "platform/GlDrivers.h"
#include "platform/Translate.h"
#include "platform/WebSandbox.h"

wxIMPLEMENT_APP_NO_MAIN(CCorvaneApp);

int main(int argc, char** argv) {
    // Before any text is made, the command line's too.
    const platform::Translations translations;
    // --help and --version answer before the toolkit looks for a display.
    if (const auto status = app::HandleCommandLine(argc, argv)) {
        return *status;
    }
    platform::SkipToolkitGlProbe();
    platform::TurnOffWebJit();
    platform::SetApplicationId();
    return wxEntry(argc, argv);
}
