// The install component tree: every install component is an install
// container that keeps an ordered list of the install objects placed inside
// it, installs itself and then them, passes broadcasts down to its pages and
// information events up to its container. The tree holds references only:
// the install module owns and frees every component.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/DateUtils.h"
#include "classlib/Forms.h"
#include "classlib/Streams.h"
#include "classlib/TypInfo.h"
#include "engine/routines_ObjRepository.h"
#include "foundation/archive/cmp_TQlntCompress.h"
#include "foundation/constants_Quillant.h"
#include "foundation/ftp/cmp_TNetInstallLocation.h"
#include "foundation/routines/routines_ExpandPaths.h"
#include "foundation/routines/routines_UninstallRecord.h"
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
  // Those of the helpers that are dialogs, the only ones a broadcast reaches:
  // a group of hundreds of files passes on every progress step of every
  // file, and without a dialog among them it need not look at each.
  std::vector<TInstallObject*> FDialogs;
  void ForgetDialog(TInstallObject* BHC);
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

// What the controller installs ahead of the rest of its tree, before any
// file: the uninstaller and the product's entry. Set by the uninstaller's
// unit when a program holds one (a plain pointer, set while units start).
extern void (*InstallAheadOfTree)(TInstallContainer* Controller);

// The uninstall key a component writes its part of the record under.
std::string UninstallKeyFor(const std::string& ProductName);
// The uninstall key of the controller's product.
std::string ProductRecordKey();


// ===================================================== engine globals

class TCustomInstallFile;
class TFileContainer;

// The base of every page form: it sets its fonts and translates its texts
// for the wizard language (Translate), and follows the language when the
// wizard switches it (LanguageSwitch). Every live one is in FormList.
class TBaseQuillantForm : public TForm {
  QNT_PUBLISHED(TBaseQuillantForm, TForm)
public:
  explicit TBaseQuillantForm(TComponent* AOwner);
  ~TBaseQuillantForm() override;

  // Translate sets the fonts for the language.
  bool AutoSetFont() const { return FAutoSetFont; }
  void SetAutoSetFont(bool Value) { FAutoSetFont = Value; }
  // Translate translates the texts.
  bool AutoTranslate() const { return FAutoTranslate; }
  void SetAutoTranslate(bool Value) { FAutoTranslate = Value; }
  // The install container the page belongs to (set by the page framework).
  TInstallContainer* Container() const { return FContainer; }
  void SetContainer(TInstallContainer* Value) { FContainer = Value; }
  // The language the texts are in now.
  TQlntLanguage CurrentLanguage() const { return FCurrentLanguage; }
  void SetCurrentLanguage(TQlntLanguage Value) { FCurrentLanguage = Value; }
  // Translate into TranslateIntoLanguage instead of the wizard language.
  bool OverrideMainTranslator() const { return FOverrideMainTranslator; }
  void SetOverrideMainTranslator(bool Value) { FOverrideMainTranslator = Value; }
  TQlntLanguage TranslateIntoLanguage() const { return FTranslateIntoLanguage; }
  void SetTranslateIntoLanguage(TQlntLanguage Value) { FTranslateIntoLanguage = Value; }

  // The wizard language changed: Translate (the translator's language
  // decides; the argument is not used).
  virtual void LanguageSwitch(TQlntLanguage NewLanguage);
  // Page forms refresh what they show.
  virtual void RefreshInformation();
  // Fonts (AutoSetFont), then texts (AutoTranslate), then the pending
  // messages once so that the form repaints at once.
  virtual void Translate();
  void Loaded() override;

private:
  bool FAutoSetFont = true;
  bool FAutoTranslate = true;
  TInstallContainer* FContainer = nullptr;
  TQlntLanguage FCurrentLanguage = qlEnglish;
  bool FOverrideMainTranslator = false;
  TQlntLanguage FTranslateIntoLanguage = qlUser;
};

// After a translation: every button of Form too narrow for its caption (and
// its picture), keeping a blank from its frame on either side, grows to the
// right as far as its parent leaves a margin. Buttons that fit keep their
// designed width.
void FitButtonsToCaptions(TWinControl* Form);

// Tells every live install container and then every live form
// (QuillantComps, FormList) that the wizard language is now NewLanguage.
// Each list is walked as it stood at the start; one freed meanwhile (a
// form's translation runs the message queue, where anything may happen) is
// passed over, one made meanwhile is not told.
void SwitchLanguageOfAll(TQlntLanguage NewLanguage);
// Called by the destructors of containers and forms: a switch under way
// passes over what was freed, also when a new one is made at its address.
void NoteFreedDuringLanguageSwitch(const void* Object);

