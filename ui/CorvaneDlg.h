// The main window: device, bit rate and output file, Record/Stop, the
// player and web panels, and the buttons everything else starts from.
#pragma once

#include "controls/Explorer1.h"
#include "controls/Ocx1.h"

#include <wx/dialog.h>
#include <wx/iconbndl.h>

#include <memory>
#include <string>
#include <vector>

class CConvertAndSave;
class CStatusRow;
struct TakeEnd;
class wxButton;
class wxChoice;
class wxTextCtrl;
#include <wx/brush.h>

// The web panel's page and the Website button's page, on a host chosen at
// build time.
#ifndef VESTREL_INFO_HOST
#define VESTREL_INFO_HOST "www.vestrel.example"
#endif
constexpr const char* kInfoPageURL = "https://" VESTREL_INFO_HOST "/info.php?n=corvane";
constexpr const char* kHomePageURL = "https://" VESTREL_INFO_HOST "/";
// The page the web panel loads: VESTREL_INFO_URL when it holds an http or
// https address, kInfoPageURL otherwise. Read once, at the first call.
wxString InfoPageURL();

extern const char* const kRecordHelpText;

class CCorvaneDlg : public wxDialog {
  public:
    CCorvaneDlg();
    ~CCorvaneDlg() override;

    // Handlers, in the order the dialog's events are wired.
    void OnSysCommand(int command);
    void OnRecordStop();
    void OnBrowse();
    void OnWebsite();
    void OnRecordHelp();
    // The brush for a control kind 0..7 (nullptr before the dialog's
    // initialisation created it, and for any other kind).
    const wxBrush* OnCtlColor(int kind) const;
    void OnConvertOptions();
    void OnConvert();

    // Finishes a running recording, then ends the dialog.
    void EndProgram();
    // After controls were greyed or enabled: the keyboard focus sits on a
    // live control, on Record/Stop when `toRecord` and it is enabled.
    void KeepFocusLive(bool toRecord);
    // The controls Tab visits, in template order (the player's own
    // buttons and sliders in its place).
    std::vector<wxWindow*> TabStops() const;
    // Tab and Shift+Tab: the next live tab stop after the focus, wrapping.
    void MoveFocus(bool forward);
    // The recording ended by itself: tidy up as Stop would, and say why.
    void OnRecordingFailed(const TakeEnd& end);
    // The engine found room for less than ten minutes of the take.
    void OnDiskAlmostFull(double minutesLeft);
    // Whether the window takes the recording engine's reports.
    void WatchRecordings(bool watch);

    wxButton* RecordButton() const;
    wxChoice* DeviceList() const;
    wxChoice* BitrateList() const;
    wxTextCtrl* OutputFileBox() const;
    COcx1& Player() { return m_player; }
    CExplorer1& Browser() { return m_browser; }
    double LayoutScale() const { return m_scale; }
    // The context menu that carries the About entry (nullptr when the
    // string is missing).
    std::unique_ptr<wxMenu> MakeContextMenu() const;
    // Where the keyboard opens the context menu: inside the focused
    // control, in this dialog's client coordinates (its corner when the
    // focus is elsewhere).
    wxPoint MenuPointFor(wxWindow* focus) const;

  private:
    void DoDataExchange();
    bool OnInitDialog();
    void FillDeviceList();
    void ApplyColours();
    void OnCharHook(wxKeyEvent& e);
    void OnContextMenu(wxContextMenuEvent& e);

    wxIconBundle m_hIcon;
    COcx1 m_player;
    std::unique_ptr<wxBrush> m_pBkBrush;
    CExplorer1 m_browser;
    double m_scale = 1.0;
    std::unique_ptr<CStatusRow> m_statusRow;
    std::unique_ptr<CConvertAndSave> m_convert; // goes before the status row

  public:
    CStatusRow* StatusRow() const { return m_statusRow.get(); }
    CConvertAndSave& Conversion() { return *m_convert; }
};
