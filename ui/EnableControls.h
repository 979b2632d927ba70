#pragma once

// Enables or disables the main dialog's buttons and lists, in a fixed
// order; `spareRecordStop` leaves the Record/Stop button as it is. Safe
// from any thread: the change is made on the GUI thread.
void EnableControls(bool enable, bool spareRecordStop);

// Sets the main window's caption, from any thread.
void SetMainCaption(const char* caption);