// The global list of every live install file (not owned): each file adds
// itself when created and leaves when destroyed.
class TCustomInstallFileList : public TObject {
public:
  int Count() const { return static_cast<int>(FList.size()); }
  // IECustomInstallFileList for an index outside the list.
  TCustomInstallFile* Items(int I) const;
  TCustomInstallFile* operator[](int I) const { return Items(I); }
  // Appends and returns the index; a nil entry is refused.
  int Add(TCustomInstallFile* Item);
  // Removes the entry; its former index, -1 when it was not there.
  int Remove(TCustomInstallFile* Item);
  int IndexOf(const TCustomInstallFile* Item) const;

private:
  std::vector<TCustomInstallFile*> FList;
};

// Made when the unit starts, in this order: DefaultNetLocation, FormList,
// InstallFileList, QlntCompress, QuillantComps; released in the same order
// when it finishes, after the install module and the forms are gone (their
// destructors skip a list that is already gone).
extern std::vector<TBaseQuillantForm*>* FormList;
extern TCustomInstallFileList* InstallFileList;
// The one archive component: every user sets each property it relies on
// right before each use.
extern TQlntCompress* QlntCompress;
// The setup registry key of this install (below the local machine); blank
// until the controller finds or makes it.
extern std::string UniqueInstallKey;
extern TDateTime InstallStartTime;
// A file can only be replaced at the next restart.
extern bool Reboot;

// The product directory: the first folder of the Delphi 3 library search
// path (the current user's LibraryPathKey, value SearchPath) that holds the
// marker file, without a trailing backslash; blank (or
// IEbdeCannotFindQuillantPath with RaiseError) when none does.
inline constexpr const char* LibraryPathKey = "\\Software\\Borland\\Delphi\\3.0\\Library";
inline constexpr const char* ProductMarkerFile = "Q32V25B0001.TXT";
std::string GetQuillantPath(bool RaiseError);
// The controller's distribution type; dtTraditionalNet without a controller.
TDistributeType GetDistributeType();

// Commands of the jobs left for the run after a restart.
enum TUnfinishedCommand { ufcReinstall, ufcDeleteFile };

// The archive inside the self-extracting setup.exe (files.1) and where it
// lies there (its first and last byte): the archive component reads that
// range only when it reads this file, every other archive from its start to
// its end. Blank without one.
extern std::string SelfExtractArchive;
extern int32_t SelfExtractOffset;
extern int32_t SelfExtractLast;
// Points QlntCompress at Archive for reading, with the range that belongs
// to it.
void PointQlntCompressAt(const std::string& Archive);

// The shared message-box seam of the engine (the change-disk prompt): the
// test programs answer it. Returns the button's id (IDOK, IDCANCEL ...).
extern std::function<int(const std::string& Text, const std::string& Caption, unsigned Flags)> EngineMessageBox;
// The caption of the engine's boxes: the application's title, so that no box
// of a setup stands without one.
std::string EngineBoxCaption();

// ===================================================== uninstall record

// The partitions of the record's file list (UninstallFilesPartition) that a
// setup writes at the most.
constexpr int MaxUninstallFilesPartitions = 100;
// Whether the record below RegKey (local machine) lists FullPath among its
// files or servers, compared without regard to case.
bool UninstallRecordLists(const std::string& RegKey, const std::string& FullPath);
// Appends FullPath as the next "File<n>" of the first Files partition (below
// the record key RegKey, local machine) whose count reads as a number and that
// takes the value, then writes that partition's "Entries"; a path a Files
// partition lists already is not listed again. Raises EIRCannotWriteValue
// when the count cannot be written, or when no partition up to
// MaxUninstallFilesPartitions takes the entry.
void WriteUninstallFileEntry(const std::string& RegKey, const std::string& FullPath);
// Appends "FullPath;1" (an .EXE server) or "FullPath;0" to the "ActiveX"
// subkey unless it lists FullPath already; any failure raises
// EIRCannotWriteValue.
void WriteUninstallActiveXEntry(const std::string& RegKey, const std::string& FullPath, bool ExeServer);

