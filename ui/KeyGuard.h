// Keys meant for a box go no further once it has closed: a key that comes
// within kKeyGuardMs of a box closing, and a Return held down that closed
// one, repeating, are not passed to the window behind (where a second
// Return would press Convert and Save or Record/Stop again).
#pragma once

class wxDialog;
class wxKeyEvent;
class wxWindow;

constexpr long kKeyGuardMs = 300;

// A modal box (message boxes, Save As, About) has just closed.
void KeyGuardModalBoxClosed(const wxDialog* box);

// A modeless box over `owner` has just closed; `closingKey` is the key
// event that closed it (nullptr for a click or its close box).
void KeyGuardBoxClosed(const wxWindow* owner, const wxKeyEvent* closingKey);
