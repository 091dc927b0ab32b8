#pragma once
// The program's one message pump. The main loops, the modal runs of dialogs
// and DoEvents all pass their messages through DispatchThreadMessage, so that
// Tab, Enter, Esc and the access keys work in every dialog wherever the loop
// that fetched the message lives.
#include <windows.h>

#include <functional>

// Hands one fetched message on: first to the dialog that holds its window
// (its own keyboard shortcuts, then IsDialogMessage), else translates and
// dispatches it.
void DispatchThreadMessage(MSG& msg);

// Runs messages until WM_QUIT (returns its exit code) or until `done` returns
// true after a message (returns -1). A WM_QUIT met while `done` is set is put
// back for the outer loop, which then sees it too.
int RunMessageLoop(const std::function<bool()>& done = nullptr);