// What the product made is listed beside its files (the lists that
// foundation/routines/routines_UninstallRecord.h names), so that the
// uninstall removes that and nothing else.
//
// Makes the record key RegKey when it is missing, with its form; one that is
// there keeps its own. Every writer of the record calls it first.
void OpenUninstallRecord(const std::string& RegKey);
// Whether the product's record lists FullPath as a file whose count it raised.
bool UninstallRecordCounted(const std::string& RegKey, const std::string& FullPath);
void WriteUninstallCountedEntry(const std::string& RegKey, const std::string& FullPath);
void WriteUninstallHelpEntry(const std::string& RegKey, const std::string& FullPath);
void WriteUninstallFolderEntry(const std::string& RegKey, const std::string& Dir);
// Makes the folder Dir and every missing folder above it; with a controller,
// each folder it made is listed in the product's record (Folders). A folder
// that was there, or that another program made meanwhile, is not.
void ForceProductDirectories(const std::string& Dir);

// ===================================================== file-related objects

// Install object with an archive (archive path by base and tail, the build's
// add mode, its network location); downloads "<Name>.1" for network installs.
// Publishes nothing itself: its descendants choose.
class TFileRelated : public TInstallObject {
  QNT_PUBLISHED(TFileRelated, TInstallObject)
public:
  explicit TFileRelated(TComponent* AOwner);
  ~TFileRelated() override;

  TlzhCommand AddToArchive() const { return FAddToArchive; }
  void SetAddToArchive(TlzhCommand Value) { FAddToArchive = Value; }
  const std::string& ArchiveFile() const { return FArchiveFile; }
  virtual void SetArchiveFile(const std::string& NewArchiveFile);
  TPathSpecifiers ArchiveFileType() const { return FArchiveFileType; }
  virtual void SetArchiveFileType(TPathSpecifiers NewArchiveFileType);
  bool Net() const { return FNet; }
  virtual void SetNet(bool NewNet) { FNet = NewNet; }
  TNetInstallLocation* NetLocation() const { return FNetLocation; }
  virtual void SetNetLocation(TNetInstallLocation* NewLocation);
  // The archive this object downloaded or adopted; blank when none.
  const std::string& NetArchiveFile() const { return FNetArchiveFile; }
  bool DownloadedRemoteFile() { return GetDownloadedRemoteFile(); }
  const TDataReceivedEvent& OnDataReceived() const { return FOnDataReceived; }
  void SetOnDataReceived(TDataReceivedEvent Value) { FOnDataReceived = std::move(Value); }

  // The full archive path, never with a trailing backslash.
  virtual std::string GetArchiveFile();
  // Makes the archive available locally (adopting an earlier run's download);
  // afterwards NetArchiveFile names it.
  virtual void DownloadRemoteFile();
  virtual bool GetDownloadedRemoteFile();
  // Records FileName as this object's download under the setup key.
  virtual void RegisterAsDownloaded(const std::string& FileName);
  virtual void DoDataReceived(TObject* Sender, const std::string& FileName, int32_t Bytes, int32_t TotalBytes,
                              int32_t FileSize);
  // True, with its path, when the setup key records a download of this
  // object that still exists. A blank Name or setup key has no record.
  bool AlreadyDownloaded(std::string& FileName);
  // Forgets this object's download: the archive goes with its record, so
  // that the next call or run downloads it afresh.
  void DiscardDownload();
  // The location a download uses: the own one, else (an install file) its
  // file container's own one, else DefaultNetLocation.
  TNetInstallLocation* EffectiveNetLocation();
  void GetServerAndPath(std::string& AServer, std::string& AServerPath);
  std::string GetCompressSubDirectory();

  void SetContainer(TInstallContainer* IC) override;
  void Loaded() override;

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The registry key of the download record; blank when there is none.
  std::string DownloadRecordKey() const;

  std::string FNetArchiveFile;
  TlzhCommand FAddToArchive = lzcOverwrite;
  std::string FArchiveFile;
  TPathSpecifiers FArchiveFileType = ddAbsolute;
  bool FNet = true;
  TNetInstallLocation* FNetLocation = nullptr;
  TDataReceivedEvent FOnDataReceived;
};

extern const TEnumInfo LzhCommandInfo;

// ===================================================== file containers

enum TFileContainerState { fcsNone, fcsCompress, fcsInstall, fcsCopy };
extern const TEnumInfo FileContainerStateInfo;

using TFileContainerAbortEvent = TAfterProcessFilesEvent;

// How the distribution build lays its archives out (TFileContainer::Compress).
enum TCompressOptions {
  coForceOneFile,         // every local child appends to its container's archive
  coForceDirectory,       // own archives go under the build folder, mirroring their path
  coSourceDirToBuildDir,  // passed down unchanged
  coForceNetFilesLocal,   // no install file counts as a network file
  coForceFilesNet,        // every install file counts as a network file
  coIncludeAll            // excluded children are packed too
};
using TCompressOptionsSet = unsigned;  // bit (1 << value) per option
constexpr TCompressOptionsSet CompressOptionBit(TCompressOptions O) { return 1u << O; }

