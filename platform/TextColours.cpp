#include "platform/TextColours.h"

#include "platform/DynamicLibrary.h"

#include <wx/colour.h>
#include <wx/dialog.h>
#include <wx/window.h>

#include <glib-object.h>

#include <cctype>
#include <cstdlib>
#include <string>

namespace platform {

namespace {

// GTK's style calls.
struct GtkStyleCalls {
    void* (*cssProviderNew)() = nullptr;
    int (*loadFromData)(void*, const char*, long, void**) = nullptr;
    void* (*getStyleContext)(void*) = nullptr;
    void (*addProvider)(void*, void*, unsigned) = nullptr;
    void (*forall)(void*, void (*)(void*, void*), void*) = nullptr;
    unsigned long (*containerType)() = nullptr;
    int (*isA)(void*, unsigned long) = nullptr;
    void (*unref)(void*) = nullptr;

    template <typename F> static void Find(F& f, const char* name) { f = LinkedSymbol<F>(name); }
    GtkStyleCalls() {
        Find(cssProviderNew, "gtk_css_provider_new");
        Find(loadFromData, "gtk_css_provider_load_from_data");
        Find(getStyleContext, "gtk_widget_get_style_context");
        Find(addProvider, "gtk_style_context_add_provider");
        Find(forall, "gtk_container_forall");
        Find(containerType, "gtk_container_get_type");
        Find(isA, "g_type_check_instance_is_a");
        Find(unref, "g_object_unref");
    }
    bool Complete() const {
        return cssProviderNew && loadFromData && getStyleContext && addProvider && forall &&
               containerType && isA && unref;
    }
};

const GtkStyleCalls& Calls() {
    static const GtkStyleCalls calls;
    return calls;
}

// Above the priority wxWidgets gives its own colours
// (GTK_STYLE_PROVIDER_PRIORITY_APPLICATION).
constexpr unsigned kPriority = 600 + 1;

struct Walk {
    const GtkStyleCalls* gtk;
    void* provider;
};

void AddTo(void* widget, void* data) {
    const auto* walk = static_cast<const Walk*>(data);
    walk->gtk->addProvider(walk->gtk->getStyleContext(widget), walk->provider, kPriority);
    if (walk->gtk->isA(widget, walk->gtk->containerType()) != 0) {
        walk->gtk->forall(widget, &AddTo, data);
    }
}

std::string Css(const wxColour& c) {
    return c.GetAsString(wxC2S_HTML_SYNTAX).utf8_string();
}

} // namespace

bool SetStateTextColours(wxWindow* window, const wxColour& text, const wxColour& disabled) {
    const GtkStyleCalls& gtk = Calls();
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (!gtk.Complete() || widget == nullptr) {
        return false;
    }
    const std::string ring = Css(wxColour(kFocusRingRed, kFocusRingGreen, kFocusRingBlue));
    // The theme's ring (1 pixel, dotted, light grey) is hard to see; an
    // entry draws none at all, only its border.
    const std::string css = "* { color: " + Css(text) + "; outline-color: " + ring +
                            "; outline-style: solid; outline-width: 2px; outline-offset: -3px; }"
                            " *:disabled { color: " +
                            Css(disabled) + "; } entry:focus { border-color: " + ring +
                            "; box-shadow: inset 0 0 0 1px " + ring + "; }";
    void* provider = gtk.cssProviderNew();
    if (provider == nullptr) {
        return false;
    }
    const bool loaded = gtk.loadFromData(provider, css.c_str(), -1, nullptr) != 0;
    if (loaded) {
        Walk walk{&gtk, provider};
        AddTo(widget, &walk);
    }
    gtk.unref(provider); // the style contexts hold their own references
    return loaded;
}

namespace {

bool EndsWithDark(const std::string& name) {
    static const std::string dark = "-dark";
    if (name.size() < dark.size()) {
        return false;
    }
    std::string tail = name.substr(name.size() - dark.size());
    for (char& c : tail) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return tail == dark;
}

} // namespace

wxSize SmallestWholeSize(wxWindow* window) {
    struct Requisition {
        int width, height;
    };
    using GetPreferred = void (*)(void*, Requisition*, Requisition*);
    using SizeRequest = void (*)(void*, int*, int*);
    using SetSizeRequest = void (*)(void*, int, int);
    static const auto getPreferred = LinkedSymbol<GetPreferred>("gtk_widget_get_preferred_size");
    static const auto getRequest = LinkedSymbol<SizeRequest>("gtk_widget_get_size_request");
    static const auto setRequest = LinkedSymbol<SetSizeRequest>("gtk_widget_set_size_request");
    void* widget = window != nullptr ? static_cast<void*>(window->GetHandle()) : nullptr;
    if (getPreferred == nullptr || getRequest == nullptr || setRequest == nullptr ||
        widget == nullptr) {
        return wxDefaultSize;
    }
    // wxWidgets asks for the size it gave, which would be the minimum.
    int w = -1, h = -1;
    getRequest(widget, &w, &h);
    setRequest(widget, -1, -1);
    Requisition minimum{-1, -1};
    getPreferred(widget, &minimum, nullptr);
    setRequest(widget, w, h);
    return {minimum.width, minimum.height};
}

namespace {

struct IconFor {
    wxDialog* box;
    const char* iconName;
    bool added = false;
};

// When the box is shown, before it is first drawn, so that it gets its
// size with the icon. (wxWidgets makes the GTK box inside ShowModal.)
gboolean AddIcon(GSignalInvocationHint*, guint count, const GValue* params, gpointer data) {
    using ImageNew = void* (*)(const char*, int);
    using SetImage = void (*)(void*, void*);
    using ShowWidget = void (*)(void*);
    static const auto imageNew = LinkedSymbol<ImageNew>("gtk_image_new_from_icon_name");
    static const auto setImage = LinkedSymbol<SetImage>("gtk_message_dialog_set_image");
    static const auto showWidget = LinkedSymbol<ShowWidget>("gtk_widget_show");
    auto* want = static_cast<IconFor*>(data);
    if (count == 0 || g_value_peek_pointer(&params[0]) != want->box->GetHandle()) {
        return TRUE; // another widget: keep watching
    }
    if (imageNew != nullptr && setImage != nullptr && showWidget != nullptr) {
        void* image = imageNew(want->iconName, 6); // GTK_ICON_SIZE_DIALOG
        showWidget(image);
        setImage(want->box->GetHandle(), image);
    }
    want->added = true;
    return FALSE; // done: GTK removes the hook
}

} // namespace

int ShowModalWithIcon(wxDialog& box, const char* iconName) {
    using WidgetType = GType (*)();
    static const auto widgetType = LinkedSymbol<WidgetType>("gtk_widget_get_type");
    const guint show = widgetType != nullptr ? g_signal_lookup("show", widgetType()) : 0;
    IconFor want{&box, iconName};
    gulong hook = 0;
    if (show != 0 && iconName != nullptr) {
        hook = g_signal_add_emission_hook(show, 0, &AddIcon, &want, nullptr);
    }
    const int answer = box.ShowModal();
    if (hook != 0 && !want.added) {
        g_signal_remove_emission_hook(show, hook);
    }
    return answer;
}

bool KeepLightTheme() {
    using GetNamed = void* (*)(const char*, const char*);
    using SettingsDefault = void* (*)();
    using ScreenDefault = void* (*)();
    using AddForScreen = void (*)(void*, void*, unsigned);
    const auto getNamed = LinkedSymbol<GetNamed>("gtk_css_provider_get_named");
    const auto settingsDefault = LinkedSymbol<SettingsDefault>("gtk_settings_get_default");
    const auto screenDefault = LinkedSymbol<ScreenDefault>("gdk_screen_get_default");
    const auto addForScreen =
        LinkedSymbol<AddForScreen>("gtk_style_context_add_provider_for_screen");
    void* settings = settingsDefault != nullptr ? settingsDefault() : nullptr;
    void* screen = screenDefault != nullptr ? screenDefault() : nullptr;
    if (getNamed == nullptr || addForScreen == nullptr || settings == nullptr ||
        screen == nullptr) {
        return false;
    }
    // The theme as GTK picks it: GTK_THEME ("Adwaita:dark") over the
    // desktop's settings.
    std::string name;
    bool dark = false;
    if (const char* env = std::getenv("GTK_THEME"); env != nullptr && *env != '\0') {
        name = env;
        if (const auto colon = name.find(':'); colon != std::string::npos) {
            dark = name.substr(colon + 1) == "dark";
            name.erase(colon);
        }
    } else {
        gchar* themeName = nullptr;
        gboolean preferDark = FALSE;
        g_object_get(settings, "gtk-theme-name", &themeName, "gtk-application-prefer-dark-theme",
                     &preferDark, nullptr);
        name = themeName != nullptr ? themeName : "";
        g_free(themeName);
        dark = preferDark != FALSE;
    }
    if (EndsWithDark(name)) {
        dark = true;
        name.erase(name.size() - 5);
    }
    if (!dark) {
        return false;
    }
    // The theme's own light variant, above the dark one (GTK's settings
    // load it with priority 400: seen, at 201 the dark one still won) and
    // just below the program's own colours (600) and the user's gtk.css
    // (800). GTK keeps the named provider.
    void* light = getNamed(name.empty() ? "Adwaita" : name.c_str(), nullptr);
    if (light == nullptr) {
        return false;
    }
    addForScreen(screen, light, 600 - 1);
    return true;
}

} // namespace platform
