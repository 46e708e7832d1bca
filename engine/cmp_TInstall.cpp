// The install controller: start-up, the run and its end.
#include "engine/cmp_TInstall.h"

#include <windows.h>

#include <algorithm>
#include <thread>

#include "classlib/Forms.h"
#include "classlib/Handles.h"
#include "classlib/Streams.h"
#include "classlib/WinText.h"
#include "foundation/archive/lzhFormat.h"
#include "foundation/ftp/cmp_TQlntFTP.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_INIFiles.h"
#include "foundation/routines/routines_ProductLock.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/translator/cmp_TTranslator.h"

namespace {

const char* const STwoControllers =
    "The TInstall component does not currently support the use of 2 TInstall components in the same project";
const char* const SBadOwner =
    "The Owner of the TInstall component must either be a class of type TCustomForm (Delphi 3) or TForm (Delphi "
    "2.0,C++Builder 1.0)";
const char* const SNoMainForm =
    "Application.MainForm is undefined and the TInstall is not on a form. Therefore, therefore the TInstall can't "
    "run the installation automatically";
const char* const SNoMainInstallDir = "Cannot set the DestDirType property of the TInstall component to ddMainInstallDir";
const char* const SDistributeTypeDesignOnly = "DistributeType can only be set at design-time";
const char* const SNoSelfExtractParam =
    "The self-extract parameter was not found on the command line in the FinishInstall method of the TInstall "
    "component";
const char* const SCannotReboot = "Could not reboot windows. Please manually reboot windows.";
const char* const DefaultArchive = "\\files.1";

bool RestartThroughWindows() { return ExitWindowsEx(EWX_REBOOT, 0) != 0; }

// The shutdown privilege of this process, which Windows NT asks before a restart.
bool EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES tp{};
  bool ok = LookupPrivilegeValueW(nullptr, L"SeShutdownPrivilege", &tp.Privileges[0].Luid) != 0;
  if (ok) {
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    ok = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) != 0 && GetLastError() == ERROR_SUCCESS;
  }
  CloseHandle(token);
  return ok;
}

// The module (program or library) that holds this code.
HMODULE OwnModule() {
  HMODULE m = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&OwnModule), &m);
  return m;
}

bool InsideLibrary() { return OwnModule() != GetModuleHandleW(nullptr); }

std::string ModulePath(HMODULE Module) {
  std::wstring buf(32768, L'\0');
  DWORD n = GetModuleFileNameW(Module, buf.data(), static_cast<DWORD>(buf.size()));
  return Narrow(buf.data(), n);
}

// The running program's file (or the library's that holds the controller).
std::string ControllerFile() { return ModulePath(InsideLibrary() ? OwnModule() : nullptr); }

std::string TempFolder() {
  wchar_t buf[MAX_PATH + 1];
  DWORD n = GetTempPathW(MAX_PATH + 1, buf);
  return n == 0 || n > MAX_PATH ? std::string() : Narrow(buf, n);
}

}  // namespace

bool IsLoaderWorkFolder(const std::string& Dir) {
  const std::string temp = TempFolder();
  if (Trim(temp).empty() || Trim(Dir).empty()) return false;
  const std::string name = ExtractFileName(DirectoryWOBS(Dir));
  if (name.size() < 4 || name.size() > 7 || !SameText(name.substr(0, 3), "qnt")) return false;
  if (name.find_first_not_of("0123456789abcdefABCDEF", 3) != std::string::npos) return false;
  return ComparablePath(ExtractFileDir(DirectoryWOBS(Dir))) == ComparablePath(temp);
}

bool (*SystemRestart)() = RestartThroughWindows;

struct TCustomInstall::TActivateHook {
  TCustomInstall* Self;
  void operator()(TObject* Sender) const { Self->DoActivate(Sender); }
};
struct TCustomInstall::TExceptionHook {
  TCustomInstall* Self;
  void operator()(TObject* Sender, Exception* E) const { Self->AppException(Sender, E); }
};

// ------------------------------------------------------------------ TBuildInfo

