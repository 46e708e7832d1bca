// The install of one file on the user's machine: the overwrite decision, the
// extraction (under a private name beside the real one, which it takes only
// when whole), the replacement of the old file now or, when that is in use,
// from a numbered name at the next restart, help registration,
// SharedDLLs counts, self-registration, the archive handlers and the file's
// part of the uninstall record.
#include <windows.h>
#include <ole2.h>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "engine/cmp_TInstallContainer.h"
#include "engine/routines_PrivateCopy.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_INIFiles.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/types_Quillant.h"

std::function<bool(const std::string&, const std::string&)> DelayedMoveFile = [](const std::string& Source,
                                                                                 const std::string& Target) {
  // Without REPLACE_EXISTING the move at the restart finds the old file
  // still there and leaves it.
  return MoveFileExW(Widen(Source).c_str(), Widen(Target).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
};

namespace engine_versions {
bool SourceWins(double SourceDate, const std::string& SourceVersion, const std::string& Dest, TOverwriteType Mode);
}

namespace {
const char* const SBlankDest =
    "Cannot compress,copy, or install the following file because it's destination directory is blank. File is :%s";
const char* const SBlankArchive =
    "Cannot either compress or decompress the following file because it's archive file property is blank. File "
    "is :%s";
const char* const SCannotRegisterReboot =
    "%s cannot register a routine in the register to move the files after the computer is reboot";
const char* const SharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

// Restores the archive component's range whatever happens.
class TOffsetGuard {
public:
  TOffsetGuard() : FOffset(QlntCompress->Offset()), FLast(QlntCompress->ArchiveLast()) {}
  ~TOffsetGuard() { QlntCompress->SetArchiveRange(FOffset, FLast); }
  TOffsetGuard(const TOffsetGuard&) = delete;
  TOffsetGuard& operator=(const TOffsetGuard&) = delete;

private:
  int32_t FOffset, FLast;
};

std::string FullPath(const std::string& Dir, const std::string& Name) { return DirectoryWBS(Dir) + Name; }

// The name the file takes in its folder: the name part of DestName, or of
// the stored name when DestName is blank.
std::string FinalName(const std::string& DestName, const std::string& Stored) {
  const std::string& name = Trim(DestName).empty() ? Stored : DestName;
  const size_t p = name.find_last_of("\\/:");
  return p == std::string::npos ? name : name.substr(p + 1);
}

}  // namespace

std::string TCustomInstallFile::DestFileName() const { return FinalName(FDestName, SourcePath()); }

std::string TCustomInstallFile::GetDestFile() { return FullPath(GetDestDir(), DestFileName()); }

void TCustomInstallFile::InstallUnique() {
  FDelayedReplace = false;
  FIsNewer = false;
  FExtractName.clear();
  try {
    ReportInformationEvent(eieBeforeInstallFile, this);
    if (FOnBeforeInstall) FOnBeforeInstall(this);
  } catch (const EAbort&) {
    ReportInformationEvent(eieInstallFileAbortBefore, this);
    return;
  }
  if (Trim(GetDestDir()).empty()) throw IECustomInstallFile(SBlankDest, {Name()});
  // Weighed against the very file the new one replaces.
  bool install = engine_versions::SourceWins(FDate, FVersion, GetDestFile(), FOverwriteMode);
  if (install) {
    try {
      DoReplace();
    } catch (const EAbort&) {
      install = false;
    }
  }
  if (install) {
    FState = ifsInstall;
    try {
      install = ExtractFromArchive();
      if (install) {
        if (FRegisterAsHelp) RegisterHelp();
        if (FUpdateDLLCounter && !UpdateDLLCount())
          throw IECustomInstallFile("Cannot update the DLL count for the following file :%s:", {FFileName});
        if (FRepository) FRepository->Install();
        auto* controller = dynamic_cast<TFileContainer*>(MainInstall);
        if (FDelayedReplace && controller)
          controller->WriteUnfinished(Name(), ufcReinstall);
        else if (FActiveX)
          RegisterActiveX();
        if (FOnAfterInstall) FOnAfterInstall(this);
        ReportInformationEvent(eieAfterInstallFile, this);
        TInstallObject::InstallUnique();
      }
    } catch (...) {
      EndCopying(false);
      throw;
    }
    EndCopying(true);
    if (install) return;
  }
  // The file stays as it stands (the overwrite rule kept it, or a handler of
  // the archive skipped it). The record lists it for the uninstaller, which
  // lowers its count: raise it here too, or it could take another's to zero.
  if (FUpdateDLLCounter && FileExists(GetDestFile()) && !UpdateDLLCount())
    throw IECustomInstallFile("Cannot update the DLL count for the following file :%s:", {FFileName});
  // A deletion at the restart that an uninstall before this run left is
  // withdrawn; what stopped earlier runs left of the file goes all the same.
  if (FileExists(GetDestFile())) TPrivateCopy::KeepInPlace(GetDestFile(), Name());
  TPrivateCopy::RemoveLeftovers(GetDestDir(), FinalName(FDestName, SourcePath()), InstallStartTime);
  ReportInformationEvent(eieInstallFileAbortOlder, this);
}

void TCustomInstallFile::EndCopying(bool PassOnError) {
  QlntCompress->SetOnNewDisk(nullptr);
  QlntCompress->SetOnStatus(nullptr);
  FState = ifsNone;
  try {
    ExternalComponentCall(this, eccDoneCopyingFiles, nullptr);
  } catch (...) {
    QlntCompress->SetAbort(true);
    if (PassOnError) throw;
  }
}

bool TCustomInstallFile::ExtractFromArchive() {
  TOffsetGuard offset;
  // Only a file that comes over the network can have been downloaded: the
  // others need not look for the record of a download.
  const TDistributeType dt = GetDistributeType();
  const bool net = dt != dtTraditional && (FNet || dt == dtWeb);
  std::string downloaded;
  if (net && AlreadyDownloaded(downloaded)) FNetArchiveFile = downloaded;
  if (net) {
    QlntCompress->SetOffset(0);
    if (GetPlaceInOwnArchive()) {
      DownloadRemoteFile();
    } else if (auto* fc = dynamic_cast<TFileContainer*>(FContainer)) {
      fc->DownloadWholeArchive();
    }
  }
  const std::string dir = GetDestDir();
  ForceProductDirectories(dir);
  const std::string archive = GetArchiveFile();
  if (Trim(archive).empty()) throw IECustomInstallFile(SBlankArchive, {FFileName});
  TPrivateCopy copy(dir, FinalName(FDestName, SourcePath()), Name(), InstallStartTime);
  const TPrivateCopy::TOutcome outcome = copy.Install([&](const std::string& Part,
                                                         const TPrivateCopy::TPlacer& Place) {
    FExtractName = Part;
    TQlntCompress* c = QlntCompress;
    PointQlntCompressAt(archive);
    c->SetExtractDirectory(dir);
    c->SetExtractName(Part);
    // The overwrite rule was weighed against the destination: the private
    // copy is this run's own.
    c->SetOverwrite(owAlways);
    c->SetOnAborted([this](TObject* Sender) { DoAbort(Sender); });
    c->SetOnNewDisk([this](TQlntCompress* S, int32_t Disk, std::string& Path) { DoNewDisk(S, Disk, Path); });
    c->SetOnStatus([this](TQlntCompress* S, const TlzhFileStats& St) { DoStatus(S, St); });
    c->SetOnTargetWhole([&Place](TQlntCompress*, THandle Target) { Place(reinterpret_cast<void*>(Target)); });
    c->FilesToProcess()->Clear();
    c->FilesToProcess()->Add(SourcePath());
    switch (c->Extract()) {
      case eoWritten:
        return TPrivateCopy::wrWhole;
      case eoSkipped:
        return TPrivateCopy::wrSkipped;
      case eoQuietEnd:
        break;
    }
    return TPrivateCopy::wrQuietEnd;
  });
  FExtractName.clear();
  // The archive ended quietly (a silent abort): so does the file's install.
  if (outcome == TPrivateCopy::pcQuietEnd) throw EAbort("");
  if (outcome == TPrivateCopy::pcSkipped) return false;
  if (outcome == TPrivateCopy::pcAtRestart) {
    FExtractName = copy.NumberedName();
    FDelayedReplace = true;
    ScheduleBootReplacement(copy.Destination(), FullPath(dir, FExtractName));
  }
  return true;
}

void TCustomInstallFile::DoReplace() {
  if (FOnReplacing) FOnReplacing(this);
  ExternalComponentCall(this, eccReplacingFile, this);
  ReportInformationEvent(eieReplaceInstallFile, this);
  FIsNewer = true;
}

void TCustomInstallFile::ScheduleBootReplacement(const std::string& OldPath, const std::string& NewPath) {
  // The entries name the real short forms of both files, which exist now.
  const std::string shortOld = GetShortPath(OldPath);
  const std::string shortNew = GetShortPath(NewPath);
  const bool haveShort = !shortOld.empty() && !shortNew.empty();
  if (GetWindowsVerType() == wvWin95) {
    if (haveShort && WriteWininitRename(shortOld, shortNew)) {
      Reboot = true;
      return;
    }
  } else {
    if (DelayedMoveFile(NewPath, OldPath)) {
      Reboot = true;
      return;
    }
  }
  auto* controller = dynamic_cast<TFileContainer*>(MainInstall);
  if (!controller || !haveShort) throw IECustomInstallFile(SCannotRegisterReboot, {Name()});
  const std::string batch = ChangeFileExt(MakeTempFileName(false), ".bat");
  const std::string text = "if exist " + shortNew + " erase " + shortOld + "\r\nif exist " + shortNew + " move " +
                           shortNew + " " + shortOld + "\r\n";
  HANDLE h = CreateFileW(Widen(batch).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  DWORD written = 0;
  const bool ok = h != INVALID_HANDLE_VALUE &&
                  WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  if (!ok) throw IECustomInstallFile(SCannotRegisterReboot, {Name()});
  controller->WriteUnfinished(batch, ufcDeleteFile);
  // Quoted: the temporary folder often has blanks ("Documents and Settings"),
  // and Windows would start nothing, or another program, from the bare path.
  if (!RegisterRunOnce("QuillantBatFile", "\"" + batch + "\"", true))
    throw IECustomInstallFile(SCannotRegisterReboot, {Name()});
  Reboot = true;
}

void TCustomInstallFile::RegisterHelp() {
  WriteRVStr(hkLocalMachine, HelpKey, UpperCase(FinalName(FDestName, SourcePath())), GetDestDir());
  // The uninstall takes the registration away with the file.
  if (MainInstall) WriteUninstallHelpEntry(ProductRecordKey(), GetDestFile());
}

bool TCustomInstallFile::UpdateDLLCount() {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (!reg.OpenKey(SharedDLLsKey, true))
    throw IECustomInstallFile(
        "Could not open the key SharedDLLs key in the registry. File component %s. GetLastError return: %d",
        {Name(), static_cast<long long>(GetLastError())});
  // A count another tool stored as four binary bytes is a count too.
  auto readCount = [&](const std::string& value, int32_t& count, bool& binary) {
    if (!reg.ValueExists(value)) return false;
    TRegDataInfo info;
    if (!reg.GetDataInfo(value, info)) return false;
    if (info.RegData == rdInteger) {
      count = reg.ReadInteger(value);
      binary = false;
      return true;
    }
    if (info.RegData == rdBinary && info.DataSize == 4) {
      reg.ReadBinaryData(value, &count, 4);
      binary = true;
      return true;
    }
    return false;
  };
  auto writeCount = [&](const std::string& value, int32_t count, bool binary) {
    if (binary)
      reg.WriteBinaryData(value, &count, 4);
    else
      reg.WriteInteger(value, count);
  };
  const std::string longName = GetDestFile();
  const std::string shortName = GetShortPath(longName);
  // A product counts a file once, however often it is installed, and the
  // one uninstall lowers the count once. What decides is whether it raised
  // the count before, as its record says: not whether it listed the file
  // (an earlier version may have installed it without counting it).
  const bool counted = MainInstall && UninstallRecordCounted(ProductRecordKey(), longName);
  int32_t count = 0;
  bool binary = false;
  try {
    std::string name = longName;
    if (!shortName.empty() && readCount(shortName, count, binary)) {
      name = shortName;
    } else if (!readCount(longName, count, binary)) {
      count = 0;
      binary = false;
    }
    if (counted && count >= 1) return true;
    writeCount(name, count + 1, binary);
  } catch (const ERegistryException&) {
    return false;
  }
  // Listed once the count is raised: a run stopped in between leaves a
  // count too high, never one lowered for another product.
  if (MainInstall) WriteUninstallCountedEntry(ProductRecordKey(), longName);
  return true;
}

void TCustomInstallFile::FinishInstall() {
  if (FActiveX) RegisterActiveX();
}

void TCustomInstallFile::RegisterActiveX() {
  if (SameText(ExtractFileExt(FFileName), ".EXE"))
    DoRegisterActiveX_EXEStyle();
  else
    DoRegisterActiveX_DLLStyle();
}

void TCustomInstallFile::DoRegisterActiveX_DLLStyle() {
  const std::string path = GetDestFile();
  if (Trim(GetDestDir() + FDestName).empty() || !FileExists(path)) throw IECustomInstallFile(SBlankDest, {Name()});
  const HRESULT ole = OleInitialize(nullptr);
  HMODULE lib = LoadLibraryW(Widen(path).c_str());
  try {
    if (!lib)
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the LoadLibrary(%s) procedure returned a value of "
          "0. The file component is %s. The following value is the value of the GetLastError function: %d",
          {path, path, Name(), static_cast<long long>(GetLastError())});
    using TRegister = HRESULT(WINAPI*)();
    auto reg = reinterpret_cast<TRegister>(reinterpret_cast<void*>(GetProcAddress(lib, "DllRegisterServer")));
    if (!reg)
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the DllRegisterServer function could not be "
          "found. The file component is %s. The following value is the value of the GetLastError function: %d",
          {path, Name(), static_cast<long long>(GetLastError())});
    const HRESULT r = reg();
    if (r != S_OK)
      throw IECustomInstallFile(
          "Could not register the ActiveX component, %s, because the DllRegisterServer function returned a value "
          "of %d. The file component is %s",
          {path, static_cast<long long>(r), Name()});
  } catch (...) {
    if (lib) FreeLibrary(lib);
    if (SUCCEEDED(ole)) OleUninitialize();
    throw;
  }
  FreeLibrary(lib);
  if (SUCCEEDED(ole)) OleUninitialize();
}

