#include "engine/cmp_TInstallContainer.h"

#include <algorithm>

#include "classlib/Units.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_Strings.h"

const TEnumInfo InstallTypeInfo{"TInstallType", {"itFull", "itDefault", "itCompact", "itAlways", "itCustom"}};
const TEnumInfo PathSpecifiersInfo{
    "TPathSpecifiers",
    {"ddAbsolute", "ddSystem", "ddWindows", "ddProgramFilesDir", "ddCommonFilesDir", "ddInstallSourceDir",
     "ddContainerDestDir", "ddContainerArchiveFile", "ddObjectLink", "ddBDEDLLDir", "ddMainInstallDir",
     "ddDesktopMenuDir", "ddProgramMenuDir", "ddStartMenuDir", "ddFontDir", "ddStartupMenuDir"}};
const TEnumInfo DistributeTypeInfo{"TDistributeType", {"dtTraditional", "dtWeb", "dtTraditionalNet"}};

QNT_PUBLISH(TInstallContainer,
  Prop::Boolean("Include", &TInstallContainer::Include, &TInstallContainer::SetInclude, true),
  Prop::Set("InstallTypes", &TInstallContainer::InstallTypes, &TInstallContainer::SetInstallTypes, InstallTypeInfo,
            InstallTypeBit(itAlways)),
  Prop::String("DestDir", &TInstallContainer::DestDir, &TInstallContainer::SetDestDir, ""),
  Prop::Enum("DestDirType", &TInstallContainer::DestDirType, &TInstallContainer::SetDestDirType,
             PathSpecifiersInfo, ddAbsolute),
  Prop::Event("OnBeforeProcess", &TInstallContainer::OnBeforeProcess, &TInstallContainer::SetOnBeforeProcess),
  Prop::Event("OnAfterProcess", &TInstallContainer::OnAfterProcess, &TInstallContainer::SetOnAfterProcess));

// Order has no default: it is always stored.
QNT_PUBLISH(TInstallObject,
  Prop::Component("Container", &TInstallObject::Container, &TInstallObject::SetContainer),
  Prop::Integer("Order", &TInstallObject::Order, &TInstallObject::SetOrder));

TInstallObject* MainInstall = nullptr;
void (*InstallAheadOfTree)(TInstallContainer* Controller) = nullptr;
std::function<std::string()> MainInstallProductName;

const char* const SNilPO = "%s got a nil PO parameter";
const char* const SPONotFileStatus = "The PO object passed to %s is not a TFileStatusParameter object";
const char* const SPONotMessage = "The PO object passed to %s is not a TMessageParameter object";
const char* const SPONotDownloadStatus = "The PO object passed to %s is not a TDownloadStatusParameter object";

namespace {

const char* const SNotAllowed = "That path specifier is not allowed for %s";
const char* const SNoContainer = "Cannot expand DestDir for %s because it has no container";
const char* const SNoMainInstall = "Cannot expand DestDir for %s because there is no TInstall component";

constexpr TPathSpecifiersSet ContainerBases =
    PathBit(ddAbsolute) | PathBit(ddSystem) | PathBit(ddWindows) | PathBit(ddProgramFilesDir) |
    PathBit(ddCommonFilesDir) | PathBit(ddDesktopMenuDir) | PathBit(ddProgramMenuDir) | PathBit(ddStartMenuDir) |
    PathBit(ddFontDir) | PathBit(ddStartupMenuDir);

// Base folder (without its trailing backslash) and tail, without one
// trailing backslash as a whole: "C:\" with a blank tail gives "C:".
std::string Join(const std::string& Base, const std::string& Tail) {
  return DirectoryWOBS(DirectoryWOBS(Base) + Tail);
}

// Sets a flag for the length of a scope.
class TResolveGuard {
public:
  TResolveGuard(bool& Flag, const std::string& Name) : FFlag(Flag) {
    if (FFlag) throw IEInstallContainer("The destination of %s leads back to itself", {Name});
    FFlag = true;
  }
  ~TResolveGuard() { FFlag = false; }
  TResolveGuard(const TResolveGuard&) = delete;
  TResolveGuard& operator=(const TResolveGuard&) = delete;

private:
  bool& FFlag;
};

}  // namespace

std::string UninstallKeyFor(const std::string& ProductName) {
  return "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + ProductName;
}

std::string ProductRecordKey() { return UninstallKeyFor(MainInstallProductName ? MainInstallProductName() : ""); }

bool IsIncluded(TInstallContainer* Container) {
  if (!Container || !Container->Include()) return false;
  TInstallType sel = Container->SelectedInstallType();
  TInstallTypeSet types = Container->InstallTypes();
  return sel == itAlways || sel == itCustom || (types & InstallTypeBit(itAlways)) != 0 ||
         (types & InstallTypeBit(sel)) != 0;
}