QNT_PUBLISH(TBuildInfo,
  Prop::String("BuildDirectory", &TBuildInfo::BuildDirectory, &TBuildInfo::SetBuildDirectory, "c:\\build"),
  Prop::String("CredentialsFile", &TBuildInfo::CredentialsFile, &TBuildInfo::SetCredentialsFile, ""),
  Prop::String("OCXName", &TBuildInfo::OCXName, &TBuildInfo::SetOCXName, "MySetup"),
  Prop::String("PrivateKeyFile", &TBuildInfo::PrivateKeyFile, &TBuildInfo::SetPrivateKeyFile, ""),
  Prop::Boolean("SignCode", &TBuildInfo::SignCode, &TBuildInfo::SetSignCode, false),
  Prop::String("URLPath", &TBuildInfo::URLPath, &TBuildInfo::SetURLPath, "http://www.quillant.example/install"));

void TBuildInfo::Assign(const TPersistent* Source) {
  if (const auto* s = dynamic_cast<const TBuildInfo*>(Source)) {
    FBuildDirectory = s->FBuildDirectory;
    FCredentialsFile = s->FCredentialsFile;
    FOCXName = s->FOCXName;
    FPrivateKeyFile = s->FPrivateKeyFile;
    FSignCode = s->FSignCode;
    FURLPath = s->FURLPath;
    return;
  }
  TPersistent::Assign(Source);
}

// --------------------------------------------------------------- TCustomInstall

QNT_PUBLISH(TCustomInstall);
// The controller's own settings; Include, InstallTypes, DestDir, DestDirType
// and the process events come from the install container's table.
QNT_PUBLISH(TInstall,
  Prop::Boolean("AllowChangeDir", &TInstall::AllowChangeDir, &TInstall::SetAllowChangeDir, true),
  Prop::Boolean("AutoMaximizeWindow", &TInstall::AutoMaximizeWindow, &TInstall::SetAutoMaximizeWindow, true),
  Prop::Object("BuildInfo", &TInstall::BuildInfo),
  Prop::Strings("Description", &TInstall::Description),
  Prop::Enum("DistributeType", &TInstall::DistributeType, &TInstall::SetDistributeType, DistributeTypeInfo,
             dtTraditional),
  Prop::String("GroupName", &TInstall::GroupName, &TInstall::SetGroupName, "Main"),
  Prop::Object("Information", &TInstall::Information),
  Prop::Object("LoginInformation", &TInstall::LoginInformation),
  Prop::Strings("PresetupFiles", &TInstall::PresetupFiles),
  Prop::Boolean("RunAutomatic", &TInstall::RunAutomatic, &TInstall::SetRunAutomatic, true),
  Prop::Enum("State", &TInstall::State, static_cast<void (TFileContainer::*)(TFileContainerState)>(&TInstall::SetState),
             FileContainerStateInfo, fcsNone),
  Prop::Boolean("UseLoadingProgram", &TInstall::UseLoadingProgram, &TInstall::SetUseLoadingProgram, true),
  Prop::Event("OnStartInstall", &TInstall::OnStartInstall, &TInstall::SetOnStartInstall),
  Prop::Event("OnBeforeReadArchiveInfo", &TInstall::OnBeforeReadArchiveInfo, &TInstall::SetOnBeforeReadArchiveInfo),
  Prop::Event("OnAfterReadArchiveInfo", &TInstall::OnAfterReadArchiveInfo, &TInstall::SetOnAfterReadArchiveInfo),
  Prop::Event("OnRebootWindows", &TInstall::OnRebootWindows, &TInstall::SetOnRebootWindows),
  Prop::Event("OnShowGoodInstall", &TInstall::OnShowGoodInstall, &TInstall::SetOnShowGoodInstall),
  Prop::Event("OnShowBadInstall", &TInstall::OnShowBadInstall, &TInstall::SetOnShowBadInstall),
  Prop::Event("OnCleanup", &TInstall::OnCleanup, &TInstall::SetOnCleanup),
  Prop::Event("OnBeforeTerminateApp", &TInstall::OnBeforeTerminateApp, &TInstall::SetOnBeforeTerminateApp),
  Prop::Event("OnUserAbort", &TInstall::OnUserAbort, &TInstall::SetOnUserAbort),
  Prop::Event("OnCloseCopyFileDlg", &TInstall::OnCloseCopyFileDlg, &TInstall::SetOnCloseCopyFileDlg),
  Prop::Event("OnNewDisk", &TInstall::OnNewDisk, &TInstall::SetOnNewDisk),
  Prop::Event("OnReplacing", &TInstall::OnReplacing, &TInstall::SetOnReplacing),
  Prop::Event("OnShowCopyFileDlg", &TInstall::OnShowCopyFileDlg, &TInstall::SetOnShowCopyFileDlg),
  Prop::Event("OnStatus", &TInstall::OnStatus, &TInstall::SetOnStatus));


