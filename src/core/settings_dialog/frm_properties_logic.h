#pragma once
// The settings dialog's behaviour, handler by handler, written against a
// small view interface so that the order of its steps and its rules can be
// checked without a window. The Win32 dialog implements FrmPropertiesView and
// forwards its control events to the handlers here.
#include <cstdint>
#include <string>
#include <vector>

#include "music/music_player.h"
#include "settings/settings_port.h"

// The controls that the behaviour touches.
enum class PropControl {
  LbAbout,
  LbVisit,
  List1,
  ChkBackground,
  ChkSound,
  LstMidi,
  ChkRandom,
  ChkExisting,
  TxtCustom,
  BtCustom,
  BtPlay,
  BtStop,
};

// Check box values.
constexpr int kUnchecked = 0;
constexpr int kChecked = 1;
constexpr int kGrayed = 2;

// Message box styles and answers used by the dialog.
constexpr int kMbYesNo = 4;
constexpr int kMbCritical = 16;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

class FrmPropertiesView {
 public:
  virtual ~FrmPropertiesView() = default;
  // 0 "&Visualisation", 1 "So&und", 2 "&About".
  virtual void SetCurrentTab(int tab) = 0;
  virtual void SetCaption(PropControl control, const std::string& text) = 0;
  virtual std::string GetCaption(PropControl control) = 0;
  // Check boxes. SetValue changes the box only: no click handler runs.
  virtual int GetValue(PropControl control) = 0;
  virtual void SetValue(PropControl control, int value) = 0;
  virtual void SetEnabled(PropControl control, bool enabled) = 0;
  // List boxes; index -1 means no selection.
  virtual void ListClear(PropControl list) = 0;
  virtual void ListAdd(PropControl list, const std::string& text) = 0;
  virtual int ListCount(PropControl list) = 0;
  virtual std::string ListItem(PropControl list, int index) = 0;
  virtual int ListIndex(PropControl list) = 0;
  virtual void SetListIndex(PropControl list, int index) = 0;
  // The text box. SetText changes the text only: no change handler runs.
  virtual std::string GetText(PropControl control) = 0;
  virtual void SetText(PropControl control, const std::string& text) = 0;

  // Names of the entries of `folder` that the platform matches with `pattern`,
  // in any order; none when the folder is missing.
  virtual std::vector<std::string> ListFolder(const std::string& folder, const std::string& pattern) = 0;
  // The program's folder, without a trailing backslash.
  virtual std::string ProgramFolder() = 0;
  virtual void DoEvents() = 0;
  // A modal message box; returns the answer (kIdYes, kIdNo, 1 for OK).
  virtual int MsgBox(const std::string& text, const std::string& title, int style) = 0;
  // The Open dialog with `flags` and `filter` ("Name|pattern|Name|pattern").
  // False when the user cancelled; else the chosen file's full path.
  virtual bool ShowOpen(int flags, const std::string& filter, std::string* file_name) = 0;
  virtual void SetHourglass(bool on) = 0;
  // The shell opens `file` with owner the dialog, verb "Open", no parameters,
  // working folder `folder`, show command 1. The result is not examined.
  virtual void ShellOpen(const std::string& file, const std::string& folder) = 0;
  // Gives Img1 the picture of preview frame 0 to 3 (Img2 to Img5).
  virtual void ShowPreviewFrame(int frame) = 0;
  // Ends the program at once. A view used in tests may return.
  virtual void EndProgram() = 0;
};

// Texts of the About page and the dialog's fixed texts.
struct PropertiesTexts {
  std::string ownership_notice;
  std::string contact_address;
  std::string site_home_page;
};

extern const char* const kNoFileSelected;        // "(No file selected)"
extern const char* const kOpenFilter;            // "Mp3 Files|*.mp3|Wav Files|*.wav"
constexpr int kOpenFlags = 4100;                 // file must exist + hide read-only
constexpr unsigned kTimer1Interval = 16;
// LstMidi's items, index 0 to 8.
extern const char* const kLstMidiTitles[9];

// The names that end in ".vsi" (any case), sorted without regard to case;
// names equal but for case keep a fixed order (byte order). Other names are
// dropped: the platform's pattern also matches a short name like FOO~1.VSI
// that belongs to foo.vsix.
std::vector<std::string> SortedVsiNames(std::vector<std::string> names);
// The list entry of a visualisation file: the name without its 4-character
// extension, in proper case; "" when that leaves fewer than 2 characters
// (such files are not listed).
std::string VisualisationListEntry(const std::string& file_name);

class FrmPropertiesLogic {
 public:
  FrmPropertiesLogic(FrmPropertiesView& view, SettingsPort& settings, Module1::MusicPlayer& music,
                     PropertiesTexts texts);

  void Form_Load();
  // Fills List1 from the data folder's visualisations (load steps 4 and 5).
  void FillVisualisationList();
  // After the code form ran the download of `name` (whatever its outcome):
  // the list is filled again, and the new entry is selected when it is there
  // beside others; otherwise the earlier selection stays.
  void VisualisationDownloaded(const std::string& name);
  void Command3_Click();  // "&Accept"
  void Command1_Click();  // "Cl&ose", and Esc
  void Form_Unload();     // any closing: stops the preview, ends the program
  void LbVisit_Click();

  void ChkSound_Click();
  void ChkExisting_Click();
  void BtCustom_Click();
  void TxtCustom_Change();
  void BtPlay_Click();
  void BtStop_Click();
  void LstMidi_DblClick() { BtPlay_Click(); }
  void Timer1_Timer();

  int16_t PreviewFrame() const { return preview_frame_; }

 private:
  // Sets a check box as code does: its click handler runs when the value changes.
  void SetCheck(PropControl box, int value);
  // Sets TxtCustom's text; its change handler runs.
  void SetTxtCustom(const std::string& text);
  std::string Read(const char* name);
  void Write(const char* name, const std::string& value);
  bool IsChecked(PropControl box) { return view_.GetValue(box) == kChecked; }
  std::string SelectedText(PropControl list);
  // The one path that fills List1: the data folder's names, with the
  // selection that `decoded` asks for (see download::RebuildVisualisationList).
  void RefillVisualisationList(const std::string& decoded, bool select);

  FrmPropertiesView& view_;
  SettingsPort& settings_;
  Module1::MusicPlayer& music_;
  PropertiesTexts texts_;
  int16_t preview_frame_ = 0;
};
