// The uninstaller's work without its window: the registry helpers of its own,
// the removal steps over a product's uninstall record, and the run that takes
// them in their fixed order. The window (UninstallForm) shows what this does
// through the hooks of TUninstaller.
#pragma once
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "classlib/Classes.h"
#include "foundation/routines/routines_Registry.h"
#include "foundation/routines/routines_UninstallRecord.h"

class TProductLock;

// Where the record of each installed product lives, under the local machine.
inline constexpr const char* UninstallRootKey = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// Shared-file counts, under the local machine: one integer per file path.
inline constexpr const char* SharedDLLsKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
// The database engine's settings, under the local machine.
inline constexpr const char* EngineKey = "\\Software\\Borland\\Database Engine";
inline constexpr const char* EngineBLW32Key = "\\Software\\Borland\\BLW32";
inline constexpr const char* BorlandKey = "\\Software\\Borland";

// What GetRVInteger is asked to return when a file has no shared count.
inline constexpr int32_t NoSharedCount = -2147483647;

// The 32-bit integer value Ident of Key, or Default when the key or the value
// is missing or the value is of another type.
int32_t GetRVInteger(TRootKeys Root, const std::string& Key, const std::string& Ident, int32_t Default);
// Deletes the value Ident of Key; any failure is ignored.
void DeleteIdent(TRootKeys Root, const std::string& Key, const std::string& Ident);
// Clears List and fills it with the names of Key's subkeys (none when the key
// is missing).
void GetKeys(TRootKeys Root, const std::string& Key, TStrings* List);

// The number of entries of the folder part of Dir (the text up to its last
// backslash), "." and ".." and blank names not counted.
int GetFileCount(const std::string& Dir);
// Calls the library's DllUnregisterServer when it has one; a blank path, a
// missing file or a library that does not load does nothing.
void UnregisterActiveX_DLLStyle(const std::string& FilePath);
// Starts the program server, quoted, with "/UNREGSERVER", hidden and without
// waiting; a blank path or a missing file does nothing.
void UnregisterActiveX_EXEStyle(const std::string& FilePath);
// Clears the read-only attribute of the file (a file copied from a CD keeps
// it, and the system then refuses to delete it, now and at the restart).
// False when the file is read-only and stays so.
bool ClearReadOnly(const std::string& FilePath);
// What the removal clears a recorded file's read-only attribute with:
// ClearReadOnly. Tests put in one that fails, as on a read-only medium.
extern bool (*ClearRecordedReadOnly)(const std::string& FilePath);
// Removes the private unfinished copies that setup runs stopped while writing
// them left in Dir (InstallPartsOf: names of exactly the form a run writes,
// whose run has ended), whichever file they were copies of. True when one
// went. Left, when given, gets the full paths of the copies that stay: those
// of a setup still running and those that could not be deleted.
bool RemoveInstallLeftovers(const std::string& Dir, std::vector<std::string>* Left = nullptr);
// The folder part of Path (the text up to its last backslash); empty when
// it has none.
std::string ParentFolder(const std::string& Path);
// The text in the OEM code page, as the database engine takes names.
std::string StrToOem(const std::string& S);

// The product name the uninstaller was started for: the arguments after the
// program's path, joined by single blanks. The system starts an
// UninstallString as it stands, so the line may begin with the program's own
// path unquoted and with blanks in it (OwnPath, the program file's full path,
// recognises that); any other line is split by the class library's rules.
std::string ProductNameFromCommandLine(const std::string& CmdLine, const std::string& OwnPath);

// Folders the system or a user keeps whether empty or not (the desktop, the
// Start menu and its folders, the Windows and system folders, program files
// and common files, every known folder, the temporary folder, drive roots),
// those of every user of the machine and the machine's common ones: an
// uninstall never removes them. ShellFolderKeys gathers them (in the form
// ComparablePath gives) for the second form, which asks many at once.
bool IsShellFolder(const std::string& Dir);
std::set<std::string> ShellFolderKeys();
bool IsShellFolder(const std::string& Dir, const std::set<std::string>& Keys);

// What the uninstaller says when the product's record is missing.
std::string NotInstalledMessage(const std::string& ProductName);
// What it says while a setup of the product waits for the restart to finish.
std::string SetupWaitsMessage(const std::string& ProductName);

enum TUninstallStep { usAliases, usActiveX, usFiles, usINIFiles, usBDE, usRegistry };