TCustomInstall::TCustomInstall(TComponent* AOwner) : TFileContainer(AOwner) {
  if (MainInstall && MainInstall != this) throw IEInstall(STwoControllers);
  if (!dynamic_cast<TForm*>(AOwner) && !dynamic_cast<TDataModule*>(AOwner)) throw IEInstall(SBadOwner);
  FBuildInfo = new TBuildInfo();
  FInformation = new TInstallInformation();
  FPresetupFiles = new TStringList();
  FLoginInformation = new TLoginInformation();
  FArchiveFileType = ddInstallSourceDir;
  FArchiveFile = DefaultArchive;
  FAllowChoice = false;
  FDestDir = "\\MyApplication";
  FDestDirType = ddProgramFilesDir;
  MainInstall = this;
  MainInstallProductName = [this] { return FInformation->ProductName(); };
  if (Application) {
    FPreviousOnException = Application->OnException;
    Application->OnException = TExceptionHook{this};
  }
}

TCustomInstall::~TCustomInstall() {
  // Nothing may call into a controller that is gone: the application's
  // exception handler and the main form's activation go back to what they were.
  if (Application) {
    if (const auto* h = Application->OnException.target<TExceptionHook>(); h && h->Self == this)
      Application->OnException = FPreviousOnException;
  }
  if (FTheMainForm && !FTheMainForm->HasState(csDestroying)) {
    if (const auto* h = FTheMainForm->OnActivate.target<TActivateHook>(); h && h->Self == this)
      FTheMainForm->OnActivate = FPreviousOnActivate;
    FTheMainForm->RemoveFreeNotification(this);
  }
  FTheMainForm = nullptr;
  if (MainInstall == this) MainInstallProductName = nullptr;
  delete FBuildInfo;
  delete FInformation;
  delete FLoginInformation;
  delete FPresetupFiles;
}

void TCustomInstall::Notification(TComponent* AComponent, TOperation Operation) {
  TFileContainer::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FTheMainForm) FTheMainForm = nullptr;
}

void TCustomInstall::SetBuildInfo(const TBuildInfo* Value) { FBuildInfo->Assign(Value); }

void TCustomInstall::SetDistributeType(TDistributeType Value) {
  if (!Loading() && !HasState(csDesigning)) throw IEInstall(SDistributeTypeDesignOnly);
  FDistributeType = Value;
}

void TCustomInstall::SetLoginInformation(const TLoginInformation* Value) {
  FLoginInformation->Assign(Value);
  if (DefaultNetLocation) DefaultNetLocation->SetLoginInformation(FLoginInformation);
}

void TCustomInstall::SetPresetupFiles(const TStrings* Value) {
  TStringList lines;
  if (Value) lines.Assign(Value);
  for (int i = lines.Count() - 1; i >= 0; --i)
    if (Trim(lines[i]).empty()) lines.Delete(i);
  FPresetupFiles->Assign(&lines);
}

void TCustomInstall::SetUseLoadingProgram(bool Value) {
  FUseLoadingProgram = Value;
  if (!Loading() && Value) {
    FArchiveFileType = ddInstallSourceDir;
    FArchiveFile = DefaultArchive;
  }
}

void TCustomInstall::SetDestDirType(TPathSpecifiers NewDestDirType) {
  if (NewDestDirType == ddMainInstallDir) throw IEInstall(SNoMainInstallDir);
  TFileContainer::SetDestDirType(NewDestDirType);
}

