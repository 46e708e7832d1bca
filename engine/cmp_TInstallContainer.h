// The install component tree: every install component is an install
// container that keeps an ordered list of the install objects placed inside
// it, installs itself and then them, passes broadcasts down to its pages and
// information events up to its container. The tree holds references only:
// the install module owns and frees every component.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/TypInfo.h"
#include "foundation/constants_Quillant.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/translator/cmp_TTranslator.h"

enum TInstallType { itFull, itDefault, itCompact, itAlways, itCustom };
using TInstallTypeSet = unsigned;  // bit (1 << value) per install type
constexpr TInstallTypeSet InstallTypeBit(TInstallType t) { return 1u << t; }

enum TDistributeType { dtTraditional, dtWeb, dtTraditionalNet };

enum TPathSpecifiers {
  ddAbsolute,
  ddSystem,
  ddWindows,
  ddProgramFilesDir,
  ddCommonFilesDir,
  ddInstallSourceDir,
  ddContainerDestDir,
  ddContainerArchiveFile,
  ddObjectLink,
  ddBDEDLLDir,
  ddMainInstallDir,
  ddDesktopMenuDir,
  ddProgramMenuDir,
  ddStartMenuDir,
  ddFontDir,
  ddStartupMenuDir,
};
using TPathSpecifiersSet = unsigned;  // bit (1 << value) per path base
constexpr TPathSpecifiersSet PathBit(TPathSpecifiers p) { return 1u << p; }

class TInstallContainer;
class TInstallObject;

using TInstallContainerNotifyEvent = std::function<void(TInstallContainer* Container)>;
using TAfterProcessFilesEvent = std::function<void(TInstallContainer* Container, bool WasAborted)>;
using TInstallFileNotifyEvent = std::function<void(TInstallObject* InstallFile)>;
using TInstallFileStatusEvent =
    std::function<void(TInstallObject* InstallFile, int FilePercentDone, int TotalPercentDone)>;
using TInstallFileNewDiskEvent = std::function<void(TInstallObject* InstallFile, int NewDisk, std::string& Path)>;

// Parameter objects of broadcasts and information events: made by the sender
// for one call, lent to the receivers and freed by the sender afterwards.
class TFileStatusParameter : public TObject {
public:
  int32_t FileBytesProcessed = 0;
  int FileComplete = 0;
  std::string FileName;
  TlzhFileStats FileStats;
  int32_t TotalBytesProcessed = 0;
  int TotalComplete = 0;
};

class TDiskParameter : public TObject {
public:
  int Disk = 0;
  std::string SourceDir;  // a receiver may change it; the sender reads it back
};

class TMessageParameter : public TObject {
public:
  std::string Text;
};

class TDownloadStatusParameter : public TObject {
public:
  int32_t Bytes = 0;
  std::string FileName;
  int32_t FileSize = 0;
  int32_t TotalBytesReceived = 0;
  int TotalComplete = 0;
};

// Messages of the receivers' parameter checks (install errors formatted with
// the receiver's Name).
extern const char* const SNilPO;                  // "%s got a nil PO parameter"
extern const char* const SPONotFileStatus;        // ... not a TFileStatusParameter object
extern const char* const SPONotMessage;           // ... not a TMessageParameter object
extern const char* const SPONotDownloadStatus;    // ... not a TDownloadStatusParameter object

// A receiver's check of the parameter object of a code it handles: nil raises
// SNilPO, another class WrongClassText (one of the three above), both as
// install errors naming the receiver.
template <class T>
T* ParameterAs(TObject* PO, const TComponent* Receiver, const char* WrongClassText) {
  if (!PO) throw IException(SNilPO, {Receiver->Name()});
  T* t = dynamic_cast<T*>(PO);
  if (!t) throw IException(WrongClassText, {Receiver->Name()});
  return t;
}

// Names of the enumerations as text forms write them.
extern const TEnumInfo InstallTypeInfo;
extern const TEnumInfo PathSpecifiersInfo;
extern const TEnumInfo DistributeTypeInfo;

// Publishes Include, InstallTypes, DestDir, DestDirType, OnBeforeProcess and
// OnAfterProcess; install objects add Container and Order.
class TInstallContainer : public TComponent, public TDestinationSource {
  QNT_PUBLISHED(TInstallContainer, TComponent)
public:
  explicit TInstallContainer(TComponent* AOwner);
  ~TInstallContainer() override;

