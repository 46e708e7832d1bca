#include "engine/cmp_TInstallShellLink.h"

#include <windows.h>
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <algorithm>

#include "classlib/ComObj.h"
#include "classlib/Units.h"
#include "classlib/WinText.h"
#include "engine/cmp_TProgramManager.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Strings.h"

const TEnumInfo MethodTypeInfo{"TMethodType", {"mtAutoDetect", "mtShellLinkInterface", "mtProgramManager"}};

QNT_PUBLISH(TCustomShellLinkGroup);
QNT_PUBLISH(TMainLinkGroup);
QNT_PUBLISH(TCustomInstallShellLink,
  Prop::Integer("HotKey", &TCustomInstallShellLink::HotKey, &TCustomInstallShellLink::SetHotKey, 0),
  Prop::String("LinkName", &TCustomInstallShellLink::LinkName, &TCustomInstallShellLink::SetLinkName, ""),
  Prop::Enum("Method", &TCustomInstallShellLink::Method, &TCustomInstallShellLink::SetMethod, MethodTypeInfo,
             mtAutoDetect),
  Prop::Component("ObjectLink", &TCustomInstallShellLink::ObjectLink, &TCustomInstallShellLink::SetObjectLink),
  Prop::String("ObjectLocation", &TCustomInstallShellLink::ObjectLocation,
               &TCustomInstallShellLink::SetObjectLocation, ""),
  Prop::Enum("ObjectLocationType", &TCustomInstallShellLink::ObjectLocationType,
             &TCustomInstallShellLink::SetObjectLocationType, PathSpecifiersInfo, ddAbsolute),
  Prop::String("Parameters", &TCustomInstallShellLink::Parameters, &TCustomInstallShellLink::SetParameters, ""));
QNT_PUBLISH(TInstallShellLink);
// A main-folder shortcut always lies in the main folder, under its folder.
QNT_PUBLISH(TInstallMainLink, Prop::Hidden("Container"), Prop::Hidden("DestDirType"));

TMainLinkGroup* MainFolder = nullptr;
TShellLinkGroupList* SubFolders = nullptr;
TInstallShellLinkList* MainFolderLinks = nullptr;
TInstallShellLinkList* ShellLinkList = nullptr;
TShellLinkFactory ShellLinkFactory = DefaultShellLinkFactory;

namespace {

const char* const SCannotExpand = "Cannot expand and/or set the ObjectLocation property of %s";
const char* const SBlankLinkName = "The LinkName is blank for %s and therefore could not be installed";
const char* const SNotInstalledCode =
    "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s. Error code %d";
const char* const SNotInstalled =
    "The TCustomInstallShellLink %s name could not be installed. The following error was reported %s";

// The uninstaller component is known by its class name, which keeps this
// unit free of the controller's.
bool IsUninstaller(const TInstallContainer* C) {
  return C && C->ClassInfo().InheritsFrom(std::string("TUninstallEXE"));
}

std::string ProductName() { return MainInstallProductName ? MainInstallProductName() : std::string(); }

// The folder of a path, without its trailing backslash.
std::string FolderOf(const std::string& Path) { return DirectoryWOBS(ExtractFilePath(Path)); }

// Releases a COM interface with the scope.
template <class I>
class TComPtr {
public:
  TComPtr() = default;
  ~TComPtr() {
    if (P) P->Release();
  }
  TComPtr(const TComPtr&) = delete;
  TComPtr& operator=(const TComPtr&) = delete;
  I* P = nullptr;
};

// The text that names an OLE failure in the shortcut's install error.
std::string OleErrorText(const EOleSysError& E) {
  switch (static_cast<uint32_t>(E.ErrorCode)) {
    case 0x00000000u:
      return "";
    case 0x80040154u:
      return TSE("Indicates that a specified class is not registered in the registration database");
    case 0x8007000Eu:
      return TSE("Out of memory");
    case 0x80070057u:
      return TSE("Indicates one or more arguments are invalid");
    case 0x8000FFFFu:
      return TSE("Indicates an unexpected error occurred");
    case 0x80040110u:
      return TSE("Indicates this class cannot be created as part of an aggregate");
    default:
      return E.Message;
  }
}

}  // namespace

