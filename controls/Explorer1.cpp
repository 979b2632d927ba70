#include "controls/Explorer1.h"

#include <wx/webview.h>

wxWindow* CExplorer1::CreateControl(wxWindow* parent, int id) {
    if (!wxWebView::IsBackendAvailable(wxWebViewBackendDefault)) {
        return nullptr;
    }
    return wxWebView::New(parent, id, wxString(wxWebViewDefaultURLStr));
}

void CExplorer1::Attach(wxWindow* control) {
    m_view = dynamic_cast<wxWebView*>(control);
}

void CExplorer1::Navigate(const wxString& url) {
    if (m_view) {
        m_view->LoadURL(url);
    }
}

wxString CExplorer1::CurrentURL() const {
    return m_view ? m_view->GetCurrentURL() : wxString();
}
