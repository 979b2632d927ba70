#include "platform/Translate.h"

#include "platform/Paths.h"

#include <wx/arrstr.h>
#include <wx/translation.h>
#include <wx/uilocale.h>

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#ifndef VESTREL_LOCALEDIR
#define VESTREL_LOCALEDIR "/usr/local/share/locale"
#endif

namespace platform {
namespace {

constexpr const char* kDomain = "vestrel";

std::string g_language = "en";

// Build tree (bin/locale), an install moved anywhere, the configured prefix,
// and the system's folder, where the toolkit's catalogs are.
std::vector<std::string> CatalogDirs() {
    const std::string exe = ExecutableDir();
    return {exe + "locale/", exe + "../share/locale/", VESTREL_LOCALEDIR "/", "/usr/share/locale/"};
}

std::string CatalogFile(const std::string& domain, const std::string& language) {
    return FindIn(CatalogDirs(), language + "/LC_MESSAGES/" + domain + ".mo");
}

bool HasCatalog(const std::string& language) {
    return !CatalogFile(kDomain, language).empty();
}

// wxWidgets' own loader asks the application object for the standard paths,
// and the command line is translated before there is one.
class CatalogLoader : public wxTranslationsLoader {
  public:
    wxMsgCatalog* LoadCatalog(const wxString& domain, const wxString& lang) override {
        const std::string file = CatalogFile(domain.utf8_string(), lang.utf8_string());
        return file.empty() ? nullptr
                            : wxMsgCatalog::CreateFromFile(wxString::FromUTF8(file), domain);
    }
    wxArrayString GetAvailableTranslations(const wxString& domain) const override {
        wxArrayString found;
        if (HasCatalog(g_language) && domain == kDomain) {
            found.push_back(wxString::FromUTF8(g_language));
        }
        return found;
    }
};

// "de_DE.UTF-8@euro" gives "de_DE" then "de".
std::vector<std::string> Candidates(std::string name) {
    name = name.substr(0, name.find_first_of(".@"));
    std::vector<std::string> out{name};
    if (const size_t u = name.find('_'); u != std::string::npos) {
        out.push_back(name.substr(0, u));
    }
    return out;
}

// The languages asked for, in order, as gettext reads them: LANGUAGE's list
// counts only where the message locale is not C.
std::vector<std::string> WantedLanguages(const char* messagesLocale) {
    std::vector<std::string> wanted;
    if (messagesLocale == nullptr || std::strcmp(messagesLocale, "C") == 0 ||
        std::strcmp(messagesLocale, "POSIX") == 0 || std::strncmp(messagesLocale, "C.", 2) == 0) {
        return wanted;
    }
    if (const char* list = std::getenv("LANGUAGE"); list != nullptr) {
        std::string rest(list);
        while (!rest.empty()) {
            const size_t colon = rest.find(':');
            if (colon != 0) {
                wanted.push_back(rest.substr(0, colon));
            }
            rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
        }
    }
    wanted.emplace_back(messagesLocale);
    return wanted;
}

std::string ChooseLanguage(const char* messagesLocale) {
    for (const auto& name : WantedLanguages(messagesLocale)) {
        for (const auto& language : Candidates(name)) {
            if (language == "en" || language.rfind("en_", 0) == 0) {
                return "en";
            }
            if (HasCatalog(language)) {
                return language;
            }
        }
    }
    return "en";
}

// UTF-8 copies of the translations handed out, kept for the program's life.
const char* Utf8Of(const wxString& text) {
    static std::mutex lock;
    static std::unordered_map<const wxString*, std::string> kept;
    const std::lock_guard<std::mutex> hold(lock);
    auto [it, added] = kept.try_emplace(&text);
    if (added) {
        it->second = text.utf8_string();
    }
    return it->second.c_str();
}

} // namespace

Translations::Translations() {
    const char* const all = std::setlocale(LC_ALL, "");
    const char* const messages = all != nullptr ? std::setlocale(LC_MESSAGES, nullptr) : nullptr;
    g_language = ChooseLanguage(messages);
    // One language in the whole process: the toolkit's own texts (a file
    // chooser's buttons) follow the program's, not a language it has no
    // catalog for.
    setenv("LANGUAGE", g_language.c_str(), 1);
    if (g_language == "en") {
        return; // the texts are English already
    }
    auto translations = std::make_unique<wxTranslations>();
    translations->SetLoader(new CatalogLoader); // owned by the translations
    translations->SetLanguage(wxString::FromUTF8(g_language));
    translations->AddCatalog(kDomain, wxLANGUAGE_ENGLISH_US);
    wxTranslations::Set(translations.release()); // wxWidgets owns it from here
}

Translations::~Translations() {
    if (g_language != "en") {
        wxTranslations::Set(nullptr);
    }
}

void LoadToolkitTranslations() {
    static bool loaded = false;
    if (loaded || g_language == "en") {
        return;
    }
    loaded = true;
    if (wxTranslations* translations = wxTranslations::Get()) {
        translations->AddStdCatalog();
    }
}

std::string TranslationLanguage() {
    return g_language;
}

std::vector<std::string> TranslationLanguageNames() {
    return g_language == "en" ? std::vector<std::string>() : Candidates(g_language);
}

bool RightToLeftLanguage() {
    const wxLanguageInfo* info = wxUILocale::FindLanguageInfo(wxString::FromUTF8(g_language));
    return info != nullptr && info->LayoutDirection == wxLayout_RightToLeft;
}

void UseLanguageDirection() {
    // Looked up in the toolkit the program runs with (no GTK headers here).
    using SetDirection = void (*)(int);
    static const auto set =
        reinterpret_cast<SetDirection>(dlsym(RTLD_DEFAULT, "gtk_widget_set_default_direction"));
    if (set != nullptr) {
        constexpr int kLeftToRight = 1; // GTK_TEXT_DIR_LTR
        constexpr int kRightToLeft = 2;
        set(RightToLeftLanguage() ? kRightToLeft : kLeftToRight);
    }
}

const char* Tr(const char* english) {
    if (g_language == "en") {
        return english;
    }
    return Utf8Of(wxGetTranslation(wxString::FromUTF8(english)));
}

const char* TrPlural(const char* one, const char* many, unsigned long n) {
    if (g_language == "en") {
        return n == 1 ? one : many;
    }
    return Utf8Of(wxGetTranslation(wxString::FromUTF8(one), wxString::FromUTF8(many), n));
}

std::string Printf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) {
        std::vsnprintf(out.data(), out.size() + 1, format, again);
    }
    va_end(again);
    return out;
}

} // namespace platform