long DefaultShellLinkFactory(void** Link) {
  return CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, Link);
}

// ------------------------------------------------------------ typed lists

template <class T>
int TTypedLinkList<T>::Add(T* Item) {
  if (!Item) throw IEInstallShellLinkList("Cannot add a blank entry to the shell link list");
  FItems.push_back(Item);
  return Count() - 1;
}

template <class T>
void TTypedLinkList<T>::Remove(T* Item) {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  if (it != FItems.end()) FItems.erase(it);
}

template <class T>
int TTypedLinkList<T>::IndexOf(T* Item) const {
  auto it = std::find(FItems.begin(), FItems.end(), Item);
  return it == FItems.end() ? -1 : static_cast<int>(it - FItems.begin());
}

template class TTypedLinkList<TCustomInstallShellLink>;
template class TTypedLinkList<TCustomShellLinkGroup>;

// ------------------------------------------------------------ folders

TCustomShellLinkGroup::TCustomShellLinkGroup(TComponent* AOwner) : TInstallObject(AOwner) {
  FAutomaticInstallation = true;
  FInclude = true;
}

TCustomShellLinkGroup::~TCustomShellLinkGroup() { AnnounceDestruction(); }

void TCustomShellLinkGroup::DestroyingContainer(TInstallContainer* AContainer) {
  if (AContainer == FContainer && AContainer && !HasState(csDestroying)) {
    TInstallObject::SetContainer(nullptr);
    delete this;
    return;
  }
  TInstallObject::DestroyingContainer(AContainer);
}

void TCustomShellLinkGroup::InstallUnique() {
  ExternalComponentCall(this, eccSelectFolder, nullptr);
  ForceProductDirectories(GetDestDir());
  TInstallObject::InstallUnique();
}

TMainLinkGroup::TMainLinkGroup(TComponent* AOwner) : TCustomShellLinkGroup(AOwner) {
  if (MainFolder) throw IEShellLinkGroup("You can only have one TMainLinkGroup component in your project");
  MainFolder = this;
  FDestDirType = ddProgramMenuDir;
  FDestDir = MainInstall ? "\\" + ProductName() : "\\MainFolderName";
}

TMainLinkGroup::~TMainLinkGroup() {
  AnnounceDestruction();
  if (MainFolder == this) MainFolder = nullptr;
}

void TMainLinkGroup::SetDestDirType(TPathSpecifiers) { FDestDirType = ddProgramMenuDir; }

void TMainLinkGroup::SetContainer(TInstallContainer* IC) {
  TCustomShellLinkGroup::SetContainer(IC);
  FDestDirType = ddProgramMenuDir;
}

// ------------------------------------------------------------ shortcuts

TCustomInstallShellLink::TCustomInstallShellLink(TComponent* AOwner) : TInstallObject(AOwner) {
  FAutomaticInstallation = true;
  FInclude = true;
  if (ShellLinkList) ShellLinkList->Add(this);
}

TCustomInstallShellLink::~TCustomInstallShellLink() {
  AnnounceDestruction();
  if (ShellLinkList) ShellLinkList->Remove(this);
}

void TCustomInstallShellLink::EstablishLink32() {
  if (FEstablished) return;
  HRESULT hr = CoInitialize(nullptr);
  if (hr != S_OK && hr != S_FALSE)
    throw IEInstallShellLink("Could not initialize IShellLink with following error code returned: %d",
                             {static_cast<int>(hr)});
  FEstablished = true;
}

void TCustomInstallShellLink::SetLinkName(const std::string& NewName) {
  FLinkName = Loading() ? NewName : ChangeFileExt(NewName, ".LNK");
}

void TCustomInstallShellLink::SetObjectLocation(const std::string& NewValue) {
  FObjectLocation = NewValue;
  if (Loading()) return;
  if (FObjectLocationType == ddObjectLink) FObjectLocation.clear();
  const std::string name = UpperCase(Trim(FLinkName));
  if (name.empty() || name == ".LNK") SetLinkName(ChangeFileExt(ExtractFileName(NewValue), ""));
}

