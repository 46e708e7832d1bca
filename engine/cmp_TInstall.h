// The install controller's unit: the controller, the setup key that keeps a
// run's state across a restart, the continuation command that brings the
// setup program back after the restart, and the command line the loader
// hands over.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/DateUtils.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/cmp_TInstallInformation.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/types_Quillant.h"
#include "foundation/routines/routines_Registry.h"

// ------------------------------------------------------------ the setup key
//
// HKEY_LOCAL_MACHINE\SOFTWARE\Quillant\Install\Install<n>: Path (string),
// CreationDate and LastRunDate (8-byte binary date-times), Size (32-bit),
// Language (32-bit, the wizard language's ordinal), a subkey Unfinished with
// one string value per job (name = the job's data, value = its command as
// decimal text) and one subkey per downloaded archive (LocalFile). A key
// belongs to the program file whose date and size equal CreationDate and
// Size exactly; its path is never compared.

inline constexpr const char* InstallListKey = "\\SOFTWARE\\Quillant\\Install";
inline constexpr TRootKeys InstallListRootKey = hkLocalMachine;
// The continuation command's value name under RunOnce.
inline constexpr const char* ContinuationValueName = "QuillantUnfinished";

extern const char* const SCannotReadUnfinished;  // "The TInstall could not either write or read ..."
extern const char* const SCannotRegisterRunOnce;
extern const char* const SInvalidUnfinishedEntry;  // "... unfinished install list %s"

// Date (as a date-time, local time) and size of a program file; false when
// the file cannot be read.
bool ReadProgramFileStamp(const std::string& Path, TDateTime& Date, int32_t& Size);

// Finds the key of ProgramPath (by its date and size) and refreshes its Path
// and LastRunDate; with Create, makes the first free Install<n> when none
// matches. Returns the key's path ("\SOFTWARE\Quillant\Install\Install<n>")
// or empty when there is none or the registry refuses.
std::string FindSetupKey(const std::string& ProgramPath, TDateTime LastRunDate, bool Create);
// Removes Key: each subkey (deleting the file its LocalFile names), the key,
// then the Install and Quillant keys above it when they are left empty.
void DeleteSetupKey(const std::string& Key);
// Language: written when a translator exists; read back as 0..15, false
// otherwise.
void WriteSetupKeyLanguage(const std::string& Key);
bool ReadSetupKeyLanguage(const std::string& Key, int& Ordinal);

// The job list. A blank key raises IEInstall SCannotReadUnfinished.
void WipeUnfinishedJobs(const std::string& Key);
void WriteUnfinishedJob(const std::string& Key, const std::string& Data, int Command);
// One line per job: its data, a semicolon and its command.
void ReadUnfinishedJobs(const std::string& Key, TStrings* SL);
// Splits a job line at its last semicolon (the data may hold semicolons, the
// command never does); false when there is none or the command is no number.
bool SplitUnfinishedJob(const std::string& Line, std::string& Data, int& Command);

// The continuation command: the program path in double quotes, "*ABOOT",
// "*SELFEXTRACT" or "*NOSELFEXTRACT", the loader's file name and folder.
std::string ContinuationLine(const std::string& ProgramPath, bool SelfExtracting, const std::string& LoaderPath);
// Registers it under RunOnce with a name of its own; IEInstall
// SCannotRegisterRunOnce when the registry refuses.
void RegisterContinuation(const std::string& Line);
// The product's uninstall record (RecordKey, when it is there) names the
// setup key of a run that waits for the restart (SetupWaitsValueName), and
// no longer once that run after the restart has done its jobs. Failures are
// ignored.
void MarkSetupWaiting(const std::string& RecordKey, const std::string& SetupKey);
void UnmarkSetupWaiting(const std::string& RecordKey);

// ------------------------------------------------------------ the command line
//
// The loader starts the setup program with "*<MODE> <loader file name>
// <loader folder>"; the folder may hold blanks and then spans several
// arguments. Only the first argument can be a switch.

