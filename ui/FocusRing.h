// A focus ring drawn by the parent around a control that draws none of its
// own (the web panel).
#pragma once

class wxWindow;

void DrawFocusRingAround(wxWindow* control);