  TPathSpecifiersSet AcceptableDestDirPS() const { return FAcceptableDestDirPS; }
  bool AutomaticInstallation() const { return FAutomaticInstallation; }
  void SetAutomaticInstallation(bool Value) { FAutomaticInstallation = Value; }
  bool Include() const { return FInclude; }
  void SetInclude(bool Value) { FInclude = Value; }
  bool Installed() const { return FInstalled; }
  void SetInstalled(bool Value) { FInstalled = Value; }
  TInstallTypeSet InstallTypes() const { return FInstallTypes; }
  // An empty set is [itAlways]; a set that adds itAlways to the current one is
  // [itAlways]; any other set holding more than itAlways loses itAlways.
  void SetInstallTypes(TInstallTypeSet Value);
  TInstallType SelectedInstallType() const { return FSelectedInstallType; }
  // Sets the whole subtree: every child first, then this container.
  void SetSelectedInstallType(TInstallType Value);
  TInstallObject* SuppressExceptFor() const { return FSuppressExceptFor; }
  void SetSuppressExceptFor(TInstallObject* Value) { FSuppressExceptFor = Value; }
  const std::string& DestDir() const { return FDestDir; }
  virtual void SetDestDir(const std::string& NewDestDir) { FDestDir = NewDestDir; }
  TPathSpecifiers DestDirType() const { return FDestDirType; }
  // Unchecked while loading; otherwise a base outside AcceptableDestDirPS
  // raises IEInstallContainer and the old value stays.
  virtual void SetDestDirType(TPathSpecifiers NewDestDirType);
  int32_t Order() const { return FOrder; }

  const TInstallContainerNotifyEvent& OnBeforeProcess() const { return FOnBeforeProcess; }
  void SetOnBeforeProcess(TInstallContainerNotifyEvent Value) { FOnBeforeProcess = std::move(Value); }
  const TInstallContainerNotifyEvent& OnAfterProcess() const { return FOnAfterProcess; }
  void SetOnAfterProcess(TInstallContainerNotifyEvent Value) { FOnAfterProcess = std::move(Value); }

  // The children that are file containers (file groups), among themselves.
  virtual int GetFileGroupCount();
  virtual TInstallObject* GetFileGroups(int I);
  int FileGroupCount() { return GetFileGroupCount(); }
  TInstallObject* FileGroups(int I) { return GetFileGroups(I); }

  // Called on every other install container when AContainer is destroyed.
  virtual void DestroyingContainer(TInstallContainer* AContainer);
  // Broadcasts a status text to the install-status page.
  virtual void DisplayMessage(const std::string& S);
  void HideMessage();
  // An information event from a child; the base does nothing.
  virtual void DoInformationEventControl(TInstallContainer* Container, int ComponentCall, TObject* PO);
  // A broadcast from a container; the base does nothing.
  virtual void HandleExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO);
  // Sends ComponentCall to the direct children of registered type cDialog, or
  // only to SuppressExceptFor when that is set. Receivers' exceptions pass.
  void ExternalComponentCall(TInstallContainer* Container, int ComponentCall, TObject* PO);

  // The full destination folder, without a trailing backslash.
  std::string GetDestDir() override;
  TDestinationSource* DestinationContainer() const override { return nullptr; }
  // Every concrete class names its registered type (cFileGroup ... cDialog).
  virtual int RegisteredType();

  virtual void InsertHelperComponent(TInstallObject* BHC);
  virtual void RemoveHelperComponent(TInstallObject* BHC);
  virtual void Install();
  virtual void InstallUnique();
  // Completion in the run after a restart; the base does nothing.
  virtual void FinishInstall() {}
  // The wizard language changed; the base does nothing.
  virtual void LanguageSwitch(TQlntLanguage NewLanguageIdent) { (void)NewLanguageIdent; }
  // Writes this component's part of the uninstall record; the base does nothing.
  virtual void WriteInstallInfo(const std::string& RegKey) { (void)RegKey; }

  // Frees every child of class T (or a descendant), last first.
  template <class T>
  void ClearBaseHelperType() {
    ClearBaseHelperType([](TInstallObject* o) { return dynamic_cast<T*>(o) != nullptr; });
  }
  // The I-th child of class T (or a descendant); IEInstallContainer when none.
  template <class T>
  T* Comp(int I) {
    return static_cast<T*>(Comp(I, [](TInstallObject* o) { return dynamic_cast<T*>(o) != nullptr; }, ClassTag<T>()));
  }
  template <class T>
  int CompCount() {
    return CompCount([](TInstallObject* o) { return dynamic_cast<T*>(o) != nullptr; });
  }
  int GetHCCount() const { return static_cast<int>(FHelpers.size()); }
  TInstallObject* GetHC(int I) const;
  int HCCount() const { return GetHCCount(); }
  TInstallObject* HC(int I) const { return GetHC(I); }
  // Sets each child's Order to its index among the children of its registered type.
  void UpdateOrderProperties();

  bool Loading() const { return HasState(csLoading); }

