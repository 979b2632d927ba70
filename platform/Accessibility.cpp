#include "platform/Accessibility.h"

#include "platform/DynamicLibrary.h"

#include <wx/control.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/window.h>

#include <glib-object.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

namespace {

// GTK's and ATK's calls (the program links them through wxWidgets).
struct AtkCalls {
    void* (*getAccessible)(void*) = nullptr;
    void (*setName)(void*, const char*) = nullptr;
    void (*setDescription)(void*, const char*) = nullptr;
    void (*setRole)(void*, int) = nullptr;
    int (*roleForName)(const char*) = nullptr;
    void (*setMnemonicWidget)(void*, void*) = nullptr;
    void* (*mnemonicWidget)(void*) = nullptr;
    void* (*frameLabelWidget)(void*) = nullptr;
    GType (*labelType)() = nullptr;
    GType (*frameType)() = nullptr;
    GType (*scrolledType)() = nullptr;
    void* (*binChild)(void*) = nullptr;
    int (*canFocus)(void*) = nullptr;
    GType (*valueType)() = nullptr;
    void* (*rangeNew)(double, double, const char*) = nullptr;
    GType (*textType)() = nullptr;
    const char* (*labelText)(void*) = nullptr;
    void* (*accessibleWidget)(void*) = nullptr;
    void (*logAttrs)(const char*, int, int, void*, void*, int) = nullptr;
    void* (*defaultLanguage)() = nullptr;

