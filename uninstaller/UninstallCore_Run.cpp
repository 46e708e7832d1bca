// The removal run: the steps in their fixed order, then the record and the
// uninstaller's own file; what cannot go now goes at the next restart.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "classlib/Registry.h"
#include "classlib/SysUtils.h"
#include "classlib/WinText.h"
#include "foundation/routines/routines_API.h"
#include "foundation/routines/routines_INIFiles.h"
#include "foundation/routines/routines_ProductLock.h"
#include "foundation/routines/routines_Strings.h"
#include "uninstaller/UninstallCore.h"

namespace {
// Shows the progress bar around a step, and hides it again also when the
// step fails.
class TProgressShown {
public:
  explicit TProgressShown(TUninstaller& U) : FU(U) {
    if (FU.OnProgress) FU.OnProgress(0);
    if (FU.OnShowProgress) FU.OnShowProgress(true);
  }
  ~TProgressShown() {
    if (FU.OnShowProgress) FU.OnShowProgress(false);
  }
  TProgressShown(const TProgressShown&) = delete;
  TProgressShown& operator=(const TProgressShown&) = delete;

private:
  TUninstaller& FU;
};

// A message box has room for a screenful of paths, not for thousands.
constexpr int ListedAtMost = 20;

std::string Listed(const std::string& Heading, const std::vector<std::string>& Paths) {
  if (Paths.empty()) return {};
  std::string text = "\n\n" + Heading;
  for (size_t i = 0; i < Paths.size() && i < ListedAtMost; ++i) text += "\n" + Paths[i];
  if (Paths.size() > ListedAtMost) text += "\n(and " + std::to_string(Paths.size() - ListedAtMost) + " more)";
  return text;
}
}  // namespace

std::string NotInstalledMessage(const std::string& ProductName) {
  return ProductName + " is not installed on this computer, or it has already been removed.";
}

std::string SetupWaitsMessage(const std::string& ProductName) {
  return "The setup of " + ProductName + " finishes after you restart your computer. Restart it first, then remove " +
         ProductName + ". Nothing was removed.";
}

bool TUninstaller::Installed() const {
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, hkLocalMachine);
  return reg.OpenKeyReadOnly(FUninstallKey);
}

bool TUninstaller::SetupWaits() const {
  const std::string setupKey = Trim(GetRVStr(hkLocalMachine, FUninstallKey, SetupWaitsValueName, ""));
  if (setupKey.empty()) return false;
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, hkLocalMachine);
  if (reg.OpenKeyReadOnly(DirectoryWBS(setupKey) + "Unfinished")) {
    TStringList jobs;
    reg.GetValueNames(&jobs);
    if (jobs.Count() > 0) return true;
  }
  // A restart wanted without jobs: the continuation of the key's program
  // (its path quoted, or not as older setups wrote it) is still registered.
  // Without the key (a later run of the same program ended well and took
  // it, while the first one's replacements still wait), any continuation.
  const std::string program = Trim(GetRVStr(hkLocalMachine, setupKey, "Path", ""));
  if (!reg.OpenKeyReadOnly(RunOnceKey)) return false;
  TStringList names;
  reg.GetValueNames(&names);
  for (int i = 0; i < names.Count(); ++i) {
    std::string line;
    try {
      line = TrimLeft(reg.ReadString(names[i]));
    } catch (const ERegistryException&) {
      continue;
    }
    if (program.empty() && UpperCase(line).find(" *ABOOT ") != std::string::npos) return true;
    for (const std::string& start : {"\"" + program + "\" *ABOOT", program + " *ABOOT"})
      if (!program.empty() && SameText(line.substr(0, start.size()), start)) return true;
  }
  return false;
}

bool TUninstaller::HasStep(TUninstallStep Step) const {
  const char* part = nullptr;
  switch (Step) {
    case usAliases: part = "Aliases"; break;
    case usActiveX: part = "ActiveX"; break;
    case usINIFiles: part = "INIFiles"; break;
    case usBDE: part = "BDE"; break;
    case usFiles:
    case usRegistry: return true;
  }
  if (!part) return true;
  TRegistry reg(KEY_READ);
  SetTheRoot(&reg, hkLocalMachine);
  return reg.OpenKeyReadOnly(FUninstallKey + "\\" + part);
}

bool TUninstaller::GoesAtRestart(const std::string& Path) const {
  return FAfterBootKeys.count(ComparablePath(Path)) > 0;
}

