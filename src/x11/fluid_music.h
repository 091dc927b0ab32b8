#pragma once
// Background music: one built-in MIDI song played in a loop through
// libfluidsynth with the General MIDI sound font. Where there is no audio
// device, no sound font or no song file, it stays silent and says nothing.
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

struct MusicParts;

class FluidMusic {
 public:
  FluidMusic() = default;
  ~FluidMusic();  // closes the audio
  FluidMusic(const FluidMusic&) = delete;
  FluidMusic& operator=(const FluidMusic&) = delete;

  // Opens the audio and starts song_file looping; false (and silence) when
  // there is no audio device, sound font or song file. The sound font (about
  // 140 MB) is read on a thread of its own, so the first pictures are not
  // held up; the song starts when it is read.
  bool Start(const std::string& song_file, const std::string& sound_font);
  // Closes the audio (after the sound font, if it is still being read).
  void Stop();
  bool Playing() const;

 private:
  std::thread loader_;
  std::atomic<bool> cancel_{false};
  mutable std::mutex mutex_;
  MusicParts* parts_ = nullptr;  // under mutex_
};

// The sound font of Debian's fluid-soundfont-gm.
constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