    template <typename F> static void Find(F& f, const char* name) { f = LinkedSymbol<F>(name); }
    AtkCalls() {
        Find(getAccessible, "gtk_widget_get_accessible");
        Find(setName, "atk_object_set_name");
        Find(setDescription, "atk_object_set_description");
        Find(setRole, "atk_object_set_role");
        Find(roleForName, "atk_role_for_name");
        Find(setMnemonicWidget, "gtk_label_set_mnemonic_widget");
        Find(mnemonicWidget, "gtk_label_get_mnemonic_widget");
        Find(frameLabelWidget, "gtk_frame_get_label_widget");
        Find(labelType, "gtk_label_get_type");
        Find(frameType, "gtk_frame_get_type");
        Find(scrolledType, "gtk_scrolled_window_get_type");
        Find(binChild, "gtk_bin_get_child");
        Find(canFocus, "gtk_widget_get_can_focus");
        Find(valueType, "atk_value_get_type");
        Find(rangeNew, "atk_range_new");
        Find(textType, "atk_text_get_type");
        Find(labelText, "gtk_label_get_text");
        Find(accessibleWidget, "gtk_accessible_get_widget");
        Find(logAttrs, "pango_get_log_attrs");
        Find(defaultLanguage, "pango_language_get_default");
    }
};

const AtkCalls& Calls() {
    static const AtkCalls calls;
    return calls;
}

bool IsA(void* instance, GType (*type)()) {
    return instance != nullptr && type != nullptr &&
           G_TYPE_CHECK_INSTANCE_TYPE(instance, type()) != FALSE;
}

void* AccessibleOf(wxWindow* window) {
    const AtkCalls& atk = Calls();
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    return widget != nullptr && atk.getAccessible != nullptr ? atk.getAccessible(widget) : nullptr;
}

// What takes the focus inside `window`, if not the window itself: a
// multi-line text box is a scrolled window around the text view.
void* FocusedPartOf(wxWindow* window) {
    const AtkCalls& atk = Calls();
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    void* inner =
        IsA(widget, atk.scrolledType) && atk.binChild != nullptr ? atk.binChild(widget) : nullptr;
    const bool focusable = inner != nullptr && atk.canFocus != nullptr && atk.canFocus(inner) != 0;
    return focusable && atk.getAccessible != nullptr ? atk.getAccessible(inner) : nullptr;
}

// ATK's AtkValueIface, as atk/atkvalue.h lays it out.
struct ValueIface {
    GTypeInterface parent;
    void (*getCurrentValue)(void*, GValue*);
    void (*getMaximumValue)(void*, GValue*);
    void (*getMinimumValue)(void*, GValue*);
    gboolean (*setCurrentValue)(void*, const GValue*);
    void (*getMinimumIncrement)(void*, GValue*);
    void (*getValueAndText)(void*, gdouble*, gchar**);
    void* (*getRange)(void*);
    gdouble (*getIncrement)(void*);
    GSList* (*getSubRanges)(void*);
    void (*setValue)(void*, gdouble);
};

struct ShownValue {
    double value = 0, min = 0, max = 0;
    std::string text;
};

constexpr const char* kValueKey = "vestrel-shown-value";

ShownValue ValueOf(void* object) {
    const auto* v = static_cast<const ShownValue*>(g_object_get_data(G_OBJECT(object), kValueKey));
    return v != nullptr ? *v : ShownValue{};
}

void PutDouble(GValue* out, double v) {
    g_value_init(out, G_TYPE_DOUBLE);
    g_value_set_double(out, v);
}

void InitValueIface(gpointer iface, gpointer /*data*/) {
    auto* i = static_cast<ValueIface*>(iface);
    i->getCurrentValue = [](void* o, GValue* out) { PutDouble(out, ValueOf(o).value); };
    i->getMaximumValue = [](void* o, GValue* out) { PutDouble(out, ValueOf(o).max); };
    i->getMinimumValue = [](void* o, GValue* out) { PutDouble(out, ValueOf(o).min); };
    i->getMinimumIncrement = [](void* /*o*/, GValue* out) { PutDouble(out, 0.1); };
    i->getValueAndText = [](void* o, gdouble* value, gchar** text) {
        const ShownValue v = ValueOf(o);
        *value = v.value;
        if (text != nullptr) {
            *text = g_strdup(v.text.c_str());
        }
    };
    i->getRange = [](void* o) -> void* {
        const ShownValue v = ValueOf(o);
        const auto rangeNew = Calls().rangeNew;
        return rangeNew != nullptr ? rangeNew(v.min, v.max, nullptr) : nullptr;
    };
    i->getIncrement = [](void* /*o*/) -> gdouble { return 0.1; };
}

// A subtype of the accessible's own type that adds (or implements anew) the
// interface `iface`, made once for each type and interface it is asked for.
GType Subtype(GType parent, const char* prefix, GType iface, GInterfaceInitFunc init) {
    static std::map<std::pair<GType, GType>, GType> made;
    if (auto it = made.find({parent, iface}); it != made.end()) {
        return it->second;
    }
    GTypeQuery q{};
    g_type_query(parent, &q);
    GType sub = 0;
    if (q.type != 0) {
        GTypeInfo info{};
        info.class_size = static_cast<guint16>(q.class_size);
        info.instance_size = static_cast<guint16>(q.instance_size);
        const std::string name = prefix + std::string(g_type_name(parent));
        sub = g_type_register_static(parent, name.c_str(), &info, GTypeFlags(0));
        const GInterfaceInfo info2{init, nullptr, nullptr};
        g_type_add_interface_static(sub, iface, &info2);
    }
    made[{parent, iface}] = sub;
    return sub;
}

// The widget's accessible is made by its class and can't be replaced: it
// becomes an instance of a subtype (same size, same data) that adds the
// interface. False where that subtype can't be made.
bool BecomeSubtype(void* acc, const char* prefix, GType iface, GInterfaceInitFunc init) {
    const GType sub = Subtype(G_TYPE_FROM_INSTANCE(acc), prefix, iface, init);
    if (sub == 0) {
        return false;
    }
    reinterpret_cast<GTypeInstance*>(acc)->g_class =
        static_cast<GTypeClass*>(g_type_class_ref(sub));
    return true;
}

// ATK's AtkTextIface, as atk/atktext.h lays it out (the parts used here;
// the rest is the parent's).
struct TextIface {
    GTypeInterface parent;
    gchar* (*getText)(void*, gint, gint);
    gchar* (*getTextAfterOffset)(void*, gint, int, gint*, gint*);
    gchar* (*getTextAtOffset)(void*, gint, int, gint*, gint*);
    gunichar (*getCharacterAtOffset)(void*, gint);
    gchar* (*getTextBeforeOffset)(void*, gint, int, gint*, gint*);
    gint (*getCaretOffset)(void*);
    GSList* (*getRunAttributes)(void*, gint, gint*, gint*);
    GSList* (*getDefaultAttributes)(void*);
    void (*getCharacterExtents)(void*, gint, gint*, gint*, gint*, gint*, int);
    gint (*getCharacterCount)(void*);
    gint (*getOffsetAtPoint)(void*, gint, gint, int);
    gint (*getNSelections)(void*);
    gchar* (*getSelection)(void*, gint, gint*, gint*);
    gboolean (*addSelection)(void*, gint, gint);
    gboolean (*removeSelection)(void*, gint);
    gboolean (*setSelection)(void*, gint, gint, gint);
    gboolean (*setCaretOffset)(void*, gint);
    void (*textChanged)(void*, gint, gint);
    void (*textCaretMoved)(void*, gint);
    void (*textSelectionChanged)(void*);
    void (*textAttributesChanged)(void*);
    void (*getRangeExtents)(void*, gint, gint, int, void*);
    void* (*getBoundedRanges)(void*, void*, int, int, int);
    gchar* (*getStringAtOffset)(void*, gint, int, gint*, gint*);
};

// What a label says to a screen reader, and what it shows.
struct WholeText {
    std::string text;  // the whole sentence, UTF-8
    std::string shown; // the label's own text, line breaks as spaces
    // While the label changes, GTK tells of the change by the label's own
    // lengths: the text it tells of is the whole sentence before, then after.
    bool changing = false;
    std::string before, labelBefore;
};

constexpr const char* kWholeKey = "vestrel-whole-text";

WholeText* WholeOf(void* object) {
    return static_cast<WholeText*>(g_object_get_data(G_OBJECT(object), kWholeKey));
}

std::string LabelTextOf(void* object) {
    const AtkCalls& atk = Calls();
    void* widget = atk.accessibleWidget != nullptr ? atk.accessibleWidget(object) : nullptr;
    const char* t = widget != nullptr && atk.labelText != nullptr ? atk.labelText(widget) : nullptr;
    return t != nullptr ? t : "";
}

int Length(const std::string& s) {
    return static_cast<int>(g_utf8_strlen(s.c_str(), -1));
}

gchar* Substring(const std::string& s, int start, int end) {
    const int n = Length(s);
    start = std::clamp(start, 0, n);
    end = end < 0 ? n : std::clamp(end, start, n);
    return g_utf8_substring(s.c_str(), start, end);
}

// Where the shown text and the whole one differ: the same `head` characters
// lead both and the same `tail` end both; between them the shown text has
// its ellipsis. An offset in the one is its place in the other.
struct Correspondence {
    int head = 0, tail = 0, shownLength = 0, wholeLength = 0;
    explicit Correspondence(const WholeText& w) {
        std::vector<gunichar> a, b;
        for (const char* p = w.shown.c_str(); *p != 0; p = g_utf8_next_char(p)) {
            a.push_back(g_utf8_get_char(p));
        }
        for (const char* p = w.text.c_str(); *p != 0; p = g_utf8_next_char(p)) {
            b.push_back(g_utf8_get_char(p));
        }
        shownLength = static_cast<int>(a.size());
        wholeLength = static_cast<int>(b.size());
        const int most = std::min(shownLength, wholeLength);
        while (head < most && a[head] == b[head]) {
            ++head;
        }
        while (tail < most - head && a[shownLength - 1 - tail] == b[wholeLength - 1 - tail]) {
            ++tail;
        }
    }
    int ToShown(int offset) const {
        return offset < head                  ? offset
               : offset >= wholeLength - tail ? offset - wholeLength + shownLength
                                              : head;
    }
    int ToWhole(int offset) const {
        return offset < head                  ? offset
               : offset >= shownLength - tail ? offset - shownLength + wholeLength
                                              : head;
    }
};

// ATK's text boundaries and granularities.
enum Boundary { kChar, kWordStart, kWordEnd, kSentenceStart, kSentenceEnd, kLine };

// The offsets in `text` where pieces of kind `kind` begin (or end), its
// start and end among them.
std::vector<int> Boundaries(const std::string& text, int kind) {
    const int n = Length(text);
    std::vector<int> at{0};
    const AtkCalls& atk = Calls();
    if (kind != kLine && kind != kLine + 1 && atk.logAttrs != nullptr &&
        atk.defaultLanguage != nullptr) {
        // PangoLogAttr is a run of one-bit fields, in this order from the
        // lowest: line break, mandatory break, char break, white, cursor
        // position, word start, word end, sentence boundary, sentence
        // start, sentence end.
        std::vector<guint> attrs(static_cast<size_t>(n) + 1);
        atk.logAttrs(text.c_str(), static_cast<int>(text.size()), -1, atk.defaultLanguage(),
                     attrs.data(), n + 1);
        const int bit = kind == kWordStart       ? 5
                        : kind == kWordEnd       ? 6
                        : kind == kSentenceStart ? 8
                        : kind == kSentenceEnd   ? 9
                                                 : -1;
        for (int i = 1; i < n; ++i) {
            if (bit < 0 || (attrs[static_cast<size_t>(i)] >> bit & 1U) != 0) {
                at.push_back(i);
            }
        }
    }
    if (n > 0) {
        at.push_back(n);
    }
    return at;
}

// The piece of kind `kind` at `offset`: the boundary at or before it and
// the next one.
std::pair<int, int> PieceAt(const std::vector<int>& at, int offset) {
    const int n = at.back();
    if (n == 0) {
        return {0, 0};
    }
    offset = std::clamp(offset, 0, n - 1);
    const auto next = std::upper_bound(at.begin(), at.end(), offset);
    return {*(next - 1), *next};
}

gchar* Piece(void* o, gint offset, int kind, int step, gint* start, gint* end) {
    const WholeText* w = WholeOf(o);
    const std::string text = w != nullptr ? w->text : std::string();
    const std::vector<int> at = Boundaries(text, kind);
    std::pair<int, int> piece = PieceAt(at, offset);
    if (step < 0) {
        piece = piece.first > 0 ? PieceAt(at, piece.first - 1) : std::pair<int, int>{0, 0};
    } else if (step > 0) {
        piece = piece.second < at.back() ? PieceAt(at, piece.second)
                                         : std::pair<int, int>{at.back(), at.back()};
    }
    *start = piece.first;
    *end = piece.second;
    return Substring(text, piece.first, piece.second);
}

const TextIface* ParentText(void* o) {
    const auto* mine = static_cast<const TextIface*>(
        g_type_interface_peek(G_OBJECT_GET_CLASS(o), Calls().textType()));
    return static_cast<const TextIface*>(
        g_type_interface_peek_parent(const_cast<TextIface*>(mine)));
}

void InitTextIface(gpointer iface, gpointer /*data*/) {
    auto* i = static_cast<TextIface*>(iface);
    i->getText = [](void* o, gint start, gint end) -> gchar* {
        const WholeText* w = WholeOf(o);
        if (w == nullptr) {
            return g_strdup("");
        }
        if (w->changing) {
            return g_strdup(LabelTextOf(o) == w->labelBefore ? w->before.c_str() : w->text.c_str());
        }
        return Substring(w->text, start, end);
    };
    i->getCharacterCount = [](void* o) -> gint {
        const WholeText* w = WholeOf(o);
        return w != nullptr ? Length(w->text) : 0;
    };
    i->getCharacterAtOffset = [](void* o, gint offset) -> gunichar {
        const WholeText* w = WholeOf(o);
        if (w == nullptr || offset < 0 || offset >= Length(w->text)) {
            return 0;
        }
        return g_utf8_get_char(g_utf8_offset_to_pointer(w->text.c_str(), offset));
    };
    i->getTextAtOffset = [](void* o, gint offset, int boundary, gint* s, gint* e) {
        return Piece(o, offset, boundary, 0, s, e);
    };
    i->getTextBeforeOffset = [](void* o, gint offset, int boundary, gint* s, gint* e) {
        return Piece(o, offset, boundary, -1, s, e);
    };
    i->getTextAfterOffset = [](void* o, gint offset, int boundary, gint* s, gint* e) {
        return Piece(o, offset, boundary, 1, s, e);
    };
    i->getStringAtOffset = [](void* o, gint offset, int granularity, gint* s, gint* e) {
        // Character, word, sentence, line, paragraph; the text is one line.
        const int kind = granularity == 0   ? kChar
                         : granularity == 1 ? kWordStart
                         : granularity == 2 ? kSentenceStart
                                            : kLine;
        return Piece(o, offset, kind, 0, s, e);
    };
    i->getRunAttributes = [](void* o, gint offset, gint* start, gint* end) -> GSList* {
        // One look throughout.
        const WholeText* w = WholeOf(o);
        const TextIface* p = ParentText(o);
        const Correspondence c(w != nullptr ? *w : WholeText{});
        GSList* attrs = p != nullptr && p->getRunAttributes != nullptr
                            ? p->getRunAttributes(o, c.ToShown(offset), start, end)
                            : nullptr;
        *start = 0;
        *end = c.wholeLength;
        return attrs;
    };
    // Where a character is on screen: where the label shows it, or its
    // ellipsis.
    i->getCharacterExtents = [](void* o, gint offset, gint* x, gint* y, gint* w, gint* h,
                                int coords) {
        const WholeText* whole = WholeOf(o);
        const TextIface* p = ParentText(o);
        if (whole == nullptr || p == nullptr || p->getCharacterExtents == nullptr) {
            *x = *y = *w = *h = -1;
            return;
        }
        p->getCharacterExtents(o, Correspondence(*whole).ToShown(offset), x, y, w, h, coords);
    };
    i->getOffsetAtPoint = [](void* o, gint x, gint y, int coords) -> gint {
        const WholeText* w = WholeOf(o);
        const TextIface* p = ParentText(o);
        if (w == nullptr || p == nullptr || p->getOffsetAtPoint == nullptr) {
            return -1;
        }
        const gint at = p->getOffsetAtPoint(o, x, y, coords);
        return at < 0 ? at : Correspondence(*w).ToWhole(at);
    };
    // The text is read, not selected.
    i->getCaretOffset = [](void*) -> gint { return 0; };
    i->setCaretOffset = [](void*, gint) -> gboolean { return FALSE; };
    i->getNSelections = [](void*) -> gint { return 0; };
    i->getSelection = [](void*, gint, gint* s, gint* e) -> gchar* {
        *s = *e = 0;
        return nullptr;
    };
    i->addSelection = [](void*, gint, gint) -> gboolean { return FALSE; };
    i->removeSelection = [](void*, gint) -> gboolean { return FALSE; };
    i->setSelection = [](void*, gint, gint, gint) -> gboolean { return FALSE; };
    i->getRangeExtents = nullptr;  // ATK's own, from the characters'
    i->getBoundedRanges = nullptr; // nothing else is asked of it
}

// GTK derives both relations, label-for and labelled-by, from a label's
// mnemonic widget, and wxGTK sets that to the next widget created, later
// than the dialog is built: the label keeps the one it was given.
struct LabelTie {
    GWeakRef control;
    bool labelsNothing = false;
};
constexpr const char* kTieKey = "vestrel-label-tie";

void KeepTie(GObject* label, GParamSpec* /*changed*/, gpointer data) {
    const AtkCalls& atk = Calls();
    auto* tie = static_cast<LabelTie*>(data);
    GObject* want = static_cast<GObject*>(g_weak_ref_get(&tie->control));
    if ((want != nullptr || tie->labelsNothing) && atk.mnemonicWidget(label) != want) {
        atk.setMnemonicWidget(label, want);
    }
    if (want != nullptr) {
        g_object_unref(want);
    }
}

} // namespace

