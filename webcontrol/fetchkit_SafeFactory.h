// The control's factory: the framework's ActiveX control factory that also
// registers the control as safe for scripting and safe for initialising
// (the standard component categories), and removes that again.
#pragma once
#include "classlib/ComObj.h"

inline constexpr GUID CATID_SafeForScripting = {0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
inline constexpr GUID CATID_SafeForInitializing = {0x7DD95802, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};

class TSafeActiveXControlFactory : public TActiveXControlFactory {
public:
  using TActiveXControlFactory::TActiveXControlFactory;
  void UpdateRegistry(bool Register) override;
};

// CLSID\<class>\Implemented Categories with both category keys.
void AddSafetyKeys(const CLSID& ClassID);
// The two category keys (initialising first), then Implemented Categories.
void RemoveSafetyKeys(const CLSID& ClassID);
