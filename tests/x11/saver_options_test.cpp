#include "saver_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "music/music_player.h"

namespace {

ParseResult Parse(std::vector<std::string> args) { return ParseOptions(args); }

TEST(SaverOptions, DefaultsWithoutArguments) {
  const ParseResult r = Parse({});
  ASSERT_TRUE(r.ok);
  EXPECT_FALSE(r.options.root);
  EXPECT_FALSE(r.options.has_window_id);
  EXPECT_TRUE(r.options.visualisation.empty());
  EXPECT_EQ(r.options.background, BackgroundChoice::BuiltinPicture);
  EXPECT_FALSE(r.options.music);
  EXPECT_EQ(r.options.song, 0);
  EXPECT_EQ(r.options.quality, QualityChoice::Auto);
  EXPECT_FALSE(r.options.fps);
}

TEST(SaverOptions, EverySwitchWithOneOrTwoDashes) {
  for (const char* dash : {"-", "--"}) {
    const std::string d = dash;
    const ParseResult r =
        Parse({d + "root", d + "window-id", "0x2a00007", d + "visualisation", "Waves", d + "background", "none",
               d + "music", d + "song", "7", d + "quality", "high", d + "fps", d + "display", ":5"});
    ASSERT_TRUE(r.ok) << d << r.error;
    EXPECT_TRUE(r.options.root);
    EXPECT_TRUE(r.options.has_window_id);
    EXPECT_EQ(r.options.window_id, 0x2a00007ul);
    EXPECT_EQ(r.options.visualisation, "Waves");
    EXPECT_EQ(r.options.background, BackgroundChoice::NoPicture);
    EXPECT_TRUE(r.options.music);
    EXPECT_EQ(r.options.song, 7);
    EXPECT_EQ(r.options.quality, QualityChoice::High);
    EXPECT_TRUE(r.options.fps);
    EXPECT_EQ(r.options.display, ":5");
  }
}

TEST(SaverOptions, LaterSwitchWins) {
  const ParseResult r = Parse({"-music", "-no-music", "-fps", "-no-fps", "-song", "3", "-song", "random",
                               "-quality", "low", "-quality", "auto"});
  ASSERT_TRUE(r.ok);
  EXPECT_FALSE(r.options.music);
  EXPECT_FALSE(r.options.fps);
  EXPECT_EQ(r.options.song, 0);
  EXPECT_EQ(r.options.quality, QualityChoice::Auto);
}

TEST(SaverOptions, BadCommandLinesAreRefusedWithTheirReason) {
  struct Case {
    std::vector<std::string> args;
    const char* error_part;
  };
  const Case cases[] = {
      {{"-song", "0"}, "-song takes"},        {{"-song", "10"}, "-song takes"},
      {{"-song", "3x"}, "-song takes"},       {{"-song"}, "needs a value"},
      {{"-quality", "best"}, "-quality takes"}, {{"-background", "desktop"}, "-background takes"},
      {{"-window-id", "zz"}, "not a window id"}, {{"-window-id", "0"}, "not a window id"},
      {{"-window-id"}, "needs a value"},      {{"-visualisation"}, "needs a value"},
      {{"-speed", "2"}, "unknown option: -speed"}, {{"stray"}, "unknown option: stray"},
      {{"---root"}, "unknown option"},        {{"-"}, "unknown option"},
  };
  for (const Case& c : cases) {
    const ParseResult r = Parse(c.args);
    EXPECT_FALSE(r.ok) << c.args[0];
    EXPECT_NE(r.error.find(c.error_part), std::string::npos) << c.args[0] << ": " << r.error;
  }
}

TEST(SaverOptions, WindowIds) {
  struct Case {
    const char* text;
    bool ok;
    unsigned long id;
  };
  const Case cases[] = {
      {"0x1e00003", true, 0x1e00003}, {"0X1E00003", true, 0x1e00003}, {"31457283", true, 31457283},
      {"0xFFFFFFFF", true, 0xFFFFFFFFul}, {"0x100000000", false, 0}, {"4294967296", false, 0},
      {"0", false, 0},    {"0x", false, 0},  {"", false, 0},     {"12ab", false, 0},
      {"-5", false, 0},   {" 12", false, 0}, {"0x00000000000000000001", false, 0},
  };
  for (const Case& c : cases) {
    unsigned long id = 0;
    EXPECT_EQ(ParseWindowId(c.text, &id), c.ok) << c.text;
    if (c.ok) EXPECT_EQ(id, c.id) << c.text;
  }
}

TEST(SaverOptions, TargetWindowOrder) {
  SaverOptions o;
  EXPECT_EQ(ChooseTarget(o, nullptr).kind, TargetKind::OwnWindow);
  o.root = true;
  EXPECT_EQ(ChooseTarget(o, nullptr).kind, TargetKind::Root);
  // XScreenSaver 6 passes --root and names its window in the environment.
  Target t = ChooseTarget(o, "0x400007");
  EXPECT_EQ(t.kind, TargetKind::Window);
  EXPECT_EQ(t.window, 0x400007ul);
  EXPECT_EQ(ChooseTarget(o, "garbage").kind, TargetKind::Root);
  o.has_window_id = true;
  o.window_id = 77;
  t = ChooseTarget(o, "0x400007");
  EXPECT_EQ(t.kind, TargetKind::Window);
  EXPECT_EQ(t.window, 77ul);
}

TEST(SaverOptions, VisualisationPaths) {
  const std::string d = "/usr/share/qrvsaver";
  EXPECT_EQ(VisualisationPath(d, ""), d + "/(Default).vsi");
  EXPECT_EQ(VisualisationPath(d, "Waves"), d + "/Waves.vsi");
  EXPECT_EQ(VisualisationPath(d, "(Default)"), d + "/(Default).vsi");
  EXPECT_EQ(VisualisationPath(d, "/home/u/Mine.vsi"), "/home/u/Mine.vsi");
  EXPECT_EQ(VisualisationPath(d, "./movie.json"), "./movie.json");
  EXPECT_EQ(VisualisationPath(d, "Mine.vsi"), "Mine.vsi");
}

}  // namespace

