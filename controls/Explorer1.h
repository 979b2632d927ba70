// The web panel: wraps the web view that stands in the browser's place.
#pragma once

#include <wx/string.h>
#include <wx/weakref.h>

class wxWindow;
class wxWebView;

class CExplorer1 {
  public:
    // Creates the web view; returns nullptr when no web engine is available.
    static wxWindow* CreateControl(wxWindow* parent, int id);

    void Attach(wxWindow* control);
    bool HasControl() const { return m_view.get() != nullptr; }
    // Loads `url`; returns at once, the page comes in later.
    void Navigate(const wxString& url);
    wxString CurrentURL() const;

  private:
    wxWeakRef<wxWebView> m_view;
};
