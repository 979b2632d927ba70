#include "ui/DialogTemplate.h"

#include "platform/WindowPlacement.h"

#include "ui/Resource.h"

#include "controls/LevelMeter.h"
#include "platform/Accessibility.h"
#include "platform/ShownText.h"
#include "platform/TextColours.h"
#include "platform/Translate.h"

#include <wx/brush.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dialog.h>
#include <wx/intl.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include <algorithm>
#include <cmath>
#include <iomanip>
#include <locale>
#include <memory>
#include <sstream>

const char* LoadResString(int id) {
    switch (id) {
    case IDS_ABOUTBOX:
        // TRANSLATORS: the main window's context menu entry; & marks its access key.
        return wxTRANSLATE("&About Vestrel...");
    default:
        return "";
    }
}

namespace ui {

wxString TemplateText(const char* english) {
    if (english == nullptr || *english == '\0') {
        return wxString();
    }
    return wxGetTranslation(wxString::FromUTF8(english));
}

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate t{
        IDD_CORVANE_DIALOG,
        "Vestrel",
        292,
        199,
        true,
        true,
        {
            {1, Kind::DefPushButton, wxTRANSLATE("Record"), 63, 78, 50, 14, true},
            {1000, Kind::ComboDropListSorted, "", 25, 23, 228, 30, true},
            {1001, Kind::EditReadOnly, "", 7, 55, 195, 14, true},
            {1002, Kind::PushButton, wxTRANSLATE("Select output file..."), 205, 55, 71, 14, true},
            {1003, Kind::ComboDropList, "", 7, 79, 48, 15, true},
            {1004, Kind::PushButton, wxTRANSLATE("Website"), 7, 135, 50, 14, true},
            {1006, Kind::PushButton, wxTRANSLATE("Help"), 59, 135, 50, 14, true},
            {-1, Kind::GroupBox, wxTRANSLATE("Select Source"), 7, 7, 269, 40, false},
            {3, Kind::PushButton, wxTRANSLATE("Convert Options"), 203, 78, 73, 14, true},
            {4, Kind::PushButton, wxTRANSLATE("Convert and Save"), 118, 78, 80, 14, true},
            {1008, Kind::Player, "", 7, 99, 270, 27, true},
            {1011, Kind::Browser, "", 7, 150, 278, 47, true},
            // The status row in the strip right of Help.
            // TRANSLATORS: the status row's button; it reads Resume while a
            // take is paused, Cancel while a file is converted.
            {1012, Kind::PushButton, wxTRANSLATE("Pause"), 115, 135, 40, 14, true},
            {1013, Kind::StatusText, "", 158, 135, 72, 14, false},
            {1014, Kind::LevelMeter, "", 232, 135, 53, 14, false},
        },
        {
            {1003,
             {"16 Kbps", "32 Kbps", "48 Kbps", "64 Kbps", "96 Kbps", "128 Kbps", "160 Kbps",
              "256 Kbps"}},
        },
        {
            {1000, wxTRANSLATE("Select Source")},
            {1001, wxTRANSLATE("Output file")},
            {1003, wxTRANSLATE("Bit rate")},
            {1008, wxTRANSLATE("Player")},
            {1011, wxTRANSLATE("Information page")},
        },
        {{"Select Source", 1000}},
        {{1, {"Stop"}}, {4, {"Cancel"}}, {1012, {"Resume", "Cancel"}}},
    };
    return t;
}

const DialogTemplate& OptionsDialogTemplate() {
    static const DialogTemplate t{
        IDD_OPTIONS,
        wxTRANSLATE("Options"),
        180,
        140,
        false,
        false,
        {
            {1, Kind::DefPushButton, wxTRANSLATE("OK"), 31, 104, 50, 14, true},
            {2, Kind::PushButton, wxTRANSLATE("Cancel"), 85, 104, 50, 14, true},
            {-1, Kind::GroupBox, wxTRANSLATE("Format"), 7, 7, 153, 40, false},
            {-1, Kind::GroupBox, wxTRANSLATE("Bitrate"), 7, 56, 153, 40, false},
            {1000, Kind::ComboDropList, "", 58, 23, 48, 30, true},
            {1003, Kind::ComboDropList, "", 57, 72, 48, 30, true},
        },
        {
            {1000, {"mp3", "wav", "aac", "wma", "flac", "m4a", "ac3"}},
            {1003, {"512k", "256k", "128k", "64k", "32k"}},
        },
        {{1000, wxTRANSLATE("Format")}, {1003, wxTRANSLATE("Bitrate")}},
        {{"Format", 1000}, {"Bitrate", 1003}},
    };
    return t;
}

