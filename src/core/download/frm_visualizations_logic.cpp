#include "download/frm_visualizations_logic.h"

#include <utility>

namespace {
constexpr int kMbYesNo = 4;
constexpr int kMbIconError = 16;
constexpr int kIdNo = 7;
constexpr char kDownloadTitle[] = "Download Visualisations";
}  // namespace

FrmVisualizationsLogic::FrmVisualizationsLogic(FrmVisualizationsView& view, std::string site_url)
    : view_(view), site_url_(std::move(site_url)) {}

void FrmVisualizationsLogic::Text1_GotFocus() {
  const std::string current = view_.CodeText();
  std::string clip;
  const bool has_text = view_.ClipboardText(&clip);
  const std::string text = download::PickUpClipboardCode(has_text, clip, current);
  if (text != current) view_.SetCodeText(text);
  view_.SelectCode(text.size());
}

void FrmVisualizationsLogic::Command1_Click() {
  const std::string code = view_.CodeText();
  if (code.empty()) {
    view_.MsgBox("Please enter the code.", "ScreenSaver", kMbIconError);
    return;
  }
  view_.SetDecoded("");
  const std::string name = download::DecodeCode(code);
  view_.SetDecoded(name);
  // A name that cannot be a file is refused before any request goes out.
  if (!download::IsFileName(name)) {
    view_.MsgBox("This code does not give a visualisation name, please check it.", kDownloadTitle, kMbIconError);
    return;
  }
  const download::DownloadRequest request = download::MakeDownloadRequest(site_url_, view_.ProgramFolder(), name);
  if (view_.FileExists(request.DownloadFile) &&
      view_.MsgBox("Visualisation already downloaded, do you want to replace it?", kDownloadTitle, kMbYesNo) == kIdNo)
    return;
  view_.ShowDownload(request);
  decoded_ = name;
  view_.Close();
}
