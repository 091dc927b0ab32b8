#include "settings_dialog/frm_properties_logic.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

const char* Name(PropControl c) {
  switch (c) {
    case PropControl::LbAbout: return "LbAbout";
    case PropControl::LbVisit: return "LbVisit";
    case PropControl::List1: return "List1";
    case PropControl::ChkBackground: return "ChkBackground";
    case PropControl::ChkSound: return "ChkSound";
    case PropControl::LstMidi: return "LstMidi";
    case PropControl::ChkRandom: return "ChkRandom";
    case PropControl::ChkExisting: return "ChkExisting";
    case PropControl::TxtCustom: return "TxtCustom";
    case PropControl::BtCustom: return "BtCustom";
    case PropControl::BtPlay: return "BtPlay";
    case PropControl::BtStop: return "BtStop";
  }
  return "?";
}

// One log of everything the dialog does, in order: the view's visible
// effects, the store's writes and the music's commands.
using Log = std::vector<std::string>;

class FakeSettings : public SettingsPort {
 public:
  explicit FakeSettings(Log& log) : log_(log) {}
  std::map<std::string, std::string> values;
  std::string ReadSetting(const std::string&, const std::string& name) override {
    auto it = values.find(name);
    return it == values.end() ? "" : it->second;
  }
  std::string WriteSetting(const std::string& app, const std::string& name, const std::string& value) override {
    log_.push_back("write " + app + " " + name + "=" + value);
    values[name] = value;
    return "True";
  }
  std::string CreateSettingsKey(const std::string&) override { return "True"; }

 private:
  Log& log_;
};

class FakeMusic : public Module1::MusicHost {
 public:
  explicit FakeMusic(Log& log) : log_(log) {}
  std::set<std::string> files;
  void SendMci(const std::string& command, char* reply, unsigned reply_size) override {
    log_.push_back("mci " + command);
    if (reply && reply_size) reply[0] = '\0';
  }
  bool FileExists(const std::string& path) override { return files.count(path) > 0; }
  std::string GetShortPath(const std::string& path) override { return files.count(path) ? "SHORT:" + path : ""; }
  std::string ProgramFolder() override { return "C:\\app"; }
  void DoEvents() override {}
  void SetPollTimer(unsigned ms) override { log_.push_back("timer " + std::to_string(ms)); }
  void Randomize() override {}
  float Rnd() override { return 0.5f; }

 private:
  Log& log_;
};

// The dialog's controls in their designed state.
class FakeView : public FrmPropertiesView {
 public:
  explicit FakeView(Log& log) : log_(log) {
    for (const char* t : kLstMidiTitles) lists[PropControl::LstMidi].push_back(t);
    values = {{PropControl::ChkSound, kChecked}, {PropControl::ChkExisting, kUnchecked},
              {PropControl::ChkRandom, kUnchecked}, {PropControl::ChkBackground, kUnchecked}};
    disabled = {PropControl::TxtCustom, PropControl::BtCustom};
    texts[PropControl::TxtCustom] = kNoFileSelected;
  }
  std::map<PropControl, int> values;
  std::set<PropControl> disabled;
  std::map<PropControl, std::string> texts;
  std::map<PropControl, std::vector<std::string>> lists;
  std::map<PropControl, int> index{{PropControl::List1, -1}, {PropControl::LstMidi, -1}};
  std::vector<std::string> folder_names;
  std::vector<int> answers;         // message box answers, in turn
  std::vector<std::string> chosen;  // Open dialog results in turn; "" cancels
  int tab = -1;

