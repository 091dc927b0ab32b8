#include "saver/frm_app_logic.h"
#include "saver/movie_frame.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// Settings held in memory, names matched without regard to case as the registry does.
class MemorySettings : public SettingsPort {
 public:
  static std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
  }
  std::string ReadSetting(const std::string&, const std::string& name) override {
    auto it = values.find(Lower(name));
    return it == values.end() ? "" : it->second;
  }
  std::string WriteSetting(const std::string&, const std::string& name, const std::string& value) override {
    values[Lower(name)] = value;
    writes.push_back(name + "=" + value);
    return "True";
  }
  std::string CreateSettingsKey(const std::string&) override { return "True"; }
  std::map<std::string, std::string> values;
  std::vector<std::string> writes;
};

// Records every platform action of the window, in order.
class RecordingHost : public FrmAppHost {
 public:
  SettingsPort& Settings() override { return settings; }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  std::string DataFolder() override { return "C:\\Saver\\QR06V2XLM\\"; }
  void ShowSystemModalMessage(const std::string& text, const std::string& title) override {
    Log("message " + title + ": " + text);
  }
  void LoadMovie(MovieLayer l, const std::string& path) override { Log("load " + Name(l) + " " + path); }
  void PlayMovie(MovieLayer l) override { Log("play " + Name(l)); }
  void StopMovie(MovieLayer l) override { Log("stop " + Name(l)); }
  void StopPlayMovie(MovieLayer l) override { Log("stopplay " + Name(l)); }
  void PlaceMovie(float l, float t, float w, float h) override {
    movie = {l, t, w, h};
    Log("place Movie");
  }
  void GetMovieOrigin(float* l, float* t) override {
    *l = movie[0];
    *t = movie[1];
  }
  void PlaceTitle(float w, float h) override { Log("place MovTitle " + std::to_string(int(w)) + "x" + std::to_string(int(h))); }
  void SetImgFondoVisible(bool v) override { Log(v ? "show ImgFondo" : "hide ImgFondo"); }
  void SetCoverVisible(bool v) override { Log(v ? "show FrmLoad" : "hide FrmLoad"); }
  void CaptureDesktopBackground() override { Log("capture"); }
  void DoEvents() override {
    Log("DoEvents");
    if (on_do_events) on_do_events();
  }
  bool GetDisplayMode(uint32_t* w, uint32_t* h) override {
    *w = display_w;
    *h = display_h;
    return display_ok;
  }
  void GetClientSize(int* w, int* h) override {
    *w = client_w;
    *h = client_h;
  }
  void SetCursorPos(int x, int y) override {
    cursor_x = x;
    cursor_y = y;
    Log("cursor " + std::to_string(x) + "," + std::to_string(y));
  }
  void GetCursorPos(int* x, int* y) override {
    *x = cursor_x;
    *y = cursor_y;
  }
  void ShowCursor(bool show) override {
    cursor_count += show ? 1 : -1;
    Log(show ? "show cursor" : "hide cursor");
  }
  bool GetScreenSaveActive() override {
    Log("read activation");
    return screen_save_active;
  }
  void SetScreenSaveActive(bool a) override {
    screen_save_active = a;
    Log(a ? "activation on" : "activation off");
  }
  void StopLoadTimer() override { Log("TimerLoad off"); }
  void ExitProgram() override { Log("exit"); }
  PowerState ReadPowerState() override { return power; }
  void ApplyDrawLimits(const DrawLimits& l) override { limits.push_back(l); }
  PowerState power;
  std::vector<DrawLimits> limits;  // every change asked for, in order

  bool ReadDisplayLayout(DisplayLayout* l) override {
    *l = monitors;
    return monitors_ok;
  }
  void PlaceWindow(const ScreenRect& r) override {
    window = r;
    client_w = r.Width();
    client_h = r.Height();
    Log("window " + std::to_string(r.Width()) + "x" + std::to_string(r.Height()));
  }
  std::vector<ScreenRect> CoverAreas() override { return covers; }
  void ChangeCovers(const CoverPlan& plan) override {
    for (auto it = plan.close.rbegin(); it != plan.close.rend(); ++it) covers.erase(covers.begin() + long(*it));
    for (const ScreenRect& r : plan.open) covers.push_back(r);
    Log("covers -" + std::to_string(plan.close.size()) + " +" + std::to_string(plan.open.size()));
  }
  void LayoutApplied() override { Log("relayout"); }
  DisplayLayout monitors{{0, 0, 1024, 768}, {}};
  bool monitors_ok = true;
  ScreenRect window{0, 0, 1024, 768};
  std::vector<ScreenRect> covers;