const DialogTemplate& AboutDialogTemplate() {
    static const DialogTemplate t{
        IDD_ABOUTBOX,
        wxTRANSLATE("About Vestrel"),
        364,
        196,
        false,
        false,
        {
            {-1, Kind::Static, wxTRANSLATE("Vestrel 1.0 - a voice recorder"), 7, 6, 108, 8, false},
            {-1, Kind::Static,
             wxTRANSLATE("This software basically provides a user interface to a great software "
                         "FFMPEG released under GPL."),
             7, 25, 350, 8, false},
            {-1, Kind::Static,
             wxTRANSLATE("Vestrel brings no ffmpeg of its own: Convert and Save runs the ffmpeg "
                         "installed on this system."),
             7, 42, 350, 8, false},
            // Which ffmpeg, filled in when the box opens.
            {IDC_ABOUT_FFMPEG, Kind::Static, "", 7, 50, 350, 8, false},
            {1010, Kind::RichText, "", 7, 63, 337, 126, true},
        },
        {},
        {{1010, wxTRANSLATE("Thanks")}},
        {},
    };
    return t;
}

namespace {

// Texts drawn straight on their parent's background.
bool DrawsOnParent(const wxWindow* w) {
    return dynamic_cast<const wxStaticText*>(w) != nullptr ||
           dynamic_cast<const wxStaticBox*>(w) != nullptr;
}

// Room the text of `w` needs: a button's or a list's best size (a list's
// is its longest item's), a label's text with some air. With `textOnly`
// the height is the text's own line: the theme's padding above and below
// it may be squeezed, its sides not.
wxSize NeededSize(wxWindow* w, bool textOnly = false) {
    if (DrawsOnParent(w)) {
        const wxSize text = w->GetTextExtent(w->GetLabel());
        return {text.x + (textOnly ? 0 : 16), text.y};
    }
    wxSize best = w->GetBestSize();
    if (textOnly) {
        if (dynamic_cast<wxButton*>(w) != nullptr) {
            const wxSize whole = platform::SmallestWholeSize(w);
            if (whole.x > 0) {
                best.x = whole.x;
            }
        }
        best.y = std::min(best.y, w->GetCharHeight() + 4);
    }
    return best;
}

void DarkTextInside(wxWindow* w, const wxColour& text) {
    for (wxWindow* child : w->GetChildren()) {
        if (!child->IsTopLevel()) {
            if (DrawsOnParent(child)) {
                child->SetForegroundColour(text);
            }
            DarkTextInside(child, text);
        }
    }
}

} // namespace

void PaintBackgrounds(wxWindow* dlg, const wxBrush& brush, int exceptId) {
    const wxColour colour = brush.GetColour();
    // A dark theme's light text would vanish on white.
    const wxColour text = colour.GetLuminance() > 0.5 ? *wxBLACK : *wxWHITE;
    // A greyed control's text is visibly grey, yet as readable as any
    // text: #666666 on white is 5.7:1 (the 4.5:1 readable text needs), and
    // still 5:1 on a button's darker face.
    const wxColour greyed((text.Red() * 3 + colour.Red() * 2) / 5,
                          (text.Green() * 3 + colour.Green() * 2) / 5,
                          (text.Blue() * 3 + colour.Blue() * 2) / 5);
    dlg->SetBackgroundColour(colour);
    dlg->SetForegroundColour(text);
    for (wxWindow* child : dlg->GetChildren()) {
        if (!child->IsTopLevel() && (exceptId == -1 || child->GetId() != exceptId)) {
            child->SetBackgroundColour(colour);
            if (DrawsOnParent(child) || !platform::SetStateTextColours(child, text, greyed)) {
                child->SetForegroundColour(text);
            }
            DarkTextInside(child, text);
        }
    }
}