  void SetCurrentTab(int t) override {
    tab = t;
    log_.push_back("tab " + std::to_string(t));
  }
  void SetCaption(PropControl c, const std::string& text) override { texts[c] = text; }
  std::string GetCaption(PropControl c) override { return texts[c]; }
  int GetValue(PropControl c) override { return values[c]; }
  void SetValue(PropControl c, int v) override { values[c] = v; }
  void SetEnabled(PropControl c, bool on) override {
    if (on) disabled.erase(c);
    else disabled.insert(c);
  }
  void ListClear(PropControl l) override { lists[l].clear(), index[l] = -1; }
  void ListAdd(PropControl l, const std::string& t) override { lists[l].push_back(t); }
  int ListCount(PropControl l) override { return static_cast<int>(lists[l].size()); }
  std::string ListItem(PropControl l, int i) override { return lists[l].at(static_cast<size_t>(i)); }
  int ListIndex(PropControl l) override { return index[l]; }
  void SetListIndex(PropControl l, int i) override { index[l] = i; }
  std::string GetText(PropControl c) override { return texts[c]; }
  void SetText(PropControl c, const std::string& t) override { texts[c] = t; }
  std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) override {
    log_.push_back("list " + folder + pattern);
    return folder_names;
  }
  std::string ProgramFolder() override { return "C:\\app"; }
  void DoEvents() override { log_.push_back("doevents"); }
  int MsgBox(const std::string& text, const std::string& title, int style) override {
    log_.push_back("msgbox " + text + "|" + title + "|" + std::to_string(style));
    if (answers.empty()) return 1;
    const int a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  bool ShowOpen(int flags, const std::string& filter, std::string* file) override {
    log_.push_back("open " + std::to_string(flags) + " " + filter);
    std::string c = chosen.empty() ? "" : chosen.front();
    if (!chosen.empty()) chosen.erase(chosen.begin());
    *file = c;
    return !c.empty();
  }
  void SetHourglass(bool on) override { log_.push_back(on ? "hourglass" : "arrow"); }
  void ShellOpen(const std::string& file, const std::string& folder) override {
    log_.push_back("shell " + file + " in " + folder);
  }
  void ShowPreviewFrame(int f) override { log_.push_back("frame " + std::to_string(f)); }
  void EndProgram() override { log_.push_back("end"); }

  std::string Selected(PropControl l) { return index[l] < 0 ? "(none)" : lists[l][static_cast<size_t>(index[l])]; }
  std::string Disabled() {
    std::set<std::string> names;
    for (PropControl c : disabled) names.insert(Name(c));
    std::string s;
    for (const std::string& n : names) s += (s.empty() ? "" : " ") + n;
    return s;
  }

 private:
  Log& log_;
};

class Dialog : public ::testing::Test {
 protected:
  Log log;
  FakeSettings store{log};
  FakeMusic music_host{log};
  Module1::MusicPlayer music{music_host};
  FakeView view{log};
  FrmPropertiesLogic logic{view, store, music, {"Notice", "mail@x", "http://site.example"}};
  void Initialised(std::map<std::string, std::string> values) {
    store.values = {{"InsKo", "regkoinic"}, {"EnableSound", "1"}, {"FileID", "(Default)"}, {"SoundMCI", "1"},
                    {"SoundID", "Sandstorm"}, {"SoundRND", "0"}, {"UseBackGround", "0"}};
    for (auto& kv : values) store.values[kv.first] = kv.second;
  }
  bool Logged(const std::string& entry) {
    for (auto& e : log)
      if (e == entry) return true;
    return false;
  }
  Log Matching(const std::string& prefix) {
    Log out;
    for (auto& e : log)
      if (e.rfind(prefix, 0) == 0) out.push_back(e);
    return out;
  }
};

const char* const kAsk = "msgbox Song doesnt exist. Do you want to select another one?|ScreenSaver|4";

}  // namespace

TEST(SortedVsiNames, CaseInsensitiveStableAndOnlyVsi) {
  EXPECT_EQ(SortedVsiNames({"b.vsi", "A.VSI", "c.vsix", "FOO~1.VSI", "a.vsi", "(Default).vsi", "vsi", "x.vs"}),
            (std::vector<std::string>{"(Default).vsi", "A.VSI", "a.vsi", "b.vsi", "FOO~1.VSI"}));
  // The order does not depend on the order the platform gave.
  EXPECT_EQ(SortedVsiNames({"a.vsi", "b.vsi", "A.VSI"}), SortedVsiNames({"A.VSI", "a.vsi", "b.vsi"}));
}

