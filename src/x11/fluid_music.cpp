#include "fluid_music.h"

#include <fluidsynth.h>

#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <stdlib.h>
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
  cancel_ = true;
  if (loader_.joinable()) loader_.join();
  std::lock_guard<std::mutex> lock(mutex_);
  Free(parts_);
  parts_ = nullptr;
}

bool FluidMusic::Playing() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return parts_ != nullptr && parts_->player != nullptr;
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
  if (!p->synth) return Free(p), false;
  // The sound servers first, then the sound card itself. A server that is not
  // running is never started for us. The audio libraries below fluidsynth
  // write their own complaints to stderr when there is no device; silence
  // is the whole answer then, so stderr is closed while the drivers are tried.
  const int saved_stderr = dup(STDERR_FILENO);
  const int null_fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved_stderr >= 0 && null_fd >= 0) dup2(null_fd, STDERR_FILENO);
  // QRVSAVER_AUDIO_FILE sends the sound to a file instead, in real time: the
  // tests listen to it there.
  const char* to_file = std::getenv("QRVSAVER_AUDIO_FILE");
  const bool file_out = to_file && *to_file && fluid_settings_setstr(p->settings, "audio.file.name", to_file) == FLUID_OK;
  const std::vector<const char*> drivers =
      file_out ? std::vector<const char*>{"file"} : std::vector<const char*>{"pipewire", "pulseaudio", "alsa"};
  for (const char* driver : drivers) {
    if (fluid_settings_setstr(p->settings, "audio.driver", driver) != FLUID_OK) continue;
    p->driver = new_fluid_audio_driver(p->settings, p->synth);
    if (p->driver) break;
  }
  if (saved_stderr >= 0 && null_fd >= 0) dup2(saved_stderr, STDERR_FILENO);
  if (null_fd >= 0) close(null_fd);
  if (saved_stderr >= 0) close(saved_stderr);
  if (!p->driver) return Free(p), false;
  // The driver plays the synth's silence until the song starts.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    parts_ = p;
  }
  cancel_ = false;
  try {
    loader_ = std::thread([this, p, song_file, sound_font] {
      if (cancel_ || fluid_synth_sfload(p->synth, sound_font.c_str(), 1) == FLUID_FAILED || cancel_) return;
      fluid_player_t* player = new_fluid_player(p->synth);
      if (!player) return;
      if (fluid_player_add(player, song_file.c_str()) != FLUID_OK) {
        delete_fluid_player(player);
        return;
      }
      fluid_player_set_loop(player, -1);
      std::lock_guard<std::mutex> lock(mutex_);
      p->player = player;  // freed with the other parts
      if (!cancel_) fluid_player_play(player);
    });
  } catch (...) {
    Stop();  // no thread to be had: silence
    return false;
  }
  return true;
}
