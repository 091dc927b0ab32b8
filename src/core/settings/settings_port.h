#pragma once
#include <string>

// Access to the user's settings, as the rest of the program sees it. The
// Windows build implements it on the registry; tests use an in-memory store.
// Texts only: a missing value reads as "".
class SettingsPort {
 public:
  virtual ~SettingsPort() = default;
  virtual std::string ReadSetting(const std::string& app_name, const std::string& value_name) = 0;
  // "True" when the write was accepted, else "False".
  virtual std::string WriteSetting(const std::string& app_name, const std::string& value_name,
                                   const std::string& value) = 0;
  virtual std::string CreateSettingsKey(const std::string& app_name) = 0;
};

// The application name under which every setting of the program lives.
inline const char* const kAppName = "VMSRC16";
