// The class library's registry object: one open key at a time under a root
// key, over the Win32 registry functions (native view, no redirection flags).
#pragma once
#include <cstdint>
#include <string>

#include "classlib/Classes.h"

struct HKEY__;
typedef HKEY__* HKEY;

class ERegistryException : public Exception {
public:
  using Exception::Exception;
};

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

class TRegistry : public TObject {
public:
  // Root key HKEY_CURRENT_USER, full access, lazy writing on.
  TRegistry();
  explicit TRegistry(uint32_t AAccess);
  ~TRegistry() override;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return FRootKey; }
  // Closes the open key first.
  void SetRootKey(HKEY Value);
  HKEY CurrentKey() const { return FCurrentKey; }
  const std::string& CurrentPath() const { return FCurrentPath; }
  uint32_t Access() const { return FAccess; }
  void SetAccess(uint32_t Value) { FAccess = Value; }
  // Off: closing a key flushes it to the disk first.
  bool LazyWrite() const { return FLazyWrite; }
  void SetLazyWrite(bool Value) { FLazyWrite = Value; }

  // A key beginning with a backslash is taken from the root key, any other
  // from the open key (or the root when none is open). True on success; the
  // opened key then replaces the open one.
  bool OpenKey(const std::string& Key, bool CanCreate);
  // Opens with read access only, whatever Access says.
  bool OpenKeyReadOnly(const std::string& Key);
  bool KeyExists(const std::string& Key);
  bool CreateKey(const std::string& Key);
  // Deletes one key (Windows NT refuses when it has subkeys).
  bool DeleteKey(const std::string& Key);
  // Deletes Key with all its subkeys, deepest first (for systems that
  // refuse to delete a key that has subkeys); true when Key is gone.
  bool DeleteKeyTree(const std::string& Key);
  void CloseKey();

  bool HasSubKeys() const;
  void GetKeyNames(TStrings* Strings) const;
  void GetValueNames(TStrings* Strings) const;
  bool ValueExists(const std::string& Name) const;
  bool GetDataInfo(const std::string& Name, TRegDataInfo& Value) const;
  TRegDataType GetDataType(const std::string& Name) const;
  int GetDataSize(const std::string& Name) const;  // -1 when the value is missing
  bool DeleteValue(const std::string& Name);

  // Reads raise ERegistryException on a value of another type; ReadString
  // gives "" for a missing value, ReadInteger and the binary reads raise.
  std::string ReadString(const std::string& Name) const;
  int32_t ReadInteger(const std::string& Name) const;
  // Copies at most BufSize bytes; returns the value's size.
  int ReadBinaryData(const std::string& Name, void* Buffer, int BufSize) const;
  double ReadDateTime(const std::string& Name) const;  // 8 binary bytes
  // Writes raise ERegistryException "Failed to set data for '<name>'".
  void WriteString(const std::string& Name, const std::string& Value);
  void WriteExpandString(const std::string& Name, const std::string& Value);
  void WriteInteger(const std::string& Name, int32_t Value);
  void WriteBinaryData(const std::string& Name, const void* Buffer, int BufSize);
  void WriteDateTime(const std::string& Name, double Value);

private:
  HKEY BaseKey(bool Relative) const;
  void ChangeKey(HKEY Value, const std::string& Path);
  void PutData(const std::string& Name, const void* Buffer, int BufSize, unsigned long Type);

  HKEY FRootKey;
  HKEY FCurrentKey = nullptr;
  std::string FCurrentPath;
  uint32_t FAccess;
  bool FLazyWrite = true;
};
