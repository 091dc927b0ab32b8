#pragma once

// Lets every pending window message run once, then returns: the one message
// pump that long steps use to keep the user interface alive. A WM_QUIT found
// on the way is put back so the main loop still sees it.
void DoEvents();
