#include "registry/settings_store.h"

#include "registry/mdl_registro.h"

namespace Module1 {

namespace {
const char* BoolText(bool value) { return value ? "True" : "False"; }
}  // namespace

std::string SettingsKeyPath(const std::string& AppName) { return "Quorvane\\" + AppName + "\\Settings"; }

std::string ReadSetting(const std::string& AppName, const std::string& ValueName) {
  return mdlRegistro::QueryValue(mdlRegistro::kHKeyCurrentUser, SettingsKeyPath(AppName), ValueName).ToText();
}

std::string WriteSetting(const std::string& AppName, const std::string& ValueName, const std::string& Value) {
  return BoolText(mdlRegistro::SetKeyValue(mdlRegistro::kHKeyCurrentUser, SettingsKeyPath(AppName), ValueName,
                                           mdlRegistro::RegVariant(Value), REG_SZ));
}

std::string CreateSettingsKey(const std::string& AppName) {
  return BoolText(mdlRegistro::CreateNewKey(mdlRegistro::kHKeyCurrentUser, SettingsKeyPath(AppName)));
}

}  // namespace Module1

std::string RegistrySettings::ReadSetting(const std::string& app_name, const std::string& value_name) {
  return Module1::ReadSetting(app_name, value_name);
}

std::string RegistrySettings::WriteSetting(const std::string& app_name, const std::string& value_name,
                                           const std::string& value) {
  return Module1::WriteSetting(app_name, value_name, value);
}

std::string RegistrySettings::CreateSettingsKey(const std::string& app_name) {
  return Module1::CreateSettingsKey(app_name);
}
