#pragma once
// The settings store: text values in HKEY_CURRENT_USER\Quorvane\<AppName>\Settings.
#include <string>

#include "settings/settings_port.h"

namespace Module1 {

// "Quorvane\" + AppName + "\Settings", below HKEY_CURRENT_USER.
std::string SettingsKeyPath(const std::string& AppName);

// The value's text ("" when the key or the value is missing or unreadable;
// a REG_DWORD value as its decimal digits).
std::string ReadSetting(const std::string& AppName, const std::string& ValueName);
// Writes Value as REG_SZ into the existing key (a missing key is not
// created). "True" when the platform accepted the write, else "False".
std::string WriteSetting(const std::string& AppName, const std::string& ValueName, const std::string& Value);
// Creates the key and every missing key above it. "True" or "False".
std::string CreateSettingsKey(const std::string& AppName);

}  // namespace Module1

// The settings port on the real registry.
class RegistrySettings : public SettingsPort {
 public:
  std::string ReadSetting(const std::string& app_name, const std::string& value_name) override;
  std::string WriteSetting(const std::string& app_name, const std::string& value_name,
                           const std::string& value) override;
  std::string CreateSettingsKey(const std::string& app_name) override;
};