// ------------------------------------------------------------ TInstallContainer

TInstallContainer::TInstallContainer(TComponent* AOwner)
    : TComponent(AOwner), FAcceptableDestDirPS(ContainerBases) {
  if (QuillantComps) QuillantComps->push_back(this);
}

TInstallContainer::~TInstallContainer() {
  AnnounceDestruction();
  FHelpers.clear();
  FDialogs.clear();
  NoteFreedDuringLanguageSwitch(this);
  if (QuillantComps) {
    auto it = std::find(QuillantComps->begin(), QuillantComps->end(), this);
    if (it != QuillantComps->end()) QuillantComps->erase(it);
  }
}

void TInstallContainer::AnnounceDestruction() {
  if (FAnnounced) return;
  FAnnounced = true;
  if (!QuillantComps) return;
  // Last to first; a receiver may change the list, so every step re-checks it.
  for (size_t i = QuillantComps->size(); i-- > 0;) {
    if (i >= QuillantComps->size()) continue;
    TInstallContainer* c = (*QuillantComps)[i];
    if (c != this) c->DestroyingContainer(this);
  }
}

void TInstallContainer::SetInstallTypes(TInstallTypeSet Value) {
  const TInstallTypeSet always = InstallTypeBit(itAlways);
  Value &= InstallTypeBit(itFull) | InstallTypeBit(itDefault) | InstallTypeBit(itCompact) | always |
           InstallTypeBit(itCustom);
  if (Value == 0)
    Value = always;
  else if ((Value & always) && !(FInstallTypes & always))
    Value = always;  // choosing "always" replaces the others
  else if (Value & ~always)
    Value &= ~always;  // any other type replaces "always"
  FInstallTypes = Value;
}

void TInstallContainer::SetSelectedInstallType(TInstallType Value) {
  for (size_t i = 0; i < FHelpers.size(); ++i) FHelpers[i]->SetSelectedInstallType(Value);
  FSelectedInstallType = Value;
}

void TInstallContainer::CheckDestDirType(TPathSpecifiers Value) {
  if (Loading()) return;
  if (Value < ddAbsolute || Value > ddStartupMenuDir || !(FAcceptableDestDirPS & PathBit(Value)))
    throw IEInstallContainer(SNotAllowed, {Name()});
}

void TInstallContainer::SetDestDirType(TPathSpecifiers NewDestDirType) {
  CheckDestDirType(NewDestDirType);
  FDestDirType = NewDestDirType;
}

int TInstallContainer::GetFileGroupCount() {
  int n = 0;
  for (TInstallObject* o : FHelpers)
    if (o->RegisteredType() == cFileGroup) ++n;
  return n;
}

TInstallObject* TInstallContainer::GetFileGroups(int I) {
  int n = 0;
  for (TInstallObject* o : FHelpers)
    if (o->RegisteredType() == cFileGroup && n++ == I) return o;
  throw IEInstallContainer(
      "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer component. The "
      "parameters are probably reversed. Index: %d, ComponentType: %d",
      {I, cFileGroup});
}

void TInstallContainer::DestroyingContainer(TInstallContainer* AContainer) {
  // Only install objects stand in child lists.
  if (TInstallObject* o = dynamic_cast<TInstallObject*>(AContainer)) {
    if (FSuppressExceptFor == o) FSuppressExceptFor = nullptr;
    RemoveHelperComponent(o);
  }
}

void TInstallContainer::DisplayMessage(const std::string& S) {
  TMessageParameter p;
  p.Text = S;
  ExternalComponentCall(this, eccInstallStatusDialog_Display, &p);
}

void TInstallContainer::HideMessage() { ExternalComponentCall(this, eccInstallStatusDialog_Hide, nullptr); }

void TInstallContainer::DoInformationEventControl(TInstallContainer*, int, TObject*) {}

void TInstallContainer::HandleExternalComponentCall(TInstallContainer*, int, TObject*) {}

void TInstallContainer::ExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO) {
  if (!FSuppressExceptFor && FDialogs.empty()) return;
  const size_t count = FHelpers.size();
  // A receiver may free or move children: every step re-checks the list.
  for (size_t i = 0; i < count && i < FHelpers.size(); ++i) {
    TInstallObject* child = FHelpers[i];
    if (FSuppressExceptFor ? child == FSuppressExceptFor : child->RegisteredType() == cDialog)
      child->HandleExternalComponentCall(Container, ComponentCall, PO);
  }
}

