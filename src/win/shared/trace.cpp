#include "shared/trace.h"

#include <windows.h>

#include <cstdio>
#include <exception>
#include <new>

void TraceCaughtException(const char* where) noexcept {
  // A fixed buffer: the trace must work when memory has run out.
  char line[512];
  const char* what = "an exception of unknown type";
  try {
    throw;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  std::snprintf(line, sizeof line, "QrvSaver2006: %s caught %s\n", where ? where : "?", what ? what : "?");
  OutputDebugStringA(line);
}