void SetAccessibleName(wxWindow* window, const wxString& name, const wxString& description) {
    const AtkCalls& atk = Calls();
    void* acc = AccessibleOf(window);
    if (acc == nullptr || atk.setName == nullptr) {
        return;
    }
    for (void* named : {acc, FocusedPartOf(window)}) {
        if (named == nullptr) {
            continue;
        }
        atk.setName(named, name.utf8_str());
        if (!description.empty() && atk.setDescription != nullptr) {
            atk.setDescription(named, description.utf8_str());
        }
    }
}

void SetAccessibleRole(wxWindow* window, AccessibleRole role) {
    const AtkCalls& atk = Calls();
    void* acc = AccessibleOf(window);
    if (acc == nullptr || atk.setRole == nullptr || atk.roleForName == nullptr) {
        return;
    }
    const char* name = "";
    switch (role) {
    case AccessibleRole::Alert:
        name = "alert";
        break;
    case AccessibleRole::Dialog:
        name = "dialog";
        break;
    case AccessibleRole::StatusBar:
        name = "statusbar";
        break;
    case AccessibleRole::LevelBar:
        name = "level bar";
        break;
    }
    const int r = atk.roleForName(name);
    if (r > 0) { // ATK_ROLE_INVALID is 0
        atk.setRole(acc, r);
    }
}

