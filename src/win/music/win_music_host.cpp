#include "music/win_music_host.h"

#include <windows.h>
#include <mmsystem.h>

#include <utility>

#include "shared/files.h"

WinMusicHost::WinMusicHost(std::function<void(unsigned)> set_poll_timer, std::function<void()> do_events)
    : set_poll_timer_(std::move(set_poll_timer)), do_events_(std::move(do_events)) {
  Randomize();
}

void WinMusicHost::SendMci(const std::string& command, char* reply, unsigned reply_size) {
  // No notification window, and the result is ignored on purpose: a device
  // that fails simply gives no music.
  (void)mciSendStringA(command.c_str(), reply_size ? reply : nullptr, reply_size, nullptr);
}

bool WinMusicHost::FileExists(const std::string& path) { return Module1::FileExists(path); }

std::string WinMusicHost::GetShortPath(const std::string& path) { return Module1::GetShortPath(path); }

std::string WinMusicHost::ProgramFolder() { return Module1::ProgramFolder(); }

void WinMusicHost::DoEvents() {
  if (do_events_) do_events_();
}

void WinMusicHost::SetPollTimer(unsigned interval_ms) {
  if (set_poll_timer_) set_poll_timer_(interval_ms);
}

void WinMusicHost::Randomize() {
  // Reseeds from the high-resolution clock, mixed with the old state so that
  // reseeds within one clock tick still move on.
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  const uint32_t clock = static_cast<uint32_t>(counter.QuadPart) ^ static_cast<uint32_t>(counter.QuadPart >> 32) ^
                         static_cast<uint32_t>(GetTickCount());
  std::seed_seq seed{clock, static_cast<uint32_t>(generator_())};
  generator_.seed(seed);
}

float WinMusicHost::Rnd() {
  // 24 random bits scaled by 2^-24: exactly representable, so never 1.
  return static_cast<float>(generator_() >> 8) * (1.0f / 16777216.0f);
}
