#pragma once
// The music player's link to Windows: MCI command strings through winmm, the
// file helpers of Module1, and a clock-seeded generator. The owning form
// supplies its poll timer and the shared message pump.
#include <cstdint>
#include <functional>
#include <random>
#include <string>

#include "music/music_player.h"

class WinMusicHost : public Module1::MusicHost {
 public:
  // set_poll_timer sets the owner's poll timer (0 switches it off); do_events
  // lets pending messages run once. Either may be empty: nothing happens then.
  WinMusicHost(std::function<void(unsigned)> set_poll_timer, std::function<void()> do_events);

  void SendMci(const std::string& command, char* reply, unsigned reply_size) override;
  bool FileExists(const std::string& path) override;
  std::string GetShortPath(const std::string& path) override;
  std::string ProgramFolder() override;
  void DoEvents() override;
  void SetPollTimer(unsigned interval_ms) override;
  void Randomize() override;
  float Rnd() override;

 private:
  std::function<void(unsigned)> set_poll_timer_;
  std::function<void()> do_events_;
  std::mt19937 generator_;
};
