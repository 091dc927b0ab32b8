#include "fluid_music.h"

#include <fluidsynth.h>

#include <unistd.h>

struct MusicParts {
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  fluid_audio_driver_t* driver = nullptr;
};

namespace {

void Quiet(int, const char*, void*) {}

void Free(MusicParts* p) {
  if (!p) return;
  if (p->player) fluid_player_stop(p->player);
  // The driver's thread drives the synth and the player: it goes first.
  if (p->driver) delete_fluid_audio_driver(p->driver);
  if (p->player) delete_fluid_player(p->player);
  if (p->synth) delete_fluid_synth(p->synth);
  if (p->settings) delete_fluid_settings(p->settings);
  delete p;
}

}  // namespace

FluidMusic::~FluidMusic() { Stop(); }

void FluidMusic::Stop() {
  Free(parts_);
  parts_ = nullptr;
}

bool FluidMusic::Start(const std::string& song_file, const std::string& sound_font) {
  Stop();
  if (access(song_file.c_str(), R_OK) != 0 || access(sound_font.c_str(), R_OK) != 0) return false;
  // The library reports a missing audio device on stderr; silence is the answer here.
  for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) fluid_set_log_function(level, Quiet, nullptr);
  auto* p = new MusicParts;
  p->settings = new_fluid_settings();
  if (!p->settings) return Free(p), false;
  p->synth = new_fluid_synth(p->settings);
  if (!p->synth || fluid_synth_sfload(p->synth, sound_font.c_str(), 1) == FLUID_FAILED) return Free(p), false;
  // The sound servers first, then the sound card itself. A server that is not
  // running is never started for us.
  for (const char* driver : {"pipewire", "pulseaudio", "alsa"}) {
    if (fluid_settings_setstr(p->settings, "audio.driver", driver) != FLUID_OK) continue;
    p->driver = new_fluid_audio_driver(p->settings, p->synth);
    if (p->driver) break;
  }
  if (!p->driver) return Free(p), false;
  p->player = new_fluid_player(p->synth);
  if (!p->player || fluid_player_add(p->player, song_file.c_str()) != FLUID_OK) return Free(p), false;
  fluid_player_set_loop(p->player, -1);
  if (fluid_player_play(p->player) != FLUID_OK) return Free(p), false;
  parts_ = p;
  return true;
}