bool TInstallContainer::BaseFolder(TPathSpecifiers Base, std::string& Folder) {
  switch (Base) {
    case ddAbsolute:
      Folder.clear();
      return true;
    case ddSystem:
      Folder = SystemDir;
      return true;
    case ddWindows:
      Folder = WindowsDir;
      return true;
    case ddProgramFilesDir:
      Folder = ExpandProgramFilesDir();
      return true;
    case ddCommonFilesDir:
      Folder = ExpandCommonFilesDir();
      return true;
    case ddDesktopMenuDir:
      Folder = ExpandDesktopDir();
      return true;
    case ddProgramMenuDir:
      Folder = ExpandProgramMenuDir();
      return true;
    case ddStartMenuDir:
      Folder = ExpandStartMenuDir();
      return true;
    case ddFontDir:
      Folder = ExpandFontDir();
      return true;
    case ddStartupMenuDir:
      Folder = ExpandStartupMenuDir();
      return true;
    default:
      return false;
  }
}

std::string TInstallContainer::GetDestDir() {
  std::string base;
  if (!BaseFolder(FDestDirType, base)) throw IEInstallContainer(SNotAllowed, {Name()});
  return Join(base, FDestDir);
}

int TInstallContainer::RegisteredType() { throw IEInstallContainer("Class must declare a registered type"); }

void TInstallContainer::InsertHelperComponent(TInstallObject* BHC) {
  if (!BHC) throw IEInstallContainer("Cannot add a blank base helper component to %s", {Name()});
  // Neither this container nor any container above it may come inside it.
  for (TInstallContainer* node = this; node;) {
    if (node == BHC) throw IEInstallContainer("Circular reference");
    TInstallObject* o = dynamic_cast<TInstallObject*>(node);
    node = o ? o->Container() : nullptr;
  }
  const int type = BHC->RegisteredType();
  auto existing = std::find(FHelpers.begin(), FHelpers.end(), BHC);
  if (existing != FHelpers.end()) FHelpers.erase(existing);
  ForgetDialog(BHC);
  if (type == cDialog) FDialogs.push_back(BHC);
  size_t at = FHelpers.size();
  for (size_t i = 0; i < FHelpers.size(); ++i) {
    int t = FHelpers[i]->RegisteredType();
    if (t > type || (t == type && BHC->Order() != -1 && FHelpers[i]->Order() >= BHC->Order())) {
      at = i;
      break;
    }
  }
  FHelpers.insert(FHelpers.begin() + static_cast<std::ptrdiff_t>(at), BHC);
  if (!Loading()) UpdateOrderProperties();
}

void TInstallContainer::ForgetDialog(TInstallObject* BHC) {
  auto it = std::find(FDialogs.begin(), FDialogs.end(), BHC);
  if (it != FDialogs.end()) FDialogs.erase(it);
}

void TInstallContainer::RemoveHelperComponent(TInstallObject* BHC) {
  if (!BHC) return;
  auto it = std::find(FHelpers.begin(), FHelpers.end(), BHC);
  if (it == FHelpers.end()) return;
  FHelpers.erase(it);
  ForgetDialog(BHC);
  if (!Loading()) UpdateOrderProperties();
}

void TInstallContainer::UpdateOrderProperties() {
  int32_t counter = 0;
  int previous = 0;
  for (size_t i = 0; i < FHelpers.size(); ++i) {
    int t = FHelpers[i]->RegisteredType();
    if (i == 0 || t != previous) counter = 0;
    previous = t;
    FHelpers[i]->FOrder = counter++;
  }
}

void TInstallContainer::Install() {
  try {
    if (FOnBeforeProcess) FOnBeforeProcess(this);
    ExternalComponentCall(this, eccBeforeProcess, nullptr);
    if (!FInclude) return;
    ExternalComponentCall(this, eccInstallTypeDlg, nullptr);
    if (FSelectedInstallType != itAlways && FSelectedInstallType != itCustom &&
        !(FInstallTypes & InstallTypeBit(itAlways)) && !(FInstallTypes & InstallTypeBit(FSelectedInstallType)))
      return;
    InstallUnique();
    FInstalled = true;
    if (MainInstall) WriteInstallInfo(ProductRecordKey());
    if (FOnAfterProcess) FOnAfterProcess(this);
    ExternalComponentCall(this, eccAfterProcess, nullptr);
  } catch (const EAbort&) {
    // A handler's silent abort skips this component only; the caller goes on.
  }
}

void TInstallContainer::InstallUnique() {
  FInstalled = true;
  // The controller puts the uninstaller and the product's entry in place
  // before any file: a run cancelled or failed midway then leaves nothing
  // the entry cannot remove.
  if (this == MainInstall && InstallAheadOfTree) InstallAheadOfTree(this);
  for (size_t i = 0; i < FHelpers.size(); ++i) {
    TInstallObject* child = FHelpers[i];
    if (child->AutomaticInstallation()) child->Install();
  }
}