// A list handed with an information event or broadcast ([file, parameter]);
// holds references only.
class TEventParameterList : public TObject {
public:
  std::vector<TObject*> Items;
  int Count() const { return static_cast<int>(Items.size()); }
};

// Holds install files and further file containers and drives them through
// the install, copy and pack jobs; while busy it turns its files' progress
// into running totals over the job and broadcasts them to its pages.
class TFileContainer : public TFileRelated {
  QNT_PUBLISHED(TFileContainer, TFileRelated)
public:
  explicit TFileContainer(TComponent* AOwner);
  ~TFileContainer() override;

  bool AllowChoice() const { return FAllowChoice; }
  void SetAllowChoice(bool Value) { FAllowChoice = Value; }
  bool AllowChangeDir() const { return FAllowChangeDir; }
  void SetAllowChangeDir(bool Value) { FAllowChangeDir = Value; }
  TStrings* Description() const { return FDescription; }
  void SetDescription(const TStrings* Value);
  const std::string& GroupName() const { return FGroupName; }
  void SetGroupName(const std::string& Value) { FGroupName = Value; }
  using TComponent::SetState;
  TFileContainerState State() const { return FState; }
  // Runs the job of that state (nothing while the module streams); State is
  // fcsNone afterwards, also after a failure.
  virtual void SetState(TFileContainerState NewState);
  int FileCount();
  TCustomInstallFile* Files(int I);
  int32_t PredictedProcessBytes() const { return FPredictedProcessBytes; }
  int32_t TotalBytesProcessed() const { return FTotalBytesProcessed; }

  const TInstallContainerNotifyEvent& OnShowCopyFileDlg() const { return FOnShowCopyFileDlg; }
  void SetOnShowCopyFileDlg(TInstallContainerNotifyEvent Value) { FOnShowCopyFileDlg = std::move(Value); }
  const TAfterProcessFilesEvent& OnCloseCopyFileDlg() const { return FOnCloseCopyFileDlg; }
  void SetOnCloseCopyFileDlg(TAfterProcessFilesEvent Value) { FOnCloseCopyFileDlg = std::move(Value); }
  const TInstallFileStatusEvent& OnStatus() const { return FOnStatus; }
  void SetOnStatus(TInstallFileStatusEvent Value) { FOnStatus = std::move(Value); }
  const TInstallFileNewDiskEvent& OnNewDisk() const { return FOnNewDisk; }
  void SetOnNewDisk(TInstallFileNewDiskEvent Value) { FOnNewDisk = std::move(Value); }
  const TInstallFileNotifyEvent& OnReplacing() const { return FOnReplacing; }
  void SetOnReplacing(TInstallFileNotifyEvent Value) { FOnReplacing = std::move(Value); }

  virtual void DoChangeDisk(TInstallObject* InstallFile, TDiskParameter* DiskParameter);
  virtual void DoReplaceFile(TInstallObject* InstallFile);
  virtual void DoStatus(TInstallObject* InstallFile, TFileStatusParameter* FileStatusParameter);
  virtual void CopyIt();
  // Packs every file-related child into its archive for the distribution
  // build; each child's archive settings and Include are the same afterwards.
  virtual void Compress(TCompressOptionsSet CompressOptions);
  // Where this container's network files go: the folder of the container's
  // archive, the server folder and "<Name>.1" of Obj.
  std::string NetArchiveFor(TFileRelated* Obj);
  virtual void ClearFiles();
  virtual TCustomInstallFile* FileByName(const std::string& Name);
  virtual int32_t GetCompressedSize(bool Literal);
  virtual std::string GetNetArchive();
  // Makes the container's archive available to its files: the download it
  // has (or adopts), else a fresh one, which must be whole before any file
  // is taken from it; an incomplete one goes again, and the error names the
  // archive as the server has it.
  void DownloadWholeArchive();
  virtual int32_t GetSize(bool Literal);
  virtual void ReadInfoFromArchive();
  virtual void ReadInfoFromDisk();
  virtual bool WillNeedToDownloadFromNet();

  // What the controller answers (it overrides both); a plain container has
  // no distribution type of its own and keeps no jobs.
  virtual TDistributeType DistributeType() const { return dtTraditionalNet; }
  // The folder of the distribution (the controller's SourceDir).
  virtual std::string GetSourceDir() { return ""; }
  // Records a job for the run after a restart (the controller's setup key).
  virtual void WriteUnfinished(const std::string& Value, TUnfinishedCommand Command);

