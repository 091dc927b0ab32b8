#include "registry/mdl_registro.h"

#include <algorithm>
#include <climits>

namespace mdlRegistro {

HKEY ToHKey(int32_t key) {
  // Sign-extended, as the platform's own root constants are.
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(key)));
}

int32_t RegVariant::Long() const {
  const int32_t* n = std::get_if<int32_t>(&v_);
  return n ? *n : 0;
}

const std::string& RegVariant::String() const {
  static const std::string kNone;
  const std::string* s = std::get_if<std::string>(&v_);
  return s ? *s : kNone;
}

std::string RegVariant::ToText() const {
  if (IsLong()) return std::to_string(Long());
  return String();
}

bool RegVariant::ToLong(int32_t* out) const {
  *out = 0;
  if (IsEmpty()) return true;
  if (IsLong()) {
    *out = Long();
    return true;
  }
  const std::string& s = String();
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  size_t i = 0, end = s.size();
  while (i < end && blank(s[i])) ++i;
  while (end > i && blank(s[end - 1])) --end;
  bool negative = false;
  if (i < end && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == end) return false;
  long long magnitude = 0;
  for (; i < end; ++i) {
    if (s[i] < '0' || s[i] > '9') return false;
    magnitude = magnitude * 10 + (s[i] - '0');
    if (magnitude > static_cast<long long>(INT32_MAX) + 1) return false;
  }
  const long long value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) return false;
  *out = static_cast<int32_t>(value);
  return true;
}

KeyHandle OpenKey(int32_t lPredefinedKey, const std::string& sKeyName) {
  const HKEY root = ToHKey(lPredefinedKey);
  HKEY key = nullptr;
  // The status is ignored on purpose: see the header.
  if (RegOpenKeyExA(root, sKeyName.c_str(), 0, kKeyAccess, &key) != ERROR_SUCCESS) key = nullptr;
  return KeyHandle(key);  // the root itself (an empty path) is never closed
}

LONG SetValueEx(HKEY hKey, const std::string& sValueName, int32_t lValueType, const RegVariant& vValue) {
  switch (lValueType) {
    case REG_SZ: {
      const std::string text = vValue.ToText();
      if (!hKey) return ERROR_INVALID_HANDLE;
      // The size counts the terminating NUL, as the call documents for
      // string types (c_str() guarantees it right after the text).
      return RegSetValueExA(hKey, sValueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>(text.size() + 1));
    }
    case REG_DWORD: {
      int32_t number = 0;
      if (!vValue.ToLong(&number)) return ERROR_INVALID_DATA;
      if (!hKey) return ERROR_INVALID_HANDLE;
      return RegSetValueExA(hKey, sValueName.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                            sizeof number);
    }
    default:
      return kUnsupportedType;
  }
}

LONG QueryValueEx(HKEY hKey, const std::string& sValueName, RegVariant& vValue) {
  vValue = RegVariant();
  if (!hKey) return ERROR_INVALID_HANDLE;
  DWORD type = 0;
  DWORD size = 0;
  LONG status = RegQueryValueExA(hKey, sValueName.c_str(), nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS) return status;

  switch (type) {
    case REG_SZ: {
      // Nothing stored: there is nothing to read, the value stays empty and
      // the sizing call's status stands.
      if (size == 0) return status;
      std::string buffer(size, '\0');
      DWORD filled = size;
      DWORD type_now = 0;
      // The buffer's own size goes in: if the value grew since the sizing
      // call, the platform answers ERROR_MORE_DATA instead of overrunning.
      status = RegQueryValueExA(hKey, sValueName.c_str(), nullptr, &type_now, reinterpret_cast<BYTE*>(&buffer[0]),
                                &filled);
      if (status != ERROR_SUCCESS) return status;
      if (type_now != REG_SZ) return kUnsupportedType;
      filled = std::min(filled, size);
      // The reported size counts the terminator; a text stored without one
      // keeps its last character.
      if (filled > 0 && buffer[filled - 1] == '\0') --filled;
      buffer.resize(filled);
      vValue = std::move(buffer);
      return status;
    }
    case REG_DWORD: {
      int32_t number = 0;
      DWORD filled = sizeof number;
      DWORD type_now = 0;
      // Never more than the integer's four bytes: longer data fails with
      // ERROR_MORE_DATA rather than writing past it.
      status = RegQueryValueExA(hKey, sValueName.c_str(), nullptr, &type_now, reinterpret_cast<BYTE*>(&number),
                                &filled);
      if (status != ERROR_SUCCESS) return status;
      if (type_now != REG_DWORD) return kUnsupportedType;
      vValue = number;
      return status;
    }
    default:
      return kUnsupportedType;
  }
}

bool CreateNewKey(int32_t lPredefinedKey, const std::string& sNewKeyName) {
  const HKEY root = ToHKey(lPredefinedKey);
  HKEY created = nullptr;
  DWORD disposition = 0;  // not used
  const LONG status = RegCreateKeyExA(root, sNewKeyName.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kKeyAccess,
                                      nullptr, &created, &disposition);
  KeyHandle key(status == ERROR_SUCCESS ? created : nullptr);
  return status == ERROR_SUCCESS;
}

bool SetKeyValue(int32_t lPredefinedKey, const std::string& sKeyName, const std::string& sValueName,
                 const RegVariant& vValueSetting, int32_t lValueType) {
  KeyHandle key = OpenKey(lPredefinedKey, sKeyName);
  return SetValueEx(key.get(), sValueName, lValueType, vValueSetting) == ERROR_SUCCESS;
}

RegVariant QueryValue(int32_t lPredefinedKey, const std::string& sKeyName, const std::string& sValueName) {
  KeyHandle key = OpenKey(lPredefinedKey, sKeyName);
  RegVariant value;
  // The status is not passed on: a failed read leaves the value empty.
  (void)QueryValueEx(key.get(), sValueName, value);
  return value;
}

}  // namespace mdlRegistro