  static std::string Name(MovieLayer l) {
    return l == MovieLayer::FlashLoad ? "FlashLoad" : l == MovieLayer::Movie ? "Movie" : "MovTitle";
  }
  void Log(const std::string& s) { log.push_back(s); }
  bool Logged(const std::string& s) const {
    for (const auto& e : log) if (e == s) return true;
    return false;
  }

  MemorySettings settings;
  std::set<std::string> files{"C:\\Saver\\QR06V2XLM\\(Default).vsi", "C:\\Saver\\QR06V2XLM\\MCI\\Dreams.seq",
                              "C:\\Saver\\QR06V2XLM\\MCI\\Sandstorm.seq"};
  std::vector<std::string> log;
  std::vector<float> movie{0, 0, 0, 0};
  uint32_t display_w = 1024, display_h = 768;
  bool display_ok = true;
  int client_w = 1024, client_h = 768;
  int cursor_x = 0, cursor_y = 0;
  int cursor_count = 0;
  bool screen_save_active = true;  // the session's activation
  std::function<void()> on_do_events;

  // The music platform of the same run: its commands go into the same log,
  // its message pump is the window's.
  class Music : public Module1::MusicHost {
   public:
    explicit Music(RecordingHost& host) : host_(host) {}
    void SendMci(const std::string& command, char* reply, unsigned reply_size) override {
      host_.Log("mci " + command);
      if (reply && reply_size) reply[0] = '\0';
    }
    bool FileExists(const std::string& path) override { return host_.files.count(path) > 0; }
    std::string GetShortPath(const std::string& path) override { return host_.files.count(path) ? path : ""; }
    std::string ProgramFolder() override { return "C:\\Saver"; }
    void DoEvents() override { host_.DoEvents(); }
    void SetPollTimer(unsigned ms) override { host_.Log("music timer " + std::to_string(ms)); }
    void Randomize() override {}
    float Rnd() override { return 0.0f; }

   private:
    RecordingHost& host_;
  };
  Music music_host{*this};
  Module1::MusicPlayer music{music_host};
};

// What the unload's stop of the music and movies does, in order.
const std::vector<std::string> kStopMusic{"music timer 0", "stop Movie",      "stop MovTitle", "DoEvents",
                                          "mci close QrvMid", "mci stop ", "mci close "};

void RunSteps(FrmAppLogic& logic, int n) {
  for (int i = 0; i < n; ++i) logic.TimerLoad_Timer();
}

}  // namespace

TEST(FrmAppLogic, FirstStartWritesDefaultsThenRunsTheFiveStepsInOrder) {
  RecordingHost host;
  FrmAppLogic logic(host, host.music);
  logic.Form_Load();
  RunSteps(logic, 5);
  const std::vector<std::string> writes{"EnableSound=1", "FileID=(Default)", "SoundMCI=1", "SoundID=Sandstorm",
                                        "SoundRND=1",    "UseBackGround=0", "InsKo=regkoinic"};
  EXPECT_EQ(host.settings.writes, writes);
  const std::vector<std::string> expected{
      "read activation", "activation off", "load FlashLoad C:\\Saver\\QR06V2XLM\\QrvLoad.is", "hide cursor",
      // step 2
      "load Movie C:\\Saver\\QR06V2XLM\\(Default).vsi", "load MovTitle C:\\Saver\\QR06V2XLM\\QrvTtl.is",
      "stop MovTitle", "stop Movie",
      // step 3
      "hide ImgFondo", "mci close QrvMid", "mci open C:\\Saver\\QR06V2XLM\\MCI\\Dreams.seq type sequencer alias QrvMid",
      "mci status QrvMid length",
      // step 4
      "place Movie", "place MovTitle 1024x768",
      // step 5
      "mci play QrvMid from 0", "DoEvents", "music timer 600", "DoEvents", "hide FrmLoad", "cursor 45,129", "stopplay FlashLoad", "stop FlashLoad",
      "show ImgFondo", "play Movie", "play MovTitle", "TimerLoad off"};
  EXPECT_EQ(host.log, expected);
  EXPECT_FALSE(logic.Loading());
  EXPECT_EQ(Module1::StartCursorX, 45);
  EXPECT_EQ(Module1::StartCursorY, 129);
  // Further ticks do nothing.
  RunSteps(logic, 3);
  EXPECT_EQ(host.log.size(), expected.size());
}

