#pragma once

// Lets every pending window message run once, then returns: the one message
// pump that long steps use to keep the user interface alive. A WM_QUIT found
// on the way is put back so the main loop still sees it.
void DoEvents();

// DoEvents for tight loops: pumps only when at least interval_ms have passed
// since the last pump of this kind. Under Wine every look at the message
// queue is a round trip to the server, which a loop of tiny steps (a
// download in 3-byte blocks) would pay hundreds of thousands of times; at
// 100 pumps a second a click still takes effect within a few milliseconds.
void DoEventsEvery(unsigned interval_ms);
