#include "settings_dialog/frm_properties_logic.h"

#include <algorithm>
#include <utility>

#include "download/code_entry.h"
#include "settings/first_run.h"
#include "settings/numeric.h"
#include "text/ansi_case.h"

const char* const kNoFileSelected = "(No file selected)";
const char* const kOpenFilter = "Mp3 Files|*.mp3|Wav Files|*.wav";
const char* const kLstMidiTitles[9] = {"Velmara 2004", "Sandstorm", "A never ending dream",
                                       "The drive",    "Bullet in the gun", "Dreams",
                                       "Heaven",       "Seven days and one week", "Feel the beat"};

namespace {
// Val(text) == 1: how the dialog reads its yes/no settings.
bool IsOne(const std::string& text) { return Val(text) == 1.0; }
bool IsZero(const std::string& text) { return Val(text) == 0.0; }

// The controls that ChkSound switches, in the order in which it switches them.
constexpr PropControl kMusicControls[] = {PropControl::BtPlay,    PropControl::BtStop,    PropControl::TxtCustom,
                                          PropControl::BtCustom,  PropControl::ChkRandom, PropControl::LstMidi,
                                          PropControl::ChkExisting};
}  // namespace

std::string VisualisationListEntry(const std::string& file_name) {
  if (file_name.size() < 6) return "";
  return ProperCase(file_name.substr(0, file_name.size() - 4));
}

std::vector<std::string> SortedVsiNames(std::vector<std::string> names) {
  names.erase(std::remove_if(names.begin(), names.end(),
                             [](const std::string& n) {
                               return n.size() < 4 || LowerAnsi(n.substr(n.size() - 4)) != ".vsi";
                             }),
              names.end());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string la = LowerAnsi(a), lb = LowerAnsi(b);
    return la != lb ? la < lb : a < b;
  });
  return names;
}

FrmPropertiesLogic::FrmPropertiesLogic(FrmPropertiesView& view, SettingsPort& settings, Module1::MusicPlayer& music,
                                       PropertiesTexts texts)
    : view_(view), settings_(settings), music_(music), texts_(std::move(texts)) {}

std::string FrmPropertiesLogic::Read(const char* name) { return settings_.ReadSetting(kAppName, name); }

void FrmPropertiesLogic::Write(const char* name, const std::string& value) {
  (void)settings_.WriteSetting(kAppName, name, value);  // the dialog does not look at the result
}

std::string FrmPropertiesLogic::SelectedText(PropControl list) {
  const int index = view_.ListIndex(list);
  return index < 0 ? std::string() : view_.ListItem(list, index);
}

void FrmPropertiesLogic::SetCheck(PropControl box, int value) {
  if (view_.GetValue(box) == value) return;
  view_.SetValue(box, value);
  if (box == PropControl::ChkSound) ChkSound_Click();
  else if (box == PropControl::ChkExisting) ChkExisting_Click();
}

void FrmPropertiesLogic::SetTxtCustom(const std::string& text) {
  view_.SetText(PropControl::TxtCustom, text);
  TxtCustom_Change();
}

void FrmPropertiesLogic::RefillVisualisationList(const std::string& decoded, bool select) {
  const int previous = view_.ListIndex(PropControl::List1);
  const std::string folder = view_.ProgramFolder() + "\\QR06V2XLM\\";
  const download::ListRebuild r =
      download::RebuildVisualisationList(SortedVsiNames(view_.ListFolder(folder, "*.vsi")), decoded, previous);
  view_.ListClear(PropControl::List1);
  for (const std::string& entry : r.entries) view_.ListAdd(PropControl::List1, entry);
  if (select && r.set_selection) view_.SetListIndex(PropControl::List1, r.selected);
}

void FrmPropertiesLogic::FillVisualisationList() { RefillVisualisationList("", false); }

void FrmPropertiesLogic::VisualisationDownloaded(const std::string& name) { RefillVisualisationList(name, true); }

void FrmPropertiesLogic::Form_Load() {
  view_.SetCurrentTab(0);
  view_.SetCaption(PropControl::LbAbout, texts_.ownership_notice + "\r\n" + texts_.contact_address + "\r\n");
  view_.SetCaption(PropControl::LbVisit, texts_.site_home_page);
  FillVisualisationList();
  EnsureSettingsInitialised(settings_);

  const std::string sound_mci = Read("SoundMCI");
  if (IsOne(sound_mci)) {
    SetCheck(PropControl::ChkExisting, kUnchecked);
    const std::string wanted = UpperAnsi(Read("SoundID"));
    int found = -1;
    for (int i = 0, n = view_.ListCount(PropControl::LstMidi); i < n && found < 0; ++i)
      if (UpperAnsi(view_.ListItem(PropControl::LstMidi, i)) == wanted) found = i;
    view_.SetListIndex(PropControl::LstMidi, found);
  } else if (IsZero(sound_mci)) {
    SetCheck(PropControl::ChkExisting, kChecked);
    view_.SetListIndex(PropControl::LstMidi, 0);
    const std::string song = Read("SoundID");
    SetTxtCustom(song);
    music_.CustomSongPath = "\"" + song + "\"";
  }
  SetCheck(PropControl::ChkRandom, IsOne(Read("SoundRND")) ? kChecked : kUnchecked);
  SetCheck(PropControl::ChkBackground, IsOne(Read("UseBackGround")) ? kChecked : kUnchecked);
  SetCheck(PropControl::ChkSound, IsOne(Read("EnableSound")) ? kChecked : kUnchecked);

  const std::string wanted = UpperAnsi(Read("FileID"));
  int found = -1;
  for (int i = 0, n = view_.ListCount(PropControl::List1); i < n && found < 0; ++i)
    if (UpperAnsi(view_.ListItem(PropControl::List1, i)) == wanted) found = i;
  view_.SetListIndex(PropControl::List1, found);

  view_.DoEvents();

  if (IsZero(Read("SoundMCI")) && !music_.host().FileExists(Read("SoundID"))) {
    if (view_.MsgBox("Song doesnt exist. Do you want to select another one?", "ScreenSaver", kMbYesNo) == kIdYes) {
      view_.SetCurrentTab(1);
      SetTxtCustom(kNoFileSelected);
      BtCustom_Click();
    } else {
      SetTxtCustom(kNoFileSelected);
    }
  }
}

