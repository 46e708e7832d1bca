#include "classlib/IniFiles.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>
#include <string>
#include <vector>

#include "classlib/WinText.h"

namespace {

// A profile call that fills a buffer of double-NUL-ended strings; grows the
// buffer until the result fits (the call reports size - 2 when it did not).
std::vector<wchar_t> ProfileList(const wchar_t* Section, const wchar_t* Key, const std::wstring& File) {
  std::vector<wchar_t> buf(4096);
  for (;;) {
    DWORD n = GetPrivateProfileStringW(Section, Key, L"", buf.data(), static_cast<DWORD>(buf.size()),
                                       File.c_str());
    if (n + 2 < buf.size() || buf.size() >= (1u << 24)) {
      buf.resize(n + 2);
      buf[n] = buf[n + 1] = L'\0';
      return buf;
    }
    buf.resize(buf.size() * 4);
  }
}

void ListToStrings(const std::vector<wchar_t>& buf, TStrings* Strings) {
  const wchar_t* p = buf.data();
  const wchar_t* end = buf.data() + buf.size();
  while (p < end && *p) {
    size_t len = wcsnlen(p, static_cast<size_t>(end - p));
    Strings->Add(Narrow(p, len));
    p += len + 1;
  }
}

}  // namespace

TIniFile::~TIniFile() = default;

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) const {
  std::wstring sec = Widen(Section), key = Widen(Ident), def = Widen(Default), file = Widen(FFileName);
  std::vector<wchar_t> buf(2048);
  for (;;) {
    DWORD n = GetPrivateProfileStringW(sec.c_str(), key.c_str(), def.c_str(), buf.data(),
                                       static_cast<DWORD>(buf.size()), file.c_str());
    if (n + 1 < buf.size() || buf.size() >= (1u << 24)) return Narrow(buf.data(), n);
    buf.resize(buf.size() * 4);
  }
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) {
  if (!WritePrivateProfileStringW(Widen(Section).c_str(), Widen(Ident).c_str(), Widen(Value).c_str(),
                                  Widen(FFileName).c_str()))
    throw EIniFileException("Unable to write to " + FFileName);
}

int32_t TIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int32_t Default) const {
  std::string s = ReadString(Section, Ident, "");
  long long v;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    try {
      return static_cast<int32_t>(std::stoll(s.substr(2), nullptr, 16));
    } catch (...) {
      return Default;
    }
  }
  if (!TryStrToInt(s, v) || v < INT32_MIN || v > INT32_MAX) return Default;
  return static_cast<int32_t>(v);
}

void TIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int32_t Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

bool TIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) const {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

void TIniFile::ReadSections(TStrings* Strings) const {
  if (!Strings) return;
  Strings->Clear();
  ListToStrings(ProfileList(nullptr, nullptr, Widen(FFileName)), Strings);
}

void TIniFile::ReadSection(const std::string& Section, TStrings* Strings) const {
  if (!Strings) return;
  Strings->Clear();
  std::wstring sec = Widen(Section);
  ListToStrings(ProfileList(sec.c_str(), nullptr, Widen(FFileName)), Strings);
}

void TIniFile::ReadSectionValues(const std::string& Section, TStrings* Strings) const {
  if (!Strings) return;
  TStringList keys;
  ReadSection(Section, &keys);
  Strings->Clear();
  for (int i = 0; i < keys.Count(); ++i) Strings->Add(keys[i] + "=" + ReadString(Section, keys[i], ""));
}

bool TIniFile::SectionExists(const std::string& Section) const {
  TStringList names;
  ReadSections(&names);
  return names.IndexOf(Section) >= 0;
}

bool TIniFile::ValueExists(const std::string& Section, const std::string& Ident) const {
  TStringList keys;
  ReadSection(Section, &keys);
  return keys.IndexOf(Ident) >= 0;
}

void TIniFile::EraseSection(const std::string& Section) {
  if (!WritePrivateProfileStringW(Widen(Section).c_str(), nullptr, nullptr, Widen(FFileName).c_str()))
    throw EIniFileException("Unable to write to " + FFileName);
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
  WritePrivateProfileStringW(Widen(Section).c_str(), Widen(Ident).c_str(), nullptr, Widen(FFileName).c_str());
}

void TIniFile::UpdateFile() { WritePrivateProfileStringW(nullptr, nullptr, nullptr, Widen(FFileName).c_str()); }