TEST(FrmAppLogic, LayoutFollowsTheDisplayMode) {
  const struct { uint32_t w, h; float l, t, width, height; } cases[] = {
      {1024, 768, 34.56f, 119.04f, 958.72f, 578.5600512f},
      {1920, 1080, 64.8f, 167.4f, 1797.6f, 813.6000720f},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    host.display_w = c.w;
    host.display_h = c.h;
    FrmAppLogic logic(host, host.music);
    RunSteps(logic, 4);
    EXPECT_FLOAT_EQ(host.movie[0], c.l);
    EXPECT_FLOAT_EQ(host.movie[1], c.t);
    EXPECT_FLOAT_EQ(host.movie[2], c.width);
    EXPECT_FLOAT_EQ(host.movie[3], c.height);
  }
}

TEST(FrmAppLogic, ChosenVisualisationFallsBackToTheDefaultAndStoresIt) {
  const struct { const char* file_id; bool exists; const char* loaded; } cases[] = {
      {"Galaxy", true, "Galaxy"},
      {"Galaxy", false, "(Default)"},
      {"", false, "(Default)"},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    host.settings.values = {{"insko", "x"}, {"fileid", c.file_id}};
    if (c.exists) host.files.insert(std::string("C:\\Saver\\QR06V2XLM\\") + c.file_id + ".vsi");
    FrmAppLogic logic(host, host.music);
    RunSteps(logic, 2);
    EXPECT_EQ(host.settings.values["fileid"], c.loaded);
    EXPECT_TRUE(host.Logged(std::string("load Movie C:\\Saver\\QR06V2XLM\\") + c.loaded + ".vsi")) << c.file_id;
    EXPECT_EQ(host.settings.writes.empty(), c.exists);
  }
}

TEST(FrmAppLogic, MissingDefaultVisualisationShowsTheMessageAndEndsWithCursorBalanced) {
  RecordingHost host;
  host.files.clear();
  FrmAppLogic logic(host, host.music);
  logic.Form_Load();
  RunSteps(logic, 5);
  std::vector<std::string> tail{
      "TimerLoad off", "message ScreenSaver: An important file is missing, please reinstall the ScreenSaver",
      "cursor 512,384"};
  tail.insert(tail.end(), kStopMusic.begin(), kStopMusic.end());
  tail.insert(tail.end(), {"activation on", "show cursor", "exit"});
  ASSERT_GE(host.log.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(host.log.end() - tail.size(), host.log.end()), tail);
  EXPECT_EQ(host.cursor_count, 0);
  EXPECT_FALSE(host.Logged("load Movie C:\\Saver\\QR06V2XLM\\(Default).vsi"));
}

TEST(FrmAppLogic, BackgroundIsCapturedOnlyWhenTheSettingReadsAsOne) {
  const struct { const char* value; bool capture; } cases[] = {
      {"1", true}, {"1.0", true}, {" 1", true}, {"0", false}, {"", false}, {"yes", false}, {"2", false}, {"01", true},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    host.settings.values = {{"insko", "x"}, {"fileid", "(Default)"}, {"usebackground", c.value}};
    FrmAppLogic logic(host, host.music);
    RunSteps(logic, 5);
    EXPECT_EQ(host.Logged("capture"), c.capture) << '"' << c.value << '"';
  }
}

TEST(FrmAppLogic, MouseTestNeedsMoreThanFifteenPixelsRightAndDown) {
  const struct { int dx, dy; bool ends; } cases[] = {
      {16, 16, true},   {15, 16, false}, {16, 15, false}, {-100, 0, false},
      {0, 100, false},  {100, 0, false}, {-100, -100, false}, {200, 300, true},
  };
  for (const auto& c : cases) EXPECT_EQ(MouseEndsRun(100 + c.dx, 100 + c.dy, 100, 100), c.ends) << c.dx << "," << c.dy;
}

