#include "music/music_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "settings/numeric.h"

namespace {

using Log = std::vector<std::string>;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Records every call in order. MCI replies are scripted per command; a command
// without a scripted reply leaves the buffer untouched, as a failing device does.
// The file system is case-insensitive, like the real one.
class FakeHost : public Module1::MusicHost {
 public:
  struct MciCall {
    std::string command;
    const char* buffer;
    unsigned size;
  };

  void SendMci(const std::string& command, char* reply, unsigned reply_size) override {
    log.push_back(command);
    calls.push_back({command, reply, reply_size});
    auto it = replies.find(command);
    if (it == replies.end() || it->second.empty() || reply == nullptr) return;
    const std::string text = it->second.front();
    it->second.pop_front();
    if (terminate_replies) {
      const size_t n = std::min<size_t>(text.size(), reply_size - 1);
      std::copy_n(text.data(), n, reply);
      reply[n] = '\0';
    } else {  // a reply that fills the whole buffer, with no room for a NUL
      for (unsigned i = 0; i < reply_size; ++i) reply[i] = text[i % text.size()];
    }
  }
  bool FileExists(const std::string& path) override {
    const std::string p = Lower(path);
    if (p.empty()) return false;
    for (const auto& f : files) {
      if (f.first == p || f.second == p) return true;
    }
    return false;
  }
  std::string GetShortPath(const std::string& path) override {
    auto it = files.find(Lower(path));
    return it == files.end() ? "" : short_case.at(it->second);
  }
  std::string ProgramFolder() override { return "C:\\Program Files\\Qrv Saver"; }
  void DoEvents() override { log.push_back("DoEvents"); }
  void SetPollTimer(unsigned interval_ms) override { log.push_back("SetPollTimer " + std::to_string(interval_ms)); }
  void Randomize() override { ++randomized; }
  float Rnd() override {
    ++drawn;
    if (draws.empty()) return 0.5f;
    const float r = draws.front();
    draws.pop_front();
    return r;
  }

  void AddFile(const std::string& long_path, const std::string& short_path) {
    files[Lower(long_path)] = Lower(short_path);
    short_case[Lower(short_path)] = short_path;
  }

  Log log;
  std::vector<MciCall> calls;
  std::map<std::string, std::deque<std::string>> replies;
  bool terminate_replies = true;
  std::map<std::string, std::string> files;       // long path -> short path, lower case
  std::map<std::string, std::string> short_case;  // short path as the system spells it
  std::deque<float> draws;
  int randomized = 0;
  int drawn = 0;
};

class FakeSettings : public SettingsPort {
 public:
  std::string ReadSetting(const std::string& app, const std::string& name) override {
    ++reads[name];
    if (app != kAppName) return "";
    auto it = values.find(name);
    return it == values.end() ? "" : it->second;
  }
  std::string WriteSetting(const std::string&, const std::string& name, const std::string& value) override {
    values[name] = value;
    return "True";
  }
  std::string CreateSettingsKey(const std::string&) override { return "True"; }

