#include "music/music_player.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "settings/numeric.h"

namespace Module1 {

namespace {

const char* const kAlias = "QrvMid";

// The text of a number: a leading blank before a non-negative value, and
// enough digits that reading it back gives the same value, so that a position
// reply compares equal to the length it matches.
std::string NumberText(double value) {
  char buf[40];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    std::snprintf(buf, sizeof buf, "%.0f", value);
  } else {
    std::snprintf(buf, sizeof buf, "%.15g", value);
    if (std::strtod(buf, nullptr) != value) std::snprintf(buf, sizeof buf, "%.17g", value);
  }
  return value >= 0 ? std::string(" ") + buf : std::string(buf);
}

void Send(MusicHost& host, const std::string& command) { host.SendMci(command, nullptr, 0); }

// Sends a status query with a fresh, empty buffer and reads its number; a
// reply without a number, or none at all, reads as 0.
double QueryNumber(MusicHost& host, const std::string& command, unsigned size) {
  std::vector<char> reply(size, '\0');
  host.SendMci(command, reply.data(), size);
  return Val(reply.data(), size);
}

std::string Read(SettingsPort& settings, const char* name) { return settings.ReadSetting(kAppName, name); }

}  // namespace

std::string SongTitle(int16_t number) {
  switch (number) {
    case 1: return "Sandstorm";
    case 2: return "A never ending dream";
    case 3: return "the Drive";
    case 4: return "Bullet in the gun";
    case 5: return "Dreams";
    case 6: return "Heaven";
    case 7: return "Seven days and one week";
    case 8: return "Feel the beat";
    case 9: return "Velmara 2004";
    default: return "Dreams";
  }
}

int16_t RandomInt(MusicHost& host, int16_t a, int16_t b) {
  host.Randomize();
  const float r = host.Rnd();
  const auto span = static_cast<int16_t>(static_cast<uint16_t>(a - b + 1));
  const float value = std::floor(static_cast<float>(span) * r + static_cast<float>(b));
  if (!(value >= -32768.0f)) return -32768;  // also catches NaN from a bad generator
  if (value > 32767.0f) return 32767;
  return static_cast<int16_t>(value);
}

std::string SequenceFile(MusicHost& host, const std::string& title) {
  return host.ProgramFolder() + "\\QR06V2XLM\\MCI\\" + title + ".seq";
}

void MusicPlayer::OpenSequence(const std::string& short_path) {
  Send(host_, std::string("close ") + kAlias);
  // A short path has no blanks, so it goes in bare. Where the volume keeps no
  // short names the long path comes back instead, and a blank in it would end
  // the file name early: that path is quoted.
  const std::string device =
      short_path.find(' ') == std::string::npos ? short_path : "\"" + short_path + "\"";
  Send(host_, "open " + device + " type sequencer alias " + kAlias);
  host_.SendMci(std::string("status ") + kAlias + " length", MciReply, kMciReplySize);
  SongLength = NumberText(Val(MciReply, kMciReplySize));
}

void MusicPlayer::PlaySequence() {
  Send(host_, std::string("play ") + kAlias + " from 0");
  MusicPlaying = true;
}

void MusicPlayer::OpenCustomSong() { Send(host_, "open " + CustomSongPath + " type MPEGVideo"); }

void MusicPlayer::PlayCustomSong() {
  Send(host_, "play " + CustomSongPath);
  MusicPlaying = true;
}

void MusicPlayer::PollSequence() {
  host_.SendMci(std::string("status ") + kAlias + " position", MciReply, kMciReplySize);
  // Only exact equality restarts: a sequencer that reached its end reports
  // its length as the position.
  if (Val(MciReply, kMciReplySize) == Val(SongLength)) Send(host_, std::string("play ") + kAlias + " from 0");
}

void MusicPlayer::PollCustomSong() {
  const std::string& q = CustomSongPath;
  const double length = QueryNumber(host_, "status " + q + " length", kCustomLengthReplySize);
  const double position = QueryNumber(host_, "status " + q + " position", kCustomPositionReplySize);
  if (position >= length) {
    Send(host_, "stop " + q);
    Send(host_, "close " + q);
    Send(host_, "open " + q + " type MPEGVideo");
    Send(host_, "play " + q);
  }
}

void MusicPlayer::StopMusic(const std::function<void()>& after_timer_off) {
  host_.SetPollTimer(0);
  if (after_timer_off) after_timer_off();
  host_.DoEvents();
  Send(host_, std::string("close ") + kAlias);
  Send(host_, "stop " + CustomSongPath);
  Send(host_, "close " + CustomSongPath);
  MusicPlaying = false;
}

void MusicPlayer::PrepareMusic(SettingsPort& settings) {
  if (Read(settings, "EnableSound") != "1") return;
  const std::string sound_mci = Read(settings, "SoundMCI");
  if (sound_mci == "1") {
    std::string title;
    if (Read(settings, "SoundRND") == "1") {
      int16_t n = 0;
      for (int i = 0; i < 5; ++i) n = RandomInt(host_, 0, 10);
      title = SongTitle(n);
    } else {
      title = Read(settings, "SoundID");
    }
    const std::string p = host_.GetShortPath(SequenceFile(host_, title));
    if (host_.FileExists(p)) OpenSequence(p);
  } else if (sound_mci == "0") {
    const std::string file = Read(settings, "SoundID");
    if (host_.FileExists(file) && !MusicPlaying) {
      CustomSongPath = "\"" + file + "\"";
      OpenCustomSong();
    }
  }
}

void MusicPlayer::StartMusic(SettingsPort& settings) {
  if (Read(settings, "EnableSound") != "1") return;
  const std::string sound_mci = Read(settings, "SoundMCI");
  if (sound_mci == "1") {
    // The configured song's file decides, even when PrepareMusic opened a
    // random one; whatever is open under the alias plays.
    if (host_.FileExists(SequenceFile(host_, Read(settings, "SoundID")))) {
      PlaySequence();
      host_.DoEvents();
      host_.SetPollTimer(kTmMusicInterval);
    }
  } else if (sound_mci == "0") {
    if (host_.FileExists(Read(settings, "SoundID")) && !MusicPlaying) {
      PlayCustomSong();
      host_.SetPollTimer(kTmMusicInterval);
    }
  }
}

void MusicPlayer::TmMusic_Tick(SettingsPort& settings) {
  if (Read(settings, "SoundMCI") == "0") {
    if (MusicPlaying) PollCustomSong();
  } else if (Read(settings, "SoundMCI") == "1" && MusicPlaying) {
    PollSequence();
  }
}

}  // namespace Module1
