#include "controls/Explorer1.h"

#include "platform/DynamicLibrary.h"
#include "platform/GlDrivers.h"
#include "platform/ShownText.h"
#include "platform/Translate.h"
#include "platform/WebSandbox.h"

#include <wx/intl.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/webview.h>

#include <stdlib.h>

#ifndef VESTREL_VERSION
#define VESTREL_VERSION "1.0.0.0"
#endif

namespace {

// WebKit's own calls: the web view links WebKit.
template <typename F> F WebKitCall(const char* name) {
    return platform::LinkedSymbol<F>(name);
}

constexpr int kCacheModelDocumentViewer = 0; // WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER
constexpr int kNavigationActionDecision = 0; // WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION
constexpr int kNavigationLinkClicked = 0;    // WEBKIT_NAVIGATION_TYPE_LINK_CLICKED
constexpr int kResponseDecision = 2;         // WEBKIT_POLICY_DECISION_TYPE_RESPONSE

// Every web process of the program starts in WebKit's sandbox; called
// before the first web view. False when this WebKit has no sandbox.
bool EnableWebSandbox() {
    using GetDefault = void* (*)();
    using GetSandboxEnabled = int (*)(void*);
    using SetSandboxEnabled = void (*)(void*, int);
    auto getDefault = WebKitCall<GetDefault>("webkit_web_context_get_default");
    auto getEnabled = WebKitCall<GetSandboxEnabled>("webkit_web_context_get_sandbox_enabled");
    auto setEnabled = WebKitCall<SetSandboxEnabled>("webkit_web_context_set_sandbox_enabled");
    void* context = getDefault != nullptr ? getDefault() : nullptr;
    if (getEnabled == nullptr || setEnabled == nullptr || context == nullptr) {
        return false;
    }
    // Set once: WebKit aborts the program when it is set again while a web
    // process of an earlier panel is still about.
    if (getEnabled(context) == 0) {
        setEnabled(context, 1);
    }
    // WebKit's own switch would take it off again without a word; the
    // program's is VESTREL_WEB_SANDBOX.
    unsetenv("WEBKIT_DISABLE_SANDBOX_THIS_IS_DANGEROUS");
    return true;
}

// Stands in the web view's place where no web process may run: the local
// page as text, which a person can still select and copy.
class LocalPageText : public wxTextCtrl {
  public:
    LocalPageText(wxWindow* parent, int id, const wxString& reason)
        : wxTextCtrl(parent, id, wxString(), wxDefaultPosition, wxDefaultSize,
                     wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP),
          m_reason(reason) {}
    const wxString& Reason() const { return m_reason; }

