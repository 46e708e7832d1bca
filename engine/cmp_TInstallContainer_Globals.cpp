// The engine's globals, their start and end, the product directory, the
// distribution type and the global install-file list.
#include <windows.h>

#include <algorithm>

#include "classlib/Forms.h"
#include "classlib/SysUtils.h"
#include "classlib/Units.h"
#include "engine/cmp_TInstallContainer.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "classlib/WinText.h"

std::vector<TInstallContainer*>* QuillantComps = nullptr;
std::vector<TBaseQuillantForm*>* FormList = nullptr;
TCustomInstallFileList* InstallFileList = nullptr;
TQlntCompress* QlntCompress = nullptr;
std::string UniqueInstallKey;
TDateTime InstallStartTime = 0;
bool Reboot = false;
std::string SelfExtractArchive;
int32_t SelfExtractOffset = 0;
int32_t SelfExtractLast = -1;

void PointQlntCompressAt(const std::string& Archive) {
  QlntCompress->SetCompressedFile(Archive);
  const bool inside = !SelfExtractArchive.empty() && SameText(Archive, SelfExtractArchive);
  // files.1 is followed by the trailer: an entry that ran on past files.1
  // would read the trailer's bytes as its data.
  if (inside)
    QlntCompress->SetArchiveRange(SelfExtractOffset, SelfExtractLast);
  else
    QlntCompress->SetOffset(0);
}

std::function<int(const std::string&, const std::string&, unsigned)> EngineMessageBox =
    [](const std::string& Text, const std::string& Caption, unsigned Flags) {
      return MessageBoxW(GetActiveWindow(), Widen(Text).c_str(), Widen(Caption).c_str(), Flags);
    };

std::string EngineBoxCaption() { return Application ? Application->Title() : std::string(); }

// ------------------------------------------------------ TCustomInstallFileList

TCustomInstallFile* TCustomInstallFileList::Items(int I) const {
  if (I < 0 || I >= Count()) throw IECustomInstallFileList("List index out of bounds (%d)", {I});
  return FList[static_cast<size_t>(I)];
}

int TCustomInstallFileList::Add(TCustomInstallFile* Item) {
  if (!Item) throw IECustomInstallFileList("Cannot add a blank entry to the TCustomInstallFileList object");
  FList.push_back(Item);
  return Count() - 1;
}

int TCustomInstallFileList::Remove(TCustomInstallFile* Item) {
  int i = IndexOf(Item);
  if (i >= 0) FList.erase(FList.begin() + i);
  return i;
}

int TCustomInstallFileList::IndexOf(const TCustomInstallFile* Item) const {
  auto it = std::find(FList.begin(), FList.end(), Item);
  return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

// ------------------------------------------------------------------ functions

std::string GetQuillantPath(bool RaiseError) {
  static const char* const SNotFound = "Cannot find the the Quillant directory on the VCL library search path";
  std::string path = GetRVStr(hkCurrentUser, LibraryPathKey, "SearchPath", "");
  if (!Trim(path).empty()) {
    TStringList folders;
    StringToStringList(path, ';', &folders);
    for (int i = 0; i < folders.Count(); ++i) {
      // A blank folder would test the marker in the current directory.
      if (Trim(folders[i]).empty()) continue;
      if (FileExists(DirectoryWBS(folders[i]) + ProductMarkerFile)) return DirectoryWOBS(folders[i]);
    }
  }
  if (RaiseError) throw IEbdeCannotFindQuillantPath(SNotFound);
  return "";
}

TDistributeType GetDistributeType() {
  if (auto* c = dynamic_cast<TFileContainer*>(MainInstall)) return c->DistributeType();
  return dtTraditionalNet;
}

// ------------------------------------------------------------------ unit

namespace {
TDestinationSource* MainInstallAsDestination() { return MainInstall; }

void InitInstallContainer() {
  UniqueInstallKey.clear();
  Reboot = false;
  InstallStartTime = 0;
  StartDefaultNetLocation();
  FormList = new std::vector<TBaseQuillantForm*>();
  InstallFileList = new TCustomInstallFileList();
  QlntCompress = new TQlntCompress(nullptr);
  QuillantComps = new std::vector<TInstallContainer*>();
  MainInstallDestination = MainInstallAsDestination;
}

void FinInstallContainer() {
  MainInstallDestination = nullptr;
  EndDefaultNetLocation();
  delete FormList;
  FormList = nullptr;
  delete InstallFileList;
  InstallFileList = nullptr;
  delete QlntCompress;
  QlntCompress = nullptr;
  delete QuillantComps;
  QuillantComps = nullptr;
  UniqueInstallKey.clear();
}
TUnitRegistration registration(ulEngine, "cmp_TInstallContainer", InitInstallContainer, FinInstallContainer);
}  // namespace