namespace {

// Where `w` is in the client area of its top-level window, summed up the
// parent chain (a Wayland client knows no screen positions), as drawn: a
// right-to-left window mirrors its children.
wxPoint InWindow(wxWindow* w) {
    wxPoint at;
    for (; w != nullptr && !w->IsTopLevel(); w = w->GetParent()) {
        wxPoint p = w->GetPosition();
        const wxWindow* parent = w->GetParent();
        if (parent != nullptr && parent->GetLayoutDirection() == wxLayout_RightToLeft) {
            p.x = parent->GetClientSize().x - p.x - w->GetSize().x;
        }
        at += p;
    }
    return at;
}

wxString ShownLabel(wxWindow* w) {
    if (auto* list = dynamic_cast<wxChoice*>(w)) {
        return list->GetStringSelection();
    }
    if (auto* entry = dynamic_cast<wxTextCtrl*>(w)) {
        return entry->GetValue();
    }
    return w->GetLabel();
}

void NoteTexts(wxWindow* w, const wxString& caption) {
    for (wxWindow* child : w->GetChildren()) {
        if (child->IsTopLevel() || !child->IsShown()) {
            continue;
        }
        const bool text = dynamic_cast<wxButton*>(child) != nullptr ||
                          dynamic_cast<wxChoice*>(child) != nullptr ||
                          dynamic_cast<wxTextCtrl*>(child) != nullptr || DrawsOnParent(child);
        const wxString label = text ? ShownLabel(child) : wxString();
        if (!label.empty()) {
            const wxPoint at = InWindow(child);
            const wxSize has = child->GetSize();
            // An entry scrolls its text: it needs no more room than it has.
            const wxSize need =
                dynamic_cast<wxTextCtrl*>(child) != nullptr ? has : NeededSize(child, true);
            NoteShownText("layout",
                          wxString::Format("%s\t%d %d %d %d\t%d %d\t%s", caption, at.x, at.y, has.x,
                                           has.y, need.x, need.y, label.BeforeFirst('\n')));
        }
        NoteTexts(child, caption);
    }
}

} // namespace

void NoteLayout(wxWindow* dlg) {
    NoteTexts(dlg, dlg->GetLabel()); // a top-level window's label is its title
}

void NoteLayoutWhenShown(wxWindow* dlg) {
    auto noted = std::make_shared<bool>(false);
    dlg->Bind(wxEVT_SHOW, [dlg, noted](wxShowEvent& e) {
        e.Skip();
        if (e.IsShown() && !*noted) {
            *noted = true;
            dlg->CallAfter([dlg] { NoteLayout(dlg); }); // once the panels are laid out
        }
    });
}

PixelRect ToPixels(wxWindow* dlg, const ControlTemplate& c, double scale) {
    const wxPoint p = dlg->ConvertDialogToPixels(wxPoint(c.x, c.y));
    const wxSize s = dlg->ConvertDialogToPixels(wxSize(c.w, c.h));
    auto r = [scale](int v) { return static_cast<int>(std::lround(v * scale)); };
    return {r(p.x), r(p.y), r(s.x), r(s.y)};
}