void SetLabelFor(wxWindow* label, wxWindow* control) {
    const AtkCalls& atk = Calls();
    if (label == nullptr || atk.setMnemonicWidget == nullptr || atk.mnemonicWidget == nullptr) {
        return;
    }
    void* widget = label->GetHandle();
    if (IsA(widget, atk.frameType) && atk.frameLabelWidget != nullptr) {
        widget = atk.frameLabelWidget(widget);
    }
    if (!IsA(widget, atk.labelType)) {
        return;
    }
    auto* tie = static_cast<LabelTie*>(g_object_get_data(G_OBJECT(widget), kTieKey));
    if (tie == nullptr) {
        tie = std::make_unique<LabelTie>().release(); // the label's to free
        g_weak_ref_init(&tie->control, nullptr);
        g_object_set_data_full(G_OBJECT(widget), kTieKey, tie, [](gpointer p) {
            const std::unique_ptr<LabelTie> t(static_cast<LabelTie*>(p));
            g_weak_ref_clear(&t->control);
        });
        g_signal_connect(widget, "notify::mnemonic-widget", G_CALLBACK(&KeepTie), tie);
    }
    g_weak_ref_set(&tie->control, control != nullptr ? control->GetHandle() : nullptr);
    tie->labelsNothing = control == nullptr;
    KeepTie(G_OBJECT(widget), nullptr, tie);
}