// Scoped: the names would clash with the memo's scroll bars (ssNone) in a
// module that uses both.
enum class TStartSwitch { ssNone, ssBuild, ssToDisk, ssABoot, ssSelfExtract };

// The program's arguments after its own name (ParamStr(1) .. ParamStr(ParamCount));
// tests point it elsewhere to play a start by the loader.
extern std::vector<std::string> (*InstallParams)();
std::vector<std::string> ProgramParams();

// The switch of the first argument: "*" and a word, compared without case;
// anything else (a lone "*", *NOTSELFEXTRACT, no argument) is ssNone.
TStartSwitch StartSwitch(const std::vector<std::string>& Params);

// What the loader's arguments tell: the source folder and, when the archive
// lies inside the self-extracting loader, the loader's file name.
struct TLoaderArguments {
  std::string SourceDir;
  std::string LoaderFile;  // blank when none was passed
};
// Reads Params from index First on (the loader file name, then the folder).
// DeveloperStart: exactly one argument from First - 1 on is taken as the
// source folder (a start without the loader). Raises IEInstall with
// SNoLoaderName or SNoSourceDir when arguments are missing.
TLoaderArguments ReadLoaderArguments(const std::vector<std::string>& Params, size_t First, bool DeveloperStart);

extern const char* const SNoLoaderName;  // "Cannot read the name of the loading program. ..."
extern const char* const SNoSourceDir;   // "Cannot read the SourceDirectory. ..."

// ------------------------------------------------------------ the controller

class TForm;
class TProductLock;

// Worker threads of the build's packing: 0 for one per processor, 1 for
// none (this thread packs every file itself).
extern int BuildPackThreads;

// Whether Dir is a work folder of the loader: a folder of the temporary
// folder named as the loader names it, "qnt" and up to four hexadecimal
// digits (a temporary file's name without its extension).
bool IsLoaderWorkFolder(const std::string& Dir);

// The restart of Windows. Tests replace it: under Wine a real restart ends
// every windowed program of the display.
extern bool (*SystemRestart)();

// Build settings stored with the module; the build takes its folder from
// BUILD.INF, not from here.
class TBuildInfo : public TPersistent {
  QNT_PUBLISHED(TBuildInfo, TPersistent)
public:
  const std::string& BuildDirectory() const { return FBuildDirectory; }
  void SetBuildDirectory(const std::string& V) { FBuildDirectory = V; }
  const std::string& CredentialsFile() const { return FCredentialsFile; }
  void SetCredentialsFile(const std::string& V) { FCredentialsFile = V; }
  const std::string& OCXName() const { return FOCXName; }
  void SetOCXName(const std::string& V) { FOCXName = V; }
  const std::string& PrivateKeyFile() const { return FPrivateKeyFile; }
  void SetPrivateKeyFile(const std::string& V) { FPrivateKeyFile = V; }
  bool SignCode() const { return FSignCode; }
  void SetSignCode(bool V) { FSignCode = V; }
  const std::string& URLPath() const { return FURLPath; }
  void SetURLPath(const std::string& V) { FURLPath = V; }
  void Assign(const TPersistent* Source) override;

private:
  std::string FBuildDirectory = "c:\\build";
  std::string FCredentialsFile;
  std::string FOCXName = "MySetup";
  std::string FPrivateKeyFile;
  bool FSignCode = false;
  std::string FURLPath = "http://www.quillant.example/install";
};

// The root of every install: decides at start-up what the program does, runs
// the install from the main form's first activation, ends it (good install,
// restart, user abort, failure) and handles every exception of the run.
class TCustomInstall : public TFileContainer {
  QNT_PUBLISHED(TCustomInstall, TFileContainer)
public:
  explicit TCustomInstall(TComponent* AOwner);
  ~TCustomInstall() override;

