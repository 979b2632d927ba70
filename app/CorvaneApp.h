// The application object: shows the main dialog and runs the main loop
// until that dialog is gone, then the process ends.
#pragma once

#include <wx/app.h>
#include <wx/weakref.h>

class CCorvaneDlg;
class COptionsDialog;

class CCorvaneApp : public wxApp {
  public:
    CCorvaneApp();
    bool OnInit() override;
    int OnRun() override;

    // The main dialog while it exists; workers reach the window through it.
    CCorvaneDlg* GetMainDialog() const { return m_mainDlg; }
    void SetMainDialog(CCorvaneDlg* dlg) { m_mainDlg = dlg; }

  private:
    CCorvaneDlg* m_mainDlg = nullptr;
};

// wxWidgets owns the one application object; `theApp` reaches it.
struct TheAppRef {
    CCorvaneApp* operator->() const;
    CCorvaneApp& operator*() const;
};
extern const TheAppRef theApp;

// The one Options dialog. Its window is created hidden by the main dialog
// and belongs to it; the reference clears itself when the window goes.
extern wxWeakRef<COptionsDialog> g_optionsDlg;