void TCustomInstallShellLink::SetObjectLocationType(TPathSpecifiers NewType) {
  if (Loading()) {
    FObjectLocationType = NewType;
    return;
  }
  if (NewType == ddObjectLink && FObjectLink) {
    FObjectLocation.clear();
  } else if (!(NewType == ddContainerDestDir && FContainer)) {
    throw IEInstallShellLink(SCannotExpand, {Name()});
  }
  FObjectLocationType = NewType;
}

void TCustomInstallShellLink::SetObjectLink(TInstallContainer* AContainer) {
  if (Loading()) {
    FObjectLink = AContainer;
    return;
  }
  if (!AContainer) {
    FObjectLink = nullptr;
    FObjectLocationType = ddAbsolute;
    return;
  }
  FObjectLocationType = ddObjectLink;
  FObjectLocation.clear();
  if (auto* file = dynamic_cast<TCustomInstallFile*>(AContainer))
    FLinkName = ChangeFileExt(file->DestFileName(), ".lnk");
  else if (auto* group = dynamic_cast<TInstallFileGroup*>(AContainer))
    FLinkName = group->GroupName() + ".lnk";
  else
    FLinkName = AContainer->Name() + ".lnk";
  if (!FContainer) SetContainer(AContainer);
  FObjectLink = AContainer;
}

std::string TCustomInstallShellLink::GetObjectLocation() {
  switch (FObjectLocationType) {
    case ddObjectLink:
      if (!FObjectLink) throw IEInstallShellLink(SCannotExpand, {Name()});
      if (auto* file = dynamic_cast<TCustomInstallFile*>(FObjectLink))
        return file->GetDestFile();
      return DirectoryWOBS(FObjectLink->GetDestDir());
    case ddContainerDestDir:
      if (!FContainer) throw IEInstallShellLink(SCannotExpand, {Name()});
      return DirectoryWOBS(FContainer->GetDestDir()) + FObjectLocation;
    case ddWindows:
      return DirectoryWOBS(DirectoryWOBS(WindowsDir) + FObjectLocation);
    case ddSystem:
      return DirectoryWOBS(DirectoryWOBS(SystemDir) + FObjectLocation);
    case ddAbsolute:
      return DirectoryWOBS(FObjectLocation);
    case ddProgramFilesDir:
      return DirectoryWOBS(ExpandProgramFilesDir()) + FObjectLocation;
    case ddCommonFilesDir:
      return DirectoryWOBS(ExpandCommonFilesDir()) + FObjectLocation;
    case ddDesktopMenuDir:
      return DirectoryWOBS(ExpandDesktopDir()) + FObjectLocation;
    case ddProgramMenuDir:
      return DirectoryWOBS(ExpandProgramMenuDir()) + FObjectLocation;
    case ddStartMenuDir:
      return DirectoryWOBS(ExpandStartMenuDir()) + FObjectLocation;
    default:
      throw IEInstallShellLink("That path specifier is not allowed for %s", {Name()});
  }
}

std::string TCustomInstallShellLink::LinkPath() { return DirectoryWBS(GetDestDir()) + FLinkName; }

void TCustomInstallShellLink::Install32() {
  FEstablished = true;  // COM is initialised for the program's thread at start-up
  if (FObjectLink && dynamic_cast<TCustomShellLinkGroup*>(FObjectLink))
    ForceProductDirectories(FObjectLink->GetDestDir());
  if (Trim(FLinkName).empty()) throw IEInstallShellLink(SBlankLinkName, {Name()});
  ForceProductDirectories(GetDestDir());
  const std::string arguments = ExpandPath(FParameters, this);
  const std::string target = GetObjectLocation();
  const std::string path = LinkPath();

  TComPtr<IShellLinkW> link;
  OleCheck(ShellLinkFactory(reinterpret_cast<void**>(&link.P)));
  TComPtr<IPersistFile> file;
  try {
    OleCheck(link.P->SetPath(Widen(target).c_str()));
    OleCheck(link.P->SetHotkey(FHotKey));
    OleCheck(link.P->SetArguments(Widen(arguments).c_str()));
    OleCheck(link.P->SetWorkingDirectory(Widen(FolderOf(target)).c_str()));
    OleCheck(link.P->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file.P)));
    // The shell's paths hold fewer than MAX_PATH characters: a longer one
    // would be saved cut, somewhere else.
    const std::wstring widePath = Widen(path);
    if (widePath.size() >= MAX_PATH)
      throw Exception(Format(TSE("The path %s is too long for a shortcut"), {path}));
    OleCheck(file.P->Save(widePath.c_str(), TRUE));
  } catch (const EOleSysError& e) {
    throw IEInstallShellLink(SNotInstalledCode, {Name(), OleErrorText(e), e.ErrorCode});
  } catch (const Exception& e) {
    throw IEInstallShellLink(SNotInstalled, {Name(), e.Message});
  }
}