  bool AutoMaximizeWindow() const { return FAutoMaximizeWindow; }
  void SetAutoMaximizeWindow(bool V) { FAutoMaximizeWindow = V; }
  TBuildInfo* BuildInfo() const { return FBuildInfo; }
  virtual void SetBuildInfo(const TBuildInfo* Value);
  TDistributeType DistributeType() const override { return FDistributeType; }
  // Stored only while the module is read; afterwards refused.
  virtual void SetDistributeType(TDistributeType Value);
  TInstallInformation* Information() const { return FInformation; }
  void SetInformation(const TInstallInformation* Value) { FInformation->Assign(Value); }
  TLoginInformation* LoginInformation() const { return FLoginInformation; }
  // Copies Value into the controller's own and into DefaultNetLocation's.
  virtual void SetLoginInformation(const TLoginInformation* Value);
  TStrings* PresetupFiles() const { return FPresetupFiles; }
  // Copies Value without its blank lines.
  virtual void SetPresetupFiles(const TStrings* Value);
  bool RunAutomatic() const { return FRunAutomatic; }
  void SetRunAutomatic(bool V) { FRunAutomatic = V; }
  bool UseLoadingProgram() const { return FUseLoadingProgram; }
  virtual void SetUseLoadingProgram(bool Value);
  void SetDestDirType(TPathSpecifiers NewDestDirType) override;

  // The folder of the distribution: the loader's, or the program's own.
  const std::string& SourceDir() const { return FSourceDir; }
  void SetSourceDir(const std::string& V) { FSourceDir = V; }
  std::string GetSourceDir() override { return FSourceDir; }
  // The folder of the running program (or of the library holding the
  // controller), without a trailing backslash.
  std::string RunningDir() const;
  bool Installing() const { return FInstalling; }
  bool CalledBySelfExtracting() const { return FCalledBySelfExtracting; }
  int NotFinishedFileCount() const { return FNotFinishedFileCount; }

  void Loaded() override;
  // The install run (RunAutomatic starts it at the main form's first
  // activation; without, the application calls it).
  void Install() override;
  // The run after the restart (*ABOOT).
  void FinishInstall() override;
  void ReadInfoFromArchive() override;
  bool WillNeedToDownloadFromNet() override { return TFileContainer::WillNeedToDownloadFromNet(); }
  void WriteUnfinished(const std::string& Data, TUnfinishedCommand Command) override;

  virtual std::string GetUniqueInstallKey(bool Create);
  virtual void DeleteUniqueInstallKey();
  virtual void WriteCurrentLanguage();
  virtual void WipeUnfinishedInstallList();
  virtual void GetUnfinishedInstallList(TStrings* SL);
  virtual void AddInstallStartUp();
  virtual void DoNotifyGoodInstall();
  virtual void DoNotifyBadInstall();
  virtual void Cleanup();
  // True when OnBeforeTerminateApp kept the program running.
  virtual bool DoShutDownInstall();
  virtual void RebootWindows();
  virtual void ReadLoadingInformation();
  // Whether a Cancel aborts: OnUserAbort's answer, True without one.
  virtual bool VerifyCancel();
  // The application's exception handler (installed by the constructor).
  virtual void AppException(TObject* Sender, Exception* E);
  // The program that started the setup: the self-extracting setup.exe, the
  // loader, or the setup program itself.
  std::string GetInstallationEXEName();
  static std::string GetLibraryName();

  // The last 56 bytes of AFile. IEInstall SNoExtractInfo when the file
  // cannot be read, is too short, or its offsets cannot describe a
  // self-extracting file of its size.
  lzh::TSelfExtractInfo ReadSelfExtractInfo(const std::string& AFile);
  // The trailer of the self-extracting file tells where files.1 starts in
  // it; that offset applies to that file only (SelfExtractArchive).
  virtual void SetCompressOffset();
  // filelist.lst from the default network location (not dtTraditional).
  virtual void ReadNetFileList();
  // Applies the records of the file list at Path to InstallFileList.
  void ApplyFileList(const std::string& Path);

