#include "classlib/Registry.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "classlib/WinText.h"

namespace {

bool IsRelative(const std::string& Key) { return Key.empty() || Key[0] != '\\'; }

TRegDataType DataTypeOf(DWORD t) {
  switch (t) {
    case REG_SZ:
      return rdString;
    case REG_EXPAND_SZ:
      return rdExpandString;
    case REG_DWORD:
      return rdInteger;
    case REG_BINARY:
      return rdBinary;
    default:
      return rdUnknown;
  }
}

// Raw data of a value; false when it is missing or unreadable.
bool QueryRaw(HKEY key, const std::string& Name, DWORD& type, std::vector<BYTE>& data) {
  if (!key) return false;
  std::wstring w = Widen(Name);
  DWORD size = 0;
  if (RegQueryValueExW(key, w.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
  for (int tries = 0; tries < 4; ++tries) {
    data.assign(size + sizeof(wchar_t), 0);  // room for a missing terminator
    DWORD got = size;
    LONG rc = RegQueryValueExW(key, w.c_str(), nullptr, &type, data.data(), &got);
    if (rc == ERROR_SUCCESS) {
      data.resize(got);
      return true;
    }
    if (rc != ERROR_MORE_DATA) return false;
    size = got;  // grew in between
  }
  return false;
}

[[noreturn]] void InvalidType(const std::string& Name) {
  throw ERegistryException("Invalid data type for '" + Name + "'");
}

}  // namespace

TRegistry::TRegistry() : TRegistry(KEY_ALL_ACCESS) {}

TRegistry::TRegistry(uint32_t AAccess) : FRootKey(HKEY_CURRENT_USER), FAccess(AAccess) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY Value) {
  if (Value == FRootKey) return;
  CloseKey();
  FRootKey = Value;
}

HKEY TRegistry::BaseKey(bool Relative) const {
  return (FCurrentKey == nullptr || !Relative) ? FRootKey : FCurrentKey;
}

void TRegistry::ChangeKey(HKEY Value, const std::string& Path) {
  CloseKey();
  FCurrentKey = Value;
  FCurrentPath = Path;
}

bool TRegistry::OpenKey(const std::string& Key, bool CanCreate) {
  bool relative = IsRelative(Key);
  std::string s = relative ? Key : Key.substr(1);
  std::wstring w = Widen(s);
  HKEY temp = nullptr;
  LONG rc;
  if (!CanCreate || s.empty()) {
    rc = RegOpenKeyExW(BaseKey(relative), w.c_str(), 0, FAccess, &temp);
  } else {
    DWORD disposition = 0;
    rc = RegCreateKeyExW(BaseKey(relative), w.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess,
                         nullptr, &temp, &disposition);
  }
  if (rc != ERROR_SUCCESS) return false;
  if (FCurrentKey != nullptr && relative && !FCurrentPath.empty()) s = FCurrentPath + "\\" + s;
  ChangeKey(temp, s);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& Key) {
  uint32_t saved = FAccess;
  FAccess = KEY_READ;
  bool ok = OpenKey(Key, false);
  FAccess = saved;
  return ok;
}

bool TRegistry::KeyExists(const std::string& Key) {
  bool relative = IsRelative(Key);
  std::wstring w = Widen(relative ? Key : Key.substr(1));
  HKEY temp = nullptr;
  if (RegOpenKeyExW(BaseKey(relative), w.c_str(), 0, KEY_READ, &temp) != ERROR_SUCCESS) return false;
  RegCloseKey(temp);
  return true;
}

bool TRegistry::CreateKey(const std::string& Key) {
  bool relative = IsRelative(Key);
  std::wstring w = Widen(relative ? Key : Key.substr(1));
  HKEY temp = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExW(BaseKey(relative), w.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, FAccess, nullptr,
                      &temp, &disposition) != ERROR_SUCCESS)
    return false;
  RegCloseKey(temp);
  return true;
}

