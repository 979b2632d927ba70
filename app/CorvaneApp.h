// The application object: shows the main dialog and runs the main loop
// until that dialog is gone, then the process ends.
#pragma once

#include "ui/CorvaneDlg.h"

#include <wx/app.h>
#include <wx/weakref.h>

class CCorvaneApp : public wxApp {
  public:
    CCorvaneApp();
    bool OnInit() override;
    int OnRun() override;
    // The language's direction: windows without a parent take it, and
    // every other window its parent's (Arabic mirrors them all).
    wxLayoutDirection GetLayoutDirection() const override;

    // The main dialog while it exists.
    CCorvaneDlg* GetMainDialog() const { return m_mainDlg.get(); }

  private:
    wxWeakRef<CCorvaneDlg> m_mainDlg;
};

// wxWidgets owns the one application object; `theApp` reaches it.
struct TheAppRef {
    CCorvaneApp* operator->() const;
    CCorvaneApp& operator*() const;
};
extern const TheAppRef theApp;
