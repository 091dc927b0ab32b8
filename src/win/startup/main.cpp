#include "startup/main.h"

#include <windows.h>

#include "saver/frm_app.h"
#include "saver/frm_preview.h"
#include "settings_dialog/frm_properties.h"
#include "shared/message_pump.h"
#include "startup/command_line.h"

namespace {
int RunPreview(const std::string& command_text) {
  bool has_digits = false;
  const int32_t handle = ParseParentHandle(command_text, &has_digits);
  HWND parent = reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
  // Without a living parent the hidden form would wait forever: end quietly.
  if (!has_digits || !IsWindow(parent)) return 0;
  FrmPreview preview;
  if (!preview.Load()) return 1;
  preview.EmbedInto(parent);
  RunMessageLoop();
  return 0;
}
}  // namespace

int Main(const std::string& args) {
  switch (ParseRunMode(args)) {
    case RunMode::Configure: {
      // "/c:<hwnd>": the window that asked owns the dialog, so that it opens
      // in front of it; no number, or no such window, and it opens unowned.
      bool has_digits = false;
      const int32_t handle = ParseParentHandle(CommandText(args), &has_digits);
      HWND owner = reinterpret_cast<HWND>(static_cast<intptr_t>(handle));
      return ShowFrmProperties(has_digits && IsWindow(owner) ? owner : nullptr);
    }
    case RunMode::Preview:
      return RunPreview(CommandText(args));
    case RunMode::Run:
    default: {
      FrmApp app;
      return app.ShowModal();
    }
  }
}