void TCustomInstallShellLink::Install16() {
  // Program Manager items stand only for shortcuts in the Programs folder.
  if (FDestDirType != ddProgramMenuDir) return;
  const std::string group = ExtractFileName(DirectoryWOBS(GetDestDir()));
  if (Trim(group).empty()) throw IEInstallShellLink(SBlankLinkName, {Name()});
  ProgramManager->CreateGroup(group);
  const std::string item = ChangeFileExt(FLinkName, "");
  if (ProgramManager->ItemIndexOf(item) != -1) ProgramManager->ReplaceItem(item);
  const std::string arguments = ExpandPath(FParameters, this);
  const std::string target = GetObjectLocation();
  ProgramManager->AddItem("\"" + target + "\" " + arguments, item, "", 0, "\"" + FolderOf(target) + "\"", "");
}

void TCustomInstallShellLink::InstallUnique() {
  if (IsUninstaller(FObjectLink)) {
    if (!MainInstall) throw IEInstallShellLink("%s cannot perform operation because there is no TInstall component",
                                               {Name()});
    // The uninstaller finds the record by the product name it is started with.
    FParameters = ProductName();
  }
  switch (FMethod) {
    case mtAutoDetect: {
      TWindowsVerType v = GetWindowsVerType();
      if (v == wvWin95 || v == wvWinNT)
        Install32();
      else
        Install16();
      break;
    }
    case mtShellLinkInterface:
      Install32();
      break;
    case mtProgramManager:
      Install16();
      break;
  }
  TInstallObject::InstallUnique();
}

// Recorded whether or not a link was made (Program Manager items have none).
void TCustomInstallShellLink::WriteInstallInfo(const std::string& RegKey) { WriteUninstallFileEntry(RegKey, LinkPath()); }

void TCustomInstallShellLink::DestroyingContainer(TInstallContainer* AContainer) {
  if (AContainer && !HasState(csDestroying)) {
    if (AContainer == FObjectLink) {
      SetObjectLink(nullptr);
      if (FContainer == AContainer) TInstallObject::SetContainer(nullptr);
      delete this;
      return;
    }
    if (AContainer == FContainer) {
      TInstallObject::SetContainer(nullptr);
      delete this;
      return;
    }
  }
  TInstallObject::DestroyingContainer(AContainer);
}

TInstallMainLink::TInstallMainLink(TComponent* AOwner) : TCustomInstallShellLink(AOwner) {
  if (!MainFolder)
    throw IEInstallShellLink("To create a TInstallMainLink you must first have a TMainLinkGroup component in your project");
  SetContainer(MainFolder);
  FDestDirType = ddContainerDestDir;
  if (MainFolderLinks) MainFolderLinks->Add(this);
}

TInstallMainLink::~TInstallMainLink() {
  AnnounceDestruction();
  if (MainFolderLinks) MainFolderLinks->Remove(this);
}

void TInstallMainLink::SetContainer(TInstallContainer* IC) {
  if (!IC || IC != MainFolder)
    throw IEInstallShellLink(
        "The TMainLinkGroup component must be the Container for TInstallMainLink and TSubLinkGroup components");
  TCustomInstallShellLink::SetContainer(IC);
}

// ------------------------------------------------------------------ unit

namespace {
void InitShellLink() {
  SubFolders = new TShellLinkGroupList();
  MainFolderLinks = new TInstallShellLinkList();
  ShellLinkList = new TInstallShellLinkList();
}
void FinShellLink() {
  delete SubFolders;
  delete MainFolderLinks;
  delete ShellLinkList;
  SubFolders = nullptr;
  MainFolderLinks = nullptr;
  ShellLinkList = nullptr;
}
TUnitRegistration registration(ulEngine, "cmp_TInstallShellLink", InitShellLink, FinShellLink);
}  // namespace