// Form_Load from the stored values: what every control shows afterwards.
TEST_F(Dialog, LoadSetsControlsFromTheStore) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> values;
    std::set<std::string> files;
    std::vector<int> answers;
    std::vector<std::string> chosen;
    const char* list1;
    const char* lst_midi;
    int sound, existing, random, background;
    const char* txt_custom;
    const char* custom_path;
    const char* disabled;
    bool asked;
  };
  const Case cases[] = {
      {"built-in song by any case", {{"SoundID", "the Drive"}}, {}, {}, {}, "(default)", "The drive", 1, 0, 0, 0,
       kNoFileSelected, "", "BtCustom TxtCustom", false},
      {"numeric values", {{"EnableSound", "01"}, {"SoundRND", "1.0"}, {"UseBackGround", " 1x"}}, {}, {}, {},
       "(default)", "Sandstorm", 1, 0, 1, 1, kNoFileSelected, "", "BtCustom TxtCustom", false},
      {"no match leaves no selection", {{"FileID", "gone"}, {"SoundID", "nope"}}, {}, {}, {}, "(none)", "(none)", 1, 0,
       0, 0, kNoFileSelected, "", "BtCustom TxtCustom", false},
      {"user's song exists", {{"SoundMCI", "0"}, {"SoundID", "C:\\m\\a song.wav"}}, {"C:\\m\\a song.wav"}, {}, {},
       "(default)", "Velmara 2004", 1, 1, 0, 0, "C:\\m\\a song.wav", "\"C:\\m\\a song.wav\"", "ChkRandom LstMidi",
       false},
      {"missing song, No", {{"SoundMCI", "0"}, {"SoundID", "C:\\gone.mp3"}}, {}, {kIdNo}, {}, "(default)",
       "Velmara 2004", 1, 1, 0, 0, kNoFileSelected, "\"C:\\gone.mp3\"", "ChkRandom LstMidi", true},
      {"missing song, Yes and a file", {{"SoundMCI", "0"}, {"SoundID", "C:\\gone.mp3"}}, {}, {kIdYes}, {"C:\\n.mp3"},
       "(default)", "Velmara 2004", 1, 1, 0, 0, "C:\\n.mp3", "\"C:\\n.mp3\"", "ChkRandom LstMidi", true},
      {"missing song, Yes and cancel", {{"SoundMCI", "0"}, {"SoundID", "C:\\gone.mp3"}}, {}, {kIdYes}, {""},
       "(default)", "Velmara 2004", 1, 1, 0, 0, kNoFileSelected, "\"C:\\gone.mp3\"", "ChkRandom LstMidi", true},
      {"empty user's song", {{"SoundMCI", "0"}, {"SoundID", ""}}, {}, {kIdNo}, {}, "(default)", "Velmara 2004", 1, 1,
       0, 0, kNoFileSelected, "\"\"", "ChkRandom LstMidi", true},
      {"sound off", {{"EnableSound", "0"}}, {}, {}, {}, "(default)", "Sandstorm", 0, 0, 0, 0, kNoFileSelected, "",
       "BtCustom BtPlay BtStop ChkExisting ChkRandom LstMidi TxtCustom", false},
      {"sound off, user's song", {{"EnableSound", "0"}, {"SoundMCI", "0"}, {"SoundID", "C:\\a.wav"}}, {"C:\\a.wav"},
       {}, {}, "(default)", "Velmara 2004", 0, 1, 0, 0, "C:\\a.wav", "\"C:\\a.wav\"",
       "BtCustom BtPlay BtStop ChkExisting ChkRandom LstMidi TxtCustom", false},
      {"other song source leaves those controls", {{"SoundMCI", "2"}}, {}, {}, {}, "(default)", "(none)", 1, 0, 0,
       0, kNoFileSelected, "", "BtCustom TxtCustom", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    Module1::MusicPlayer player(music_host);  // a fresh player for each case
    FakeView v(log);
    v.folder_names = {"my visual.vsi", "a.vsi", "(Default).vsi"};
    v.answers = c.answers;
    v.chosen = c.chosen;
    Initialised(c.values);
    music_host.files = c.files;
    FrmPropertiesLogic l(v, store, player, {"Notice", "mail@x", "http://site.example"});
    l.Form_Load();
    EXPECT_EQ(v.lists[PropControl::List1], (std::vector<std::string>{"(default)", "My Visual"}));
    EXPECT_EQ(v.Selected(PropControl::List1), c.list1);
    EXPECT_EQ(v.Selected(PropControl::LstMidi), c.lst_midi);
    EXPECT_EQ(v.values[PropControl::ChkSound], c.sound);
    EXPECT_EQ(v.values[PropControl::ChkExisting], c.existing);
    EXPECT_EQ(v.values[PropControl::ChkRandom], c.random);
    EXPECT_EQ(v.values[PropControl::ChkBackground], c.background);
    EXPECT_EQ(v.texts[PropControl::TxtCustom], c.txt_custom);
    EXPECT_EQ(player.CustomSongPath, c.custom_path);
    EXPECT_EQ(v.Disabled(), c.disabled);
    EXPECT_EQ(Logged(kAsk), c.asked);
    EXPECT_EQ(v.tab, c.answers == std::vector<int>{kIdYes} ? 1 : 0);
    EXPECT_EQ(Logged("open 4100 Mp3 Files|*.mp3|Wav Files|*.wav"), !c.chosen.empty());
    EXPECT_TRUE(Matching("write").empty()) << "load wrote a setting";
    EXPECT_FALSE(Logged("end"));
  }
}