void TCustomInstallFile::DoRegisterActiveX_EXEStyle() {
  const std::string path = GetDestFile();
  if (Trim(GetDestDir() + FDestName).empty() || !FileExists(path)) throw IECustomInstallFile(SBlankDest, {Name()});
  // Quoted: an unquoted path with blanks could start another program.
  std::wstring cmd = L"\"" + Widen(path) + L"\" /REGSERVER";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    throw IECustomInstallFile(
        "Could not register the ActiveX component, %s, because the WinExec(%s,SW_HIDE) function returned a value < "
        "32. The file component is %s. The following value is the value of the GetLastError function: %d",
        {path, path, Name(), static_cast<long long>(GetLastError())});
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
}

void TCustomInstallFile::WriteInstallInfo(const std::string& RegKey) {
  // The real name, also when the new copy waits under a numbered one.
  const std::string path = GetDestFile();
  if (FActiveX)
    WriteUninstallActiveXEntry(RegKey, path, SameText(ExtractFileExt(FFileName), ".EXE"));
  else
    WriteUninstallFileEntry(RegKey, path);
}

std::string TCustomInstallFile::GetArchiveFile() {
  const TDistributeType dt = GetDistributeType();
  if (FState == ifsInstall && (dt == dtWeb || (dt != dtTraditional && FNet))) {
    if (GetPlaceInOwnArchive() && GetDownloadedRemoteFile()) {
      std::string own = FNetArchiveFile;
      if (Trim(own).empty()) AlreadyDownloaded(own);
      return own;
    }
    if (auto* fc = dynamic_cast<TFileContainer*>(FContainer))
      if (fc->GetDownloadedRemoteFile()) return fc->GetNetArchive();
  }
  return TFileRelated::GetArchiveFile();
}

