#include "registry/c_registro.h"

#include <algorithm>

using mdlRegistro::KeyHandle;
using mdlRegistro::RegVariant;

namespace {

enum class Listing { SubKeys, Values };

int32_t EnumNames(int32_t lPredefinedKey, const std::string& sKeyName, Listing what,
                  std::vector<std::string>& names) {
  names.clear();
  KeyHandle opened;
  HKEY key = mdlRegistro::ToHKey(lPredefinedKey);
  if (!sKeyName.empty()) {
    opened = mdlRegistro::OpenKey(lPredefinedKey, sKeyName);
    key = opened.get();
  }
  if (!key) return -1;

  DWORD subkeys = 0, longest_subkey = 0, values = 0, longest_value = 0;
  if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longest_subkey, nullptr, &values, &longest_value,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return -1;
  const DWORD count = what == Listing::SubKeys ? subkeys : values;
  const DWORD longest = what == Listing::SubKeys ? longest_subkey : longest_value;
  if (count == 0) return 0;

  int32_t result = static_cast<int32_t>(count);
  names.assign(count, std::string());
  std::string buffer;
  for (DWORD i = count; i-- > 0;) {
    buffer.assign(longest + 1, '\0');
    DWORD size = longest + 1;
    LONG status;
    if (what == Listing::SubKeys) {
      status = RegEnumKeyExA(key, i, &buffer[0], &size, nullptr, nullptr, nullptr, nullptr);
    } else {
      // Only the name is wanted: asking for no data lets values of any size
      // be listed.
      status = RegEnumValueA(key, i, &buffer[0], &size, nullptr, nullptr, nullptr, nullptr);
    }
    if (status == ERROR_SUCCESS) {
      // The reported size is the name's length without its terminator.
      names[i] = buffer.substr(0, std::min<size_t>(size, longest + 1));
    } else {
      result = -1;
    }
  }
  return result;
}

}  // namespace

bool cRegistro::DeleteKey(int32_t lPredefinedKey, const std::string& sKeyName) const {
  // An empty path would name the root key itself.
  if (sKeyName.empty()) return false;
  return RegDeleteKeyA(mdlRegistro::ToHKey(lPredefinedKey), sKeyName.c_str()) == ERROR_SUCCESS;
}

bool cRegistro::DeleteValue(int32_t lPredefinedKey, const std::string& sKeyName, const std::string& sValueName) const {
  KeyHandle key = mdlRegistro::OpenKey(lPredefinedKey, sKeyName);
  if (!key.get()) return false;
  return RegDeleteValueA(key.get(), sValueName.c_str()) == ERROR_SUCCESS;
}

int32_t cRegistro::EnumKey(int32_t lPredefinedKey, const std::string& sKeyName,
                           std::vector<std::string>& vSubKeys) const {
  return EnumNames(lPredefinedKey, sKeyName, Listing::SubKeys, vSubKeys);
}

int32_t cRegistro::EnumValue(int32_t lPredefinedKey, const std::string& sKeyName,
                             std::vector<std::string>& vValues) const {
  return EnumNames(lPredefinedKey, sKeyName, Listing::Values, vValues);
}

bool cRegistro::SetValue(int32_t lPredefinedKey, const std::string& sKeyName, const std::string& sValueName,
                         const RegVariant& vValueSetting, int32_t lValueType) const {
  return mdlRegistro::SetKeyValue(lPredefinedKey, sKeyName, sValueName, vValueSetting, lValueType);
}

RegVariant cRegistro::QueryValue(int32_t lPredefinedKey, const std::string& sKeyName,
                                 const std::string& sValueName) const {
  return mdlRegistro::QueryValue(lPredefinedKey, sKeyName, sValueName);
}

bool cRegistro::CreateNewKey(int32_t lPredefinedKey, const std::string& sNewKeyName) const {
  return mdlRegistro::CreateNewKey(lPredefinedKey, sNewKeyName);
}
