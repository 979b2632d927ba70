// The web panel: wraps the web view that stands in the browser's place.
// It only ever shows the page it was sent to, or a local page saying why
// that page could not be loaded; links open in the desktop's browser.
#pragma once

#include <wx/string.h>
#include <wx/weakref.h>

class wxWindow;
class wxWebView;
class wxWebViewEvent;

class CExplorer1 {
  public:
    // Creates the web view; returns nullptr when no web engine is available.
    static wxWindow* CreateControl(wxWindow* parent, int id);

    void Attach(wxWindow* control);
    bool HasControl() const { return m_view.get() != nullptr; }
    // Loads `url`; returns at once, the page comes in later.
    void Navigate(const wxString& url);
    // The address of the page shown, also while the local page stands in
    // for it.
    wxString CurrentURL() const;
    bool ShowsLocalPage() const { return m_local; }

  private:
    void OnNavigating(wxWebViewEvent& e);
    void OnError(wxWebViewEvent& e);
    void OnLoaded(wxWebViewEvent& e);
    void ShowLocalPage(const wxString& reason);

    wxWeakRef<wxWebView> m_view;
    wxString m_home;
    bool m_local = false;
};

// The local page: name, version, what the program does, and why `address`
// could not be loaded.
wxString LocalInfoPage(const wxString& address, const wxString& reason);
