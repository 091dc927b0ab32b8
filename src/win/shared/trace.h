#pragma once
// A trace of an exception that a window or dialog procedure caught: the
// procedure goes on with the next message, and a debugger (or a debug-output
// viewer) shows what was lost.

// Call only inside a catch block. Writes "QrvSaver2006: <where> caught
// <what>" with OutputDebugStringA; never throws.
void TraceCaughtException(const char* where) noexcept;