  void DoInformationEventControl(TInstallContainer* Container, int ComponentCall, TObject* PO) override;
  void InstallUnique() override;
  int RegisteredType() override { return cFileGroup; }

protected:
  // Adopts the download of an earlier run when it is whole and is the archive
  // the container's files come from (their sizes compared with CompareSizes,
  // once the file list gave them); a damaged one is discarded. One that
  // another program holds now stays with its record: with HeldStops that
  // raises, else the result is false and nothing is adopted.
  bool AdoptWholeDownload(bool CompareSizes, bool HeldStops);
  // Before the first file of an install job is written: every archive at
  // hand that an included file of the job comes from holds that file (an
  // earlier run's download as AdoptWholeDownload judges it), and the file
  // list describes every included file that a container's download gives.
  // Downloads still to come are checked when they arrive.
  void CheckArchivesOfJob();
  // The first included file taking this container's download that the file
  // list read in this run has no record of raises.
  void RefuseUnlistedFiles();
  // What a downloaded archive is when read whole: every entry lies in the
  // file (one volume: a downloaded archive is one file), its bytes end early,
  // it is damaged, or it cannot be opened now (held by another program; then
  // Reason says why). Leaves QlntCompress pointed at it.
  enum class TDownloadCheck { Whole, Incomplete, Damaged, Unopenable };
  TDownloadCheck CheckDownload(const std::string& Archive, std::string& Reason);
  // The first of the container's files that the whole Archive does not hold
  // (with CompareSizes: at the size the file list gave); nullptr when it
  // holds them all.
  TCustomInstallFile* FileNotInDownload(const std::string& Archive, bool CompareSizes);
  // After a failed job: a download of this container or of one of its files
  // that the archive component found damaged is discarded, and the message
  // names the archive as the server has it rather than the copy that went.
  void DiscardUnreadableDownload(std::exception_ptr Failure);
  // Percentage of Part in PredictedProcessBytes (half to even; 0 for none).
  int TotalPercent(int64_t Part) const;
  void SetTotalBytesProcessed(int64_t Value);

  bool FAllowChoice = true;
  bool FAllowChangeDir = true;
  TStringList* FDescription;
  std::string FGroupName;
  TFileContainerState FState = fcsNone;
  int32_t FPredictedProcessBytes = 0;
  int32_t FTotalBytesProcessed = 0;
  TInstallContainerNotifyEvent FOnShowCopyFileDlg;
  TAfterProcessFilesEvent FOnCloseCopyFileDlg;
  TInstallFileStatusEvent FOnStatus;
  TInstallFileNewDiskEvent FOnNewDisk;
  TInstallFileNotifyEvent FOnReplacing;

private:
  // The information events of the files inside, each raising when its
  // parameter is not what the event carries.
  TEventParameterList* StatusParameters(TObject* PO);
  void ReportFileProgress(TObject* PO);
  void ReportFileSkipped(TObject* PO);
  void ReportDiskChange(TObject* PO);
};

// The file group of an install module.
class TInstallFileGroup : public TFileContainer {
  QNT_PUBLISHED(TInstallFileGroup, TFileContainer)
public:
  explicit TInstallFileGroup(TComponent* AOwner);
  // Drops (and frees) every file whose source no longer exists.
  virtual void Refresh();
};

// ===================================================== install files

enum TInstallFileState { ifsNone, ifsCompress, ifsInstall, ifsCopying };
enum TInstallFileType { iftNormal, iftJustADLL, iftApplicationSpecificDLL, iftVendorSharedDLL, iftSystemWideDLL };
enum TCompressAddedInfo { ciNotAdded, ciNotAddedNotNewer, ciAddedNewer };
extern const TEnumInfo InstallFileStateInfo;
extern const TEnumInfo InstallFileTypeInfo;
extern const TEnumInfo OverwriteTypeInfo;

struct TCompressInfo {
  TCompressAddedInfo Added = ciNotAdded;
  bool AddedAsNet = false;
  std::string ArchiveFile;
  std::string Server;
  std::string ServerPath;
};

class TCustomInstallFile;

// One IDE's object-repository entry for an installed file: after the file is
// extracted, Install writes it into that IDE's repository file as a template
// (when RegisterIt is set). A missing IDE or repository file is passed over
// unless RaiseExceptionOnFailure is set.
class TCustomObjectRepositoryEntry : public TPersistent {
  QNT_PUBLISHED(TCustomObjectRepositoryEntry, TPersistent)
public:
  // IEObjectRepositoryEntry when AInstallFile is nil.
  TCustomObjectRepositoryEntry(TRepositoryType ARepositoryType, TCustomInstallFile* AInstallFile);