bool TRegistry::DeleteKey(const std::string& Key) {
  bool relative = IsRelative(Key);
  std::wstring w = Widen(relative ? Key : Key.substr(1));
  if (w.empty()) return false;  // never the base key itself
  return RegDeleteKeyW(BaseKey(relative), w.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKeyTree(const std::string& Key) {
  bool relative = IsRelative(Key);
  std::wstring w = Widen(relative ? Key : Key.substr(1));
  if (w.find_first_not_of(L'\\') == std::wstring::npos) return false;  // never the base key itself
  HKEY base = BaseKey(relative);
  HKEY k = nullptr;
  if (RegOpenKeyExW(base, w.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  std::vector<std::wstring> names;
  wchar_t buf[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = 256;
    if (RegEnumKeyExW(k, i, buf, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    names.emplace_back(buf, len);
  }
  RegCloseKey(k);
  for (const std::wstring& n : names) {
    TRegistry sub(FAccess);
    sub.SetRootKey(base);
    sub.DeleteKeyTree("\\" + Narrow(w + L"\\" + n));
  }
  return RegDeleteKeyW(base, w.c_str()) == ERROR_SUCCESS;
}

void TRegistry::CloseKey() {
  if (FCurrentKey == nullptr) return;
  if (!FLazyWrite) RegFlushKey(FCurrentKey);
  RegCloseKey(FCurrentKey);
  FCurrentKey = nullptr;
  FCurrentPath.clear();
}

bool TRegistry::HasSubKeys() const {
  if (!FCurrentKey) return false;
  DWORD subkeys = 0;
  if (RegQueryInfoKeyW(FCurrentKey, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  return subkeys > 0;
}

void TRegistry::GetKeyNames(TStrings* Strings) const {
  if (!Strings) return;
  Strings->Clear();
  if (!FCurrentKey) return;
  DWORD maxLen = 0;
  if (RegQueryInfoKeyW(FCurrentKey, nullptr, nullptr, nullptr, nullptr, &maxLen, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<wchar_t> buf(maxLen + 2);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG rc = RegEnumKeyExW(FCurrentKey, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {  // a longer name appeared meanwhile
      buf.resize(buf.size() * 2 + 256);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    Strings->Add(Narrow(buf.data(), len));
  }
}

void TRegistry::GetValueNames(TStrings* Strings) const {
  if (!Strings) return;
  Strings->Clear();
  if (!FCurrentKey) return;
  DWORD maxLen = 0;
  if (RegQueryInfoKeyW(FCurrentKey, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxLen,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return;
  std::vector<wchar_t> buf(maxLen + 2);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG rc = RegEnumValueW(FCurrentKey, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) {
      buf.resize(buf.size() * 2 + 256);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) break;
    Strings->Add(Narrow(buf.data(), len));
  }
}

bool TRegistry::ValueExists(const std::string& Name) const {
  TRegDataInfo info;
  return GetDataInfo(Name, info);
}

bool TRegistry::GetDataInfo(const std::string& Name, TRegDataInfo& Value) const {
  Value = TRegDataInfo{};
  if (!FCurrentKey) return false;
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(FCurrentKey, Widen(Name).c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return false;
  Value.RegData = DataTypeOf(type);
  Value.DataSize = static_cast<int>(size);
  return true;
}

TRegDataType TRegistry::GetDataType(const std::string& Name) const {
  TRegDataInfo info;
  return GetDataInfo(Name, info) ? info.RegData : rdUnknown;
}

int TRegistry::GetDataSize(const std::string& Name) const {
  TRegDataInfo info;
  return GetDataInfo(Name, info) ? info.DataSize : -1;
}

bool TRegistry::DeleteValue(const std::string& Name) {
  if (!FCurrentKey) return false;
  return RegDeleteValueW(FCurrentKey, Widen(Name).c_str()) == ERROR_SUCCESS;
}

std::string TRegistry::ReadString(const std::string& Name) const {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!QueryRaw(FCurrentKey, Name, type, data)) return {};
  if (type != REG_SZ && type != REG_EXPAND_SZ) InvalidType(Name);
  const wchar_t* w = reinterpret_cast<const wchar_t*>(data.data());
  size_t n = data.size() / sizeof(wchar_t);
  while (n > 0 && w[n - 1] == L'\0') --n;
  // A value may hold data after an embedded terminator; the string ends there.
  size_t len = 0;
  while (len < n && w[len] != L'\0') ++len;
  return Narrow(w, len);
}

int32_t TRegistry::ReadInteger(const std::string& Name) const {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!QueryRaw(FCurrentKey, Name, type, data)) InvalidType(Name);
  if (type != REG_DWORD || data.size() < 4) InvalidType(Name);
  int32_t v;
  std::memcpy(&v, data.data(), 4);
  return v;
}

int TRegistry::ReadBinaryData(const std::string& Name, void* Buffer, int BufSize) const {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!QueryRaw(FCurrentKey, Name, type, data)) InvalidType(Name);
  if (type != REG_BINARY) InvalidType(Name);
  size_t n = data.size();
  if (Buffer && BufSize > 0) std::memcpy(Buffer, data.data(), std::min(n, static_cast<size_t>(BufSize)));
  return static_cast<int>(n);
}

double TRegistry::ReadDateTime(const std::string& Name) const {
  double v = 0;
  if (ReadBinaryData(Name, &v, sizeof v) != static_cast<int>(sizeof v)) InvalidType(Name);
  return v;
}

void TRegistry::PutData(const std::string& Name, const void* Buffer, int BufSize, unsigned long Type) {
  if (!FCurrentKey || BufSize < 0 ||
      RegSetValueExW(FCurrentKey, Widen(Name).c_str(), 0, Type, static_cast<const BYTE*>(Buffer),
                     static_cast<DWORD>(BufSize)) != ERROR_SUCCESS)
    throw ERegistryException("Failed to set data for '" + Name + "'");
}

void TRegistry::WriteString(const std::string& Name, const std::string& Value) {
  std::wstring w = Widen(Value);
  PutData(Name, w.c_str(), static_cast<int>((w.size() + 1) * sizeof(wchar_t)), REG_SZ);
}

void TRegistry::WriteExpandString(const std::string& Name, const std::string& Value) {
  std::wstring w = Widen(Value);
  PutData(Name, w.c_str(), static_cast<int>((w.size() + 1) * sizeof(wchar_t)), REG_EXPAND_SZ);
}

void TRegistry::WriteInteger(const std::string& Name, int32_t Value) {
  PutData(Name, &Value, sizeof Value, REG_DWORD);
}

void TRegistry::WriteBinaryData(const std::string& Name, const void* Buffer, int BufSize) {
  PutData(Name, Buffer, BufSize, REG_BINARY);
}

void TRegistry::WriteDateTime(const std::string& Name, double Value) {
  PutData(Name, &Value, sizeof Value, REG_BINARY);
}