  private:
    wxString m_reason;
};

const char kLocalTitle[] = "Vestrel " VESTREL_VERSION;
// TRANSLATORS: the web panel's own page, shown when the information page
// can't be loaded.
const char* const kLocalAbout = wxTRANSLATE("Records what your microphone or line input hears to "
                                            "MP3, plays it back and converts it to other formats "
                                            "with ffmpeg.");

wxString CouldNotLoad(const wxString& address, const wxString& reason) {
    // TRANSLATORS: the web panel's own page; the first %s is a web address, the
    // second why its page could not be loaded (WebKit's words, or ours).
    return wxString::Format(_("The information page at %s could not be loaded: %s"), address,
                            reason);
}

void SetDocumentViewerCache(wxWebView* view) {
    using GetContext = void* (*)(void*);
    using SetCacheModel = void (*)(void*, int);
    auto getContext = WebKitCall<GetContext>("webkit_web_view_get_context");
    auto setCacheModel = WebKitCall<SetCacheModel>("webkit_web_context_set_cache_model");
    void* native = view->GetNativeBackend();
    if (getContext != nullptr && setCacheModel != nullptr && native != nullptr) {
        if (void* context = getContext(native)) {
            setCacheModel(context, kCacheModelDocumentViewer);
        }
    }
}

// The HTTP status of the main page (0 when unknown): WebKit loads an error
// page from the server as any other.
unsigned HttpStatus(wxWebView* view) {
    using GetResource = void* (*)(void*);
    using GetResponse = void* (*)(void*);
    using GetStatus = unsigned (*)(void*);
    auto getResource = WebKitCall<GetResource>("webkit_web_view_get_main_resource");
    auto getResponse = WebKitCall<GetResponse>("webkit_web_resource_get_response");
    auto getStatus = WebKitCall<GetStatus>("webkit_uri_response_get_status_code");
    void* native = view->GetNativeBackend();
    if (getResource == nullptr || getResponse == nullptr || getStatus == nullptr ||
        native == nullptr) {
        return 0;
    }
    void* resource = getResource(native);
    void* response = resource != nullptr ? getResponse(resource) : nullptr;
    return response != nullptr ? getStatus(response) : 0;
}

wxString HttpErrorReason(unsigned status) {
    // TRANSLATORS: why the information page could not be loaded; %u is the
    // status code (404).
    return wxString::Format(_("the server answered with HTTP status %u"), status);
}

wxString Escaped(const wxString& s) {
    wxString out;
    for (const wxUniChar c : s) {
        switch (c.GetValue()) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

wxString LocalInfoPage(const wxString& address, const wxString& reason) {
    // The markup is no text a person reads; a right-to-left language turns
    // the page round.
    return wxString::Format(
        "<!DOCTYPE html><html%s><head><meta charset=\"utf-8\"><title>%s</title><style>"
        "body{font:13px sans-serif;color:#222;background:#fff;margin:6px}"
        "h1{font-size:15px;margin:0 0 4px}p{margin:2px 0}</style></head><body>"
        "<h1>%s</h1><p>%s</p><p>%s</p></body></html>",
        platform::RightToLeftLanguage() ? " dir=\"rtl\"" : "", kLocalTitle, kLocalTitle,
        Escaped(wxGetTranslation(kLocalAbout)), Escaped(CouldNotLoad(address, reason)));
}

wxWindow* CExplorer1::CreateControl(wxWindow* parent, int id) {
    if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault)) {
        return nullptr;
    }
    const bool sandboxed = platform::WebSandboxWanted();
    std::string problem = sandboxed ? platform::WebSandboxProblem() : std::string();
    if (problem.empty()) {
        // A small page needs no GPU compositing, and without it the web
        // process sets up no GL surfaces (some 45 MiB less). A value the user
        // set stays.
        setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
        // Before WebKit's context is made: that sets up EGL.
        platform::KeepEglOutOfThisProcess();
        if (sandboxed && !EnableWebSandbox()) {
            // TRANSLATORS: why the web panel's sandbox could not be started.
            problem = platform::Tr("this WebKit has none");
        }
    }
    if (!problem.empty()) {
        // No web process at all rather than one outside the sandbox.
        // TRANSLATORS: why the information page could not be loaded; %s says
        // why the sandbox could not start.
        return new LocalPageText(
            parent, id,
            wxString::Format(_("the web panel's sandbox could not be started: %s"),
                             wxString::FromUTF8(problem)));
    }
    wxWebView* view = wxWebView::New(parent, id, wxString(wxWebViewDefaultURLStr));
    if (view != nullptr) {
        SetDocumentViewerCache(view);
    }
    return view;
}

CExplorer1::~CExplorer1() {
    // The web view outlives this object while its parent is destroyed.
    using Disconnect = void (*)(void*, unsigned long);
    auto disconnect = WebKitCall<Disconnect>("g_signal_handler_disconnect");
    if (m_view && m_policyHandler != 0 && disconnect != nullptr) {
        disconnect(m_view->GetNativeBackend(), m_policyHandler);
    }
}

void CExplorer1::Attach(wxWindow* control) {
    if (auto* text = dynamic_cast<LocalPageText*>(control)) {
        m_text = text;
        m_noWebReason = text->Reason();
        return;
    }
    m_view = dynamic_cast<wxWebView*>(control);
    if (m_view) {
        m_view->Bind(wxEVT_WEBVIEW_ERROR, &CExplorer1::OnError, this);
        m_view->Bind(wxEVT_WEBVIEW_LOADED, &CExplorer1::OnLoaded, this);
        m_view->Bind(wxEVT_WEBVIEW_TITLE_CHANGED,
                     [](wxWebViewEvent& e) { NoteShownText("page", e.GetString()); });
        m_view->Bind(wxEVT_WEBVIEW_NEWWINDOW,
                     [this](wxWebViewEvent& e) { OpenOutside(e.GetURL()); });
        using Connect = unsigned long (*)(void*, const char*, void (*)(), void*, void*, int);
        auto connect = WebKitCall<Connect>("g_signal_connect_data");
        if (void* native = m_view->GetNativeBackend(); connect != nullptr && native != nullptr) {
            m_policyHandler =
                connect(native, "decide-policy", reinterpret_cast<void (*)()>(&OnDecidePolicy),
                        this, nullptr, 0);
        }
    }
}

void CExplorer1::Navigate(const wxString& url) {
    if (m_text) {
        m_home = url;
        m_local = true;
        m_text->ChangeValue(wxString(kLocalTitle) + "\n" + wxGetTranslation(kLocalAbout) + "\n" +
                            CouldNotLoad(url, m_noWebReason));
        NoteShownText("page", kLocalTitle);
    } else if (m_view) {
        m_home = url;
        m_local = false;
        m_view->LoadURL(url);
    }
}

wxString CExplorer1::CurrentURL() const {
    if (!m_view) {
        return m_text ? m_home : wxString();
    }
    return m_local ? m_home : m_view->GetCurrentURL();
}

// wxWidgets 3.2 tells NAVIGATING handlers nothing of who started a
// navigation (the action is always wxWEBVIEW_NAV_ACTION_NONE), so WebKit's
// own decision is asked. Runs after wxWidgets' handler, which lets every
// navigation through.
int CExplorer1::OnDecidePolicy(void* /*webView*/, void* decision, int type, void* self) {
    if (type == kResponseDecision) {
        return static_cast<CExplorer1*>(self)->TurnAwayErrorPage(decision) ? 1 : 0;
    }
    using GetAction = void* (*)(void*);
    using GetType = int (*)(void*);
    using IsUserGesture = int (*)(void*);
    using GetRequest = void* (*)(void*);
    using GetUri = const char* (*)(void*);
    using Ignore = void (*)(void*);
    auto getAction =
        WebKitCall<GetAction>("webkit_navigation_policy_decision_get_navigation_action");
    auto getType = WebKitCall<GetType>("webkit_navigation_action_get_navigation_type");
    auto isUserGesture = WebKitCall<IsUserGesture>("webkit_navigation_action_is_user_gesture");
    auto getRequest = WebKitCall<GetRequest>("webkit_navigation_action_get_request");
    auto getUri = WebKitCall<GetUri>("webkit_uri_request_get_uri");
    auto ignore = WebKitCall<Ignore>("webkit_policy_decision_ignore");
    if (type != kNavigationActionDecision || getAction == nullptr || getType == nullptr ||
        isUserGesture == nullptr || getRequest == nullptr || getUri == nullptr ||
        ignore == nullptr) {
        return 0;
    }
    void* action = getAction(decision);
    void* request = action != nullptr ? getRequest(action) : nullptr;
    const char* uri = request != nullptr ? getUri(request) : nullptr;
    if (uri == nullptr) {
        return 0;
    }
    const bool byUser = getType(action) == kNavigationLinkClicked || isUserGesture(action) != 0;
    auto* explorer = static_cast<CExplorer1*>(self);
    const wxString url = wxString::FromUTF8(uri);
    if (!explorer->LeavesForBrowser(url, byUser)) {
        return 0;
    }
    ignore(decision);
    explorer->OpenOutside(url);
    return 1;
}

void CExplorer1::OpenOutside(const wxString& url) {
    if (!m_view) {
        return;
    }
    // Not from within WebKit's signal: a box there would run a nested loop.
    // (A call pending for a view that is gone is dropped with it.)
    m_view->CallAfter([this, url] {
        if (m_onOpenOutside) {
            m_onOpenOutside(url);
        }
    });
}

// An HTTP error for the page itself is answered with the local page before
// the server's own error text is shown at all.
bool CExplorer1::TurnAwayErrorPage(void* decision) {
    using GetResponse = void* (*)(void*);
    using IsMainResource = int (*)(void*);
    using GetStatus = unsigned (*)(void*);
    using Ignore = void (*)(void*);
    auto getResponse = WebKitCall<GetResponse>("webkit_response_policy_decision_get_response");
    auto isMain =
        WebKitCall<IsMainResource>("webkit_response_policy_decision_is_main_frame_main_resource");
    auto getStatus = WebKitCall<GetStatus>("webkit_uri_response_get_status_code");
    auto ignore = WebKitCall<Ignore>("webkit_policy_decision_ignore");
    if (m_local || !m_view || getResponse == nullptr || isMain == nullptr || getStatus == nullptr ||
        ignore == nullptr || isMain(decision) == 0) {
        return false; // left to the check once the page has loaded
    }
    void* response = getResponse(decision);
    const unsigned status = response != nullptr ? getStatus(response) : 0;
    if (status < 400) {
        return false;
    }
    m_local = true; // the interrupted load's error is not the reason to show
    ignore(decision);
    m_view->CallAfter([this, status] { ShowLocalPage(HttpErrorReason(status)); });
    return true;
}

bool CExplorer1::LeavesForBrowser(const wxString& url, bool byUser) const {
    // The page's own loads, redirects and frames stay, and so does a jump
    // within the page; a link the user follows leaves the panel.
    const wxString shown = m_view ? m_view->GetCurrentURL() : wxString();
    return byUser && !m_home.empty() && url != m_home && !url.StartsWith("about:") &&
           url.BeforeFirst('#') != shown.BeforeFirst('#');
}

void CExplorer1::OnError(wxWebViewEvent& e) {
    // The panel loads no page but the information page (WebKit may have
    // spelt its address another way, "http://host" as "http://host/") and
    // the local one.
    if (m_local || e.GetURL().StartsWith("about:")) {
        return;
    }
    const wxString reason =
        // TRANSLATORS: why the information page could not be loaded.
        e.GetString().empty() ? _("the page could not be reached") : e.GetString();
    m_local = true;
    // After WebKit has finished with the failed load, or its own error text
    // replaces the page.
    m_view->CallAfter([this, reason] { ShowLocalPage(reason); });
}

void CExplorer1::OnLoaded(wxWebViewEvent& e) {
    if (!m_local && !e.GetURL().StartsWith("about:")) {
        const unsigned status = HttpStatus(m_view.get());
        if (status >= 400) {
            ShowLocalPage(HttpErrorReason(status));
            return;
        }
    }
}

void CExplorer1::ShowLocalPage(const wxString& reason) {
    if (!m_view) {
        return;
    }
    m_local = true;
    m_view->SetPage(LocalInfoPage(m_home, reason), "about:blank");
}
