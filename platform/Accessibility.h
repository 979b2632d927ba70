// What a screen reader says about a window: names, roles, label ties,
// a value, and announcements, set on the GTK widget's ATK object
// (wxWidgets has no wxAccessible on GTK). Each call does nothing when the
// toolkit's accessibility calls are not there.
#pragma once

#include <wx/string.h>

class wxWindow;

namespace platform {

enum class AccessibleRole { Alert, Dialog, StatusBar, LevelBar };

// The name (and, when given, the description) a screen reader reads for
// `window`, whatever its visible text says.
void SetAccessibleName(wxWindow* window, const wxString& name,
                       const wxString& description = wxString());
void SetAccessibleRole(wxWindow* window, AccessibleRole role);

// Has the static text `label` show `shown` while a screen reader reads
// `whole` as its name and as its text (AT-SPI's Text, what a reader's text
// commands read): `shown` is `whole` shortened or broken to fit the row.
void SetShownText(wxWindow* label, const wxString& shown, const wxString& whole);

// Makes the static text or group box `label` the label of `control` (a
// screen reader then names the one by the other); nullptr: it labels
// nothing. wxGTK ties each text to whatever widget was created next.
void SetLabelFor(wxWindow* label, wxWindow* control);

// Gives `window` a value from `min` to `max` that a screen reader reads,
// and sets it; `text` says it in words ("-6 dB").
void ExposeValue(wxWindow* window, double min, double max);
void SetAccessibleValue(wxWindow* window, double value, const wxString& text);

// Has the screen reader speak `text` now, as said by `window`.
void Announce(wxWindow* window, const wxString& text);

// A box built by hand that tells the user something: an alert named
// `name` whose texts label nothing, so its text is read as it opens.
void PresentAsAlert(wxWindow* box, const wxString& name);

// The name a screen reader gives the program (AT-SPI's application, the
// accessible root), in place of the program name GTK gives it (the
// application id). Call once the toolkit has started. Returns whether the
// root now says `name`.
bool SetApplicationName(const char* name);

} // namespace platform
