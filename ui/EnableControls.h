#pragma once

class wxWindow;

// Enables or disables the main dialog `dlg`'s buttons and lists, in a
// fixed order; `spareRecordStop` leaves the Record/Stop button as it is.
// Safe from any thread: the change is made on the GUI thread, and not at
// all once the dialog is gone.
void EnableControls(wxWindow* dlg, bool enable, bool spareRecordStop);
