#include "engine/routines_PrivateCopy.h"

#include <windows.h>

#include <cstring>
#include <map>
#include <vector>

#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/exceptions_Quillant.h"
#include "foundation/routines/routines_INIFiles.h"
#include "foundation/routines/routines_InstallParts.h"
#include "foundation/routines/routines_Strings.h"
#include "foundation/translator/cmp_TTranslator.h"

std::function<std::string(const std::string& Dir, const std::string& Name)> NewInstallPart =
    [](const std::string&, const std::string& Name) {
      // The process id keeps the name apart from every other setup running
      // now, the counter from this run's earlier copies: no running setup
      // can make the same name, so making the file is what reserves it
      // (the writer makes it, no test beforehand).
      static uint32_t counter = 0;
      return InstallPartName(Name, GetCurrentProcessId(), counter++);
    };

std::function<void(const std::string& Path)> PrivateCopyWritten;

namespace {
// How often a copy is written when another program keeps taking it away
// between its writing and its renaming.
constexpr int MaxWrites = 3;
// How often, and how far apart, the one-step replacement is tried before the
// old file counts as in use: another setup of the same files may just be
// putting its copy in place.
constexpr int MaxReplaceAttempts = 4;
constexpr DWORD ReplacePauseMs = 25;
constexpr int MaxNumberedNames = 999;
}  // namespace

TPrivateCopy::TPrivateCopy(std::string Dir, std::string Name, std::string Component, double RunStart)
    : FDir(std::move(Dir)), FName(std::move(Name)), FComponent(std::move(Component)), FRunStart(RunStart) {}

TPrivateCopy::~TPrivateCopy() {
  if (!FPart.empty()) RemoveFile(Path(FPart));
}

std::string TPrivateCopy::Path(const std::string& Name) const { return DirectoryWBS(FDir) + Name; }

std::string TPrivateCopy::Destination() const { return Path(FName); }

void TPrivateCopy::RemoveLeftovers(const std::string& Dir, const std::string& Name, double RunStart) {
  // The folders this run looked through, with what ended runs had left there
  // of any file: a file of a hundred in one folder costs no listing of its own.
  static double listedIn = 0;
  static std::map<std::string, std::vector<std::string>> listed;
  std::vector<std::string> parts;
  if (RunStart == 0) {
    parts = InstallPartsIn(Dir, Name);
  } else {
    if (listedIn != RunStart) {
      listed.clear();
      listedIn = RunStart;
    }
    const std::string key = UpperCase(DirectoryWBS(Dir));
    auto folder = listed.find(key);
    if (folder == listed.end()) folder = listed.emplace(key, InstallPartsIn(Dir, "")).first;
    std::vector<std::string>& left = folder->second;
    uint32_t owner = 0;
    for (auto it = left.begin(); it != left.end();)
      if (ParseInstallPart(*it, Name, owner)) {
        parts.push_back(*it);
        it = left.erase(it);
      } else {
        ++it;
      }
  }
  for (const std::string& part : parts) RemoveFile(DirectoryWBS(Dir) + part);
}

TPrivateCopy::TOutcome TPrivateCopy::Install(const TWriter& Write) {
  RemoveLeftovers(FDir, FName, FRunStart);
  for (int write = 0; write < MaxWrites; ++write) {
    FPart = NewInstallPart(FDir, FName);
    bool placed = false;
    const TPlacer place = [&](void* Handle) {
      if (PrivateCopyWritten || RenameThrough(Handle, Destination()) != ERROR_SUCCESS) return;
      placed = true;
      FPart.clear();
    };
    const TWritten written = Write(FPart, place);
    if (written != wrWhole) {
      FPart.clear();  // the writer removed what it wrote, if anything
      return written == wrSkipped ? pcSkipped : pcQuietEnd;
    }
    TPlaced where = plInPlace;
    // Closed and not yet renamed: the one moment another program can take
    // the copy away, which PutInPlace finds.
    if (!placed && PrivateCopyWritten) PrivateCopyWritten(Path(FPart));
    if (!placed) where = PutInPlace();
    if (where == plVanished) continue;
    KeepInPlace(Destination(), FComponent);
    return where == plNumbered ? pcAtRestart : pcInPlace;
  }
  throw IECustomInstallFile("%s: the new copy of %s was taken away by another program before it could take its name",
                            {FComponent, Destination()});
}

void TPrivateCopy::KeepInPlace(const std::string& Path, const std::string& Component) {
  if (!KeepAfterBoot(Path))
    throw IECustomInstallFile("%s: %s is to be deleted at the next restart, and that could not be withdrawn",
                              {Component, Path});
}

DWORD TPrivateCopy::RenameThrough(void* Handle, const std::string& To) {
  const std::wstring to = Widen(To);
  std::vector<unsigned char> buffer(sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t));
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
  std::memcpy(info->FileName, to.c_str(), (to.size() + 1) * sizeof(wchar_t));
  return SetFileInformationByHandle(Handle, FileRenameInfo, info, static_cast<DWORD>(buffer.size()))
             ? ERROR_SUCCESS
             : GetLastError();
}

DWORD TPrivateCopy::RenameReplacing(const std::string& From, const std::string& To) {
  // Opened, renamed through the handle and closed: fewer requests to the
  // system than a move by names, which also looks at the target first.
  HANDLE h = CreateFileW(Widen(From).c_str(), DELETE | SYNCHRONIZE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError();
  const DWORD error = RenameThrough(h, To);
  CloseHandle(h);
  return error;
}

TPrivateCopy::TPlaced TPrivateCopy::PutInPlace() {
  const std::string part = Path(FPart), dest = Destination();
  // One step: under its real name stands either the old file or the new one,
  // whatever fails or stops the run. A file held for a moment is not in use.
  DWORD error = ERROR_SUCCESS;
  for (int attempt = 0; attempt < MaxReplaceAttempts; ++attempt) {
    if (attempt > 0) Sleep(ReplacePauseMs);
    error = RenameReplacing(part, dest);
    if (error == ERROR_SUCCESS) {
      FPart.clear();
      return plInPlace;
    }
    if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
  }
  if (!FileExists(part)) {
    FPart.clear();
    return plVanished;
  }
  if (!FileExists(dest)) Fail(Trim(SysErrorMessage(error)));
  // The old file cannot be replaced now (in use, or protected): the new one
  // waits under a free numbered name and takes its place at the restart.
  for (int i = 1; i <= MaxNumberedNames; ++i) {
    const std::string numbered = ChangeFileExt(FName, "." + IntToStr(i));
    if (FileExists(Path(numbered))) continue;
    if (!MoveFileW(Widen(part).c_str(), Widen(Path(numbered)).c_str()))
      Fail(Trim(SysErrorMessage(GetLastError())));
    FPart.clear();
    FNumbered = numbered;
    return plNumbered;
  }
  throw IECustomInstallFile("%s cannot find a free temporary name beside %s (tried %d)",
                            {FComponent, dest, static_cast<long long>(MaxNumberedNames)});
}

void TPrivateCopy::Fail(const std::string& Reason) {
  // The message names the file the user knows, not the private name.
  throw IECustomInstallFile("%s could not put the new %s in place: %s", {FComponent, Destination(), Reason});
}
