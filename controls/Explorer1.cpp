#include "controls/Explorer1.h"

#include "ui/ShownText.h"

#include <wx/utils.h>
#include <wx/webview.h>

#include <dlfcn.h>

#ifndef VESTREL_VERSION
#define VESTREL_VERSION "1.0.0.0"
#endif

namespace {

// WebKit's own calls, looked up at run time: the web view links WebKit, the
// program has no build dependency on its headers.
template <typename F> F WebKitCall(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_DEFAULT, name));
}

constexpr int kCacheModelDocumentViewer = 0; // WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER

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
    return wxString::FromUTF8(
               "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Vestrel " VESTREL_VERSION
               "</title><style>body{font:13px sans-serif;color:#222;background:#fff;margin:6px}"
               "h1{font-size:15px;margin:0 0 4px}p{margin:2px 0}</style></head><body>"
               "<h1>Vestrel " VESTREL_VERSION "</h1>"
               "<p>Records what your microphone or line input hears to MP3, plays it back and "
               "converts it to other formats with ffmpeg.</p><p>The information page at ") +
           Escaped(address) + " could not be loaded: " + Escaped(reason) + "</p></body></html>";
}

wxWindow* CExplorer1::CreateControl(wxWindow* parent, int id) {
    if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault)) {
        return nullptr;
    }
    wxWebView* view = wxWebView::New(parent, id, wxString(wxWebViewDefaultURLStr));
    if (view != nullptr) {
        SetDocumentViewerCache(view);
    }
    return view;
}

void CExplorer1::Attach(wxWindow* control) {
    m_view = dynamic_cast<wxWebView*>(control);
    if (m_view) {
        m_view->Bind(wxEVT_WEBVIEW_NAVIGATING, &CExplorer1::OnNavigating, this);
        m_view->Bind(wxEVT_WEBVIEW_ERROR, &CExplorer1::OnError, this);
        m_view->Bind(wxEVT_WEBVIEW_LOADED, &CExplorer1::OnLoaded, this);
        m_view->Bind(wxEVT_WEBVIEW_TITLE_CHANGED,
                     [](wxWebViewEvent& e) { NoteShownText("page", e.GetString()); });
        m_view->Bind(wxEVT_WEBVIEW_NEWWINDOW,
                     [](wxWebViewEvent& e) { wxLaunchDefaultBrowser(e.GetURL()); });
    }
}

void CExplorer1::Navigate(const wxString& url) {
    if (m_view) {
        m_home = url;
        m_local = false;
        m_view->LoadURL(url);
    }
}

wxString CExplorer1::CurrentURL() const {
    if (!m_view) {
        return wxString();
    }
    return m_local ? m_home : m_view->GetCurrentURL();
}

void CExplorer1::OnNavigating(wxWebViewEvent& e) {
    const wxString url = e.GetURL();
    // The page's own loads and redirects stay; a link the user follows
    // leaves the panel for the desktop's browser.
    if (e.GetNavigationAction() != wxWEBVIEW_NAV_ACTION_USER || url == m_home ||
        url.StartsWith("about:") || m_home.empty()) {
        e.Skip();
        return;
    }
    e.Veto();
    wxLaunchDefaultBrowser(url);
}

void CExplorer1::OnError(wxWebViewEvent& e) {
    if (m_local || (e.GetURL() != m_home && !e.GetURL().empty())) {
        return; // a link turned away, or the local page itself
    }
    const wxString reason =
        e.GetString().empty() ? wxString("the page could not be reached") : e.GetString();
    m_local = true;
    // After WebKit has finished with the failed load, or its own error text
    // replaces the page.
    m_view->CallAfter([this, reason] { ShowLocalPage(reason); });
}

void CExplorer1::OnLoaded(wxWebViewEvent& e) {
    if (!m_local && e.GetURL() == m_home) {
        const unsigned status = HttpStatus(m_view.get());
        if (status >= 400) {
            ShowLocalPage(wxString::Format("the server answered with HTTP status %u", status));
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
