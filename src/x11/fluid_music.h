#pragma once
// Background music: one built-in MIDI song played in a loop through
// libfluidsynth with the General MIDI sound font. Where there is no audio
// device, no sound font or no song file, it stays silent and says nothing.
#include <memory>
#include <string>

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
  // Closes the audio at once, also while the sound font is still being read:
  // the reading thread is left to finish on its own and then frees the synth.
  void Stop();
  bool Playing() const;

 private:
  // Shared with the reading thread: whichever of the two lets go last frees it.
  std::shared_ptr<MusicParts> parts_;
};

// The sound font of Debian's fluid-soundfont-gm.
constexpr const char* kDefaultSoundFont = "/usr/share/sounds/sf2/FluidR3_GM.sf2";
