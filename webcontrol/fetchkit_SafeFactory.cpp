#include "webcontrol/fetchkit_SafeFactory.h"

#include "classlib/Registry.h"

namespace {
std::string CategoriesKey(const CLSID& ClassID) {
  return "\\CLSID\\" + GUIDToString(ClassID) + "\\Implemented Categories";
}
}  // namespace

void AddSafetyKeys(const CLSID& ClassID) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  std::string base = CategoriesKey(ClassID);
  for (const GUID* cat : {&CATID_SafeForScripting, &CATID_SafeForInitializing}) {
    if (!reg.OpenKey(base + "\\" + GUIDToString(*cat), true))
      throw ERegistryException("Cannot register the control as safe: " + base);
    reg.WriteString("", "");
    reg.CloseKey();
  }
}

void RemoveSafetyKeys(const CLSID& ClassID) {
  TRegistry reg;
  reg.SetRootKey(HKEY_CLASSES_ROOT);
  std::string base = CategoriesKey(ClassID);
  reg.DeleteKey(base + "\\" + GUIDToString(CATID_SafeForInitializing));
  reg.DeleteKey(base + "\\" + GUIDToString(CATID_SafeForScripting));
  reg.DeleteKey(base);
}

void TSafeActiveXControlFactory::UpdateRegistry(bool Register) {
  if (Register) {
    AddSafetyKeys(ClassID());
    TActiveXControlFactory::UpdateRegistry(true);
  } else {
    RemoveSafetyKeys(ClassID());
    TActiveXControlFactory::UpdateRegistry(false);
  }
}