  // Resets every file's build record, then packs the tree.
  void Compress(TCompressOptionsSet CompressOptions) override;
  // *BUILD: the build folder from BUILD.INF, then BuildDistributables; any
  // error is shown; the program ends.
  virtual void ProcessBuildParam();
  virtual void BuildDistributables(const std::string& ExePath, const std::string& BuildPath, bool StandAlone);
  virtual void CreateStub(const std::string& BuildPath, const std::string& ExePath);
  virtual void CreateSetup1File(const std::string& Path, const std::string& Executable);
  virtual void WriteCompressedFileList();
  // *TODISK: setup.exe, setup.1 and files.1 from the self-extracting file
  // onto disks in DestDrive ("a:").
  virtual void ProcessToDiskParam(const std::string& DestDrive = "a:");

  const TNotifyEvent& OnBeforeCopyingEXE() const { return FOnBeforeCopyingEXE; }
  void SetOnBeforeCopyingEXE(TNotifyEvent V) { FOnBeforeCopyingEXE = std::move(V); }
  const TNotifyEvent& OnAfterCopyingEXE() const { return FOnAfterCopyingEXE; }
  void SetOnAfterCopyingEXE(TNotifyEvent V) { FOnAfterCopyingEXE = std::move(V); }
  const TNotifyEvent& OnBeforeBuildSetup1() const { return FOnBeforeBuildSetup1; }
  void SetOnBeforeBuildSetup1(TNotifyEvent V) { FOnBeforeBuildSetup1 = std::move(V); }
  const TNotifyEvent& OnAfterBuildSetup1() const { return FOnAfterBuildSetup1; }
  void SetOnAfterBuildSetup1(TNotifyEvent V) { FOnAfterBuildSetup1 = std::move(V); }
  const TNotifyEvent& OnBeforeBuildFiles1() const { return FOnBeforeBuildFiles1; }
  void SetOnBeforeBuildFiles1(TNotifyEvent V) { FOnBeforeBuildFiles1 = std::move(V); }
  const TNotifyEvent& OnAfterBuildFiles1() const { return FOnAfterBuildFiles1; }
  void SetOnAfterBuildFiles1(TNotifyEvent V) { FOnAfterBuildFiles1 = std::move(V); }
  const TNotifyEvent& OnBeforeBuildSelfExtractor() const { return FOnBeforeBuildSelfExtractor; }
  void SetOnBeforeBuildSelfExtractor(TNotifyEvent V) { FOnBeforeBuildSelfExtractor = std::move(V); }
  const TNotifyEvent& OnAfterBuildSelfExtractor() const { return FOnAfterBuildSelfExtractor; }
  void SetOnAfterBuildSelfExtractor(TNotifyEvent V) { FOnAfterBuildSelfExtractor = std::move(V); }
  const TlzhFileStatsEvent& OnMoveToFloppyStatus() const { return FOnMoveToFloppyStatus; }
  void SetOnMoveToFloppyStatus(TlzhFileStatsEvent V) { FOnMoveToFloppyStatus = std::move(V); }

