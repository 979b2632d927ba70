// Dialog templates as data: each control's id, kind, text and place in
// dialog units, in template (and tab) order.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <wx/string.h>

class wxWindow;
class wxDialog;
class wxBrush;

namespace ui {

enum class Kind {
    PushButton,
    DefPushButton,
    ComboDropList,       // drop-down list, items kept in insertion order
    ComboDropListSorted, // drop-down list that sorts its items
    EditReadOnly,
    GroupBox,
    Static,
    Player,     // hosted media player
    Browser,    // hosted web view
    RichText,   // hosted rich text box
    StatusText, // a text of fixed size that the program changes
    LevelMeter,
};

// A template's text (marked with wxTRANSLATE) in the language in use; ""
// stays "" (gettext would give the catalog's header).
wxString TemplateText(const char* english);

struct ControlTemplate {
    int id;
    Kind kind;
    const char* text;
    int x, y, w, h;
    bool tabStop;
};

struct DialogTemplate {
    int id;
    const char* caption;
    int width, height; // dialog units
    bool visible;      // shown as soon as it is created
    bool minimizeBox;
    std::vector<ControlTemplate> controls;
    // Initial items of the drop-down lists, by control id.
    std::map<int, std::vector<const char*>> listItems;
    // What a screen reader calls the controls whose own text doesn't say
    // what they are, by control id.
    std::map<int, const char*> accessibleNames;
    // The control that a group box or text labels, by its text; every
    // other text labels nothing.
    std::map<std::string, int> labelFor;
    // Texts a button shows at other times ("Stop" on Record), by control
    // id: it gets room for the widest.
    std::map<int, std::vector<const char*>> otherTexts = {};
};

const DialogTemplate& MainDialogTemplate();    // 102
const DialogTemplate& OptionsDialogTemplate(); // 130
const DialogTemplate& AboutDialogTemplate();   // 100

// Creates the hosted controls (player, browser, rich text); may return
// nullptr when the component is not available.
using HostFactory = std::function<wxWindow*(wxWindow* parent, const ControlTemplate&)>;

// Creates every control of `t` on `dlg` in template order, fills the lists,
// places them, and sizes the dialog. Dialog units come from the dialog's
// font; when a text would not fit at that scale, everything grows by the
// same factor so the layout keeps its proportions. Returns the scale used.
double BuildDialog(wxDialog* dlg, const DialogTemplate& t, const HostFactory& hosts);

// Paints the dialog and its controls' backgrounds in the brush's colour,
// with text that shows on it whatever the theme, leaving out control
// `exceptId` (a panel that keeps its own colours).
void PaintBackgrounds(wxWindow* dlg, const wxBrush& brush, int exceptId = -1);

// Writes where each text of the window's controls is and the room it needs
// to the shown-text log: "layout<TAB>CAPTION<TAB>X Y W H<TAB>NEED_W
// NEED_H<TAB>TEXT", in pixels of the window's client area.
void NoteLayout(wxWindow* dlg);
// The same, once, when the window is first shown.
void NoteLayoutWhenShown(wxWindow* dlg);

// Pixel rectangle of a template control at `scale`.
struct PixelRect {
    int x, y, w, h;
};
PixelRect ToPixels(wxWindow* dlg, const ControlTemplate& c, double scale);

} // namespace ui