void ExposeValue(wxWindow* window, double min, double max) {
    const AtkCalls& atk = Calls();
    void* acc = AccessibleOf(window);
    if (acc == nullptr || atk.valueType == nullptr) {
        return;
    }
    // Made before any screen reader has seen it.
    if (!IsA(acc, atk.valueType) &&
        !BecomeSubtype(acc, "VestrelValued", atk.valueType(), &InitValueIface)) {
        return;
    }
    // The accessible's to free: it may outlive the window.
    g_object_set_data_full(
        G_OBJECT(acc), kValueKey,
        std::make_unique<ShownValue>(ShownValue{min, min, max, {}}).release(),
        [](gpointer p) { std::unique_ptr<ShownValue>(static_cast<ShownValue*>(p)); });
    SetAccessibleRole(window, AccessibleRole::LevelBar);
}

void SetAccessibleValue(wxWindow* window, double value, const wxString& text) {
    void* acc = AccessibleOf(window);
    auto* v = acc != nullptr ? static_cast<ShownValue*>(g_object_get_data(G_OBJECT(acc), kValueKey))
                             : nullptr;
    if (v == nullptr) {
        return;
    }
    v->value = value;
    v->text = text.utf8_string();
    g_object_notify(G_OBJECT(acc), "accessible-value");
}