bool TUninstaller::DeleteOrSchedule(const std::string& Path) {
  if (RemoveFile(Path) || !FileExists(Path)) return true;
  if (GoesAtRestart(Path)) return false;
  if (RemoveFileAfterBoot(Path)) {
    FAfterBoot.Add(Path);
    FAfterBootKeys.insert(ComparablePath(Path));
  } else if (FNotRemoved.IndexOf(Path) < 0) {
    FNotRemoved.Add(Path);
  }
  return false;
}

bool TUninstaller::DeleteOwned(const std::string& Path) {
  if (ClearRecordedReadOnly(Path)) return DeleteOrSchedule(Path);
  // Still read-only: the restart would refuse it too, so it is never
  // promised for then.
  if (RemoveFile(Path) || !FileExists(Path)) return true;
  if (FNotRemoved.IndexOf(Path) < 0) FNotRemoved.Add(Path);
  return false;
}

void TUninstaller::KeepEntry() {
  // Listed as the setup program lists them, after whatever a partition that
  // stayed still holds.
  const std::string key = FUninstallKey + "\\" + UninstallFilesPartition(0);
  long long n = StrToIntDef(GetRVStr(hkLocalMachine, key, "Entries", "0"), 0);
  for (int i = 0; i < FNotRemoved.Count(); ++i) WriteRVStr(hkLocalMachine, key, "File" + IntToStr(++n), FNotRemoved[i]);
  WriteRVStr(hkLocalMachine, key, "Entries", IntToStr(n));
}