std::string TCustomInstall::RunningDir() const { return DirectoryWOBS(ExtractFileDir(ControllerFile())); }

std::string TCustomInstall::GetLibraryName() { return ModulePath(OwnModule()).substr(0, 261); }

std::string TCustomInstall::GetInstallationEXEName() {
  if (InsideLibrary()) return GetLibraryName();
  if (FCalledBySelfExtracting) return GetArchiveFile();
  if (!FUseLoadingProgram) return ParamStr(0);
  std::vector<std::string> p = InstallParams();
  // A start without the loader names no loader: the program stands in for
  // it, so that the run after the restart finds its arguments.
  if (p.size() < 2) return DirectoryWBS(FSourceDir) + ExtractFileName(ParamStr(0));
  return DirectoryWBS(FSourceDir) + p[1];
}

// ------------------------------------------------------------------ start-up

void TCustomInstall::Loaded() {
  TFileContainer::Loaded();
  if (DefaultNetLocation) DefaultNetLocation->SetLoginInformation(FLoginInformation);
  UniqueInstallKey = GetUniqueInstallKey(false);
  std::string downloaded;
  if (AlreadyDownloaded(downloaded)) FNetArchiveFile = downloaded;

  TForm* mainForm = Application ? Application->MainForm() : nullptr;
  if (!mainForm) mainForm = dynamic_cast<TForm*>(Owner());
  if (!mainForm && FRunAutomatic) throw IEInstall(SNoMainForm);

  TInstallType preselected = itAlways;
  for (TInstallType t : {itDefault, itCompact, itFull, itCustom})
    if (InstallTypes() & InstallTypeBit(t)) {
      preselected = t;
      break;
    }
  SetSelectedInstallType(preselected);

  switch (StartSwitch(InstallParams())) {
    case TStartSwitch::ssBuild:
      ProcessBuildParam();
      return;
    case TStartSwitch::ssToDisk:
      ProcessToDiskParam("a:");
      return;
    case TStartSwitch::ssABoot:
      FinishInstall();
      return;
    case TStartSwitch::ssSelfExtract:
      FCalledBySelfExtracting = true;
      break;
    case TStartSwitch::ssNone:
      break;
  }
  if (mainForm) {
    FTheMainForm = mainForm;
    mainForm->FreeNotification(this);
    FPreviousOnActivate = mainForm->OnActivate;
    mainForm->OnActivate = TActivateHook{this};
  }
}

void TCustomInstall::DoActivate(TObject*) {
  if (FAlreadyHookedOnActivate) return;
  if (FPreviousOnActivate) FPreviousOnActivate(Owner());
  FAlreadyHookedOnActivate = true;
  if (FAutoMaximizeWindow && FTheMainForm) {
    FTheMainForm->SetWindowState(wsMaximized);
    FTheMainForm->Repaint();
  }
  if (!FRunAutomatic) return;
  if (FTheMainForm && !(Owner() && Owner()->HasState(csDestroying)) && FPreviousOnActivate)
    FTheMainForm->OnActivate = FPreviousOnActivate;
  Install();
}

// ------------------------------------------------------------------ the run

void TCustomInstall::ReadLoadingInformation() {
  if (!FUseLoadingProgram) {
    FSourceDir = RunningDir();
    return;
  }
  std::vector<std::string> p = InstallParams();
  // The archive lies inside the self-extracting loader that started us.
  if (p.size() >= 2 && FCalledBySelfExtracting && FArchiveFileType == ddInstallSourceDir &&
      SameText(FArchiveFile, DefaultArchive))
    SetArchiveFile("\\" + p[1]);
  FSourceDir = ReadLoaderArguments(p, 1, true).SourceDir;
}