  TCustomInstallFile* Ancestor() const { return FAncestor; }
  void SetAncestor(TCustomInstallFile* Value) { FAncestor = Value; }
  const std::string& Author() const { return FAuthor; }
  void SetAuthor(const std::string& Value) { FAuthor = Value; }
  const std::string& Description() const { return FDescription; }
  void SetDescription(const std::string& Value) { FDescription = Value; }
  const std::string& EntryName() const { return FEntryName; }
  void SetEntryName(const std::string& Value) { FEntryName = Value; }
  const std::string& EntryType() const { return FEntryType; }
  void SetEntryType(const std::string& Value) { FEntryType = Value; }
  TCustomInstallFile* IconFile() const { return FIconFile; }
  void SetIconFile(TCustomInstallFile* Value) { FIconFile = Value; }
  TRepositoryType InstallType() const { return FInstallType; }
  bool OverwriteSameFileName() const { return FOverwriteSameFileName; }
  void SetOverwriteSameFileName(bool Value) { FOverwriteSameFileName = Value; }
  const std::string& Page() const { return FPage; }
  void SetPage(const std::string& Value) { FPage = Value; }
  bool RaiseExceptionOnFailure() const { return FRaiseExceptionOnFailure; }
  void SetRaiseExceptionOnFailure(bool Value) { FRaiseExceptionOnFailure = Value; }
  bool RegisterIt() const { return FRegisterIt; }
  void SetRegisterIt(bool Value) { FRegisterIt = Value; }
  TCustomInstallFile* InstallFile() const { return FInstallFile; }

  // Copies the published values; the IDE and the file stay.
  void Assign(const TPersistent* Source) override;
  virtual void Install();
  // Drops references to a file that goes.
  void FileDestroyed(const TInstallContainer* AFile);

protected:
  TCustomInstallFile* FAncestor = nullptr;
  std::string FAuthor;
  std::string FDescription;
  std::string FEntryName;
  std::string FEntryType;
  TCustomInstallFile* FIconFile = nullptr;
  TRepositoryType FInstallType;
  bool FOverwriteSameFileName = true;
  std::string FPage;
  bool FRaiseExceptionOnFailure = false;
  bool FRegisterIt = false;
  TCustomInstallFile* FInstallFile;
};

class TObjectRepositoryEntry : public TCustomObjectRepositoryEntry {
  QNT_PUBLISHED(TObjectRepositoryEntry, TCustomObjectRepositoryEntry)
public:
  using TCustomObjectRepositoryEntry::TCustomObjectRepositoryEntry;
};

// A file's entries for the three IDEs, made and freed with it. Writing an
// entry copies its values into the one held.
class TCustomRepository : public TPersistent {
  QNT_PUBLISHED(TCustomRepository, TPersistent)
public:
  explicit TCustomRepository(TCustomInstallFile* AInstallFile);
  ~TCustomRepository() override;
  TCustomRepository(const TCustomRepository&) = delete;
  TCustomRepository& operator=(const TCustomRepository&) = delete;

  TObjectRepositoryEntry* Delphi2() const { return FDelphi2; }
  void SetDelphi2(const TObjectRepositoryEntry* Value) { FDelphi2->Assign(Value); }
  TObjectRepositoryEntry* Delphi3() const { return FDelphi3; }
  void SetDelphi3(const TObjectRepositoryEntry* Value) { FDelphi3->Assign(Value); }
  TObjectRepositoryEntry* CBuilder() const { return FCBuilder; }
  void SetCBuilder(const TObjectRepositoryEntry* Value) { FCBuilder->Assign(Value); }

  void Assign(const TPersistent* Source) override;
  // Delphi 2.0's entry, then Delphi 3.0's, then C++Builder's.
  virtual void Install();
  void FileDestroyed(const TInstallContainer* AFile);

protected:
  TObjectRepositoryEntry* FDelphi2;
  TObjectRepositoryEntry* FDelphi3;
  TObjectRepositoryEntry* FCBuilder;
};

class TRepository : public TCustomRepository {
  QNT_PUBLISHED(TRepository, TCustomRepository)
public:
  using TCustomRepository::TCustomRepository;
};

// The seams of the boot-time replacement, for tests: the delayed move and
// the Windows version that decides between WININIT.INI and the delayed move.
extern std::function<bool(const std::string& Source, const std::string& Target)> DelayedMoveFile;

class TCustomInstallFile : public TFileRelated {
  QNT_PUBLISHED(TCustomInstallFile, TFileRelated)
public:
  explicit TCustomInstallFile(TComponent* AOwner);
  ~TCustomInstallFile() override;

