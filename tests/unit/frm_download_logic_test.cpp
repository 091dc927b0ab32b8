#include "download/frm_download_logic.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::string>;

const char* Name(DownloadLabel l) {
  switch (l) {
    case DownloadLabel::LbMensaje: return "mensaje";
    case DownloadLabel::LbElapsed: return "elapsed";
    case DownloadLabel::LbRemaining: return "remaining";
    case DownloadLabel::LbRate: return "rate";
    case DownloadLabel::LbPorcentaje: return "percent";
  }
  return "?";
}

// Records what the dialog would show. The download, when it runs, plays
// `during` (blocks, a Cancel) and then reports `outcome`.
class FakeView : public FrmDownloadView {
 public:
  Log log;
  uint32_t now = 1000;
  char decimal = '.';
  bool downloading = false;
  int downloads = 0;
  DownloadOutcome outcome;
  std::function<void()> during;

  void SetLabel(DownloadLabel l, const std::string& t) override { log.push_back(std::string(Name(l)) + " " + t); }
  void SetBarEnd(int twips) override { log.push_back("bar " + std::to_string(twips)); }
  void SetCaption(const std::string& t) override { log.push_back("caption " + t); }
  void StopTimer() override { log.push_back("timer off"); }
  DownloadOutcome RunDownload(const download::DownloadRequest& r) override {
    ++downloads;
    log.push_back("download " + r.DownloadURL + " -> " + r.DownloadFile);
    downloading = true;
    if (during) during();
    downloading = false;
    return outcome;
  }
  bool Downloading() override { return downloading; }
  void CancelDownload() override { log.push_back("cancel download"); }
  void MsgBox(const std::string& text, const std::string& title, int style) override {
    log.push_back("msgbox " + text + "|" + title + "|" + std::to_string(style));
  }
  uint32_t TickCount() override { return now; }
  char DecimalSeparator() override { return decimal; }
  void Close() override { log.push_back("close"); }
};

download::DownloadRequest Request() {
  return {"https://site.example/VelmaraScreensaver/DWN/spiro.exe", "C:\\app\\QR06V2XLM\\spiro.vsi",
          "qrvsaver.example", "SPIRO"};
}

// Only the entries of `log` that start with `prefix`.
Log Only(const Log& log, const std::string& prefix) {
  Log out;
  for (const auto& e : log)
    if (e.rfind(prefix, 0) == 0) out.push_back(e);
  return out;
}

void Ticks(FrmDownloadLogic& logic, int n) {
  for (int i = 0; i < n; ++i) logic.Timer1_Timer();
}

const std::string kDownload =
    "download https://site.example/VelmaraScreensaver/DWN/spiro.exe -> C:\\app\\QR06V2XLM\\spiro.vsi";

}  // namespace

// The timer's nine ticks: the messages, each at its tick, then the download
// on the ninth, with the bar back at its start on every tick.
TEST(DownloadDialog, StagedMessagesThenOneDownloadThenTheResult) {
  FakeView view;
  FrmDownloadLogic logic(view, Request());
  logic.Form_Load();
  const struct { int tick; Log shown; } steps[] = {
      {1, {"bar 120", "mensaje Please wait..."}},
      {2, {"bar 120"}},
      {3, {"bar 120", "mensaje Analizing code..."}},
      {4, {"bar 120", "mensaje Sending request to the server..."}},
      {5, {"bar 120", "mensaje Connecting with qrvsaver.example ..."}},
      {6, {"bar 120"}},
      {7, {"bar 120"}},
      {8, {"bar 120"}},
      {9,
       {"bar 120", "mensaje Downloading SPIRO visualisation...", "timer off", kDownload,
        "msgbox The visualisation has been successfully downloaded.|Download Visualisations|64", "close"}},
  };
  for (const auto& s : steps) {
    view.log.clear();
    logic.Timer1_Timer();
    EXPECT_EQ(view.log, s.shown) << "tick " << s.tick;
  }
  EXPECT_EQ(view.downloads, 1);
}