bool TCustomInstall::TakeRunLock() {
  if (!FRunLock) FRunLock = std::make_unique<TProductLock>(FInformation->ProductName(), prSetup);
  try {
    return FRunLock->Take([](const std::string& Text) {
      return EngineMessageBox(Text, EngineBoxCaption(), MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY;
    });
  } catch (const EProductLockUnavailable& E) {
    // Unguarded, a second run could write what this one writes: the run
    // ends as a Cancel does, with nothing changed, after saying why.
    EngineMessageBox(E.Message, EngineBoxCaption(), MB_OK | MB_ICONSTOP);
    return false;
  }
}

void TCustomInstall::ReleaseRunLock() {
  if (FRunLock) FRunLock->Release();
}

bool TCustomInstall::BeginRun() {
  // A module built before its product name was checked: no entry is written
  // that the uninstaller could not find, nor anything else.
  FStartingRun = true;
  CheckEntryProductName(FInformation->ProductName(), Name());
  FStartingRun = false;
  // Before anything of the run: the setup key and its jobs are the other
  // run's too while it lasts. Cancel ends the run with nothing changed.
  if (!TakeRunLock()) {
    if (FRunAutomatic && Application) Application->Terminate();
    return false;
  }
  FStartingRun = true;
  FAlreadyReadFromArchive = false;
  InstallStartTime = Now();
  FNotFinishedFileCount = 0;
  AbortDownload = false;  // a Cancel of an earlier run must not stop this one's downloads
  ReadLoadingInformation();
  FInstalling = true;
  FStartingRun = false;
  if (DefaultNetLocation) DefaultNetLocation->SetLoginInformation(FLoginInformation);
  UniqueInstallKey = GetUniqueInstallKey(true);
  WipeUnfinishedInstallList();
  SelfExtractArchive.clear();
  SelfExtractOffset = 0;
  SelfExtractLast = -1;
  if (FCalledBySelfExtracting) SetCompressOffset();
  return true;
}

void TCustomInstall::Install() {
  if (!BeginRun()) return;
  ReadInfoFromArchive();
  if (FOnStartInstall) FOnStartInstall(this);
  for (int code : {eccStartingUp, eccLanguageDialog, eccWelcomeDialog, eccLicenseAgreement, eccReadmeDialog,
                   eccBeginningDialogManager})
    ExternalComponentCall(this, code, nullptr);
  {
    // While one file is written, the next ones of its archive are inflated
    // on the other processors.
    const unsigned cores = std::thread::hardware_concurrency();
    QlntCompress->SetUnpackAhead(static_cast<int>(std::min(cores > 0 ? cores - 1 : 0, 4u)));
    TScopeGuard stop([] { QlntCompress->SetUnpackAhead(0); });
    TFileContainer::Install();
  }

  if (FNotFinishedFileCount > 0 || Reboot) AddInstallStartUp();
  const bool restartNeeded = Reboot;
  if (Reboot) {
    ExternalComponentCall(this, eccShutDownDialog, nullptr);  // the reboot page may clear it
    if (Reboot && FOnRebootWindows) FOnRebootWindows(this, Reboot);
    if (Reboot) {
      WriteCurrentLanguage();
      RebootWindows();
      if (Application) Application->Terminate();
    }
  }
  if (restartNeeded) {
    // The closing pages, the clean-up and the key's removal come with the
    // run after the restart.
    if (Application) Application->Terminate();
    ReleaseRunLock();
    return;
  }
  DoNotifyGoodInstall();
  Cleanup();
  DeleteUniqueInstallKey();
  if (FRunAutomatic) DoShutDownInstall();
  FInstalling = false;
  FAlreadyReadFromArchive = false;
  ReleaseRunLock();
}

void TCustomInstall::ReadInfoFromArchive() {
  if (FAlreadyReadFromArchive) return;
  if (FOnBeforeReadArchiveInfo) FOnBeforeReadArchiveInfo(this);
  ExternalComponentCall(this, eccBeforeReadArchiveInfo, nullptr);
  const bool hourglass = Screen && FTheMainForm;
  const TCursor saved = Screen ? Screen->Cursor() : crDefault;
  if (hourglass) Screen->SetCursor(crHourGlass);
  try {
    DisplayMessage("Reading file information...");
    TFileContainer::ReadInfoFromArchive();
    if (FDistributeType != dtTraditional) ReadNetFileList();
  } catch (...) {
    if (hourglass) Screen->SetCursor(saved);
    HideMessage();
    throw;
  }
  if (hourglass) Screen->SetCursor(saved);
  HideMessage();
  FAlreadyReadFromArchive = true;
  if (FOnAfterReadArchiveInfo) FOnAfterReadArchiveInfo(this);
  ExternalComponentCall(this, eccAfterReadArchiveInfo, nullptr);
}


void TCustomInstall::DoNotifyGoodInstall() {
  if (FOnShowGoodInstall) FOnShowGoodInstall(this);
  ExternalComponentCall(this, eccGoodInstall, nullptr);
  ExternalComponentCall(this, eccGoodInstallDialogManager, nullptr);
}

void TCustomInstall::DoNotifyBadInstall() {
  if (FOnShowBadInstall) FOnShowBadInstall(this);
  ExternalComponentCall(this, eccBadInstall, nullptr);
  ExternalComponentCall(this, eccBadInstallDialogManager, nullptr);
}

bool TCustomInstall::DoShutDownInstall() {
  bool quitOut = true;
  if (FOnBeforeTerminateApp) FOnBeforeTerminateApp(this, quitOut);
  if (quitOut && Application) Application->Terminate();
  return !quitOut;
}

void TCustomInstall::Cleanup() {
  if (HasState(csDesigning)) return;
  bool goOn = true;
  if (FOnCleanup) FOnCleanup(this, goOn);
  if (!goOn) return;
  // Only the loader's own copy (started from inside setup.exe, or unpacked
  // into its work folder) removes itself and the pre-setup files beside it:
  // started directly from a build or distribution folder, these files are
  // the developer's or the distribution's.
  const std::string running = RunningDir();
  if (Trim(FSourceDir).empty() || SameText(DirectoryWOBS(FSourceDir), running)) return;
  const bool workFolder = IsLoaderWorkFolder(running);
  // The loader unpacks into the temporary folder itself when it cannot make
  // a folder there.
  const bool inTemp = ComparablePath(running) == ComparablePath(TempFolder());
  if (!FCalledBySelfExtracting && !workFolder && !inTemp) return;
  if (!InsideLibrary()) RemoveFileAfterBoot(ParamStr(0));
  for (int i = 0; i < FPresetupFiles->Count(); ++i) {
    const std::string name = ExtractFileName(Trim((*FPresetupFiles)[i]));
    if (!name.empty()) RemoveFile(DirectoryWBS(running) + name);
  }
  // The work folder goes with its last file, the program, at the restart;
  // never the temporary folder itself.
  if (workFolder && !InsideLibrary()) RemoveFolderAfterBoot(running);
}

void TCustomInstall::RebootWindows() {
  bool restarted = false;
  switch (GetWindowsVerType()) {
    case wvWin95:
      restarted = SystemRestart();
      break;
    case wvWinNT:
      restarted = EnableShutdownPrivilege() && SystemRestart();
      break;
    default:
      break;
  }
  if (!restarted) {
    const std::string text = TSE(SCannotReboot);
    if (Application)
      Application->MessageBox(text, Application->Title(), MB_OK | MB_ICONWARNING);
  }
}

bool TCustomInstall::VerifyCancel() {
  bool quitOut = true;
  if (FOnUserAbort) FOnUserAbort(this, quitOut);
  return quitOut;
}

void TCustomInstall::AppException(TObject*, Exception* E) {
  // The run ends here, whatever ends it.
  TScopeGuard runEnds([this] { ReleaseRunLock(); });
  if (!FInstalling) {
    if (Application) Application->ShowException(E);
    // A run that failed before it began (no loader arguments, say) has
    // nothing left to show: the program would stay with its hidden form only.
    if (FStartingRun && FRunAutomatic && Application) Application->Terminate();
    FStartingRun = false;
    return;
  }
  FInstalling = false;
  try {
    if (dynamic_cast<EAIUserAbort*>(E)) {
      DoNotifyBadInstall();
      Cleanup();
      DeleteUniqueInstallKey();
      if (FRunAutomatic) DoShutDownInstall();
    } else {
      DoNotifyBadInstall();
      if (Application) Application->ShowException(E);
      DoShutDownInstall();
    }
  } catch (...) {
    if (FRunAutomatic && Application) Application->Terminate();
  }
}

// --------------------------------------------------- the setup key of this run

std::string TCustomInstall::GetUniqueInstallKey(bool Create) {
  return FindSetupKey(InsideLibrary() ? GetLibraryName() : ParamStr(0), InstallStartTime, Create);
}

void TCustomInstall::DeleteUniqueInstallKey() { DeleteSetupKey(UniqueInstallKey); }

void TCustomInstall::WriteCurrentLanguage() { WriteSetupKeyLanguage(UniqueInstallKey); }

void TCustomInstall::WipeUnfinishedInstallList() { WipeUnfinishedJobs(UniqueInstallKey); }

void TCustomInstall::GetUnfinishedInstallList(TStrings* SL) { ReadUnfinishedJobs(UniqueInstallKey, SL); }

void TCustomInstall::WriteUnfinished(const std::string& Data, TUnfinishedCommand Command) {
  if (UniqueInstallKey.empty()) throw IEInstall(SCannotReadUnfinished);
  ++FNotFinishedFileCount;
  WriteUnfinishedJob(UniqueInstallKey, Data, Command);
}

void TCustomInstall::AddInstallStartUp() {
  RegisterContinuation(ContinuationLine(ParamStr(0), FCalledBySelfExtracting, GetInstallationEXEName()));
  // Until then the product's uninstaller must not remove what the restart
  // puts in place.
  MarkSetupWaiting(ProductRecordKey(), UniqueInstallKey);
}

void TCustomInstall::FinishInstall() {
  FInstalling = true;
  if (DefaultNetLocation) DefaultNetLocation->SetLoginInformation(FLoginInformation);
  std::vector<std::string> p = InstallParams();
  if (p.size() < 2) throw IEInstall(SNoSelfExtractParam);
  FCalledBySelfExtracting = SameText(p[1], "*SELFEXTRACT");
  if (FUseLoadingProgram) {
    if (p.size() >= 3 && FCalledBySelfExtracting && FArchiveFileType == ddInstallSourceDir &&
        SameText(FArchiveFile, DefaultArchive))
      SetArchiveFile("\\" + p[2]);
    FSourceDir = ReadLoaderArguments(p, 2, false).SourceDir;
  } else {
    FSourceDir = RunningDir();
  }
  if (!TakeRunLock()) {
    // Windows took the continuation when it started this run: the jobs
    // wait for the next start, with the loader this run was given.
    RegisterContinuation(ContinuationLine(ParamStr(0), FCalledBySelfExtracting,
                                          FUseLoadingProgram && p.size() >= 3 ? DirectoryWBS(FSourceDir) + p[2]
                                                                              : GetInstallationEXEName()));
    FInstalling = false;
    if (FRunAutomatic && Application) Application->Terminate();
    return;
  }
  UniqueInstallKey = GetUniqueInstallKey(false);
  // The pages after the restart speak the language chosen before it.
  int language = 0;
  if (MTranslator && ReadSetupKeyLanguage(UniqueInstallKey, language))
    MTranslator->SetTranslateIntoLanguage(static_cast<TQlntLanguage>(language));
  TStringList jobs;
  GetUnfinishedInstallList(&jobs);
  WipeUnfinishedInstallList();  // a job is tried once
  RunJobs(&jobs);
  UnmarkSetupWaiting(ProductRecordKey());
  DoNotifyGoodInstall();
  Cleanup();
  DeleteUniqueInstallKey();
  if (FRunAutomatic) DoShutDownInstall();
  FInstalling = false;
  ReleaseRunLock();
}

void TCustomInstall::RunJobs(TStrings* Jobs) {
  for (int i = 0; i < Jobs->Count(); ++i) {
    std::string data;
    int command = 0;
    if (!SplitUnfinishedJob((*Jobs)[i], data, command)) throw IEInstall(SInvalidUnfinishedEntry, {(*Jobs)[i]});
    if (command == ufcDeleteFile) {
      RemoveFile(data);
    } else if (command == ufcReinstall && QuillantComps) {
      // A component may come or go meanwhile: every step re-checks the list.
      for (size_t c = 0; c < QuillantComps->size(); ++c)
        if (SameText((*QuillantComps)[c]->Name(), data)) (*QuillantComps)[c]->FinishInstall();
    }
  }
}
