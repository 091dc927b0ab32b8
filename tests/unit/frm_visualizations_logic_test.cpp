#include "download/frm_visualizations_logic.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

class FakeView : public FrmVisualizationsView {
 public:
  std::string code;
  bool has_clip = false;
  std::string clip;
  std::set<std::string> files;
  std::vector<int> answers;
  std::vector<download::DownloadRequest> downloads;
  Log log;

  std::string CodeText() override { return code; }
  void SetCodeText(const std::string& t) override {
    code = t;
    log.push_back("code " + t);
  }
  void SelectCode(size_t n) override { log.push_back("select " + std::to_string(n)); }
  bool ClipboardText(std::string* t) override {
    *t = clip;
    return has_clip;
  }
  void SetDecoded(const std::string& n) override { log.push_back("label " + n); }
  int MsgBox(const std::string& text, const std::string& title, int style) override {
    log.push_back("msgbox " + text + "|" + title + "|" + std::to_string(style));
    if (answers.empty()) return 1;
    const int a = answers.front();
    answers.erase(answers.begin());
    return a;
  }
  bool FileExists(const std::string& p) override { return files.count(p) > 0; }
  std::string ProgramFolder() override { return "C:\\app"; }
  void ShowDownload(const download::DownloadRequest& r) override {
    downloads.push_back(r);
    log.push_back("download");
  }
  void Close() override { log.push_back("close"); }
};

const char* const kBadName = "msgbox This code does not give a visualisation name, please check it.|Download "
                             "Visualisations|16";
const char* const kReplace =
    "msgbox Visualisation already downloaded, do you want to replace it?|Download Visualisations|4";

}  // namespace

// Ok, case by case: what the user sees, whether the download runs, and the
// form's result.
TEST(CodeForm, OkDecodesRefusesAsksDownloadsAndReturnsTheName) {
  struct Case {
    const char* what;
    std::string code;
    bool exists;
    int answer;
    Log log;
    const char* result;
  } cases[] = {
      {"empty", "", false, 0, {"msgbox Please enter the code.|ScreenSaver|16"}, ""},
      {"one character", "5", false, 0, {"label ", "label d", kBadName}, ""},
      {"outside the table", "0399", false, 0, {"label ", "label b#Err", kBadName}, ""},
      {"device name", "041715", false, 0, {"label ", "label con", kBadName}, ""},
      {"new", "2118102017", false, 0, {"label ", "label spiro", "download", "close"}, "spiro"},
      {"replace: no", "2118102017", true, 7, {"label ", "label spiro", kReplace}, ""},
      {"replace: yes", "2118102017", true, 6, {"label ", "label spiro", kReplace, "download", "close"}, "spiro"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeView view;
    view.code = c.code;
    if (c.exists) view.files.insert("C:\\app\\QR06V2XLM\\spiro.vsi");
    if (c.answer) view.answers = {c.answer};
    FrmVisualizationsLogic logic(view, "https://site.example");
    logic.Command1_Click();
    EXPECT_EQ(view.log, c.log);
    EXPECT_EQ(logic.Decoded(), c.result);
    EXPECT_EQ(view.downloads.size(), std::string(c.result).empty() ? 0u : 1u);
  }
}

// The download dialog gets every field of its request from the one name.
TEST(CodeForm, TheRequestCarriesAddressFileSiteAndTitle) {
  FakeView view;
  view.code = download::EncodeName("prism 2006");
  FrmVisualizationsLogic logic(view, "http://127.0.0.1:8080");
  logic.Command1_Click();
  ASSERT_EQ(view.downloads.size(), 1u);
  const download::DownloadRequest& r = view.downloads[0];
  EXPECT_EQ(r.DownloadURL, "http://127.0.0.1:8080/VelmaraScreensaver/DWN/prism 2006.exe");
  EXPECT_EQ(r.DownloadFile, "C:\\app\\QR06V2XLM\\prism 2006.vsi");
  EXPECT_EQ(r.DownloadSite, "QrvSaver2006 visualisations");
  EXPECT_EQ(r.DownloadTitle, "PRISM 2006");
  EXPECT_EQ(logic.Decoded(), "prism 2006");
}

// The code box takes a code from the clipboard when it gets the focus, and
// selects its whole text either way.
TEST(CodeForm, FocusPicksUpTheClipboardsCode) {
  struct Case {
    bool has_clip;
    std::string clip, box;
    Log log;
  } cases[] = {
      {true, "0203040506", "", {"code 0203040506", "select 10"}},
      {true, "hello", "12", {"select 2"}},
      {false, "0203040506", "12", {"select 2"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clip + "|" + c.box);
    FakeView view;
    view.has_clip = c.has_clip;
    view.clip = c.clip;
    view.code = c.box;
    FrmVisualizationsLogic logic(view, "https://site.example");
    logic.Text1_GotFocus();
    EXPECT_EQ(view.log, c.log);
  }
}