TEST(FrmAppLogic, MouseMovesCountOnlyAfterLoading) {
  RecordingHost host;
  FrmAppLogic logic(host, host.music);
  logic.Form_Load();
  RunSteps(logic, 4);
  host.cursor_x = 900;
  host.cursor_y = 700;
  logic.MouseMove();  // the cover is still up
  EXPECT_FALSE(logic.Unloading());
  logic.TimerLoad_Timer();  // step 5 moves the cursor to the movie's corner
  host.cursor_x = Module1::StartCursorX + 16;
  host.cursor_y = Module1::StartCursorY + 15;
  logic.MouseMove();
  EXPECT_FALSE(logic.Unloading());
  host.cursor_y += 1;
  logic.MouseMove();
  EXPECT_TRUE(logic.Unloading());
}

TEST(FrmAppLogic, UnloadRunsOnceEvenWhenInputArrivesDuringIt) {
  RecordingHost host;
  host.client_w = 1023;
  host.client_h = 767;
  FrmAppLogic logic(host, host.music);
  logic.Form_Load();
  // A click delivered by the unload's own message pump asks for the unload again.
  host.on_do_events = [&] { logic.Form_Unload(); logic.MouseMove(); };
  logic.Form_Unload();
  logic.Form_Unload();
  std::vector<std::string> tail{"cursor 512,384"};
  tail.insert(tail.end(), kStopMusic.begin(), kStopMusic.end());
  tail.insert(tail.end(), {"activation on", "show cursor", "exit"});
  EXPECT_EQ(std::vector<std::string>(host.log.end() - tail.size(), host.log.end()), tail);
  EXPECT_EQ(host.log.size(), 4 + tail.size());
  EXPECT_EQ(host.cursor_count, 0);
}

TEST(FrmAppLogic, InputDuringTheLastStepsPumpEndsTheRunThere) {
  RecordingHost host;
  FrmAppLogic logic(host, host.music);
  logic.Form_Load();
  RunSteps(logic, 4);
  // No song to start: the step's own pump is the one that sees the input.
  host.files.erase("C:\\Saver\\QR06V2XLM\\MCI\\Sandstorm.seq");
  host.on_do_events = [&] { logic.Form_Unload(); };
  logic.TimerLoad_Timer();
  EXPECT_EQ(host.log.back(), "exit");
  EXPECT_FALSE(host.Logged("play Movie"));
}

TEST(FrmAppLogic, HalvesRoundToTheEvenPixel) {
  const struct { double v; int r; } cases[] = {{511.5, 512}, {512.5, 512}, {44.56, 45}, {-0.5, 0}, {1e12, 2147483647}};
  for (const auto& c : cases) EXPECT_EQ(RoundToPixel(c.v), c.r) << c.v;
}

TEST(FrmAppLogic, TheRunPutsBackTheActivationItFound) {
  for (const bool at_load : {true, false}) {
    RecordingHost host;
    host.screen_save_active = at_load;
    FrmAppLogic logic(host, host.music);
    logic.Form_Load();
    EXPECT_FALSE(host.screen_save_active) << "off while the run lasts";
    RunSteps(logic, 5);
    EXPECT_FALSE(host.screen_save_active);
    logic.Form_Unload();
    EXPECT_EQ(host.screen_save_active, at_load);
    EXPECT_EQ(host.log.back(), "exit");
  }
  // An unload without a load (nothing was switched off) leaves it alone.
  RecordingHost host;
  host.screen_save_active = false;
  FrmAppLogic logic(host, host.music);
  logic.Form_Unload();
  EXPECT_FALSE(host.Logged("activation on"));
  EXPECT_FALSE(host.screen_save_active);
}

// On battery, with the battery saver on, or in a remote session, the movies
// draw at most 15 frames a second at a lower resolution; on mains power in a
// local session they run free. The state is read at load and whenever the
// system says it changed.
TEST(FrmAppLogic, PowerAndSessionSetTheDrawLimits) {
  const DrawLimits free_run{0, 1}, saving{15, 0.25};
  const struct {
    const char* name;
    PowerState state;
    DrawLimits want;
  } cases[] = {
      {"mains, local", {false, false, false}, free_run},
      {"battery", {true, false, false}, saving},
      {"battery saver on mains", {false, true, false}, saving},
      {"remote session", {false, false, true}, saving},
      {"battery, saver and remote", {true, true, true}, saving},
  };
  for (const auto& c : cases) {
    RecordingHost host;
    host.power = c.state;
    FrmAppLogic logic(host, host.music);
    logic.Form_Load();
    ASSERT_EQ(host.limits.size(), 1u) << c.name;
    EXPECT_EQ(host.limits.back(), c.want) << c.name;

    // Back on mains in a local session: full rate again; and the other way.
    host.power = PowerState{};
    logic.PowerChanged();
    EXPECT_EQ(host.limits.back(), free_run) << c.name;
    host.power = c.state;
    logic.PowerChanged();
    EXPECT_EQ(host.limits.back(), c.want) << c.name;
  }
}

