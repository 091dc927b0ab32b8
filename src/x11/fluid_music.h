#pragma once
// Background music: one built-in MIDI song played in a loop through
// libfluidsynth with the General MIDI sound font. Where there is no audio
// device, no sound font or no song file, it stays silent and says nothing.
#include <string>

struct MusicParts;

class FluidMusic {
 public:
  FluidMusic() = default;
  ~FluidMusic();  // closes the audio
  FluidMusic(const FluidMusic&) = delete;
  FluidMusic& operator=(const FluidMusic&) = delete;

  // Starts song_file looping; false (and silence) when it cannot be played.
  bool Start(const std::string& song_file, const std::string& sound_font);
  void Stop();
  bool Playing() const { return parts_ != nullptr; }

 private:
  MusicParts* parts_ = nullptr;
};

// The sound font of Debian's fluid-soundfont-gm.
constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