  bool ActiveX() const { return FActiveX; }
  virtual void SetActiveX(bool Value);
  const std::string& DestName() const { return FDestName; }
  virtual void SetDestName(const std::string& NewName);
  const std::string& FileName() const { return FFileName; }
  virtual void SetFileName(const std::string& NewName);
  TInstallFileType FileType() const { return FFileType; }
  virtual void SetFileType(TInstallFileType NewFileType);
  const std::string& IncludeFromDir() const { return FIncludeFromDir; }
  virtual void SetIncludeFromDir(const std::string& NewDir);
  TOverwriteType OverwriteMode() const { return FOverwriteMode; }
  void SetOverwriteMode(TOverwriteType Value) { FOverwriteMode = Value; }
  bool RegisterAsHelp() const { return FRegisterAsHelp; }
  void SetRegisterAsHelp(bool Value) { FRegisterAsHelp = Value; }
  bool UpdateDLLCounter() const { return FUpdateDLLCounter; }
  void SetUpdateDLLCounter(bool Value) { FUpdateDLLCounter = Value; }
  TRepository* Repository() const { return FRepository; }
  virtual void SetRepository(const TRepository* Value);
  using TComponent::SetState;
  TInstallFileState State() const { return FState; }
  // Runs the action of that state (install, compress, copy; nothing while
  // the module streams); State is ifsNone afterwards.
  virtual void SetState(TInstallFileState NewState);
  TDateTime Date() const { return FDate; }
  void SetDate(TDateTime Value) { FDate = Value; }
  int32_t Size() const { return FSize; }
  void SetSize(int32_t Value) { FSize = Value; }
  const std::string& Version() const { return FVersion; }
  void SetVersion(const std::string& Value) { FVersion = Value.substr(0, 20); }
  int32_t CompressedSize() const { return FCompressedSize; }
  void SetCompressedSize(int32_t Value) { FCompressedSize = Value; }
  TCompressInfo& CompressInfo() { return FCompressInfo; }
  bool PlaceInOwnArchive() const { return GetPlaceInOwnArchive(); }
  // The name the file was extracted under in this run: its own name
  // (DestFileName), the private name while it is written, or the numbered
  // name when an in-use file is replaced at the restart.
  std::string ExtractedName() const { return FExtractName.empty() ? DestFileName() : FExtractName; }
  bool DelayedReplace() const { return FDelayedReplace; }
  // The file list read in this run has no record of the file: its size,
  // date and version are not the server's.
  bool MissingFromFileList() const { return FMissingFromFileList; }
  void SetMissingFromFileList(bool Value) { FMissingFromFileList = Value; }

  const TInstallFileNotifyEvent& OnBeforeInstall() const { return FOnBeforeInstall; }
  void SetOnBeforeInstall(TInstallFileNotifyEvent V) { FOnBeforeInstall = std::move(V); }
  const TInstallFileNotifyEvent& OnAfterInstall() const { return FOnAfterInstall; }
  void SetOnAfterInstall(TInstallFileNotifyEvent V) { FOnAfterInstall = std::move(V); }
  const TInstallFileNotifyEvent& OnReplacing() const { return FOnReplacing; }
  void SetOnReplacing(TInstallFileNotifyEvent V) { FOnReplacing = std::move(V); }
  const TInstallFileNotifyEvent& OnBeforeCompress() const { return FOnBeforeCompress; }
  void SetOnBeforeCompress(TInstallFileNotifyEvent V) { FOnBeforeCompress = std::move(V); }
  const TInstallFileNotifyEvent& OnAfterCompress() const { return FOnAfterCompress; }
  void SetOnAfterCompress(TInstallFileNotifyEvent V) { FOnAfterCompress = std::move(V); }
  const TInstallFileNotifyEvent& OnBeforeCopy() const { return FOnBeforeCopy; }
  void SetOnBeforeCopy(TInstallFileNotifyEvent V) { FOnBeforeCopy = std::move(V); }
  const TInstallFileNotifyEvent& OnAfterCopy() const { return FOnAfterCopy; }
  void SetOnAfterCopy(TInstallFileNotifyEvent V) { FOnAfterCopy = std::move(V); }
  const TInstallFileStatusEvent& OnStatus() const { return FOnStatus; }
  void SetOnStatus(TInstallFileStatusEvent V) { FOnStatus = std::move(V); }
  const TInstallFileNewDiskEvent& OnNewDisk() const { return FOnNewDisk; }
  void SetOnNewDisk(TInstallFileNewDiskEvent V) { FOnNewDisk = std::move(V); }