TEST_F(Dialog, FirstLoadWritesDefaultsThenShowsThem) {
  view.folder_names = {"(Default).vsi"};
  logic.Form_Load();
  EXPECT_EQ(Matching("write"), (Log{"write VMSRC16 EnableSound=1", "write VMSRC16 FileID=(Default)",
                                    "write VMSRC16 SoundMCI=1", "write VMSRC16 SoundID=Sandstorm",
                                    "write VMSRC16 SoundRND=1", "write VMSRC16 UseBackGround=0",
                                    "write VMSRC16 InsKo=regkoinic"}));
  EXPECT_EQ(view.Selected(PropControl::List1), "(default)");
  EXPECT_EQ(view.Selected(PropControl::LstMidi), "Sandstorm");
  EXPECT_EQ(view.values[PropControl::ChkRandom], kChecked);
  EXPECT_EQ(view.texts[PropControl::LbAbout], "Notice\r\nmail@x\r\n");
  EXPECT_EQ(view.texts[PropControl::LbVisit], "http://site.example");
  EXPECT_EQ(log.front(), "tab 0");
  EXPECT_TRUE(Logged("list C:\\app\\QR06V2XLM\\*.vsi"));
}

TEST_F(Dialog, MissingFolderGivesAnEmptyList) {
  Initialised({});
  logic.Form_Load();
  EXPECT_TRUE(view.lists[PropControl::List1].empty());
  EXPECT_EQ(view.Selected(PropControl::List1), "(none)");
}