  const TNotifyEvent& OnStartInstall() const { return FOnStartInstall; }
  void SetOnStartInstall(TNotifyEvent V) { FOnStartInstall = std::move(V); }
  const TNotifyEvent& OnBeforeReadArchiveInfo() const { return FOnBeforeReadArchiveInfo; }
  void SetOnBeforeReadArchiveInfo(TNotifyEvent V) { FOnBeforeReadArchiveInfo = std::move(V); }
  const TNotifyEvent& OnAfterReadArchiveInfo() const { return FOnAfterReadArchiveInfo; }
  void SetOnAfterReadArchiveInfo(TNotifyEvent V) { FOnAfterReadArchiveInfo = std::move(V); }
  const TContinueEvent& OnRebootWindows() const { return FOnRebootWindows; }
  void SetOnRebootWindows(TContinueEvent V) { FOnRebootWindows = std::move(V); }
  const TNotifyEvent& OnShowGoodInstall() const { return FOnShowGoodInstall; }
  void SetOnShowGoodInstall(TNotifyEvent V) { FOnShowGoodInstall = std::move(V); }
  const TNotifyEvent& OnShowBadInstall() const { return FOnShowBadInstall; }
  void SetOnShowBadInstall(TNotifyEvent V) { FOnShowBadInstall = std::move(V); }
  const TContinueEvent& OnCleanup() const { return FOnCleanup; }
  void SetOnCleanup(TContinueEvent V) { FOnCleanup = std::move(V); }
  const TContinueEvent& OnBeforeTerminateApp() const { return FOnBeforeTerminateApp; }
  void SetOnBeforeTerminateApp(TContinueEvent V) { FOnBeforeTerminateApp = std::move(V); }
  const TContinueEvent& OnUserAbort() const { return FOnUserAbort; }
  void SetOnUserAbort(TContinueEvent V) { FOnUserAbort = std::move(V); }

protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // The main form's OnActivate from Loaded on.
  void DoActivate(TObject* Sender);
  // The product's lock, held from the start of a run to its end: while
  // another run of the product holds it, a box asks Retry or Cancel. False
  // on Cancel.
  bool TakeRunLock();
  void ReleaseRunLock();
  // The start of Install: the product name checked, the lock taken (False
  // on Cancel), the run's state, source folder, setup key and archive offset.
  bool BeginRun();

private:
  // The handlers this controller puts into the application and the main form.
  struct TActivateHook;
  struct TExceptionHook;
  void RunJobs(TStrings* Jobs);

  bool FAutoMaximizeWindow = true;
  TBuildInfo* FBuildInfo;
  TDistributeType FDistributeType = dtTraditional;
  TInstallInformation* FInformation;
  TLoginInformation* FLoginInformation;
  TStringList* FPresetupFiles;
  bool FRunAutomatic = true;
  bool FUseLoadingProgram = true;
  std::string FSourceDir;

  bool FAlreadyHookedOnActivate = false;
  bool FAlreadyReadFromArchive = false;
  bool FCalledBySelfExtracting = false;
  bool FInstalling = false;
  bool FStartingRun = false;  // from the start of Install until Installing
  int FNotFinishedFileCount = 0;
  TNotifyEvent FPreviousOnActivate;
  TForm* FTheMainForm = nullptr;
  std::function<void(TObject*, Exception*)> FPreviousOnException;
  std::unique_ptr<TProductLock> FRunLock;

  TNotifyEvent FOnStartInstall;
  TNotifyEvent FOnBeforeReadArchiveInfo;
  TNotifyEvent FOnAfterReadArchiveInfo;
  TContinueEvent FOnRebootWindows;
  TNotifyEvent FOnShowGoodInstall;
  TNotifyEvent FOnShowBadInstall;
  TContinueEvent FOnCleanup;
  TContinueEvent FOnBeforeTerminateApp;
  TContinueEvent FOnUserAbort;
  TNotifyEvent FOnBeforeCopyingEXE, FOnAfterCopyingEXE, FOnBeforeBuildSetup1, FOnAfterBuildSetup1,
      FOnBeforeBuildFiles1, FOnAfterBuildFiles1, FOnBeforeBuildSelfExtractor, FOnAfterBuildSelfExtractor;
  TlzhFileStatsEvent FOnMoveToFloppyStatus;

  // Appends setup.1 and files.1 (when there is one) to the loader's copy
  // ExeName, then the trailer.
  void BuildSelfExtractor(const std::string& ExeName, const std::string& Setup1Name, const std::string& Files1Name);
};

// Publishes the controller's properties and events for the install module.
class TInstall : public TCustomInstall {
  QNT_PUBLISHED(TInstall, TCustomInstall)
public:
  using TCustomInstall::TCustomInstall;
};