void TCustomInstallFile::ReadInfoFromArchive() {
  const TDistributeType dt = GetDistributeType();
  std::string archive;
  if (dt == dtTraditional || (dt == dtTraditionalNet && !FNet)) {
    archive = TFileRelated::GetArchiveFile();
  } else if (GetPlaceInOwnArchive() && GetDownloadedRemoteFile()) {
    archive = FNetArchiveFile;
    if (Trim(archive).empty()) AlreadyDownloaded(archive);
  } else if (auto* fc = dynamic_cast<TFileContainer*>(FContainer)) {
    if (!fc->GetDownloadedRemoteFile()) return;
    archive = fc->GetNetArchive();
  } else {
    throw IECustomInstallFile(
        "%s cannot perform ReadInfoFromArchive because either no container is assigned or the container is not "
        "TFileContainer",
        {Name()});
  }
  if (Trim(archive).empty()) throw IECustomInstallFile(SBlankArchive, {FFileName});
  PointQlntCompressAt(archive);
  int i = QlntCompress->FindFile(SourcePath());
  if (i < 0) return;
  const TlzhFileHeader& h = QlntCompress->FileHeaders()->FileHeaders(i)->Data;
  FCompressedSize = h.PackedSize;
  FDate = h.Date;
  FSize = h.NormalSize;
  SetVersion(h.Version);
}