  virtual void DoAbort(TObject* Sender);
  virtual void DoRegisterActiveX_DLLStyle();
  virtual void DoRegisterActiveX_EXEStyle();
  virtual void DoReplace();
  virtual void Compress();
  virtual void CopyIt();
  virtual void ReadInfoFromArchive();
  virtual void ReadInfoFromDisk();
  virtual bool SupportsSelfRegister();
  // Raises the SharedDLLs count of the installed file, unless the product's
  // record says that an earlier run of it raised that count (its Counted
  // list), and lists the file there; True when written or counted already.
  virtual bool UpdateDLLCount();

  void RegisterActiveX();
  // The file installed: the destination folder, a backslash and
  // DestFileName. Whatever names the installed file (the record, shortcuts,
  // the uninstaller's entry, repository entries) takes it from here.
  std::string GetDestFile();
  // The installed file's name in its folder: the name part of DestName, or
  // of FileName when a module leaves DestName out.
  std::string DestFileName() const;
  bool GetPlaceInOwnArchive() const;
  // Applies the design rules and stores the eight values.
  void SetProperties(TInstallContainer* NewContainer, const std::string& NewIncludeFromDir,
                     const std::string& NewFileName, const std::string& NewDestDir, const std::string& NewDestName,
                     TPathSpecifiers NewDestDirType, TInstallFileType NewFileType, bool NewActiveX);
  // Appends the file's 72-byte file-list record.
  void SavePropertiesToStream(TStream* Stream);
  // The source path on the build machine: IncludeFromDir, a backslash, FileName.
  std::string SourcePath() const;

  void SetDestDir(const std::string& NewDestDir) override;
  void SetDestDirType(TPathSpecifiers NewDestDirType) override;
  void SetContainer(TInstallContainer* IC) override;
  void DestroyingContainer(TInstallContainer* AContainer) override;
  int RegisteredType() override { return cInstallFile; }
  void InstallUnique() override;
  void FinishInstall() override;
  void WriteInstallInfo(const std::string& RegKey) override;
  std::string GetArchiveFile() override;

protected:
  void DoNewDisk(TQlntCompress* Compressor, int32_t DiskNumber, std::string& Path);
  void DoStatus(TQlntCompress* Compressor, const TlzhFileStats& FileStats);
  // Downloads the file's archive when it comes over the network, extracts
  // the file through its private copy (TPrivateCopy) and puts it in place,
  // or under a numbered name that replaces the old one at the next restart.
  // False when a handler of the archive skipped the file: it stays as it
  // stands.
  bool ExtractFromArchive();
  // The end of every install of the file, also of a failed one: the
  // archive's handlers cleared, "done copying" broadcast. A broadcast that
  // raises stops the archive and passes on when PassOnError.
  void EndCopying(bool PassOnError);
  void ScheduleBootReplacement(const std::string& OldPath, const std::string& NewPath);
  // Registers the installed file as help (its name in upper case, its
  // folder) and lists it in the product's record for the uninstall.
  void RegisterHelp();

  bool FActiveX = false;
  std::string FDestName;
  std::string FFileName;
  TInstallFileType FFileType = iftNormal;
  std::string FIncludeFromDir;
  TOverwriteType FOverwriteMode = owAlways;
  bool FRegisterAsHelp = false;
  bool FUpdateDLLCounter = false;
  TRepository* FRepository;
  TInstallFileState FState = ifsNone;
  TDateTime FDate = 0;
  int32_t FSize = 0;
  std::string FVersion;
  int32_t FCompressedSize = 0;
  TCompressInfo FCompressInfo;
  bool FDelayedReplace = false;
  bool FIsNewer = false;
  bool FMissingFromFileList = false;
  std::string FExtractName;  // private name while written; numbered while waiting for the restart
  // The progress report's parameters, made once: a report comes every 4 KB,
  // and strings and a list made afresh for each cost more than the copying.
  TFileStatusParameter FStatus;
  TEventParameterList FStatusList;
  TInstallFileNotifyEvent FOnBeforeInstall, FOnAfterInstall, FOnReplacing, FOnBeforeCompress, FOnAfterCompress,
      FOnBeforeCopy, FOnAfterCopy;
  TInstallFileStatusEvent FOnStatus;
  TInstallFileNewDiskEvent FOnNewDisk;
};

class TInstallFile : public TCustomInstallFile {
  QNT_PUBLISHED(TInstallFile, TCustomInstallFile)
public:
  using TCustomInstallFile::TCustomInstallFile;
};
