// Opens the real download dialog on its own, for the end-to-end scripts and
// the benchmark: download_host URL FILE [SITE TITLE]. The four hand-over
// strings are set as the code form sets them; the exit code is 0 when FILE
// exists afterwards, 1 when not.
//   download_host --engine URL FILE BLOCK   runs ClassDownload alone (no
//   dialog) and prints "ms bytes status" to engine.txt beside FILE.
//   download_host --form   opens the download-code form as the settings
//   dialog's "Get More" does, and writes the name it hands back to the
//   list rebuild into rebuilt.txt in the program's folder.
//   download_host --dpichange   makes both dialogs (without running them),
//   sends each a move to a monitor of twice the DPI as the system sends it,
//   and prints what moved; exit code 0 when every mark and control followed.
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

#include <cstdio>
#include <cstdlib>

#include "download/class_download.h"
#include "download/code_entry.h"
#include "download/frm_download.h"
#include "download/frm_visualizations.h"
#include "resource.h"
#include "shared/files.h"

namespace {

RECT PlaceIn(HWND dialog, HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

bool Near(long a, long b) { return a - b <= 2 && b - a <= 2; }

// Sends `dialog` the DPI change to twice its DPI and checks that each of
// `ids` took twice its place and size; prints one line per control.
bool Doubles(SkinnedDialog& dialog, const char* name, std::initializer_list<int> ids) {
  std::vector<RECT> before;
  for (int id : ids) before.push_back(PlaceIn(dialog.hwnd(), dialog.Item(id)));
  const int dpi = dialog.Dpi();
  RECT suggested{10, 10, 10 + 900, 10 + 700};
  SendMessageA(dialog.hwnd(), WM_DPICHANGED, MAKEWPARAM(2 * dpi, 2 * dpi), reinterpret_cast<LPARAM>(&suggested));
  bool ok = dialog.Dpi() == 2 * dpi;
  size_t i = 0;
  for (int id : ids) {
    const RECT& b = before[i++];
    const RECT a = PlaceIn(dialog.hwnd(), dialog.Item(id));
    const bool moved = Near(a.left, 2 * b.left) && Near(a.top, 2 * b.top) &&
                       Near(a.right - a.left, 2 * (b.right - b.left)) && Near(a.bottom - a.top, 2 * (b.bottom - b.top));
    std::printf("%s id=%d %ld,%ld %ldx%ld -> %ld,%ld %ldx%ld %s\n", name, id, b.left, b.top, b.right - b.left,
                b.bottom - b.top, a.left, a.top, a.right - a.left, a.bottom - a.top, moved ? "ok" : "WRONG");
    ok = ok && moved;
  }
  return ok;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc == 5 && std::string(__argv[1]) == "--engine") {
    ClassDownload d;
    d.SetURL(__argv[2]);
    // FILE ending in "\\-" means memory mode; engine.txt still goes beside it
    std::string file = __argv[3];
    if (file.size() < 2 || file.substr(file.size() - 2) != "\\-") d.SetFichero(file);
    d.SetBytesBloqueDescarga(std::atoi(__argv[4]));
    const DWORD t0 = GetTickCount();
    d.Descargar(1);
    const DWORD ms = GetTickCount() - t0;
    std::string out = __argv[3];
    out = out.substr(0, out.find_last_of('\\') + 1) + "engine.txt";
    if (FILE* f = std::fopen(out.c_str(), "w")) {
      std::fprintf(f, "%lu %s %s\n", static_cast<unsigned long>(ms), d.StatusCode().c_str(),
                   d.HuboError() ? "error" : "ok");
      std::fclose(f);
    }
    return d.HuboError() ? 1 : 0;
  }
  if (__argc == 2 && std::string(__argv[1]) == "--form") {
    // The form's result: the name whose download ran, for the list rebuild.
    const std::string decoded = ShowFrmVisualizations(nullptr);
    if (!decoded.empty()) {
      const std::string out = Module1::ProgramFolder() + "\\rebuilt.txt";
      if (FILE* f = std::fopen(out.c_str(), "w")) {
        std::fprintf(f, "%s\n", decoded.c_str());
        std::fclose(f);
      }
    }
    return 0;
  }
  if (__argc == 2 && std::string(__argv[1]) == "--dpichange") {
    FrmDownload progress(download::DownloadRequest{});
    FrmVisualizations form;
    if (!progress.Create(nullptr) || !form.Create(nullptr)) return 2;
    bool ok = Doubles(progress, "progress", {IDC_DL_BAR, IDC_LB_MENSAJE, IDC_LB_RATE, IDCANCEL});
    // The catalogue's place, and the link (or the browser) in it.
    const int shown = form.Item(IDC_VIS_LINK) ? IDC_VIS_LINK : IDC_VIS_BROWSER;
    ok = Doubles(form, "form", {IDC_VIS_PANEL, shown, IDC_VIS_TEXT1, IDC_VIS_COMMAND2}) && ok;
    std::fflush(stdout);
    return ok ? 0 : 1;
  }
  if (__argc < 3) return 2;
  download::DownloadRequest request;
  request.DownloadURL = __argv[1];
  request.DownloadFile = __argv[2];
  request.DownloadSite = __argc > 3 ? __argv[3] : "QrvSaver2006";
  request.DownloadTitle = __argc > 4 ? __argv[4] : "TEST";
  ShowFrmDownload(nullptr, request);
  return Module1::FileExists(request.DownloadFile) ? 0 : 1;
}
