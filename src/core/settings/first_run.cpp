#include "settings/first_run.h"

void EnsureSettingsInitialised(SettingsPort& settings) {
  if (!settings.ReadSetting(kAppName, "InsKo").empty()) return;
  // Results are not examined: a store that cannot be written reads as
  // uninitialised next time and the whole sequence runs again.
  (void)settings.CreateSettingsKey(kAppName);
  static const char* const kDefaults[][2] = {
      {"EnableSound", "1"}, {"FileID", "(Default)"}, {"SoundMCI", "1"},
      {"SoundID", "Sandstorm"}, {"SoundRND", "1"}, {"UseBackGround", "0"},
  };
  for (const auto& d : kDefaults) (void)settings.WriteSetting(kAppName, d[0], d[1]);
  (void)settings.WriteSetting(kAppName, "InsKo", "regkoinic");
}