// How a run of the uninstaller ended: the program's exit code. The codes
// other than 0 and 1 are those other uninstallers give the same outcomes.
enum TUninstallOutcome : int {
  // Nothing of the product stays but the uninstaller, which goes at the
  // restart (with its folder when that is left empty).
  uoRemoved = 0,
  // Something of the product stays in place: a file that could neither go
  // nor be scheduled for the restart, a registry record that could not be
  // read, the product's folder still holding files, or an error ended the
  // removal halfway.
  uoFilesLeft = 1,
  // A setup of the product must finish after the restart first; nothing
  // was removed (ERROR_FAIL_NOACTION_REBOOT).
  uoSetupWaits = 350,
  // The window was closed without Start (ERROR_INSTALL_USEREXIT).
  uoCancelled = 1602,
  // The product is not installed, or no product was named (ERROR_UNKNOWN_PRODUCT).
  uoNotInstalled = 1605,
  // Another setup or uninstall of the product held it and the user cancelled,
  // or no lock could be had; nothing was removed (ERROR_INSTALL_ALREADY_RUNNING).
  uoBusy = 1618,
  // Removed, but files of the product other than the uninstaller go only at
  // the restart (ERROR_SUCCESS_REBOOT_REQUIRED).
  uoRemovedAtRestart = 3010,
};

class TUninstaller {
public:
  explicit TUninstaller(const std::string& AProductName);
  TUninstaller(const TUninstaller&) = delete;
  TUninstaller& operator=(const TUninstaller&) = delete;

  const std::string& ProductName() const { return FProductName; }
  // The record key under the local machine.
  const std::string& UninstallKey() const { return FUninstallKey; }
  // Folders of deleted files, upper case, each once, in the order first met;
  // RemoveDirectories adds the folders the setup made.
  TStringList& DirList() { return FDirList; }

  // The database engine's interface library, loaded when aliases are removed.
  std::string EngineLibrary = "IDAPI32.DLL";

  // Hooks of the window. OnConfirm asks whether a shared file that no
  // application uses any more may go (none: it stays); OnMessage shows a
  // message and waits; OnBusy shows what runs while another run of the
  // product holds its lock, true for Retry (none: Cancel).
  std::function<bool(const std::string& FilePath)> OnConfirm;
  std::function<bool(const std::string& Text)> OnBusy;
  std::function<void(bool Visible)> OnShowProgress;
  std::function<void(int Percent)> OnProgress;
  std::function<void(TUninstallStep Step)> OnStepDone;
  std::function<void(const std::string& Text)> OnMessage;

  // The removal steps, in the order Run takes them; each ends quietly when its
  // part of the record is missing.
  void RemoveAliases();
  void RemoveActiveX();
  void RemoveFiles();
  void RemoveINIFiles();
  void RemoveBDE();
  void RemoveDirectories();
  // False when some registry-key record could not be read.
  bool RemoveRegistryKeys();

  // Whether the product's record is there: without it the product is not
  // (or no longer) installed.
  bool Installed() const;
  // Whether a setup of the product waits for the restart to finish: the
  // record names its setup key, and that key still holds jobs or its
  // program's continuation is registered (any continuation, when the key
  // itself is gone). What that run puts in place at
  // the restart would come back without an entry, so nothing is removed
  // meanwhile. A record without the name (written before setups named
  // themselves there) never waits.
  bool SetupWaits() const;
  // Whether the record holds the part that Step removes. Files (the
  // uninstaller's own among them) and registry entries (the record itself)
  // are always there.
  bool HasStep(TUninstallStep Step) const;
  // Under the product's lock (while a setup or another uninstall of the
  // product holds it, OnBusy asks; Cancel removes nothing; when no lock can
  // be had, the message says why and nothing is removed): every step, then
  // the record itself and the uninstaller's own file (OwnFile), deleted now
  // or, when it is in use, at the next restart; the closing message names
  // what waits for the restart and what stays. A step that leaves something
  // it recorded is not ticked. While a file could neither be deleted nor
  // scheduled, the record (listing such files) and the uninstaller stay, and
  // the message says so. For a product that is not installed, or whose
  // setup waits for the restart, it says so and removes nothing, its own
  // file included. An error that a step does not handle ends the run there
  // and passes on (the outcome is then uoFilesLeft). True when the product
  // was removed (Outcome uoRemoved or uoRemovedAtRestart).
  bool Run(const std::string& OwnFile);
  // How the last Run ended.
  TUninstallOutcome Outcome() const { return FOutcome; }