namespace {

// Every switch the settings program may pass, as qrvsaver.xml writes it,
// is one the hack understands, and its song names are the hack's songs.
TEST(SaverOptions, ConfigurationFileSpeaksTheHacksLanguage) {
  std::ifstream f(std::string(QRV_SOURCE_DIR) + "/src/x11/package/qrvsaver.xml");
  ASSERT_TRUE(f);
  const std::string xml((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const std::regex arg_re("arg(?:-set|-unset)?=\"([^\"]*)\"");
  int seen = 0;
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), arg_re); it != std::sregex_iterator(); ++it) {
    std::string cmd = (*it)[1];
    const size_t pct = cmd.find('%');
    if (pct != std::string::npos) cmd.replace(pct, 1, "Waves");
    std::istringstream words(cmd);
    std::vector<std::string> args{std::istream_iterator<std::string>(words), std::istream_iterator<std::string>()};
    const ParseResult r = ParseOptions(args);
    EXPECT_TRUE(r.ok) << cmd << ": " << r.error;
    ++seen;
  }
  EXPECT_GE(seen, 15);
  const std::regex song_re("_label=\"([^\"]*)\" arg-set=\"--song (\\d)\"");
  int songs = 0;
  for (auto it = std::sregex_iterator(xml.begin(), xml.end(), song_re); it != std::sregex_iterator(); ++it) {
    EXPECT_EQ((*it)[1].str(), Module1::SongTitle(static_cast<int16_t>(std::stoi((*it)[2])))) << (*it)[0];
    ++songs;
  }
  EXPECT_EQ(songs, 9);
}

}  // namespace
