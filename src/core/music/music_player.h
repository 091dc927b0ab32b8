#pragma once
// The background music: one of nine built-in MIDI songs under the alias
// "QrvMid", or one song file of the user's, addressed by its quoted path.
// Nothing tells the program when a song ends, so the form that started it
// polls the device from a timer and restarts the song at its end.
//
// Both the screensaver window and the settings dialog drive a player (never
// both in one process). The platform is reached only through MusicHost; the
// screensaver's settings through SettingsPort.
#include <cstdint>
#include <functional>
#include <string>

#include "settings/settings_port.h"

namespace Module1 {

// The platform as the music player sees it. The Windows build sends the
// commands through mciSendStringA; the unit tests record them.
class MusicHost {
 public:
  virtual ~MusicHost() = default;
  // Sends one MCI command string, callback window 0. Commands that expect no
  // reply pass reply == nullptr and reply_size == 0. Otherwise the device may
  // write up to reply_size characters from the start of reply, a NUL
  // included; a failing device may leave the buffer as it was. The device's
  // result code is not returned: the player never looks at it.
  virtual void SendMci(const std::string& command, char* reply, unsigned reply_size) = 0;
  // True when the attributes of path (file or folder) can be read; false on
  // any error, an empty path included.
  virtual bool FileExists(const std::string& path) = 0;
  // The short (8.3) form of an existing path; "" when the path does not exist.
  virtual std::string GetShortPath(const std::string& path) = 0;
  // The folder of the program file, without a trailing backslash.
  virtual std::string ProgramFolder() = 0;
  // Lets pending window messages run once.
  virtual void DoEvents() = 0;
  // Sets the interval of the owner's poll timer; 0 switches it off.
  virtual void SetPollTimer(unsigned interval_ms) = 0;
  // Reseeds the pseudo-random generator from the clock.
  virtual void Randomize() = 0;
  // The next pseudo-random value, uniform in [0, 1).
  virtual float Rnd() = 0;
};

// Size of MciReply, and of the fresh buffers of the user's song's status queries.
constexpr unsigned kMciReplySize = 255;
constexpr unsigned kCustomLengthReplySize = 128;
constexpr unsigned kCustomPositionReplySize = 40;

// Title of built-in song 1 to 9; any other number gives "Dreams".
std::string SongTitle(int16_t number);

// Reseeds from the clock and returns floor((a - b + 1) * r + b), r the next
// value in [0, 1). a - b + 1 wraps as a 16-bit integer; a result outside the
// 16-bit range is clamped to it.
int16_t RandomInt(MusicHost& host, int16_t a, int16_t b);

// Path of a built-in song's file: <program folder>\QR06V2XLM\MCI\<title>.seq
std::string SequenceFile(MusicHost& host, const std::string& title);

// The player: its state and the platform it plays on. The program makes one
// and hands it to whichever form plays music (the screensaver window or the
// settings dialog); nothing about the player lives outside it.
class MusicPlayer {
 public:
  explicit MusicPlayer(MusicHost& host) : host_(host) {}
  MusicPlayer(const MusicPlayer&) = delete;
  MusicPlayer& operator=(const MusicPlayer&) = delete;

  MusicHost& host() { return host_; }

  // True from the moment a play command was sent (whether or not it worked)
  // until StopMusic.
  bool MusicPlaying = false;
  // The user's song: its long path inside double quotes. It is the device name
  // of every command for that song.
  std::string CustomSongPath;
  // Length of the open built-in song as the text of a number (a leading blank
  // before a non-negative one). Only ever compared by numeric value.
  std::string SongLength;
  // Reply buffer of the "QrvMid" status queries. It keeps its content between
  // queries; a reply overwrites it from the start.
  char MciReply[kMciReplySize] = {};

  // Closes "QrvMid", opens the sequence at short_path as "QrvMid" and stores
  // its length in SongLength.
  void OpenSequence(const std::string& short_path);
  // Plays "QrvMid" from the start; sets MusicPlaying.
  void PlaySequence();
  // Opens the device named by CustomSongPath.
  void OpenCustomSong();
  // Plays the device named by CustomSongPath; sets MusicPlaying.
  void PlayCustomSong();
  // One loop check of the built-in song: restarts it when its position equals
  // its length. The caller polls only while MusicPlaying.
  void PollSequence();
  // One loop check of the user's song: reopens and replays it when its position
  // is at or past its length. The caller polls only while MusicPlaying.
  void PollCustomSong();
  // Switches the poll timer off, runs after_timer_off (the screensaver stops its
  // movies there), lets messages run once, closes both devices and clears
  // MusicPlaying. All three commands are sent whatever was playing.
  void StopMusic(const std::function<void()>& after_timer_off = nullptr);

  // Screensaver side: opens the configured song during loading.
  void PrepareMusic(SettingsPort& settings);
  // Screensaver side: plays what PrepareMusic opened and arms the 600 ms poll.
  void StartMusic(SettingsPort& settings);
  // Screensaver side: one tick of the 600 ms poll timer.
  void TmMusic_Tick(SettingsPort& settings);

 private:
  MusicHost& host_;
};

// Interval of the screensaver's poll timer.
constexpr unsigned kTmMusicInterval = 600;

}  // namespace Module1
