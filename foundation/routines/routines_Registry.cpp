#include "foundation/routines/routines_Registry.h"

#include <windows.h>

#include <memory>

#include "classlib/Classes.h"
#include "foundation/routines/routines_Strings.h"

void SetTheRoot(TRegistry* ARegistry, TRootKeys Root) {
  static const HKEY keys[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_CURRENT_USER,
                              HKEY_DYN_DATA,     HKEY_LOCAL_MACHINE,  HKEY_USERS};
  if (ARegistry && Root >= hkClassesRoot && Root <= hkUsers) ARegistry->SetRootKey(keys[Root]);
}

void WriteRVStr(TRootKeys Root, const std::string& Key, const std::string& Ident, const std::string& Value) {
  TRegistry reg;
  SetTheRoot(&reg, Root);
  auto fail = [&] {
    return EIRCannotWriteValue("Cannot install into registry. Key: %s Ident: %s Value %s", {Key, Ident, Value});
  };
  if (!reg.OpenKey(Key, true)) throw fail();
  try {
    reg.WriteString(Ident, Value);
  } catch (const ERegistryException&) {
    throw fail();
  }
}

void WriteRVInteger(TRootKeys Root, const std::string& Key, const std::string& Ident, int32_t Value) {
  TRegistry reg;
  SetTheRoot(&reg, Root);
  if (!reg.OpenKey(Key, true)) throw EIRCannotWriteValue(Key);
  try {
    reg.WriteInteger(Ident, Value);
  } catch (const ERegistryException&) {
    throw EIRCannotWriteValue(Key);
  }
}

std::string GetRVStr(TRootKeys Root, const std::string& Key, const std::string& Ident,
                     const std::string& Default) {
  try {
    TRegistry reg(KEY_READ);
    SetTheRoot(&reg, Root);
    if (!reg.OpenKeyReadOnly(Key) || !reg.ValueExists(Ident)) return Default;
    return reg.ReadString(Ident);
  } catch (const Exception&) {
    return Default;
  }
}

void DeleteKey(TRootKeys Root, const std::string& Key) {
  // A blank path would open the root key itself and empty the whole hive.
  if (Key.find_first_not_of('\\') == std::string::npos) return;
  try {
    TStringList names;
    {
      TRegistry reg;
      SetTheRoot(&reg, Root);
      if (!reg.OpenKeyReadOnly(Key)) return;
      reg.GetKeyNames(&names);
      reg.CloseKey();
    }
    // Windows NT refuses to delete a key that still has subkeys.
    for (int i = 0; i < names.Count(); ++i) DeleteKey(Root, DirectoryWBS(Key) + names[i]);
    TRegistry reg;
    SetTheRoot(&reg, Root);
    reg.DeleteKey(Key);
  } catch (const std::exception&) {
  }
}

bool RegisterRunOnce(const std::string& Ident, const std::string& Value, bool IdentUnique) {
  try {
    TRegistry reg;
    reg.SetRootKey(HKEY_LOCAL_MACHINE);
    if (!reg.OpenKey(RunOnceKey, true)) return false;
    std::string name = Ident;
    if (IdentUnique)
      for (long long n = 1; reg.ValueExists(name); ++n) name = Ident + IntToStr(n);
    reg.WriteString(name, Value);
    reg.SetLazyWrite(false);
    reg.CloseKey();
    return true;
  } catch (const Exception&) {
    return false;
  }
}