TInstallObject* TInstallContainer::GetHC(int I) const {
  if (I < 0 || I >= GetHCCount())
    throw IEInstallContainer(
        "Tried to reference a helper component in the following component: %s. The following index was used: %d",
        {Name(), I});
  return FHelpers[static_cast<size_t>(I)];
}

void TInstallContainer::ClearBaseHelperType(TClassTest Test) {
  for (size_t i = FHelpers.size(); i-- > 0;) {
    if (i >= FHelpers.size()) continue;  // a freed child took others with it
    TInstallObject* child = FHelpers[i];
    if (Test(child)) delete child;  // leaves the list through its destruction notice
  }
}

TInstallObject* TInstallContainer::Comp(int I, TClassTest Test, int ClassTagValue) {
  int n = 0;
  if (I >= 0)
    for (TInstallObject* o : FHelpers)
      if (Test(o) && n++ == I) return o;
  throw IEInstallContainer(
      "Bad call to the Comp procedure which returns a TInstallObject for a TInstallContainer component. The "
      "parameters are probably reversed. Index: %d, ComponentType: %d",
      {I, ClassTagValue});
}

int TInstallContainer::CompCount(TClassTest Test) {
  int n = 0;
  for (TInstallObject* o : FHelpers)
    if (Test(o)) ++n;
  return n;
}

// --------------------------------------------------------------- TInstallObject

TInstallObject::TInstallObject(TComponent* AOwner) : TInstallContainer(AOwner) {
  FAcceptableDestDirPS |= PathBit(ddContainerDestDir) | PathBit(ddMainInstallDir);
}

TInstallObject::~TInstallObject() {
  // Announced here, while the object is still an install object to the others.
  AnnounceDestruction();
  if (MainInstall == this) MainInstall = nullptr;
}

void TInstallObject::SetContainer(TInstallContainer* IC) {
  FDidSetContainer = true;
  if (IC == FContainer) return;
  // Into the new container first: a refused insertion leaves everything as it was.
  if (IC) IC->InsertHelperComponent(this);
  if (FContainer) FContainer->RemoveHelperComponent(this);
  FContainer = IC;
  if (Loading()) return;
  if (IC) {
    FDestDirType = ddContainerDestDir;
    FDestDir.clear();
  } else if (FDestDirType == ddContainerDestDir) {
    FDestDirType = ddAbsolute;
  }
}

void TInstallObject::SetOrder(int32_t NewOrder) {
  if (Loading()) {
    FOrder = NewOrder;
    return;
  }
  if (NewOrder == FOrder || !FContainer) return;
  TInstallContainer* c = FContainer;
  c->RemoveHelperComponent(this);
  FOrder = NewOrder;
  c->InsertHelperComponent(this);
}

void TInstallObject::SetDestDirType(TPathSpecifiers NewDestDirType) {
  if (Loading()) {
    FDestDirType = NewDestDirType;
    return;
  }
  if (NewDestDirType == ddContainerDestDir) {
    if (!FContainer) throw IEBaseHelperComponent(SNoContainer, {Name()});
    FDestDirType = NewDestDirType;
  } else if (NewDestDirType == ddMainInstallDir) {
    if (!MainInstall) throw IEBaseHelperComponent(SNoMainInstall, {Name()});
    FDestDirType = NewDestDirType;
  } else {
    TInstallContainer::SetDestDirType(NewDestDirType);
  }
}

void TInstallObject::DestroyingContainer(TInstallContainer* AContainer) {
  TInstallContainer::DestroyingContainer(AContainer);
  if (AContainer == FContainer) SetContainer(nullptr);
}

std::string TInstallObject::GetDestDir() {
  if (FDestDirType == ddContainerDestDir) {
    if (!FContainer) throw IEBaseHelperComponent(SNoContainer, {Name()});
    TResolveGuard guard(FResolving, Name());
    return Join(FContainer->GetDestDir(), FDestDir);
  }
  if (FDestDirType == ddMainInstallDir) {
    if (!MainInstall) throw IEBaseHelperComponent(SNoMainInstall, {Name()});
    TResolveGuard guard(FResolving, Name());
    return Join(MainInstall->GetDestDir(), FDestDir);
  }
  return TInstallContainer::GetDestDir();
}

void TInstallObject::ReportInformationEvent(int ComponentCall, TObject* PO) {
  if (FContainer) FContainer->DoInformationEventControl(this, ComponentCall, PO);
}