  std::map<std::string, std::string> values;
  std::map<std::string, int> reads;
};

const std::string kMci = "C:\\Program Files\\Qrv Saver\\QR06V2XLM\\MCI\\";
const std::string kShortMci = "C:\\PROGRA~1\\QRVSAV~1\\QR06V2XLM\\MCI\\";
const std::string kUserSong = "C:\\My Music\\night drive.mp3";
const std::string kQuotedUserSong = "\"" + kUserSong + "\"";
const float kJustBelowOne = std::nextafter(1.0f, 0.0f);

std::string Open(const std::string& short_name) {
  return "open " + kShortMci + short_name + " type sequencer alias QrvMid";
}

class MusicPlayer : public ::testing::Test {
 protected:
  // A fresh player on the same host: the state of a new run.
  void Renew() { player = std::make_unique<Module1::MusicPlayer>(host); }
  FakeHost host;
  FakeSettings settings;
  std::unique_ptr<Module1::MusicPlayer> player = std::make_unique<Module1::MusicPlayer>(host);
};

TEST(SongTitle, NumbersOutsideOneToNineGiveDreams) {
  const struct { int16_t n; const char* title; } cases[] = {
      {1, "Sandstorm"},     {2, "A never ending dream"},    {3, "the Drive"},     {4, "Bullet in the gun"},
      {5, "Dreams"},        {6, "Heaven"},                  {7, "Seven days and one week"},
      {8, "Feel the beat"}, {9, "Velmara 2004"},            {0, "Dreams"},        {10, "Dreams"},
      {-1, "Dreams"},       {32767, "Dreams"},              {-32768, "Dreams"},
  };
  for (const auto& c : cases) EXPECT_EQ(Module1::SongTitle(c.n), c.title) << c.n;
}

TEST_F(MusicPlayer, RandomIntReseedsAndScalesTheDraw) {
  const struct { int16_t a, b; float r; int16_t expected; } cases[] = {
      {0, 10, 0.0f, 10},          // the only way to draw 10
      {0, 10, kJustBelowOne, 1},  // never 0
      {0, 10, 0.5f, 5},           {0, 10, 0.25f, 7},     {1, 6, 0.5f, 4},
      {6, 1, 0.5f, 4},            {-5, -5, 0.7f, -5},
      {-32768, 32767, kJustBelowOne, 32767},  // span wraps to 2; 32768 is clamped
  };
  for (const auto& c : cases) {
    host.draws = {c.r};
    const int before = host.randomized;
    EXPECT_EQ(Module1::RandomInt(host, c.a, c.b), c.expected) << c.a << "," << c.b << " r=" << c.r;
    EXPECT_EQ(host.randomized, before + 1);
  }
}

TEST_F(MusicPlayer, OperationsSendTheirExactCommands) {
  host.replies["status QrvMid length"] = {"61440"};
  player->OpenSequence(kShortMci + "HEAVEN.SEQ");
  EXPECT_FALSE(player->MusicPlaying);
  player->PlaySequence();
  EXPECT_TRUE(player->MusicPlaying);

  player->MusicPlaying = false;
  player->CustomSongPath = kQuotedUserSong;
  player->OpenCustomSong();
  EXPECT_FALSE(player->MusicPlaying);
  player->PlayCustomSong();
  EXPECT_TRUE(player->MusicPlaying);

  EXPECT_EQ(host.log, (Log{"close QrvMid", Open("HEAVEN.SEQ"), "status QrvMid length", "play QrvMid from 0",
                           "open \"C:\\My Music\\night drive.mp3\" type MPEGVideo",
                           "play \"C:\\My Music\\night drive.mp3\""}));
  // Only the status query passes a buffer: the persistent 255-character reply.
  for (const auto& call : host.calls) {
    if (call.command == "status QrvMid length") {
      EXPECT_EQ(call.buffer, player->MciReply);
      EXPECT_EQ(call.size, 255u);
    } else {
      EXPECT_EQ(call.buffer, nullptr) << call.command;
      EXPECT_EQ(call.size, 0u) << call.command;
    }
  }
  EXPECT_EQ(player->SongLength, " 61440");
}

TEST_F(MusicPlayer, SongLengthIsTheNumberOfTheReply) {
  const struct { const char* reply; const char* length; } cases[] = {
      {"61440", " 61440"}, {"0061440", " 61440"}, {"61440 ms", " 61440"},
      {"", " 0"},          {"abc", " 0"},         {nullptr, " 0"},  // no reply at all
      {"-5", "-5"},        {"1234.5", " 1234.5"},
  };
  for (const auto& c : cases) {
    Renew();
    host.replies.clear();
    if (c.reply) host.replies["status QrvMid length"] = {c.reply};
    player->OpenSequence("X");
    EXPECT_EQ(player->SongLength, c.length) << (c.reply ? c.reply : "(none)");
  }
}

TEST_F(MusicPlayer, ReplyFillingTheWholeBufferIsReadWithinIt) {
  host.terminate_replies = false;
  host.replies["status QrvMid length"] = {"7"};
  player->OpenSequence("X");
  EXPECT_EQ(Val(player->SongLength), Val(std::string(255, '7')));

  player->CustomSongPath = kQuotedUserSong;
  host.replies["status " + kQuotedUserSong + " length"] = {"9"};
  host.replies["status " + kQuotedUserSong + " position"] = {"1"};
  host.log.clear();
  player->PollCustomSong();  // 128 nines against 40 ones: no restart
  EXPECT_EQ(host.log.size(), 2u);
}

TEST_F(MusicPlayer, BuiltInSongRestartsOnlyWhenPositionEqualsLength) {
  const struct { const char* length; const char* position; bool restarts; } cases[] = {
      {"60000", "60000", true},   {"60000", "59999", false}, {"60000", "60001", false},
      {"60000", "060000", true},  {"60000", "60000 ", true}, {"60000", "0", false},
      {"1234.5", "1234.5", true}, {"abc", "xyz", true},      // both read as 0
      {"abc", nullptr, true},     // no reply: the buffer still holds "abc"
      {"60000", nullptr, true},   // no reply: the buffer still holds the length
  };
  for (const auto& c : cases) {
    Renew();
    host.replies.clear();
    host.replies["status QrvMid length"] = {c.length};
    if (c.position) host.replies["status QrvMid position"] = {c.position};
    player->OpenSequence("X");
    host.log.clear();
    host.calls.clear();
    player->PollSequence();
    Log expected{"status QrvMid position"};
    if (c.restarts) expected.push_back("play QrvMid from 0");
    EXPECT_EQ(host.log, expected) << c.length << " / " << (c.position ? c.position : "(none)");
    EXPECT_EQ(host.calls[0].buffer, player->MciReply);
    EXPECT_EQ(host.calls[0].size, 255u);
  }
}

TEST_F(MusicPlayer, UserSongRestartsWhenPositionReachesLength) {
  const std::string q = kQuotedUserSong;
  const struct { const char* length; const char* position; bool restarts; } cases[] = {
      {"180000", "179999", false}, {"180000", "180000", true}, {"180000", "180001", true},
      {"180000", "0", false},      {nullptr, nullptr, true},  // device cannot be queried: 0 >= 0
      {"junk", "", true},          {nullptr, "5", true},      {"5", nullptr, false},
  };
  for (const auto& c : cases) {
    host.replies.clear();
    host.log.clear();
    host.calls.clear();
    player->CustomSongPath = q;
    player->MusicPlaying = true;
    if (c.length) host.replies["status " + q + " length"] = {c.length};
    if (c.position) host.replies["status " + q + " position"] = {c.position};
    player->PollCustomSong();
    Log expected{"status " + q + " length", "status " + q + " position"};
    if (c.restarts) {
      expected.insert(expected.end(), {"stop " + q, "close " + q, "open " + q + " type MPEGVideo", "play " + q});
    }
    const std::string label = std::string(c.length ? c.length : "(none)") + " / " + (c.position ? c.position : "(none)");
    EXPECT_EQ(host.log, expected) << label;
    ASSERT_GE(host.calls.size(), 2u);
    EXPECT_EQ(host.calls[0].size, 128u);
    EXPECT_EQ(host.calls[1].size, 40u);
    EXPECT_NE(host.calls[0].buffer, player->MciReply);
    EXPECT_TRUE(player->MusicPlaying) << label;
  }
}

TEST_F(MusicPlayer, StopMusicAlwaysSendsItsThreeCommandsAfterTheTimerAndHook) {
  for (const std::string& q : {kQuotedUserSong, std::string()}) {
    host.log.clear();
    player->CustomSongPath = q;
    player->MusicPlaying = true;
    player->StopMusic([&] { host.log.push_back("movies stopped"); });
    EXPECT_EQ(host.log, (Log{"SetPollTimer 0", "movies stopped", "DoEvents", "close QrvMid", "stop " + q,
                             "close " + q}));
    EXPECT_FALSE(player->MusicPlaying);
    EXPECT_EQ(player->CustomSongPath, q);
  }
  host.log.clear();
  player->StopMusic();  // the dialog's stop: no hook
  EXPECT_EQ(host.log, (Log{"SetPollTimer 0", "DoEvents", "close QrvMid", "stop ", "close "}));
}

// PrepareMusic then StartMusic, as the load sequence runs them.
TEST_F(MusicPlayer, ScreensaverPreparesAndStartsTheConfiguredSong) {
  struct Files {
    bool heaven, sandstorm, dreams, user;
  };
  const struct {
    const char* name;
    std::map<std::string, std::string> settings;
    Files files;
    std::deque<float> draws;
    bool playing_before;
    Log expected;
    bool playing_after;
    int draws_used;
  } cases[] = {
      {"built-in song, short path, no quotes",
       {{"EnableSound", "1"}, {"SoundMCI", "1"}, {"SoundRND", "0"}, {"SoundID", "Heaven"}},
       {true, true, true, true}, {}, false,
       {"close QrvMid", Open("HEAVEN.SEQ"), "status QrvMid length", "play QrvMid from 0", "DoEvents",
        "SetPollTimer 600"},
       true, 0},
      {"title matched case-insensitively",
       {{"EnableSound", "1"}, {"SoundMCI", "1"}, {"SoundID", "HEAVEN"}},
       {true, false, false, false}, {}, false,
       {"close QrvMid", Open("HEAVEN.SEQ"), "status QrvMid length", "play QrvMid from 0", "DoEvents",
        "SetPollTimer 600"},
       true, 0},
      {"built-in song file missing", {{"EnableSound", "1"}, {"SoundMCI", "1"}, {"SoundID", "Heaven"}},
       {false, true, true, true}, {}, false, {}, false, 0},
      {"random song, fifth draw counts",
       {{"EnableSound", "1"}, {"SoundMCI", "1"}, {"SoundRND", "1"}, {"SoundID", "Heaven"}},
       {true, true, true, false}, {0.0f, 0.5f, 0.5f, 0.5f, kJustBelowOne}, false,
       {"close QrvMid", Open("SANDST~1.SEQ"), "status QrvMid length", "play QrvMid from 0", "DoEvents",
        "SetPollTimer 600"},
       true, 5},
      {"random draw of 10 plays Dreams",
       {{"EnableSound", "1"}, {"SoundMCI", "1"}, {"SoundRND", "1"}, {"SoundID", "Heaven"}},
       {true, true, true, false}, {0.5f, 0.5f, 0.5f, 0.5f, 0.0f}, false,
       {"close QrvMid", Open("DREAMS.SEQ"), "status QrvMid length", "play QrvMid from 0", "DoEvents",
        "SetPollTimer 600"},
       true, 5},
      {"random song opens but SoundID's file is missing: silence",
       {{"EnableSound", "1"}, {"SoundMCI", "1"}, {"SoundRND", "1"}, {"SoundID", "Heaven"}},
       {false, true, true, false}, {0.5f, 0.5f, 0.5f, 0.5f, kJustBelowOne}, false,
       {"close QrvMid", Open("SANDST~1.SEQ"), "status QrvMid length"}, false, 5},
      {"random song missing, SoundID's file present: plays whatever is open",
       {{"EnableSound", "1"}, {"SoundMCI", "1"}, {"SoundRND", "1"}, {"SoundID", "Heaven"}},
       {true, false, false, false}, {0.5f, 0.5f, 0.5f, 0.5f, kJustBelowOne}, false,
       {"play QrvMid from 0", "DoEvents", "SetPollTimer 600"}, true, 5},
      {"SoundRND \"01\" is not random",
       {{"EnableSound", "1"}, {"SoundMCI", "1"}, {"SoundRND", "01"}, {"SoundID", "Heaven"}},
       {true, true, true, false}, {}, false,
       {"close QrvMid", Open("HEAVEN.SEQ"), "status QrvMid length", "play QrvMid from 0", "DoEvents",
        "SetPollTimer 600"},
       true, 0},
      {"user's song, long path in quotes",
       {{"EnableSound", "1"}, {"SoundMCI", "0"}, {"SoundRND", "1"}, {"SoundID", kUserSong}},
       {true, true, true, true}, {}, false,
       {"open " + kQuotedUserSong + " type MPEGVideo", "play " + kQuotedUserSong, "SetPollTimer 600"}, true, 0},
      {"user's song missing: no timer", {{"EnableSound", "1"}, {"SoundMCI", "0"}, {"SoundID", kUserSong}},
       {true, true, true, false}, {}, false, {}, false, 0},
      {"user's song with no SoundID", {{"EnableSound", "1"}, {"SoundMCI", "0"}},
       {true, true, true, true}, {}, false, {}, false, 0},
      {"user's song while music plays", {{"EnableSound", "1"}, {"SoundMCI", "0"}, {"SoundID", kUserSong}},
       {true, true, true, true}, {}, true, {}, true, 0},
  };
  for (const auto& c : cases) {
    Renew();
    host = FakeHost();
    if (c.files.heaven) host.AddFile(kMci + "Heaven.seq", kShortMci + "HEAVEN.SEQ");
    if (c.files.sandstorm) host.AddFile(kMci + "Sandstorm.seq", kShortMci + "SANDST~1.SEQ");
    if (c.files.dreams) host.AddFile(kMci + "Dreams.seq", kShortMci + "DREAMS.SEQ");
    if (c.files.user) host.AddFile(kUserSong, "C:\\MYMUSI~1\\NIGHTD~1.MP3");
    host.draws = c.draws;
    settings.values = c.settings;
    player->MusicPlaying = c.playing_before;

    player->PrepareMusic(settings);
    player->StartMusic(settings);

    EXPECT_EQ(host.log, c.expected) << c.name;
    EXPECT_EQ(player->MusicPlaying, c.playing_after) << c.name;
    EXPECT_EQ(host.drawn, c.draws_used) << c.name;
    EXPECT_EQ(host.randomized, c.draws_used) << c.name;
    const bool user_song_opened = !c.expected.empty() && c.expected[0].rfind("open \"", 0) == 0;
    EXPECT_EQ(player->CustomSongPath, user_song_opened ? kQuotedUserSong : "") << c.name;
  }
}

TEST_F(MusicPlayer, ScreensaverPlaysNothingUnlessBothSwitchesReadExactlyOneOrZero) {
  host.AddFile(kMci + "Heaven.seq", kShortMci + "HEAVEN.SEQ");
  host.AddFile(kUserSong, "C:\\MYMUSI~1\\NIGHTD~1.MP3");
  const struct { const char* enable; const char* mci; const char* id; } cases[] = {
      {"0", "1", "Heaven"},  {"", "1", "Heaven"},   {"01", "1", "Heaven"}, {" 1", "1", "Heaven"},
      {"1 ", "1", "Heaven"}, {"True", "1", "Heaven"}, {"1", "2", "Heaven"}, {"1", "01", "Heaven"},
      {"1", "", "Heaven"},   {"1", " 1", "Heaven"}, {"1", "00", kUserSong.c_str()},
      {"1", "-1", kUserSong.c_str()},
  };
  for (const auto& c : cases) {
    host.log.clear();
    settings.values = {{"EnableSound", c.enable}, {"SoundMCI", c.mci}, {"SoundID", c.id}};
    player->PrepareMusic(settings);
    player->StartMusic(settings);
    EXPECT_TRUE(host.log.empty()) << '"' << c.enable << "\" / \"" << c.mci << '"';
    EXPECT_FALSE(player->MusicPlaying);
  }
}

TEST_F(MusicPlayer, TmMusicTickPollsTheSongThatSoundMciNames) {
  const std::string q = kQuotedUserSong;
  const struct { const char* sound_mci; bool playing; Log expected; int reads; } cases[] = {
      {"0", true, {"status " + q + " length", "status " + q + " position"}, 1},
      {"0", false, {}, 1},
      {"1", true, {"status QrvMid position"}, 2},
      {"1", false, {}, 2},
      {"2", true, {}, 2},
      {"", true, {}, 2},
      {"01", true, {}, 2},
  };
  for (const auto& c : cases) {
    host.log.clear();
    settings.reads.clear();
    settings.values = {{"SoundMCI", c.sound_mci}};
    player->CustomSongPath = q;
    player->SongLength = " 60000";
    host.replies["status " + q + " length"] = {"180000"};
    host.replies["status " + q + " position"] = {"1000"};
    host.replies["status QrvMid position"] = {"1000"};
    player->MusicPlaying = c.playing;
    player->TmMusic_Tick(settings);
    EXPECT_EQ(host.log, c.expected) << '"' << c.sound_mci << "\" " << c.playing;
    EXPECT_EQ(settings.reads["SoundMCI"], c.reads) << '"' << c.sound_mci << '"';
    EXPECT_EQ(player->MusicPlaying, c.playing);
  }
}

}  // namespace

TEST_F(MusicPlayer, SequencePathIsQuotedOnlyWhenItHoldsABlank) {
  const struct { const char* path; const char* open; } cases[] = {
      {"C:\\SAVER~1\\QR06V2XLM\\MCI\\THEDRI~1.SEQ",
       "open C:\\SAVER~1\\QR06V2XLM\\MCI\\THEDRI~1.SEQ type sequencer alias QrvMid"},
      // A volume without short names hands back the long path.
      {"D:\\Screen Savers\\QR06V2XLM\\MCI\\the Drive.seq",
       "open \"D:\\Screen Savers\\QR06V2XLM\\MCI\\the Drive.seq\" type sequencer alias QrvMid"},
  };
  for (const auto& c : cases) {
    host.log.clear();
    player->OpenSequence(c.path);
    ASSERT_EQ(host.log.size(), 3u);
    EXPECT_EQ(host.log[1], c.open);
  }
}