protected:
  using TClassTest = bool (*)(TInstallObject*);
  void ClearBaseHelperType(TClassTest Test);
  TInstallObject* Comp(int I, TClassTest Test, int ClassTagValue);
  int CompCount(TClassTest Test);
  // A number that stands for a class in the Comp error message.
  template <class T>
  static int ClassTag() {
    static const char tag = 0;
    return static_cast<int>(reinterpret_cast<uintptr_t>(&tag) & 0x7fffffff);
  }
  // Refuses, unless loading, a base this class cannot resolve.
  void CheckDestDirType(TPathSpecifiers Value);
  // The folder of a base that every install container resolves; false when
  // the base is none of them.
  bool BaseFolder(TPathSpecifiers Base, std::string& Folder);
  // Tells every other live install container that this one goes (each drops
  // its references to it). The tree's own destructors call it; a class whose
  // receivers need to see it whole calls it first thing in its destructor.
  void AnnounceDestruction();

  TPathSpecifiersSet FAcceptableDestDirPS;
  bool FAutomaticInstallation = false;
  bool FInclude = true;
  bool FInstalled = false;
  TInstallTypeSet FInstallTypes = InstallTypeBit(itAlways);
  TInstallType FSelectedInstallType = itAlways;
  TInstallObject* FSuppressExceptFor = nullptr;
  std::string FDestDir;
  TPathSpecifiers FDestDirType = ddAbsolute;
  int32_t FOrder = -1;
  TInstallContainerNotifyEvent FOnBeforeProcess;
  TInstallContainerNotifyEvent FOnAfterProcess;

private:
  friend class TInstallObject;
  std::vector<TInstallObject*> FHelpers;
  bool FAnnounced = false;
  bool FResolving = false;  // guards GetDestDir against bases that lead back here
};

class TInstallObject : public TInstallContainer {
  QNT_PUBLISHED(TInstallObject, TInstallContainer)
public:
  explicit TInstallObject(TComponent* AOwner);
  ~TInstallObject() override;

  TInstallContainer* Container() const { return FContainer; }
  // Inserts into the new container first (a refused insertion changes
  // nothing), then leaves the old one. Outside loading a new container sets
  // DestDirType ddContainerDestDir with a blank DestDir; none turns
  // ddContainerDestDir into ddAbsolute.
  virtual void SetContainer(TInstallContainer* IC);
  // While loading the value is stored; otherwise the object moves to that
  // position among its container's children of its registered type.
  void SetOrder(int32_t NewOrder);

  void SetDestDirType(TPathSpecifiers NewDestDirType) override;
  void DestroyingContainer(TInstallContainer* AContainer) override;
  std::string GetDestDir() override;
  TDestinationSource* DestinationContainer() const override { return FContainer; }

protected:
  // Tells the container of an information event; nothing without one.
  void ReportInformationEvent(int ComponentCall, TObject* PO);

  TInstallContainer* FContainer = nullptr;
  bool FDidSetContainer = false;
};

// True when C is included and selected by the install type the user chose.
bool IsIncluded(TInstallContainer* Container);

// Every live install container, in creation order (created and freed with
// the unit).
extern std::vector<TInstallContainer*>* QuillantComps;
// The install controller: set by its constructor, cleared by its destructor.
extern TInstallObject* MainInstall;
// The controller's product name, which names the uninstall key; supplied by
// the controller. Blank without one.
extern std::function<std::string()> MainInstallProductName;

// The uninstall key a component writes its part of the record under.
std::string UninstallKeyFor(const std::string& ProductName);