namespace {

bool IsCombo(Kind k) {
    return k == Kind::ComboDropList || k == Kind::ComboDropListSorted;
}

// Height a control shows on screen; a combo's template height includes its
// drop-down, the field itself is at most 14 units.
int VisibleHeightDlu(const ControlTemplate& c) {
    return IsCombo(c.kind) ? std::min(c.h, 14) : c.h;
}

wxWindow* CreateOne(wxDialog* dlg, const ControlTemplate& c, const DialogTemplate& t,
                    const HostFactory& hosts) {
    const wxWindowID id = c.id == -1 ? wxID_ANY : c.id;
    wxWindow* w = nullptr;
    switch (c.kind) {
    case Kind::PushButton:
    case Kind::DefPushButton: {
        auto* b = new wxButton(dlg, id, TemplateText(c.text));
        if (c.kind == Kind::DefPushButton) {
            b->SetDefault();
        }
        w = b;
        break;
    }
    case Kind::ComboDropList:
    case Kind::ComboDropListSorted: {
        // A drop-down list the user picks from and cannot type into: on GTK
        // that is wxChoice (a read-only wxComboBox still shows an entry).
        const long style = c.kind == Kind::ComboDropListSorted ? wxCB_SORT : 0;
        auto* cb = new wxChoice(dlg, id, wxDefaultPosition, wxDefaultSize, 0, nullptr, style);
        if (auto it = t.listItems.find(c.id); it != t.listItems.end()) {
            for (const char* item : it->second) {
                cb->Append(wxString::FromUTF8(item));
            }
        }
        w = cb;
        break;
    }
    case Kind::EditReadOnly:
        w = new wxTextCtrl(dlg, id, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                           wxTE_READONLY | wxTE_LEFT);
        break;
    case Kind::GroupBox:
        w = new wxStaticBox(dlg, id, TemplateText(c.text));
        break;
    case Kind::Static:
        w = new wxStaticText(dlg, id, TemplateText(c.text));
        break;
    case Kind::StatusText:
        w = new wxStaticText(dlg, id, TemplateText(c.text), wxDefaultPosition, wxDefaultSize,
                             wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
        break;
    case Kind::LevelMeter:
        w = new CLevelMeter(dlg, id);
        break;
    case Kind::Player:
    case Kind::Browser:
    case Kind::RichText:
        w = hosts ? hosts(dlg, c) : nullptr;
        break;
    }
    return w;
}

// Names, roles and label ties as a screen reader reads them.
void NameForScreenReader(wxDialog* dlg, const DialogTemplate& t,
                         const std::vector<std::pair<const ControlTemplate*, wxWindow*>>& made) {
    for (const auto& [c, w] : made) {
        if (w == nullptr) {
            continue;
        }
        if (c->kind == Kind::GroupBox || c->kind == Kind::Static || c->kind == Kind::StatusText) {
            const auto it = t.labelFor.find(c->text);
            platform::SetLabelFor(w,
                                  it != t.labelFor.end() ? dlg->FindWindow(it->second) : nullptr);
        }
        if (c->kind == Kind::StatusText) {
            platform::SetAccessibleRole(w, platform::AccessibleRole::StatusBar);
        }
        if (const auto it = t.accessibleNames.find(c->id); it != t.accessibleNames.end()) {
            platform::SetAccessibleName(w, TemplateText(it->second));
        }
    }
}

// The largest scale at which the whole dialog, with its title bar and
// frame, fits the work area of its screen (a large font, or GDK_SCALE=2 on
// a small screen). Texts may then be cut, but every control is there.
double ScaleToFit(wxDialog* dlg, const DialogTemplate& t) {
    const wxRect area = platform::WorkAreaOf(dlg->GetParent() != nullptr ? dlg->GetParent() : dlg);
    const PixelRect whole =
        ToPixels(dlg, {0, Kind::Static, "", 0, 0, t.width, t.height, false}, 1.0);
    if (area.IsEmpty() || whole.w <= 0 || whole.h <= 0) {
        return 1e9;
    }
    // Before it is first shown the frame's size is an estimate or nothing.
    const wxSize frame = dlg->GetSize() - dlg->GetClientSize();
    const int fw = std::max(frame.x, 8);
    const int fh = std::max(frame.y, 40);
    return std::min(static_cast<double>(area.width - fw) / whole.w,
                    static_cast<double>(area.height - fh) / whole.h);
}

} // namespace

namespace {

// Room the control's English text would need where it shows a translation:
// the layout's scale comes from the English texts, so every language gets
// the English layout, and a longer translation widens only its control.
wxSize EnglishNeed(wxWindow* w, const ControlTemplate& c, bool textOnly) {
    wxSize need = NeededSize(w, textOnly);
    const wxString english = wxString::FromUTF8(c.text);
    const wxString shown = w->GetLabel();
    if (!english.empty() && shown != english) {
        need.x += w->GetTextExtent(english).x - w->GetTextExtent(shown).x;
    }
    return need;
}

// The scale at which every English text of the template's controls fits.
double NeededScale(wxDialog* dlg,
                   const std::vector<std::pair<const ControlTemplate*, wxWindow*>>& made,
                   bool textOnly = false) {
    double scale = 1.0;
    for (const auto& [c, w] : made) {
        if (w == nullptr) {
            continue;
        }
        const PixelRect r = ToPixels(dlg, *c, 1.0);
        const wxSize need = EnglishNeed(w, *c, textOnly);
        const wxSize visible(r.w, dlg->ConvertDialogToPixels(wxSize(0, VisibleHeightDlu(*c))).y);
        switch (c->kind) {
        case Kind::PushButton:
        case Kind::DefPushButton:
        case Kind::EditReadOnly:
        case Kind::ComboDropList:
        case Kind::ComboDropListSorted:
            if (c->kind != Kind::EditReadOnly) {
                scale = std::max(scale, static_cast<double>(need.x) / visible.x);
            }
            scale = std::max(scale, static_cast<double>(need.y) / visible.y);
            break;
        case Kind::Static:
            // A taller script (Japanese) needs taller lines.
            scale = std::max(scale, static_cast<double>(need.y) / visible.y);
            [[fallthrough]];
        case Kind::GroupBox:
            scale = std::max(scale, static_cast<double>(need.x) / visible.x);
            break;
        default:
            break;
        }
    }
    return scale;
}

void SetFontWithin(wxWindow* w, const wxFont& font) {
    w->SetFont(font);
    for (wxWindow* child : w->GetChildren()) {
        if (!child->IsTopLevel()) {
            SetFontWithin(child, font);
        }
    }
}

// A control at its place in the window, and what making room for a longer
// text did to it, in pixels.
struct Placed {
    const ControlTemplate* c;
    wxWindow* w;
    PixelRect r;   // at the layout's scale
    int need;      // width its text needs
    int shift = 0; // moved right
    int grow = 0;  // widened
    int Right() const { return r.x + r.w + shift + grow; }
};

bool SameRow(const ControlTemplate& a, const ControlTemplate& b) {
    return a.y < b.y + VisibleHeightDlu(b) && b.y < a.y + VisibleHeightDlu(a);
}

bool Inside(const ControlTemplate& in, const ControlTemplate& box) {
    return box.kind == Kind::GroupBox && &in != &box && in.x >= box.x &&
           in.x + in.w <= box.x + box.w && in.y >= box.y &&
           in.y + VisibleHeightDlu(in) <= box.y + box.h;
}

// Controls that take the width they are given: a box, an entry, a panel, a
// label (its text stays at its start).
bool Stretches(Kind k) {
    return k == Kind::GroupBox || k == Kind::EditReadOnly || k == Kind::Player ||
           k == Kind::Browser || k == Kind::RichText || k == Kind::Static;
}

// Width the text of a control needs (0: it has none, or handles any width).
int WidthNeeded(wxWindow* w, Kind k, bool textOnly) {
    switch (k) {
    case Kind::PushButton:
    case Kind::DefPushButton:
    case Kind::ComboDropList:
    case Kind::ComboDropListSorted:
    case Kind::Static:
    case Kind::GroupBox:
        return NeededSize(w, textOnly).x;
    default:
        return 0;
    }
}

// Makes room for texts longer than their rectangles, as a box layout does:
// such a control widens, what is right of it in its row moves right by as
// much, a group box widens around what it holds, and the dialog widens to
// hold it all; what reached the dialog's right edge stays there (a box or
// panel stretches, a button moves). English texts fit: nothing changes.
// Returns the dialog's client width.
int MakeRoom(std::vector<Placed>& all, int width, int widthDlu) {
    bool changed = true;
    for (int pass = 0; pass < 8 && changed; ++pass) {
        changed = false;
        for (Placed& p : all) {
            int shift = 0;
            int grow = std::max(0, p.need - p.r.w);
            for (const Placed& q : all) {
                if (q.c->x + q.c->w <= p.c->x && SameRow(*p.c, *q.c)) {
                    shift = std::max(shift, q.shift + q.grow);
                } else if (Inside(*q.c, *p.c)) {
                    const int gap = p.r.x + p.r.w - (q.r.x + q.r.w);
                    grow = std::max(grow, q.Right() + gap - (p.r.x + p.r.w + shift));
                }
            }
            if (shift != p.shift || grow != p.grow) {
                p.shift = shift;
                p.grow = grow;
                changed = true;
            }
        }
    }
    // What reaches the right edge keeps its distance from it, so that what
    // lines up there in English still does.
    constexpr int kRightEdgeDlu = 20;
    const auto atRightEdge = [widthDlu](const Placed& p) {
        return p.c->x + p.c->w >= widthDlu - kRightEdgeDlu;
    };
    int right = 0;
    int wider = 0;
    int more = 0;
    for (const Placed& p : all) {
        right = std::max(right, p.r.x + p.r.w);
        wider = std::max(wider, p.Right());
        if (atRightEdge(p)) {
            more = std::max(more, p.shift + p.grow);
        }
    }
    more = std::max(more, wider - right);
    if (more == 0) {
        return width;
    }
    for (Placed& p : all) {
        const int extra = more - p.shift - p.grow;
        if (!atRightEdge(p) || extra <= 0) {
            continue;
        }
        if (Stretches(p.c->kind)) {
            p.grow += extra;
            continue;
        }
        p.shift += extra;
        // The entry left of a button that moved follows it.
        Placed* left = nullptr;
        for (Placed& q : all) {
            if (q.c->x + q.c->w <= p.c->x && SameRow(*p.c, *q.c) &&
                (left == nullptr || q.c->x > left->c->x)) {
                left = &q;
            }
        }
        if (left != nullptr && Stretches(left->c->kind) && !atRightEdge(*left)) {
            left->grow += extra;
        }
    }
    return width + more;
}

// The smallest font the controls get on a screen too small for them.
constexpr double kSmallestPoints = 6.0;

} // namespace

double BuildDialog(wxDialog* dlg, const DialogTemplate& t, const HostFactory& hosts) {
    dlg->SetTitle(TemplateText(t.caption));
    std::vector<std::pair<const ControlTemplate*, wxWindow*>> made;
    // Group boxes first: on GTK a box created after its neighbours covers
    // them. They take no focus, so the tab order stays the template's.
    for (const auto& c : t.controls) {
        if (c.kind == Kind::GroupBox) {
            made.emplace_back(&c, CreateOne(dlg, c, t, hosts));
        }
    }
    for (const auto& c : t.controls) {
        if (c.kind != Kind::GroupBox) {
            made.emplace_back(&c, CreateOne(dlg, c, t, hosts));
        }
    }
    NameForScreenReader(dlg, t, made);

    const double fit = ScaleToFit(dlg, t);
    // Where the screen cannot hold the texts at the dialog's font (a small
    // screen at GDK_SCALE=2), the controls' font shrinks until their texts
    // fit the place the screen leaves them: "64 ..." and a cut "Select
    // output file..." say less than a smaller font. Placement stays in the
    // dialog's own units. Padding does not shrink with the font: a few
    // rounds.
    double textScale = NeededScale(dlg, made, true);
    const bool shrunk = textScale > fit;
    if (shrunk) {
        wxFont font = dlg->GetFont();
        for (int round = 0; round < 6 && textScale > fit; ++round) {
            const double points = font.GetFractionalPointSize();
            const double next = std::max(kSmallestPoints, points * fit / textScale * 0.98);
            if (next >= points) {
                break;
            }
            font.SetFractionalPointSize(next);
            for (const auto& [c, w] : made) {
                if (w != nullptr && c->kind != Kind::Browser) {
                    SetFontWithin(w, font);
                }
            }
            textScale = NeededScale(dlg, made, true);
        }
    }
    double scale = NeededScale(dlg, made);
    scale = std::min(scale, fit);
    // A program reads the figure: not in the locale's way of writing numbers.
    std::ostringstream figure; // (wxString::FromCDouble writes 1,31 under a German locale)
    figure.imbue(std::locale::classic());
    figure << std::fixed << std::setprecision(2) << scale;
    NoteShownText("scale", TemplateText(t.caption) + "\t" + figure.str());

    std::vector<Placed> placed;
    for (const auto& [c, w] : made) {
        if (w == nullptr) {
            continue;
        }
        const int needShown = WidthNeeded(w, c->kind, shrunk);
        int need = needShown;
        // English keeps the template's places, as it always had them.
        const auto it = t.otherTexts.find(c->id);
        if (it != t.otherTexts.end() && platform::TranslationLanguage() != "en") {
            const int shown = w->GetTextExtent(w->GetLabel()).x;
            for (const char* other : it->second) {
                need = std::max(need, needShown - shown + w->GetTextExtent(TemplateText(other)).x);
            }
        }
        placed.push_back({c, w, ToPixels(dlg, *c, scale), need});
    }
    const PixelRect whole =
        ToPixels(dlg, {0, Kind::Static, "", 0, 0, t.width, t.height, false}, scale);
    int width = MakeRoom(placed, whole.w, t.width);
    // Wider than the screen allows: the template's places, as when the
    // font had to shrink (every control there, a text may be cut).
    if (width > whole.w &&
        width > ToPixels(dlg, {0, Kind::Static, "", 0, 0, t.width, t.height, false}, fit).w) {
        width = whole.w;
        for (Placed& p : placed) {
            p.shift = p.grow = 0;
        }
    }
    for (const Placed& p : placed) {
        const int h = IsCombo(p.c->kind) ? p.w->GetBestSize().y : p.r.h;
        p.w->SetSize(p.r.x + p.shift, p.r.y, p.r.w + p.grow, h);
    }
    dlg->SetClientSize(width, whole.h);
    const wxSize outer = dlg->GetSize();
    dlg->SetMinSize(outer);
    dlg->SetMaxSize(outer);
    return scale;
}

} // namespace ui