void FrmPropertiesLogic::Command3_Click() {
  view_.SetHourglass(true);
  Write("EnableSound", IsChecked(PropControl::ChkSound) ? "1" : "0");
  Write("FileID", SelectedText(PropControl::List1));
  if (!IsChecked(PropControl::ChkExisting)) {
    Write("SoundMCI", "1");
    Write("SoundID", SelectedText(PropControl::LstMidi));
  } else {
    Write("SoundMCI", "0");
    Write("SoundID", view_.GetText(PropControl::TxtCustom));
  }
  Write("SoundRND", IsChecked(PropControl::ChkRandom) ? "1" : "0");
  Write("UseBackGround", IsChecked(PropControl::ChkBackground) ? "1" : "0");
  BtStop_Click();
  view_.SetHourglass(false);
  Form_Unload();
}

void FrmPropertiesLogic::Command1_Click() {
  BtStop_Click();
  Form_Unload();
}

void FrmPropertiesLogic::Form_Unload() {
  BtStop_Click();
  view_.EndProgram();
}

void FrmPropertiesLogic::LbVisit_Click() {
  view_.SetHourglass(true);
  view_.ShellOpen(view_.GetCaption(PropControl::LbVisit), view_.ProgramFolder());
  view_.SetHourglass(false);
}

void FrmPropertiesLogic::ChkExisting_Click() {
  const bool own_song = IsChecked(PropControl::ChkExisting);
  view_.SetEnabled(PropControl::TxtCustom, own_song);
  view_.SetEnabled(PropControl::BtCustom, own_song);
  view_.SetEnabled(PropControl::ChkRandom, !own_song);
  view_.SetEnabled(PropControl::LstMidi, !own_song);
  BtStop_Click();
}

void FrmPropertiesLogic::ChkSound_Click() {
  BtStop_Click();
  const int value = view_.GetValue(PropControl::ChkSound);
  if (value == kChecked) {
    for (PropControl c : kMusicControls) view_.SetEnabled(c, true);
    ChkExisting_Click();
  } else if (value == kUnchecked) {
    for (PropControl c : kMusicControls) view_.SetEnabled(c, false);
  }
}

void FrmPropertiesLogic::BtCustom_Click() {
  if (music_.MusicPlaying) {
    if (view_.MsgBox("Before changing file, you need to stop the actual song. Do you want to stop it?",
                     "ScreenSaver Music", kMbYesNo) != kIdYes)
      return;
    BtStop_Click();
  }
  std::string file_name;
  if (view_.ShowOpen(kOpenFlags, kOpenFilter, &file_name)) {
    SetTxtCustom(file_name);
    music_.CustomSongPath = "\"" + file_name + "\"";
  } else {
    SetTxtCustom(kNoFileSelected);
  }
}

void FrmPropertiesLogic::TxtCustom_Change() {
  if (view_.GetText(PropControl::TxtCustom).empty()) view_.SetText(PropControl::TxtCustom, kNoFileSelected);
}

void FrmPropertiesLogic::BtPlay_Click() {
  if (IsChecked(PropControl::ChkExisting)) {
    const std::string text = view_.GetText(PropControl::TxtCustom);
    if (text == kNoFileSelected || text.empty()) {
      view_.MsgBox("Please open a file.", "Screensaver", kMbCritical);
      return;
    }
    if (music_.MusicPlaying) return;
    view_.SetHourglass(true);
    music_.OpenCustomSong();
    music_.PlayCustomSong();
    music_.host().SetPollTimer(kTimer1Interval);
    view_.SetHourglass(false);
  } else {
    const std::string title = SelectedText(PropControl::LstMidi);
    if (title.empty()) {
      view_.MsgBox("Please select a song.", "Screensaver", kMbCritical);
      return;
    }
    view_.SetHourglass(true);
    const std::string p = music_.host().GetShortPath(Module1::SequenceFile(music_.host(), title));
    music_.OpenSequence(p);
    music_.PlaySequence();
    view_.DoEvents();
    music_.host().SetPollTimer(kTimer1Interval);
    view_.SetHourglass(false);
  }
}

void FrmPropertiesLogic::BtStop_Click() { music_.StopMusic(); }

void FrmPropertiesLogic::Timer1_Timer() {
  switch (preview_frame_) {
    case 1:
      view_.ShowPreviewFrame(1);  // Img3
      break;
    case 2:
      view_.ShowPreviewFrame(2);  // Img4
      break;
    case 3:
      view_.ShowPreviewFrame(3);  // Img5
      break;
    case 4:
      view_.ShowPreviewFrame(0);  // Img2
      preview_frame_ = 1;
      if (IsChecked(PropControl::ChkExisting)) {
        if (music_.MusicPlaying) music_.PollCustomSong();
      } else if (music_.MusicPlaying) {
        music_.PollSequence();
      }
      break;
    default:
      break;
  }
  preview_frame_ = static_cast<int16_t>(preview_frame_ + 1);
}
