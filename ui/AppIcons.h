// The application's icons, for every window's title bar and task switcher.
#pragma once

#include <wx/iconbndl.h>

// The icons from 16 to 512 px found in the icon folders.
wxIconBundle LoadAppIcons();
