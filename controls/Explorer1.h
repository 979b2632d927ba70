// The web panel: wraps the web view that stands in the browser's place.
// It only ever shows the page it was sent to, or a local page saying why
// that page could not be loaded; links open in the desktop's browser. The
// page runs in WebKit's sandbox; where that cannot start, the panel is a
// text with the local page and no web process runs.
#pragma once

#include <wx/string.h>
#include <wx/weakref.h>

#include <functional>

class wxTextCtrl;
class wxWindow;
class wxWebView;
class wxWebViewEvent;

class CExplorer1 {
  public:
    CExplorer1() = default;
    CExplorer1(const CExplorer1&) = delete;
    CExplorer1& operator=(const CExplorer1&) = delete;
    ~CExplorer1();

    // Creates the web view (or the text in its place); returns nullptr when
    // no web engine is available.
    static wxWindow* CreateControl(wxWindow* parent, int id);

    void Attach(wxWindow* control);
    bool HasControl() const { return m_view.get() != nullptr || m_text.get() != nullptr; }
    // Loads `url`; returns at once, the page comes in later.
    void Navigate(const wxString& url);
    // The address of the page shown, also while the local page stands in
    // for it.
    wxString CurrentURL() const;
    bool ShowsLocalPage() const { return m_local; }
    // Who opens a link the user follows out of the panel (the owner opens
    // it in the desktop's browser and says so if it can't).
    void OnOpenOutside(std::function<void(const wxString& url)> open) {
        m_onOpenOutside = std::move(open);
    }

  private:
    // WebKit's decide-policy signal (gboolean handler(WebKitWebView*,
    // WebKitPolicyDecision*, WebKitPolicyDecisionType, gpointer)).
    static int OnDecidePolicy(void* webView, void* decision, int type, void* self);
    bool LeavesForBrowser(const wxString& url, bool byUser) const;
    // A link the user follows out of the panel, in the desktop's browser.
    void OpenOutside(const wxString& url);
    bool TurnAwayErrorPage(void* decision);
    void OnError(wxWebViewEvent& e);
    void OnLoaded(wxWebViewEvent& e);
    void ShowLocalPage(const wxString& reason);

    wxWeakRef<wxWebView> m_view;
    wxWeakRef<wxTextCtrl> m_text; // in the web view's place
    wxString m_noWebReason;       // why it is there
    wxString m_home;
    bool m_local = false;
    unsigned long m_policyHandler = 0;
    std::function<void(const wxString&)> m_onOpenOutside;
};

// The local page: name, version, what the program does, and why `address`
// could not be loaded.
wxString LocalInfoPage(const wxString& address, const wxString& reason);
