// The modal boxes open at a moment (message boxes, Save As, About, the
// question before quitting), so that the program can end without leaving
// one running over a window that is gone.
#pragma once

#include <memory>

class wxModalDialogHook;

// Modal boxes are counted, and keys that come just after one closed are
// kept from the window behind (see KeyGuard.h), while the object returned
// lives.
std::unique_ptr<wxModalDialogHook> TrackModalBoxes();
// How many are open now.
int OpenModalBoxes();
// Answers every open one with Cancel, the newest first. Each returns to
// whoever opened it once its own loop has ended, not here.
void CancelModalBoxes();
