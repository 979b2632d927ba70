// Convert and Save as the main dialog runs it: the checks and the Save As
// dialog, the greyed window and the progress in the status row while
// ffmpeg runs, and the completion box.
#pragma once

#include "convert/ConvertJob.h"

#include <memory>

class COcx1;
class CStatusRow;
class wxTopLevelWindow;

// The completion box's text: the outcome, then for a converted file its
// name and what it holds ("AAC, 288 kb/s, 10:00, 21.6 MB"), why the chosen
// rate was not applied, and where the replaced file went.
wxString CompletionText(const ConvertOutcome& outcome);

class CConvertAndSave {
  public:
    // Runs in the main dialog `dlg`, whose player lets go of the take while
    // ffmpeg reads it, and whose status row (if any) follows the progress.
    CConvertAndSave(wxTopLevelWindow& dlg, COcx1& player, CStatusRow* row);
    ~CConvertAndSave();
    CConvertAndSave(const CConvertAndSave&) = delete;
    CConvertAndSave& operator=(const CConvertAndSave&) = delete;

    // The Convert and Save button.
    void OnConvert();
    bool Running() const { return m_run != nullptr; }
    // The window is closing: a running conversion is cancelled as Cancel
    // does, and this returns once ffmpeg is gone and the files are back.
    void CancelAndWait();

  private:
    void OnFinished(const ConvertOutcome& outcome);

    wxTopLevelWindow& m_dlg;
    COcx1& m_player;
    CStatusRow* m_row;
    std::unique_ptr<ConvertRun> m_run;
    wxString m_playerHad; // the take the player held, loaded again at the end
};