  // Puts the folder of FilePath on the folder list.
  void AddDir(const std::string& FilePath);
  // Whether the folder Dir may go when it is empty: a folder the record
  // lists as made by the setup (for a record of an earlier setup, which
  // lists none, the folder of a file it listed), never a junction or link,
  // nor a shell folder of any user.
  bool MayRemoveFolder(const std::string& Dir);
  // Files left for the next restart, in the order they were scheduled.
  const TStringList& AfterBoot() const { return FAfterBoot; }
  // Files that could neither be deleted nor scheduled for the restart.
  const TStringList& NotRemoved() const { return FNotRemoved; }

private:
  // The shared-file rule: true when the file is to be removed. Path may come
  // back as the short form under which its count was found.
  bool SharedFileGoes(std::string& Path);
  void SetProgress(int Index, int Count);
  // False when the folder stays (one it may not remove, not empty, or gone).
  bool RemoveFolder(const std::string& Dir);
  // IsShellFolder, the shell folders gathered once for the run.
  bool IsKeptFolder(const std::string& Dir);
  // Deletes the file; a file in use is scheduled for the next restart.
  // False when it is still there.
  bool DeleteOrSchedule(const std::string& Path);
  // The same for a file the product owns (one the record lists, or the
  // uninstaller itself): its read-only attribute does not keep it.
  bool DeleteOwned(const std::string& Path);
  // The private leftovers in the folders of the recorded Paths go; a folder
  // that lost one is put on the folder list.
  void RemoveLeftoversBeside(const std::vector<std::string>& Paths);
  // A file that could neither be deleted nor scheduled keeps the product's
  // entry, with those files listed again under Files for the next run.
  void KeepEntry();
  bool GoesAtRestart(const std::string& Path) const;
  // The listed folders that hold nothing but what waits for the restart are
  // scheduled after it, the deepest first, and so are their parents that
  // are then left with nothing else, where they may go (MayRemoveFolder).
  void ScheduleEmptiedFolders();
  std::string ClosingMessage(const std::string& OwnFile, bool OwnGone) const;
  // Takes the lock and says why not when it cannot be had, or when the
  // product is not installed or its setup waits; false then, with FOutcome
  // set.
  bool Admitted(TProductLock& Lock);
  // What of Dir is still there now and stays after the restart.
  std::vector<std::string> StaysIn(const std::string& Dir) const;
  // Whether the record's entry starts OwnFile: the product's own uninstaller.
  bool EntryStarts(const std::string& OwnFile) const;
  // The product's folder (the uninstaller's own) when it stays in place
  // still holding something.
  void NoteFolderLeft(const std::string& OwnFile);
  TUninstallOutcome Ending(const std::string& OwnFile, bool KeysRemoved) const;

  // What the record says the product made (its lists Folders, Counted and
  // Help), read once, before anything goes. Complete: the record's form
  // says that the lists hold all of it; otherwise an earlier setup began
  // the record, and what the lists lack is judged as before.
  struct TMade {
    bool Loaded = false;
    bool Complete = false;
    std::vector<std::string> Folders;
    std::set<std::string> FolderKeys;  // ComparablePath of each folder
    std::set<std::string> Counted;     // ComparablePath of each file
    std::vector<std::string> Help;
  };
  const TMade& Made();
  // Whether the product raised the shared count of the recorded file Path.
  bool RaisedCount(const std::string& Path);
  // The help registrations of the files that went (or go at the restart)
  // go with them, where they still name those files' folders.
  void RemoveHelp();
  // The folders the product made that other products' files keep are
  // listed in those products' records.
  void HandOverFolders();
  TMade FMade;
  // The recorded files the steps removed or left for the restart.
  std::vector<std::string> FGone;
  std::set<std::string> FShellFolders;
  bool FShellFoldersRead = false;

  std::string FProductName;
  std::string FUninstallKey;
  TStringList FDirList;
  TStringList FAfterBoot;
  TStringList FNotRemoved;
  // Comparable spellings of every file and folder scheduled for the restart.
  std::set<std::string> FAfterBootKeys;
  std::string FFolderLeft;
  std::vector<std::string> FFolderHolds;
  TUninstallOutcome FOutcome = uoFilesLeft;
};
