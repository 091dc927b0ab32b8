#include "fluid_music.h"

#include <fluidsynth.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

// The synth and what plays it. The music object and the thread that reads
// the sound font own it together; the last of them to let go frees it.
struct MusicParts {
  std::mutex mutex;  // guards player, driver and the start of the song
  std::atomic<bool> cancel{false};
  fluid_settings_t* settings = nullptr;
  fluid_synth_t* synth = nullptr;
  fluid_player_t* player = nullptr;
  fluid_audio_driver_t* driver = nullptr;

  MusicParts() = default;
  MusicParts(const MusicParts&) = delete;
  MusicParts& operator=(const MusicParts&) = delete;
  ~MusicParts() {
    CloseAudio();
    if (player) delete_fluid_player(player);
    if (synth) delete_fluid_synth(synth);
    if (settings) delete_fluid_settings(settings);
  }

  // Stops the song and closes the audio device. The driver's thread drives
  // the synth and the player, so once it is gone nothing else touches them
  // but the reading thread. Called with mutex held, or by the last owner.
  void CloseAudio() {
    if (player) fluid_player_stop(player);
    if (driver) delete_fluid_audio_driver(driver);
    driver = nullptr;
  }
};

namespace {

void Quiet(int, const char*, void*) {}

// Reads the sound font into the synth and starts the song, unless the music
// was stopped meanwhile. Runs on a thread of its own; `parts` keeps what it
// works on alive however long the reading takes.
void LoadAndPlay(const std::shared_ptr<MusicParts>& parts, const std::string& song_file,
                 const std::string& sound_font) {
  // SIGTERM and SIGINT are the main thread's to take.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  if (parts->cancel) return;
  if (fluid_synth_sfload(parts->synth, sound_font.c_str(), 1) == FLUID_FAILED) return;
  std::lock_guard<std::mutex> lock(parts->mutex);
  if (parts->cancel) return;
  fluid_player_t* player = new_fluid_player(parts->synth);
  if (!player) return;
  if (fluid_player_add(player, song_file.c_str()) != FLUID_OK) {
    delete_fluid_player(player);
    return;
  }
  fluid_player_set_loop(player, -1);
  parts->player = player;  // freed with the other parts
  fluid_player_play(player);
}

}  // namespace

FluidMusic::~FluidMusic() { Stop(); }

void FluidMusic::Stop() {
  if (!parts_) return;
  {
    std::lock_guard<std::mutex> lock(parts_->mutex);
    parts_->cancel = true;
    parts_->CloseAudio();
  }
  // Still reading the sound font: the thread frees the synth when it ends.
  parts_.reset();
}

bool FluidMusic::Playing() const {
  if (!parts_) return false;
  std::lock_guard<std::mutex> lock(parts_->mutex);
  return parts_->player != nullptr && parts_->driver != nullptr;
}

bool FluidMusic::Start(const std::string& song_file, const std::string& sound_font) {
  Stop();
  if (access(song_file.c_str(), R_OK) != 0 || access(sound_font.c_str(), R_OK) != 0) return false;
  // The library reports a missing audio device on stderr; silence is the answer here.
  for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) fluid_set_log_function(level, Quiet, nullptr);
  auto p = std::make_shared<MusicParts>();
  p->settings = new_fluid_settings();
  if (!p->settings) return false;
  p->synth = new_fluid_synth(p->settings);
  if (!p->synth) return false;
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
  if (!p->driver) return false;
  // The driver plays the synth's silence until the song starts. The thread
  // is not waited for: reading the sound font can take many seconds, and
  // Stop must not.
  try {
    std::thread(LoadAndPlay, p, song_file, sound_font).detach();
  } catch (...) {
    return false;  // no thread to be had: silence (p closes the audio)
  }
  parts_ = std::move(p);
  return true;
}