// --------------------------------------------------------- archive handlers

void TCustomInstallFile::DoAbort(TObject*) { throw EAIUserAbort(); }

void TCustomInstallFile::DoStatus(TQlntCompress*, const TlzhFileStats& FileStats) {
  // Every field is set afresh: a receiver may have changed the last report's.
  TFileStatusParameter& p = FStatus;
  p.FileBytesProcessed = FileStats.IFBytesProcessed;
  p.FileComplete = FileStats.IFCompletion;
  p.FileName = FFileName;
  p.FileStats = FileStats;
  p.TotalBytesProcessed = FileStats.TotalBytesProcessed;
  p.TotalComplete = FileStats.TotalCompletion;
  TEventParameterList& list = FStatusList;
  list.Items.assign({this, &p});
  if (FOnStatus) FOnStatus(this, p.FileComplete, p.TotalComplete);
  ExternalComponentCall(this, eccCopyingFile, &p);
  switch (FState) {
    case ifsCopying:
      ReportInformationEvent(eieCopyingFile, &list);
      break;
    case ifsInstall:
      ReportInformationEvent(eieInstallingFile, &list);
      break;
    case ifsCompress:
      ReportInformationEvent(eieCompressingFile, &list);
      break;
    case ifsNone:
      break;
  }
}

void TCustomInstallFile::DoNewDisk(TQlntCompress* Compressor, int32_t DiskNumber, std::string& Path) {
  Tag = 0;
  TDiskParameter p;
  p.Disk = DiskNumber;
  p.SourceDir = DirectoryWOBS(ExtractFileDir(GetArchiveFile()));
  TEventParameterList list;
  list.Items = {this, &p};
  try {
    if (FOnNewDisk) {
      std::string dir = p.SourceDir;
      FOnNewDisk(this, DiskNumber, dir);
      p.SourceDir = dir;
    }
    ExternalComponentCall(this, eccChangeDiskManager, &list);
    ReportInformationEvent(eieChangeDisk, &list);
    if (!FOnNewDisk && Tag == 0) {
      int answer = EngineMessageBox(Format(TSE("Please insert disk #%d"), {static_cast<long long>(DiskNumber)}),
                                    EngineBoxCaption(), MB_OKCANCEL | MB_ICONINFORMATION);
      if (answer == IDCANCEL) Compressor->SetAbort(true);
    }
    Path = DirectoryWOBS(p.SourceDir);
  } catch (...) {
    Tag = 0;
    throw;
  }
  Tag = 0;
}