// After the code form ran a download, the list is filled from the folder
// again: the new name is selected when it is there beside others; a failed
// download (no file) keeps the earlier selection.
TEST_F(Dialog, DownloadedVisualisationIsListedAndSelected) {
  Initialised({{"FileID", "Aurora"}});
  view.folder_names = {"aurora.vsi", "(Default).vsi"};
  logic.Form_Load();
  ASSERT_EQ(view.lists[PropControl::List1], (std::vector<std::string>{"(default)", "Aurora"}));
  ASSERT_EQ(view.Selected(PropControl::List1), "Aurora");
  struct Case {
    const char* name;
    std::vector<std::string> files;
    std::vector<std::string> entries;
    const char* selected;
  } cases[] = {
      {"nothere", {"aurora.vsi", "(Default).vsi"}, {"(default)", "Aurora"}, "Aurora"},
      {"prism 2006", {"prism 2006.vsi", "aurora.vsi", "(Default).vsi"}, {"(default)", "Aurora", "Prism 2006"},
       "Prism 2006"},
      {"AURORA", {"aurora.vsi", "(Default).vsi", "prism 2006.vsi"}, {"(default)", "Aurora", "Prism 2006"}, "Aurora"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    view.folder_names = c.files;
    log.clear();
    logic.VisualisationDownloaded(c.name);
    EXPECT_EQ(view.lists[PropControl::List1], c.entries);
    EXPECT_EQ(view.Selected(PropControl::List1), c.selected);
    EXPECT_EQ(log, Log{"list C:\\app\\QR06V2XLM\\*.vsi"});
  }
}

// Accept writes the six values in order under the hourglass, stops, ends.
TEST_F(Dialog, AcceptWritesSixValuesInOrder) {
  struct Case {
    const char* name;
    int sound, existing, random, background;
    int list1, lst_midi;
    const char* txt_custom;
    Log writes;
  };
  const Case cases[] = {
      {"built-in song", 1, 0, 1, 0, 1, 3, kNoFileSelected,
       {"EnableSound=1", "FileID=My Visual", "SoundMCI=1", "SoundID=The drive", "SoundRND=1", "UseBackGround=0"}},
      {"user's song", 0, 1, 0, 1, 0, 0, "C:\\m\\a.wav",
       {"EnableSound=0", "FileID=(default)", "SoundMCI=0", "SoundID=C:\\m\\a.wav", "SoundRND=0",
        "UseBackGround=1"}},
      {"nothing selected", 1, 0, 0, 0, -1, -1, kNoFileSelected,
       {"EnableSound=1", "FileID=", "SoundMCI=1", "SoundID=", "SoundRND=0", "UseBackGround=0"}},
      {"greyed counts as off", kGrayed, kGrayed, kGrayed, kGrayed, 0, 1, "C:\\x.mp3",
       {"EnableSound=0", "FileID=(default)", "SoundMCI=1", "SoundID=Sandstorm", "SoundRND=0", "UseBackGround=0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    view.lists[PropControl::List1] = {"(default)", "My Visual"};
    view.values = {{PropControl::ChkSound, c.sound}, {PropControl::ChkExisting, c.existing},
                   {PropControl::ChkRandom, c.random}, {PropControl::ChkBackground, c.background}};
    view.index[PropControl::List1] = c.list1;
    view.index[PropControl::LstMidi] = c.lst_midi;
    view.texts[PropControl::TxtCustom] = c.txt_custom;
    logic.Command3_Click();
    Log expected{"hourglass"};
    for (auto& w : c.writes) expected.push_back("write VMSRC16 " + w);
    for (const char* e : {"timer 0", "mci close QrvMid", "mci stop ", "mci close ", "arrow", "timer 0",
                          "mci close QrvMid", "mci stop ", "mci close ", "end"})
      expected.push_back(e);
    EXPECT_EQ(log, expected);
  }
}

TEST_F(Dialog, CloseAndUnloadWriteNothingAndStopThePreview) {
  Initialised({});
  view.index[PropControl::LstMidi] = 1;
  music_host.files = {"C:\\app\\QR06V2XLM\\MCI\\Sandstorm.seq"};
  for (int way = 0; way < 2; ++way) {
    logic.BtPlay_Click();
    ASSERT_TRUE(music.MusicPlaying);
    log.clear();
    if (way == 0) logic.Command1_Click();
    else logic.Form_Unload();
    EXPECT_FALSE(music.MusicPlaying);
    EXPECT_TRUE(Matching("write").empty());
    EXPECT_EQ(log.back(), "end");
    EXPECT_EQ(log.front(), "timer 0");
  }
}

TEST_F(Dialog, VisitOpensTheCaptionUnderTheHourglass) {
  view.texts[PropControl::LbVisit] = "http://site.example";
  logic.LbVisit_Click();
  EXPECT_EQ(log, (Log{"hourglass", "shell http://site.example in C:\\app", "arrow"}));
}

// Enabling rules: at most one of the two song pairs, nothing without sound.
TEST_F(Dialog, EnablingRules) {
  const struct { int sound, existing; const char* disabled; } cases[] = {
      {kChecked, kUnchecked, "BtCustom TxtCustom"},
      {kChecked, kChecked, "ChkRandom LstMidi"},
      {kUnchecked, kChecked, "BtCustom BtPlay BtStop ChkExisting ChkRandom LstMidi TxtCustom"},
      {kUnchecked, kUnchecked, "BtCustom BtPlay BtStop ChkExisting ChkRandom LstMidi TxtCustom"},
  };
  for (auto& c : cases) {
    view.disabled.clear();
    view.values[PropControl::ChkExisting] = c.existing;
    view.values[PropControl::ChkSound] = c.sound;
    logic.ChkSound_Click();
    EXPECT_EQ(view.Disabled(), c.disabled) << c.sound << c.existing;
  }
  view.disabled = {PropControl::BtPlay};
  view.values[PropControl::ChkSound] = kGrayed;
  logic.ChkSound_Click();
  EXPECT_EQ(view.Disabled(), "BtPlay");
}

TEST_F(Dialog, PlayMessagesAndWhatPlays) {
  const char* const kOpenFile = "msgbox Please open a file.|Screensaver|16";
  const char* const kSelect = "msgbox Please select a song.|Screensaver|16";
  // The user's song, none chosen.
  view.values[PropControl::ChkExisting] = kChecked;
  for (const char* text : {kNoFileSelected, ""}) {
    log.clear();
    view.texts[PropControl::TxtCustom] = text;
    logic.BtPlay_Click();
    EXPECT_EQ(log, Log{kOpenFile});
  }
  // The user's song: played once; a second Play does nothing.
  view.texts[PropControl::TxtCustom] = "C:\\a b.wav";
  music.CustomSongPath = "\"C:\\a b.wav\"";
  log.clear();
  logic.BtPlay_Click();
  logic.BtPlay_Click();
  EXPECT_EQ(log, (Log{"hourglass", "mci open \"C:\\a b.wav\" type MPEGVideo", "mci play \"C:\\a b.wav\"",
                      "timer 16", "arrow"}));
  logic.BtStop_Click();
  // A built-in song with no selection, then double-click on "Heaven".
  view.values[PropControl::ChkExisting] = kUnchecked;
  log.clear();
  logic.BtPlay_Click();
  EXPECT_EQ(log, Log{kSelect});
  view.index[PropControl::LstMidi] = 6;
  music_host.files = {"C:\\app\\QR06V2XLM\\MCI\\Heaven.seq"};
  log.clear();
  logic.LstMidi_DblClick();
  EXPECT_EQ(log, (Log{"hourglass", "mci close QrvMid",
                      "mci open SHORT:C:\\app\\QR06V2XLM\\MCI\\Heaven.seq type sequencer alias QrvMid",
                      "mci status QrvMid length", "mci play QrvMid from 0", "doevents", "timer 16", "arrow"}));
}

TEST_F(Dialog, ChangingFileWhilePlaying) {
  music.MusicPlaying = true;
  music.CustomSongPath = "\"C:\\old.wav\"";
  view.texts[PropControl::TxtCustom] = "C:\\old.wav";
  const std::string ask =
      "msgbox Before changing file, you need to stop the actual song. Do you want to stop it?|ScreenSaver Music|4";
  view.answers = {kIdNo};
  logic.BtCustom_Click();
  EXPECT_EQ(log, Log{ask});
  EXPECT_TRUE(music.MusicPlaying);
  // Yes stops, then the dialog opens; cancel keeps the old path for the device.
  log.clear();
  view.answers = {kIdYes};
  view.chosen = {""};
  logic.BtCustom_Click();
  EXPECT_FALSE(music.MusicPlaying);
  EXPECT_EQ(log.front(), ask);
  EXPECT_EQ(log.back(), "open 4100 Mp3 Files|*.mp3|Wav Files|*.wav");
  EXPECT_EQ(view.texts[PropControl::TxtCustom], kNoFileSelected);
  EXPECT_EQ(music.CustomSongPath, "\"C:\\old.wav\"");
}

TEST_F(Dialog, Timer1AnimatesAndPollsEveryThirdTick) {
  music.MusicPlaying = true;
  music.SongLength = "100";
  for (int i = 0; i < 8; ++i) logic.Timer1_Timer();
  EXPECT_EQ(log, (Log{"frame 1", "frame 2", "frame 3", "frame 0", "mci status QrvMid position", "frame 2",
                      "frame 3", "frame 0", "mci status QrvMid position"}));
  EXPECT_EQ(logic.PreviewFrame(), 2);
  // Stopped: no poll, the frames keep their count.
  music.MusicPlaying = false;
  log.clear();
  logic.Timer1_Timer();
  logic.Timer1_Timer();
  EXPECT_EQ(log, (Log{"frame 2", "frame 3"}));
}