// Cancel wins at every stage: before the first message, while the messages
// show, and while the download runs (then the running download is asked to
// stop, the next block is told to cancel, and whatever the download reports
// the user reads that it was cancelled).
TEST(DownloadDialog, CancelWinsAtEveryStage) {
  const std::string cancelled = "msgbox The download has been cancelled.|Download Visualisations|16";
  struct Case {
    const char* what;
    int ticks_before;   // timer ticks before Cancel; -1: Cancel while downloading
    bool reports_error;  // what the cancelled download reports
    int downloads;
    Log tail;
  } cases[] = {
      {"before the first tick", 0, false, 0, {"timer off", cancelled, "close"}},
      {"during the messages", 5, false, 0, {"timer off", cancelled, "close"}},
      {"on the last message", 8, false, 0, {"timer off", cancelled, "close"}},
      {"while downloading, the body already complete", -1, false, 1,
       {"cancel download", "caption Download Cancelled", "caption Download Cancelled", "block cancelled", cancelled,
        "close"}},
      {"while downloading, the download failed", -1, true, 1,
       {"cancel download", "caption Download Cancelled", "caption Download Cancelled", "block cancelled", cancelled,
        "close"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeView view;
    FrmDownloadLogic logic(view, Request());
    view.outcome.HuboError = c.reports_error;
    view.outcome.Causa = "the server answered 500 Internal Server Error";
    view.during = [&] {
      if (c.ticks_before >= 0) return;
      logic.Command1_Click();
      bool cancelar = false;
      logic.Progreso(100, 50, 50, 1, 1, 50, cancelar);
      if (cancelar) view.log.push_back("block cancelled");
    };
    logic.Form_Load();
    if (c.ticks_before >= 0) {
      Ticks(logic, c.ticks_before);
      logic.Command1_Click();
      Ticks(logic, 9 - c.ticks_before);
    } else {
      Ticks(logic, 9);
    }
    EXPECT_EQ(view.downloads, c.downloads);
    // Nothing to stop while no download runs: no caption then.
    if (c.downloads == 0) EXPECT_TRUE(Only(view.log, "caption").empty());
    ASSERT_GE(view.log.size(), c.tail.size());
    EXPECT_EQ(Log(view.log.end() - c.tail.size(), view.log.end()), c.tail);
  }
}

// The closing message: success, or failure with one line of cause under it.
TEST(DownloadDialog, OutcomeAndCauseLine) {
  const std::string failed = "An error has ocurred in the visualisation download, please try later.";
  const struct { bool error; const char* cause; std::string message; } cases[] = {
      {false, "", "The visualisation has been successfully downloaded.|Download Visualisations|64"},
      {false, "ignored on success", "The visualisation has been successfully downloaded.|Download Visualisations|64"},
      {true, "", failed + "|Download Visualisations|16"},
      {true, "the server answered 404 Not Found",
       failed + "\nThe server answered 404 Not Found.|Download Visualisations|16"},
      {true, "folder is read-only", failed + "\nFolder is read-only.|Download Visualisations|16"},
      {true, "12029 cannot connect", failed + "\n12029 cannot connect.|Download Visualisations|16"},
  };
  for (const auto& c : cases) {
    FakeView view;
    view.outcome = {c.error, c.cause};
    FrmDownloadLogic logic(view, Request());
    logic.Form_Load();
    Ticks(logic, 9);
    EXPECT_EQ(Only(view.log, "msgbox "), Log{"msgbox " + c.message}) << c.cause;
    EXPECT_EQ(view.log.back(), "close");
  }
}

// The figures of each block: time, rate in the user's decimal separator,
// percentage and the bar; none without a known length; at most one update
// per 16 ms, except the last block, which always shows.
TEST(DownloadDialog, FiguresPerBlock) {
  struct Block {
    uint32_t at;
    int64_t total, received;
    int16_t percent;
    int32_t elapsed;
    double remaining;
    int32_t rate;
  };
  const struct { const char* what; char decimal; std::vector<Block> blocks; Log shown; } cases[] = {
      {"one block", '.', {{1000, 4096, 2048, 50, 1, 1, 2048}},
       {"elapsed 0:00:01", "remaining 0:00:01", "rate 2.00 Kbps", "percent 50%", "bar 2220"}},
      {"comma decimal, hour-long wait", ',', {{1000, 10000000, 100, 0, 3725, 99999.0, 1536}},
       {"elapsed 1:02:05", "remaining 27:46:39", "rate 1,50 Kbps", "percent 0%", "bar 120"}},
      {"unknown length shows nothing", '.', {{1000, -1, 2048, 0, 1, 0, 2048}}, {}},
      {"a block within 16 ms is skipped",
       '.',
       {{1000, 400, 100, 25, 0, 3, 100}, {1010, 400, 200, 50, 0, 1, 200}, {1016, 400, 300, 75, 0, 1, 300}},
       {"elapsed 0:00:00", "remaining 0:00:03", "rate 0.10 Kbps", "percent 25%", "bar 1170", "elapsed 0:00:00",
        "remaining 0:00:01", "rate 0.29 Kbps", "percent 75%", "bar 3270"}},
      {"the last block always shows",
       '.',
       {{1000, 400, 100, 25, 0, 3, 100}, {1001, 400, 400, 100, 0, 0, 400}},
       {"elapsed 0:00:00", "remaining 0:00:03", "rate 0.10 Kbps", "percent 25%", "bar 1170", "elapsed 0:00:00",
        "remaining 0:00:00", "rate 0.39 Kbps", "percent 100%", "bar 4320"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeView view;
    view.decimal = c.decimal;
    FrmDownloadLogic logic(view, Request());
    logic.Form_Load();
    for (const Block& b : c.blocks) {
      view.now = b.at;
      bool cancelar = false;
      logic.Progreso(b.total, b.received, b.percent, b.elapsed, b.remaining, b.rate, cancelar);
      EXPECT_FALSE(cancelar);
    }
    EXPECT_EQ(view.log, c.shown);
  }
}