namespace {
// A run on monitors `before`, with covers opened over its other monitors, loaded to step `steps`.
struct SaverRun {
  RecordingHost host;
  FrmAppLogic logic{host, host.music};
  SaverRun(const DisplayLayout& before, int steps) {
    host.monitors = before;
    host.covers = before.others;
    host.window = before.primary;
    host.display_w = uint32_t(before.primary.Width());
    host.display_h = uint32_t(before.primary.Height());
    host.client_w = before.primary.Width();
    host.client_h = before.primary.Height();
    logic.Form_Load();
    RunSteps(logic, steps);
    host.log.clear();
  }
};
const ScreenRect kPrimary{0, 0, 1024, 768};
const ScreenRect kRight{1024, 0, 1984, 540};
}  // namespace

TEST(FrmAppLogic, DisplayChangeDuringTheRunLaysEverythingOutAgain) {
  const struct {
    const char* name;
    DisplayLayout before, after;
    bool forced;
    bool relayout;
  } cases[] = {
      {"the primary's mode made smaller", {kPrimary, {kRight}}, {{0, 0, 800, 600}, {kRight}}, false, true},
      {"the primary's mode made larger", {kPrimary, {}}, {{0, 0, 1920, 1080}, {}}, false, true},
      {"the second monitor removed", {kPrimary, {kRight}}, {kPrimary, {}}, false, true},
      {"a second monitor added on the left", {kPrimary, {}}, {kPrimary, {{-960, 0, 0, 540}}}, false, true},
      {"the second monitor's mode changed", {kPrimary, {kRight}}, {kPrimary, {{1024, 0, 2304, 1024}}}, false, true},
      {"nothing changed", {kPrimary, {kRight}}, {kPrimary, {kRight}}, false, false},
      {"a message with nothing changed", {kPrimary, {kRight}}, {kPrimary, {kRight}}, true, true},
  };
  for (const auto& c : cases) {
    SaverRun run(c.before, 5);
    RecordingHost& host = run.host;
    host.monitors = c.after;
    EXPECT_EQ(run.logic.DisplayChanged(c.forced), c.relayout) << c.name;
    EXPECT_EQ(host.Logged("relayout"), c.relayout) << c.name;
    EXPECT_FALSE(run.logic.Unloading()) << c.name;
    EXPECT_EQ(host.cursor_count, -1) << c.name;  // still hidden, once
    EXPECT_EQ(host.window, c.after.primary) << c.name;
    EXPECT_EQ(host.covers, c.after.others) << c.name;
    const MovieFrame f = MovieFrameFor(c.after.primary.Width(), c.after.primary.Height());
    EXPECT_FLOAT_EQ(host.movie[0], f.left) << c.name;
    EXPECT_FLOAT_EQ(host.movie[1], f.top) << c.name;
    EXPECT_FLOAT_EQ(host.movie[2], f.width) << c.name;
    EXPECT_FLOAT_EQ(host.movie[3], f.height) << c.name;
    const std::string title = "place MovTitle " + std::to_string(c.after.primary.Width()) + "x" +
                              std::to_string(c.after.primary.Height());
    EXPECT_EQ(host.Logged(title), c.relayout) << c.name;
    // The cursor and the reference point: at the new movie frame's corner + 10.
    EXPECT_EQ(Module1::StartCursorX, RoundToPixel(f.left + 10.0)) << c.name;
    EXPECT_EQ(Module1::StartCursorY, RoundToPixel(f.top + 10.0)) << c.name;
    EXPECT_EQ(host.cursor_x, Module1::StartCursorX) << c.name;
    EXPECT_EQ(host.cursor_y, Module1::StartCursorY) << c.name;
    // The run still ends as before, with the cursor at the new primary's centre.
    run.logic.Form_Unload();
    EXPECT_TRUE(host.Logged("cursor " + std::to_string(c.after.primary.Width() / 2) + "," +
                            std::to_string(c.after.primary.Height() / 2)))
        << c.name;
    EXPECT_EQ(host.cursor_count, 0) << c.name;
  }
}

