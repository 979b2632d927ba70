#include "controls/Richtextctrl1.h"

#include <wx/intl.h>
#include <wx/settings.h>
#include <wx/textctrl.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

wxWindow* CRichtextctrl1::CreateControl(wxWindow* parent, int id) {
    auto* t = new wxTextCtrl(parent, id, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                             wxTE_MULTILINE | wxTE_RICH2 | wxTE_READONLY | wxTE_AUTO_URL);
    t->SetBackgroundColour(wxSystemSettings::GetColour(wxSYS_COLOUR_WINDOW));
    return t;
}

void CRichtextctrl1::Attach(wxWindow* control) {
    m_text = dynamic_cast<wxTextCtrl*>(control);
}

void CRichtextctrl1::put_FileName(const wxString& path) {
    if (!m_text) {
        return;
    }
    std::ifstream in(path.utf8_string(), std::ios::binary);
    if (!in) {
        const int err = errno;
        // TRANSLATORS: %s is a file's path, then why it could not be read.
        m_text->ChangeValue(wxString::Format(_("The file %s could not be read: %s."), path,
                                             wxString::FromUTF8(std::strerror(err))));
        return;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    wxString text = wxString::FromUTF8(bytes.str());
    if (text.empty() && !bytes.str().empty()) {
        // Not valid UTF-8: show it as Latin-1 rather than nothing.
        text = wxString(bytes.str().c_str(), wxConvISO8859_1);
    }
    m_text->ChangeValue(text);
}

wxString CRichtextctrl1::GetText() const {
    return m_text ? m_text->GetValue() : wxString();
}
