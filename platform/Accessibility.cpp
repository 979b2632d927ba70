#include "platform/Accessibility.h"

#include "platform/DynamicLibrary.h"

#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/window.h>

#include <glib-object.h>

#include <map>
#include <memory>
#include <string>

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

// A subtype of the accessible's own type that adds ATK's Value interface,
// made once for each type it is asked for.
GType ValueSubtype(GType parent) {
    static std::map<GType, GType> made;
    if (auto it = made.find(parent); it != made.end()) {
        return it->second;
    }
    GTypeQuery q{};
    g_type_query(parent, &q);
    GType sub = 0;
    if (q.type != 0) {
        GTypeInfo info{};
        info.class_size = static_cast<guint16>(q.class_size);
        info.instance_size = static_cast<guint16>(q.instance_size);
        const std::string name = std::string("VestrelValued") + g_type_name(parent);
        sub = g_type_register_static(parent, name.c_str(), &info, GTypeFlags(0));
        const GInterfaceInfo iface{&InitValueIface, nullptr, nullptr};
        g_type_add_interface_static(sub, Calls().valueType(), &iface);
    }
    made[parent] = sub;
    return sub;
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
    if (!IsA(acc, atk.valueType)) {
        // The widget's accessible is made by its class and can't be
        // replaced; before any screen reader has seen it, it becomes an
        // instance of a subtype that adds the Value interface (same size,
        // same data).
        const GType sub = ValueSubtype(G_TYPE_FROM_INSTANCE(acc));
        if (sub == 0) {
            return;
        }
        reinterpret_cast<GTypeInstance*>(acc)->g_class =
            static_cast<GTypeClass*>(g_type_class_ref(sub));
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
