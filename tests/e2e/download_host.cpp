// Opens the real download dialog on its own, for the end-to-end scripts and
// the benchmark: download_host URL FILE [SITE TITLE]. The four hand-over
// strings are set as the code form sets them; the exit code is 0 when FILE
// exists afterwards, 1 when not.
//   download_host --engine URL FILE BLOCK   runs ClassDownload alone (no
//   dialog) and prints "ms bytes status" to engine.txt beside FILE.
//   download_host --form   opens the download-code form as the settings
//   dialog's "Get More" does, and writes the name it hands back to the
//   list rebuild into rebuilt.txt in the program's folder.
#include <windows.h>

#include <string>

#include <cstdio>
#include <cstdlib>

#include "download/class_download.h"
#include "download/code_entry.h"
#include "download/frm_download.h"
#include "download/frm_visualizations.h"
#include "shared/files.h"

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
  if (__argc < 3) return 2;
  download::DownloadRequest request;
  request.DownloadURL = __argv[1];
  request.DownloadFile = __argv[2];
  request.DownloadSite = __argc > 3 ? __argv[3] : "QrvSaver2006";
  request.DownloadTitle = __argc > 4 ? __argv[4] : "TEST";
  ShowFrmDownload(nullptr, request);
  return Module1::FileExists(request.DownloadFile) ? 0 : 1;
}