TEST(FrmAppLogic, CursorMovedBySystemDuringADisplayChangeDoesNotEndTheRun) {
  // The second monitor goes away with the cursor on it; the system puts the
  // cursor on what is left, right of and below the reference point.
  SaverRun run({kPrimary, {kRight}}, 5);
  RecordingHost& host = run.host;
  host.monitors = {{0, 0, 800, 600}, {}};
  host.cursor_x = 799;
  host.cursor_y = 500;
  run.logic.MouseMove();
  EXPECT_FALSE(run.logic.Unloading());
  EXPECT_TRUE(host.Logged("relayout"));
  EXPECT_EQ(host.covers.size(), 0u);
  EXPECT_EQ(host.window, host.monitors.primary);
  // The same position reached by the user, with nothing changed, ends it.
  host.log.clear();
  host.cursor_x = 799;
  host.cursor_y = 500;
  run.logic.MouseMove();
  EXPECT_TRUE(run.logic.Unloading());
  EXPECT_FALSE(host.Logged("relayout"));
  EXPECT_TRUE(host.Logged("cursor 400,300"));
  // Once the unload runs, no change lays anything out.
  host.monitors = {kPrimary, {kRight}};
  EXPECT_FALSE(run.logic.DisplayChanged(true));
}

TEST(FrmAppLogic, DisplayChangeWhileLoadingMovesTheWindowsAndLeavesTheRestToTheSteps) {
  SaverRun run({kPrimary, {kRight}}, 2);  // the movies are loaded, not yet placed
  RecordingHost& host = run.host;
  host.monitors = {{0, 0, 1280, 720}, {}};
  host.display_w = 1280;
  host.display_h = 720;
  EXPECT_TRUE(run.logic.DisplayChanged(true));
  // No movie placed and no cursor moved: no reference before the end of loading.
  EXPECT_EQ(host.log, (std::vector<std::string>{"window 1280x720", "covers -1 +0", "relayout"}));
  RunSteps(run.logic, 3);
  EXPECT_FLOAT_EQ(host.movie[0], 1280 * 3.375f / 100);
  EXPECT_TRUE(host.Logged("place MovTitle 1280x720"));
  // Between step 4 and step 5 the movies move with the screen, the cursor does not.
  SaverRun placed({kPrimary, {}}, 4);
  placed.host.monitors = {{0, 0, 800, 600}, {}};
  EXPECT_TRUE(placed.logic.DisplayChanged());
  EXPECT_TRUE(placed.host.Logged("place Movie"));
  EXPECT_FALSE(placed.host.Logged("cursor 37,103"));
  placed.logic.TimerLoad_Timer();
  EXPECT_TRUE(placed.host.Logged("cursor 37,103"));  // step 5, at the new corner
}

TEST(FrmAppLogic, CapturedDesktopIsTakenAgainOnlyWhenThePrimaryChangesSize) {
  const struct { const char* name; DisplayLayout after; bool capture; } cases[] = {
      {"primary resized", {{0, 0, 800, 600}, {kRight}}, true},
      {"a monitor removed", {kPrimary, {}}, false},
  };
  for (const auto& c : cases) {
    SaverRun run({kPrimary, {kRight}}, 0);
    run.host.settings.values = {{"insko", "x"}, {"fileid", "(Default)"}, {"usebackground", "1"}};
    RunSteps(run.logic, 5);
    run.host.log.clear();
    run.host.monitors = c.after;
    EXPECT_TRUE(run.logic.DisplayChanged());
    EXPECT_EQ(run.host.Logged("capture"), c.capture) << c.name;
  }
}

TEST(FrmAppLogic, MonitorsThatCannotBeReadChangeNothing) {
  SaverRun run({kPrimary, {kRight}}, 5);
  run.host.monitors_ok = false;
  EXPECT_FALSE(run.logic.DisplayChanged(true));
  run.host.monitors_ok = true;
  run.host.monitors = {{0, 0, 0, 0}, {}};  // no primary: nothing to lay out on
  EXPECT_FALSE(run.logic.DisplayChanged(true));
  EXPECT_TRUE(run.host.log.empty());
}