std::vector<std::string> TUninstaller::StaysIn(const std::string& Dir) const {
  std::vector<std::string> stays;
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW(Widen(DirectoryWBS(Dir) + "*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return stays;
  do {
    const std::string name = Narrow(std::wstring(fd.cFileName));
    if (name != "." && name != ".." && !GoesAtRestart(DirectoryWBS(Dir) + name))
      stays.push_back(DirectoryWBS(Dir) + name);
  } while (FindNextFileW(h, &fd));
  FindClose(h);
  return stays;
}

bool TUninstaller::EntryStarts(const std::string& OwnFile) const {
  const std::string line = TrimLeft(GetRVStr(hkLocalMachine, FUninstallKey, "UninstallString", ""));
  if (!line.empty() && line[0] == '"') {
    const size_t end = line.find('"', 1);
    return end != std::string::npos && ComparablePath(line.substr(1, end - 1)) == ComparablePath(OwnFile);
  }
  return SameText(line.substr(0, OwnFile.size() + 1), OwnFile + " ");
}

void TUninstaller::NoteFolderLeft(const std::string& OwnFile) {
  // Empty, it is left by the rule that keeps folders the product did not
  // make; holding something, the product is not gone.
  const std::string dir = ParentFolder(OwnFile);
  if (dir.empty() || !DirectoryExists(dir) || IsKeptFolder(dir) || GoesAtRestart(dir)) return;
  FFolderHolds = StaysIn(dir);
  std::sort(FFolderHolds.begin(), FFolderHolds.end());
  if (!FFolderHolds.empty()) FFolderLeft = dir;
}

void TUninstaller::ScheduleEmptiedFolders() {
  if (FAfterBoot.Count() == 0) return;
  // The restart removes a folder only when it is empty by then: children
  // before their parents, the deepest first (in list order among equals).
  std::vector<std::string> dirs;
  for (int i = 0; i < FDirList.Count(); ++i) dirs.push_back(FDirList[i]);
  while (!dirs.empty()) {
    auto deepest = std::max_element(dirs.begin(), dirs.end(), [](const std::string& A, const std::string& B) {
      return A.size() < B.size();
    });
    const std::string dir = *deepest;
    dirs.erase(deepest);
    if (!DirectoryExists(dir) || !MayRemoveFolder(dir) || GoesAtRestart(dir)) continue;
    if (!StaysIn(dir).empty() || !RemoveFolderAfterBoot(dir)) continue;
    FAfterBootKeys.insert(ComparablePath(dir));
    // Its parent may then hold nothing else.
    const std::string parent = UpperCase(ParentFolder(dir));
    if (!parent.empty() && std::find(dirs.begin(), dirs.end(), parent) == dirs.end()) dirs.push_back(parent);
  }
}

std::string TUninstaller::ClosingMessage(const std::string& OwnFile, bool OwnGone) const {
  const bool kept = FNotRemoved.Count() > 0;
  std::string text;
  if (kept)
    text = FProductName + " could not be removed completely.";
  else if (OwnGone)
    text = FProductName + " has finished removing itself";
  else if (GoesAtRestart(OwnFile))
    text = "The uninstallation program for " + FProductName + " will be removed after you reboot your computer.";
  else
    text = FProductName + " has been removed.";
  std::vector<std::string> waiting, left;
  const std::string own = ComparablePath(OwnFile);
  for (int i = 0; i < FAfterBoot.Count(); ++i)
    if (ComparablePath(FAfterBoot[i]) != own) waiting.push_back(FAfterBoot[i]);
  for (int i = 0; i < FNotRemoved.Count(); ++i) left.push_back(FNotRemoved[i]);
  return text +
         Listed("These files could not be deleted now and will be removed after you reboot your computer:", waiting) +
         Listed("These files could not be removed:", left) +
         Listed("The folder " + FFolderLeft + " stays, as it still holds:", FFolderHolds) +
         (kept ? "\n\n" + FProductName +
                     " stays in the list of installed programs, so that you can run its uninstall again."
               : std::string());
}

bool TUninstaller::Admitted(TProductLock& Lock) {
  auto refused = [this](TUninstallOutcome Outcome, const std::string& Text) {
    if (!Text.empty() && OnMessage) OnMessage(Text);
    FOutcome = Outcome;
    return false;
  };
  // A setup of the product writes what this would remove: one run at a time.
  try {
    if (!Lock.Take(OnBusy)) return refused(uoBusy, "");
  } catch (const EProductLockUnavailable& E) {
    return refused(uoBusy, E.Message);
  }
  // Nothing recorded, nothing to remove: the uninstaller of a product already
  // removed (or never installed here) keeps its own file too.
  if (!Installed()) return refused(uoNotInstalled, NotInstalledMessage(FProductName));
  if (SetupWaits()) return refused(uoSetupWaits, SetupWaitsMessage(FProductName));
  return true;
}

bool TUninstaller::Run(const std::string& OwnFile) {
  // Without a product the record key would be the list of every product.
  if (Trim(FProductName).empty())
    throw Exception("Please remove this software from the Add/Remove Programs from the Control Panel");
  // Until the run says otherwise (an error ends it halfway), something the
  // record names stays.
  FOutcome = uoFilesLeft;
  TProductLock lock(FProductName, prUninstall);
  if (!Admitted(lock)) return false;
  // Started by the product's entry, it lies in the product's folder.
  const bool inProductFolder = EntryStarts(OwnFile);
  // A step is ticked once it has left nothing of what it removes.
  auto step = [this](TUninstallStep Step, const std::function<void()>& Remove) {
    const int left = FNotRemoved.Count();
    Remove();
    if (FNotRemoved.Count() == left && OnStepDone) OnStepDone(Step);
  };
  step(usAliases, [this] { RemoveAliases(); });
  step(usActiveX, [this] {
    TProgressShown shown(*this);
    RemoveActiveX();
  });
  step(usFiles, [this] {
    TProgressShown shown(*this);
    RemoveFiles();
  });
  step(usINIFiles, [this] { RemoveINIFiles(); });
  step(usBDE, [this] { RemoveBDE(); });
  RemoveDirectories();
  const bool keysRemoved = RemoveRegistryKeys();
  if (keysRemoved) {
    if (OnStepDone) OnStepDone(usRegistry);
  } else if (OnMessage) {
    OnMessage("Some or all of the registry keys could not could not be removed");
  }
  bool ownGone = false;
  if (FNotRemoved.Count() > 0) {
    // Gone with the record, such a file would stay for good: the record, the
    // product's place in the list of installed programs and the uninstaller
    // stay, so that it can be run again.
    KeepEntry();
  } else {
    // With its subkeys: parts a step left (aliases without the engine, the
    // engine's count, a partition after a gap) must not keep the product
    // listed once its uninstaller is gone.
    DeleteKey(hkLocalMachine, FUninstallKey);
    // A running program's file is normally locked: it goes at the restart,
    // and its folder with it when nothing else is left there.
    AddDir(OwnFile);
    ownGone = DeleteOwned(OwnFile);
  }
  ScheduleEmptiedFolders();
  if (FNotRemoved.Count() == 0 && inProductFolder) NoteFolderLeft(OwnFile);
  if (OnMessage) OnMessage(ClosingMessage(OwnFile, ownGone));
  FOutcome = Ending(OwnFile, keysRemoved);
  return FOutcome != uoFilesLeft;
}

TUninstallOutcome TUninstaller::Ending(const std::string& OwnFile, bool KeysRemoved) const {
  if (!KeysRemoved || FNotRemoved.Count() > 0 || !FFolderLeft.empty()) return uoFilesLeft;
  // The uninstaller itself is in use while it runs: only other files make
  // the restart a condition of the removal.
  const std::string own = ComparablePath(OwnFile);
  for (int i = 0; i < FAfterBoot.Count(); ++i)
    if (ComparablePath(FAfterBoot[i]) != own) return uoRemovedAtRestart;
  return uoRemoved;
}