void SetShownText(wxWindow* label, const wxString& shown, const wxString& whole) {
    const AtkCalls& atk = Calls();
    auto* control = dynamic_cast<wxControl*>(label);
    if (control == nullptr) {
        return;
    }
    SetAccessibleName(label, whole);
    void* acc = AccessibleOf(label);
    WholeText* w = acc != nullptr ? WholeOf(acc) : nullptr;
    if (w == nullptr && acc != nullptr && atk.textType != nullptr && IsA(acc, atk.textType) &&
        atk.labelText != nullptr && atk.accessibleWidget != nullptr &&
        BecomeSubtype(acc, "VestrelWhole", atk.textType(), &InitTextIface)) {
        w = std::make_unique<WholeText>().release(); // the accessible's to free
        g_object_set_data_full(G_OBJECT(acc), kWholeKey, w, [](gpointer p) {
            std::unique_ptr<WholeText>(static_cast<WholeText*>(p));
        });
    }
    if (w != nullptr) {
        w->before = std::exchange(w->text, std::string(whole.utf8_str()));
        w->labelBefore = LabelTextOf(acc);
        w->changing = true;
    }
    control->SetLabelText(shown); // a text with & in it shown as it is
    if (w != nullptr) {
        w->changing = false;
        w->shown = LabelTextOf(acc);
        std::replace(w->shown.begin(), w->shown.end(), '\n', ' ');
    }
}

