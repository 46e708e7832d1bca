// The translator of wizard texts and the install errors whose messages it
// translates.
#pragma once
#include <string>

#include "foundation/exceptions_Quillant.h"

// Translates an English message text into the current wizard language
// through the first translator; unchanged when there is none or no match.
std::string TSE(const std::string& English);

// Install errors: the English text is translated before it is formatted.
class IException : public ECustomQuillantAbnormal {
public:
  explicit IException(const std::string& Msg);
  // A translated format string whose placeholders do not fit the arguments
  // falls back to the English one, and to the bare English text when even that
  // does not fit, so the error keeps its class and a readable message.
  IException(const std::string& Msg, const TVarRecs& Args);
};

#define QNT_IEXCEPTION(Name, Base)         \
  class Name : public Base {               \
  public:                                  \
    using Base::Base;                      \
  }

QNT_IEXCEPTION(IEInstall, IException);
QNT_IEXCEPTION(IEInstallContainer, IException);
QNT_IEXCEPTION(IEBaseHelperComponent, IException);
QNT_IEXCEPTION(IEFileRelated, IException);
QNT_IEXCEPTION(IEFileContainer, IException);
QNT_IEXCEPTION(IEfcDuplicateFile, IEFileContainer);
QNT_IEXCEPTION(IEObjectRepositoryEntry, IException);
QNT_IEXCEPTION(IEInstallBDE, IException);
QNT_IEXCEPTION(IEbdeCannotFindQuillantPath, IEInstallBDE);
QNT_IEXCEPTION(IEInstallShellLink, IException);
QNT_IEXCEPTION(IEShellLinkGroup, IException);
QNT_IEXCEPTION(IEInstallShellLinkList, IException);
QNT_IEXCEPTION(IECustomInstallFile, IException);
QNT_IEXCEPTION(IENetInstallLocation, IException);
QNT_IEXCEPTION(IEUninstallEXE, IException);
QNT_IEXCEPTION(IECustomInstallFileList, IException);