void Announce(wxWindow* window, const wxString& text) {
    void* acc = AccessibleOf(window);
    // ATK's announcement signal is there from ATK 2.46 on.
    if (acc != nullptr && g_signal_lookup("announcement", G_TYPE_FROM_INSTANCE(acc)) != 0) {
        g_signal_emit_by_name(acc, "announcement", static_cast<const char*>(text.utf8_str()));
    }
}

void PresentAsAlert(wxWindow* box, const wxString& name) {
    if (box == nullptr) {
        return;
    }
    for (wxWindow* child : box->GetChildren()) {
        if (dynamic_cast<wxStaticText*>(child) != nullptr ||
            dynamic_cast<wxStaticBox*>(child) != nullptr) {
            SetLabelFor(child, nullptr);
        }
    }
    SetAccessibleRole(box, AccessibleRole::Alert);
    SetAccessibleName(box, name);
}

namespace {

// The start of ATK's AtkObjectClass: its first method is get_name.
struct AtkObjectClassHead {
    GObjectClass parent;
    const char* (*getName)(void*);
};

std::string& ApplicationName() {
    static std::string name;
    return name;
}

const char* RootName(void*) {
    return ApplicationName().c_str();
}

} // namespace

bool SetApplicationName(const char* name) {
    using GetRoot = void* (*)();
    using GetName = const char* (*)(void*);
    const auto getRoot = LinkedSymbol<GetRoot>("atk_get_root");
    const auto getName = LinkedSymbol<GetName>("atk_object_get_name");
    const AtkCalls& atk = Calls();
    void* root = getRoot != nullptr ? getRoot() : nullptr;
    if (root == nullptr || getName == nullptr || atk.setName == nullptr) {
        return false;
    }
    ApplicationName() = name;
    atk.setName(root, name);
    const char* now = getName(root);
    if (now == nullptr || ApplicationName() != now) {
        // GTK's root answers with the program name (the application id,
        // which the Wayland windows need) whatever name it was given: its
        // answer is replaced, for this one object's class.
        auto* klass = static_cast<AtkObjectClassHead*>(
            G_TYPE_INSTANCE_GET_CLASS(root, G_TYPE_OBJECT, AtkObjectClassHead));
        klass->getName = &RootName;
        now = getName(root);
    }
    return now != nullptr && ApplicationName() == now;
}

} // namespace platform
